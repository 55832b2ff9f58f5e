// The clock measured off the GUI thread: the window answers while it runs, a processor change
// abandons it, and a copy is queued behind it with the window live.
#include <QGuiApplication>

#include <atomic>
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
    std::vector<QString> copied;  // every text the window put on the clipboard
    std::unique_ptr<Tmainform> form;

    void SetUp() override {
        testing::ShownErrors().clear();
        testing::PlainProcessor(cpu);
        os.processor_count = 2;
        WindowServices services;
        services.write_clipboard = [this](const QString& text) {
            copied.push_back(text);
            return true;
        };
        form = std::make_unique<Tmainform>(Probe{cpu, os}, services);
        RunHandler([&] { form->FormCreate(); });
    }
    void TearDown() override {
        form.reset();
        os.open = true;  // an abandoned measurement ends at its next reading in any case
        WaitForWorkers();
    }
    QLineEdit* Clock() const { return Find<QLineEdit>(*form, "editCPUClock"); }
    void Copy() const { Find<QAction>(*form, "mnuMainEditCopy")->trigger(); }
    static QString ClockLine(const QString& report) {
        const qsizetype at = report.indexOf("\r\nClock: ") + 2;
        return report.mid(at, report.indexOf("\r\n", at) - at);
    }
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

// A copy asked for while the clock is measured is queued: the window stays live under a busy cursor,
// a second copy takes the place of the first, and the one report goes to the clipboard with the clock
// the window measured. Measured already, a copy goes at once.
TEST_F(ClockWindowTest, TheCopyIsQueuedBehindTheMeasurementWithTheWindowLive) {
    Copy();
    EXPECT_TRUE(form->CopyPending());
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    const QString shown = testing::BitName(*form, 0)->text();
    QTest::keyClick(Find<QComboBox>(*form, "cmbFeature"), Qt::Key_Down);  // answered meanwhile
    EXPECT_NE(testing::BitName(*form, 0)->text(), shown);
    Copy();
    QTest::qWait(20);
    EXPECT_TRUE(copied.empty());

    os.open = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CopyPending(); }, 20000));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(ClockLine(copied[0]), "Clock: 1000.000MHz");
    EXPECT_EQ(Clock()->text(), "1000.000MHz");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(os.measurements.load(), 1);  // the report took the window's measurement

    Copy();
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(ClockLine(copied[1]), "Clock: 1000.000MHz");
    EXPECT_EQ(os.measurements.load(), 1);
    EXPECT_TRUE(testing::ShownErrors().empty());
}

// The queued report is of the processor shown when it was asked for: changing the processor
// meanwhile leaves it waiting for that processor's clock, while the field measures the new one.
// A window closed meanwhile copies nothing.
TEST_F(ClockWindowTest, TheQueuedCopyKeepsToItsProcessorAndGoesWithItsWindow) {
    Copy();
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    EXPECT_EQ(Clock()->text(), "measuring...");
    EXPECT_TRUE(form->CopyPending());
    os.open = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CopyPending() && !form->ClockMeasuring(); }, 20000));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(ClockLine(copied[0]), "Clock: 1000.000MHz");
    EXPECT_EQ(Clock()->text(), "2000.000MHz");

    os.open = false;
    QTest::mouseClick(Find<QPushButton>(*form, "cmd_TSC"), Qt::LeftButton);
    Copy();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    form->close();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    os.open = true;
    QTest::qWait(50);
    EXPECT_EQ(copied.size(), 1u);
    EXPECT_TRUE(testing::ShownErrors().empty());
}

// After a failed measurement the copy measures anew, off the GUI thread too, and leaves the field
// alone; a failure there is reported as the window's own was, and nothing is copied.
TEST_F(ClockWindowTest, TheCopyAfterAFailedMeasurementMeasuresOffTheGuiThread) {
    os.fail = true;
    os.open = true;
    ASSERT_TRUE(testing::WaitForClock(*form));
    EXPECT_EQ(Clock()->text(), "");
    Copy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CopyPending(); }, 20000));
    EXPECT_TRUE(copied.empty());

    os.fail = false;
    Copy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CopyPending(); }, 20000));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(ClockLine(copied[0]), "Clock: 1000.000MHz");
    EXPECT_EQ(Clock()->text(), "");
    EXPECT_EQ(os.gui_readings.load(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(testing::ShownErrors(), (std::vector<QString>{"timer failure.", "timer failure."}));
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
