// The details window opened and closed two hundred times from the main window, each time with its
// live clock delivering readings and an Open Dump of a large dump under way as it closes (now and then
// left to finish). Under the address sanitizer with leak checking (make check-sanitize) nothing may
// be read after it is freed and nothing may leak; in every build the heap in use at the end is within
// a few MB of what it was after the first round.
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "main/window/details_window.h"
#include "support/files.h"
#include "support/hostile_dumps.h"
#include "window_support.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator keeps freed blocks aside, so mallinfo does not see them: it says itself.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace talvex {
namespace {

using testing::Find;

// Bytes the program holds on the heap now (not what the allocator keeps for reuse).
size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

TEST(Soak, TwoHundredOpeningsWithTheLiveClockAndAnOpenDumpEach) {
    testing::ShownErrors().clear();
    const testing::TempDir dir;
    const std::string large = (dir / "large.txt").string();
    testing::Spill(large, testing::ManyProcessors(4096));

    const testing::AwaitWorkers await;
    testing::FakeSource cpu;
    testing::PlainProcessor(cpu);
    testing::FakePlatform os;
    os.processor_count = 2;
    std::atomic<long> readings{0};
    WindowServices services;
    services.live_measure = [&](const LiveProcessor& p) {
        ++readings;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        return LiveReading{p.processor, PinStatus::Stayed, CoreClock{3000, 2600, false}};
    };
    services.live_first_reading = {};
    Tmainform form(Probe{cpu, os}, services);
    form.FormCreate();
    ASSERT_TRUE(testing::WaitForClock(form));

    QAction* entry = Find<QAction>(form, "mnuMainEditDetails");
    size_t after_first = 0;
    int finished = 0;
    for (int round = 0; round < 200; ++round) {
        entry->trigger();
        auto* details = form.findChild<DetailsWindow*>();
        ASSERT_NE(details, nullptr);
        ASSERT_TRUE(details->OpenDump(QString::fromStdString(large)));
        // Mostly closed while reading; every 25th round the dump is shown first.
        if (round % 25 == 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !details->IsOpening(); }, 60000));
            ++finished;
        } else {
            QTest::qWait(round % 7);
        }
        QTest::mouseClick(Find<QPushButton>(*details, "closeButton"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(form.findChild<DetailsWindow*>(), nullptr);
        if (round == 0) {
            WaitForWorkers();
            QCoreApplication::processEvents();
            after_first = HeapInUse();
        }
    }
    WaitForWorkers();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const size_t at_end = HeapInUse();
    EXPECT_LT(at_end, after_first + (4u << 20)) << after_first << " bytes after the first round";
    EXPECT_GT(readings.load(), 0);
    EXPECT_EQ(finished, 8);
    EXPECT_TRUE(testing::ShownErrors().empty());
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
