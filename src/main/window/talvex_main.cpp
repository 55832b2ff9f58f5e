// Start-up: version, application, the one window, its creation handler, the message loop.
#include <cstdio>
#include <cstdlib>  // std::_Exit
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "main/window/application.h"
#include "main/window/mainform.h"
#include "main/window/workers.h"
#include "probe/platform/cpuid.h"
#include "version/build_version.h"
#include "version/version.h"

namespace {

// The options Qt and its X11 platform take for themselves (one dash or two, a value after a blank or
// an equals sign); anything else on the command line is refused.
struct QtOption {
    std::string_view name;
    bool takes_value;
};
// clang-format off
constexpr QtOption kQtOptions[] = {
    {"platform", true},     {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},        {"qwindowtitle", true},  {"title", true},
    {"qwindowicon", true},  {"icon", true},               {"display", true},       {"name", true},
    {"session", true},      {"style", true},              {"stylesheet", true},    {"qmljsdebugger", true},
    {"visual", true},       {"ncols", true},              {"cmap", true},          {"fn", true},
    {"font", true},         {"bg", true},                 {"background", true},    {"fg", true},
    {"foreground", true},   {"btn", true},                {"button", true},        {"im", true},
    {"inputstyle", true},
    {"reverse", false},     {"widgetcount", false},       {"nograb", false},       {"dograb", false},
    {"sync", false},        {"testability", false},
};
// clang-format on

// What is wrong with the command line, if anything: an argument neither talvex's nor Qt's, or a Qt
// option without its value. --help and --version have answered before.
std::optional<std::string> BadArgument(int argc, char** argv) {
    const auto unknown = [](std::string_view arg) { return "unknown argument '" + std::string(arg) + "'"; };
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (!arg.starts_with('-') || arg == "-" || arg == "--") return unknown(argv[i]);
        arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
        const size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const QtOption* known = nullptr;
        for (const QtOption& o : kQtOptions)
            if (o.name == name) known = &o;
        if (known == nullptr || (!known->takes_value && eq != arg.npos)) return unknown(argv[i]);
        if (known->takes_value && eq == arg.npos && ++i >= argc)
            return std::string(argv[i - 1]) + " needs a value";
    }
    return std::nullopt;
}

// The display Qt is told to open: a -display (or -platform) argument, else the environment's.
QString DisplayTried(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-display" || arg == "--display" || arg == "-platform" || arg == "--platform")
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return qEnvironmentVariable(
        "DISPLAY", qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("QT_QPA_PLATFORM")));
}

QString& Tried() {
    static QString tried;
    return tried;
}

// Qt's messages while it opens the display: held back, so that a display that cannot be opened
// gives one clear line instead of Qt's several and an abort.
std::vector<QString>& HeldMessages() {
    static std::vector<QString> held;
    return held;
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        // The display tried and the first thing Qt said of it, in one line.
        const QString reason = HeldMessages().empty() ? message : HeldMessages().front();
        std::fprintf(stderr,
                     "talvex: Qt cannot open a display here (%s: %s); "
                     "run talvex-report for a text report instead\n",
                     qPrintable(Tried()), qPrintable(reason.section('\n', 0, 0).trimmed()));
        std::_Exit(1);
    }
    HeldMessages().push_back(message);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvex;
    // As desktop programs do: --help and --version answer on the terminal; other arguments are Qt's
    // or refused.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf(
                "Usage: talvex [--help] [--version] [Qt options such as -display NAME]\n"
                "Shows what this x86 processor says about itself through CPUID, in a window.\n"
                "For a terminal, or a machine without a display, use talvex-report.\n");
            return 0;
        }
        if (arg == "--version") {
            std::printf("talvex %s\n", kBuildVersionText);
            return 0;
        }
    }
    if (const auto bad = BadArgument(argc, argv)) {
        std::fprintf(stderr, "talvex: %s (talvex --help lists the options)\n", bad->c_str());
        return 2;
    }
    Tried() = DisplayTried(argc, argv);
    // Without a display Qt would abort; say what to use instead.
    if (!DisplayConfigured() && Tried().isEmpty()) {
        std::fprintf(stderr,
                     "talvex: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); "
                     "run talvex-report for a text report instead\n");
        return 1;
    }

    bool started = true;
    std::string startup_error;
    try {
        ReadVersionInfo();
    } catch (const std::exception& e) {
        started = false;
        startup_error = e.what();
    }

    qInstallMessageHandler(HoldStartupMessage);
    TalvexApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& message : HeldMessages()) std::fprintf(stderr, "%s\n", qPrintable(message));
    HeldMessages().clear();
    QApplication::setApplicationName("Talvex");
    if (!started) {
        ReportError(startup_error);
        return 1;
    }

    HardwareSource source;
    LinuxPlatform platform;
    const Probe probe{source, platform};
    int status = 0;
    {
        Tmainform form(probe);
        // An error in the creation handler is shown like any other; the window still opens.
        RunHandler([&] { form.FormCreate(); });
        form.show();
        status = app.exec();
    }
    // The windows are gone and have asked their workers to stop. They use the probe, which must
    // outlive them: a worker that does not end in time (stuck in a read of a pipe nobody writes to)
    // ends with the process, before anything it uses goes.
    FinishWorkers(status);
    return status;
}
