// One whole session on a recorded processor, as a user would run it: start, load, every flag
// register, the other processor, the clock, the copy command, then close. tools/valgrind-window
// runs this program under memcheck.
#include <QClipboard>
#include <QGuiApplication>

#include "support/dumps.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;

TEST(Session, StartLoadSwitchCopyClose) {
    testing::ShownErrors().clear();
    const ReplaySource source(testing::Normalized("intel-pentium-4-northwood-2.80.txt"));
    testing::FakePlatform os;
    os.processor_count = 2;
    auto form = std::make_unique<Tmainform>(Probe{source, os});
    RunHandler([&] { form->FormCreate(); });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "GenuineIntel");

    // Every register the selector offers, by keyboard, then back by the menu.
    const int registers = Find<QComboBox>(*form, "cmbFeature")->count();
    ASSERT_GE(registers, 3);
    for (int k = 1; k < registers; ++k) {
        QTest::keyClick(Find<QComboBox>(*form, "cmbFeature"), Qt::Key_Down);
        EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentIndex(), k);
    }
    Find<QAction>(*form, "mnuMainEditFlagStdEDX")->trigger();
    EXPECT_EQ(BitName(*form, 0)->text(), "FPU");

    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    EXPECT_EQ(os.masks.back(), 2u);
    QTest::mouseClick(Find<QPushButton>(*form, "cmd_TSC"), Qt::LeftButton);

    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\r\nVendorID: GenuineIntel\r\n"));
    QGuiApplication::clipboard()->clear();

    Find<QAction>(*form, "mnuMainExit")->trigger();
    QTest::qWait(10);
    EXPECT_FALSE(form->isVisible());
    form.reset();
    EXPECT_TRUE(testing::ShownErrors().empty());
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
