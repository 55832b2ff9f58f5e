// How long the details window takes on this machine, from the menu command until it is drawn (every
// processor captured), and the resident memory it adds. Runs the real window on this processor, on
// the display Qt is given (QT_QPA_PLATFORM=offscreen works, an Xvfb display is closer to a desktop).
// Usage: window_tool_details [opens]   (default 20; the first open is reported apart: it loads the
// fonts and styles the later ones find ready); then the first showing of its Leaves tab, which decodes
// every leaf of the processor shown)

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

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

long ResidentKB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Runs the event loop until `widget` has painted once, or a second has passed.
class FirstPaint final : public QObject {
public:
    explicit FirstPaint(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) loop_.quit();
        return false;
    }

private:
    QEventLoop& loop_;
};

// Milliseconds from the command to the details window's first paint.
double OpenOnce(talvex::Tmainform& form) {
    QEventLoop loop;
    FirstPaint paint(loop);
    QElapsedTimer timer;
    timer.start();
    form.findChild<QAction*>("mnuMainEditDetails")->trigger();
    auto* details = form.findChild<talvex::DetailsWindow*>("details");
    if (details == nullptr) {
        std::fprintf(stderr, "window_tool_details: the details window did not open\n");
        std::exit(1);
    }
    details->installEventFilter(&paint);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    details->removeEventFilter(&paint);
    return ms;
}

// Milliseconds from choosing the Leaves tab of the open details window to its first paint: the tab
// decodes every leaf of the processor shown when it is first shown.
double ShowLeaves(talvex::Tmainform& form) {
    auto* details = form.findChild<talvex::DetailsWindow*>("details");
    auto* tabs = details->findChild<QTabWidget*>("tabs");
    auto* tree = details->findChild<QTreeView*>("leafFieldView");
    QEventLoop loop;
    FirstPaint paint(loop);
    tree->viewport()->installEventFilter(&paint);
    QElapsedTimer timer;
    timer.start();
    tabs->setCurrentWidget(tree->parentWidget());
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    tree->viewport()->removeEventFilter(&paint);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void CloseDetails(talvex::Tmainform& form) {
    if (auto* details = form.findChild<talvex::DetailsWindow*>("details")) {
        details->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvex;
    const int opens = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TalvexApplication app(argc, argv);
    HardwareSource source;
    LinuxPlatform platform;
    Tmainform form(Probe{source, platform});
    form.FormCreate();
    form.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const long before = ResidentKB();
    const double first = OpenOnce(form);
    const long with_window = ResidentKB();
    const double leaves = ShowLeaves(form);
    const long with_leaves = ResidentKB();
    CloseDetails(form);

    std::vector<double> later;
    for (int k = 1; k < opens; ++k) {
        later.push_back(OpenOnce(form));
        CloseDetails(form);
    }
    const long after = ResidentKB();
    std::sort(later.begin(), later.end());

    std::printf("processors captured: %u\n", platform.ProcessorCount());
    std::printf("first open:  %.1f ms from the command to the first paint\n", first);
    if (!later.empty()) {
        std::printf("later opens: median %.1f ms, slowest %.1f ms (%zu opens)\n", later[later.size() / 2],
                    later.back(), later.size());
    }
    std::printf("Leaves tab:  %.1f ms from choosing it to its first paint (+%ld KB)\n", leaves,
                with_leaves - with_window);
    std::printf(
        "resident memory: %ld KB before, %ld KB with the window open (+%ld KB), %ld KB after "
        "%d opens and closes\n",
        before, with_window, with_window - before, after, opens);
    WaitForWorkers();  // they use the platform, which goes with this function
    return 0;
}
