// Faults the window meets: pinning refused, a processor number that is not offered, the clipboard
// refusing the report. Each ends in a whole state, never a half-filled window.
#include <QClipboard>
#include <QGuiApplication>

#include "main/report/load_data.h"
#include "support/dumps.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;

using testing::ShownErrors;

// Answers as one recorded processor or another: the processor the thread happens to run on.
class SwitchSource final : public RegisterSource {
public:
    const RegisterSource* current = nullptr;
    bool HasCPUID() const override { return current->HasCPUID(); }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        return current->Execute(leaf, subleaf);
    }
};

// Every text the window shows in its client area (fields, captions, selectors), by object name.
std::map<QString, QString> Shown(const Tmainform& form) {
    std::map<QString, QString> texts;
    const auto direct = Qt::FindDirectChildrenOnly;
    for (QLineEdit* e : form.client()->findChildren<QLineEdit*>(direct)) texts[e->objectName()] = e->text();
    for (QLabel* l : form.client()->findChildren<QLabel*>(direct)) texts[l->objectName()] = l->text();
    for (QComboBox* c : form.client()->findChildren<QComboBox*>(direct))
        texts[c->objectName()] = c->currentText();
    return texts;
}

struct WindowFaults : ::testing::Test {
    ReplaySource first_source{testing::Normalized("intel-pentium-4-northwood-2.80.txt")};
    ReplaySource second_source{testing::Normalized("amd-ryzen-7-7700x-raphael.txt")};
    SwitchSource cpu;
    testing::FakePlatform os;
    // The clipboard as the window reaches it: refusing while `refuse` is set.
    bool refuse = false;
    int offered = 0;
    std::unique_ptr<Tmainform> form;

    void SetUp() override {
        ShownErrors().clear();
        cpu.current = &first_source;
        os.processor_count = 2;
    }
    void TearDown() override {
        form.reset();
        WaitForWorkers();
    }
    Tmainform& Open() {
        WindowServices services;
        services.write_clipboard = [this](const QString& text) {
            ++offered;
            return !refuse && WriteToClipboard(text);
        };
        form = std::make_unique<Tmainform>(Probe{cpu, os}, services);
        RunHandler([&] { form->FormCreate(); });
        testing::WaitForClock(*form);
        return *form;
    }
};

// A processor the system refuses is reported; the selector returns to the processor examined, whose
// data the window goes on showing.
TEST_F(WindowFaults, ARefusedProcessorIsReportedAndTheExaminedOneStays) {
    Open();
    ASSERT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "GenuineIntel");
    for (QLineEdit* e : form->client()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
        e->setText("stale");
    const auto before = Shown(*form);

    os.accept_affinity = false;
    cpu.current = &second_source;
    Find<QAction>(*form, "mnuMainEditCPU2")->trigger();
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}, {1}}));
    EXPECT_EQ(ShownErrors(), std::vector<QString>{"cannot run on processor 2."});
    EXPECT_EQ(Shown(*form), before);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentIndex(), 0);
}

// Started on the second of three processors alone (taskset -c 1): the window starts there and
// offers the others disabled, by the selector and by the menu, rather than widen the set the user
// chose; a choice that reaches it anyway is refused.
TEST_F(WindowFaults, StartedOnSomeProcessorsItKeepsToThem) {
    os.processor_count = 3;
    os.affinity = {1};
    cpu.current = &second_source;
    Open();
    QComboBox* processors = Find<QComboBox>(*form, "cmbProcessorMask");
    EXPECT_EQ(processors->currentText(), "CPU2");
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{1}}));
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "AuthenticAMD");
    ASSERT_EQ(processors->count(), 3);
    for (int k = 0; k < 3; ++k) {
        const bool allowed = k == 1;
        EXPECT_EQ(processors->model()->flags(processors->model()->index(k, 0)).testFlag(Qt::ItemIsEnabled),
                  allowed)
            << k;
        const QString entry = QString("mnuMainEditCPU%1").arg(k + 1);
        EXPECT_TRUE(Find<QAction>(*form, entry)->isVisible()) << k;
        EXPECT_EQ(Find<QAction>(*form, entry)->isEnabled(), allowed) << k;
    }
    const auto before = Shown(*form);

    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down}) QTest::keyClick(processors, key);
    Find<QAction>(*form, "mnuMainEditCPU1")->trigger();
    EXPECT_EQ(processors->currentIndex(), 1);
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{1}}));
    EXPECT_EQ(Shown(*form), before);

    form->cmbProcessorMaskChange(0);
    EXPECT_EQ(ShownErrors(),
              std::vector<QString>{"cannot run on processor 1: this process may run only on processor 2."});
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{1}}));
    EXPECT_EQ(Shown(*form), before);
    EXPECT_EQ(processors->currentIndex(), 1);
}

// Started beyond the 32 processors the selector offers (taskset -c 40,41 on 64): the window starts
// on the first allowed one, named though it has no entry, and refuses the ones it may not use.
TEST_F(WindowFaults, StartedOnHighProcessorsItStartsOnTheFirstOfThem) {
    os.processor_count = 64;
    os.affinity = {40, 41};
    cpu.current = &second_source;
    Open();
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{40}}));
    QComboBox* processors = Find<QComboBox>(*form, "cmbProcessorMask");
    EXPECT_EQ(processors->currentText(), "CPU41");
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "AuthenticAMD");
    const auto before = Shown(*form);

    EXPECT_FALSE(Find<QAction>(*form, "mnuMainEditCPU1")->isEnabled());
    form->cmbProcessorMaskChange(0);
    EXPECT_EQ(
        ShownErrors(),
        std::vector<QString>{"cannot run on processor 1: this process may run only on processors 41-42."});
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{40}}));
    EXPECT_EQ(Shown(*form), before);
}

TEST_F(WindowFaults, ProcessorNumbersNotOfferedChangeNothing) {
    Open();
    const auto before = Shown(*form);
    for (int index : {-1, 2, 31, 32, 1000}) {
        form->mnuMainEditCPUClick(index);
        EXPECT_EQ(Shown(*form), before) << index;
    }
    for (int index : {-1, 32, 1000}) form->cmbProcessorMaskChange(index);
    EXPECT_EQ(Shown(*form), before);
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}}));
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(WindowFaults, ARefusingClipboardIsReportedAndChangesNothing) {
    Open();
    QGuiApplication::clipboard()->setText("held before");
    const auto before = Shown(*form);
    refuse = true;
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(ShownErrors(),
              (std::vector<QString>{QString::fromUtf8("クリップボードを開くことができません.")}));
    EXPECT_EQ(Shown(*form), before);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "held before");

    // Once the clipboard takes it again, the same command works.
    refuse = false;
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    EXPECT_EQ(ShownErrors().size(), 1u);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\r\nVendorID: GenuineIntel\r\n"));
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
