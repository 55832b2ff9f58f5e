// The window on the processor this test runs on, with real pinning and a stand-in clock.
#include <sched.h>

#include "main/report/load_data.h"
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
    uint32_t ms_ = 0;
    int64_t qpc_ = 0;
};

struct HostTest : ::testing::Test {
    HardwareSource cpu;
    HostPlatform os;
    cpu_set_t saved{};
    void SetUp() override {
        testing::ShownErrors().clear();
        sched_getaffinity(0, sizeof saved, &saved);
    }
    void TearDown() override { sched_setaffinity(0, sizeof saved, &saved); }
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
        auto* edit = form.client()->findChild<QLineEdit*>(LoadFieldName(field));
        EXPECT_EQ(edit->text().toLatin1().toStdString(), expected[field].text) << LoadFieldName(field);
    }
    EXPECT_FALSE(Find<QLineEdit>(form, "editVendorID")->text().isEmpty());
    EXPECT_EQ(BitValue(form, 4)->text(), "YES");  // every x86-64 processor has a TSC
    EXPECT_EQ(Find<QComboBox>(form, "cmbProcessorMask")->count(), std::min<int>(os.ProcessorCount(), 32));
}

TEST_F(HostTest, ChoosingCPU2PinsTheThreadToProcessorOne) {
    if (os.ProcessorCount() < 2) GTEST_SKIP() << "one processor";
    Tmainform form(Probe{cpu, os});
    RunHandler([&] { form.FormCreate(); });
    QTest::keyClick(Find<QComboBox>(form, "cmbProcessorMask"), Qt::Key_Down);
    EXPECT_EQ(Find<QComboBox>(form, "cmbProcessorMask")->currentText(), "CPU2");
    cpu_set_t now;
    ASSERT_EQ(sched_getaffinity(0, sizeof now, &now), 0);
    EXPECT_EQ(CPU_COUNT(&now), 1);
    EXPECT_TRUE(CPU_ISSET(1, &now));
    EXPECT_EQ(sched_getcpu(), 1);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
