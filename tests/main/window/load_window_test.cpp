// The data load, processor selection and flag panel as the window shows them.
#include <QAction>
#include <QLabel>
#include <QMenu>

#include "main/report/load_data.h"
#include "support/dumps.h"
#include "version/version.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;
using testing::WindowFixture;

struct LoadWindowTest : WindowFixture {
    void SetUp() override {
        WindowFixture::SetUp();
        testing::PlainProcessor(cpu);
    }
    std::vector<QString> VisibleProcessorEntries() const {
        std::vector<QString> shown;
        for (QAction* a : Find<QMenu>(*form, "mnuMainEditCPU")->actions())
            if (a->isVisible()) shown.push_back(a->text());
        return shown;
    }
    std::string Flags() const {
        std::string yes_no;
        for (int k = 0; k < 32; ++k) {
            const QString text = BitValue(*form, k)->text();
            yes_no += text == "YES" ? '1' : text == "NO" ? '0' : '?';
        }
        return yes_no;
    }
    // Every field's text and enabled state as the same data load left them in a plain table.
    void ExpectShows(const RecordingSink& expected) const {
        testing::WaitForClock(*form);
        for (int f = 0; f < kLoadFieldCount; ++f) {
            const auto field = static_cast<LoadField>(f);
            auto* w = form->client()->findChild<QWidget*>(layout::ControlName(field));
            ASSERT_NE(w, nullptr) << layout::ControlName(field);
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                EXPECT_EQ(edit->text().toStdString(), expected[field].text) << layout::ControlName(field);
            }
            EXPECT_EQ(w->isEnabled(), expected[field].enabled) << layout::ControlName(field);
        }
    }
    void ExpectNames(FlagRegister id) const {
        const auto& names = *FlagRegisterOf(id).names;
        for (int k = 0; k < 32; ++k) {
            EXPECT_EQ(BitCaption(*form, k)->text().toStdString(), names[k].long_name) << k;
            EXPECT_EQ(BitName(*form, k)->text().toStdString(), names[k].short_name) << k;
        }
    }
};

TEST_F(LoadWindowTest, OneProcessor) {
    Open();
    EXPECT_EQ(form->windowTitle(), "Talvex v" + QString::fromStdString(ProgramVersion.Text));
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->count(), 1);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentText(), "CPU1");
    EXPECT_TRUE(Find<QComboBox>(*form, "cmbProcessorMask")->isEnabled());
    EXPECT_EQ(VisibleProcessorEntries(), (std::vector<QString>{"CPU1"}));
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}}));
    EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(LoadWindowTest, FourProcessorsChoosingTheThirdPinsMaskFourAndReloadsEveryField) {
    os.processor_count = 4;
    Open();
    EXPECT_EQ(VisibleProcessorEntries(), (std::vector<QString>{"CPU1", "CPU2", "CPU3", "CPU4"}));

    // The third processor is another part altogether: every field must come from it.
    testing::FakeSource other;
    other.Vendor("AuthenticAMD", 1).Set(1, 0x00100F42, 0x05040800, 0x00802009, 0x178BFBFF);
    other.Set(0x80000000, 0x80000008).Set(0x80000001, 0x00100F42, 0, 0, 0xEFD3FBFF);
    other.Set(0x80000005, 0, 0, 0x40020140, 0x40020140).Set(0x80000006, 0, 0, 0x02008140, 0x0030D140);
    RecordingSink expected;
    LoadData(Probe{other, os}, expected, ".");
    cpu.leaves = other.leaves;
    os.affinity_calls.clear();

    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentText(), "CPU3");
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{1}, {2}}));
    ExpectShows(expected);
    EXPECT_EQ(Find<QLabel>(*form, "Label12")->text().toStdString(), expected[LoadField::Label12].text);
}

TEST_F(LoadWindowTest, ProcessorMenuEntriesSelectLikeTheSelector) {
    os.processor_count = 40;  // only 32 can be offered
    Open();
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->count(), 32);
    EXPECT_EQ(VisibleProcessorEntries().size(), 32u);
    os.affinity_calls.clear();
    Find<QAction>(*form, "mnuMainEditCPU3")->trigger();
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentText(), "CPU3");
    Find<QAction>(*form, "mnuMainEditCPU32")->trigger();
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentText(), "CPU32");
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{2}, {31}}));

    // No entry selected names no processor: nothing happens.
    testing::WaitForClock(*form);
    WaitForWorkers();  // the measurement of CPU3, abandoned, too: the record is the window's alone now
    cpu.calls.clear();
    form->cmbProcessorMaskChange(-1);
    EXPECT_EQ(os.affinity_calls.size(), 2u);
    EXPECT_TRUE(cpu.calls.empty());
}

TEST_F(LoadWindowTest, EveryPanelShowsItsRegisterBitByBit) {
    cpu.Set(0x80860000, 0x80860001).Set(0xC0000000, 0xC0000001);
    Open();
    struct Row {
        FlagRegister id;
        uint32_t leaf;
        bool ecx;
    } rows[] = {
        {FlagRegister::StdEDX, 1, false},
        {FlagRegister::StdECX, 1, true},
        {FlagRegister::ExtEDX, 0x80000001, false},
        {FlagRegister::TransmetaEDX, 0x80860001, false},
        {FlagRegister::CentaurEDX, 0xC0000001, false},
    };
    for (const Row& row : rows) {
        for (uint32_t value : {0u, 0xFFFFFFFFu, 0x80000000u, 0x00000001u}) {
            TCPUIDRegs& r = cpu.leaves[row.leaf];
            (row.ecx ? r.ECX : r.EDX) = value;
            (row.ecx ? r.EDX : r.ECX) = ~value;  // the other register must not leak in
            Find<QAction>(*form, layout::MenuName(row.id))->trigger();
            EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText().toStdString(),
                      FlagRegisterOf(row.id).entry_text);
            std::string expected;
            for (int k = 0; k < 32; ++k) expected += BitSet(value, k) ? '1' : '0';
            EXPECT_EQ(Flags(), expected) << FlagRegisterOf(row.id).entry_text << std::hex << value;
            ExpectNames(row.id);
        }
    }
}

TEST_F(LoadWindowTest, AnAbsentRangeShowsItsNamesWithEveryBitNo) {
    cpu.Set(0x80000000, 0x80000000).Set(0x80000001, 0, 0, 0, 0xFFFFFFFF);  // ends at its base
    Open();
    Find<QAction>(*form, "mnuMainEditFlagExtended")->trigger();  // hidden, but its handler must still hold
    EXPECT_EQ(Flags(), std::string(32, '0'));
    ExpectNames(FlagRegister::ExtEDX);

    cpu.Vendor("GenuineIntel", 0).Set(1, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);  // highest standard leaf 0
    Find<QAction>(*form, "mnuMainEditFlagStdECX")->trigger();
    EXPECT_EQ(Flags(), std::string(32, '0'));
    Find<QAction>(*form, "mnuMainEditFlagStdEDX")->trigger();
    EXPECT_EQ(Flags(), std::string(32, '0'));
}

TEST_F(LoadWindowTest, SelectorTextAndPanelAgreeAfterMenuChoiceAndProcessorChange) {
    os.processor_count = 2;
    Open();
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Standard Flags(EDX)");
    ExpectNames(FlagRegister::StdEDX);
    EXPECT_TRUE(Find<QAction>(*form, "mnuMainEditFlagExtended")->isVisible());
    EXPECT_FALSE(Find<QAction>(*form, "mnuMainEditFlagTransmeta")->isVisible());

    Find<QAction>(*form, "mnuMainEditFlagExtended")->trigger();
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Extended Flags");
    ExpectNames(FlagRegister::ExtEDX);
    EXPECT_EQ(Flags()[29], '1');

    // The next processor has no extended range: the list loses it, the panel keeps its names, all NO.
    cpu.Set(0x80000000, 0x80000000);
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Extended Flags");
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->count(), 2);
    EXPECT_FALSE(Find<QAction>(*form, "mnuMainEditFlagExtended")->isVisible());
    ExpectNames(FlagRegister::ExtEDX);
    EXPECT_EQ(Flags(), std::string(32, '0'));

    // The shown text is in no entry, so the first arrow press chooses the first entry.
    QTest::keyClick(Find<QComboBox>(*form, "cmbFeature"), Qt::Key_Down);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Standard Flags(EDX)");
    ExpectNames(FlagRegister::StdEDX);
    QTest::keyClick(Find<QComboBox>(*form, "cmbFeature"), Qt::Key_Down);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Standard Flags(ECX)");
    ExpectNames(FlagRegister::StdECX);
}

TEST_F(LoadWindowTest, NoCPUIDKeepsTheLayoutAndDisablesTheFeatureSelector) {
    cpu.has_cpuid = false;
    Open();
    EXPECT_FALSE(Find<QComboBox>(*form, "cmbFeature")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Standard Flags(EDX)");
    EXPECT_EQ(Find<QLineEdit>(*form, "editCPUClock")->text(), ".000MHz");
    EXPECT_TRUE(Find<QLineEdit>(*form, "editVendorID")->text().isEmpty());
    EXPECT_FALSE(Find<QLabel>(*form, "lblMMX")->isEnabled());
    EXPECT_FALSE(Find<QAction>(*form, "mnuMainEditFlagStdEDX")->isVisible());
    EXPECT_EQ(Flags(), std::string(32, '0'));
    EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(LoadWindowTest, ProcessorBytesAreShownAsLatin1) {
    cpu.Vendor("Genuine\xC9ntel", 1);
    cpu.Set(0x80000002, 0x20FFE9C0).Set(0x80000003, 0).Set(0x80000004, 0);
    Open();
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), QString::fromUtf8("GenuineÉntel"));
    EXPECT_EQ(Find<QLineEdit>(*form, "editNameString")->text(), QString::fromUtf8("Àéÿ "));
}

TEST_F(LoadWindowTest, AnErrorInsideTheLoadIsShownAndTheWindowStaysUsable) {
    os.processor_count = 2;
    Open();
    cpu.Vendor("CentaurHauls", 2);
    cpu.throw_on_leaf = 0x80000002;  // the brand string, step 7
    BitName(*form, 0)->setText("marker");
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Down);
    ASSERT_EQ(testing::ShownErrors().size(), 1u);
    EXPECT_EQ(testing::ShownErrors()[0], "fake processor failure.");
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "CentaurHauls");  // written before the error
    EXPECT_EQ(BitName(*form, 0)->text(), "marker");                             // the panel fill did not run

    ASSERT_TRUE(testing::WaitForClock(*form));  // the processor's table changes only between measurements
    cpu.throw_on_leaf.reset();
    QTest::keyClick(Find<QComboBox>(*form, "cmbProcessorMask"), Qt::Key_Up);
    EXPECT_EQ(testing::ShownErrors().size(), 1u);
    EXPECT_EQ(BitName(*form, 0)->text(), "FPU");
    EXPECT_EQ(Find<QLineEdit>(*form, "editNameString")->text().trimmed(),
              "Intel(R) Pentium(R) 4 CPU 2.80GHz");
}

TEST_F(LoadWindowTest, ClockReMeasureWritesOnlyTheClock) {
    cpu.Vendor("GenuineTMx86", 1).Set(0x80860000, 0x80860007).Set(0x80860001, 0, 0, 600);
    Open();
    EXPECT_EQ(Find<QLineEdit>(*form, "editCPUClock")->text(), "600.000MHz");
    cpu.leaves[0x80860001].ECX = 733;
    cpu.Vendor("changed", 1);
    Find<QAction>(*form, "mnuMainEditGetClock")->trigger();
    testing::WaitForClock(*form);
    EXPECT_EQ(Find<QLineEdit>(*form, "editCPUClock")->text(), "733.000MHz");
    EXPECT_EQ(Find<QLineEdit>(*form, "editVendorID")->text(), "GenuineTMx86");
}

TEST_F(LoadWindowTest, ReplayedDumpMatchesTheDataLoad) {
    testing::Replayed esther("via-c7-m-esther.txt");
    form = std::make_unique<Tmainform>(esther.probe);
    RunHandler([&] { form->FormCreate(); });
    RecordingSink expected;
    LoadData(esther.probe, expected, ".");
    ExpectShows(expected);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->count(), 4);  // EDX, ECX, extended, Centaur
    Find<QAction>(*form, "mnuMainEditFlagCentaur")->trigger();
    // Centaur EDX 0xFFCC: RNG and RNG-E set, AIS and AIS-E clear, set reserved bits show YES.
    EXPECT_EQ(Flags().substr(0, 16), "0011001111111111");
    EXPECT_EQ(BitCaption(*form, 8)->text(), "Advanced Cryptography Engine 2");
    EXPECT_EQ(BitCaption(*form, 14)->text(), "Reserved");
    form.reset();
    WaitForWorkers();  // before the recorded processor goes
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
