// Start-up: version, application, the one window, its creation handler, the message loop.
#include <cstdio>
#include <cstdlib>  // std::_Exit
#include <string>
#include <vector>

#include <QTimer>
#include <QWindow>

#include "main/window/application.h"
#include "main/window/mainform.h"
#include "probe/cpuid.h"
#include "version/version.h"

namespace {

// Qt's messages while it opens the display: held back, so that a display that cannot be opened
// gives one clear line instead of Qt's several and an abort.
std::vector<QString>& HeldMessages() {
    static std::vector<QString> held;
    return held;
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "talvex: Qt cannot open a display here (%s); "
                     "run talvex-report for a text report instead\n",
                     qPrintable(qEnvironmentVariable("DISPLAY", qEnvironmentVariable("QT_QPA_PLATFORM"))));
        std::_Exit(1);
    }
    HeldMessages().push_back(message);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvex;
    // Without a display Qt would abort; say what to use instead.
    if (!DisplayConfigured()) {
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
    Tmainform form(probe);

    // An error in the creation handler is shown like any other; the window still opens.
    RunHandler([&] { form.FormCreate(); });
    form.show();
    // For tests and start-up timing: close through the window system, as the title bar would,
    // once the window is on screen.
    if (qEnvironmentVariableIsSet("TALVEX_CLOSE_AFTER_SHOWN"))
        QTimer::singleShot(0, &form, [&form] { form.windowHandle()->close(); });
    const int status = app.exec();

    return status;
}
