// The clock measured off the GUI thread: the window answers while it runs, a processor change
// abandons it, and the copy command waits for it.
#include <QClipboard>
#include <QGuiApplication>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "window_support.h"

namespace talvex {
namespace {

using testing::Find;

// Two processors whose time stamp counters run at 1000 and 2000 MHz. The millisecond timer of a
// measuring thread stands still until the test opens the gate, so a measurement stays under way
// for as long as the test needs. A failing timer throws; readings on the GUI thread are counted.
class GatedClock final : public testing::FakePlatform {
public:
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override {
        pinned_ = processors.empty() ? 0 : processors.front();
        return FakePlatform::SetThreadAffinity(processors);
    }
    uint32_t TimeGetTime() override {
        if (std::this_thread::get_id() == gui_) ++gui_readings;
        if (fail.load()) throw std::runtime_error("timer failure");
        if (open.load()) ms_ += 10;
        std::this_thread::yield();
        return ms_;
    }
    int64_t QueryPerformanceCounter() override { return int64_t{ms_} * 1000000; }
    int64_t QueryPerformanceFrequency() override {
        ++measurements;
        return 1000000000;
    }
    uint64_t ReadTimeStampCounter() override { return uint64_t{ms_} * 1000 * (pinned_ + 1) * 1000; }

    std::atomic<bool> open{false};
    std::atomic<int> measurements{0};
    std::atomic<bool> fail{false};
    std::atomic<int> gui_readings{0};

private:
    const std::thread::id gui_ = std::this_thread::get_id();
    static inline thread_local unsigned pinned_ = 0;
    static inline thread_local uint32_t ms_ = 0;
};

struct ClockWindowTest : ::testing::Test {
    testing::FakeSource cpu;
    GatedClock os;
    std::unique_ptr<Tmainform> form;

    void SetUp() override {
        testing::ShownErrors().clear();
        testing::PlainProcessor(cpu);
        os.processor_count = 2;
        form = std::make_unique<Tmainform>(Probe{cpu, os});
        RunHandler([&] { form->FormCreate(); });
    }
    void TearDown() override { form.reset(); }
    QLineEdit* Clock() const { return Find<QLineEdit>(*form, "editCPUClock"); }
};

TEST_F(ClockWindowTest, AProcessorChangeNeverShowsTheClockOfTheProcessorBefore) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(Clock()->text(), "measuring...");
    QStringList shown;
    QObject::connect(Clock(), &QLineEdit::textChanged, [&](const QString& text) { shown << text; });

    // Keys are answered while CPU1 is measured; the change abandons that measurement.
    QComboBox* processors = Find<QComboBox>(*form, "cmbProcessorMask");
    QTest::keyClick(processors, Qt::Key_Down);
    EXPECT_EQ(processors->currentText(), "CPU2");
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}, {1}}));
    EXPECT_EQ(Clock()->text(), "measuring...");
    QTest::qWait(20);

    os.open = true;
    ASSERT_TRUE(testing::WaitForClock(*form));
    QTest::qWait(20);  // anything still queued from CPU1 arrives now, or never
    EXPECT_EQ(Clock()->text(), "2000.000MHz");
    EXPECT_FALSE(shown.contains("1000.000MHz")) << shown.join(", ").toStdString();
    EXPECT_EQ(os.worker_pins, (std::vector<std::vector<unsigned>>{{0}, {1}}));
    EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(ClockWindowTest, TheCopyWaitsForTheMeasurementUnderWay) {
    QGuiApplication::clipboard()->clear();
    // Opened from another thread while the copy waits (or, on a slow machine, before it does).
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        os.open = true;
    });
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    opener.join();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\r\nClock: 1000.000MHz\r\n"));
    EXPECT_EQ(Clock()->text(), "1000.000MHz");
    EXPECT_FALSE(form->ClockMeasuring());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(os.measurements.load(), 1);  // the report took the window's measurement

    // Measured already, the copy takes the value at once.
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\r\nClock: 1000.000MHz\r\n"));
    EXPECT_EQ(os.measurements.load(), 1);
    EXPECT_TRUE(testing::ShownErrors().empty());
}

// After a failed measurement the copy measures anew, off the GUI thread too, and leaves the field
// alone; a failure there is reported as the window's own was, and nothing is copied.
TEST_F(ClockWindowTest, TheCopyAfterAFailedMeasurementMeasuresOffTheGuiThread) {
    QGuiApplication::clipboard()->clear();
    os.fail = true;
    os.open = true;
    ASSERT_TRUE(testing::WaitForClock(*form));
    EXPECT_EQ(Clock()->text(), "");
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");

    os.fail = false;
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\r\nClock: 1000.000MHz\r\n"));
    EXPECT_EQ(Clock()->text(), "");
    EXPECT_EQ(os.gui_readings.load(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(testing::ShownErrors(), (std::vector<QString>{"timer failure.", "timer failure."}));
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
