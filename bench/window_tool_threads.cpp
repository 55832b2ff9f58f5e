// What the windows' workers cost a user waiting for the window, on this machine, on the display Qt is
// given (QT_QPA_PLATFORM=offscreen works; tools/with-window's Xvfb is closer to a desktop):
//  1. a copy asked for while the clock is measured, then at once the File menu's key (Alt+C): the time
//     from the copy command until the menu is shown, against the same key without a copy (target:
//     under 100 ms);
//  2. closing the details window while Open Dump reads a dump of about 500 MB: the time the close
//     takes (target: under 100 ms), and how long the reader goes on before it stops.
// Usage: window_tool_threads [rounds]   (default 5; the 500 MB file is written to the temporary folder
// and removed at the end)

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "main/window/application.h"
#include "main/window/details_window.h"
#include "main/window/mainform.h"
#include "main/window/workers.h"

namespace {

using talvex::Tmainform;

// Runs the event loop until `done` holds or `limit_ms` pass; the milliseconds it took.
template <class Done>
double RunUntil(Done done, int limit_ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limit_ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void Settle(int ms) {
    RunUntil([] { return false; }, ms);
}

// Milliseconds from the copy command (or from nothing, without one) until the File menu is shown,
// with a measurement of about a second under way.
double MenuAfterCopy(Tmainform& form, bool copy) {
    form.findChild<QAction*>("mnuMainEditGetClock")->trigger();
    Settle(150);
    auto* menu = form.findChild<QMenu*>("mnuMainFile");
    QElapsedTimer timer;
    timer.start();
    if (copy) form.findChild<QAction*>("mnuMainEditCopy")->trigger();
    // As the system delivers keys: queued, to whatever has the focus.
    QCoreApplication::postEvent(&form, new QKeyEvent(QEvent::KeyPress, Qt::Key_C, Qt::AltModifier, "c"));
    QCoreApplication::postEvent(&form, new QKeyEvent(QEvent::KeyRelease, Qt::Key_C, Qt::AltModifier, "c"));
    RunUntil([&] { return menu->isVisible(); });
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    menu->hide();
    RunUntil([&] { return !form.ClockMeasuring() && !form.CopyPending(); });
    return ms;
}

// A `cpuid -r` dump of 8192 processors, 512 leaves each, padded with comments to about `bytes`.
void WriteLargeDump(const std::string& path, size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    const std::string comment = "# " + std::string(68, '-') + "\n";
    const size_t leaf_bytes = size_t{8192} * 512 * 79;
    const size_t comments = bytes > leaf_bytes ? (bytes - leaf_bytes) / comment.size() / 8192 : 0;
    char line[96];
    for (unsigned cpu = 0; cpu < 8192; ++cpu) {
        out << "CPU " << cpu << ":\n";
        for (unsigned leaf = 0; leaf < 512; ++leaf) {
            const unsigned number = leaf < 256 ? leaf : 0x80000000u + leaf - 256;
            const unsigned eax = leaf == 0 ? 255u : leaf == 256 ? 0x800000FFu : leaf;
            std::snprintf(line, sizeof line, "   0x%08x 0x00: eax=0x%08x ebx=0x%08x ecx=0x%08x edx=0x%08x\n",
                          number, eax, cpu, 0u, 0u);
            out << line;
        }
        for (size_t k = 0; k < comments; ++k) out << comment;
    }
}

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.1f ms, slowest %.1f ms (%zu rounds)\n", what, ms[ms.size() / 2], ms.back(),
                ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvex;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TalvexApplication app(argc, argv);
    HardwareSource source;
    LinuxPlatform platform;
    {
        Tmainform form(Probe{source, platform});
        form.FormCreate();
        form.show();
        form.activateWindow();
        RunUntil([&] { return !form.ClockMeasuring(); });

        std::vector<double> alone, queued;
        for (int k = 0; k < rounds; ++k) {
            alone.push_back(MenuAfterCopy(form, false));
            queued.push_back(MenuAfterCopy(form, true));
        }
        Report("File menu, key during a measurement         ", alone);
        Report("File menu, key after a copy queued behind it", queued);

        QTemporaryDir dir;
        const std::string path = QDir(dir.path()).filePath("large.txt").toStdString();
        WriteLargeDump(path, 500'000'000);
        std::ifstream size(path, std::ios::binary | std::ios::ate);
        std::printf("dump: %.0f MB\n", static_cast<double>(size.tellg()) / 1e6);

        std::vector<double> closing, stopping;
        for (int k = 0; k < rounds; ++k) {
            form.findChild<QAction*>("mnuMainEditDetails")->trigger();
            auto* details = form.findChild<DetailsWindow*>("details");
            Settle(300);
            details->OpenDump(QString::fromStdString(path));
            Settle(500);  // reading
            QElapsedTimer timer;
            timer.start();
            details->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            closing.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            WaitForWorkers();  // here only to time the reader's stop; the window never waits
            stopping.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            Settle(100);
        }
        Report("closing the details window during Open Dump ", closing);
        Report("  ... until its reader had stopped         ", stopping);
    }
    WaitForWorkers();
    return 0;
}
