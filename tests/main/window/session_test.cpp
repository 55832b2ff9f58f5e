// One whole session on a recorded processor, as a user would run it: start, load, every flag
// register, the other processor, the clock, the copy command, the details window (every tab, both
// processors, closed), then close. tools/valgrind-window
// runs this program under memcheck.
#include <QClipboard>
#include <QGuiApplication>

#include <QTabWidget>

#include "main/window/details_window.h"
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
    const testing::AwaitWorkers await;  // should a check fail before the end
    const ReplaySource source(testing::Normalized("intel-pentium-4-northwood-2.80.txt"));
    testing::FakePlatform os;
    os.processor_count = 2;
    os.affinity = {0, 1};
    // The fake platform's clock cannot time a chain of additions: the details window's live clock
    // reads from here.
    WindowServices services;
    services.live_measure = [](const LiveProcessor& p) {
        return LiveReading{p.processor, PinStatus::Stayed, CoreClock{}};
    };
    auto form = std::make_unique<Tmainform>(Probe{source, os}, services);
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
    EXPECT_EQ(os.affinity_calls.back(), std::vector<unsigned>{1});
    QTest::mouseClick(Find<QPushButton>(*form, "cmd_TSC"), Qt::LeftButton);

    // The copy waits, the window live, for the clock being measured.
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text().contains("\r\nVendorID: GenuineIntel\r\n"),
                             20000);
    QGuiApplication::clipboard()->clear();

    // The details window: every tab on the processor examined, the other processor, closed.
    Find<QAction>(*form, "mnuMainEditDetails")->trigger();
    auto* details = form->findChild<DetailsWindow*>();
    ASSERT_NE(details, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(details));
    auto* tabs = Find<QTabWidget>(*details, "tabs");
    for (int k = 0; k < tabs->count(); ++k) {
        tabs->setCurrentIndex(k);
        QTest::qWait(5);
    }
    EXPECT_EQ(Find<QComboBox>(*details, "processorChooser")->currentText(), "CPU2");
    EXPECT_EQ(Find<QLabel>(*details, "Vendor")->text(), "GenuineIntel");
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Up);
    EXPECT_EQ(Find<QComboBox>(*details, "processorChooser")->currentText(), "CPU1");
    QTest::keyClicks(Find<QLineEdit>(*details, "featureFilter"), "sse");
    QTest::mouseClick(Find<QPushButton>(*details, "closeButton"), Qt::LeftButton);
    QTest::qWait(10);
    EXPECT_EQ(form->findChild<DetailsWindow*>(), nullptr);

    Find<QAction>(*form, "mnuMainExit")->trigger();
    QTest::qWait(10);
    EXPECT_FALSE(form->isVisible());
    form.reset();
    WaitForWorkers();
    for (const QString& e : testing::ShownErrors()) ADD_FAILURE() << "[" << e.toStdString() << "]";
    EXPECT_TRUE(testing::ShownErrors().empty());
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
