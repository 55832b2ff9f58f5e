// The window on the processor this test runs on, with real pinning and a stand-in clock.
#include <sched.h>

#include <atomic>

#include "main/report/load_data.h"
#include "main/window/layout.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;

// The real operating system, except that the measuring second passes in a few reads.
class HostPlatform final : public LinuxPlatform {
public:
    uint32_t TimeGetTime() override { return ms_ += 1; }
    int64_t QueryPerformanceCounter() override { return qpc_ += 1000000; }

private:
    // A measurement abandoned may still be reading as the next one starts.
    std::atomic<uint32_t> ms_ = 0;
    std::atomic<int64_t> qpc_ = 0;
};

struct HostTest : ::testing::Test {
    HardwareSource cpu;
    HostPlatform os;
    cpu_set_t saved{};
    void SetUp() override {
        testing::ShownErrors().clear();
        sched_getaffinity(0, sizeof saved, &saved);
    }
    void TearDown() override {
        WaitForWorkers();  // the window's workers use `os`, which goes after this
        sched_setaffinity(0, sizeof saved, &saved);
    }
};

TEST_F(HostTest, TheWindowShowsWhatTheProbeSays) {
    Tmainform form(Probe{cpu, os});
    RunHandler([&] { form.FormCreate(); });
    ASSERT_TRUE(testing::ShownErrors().empty());
    RecordingSink expected;
    LoadData(Probe{cpu, os}, expected, ".");
    for (LoadField field : {LoadField::editCPUName, LoadField::editVendorID, LoadField::editNameString,
                            LoadField::editFamily, LoadField::editModel, LoadField::editStep,
                            LoadField::editL1D, LoadField::editL2, LoadField::editL3}) {
        auto* edit = form.client()->findChild<QLineEdit*>(layout::ControlName(field));
        EXPECT_EQ(edit->text().toLatin1().toStdString(), expected[field].text) << layout::ControlName(field);
    }
    EXPECT_FALSE(Find<QLineEdit>(form, "editVendorID")->text().isEmpty());
    EXPECT_EQ(BitValue(form, 4)->text(), "YES");  // every x86-64 processor has a TSC
    EXPECT_EQ(Find<QComboBox>(form, "cmbProcessorMask")->count(), std::min<int>(os.ProcessorCount(), 32));
}

// The window starts on the first processor it may run on; the user's choice of the next one pins
// the thread to that one alone.
TEST_F(HostTest, ChoosingAnotherProcessorPinsTheThreadToIt) {
    const std::vector<unsigned> allowed = os.ThreadAffinity();
    if (allowed.size() < 2 || allowed[1] >= layout::kProcessorEntries)
        GTEST_SKIP() << "needs two processors this process may run on among the first "
                     << layout::kProcessorEntries;
    Tmainform form(Probe{cpu, os});
    RunHandler([&] { form.FormCreate(); });
    auto* selector = Find<QComboBox>(form, "cmbProcessorMask");
    EXPECT_EQ(selector->currentIndex(), static_cast<int>(allowed[0]));
    const int next = static_cast<int>(allowed[1]);
    selector->setCurrentIndex(next);
    emit selector->activated(next);  // as the list raises it on a choice
    EXPECT_EQ(selector->currentText(), "CPU" + QString::number(next + 1));
    EXPECT_TRUE(testing::ShownErrors().empty());
    cpu_set_t now;
    ASSERT_EQ(sched_getaffinity(0, sizeof now, &now), 0);
    EXPECT_EQ(CPU_COUNT(&now), 1);
    EXPECT_TRUE(CPU_ISSET(allowed[1], &now));
    EXPECT_EQ(sched_getcpu(), next);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
