// Start-up: version, application, the one window, its creation handler, the message loop.
#include <cstdio>
#include <string>

#include <QTimer>
#include <QWindow>

#include "main/window/application.h"
#include "main/window/mainform.h"
#include "probe/cpuid.h"
#include "version/version.h"

int main(int argc, char** argv) {
    using namespace talvex;
    // Without a display Qt would abort; say what to use instead.
    if (!DisplayConfigured()) {
        std::fprintf(stderr, "talvex: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); "
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

    TalvexApplication app(argc, argv);
    QApplication::setApplicationName("Talvex");
    if (!started) {
        ReportError(startup_error);
        return 1;
    }

    HardwareSource source;
    LinuxPlatform platform;
    const Probe probe{source, platform};
    Tmainform form(probe);
    mainform = &form;
    // An error in the creation handler is shown like any other; the window still opens.
    RunHandler([&] { form.FormCreate(); });
    form.show();
    // For tests and start-up timing: close through the window system, as the title bar would,
    // once the window is on screen.
    if (qEnvironmentVariableIsSet("TALVEX_CLOSE_AFTER_SHOWN"))
        QTimer::singleShot(0, &form, [&form] { form.windowHandle()->close(); });
    const int status = app.exec();
    mainform = nullptr;
    return status;
}
