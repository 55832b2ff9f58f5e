#include "main/report/load_data.h"

#include <gtest/gtest.h>

#include <string>

#include "support/dumps.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using enum LoadField;
using testing::FakePlatform;
using testing::FakeSource;

RecordingSink LoadDump(const std::string& name) {
    RecordingSink sink;
    LoadData(testing::Replayed(name).probe, sink, ",");
    return sink;
}

// Expected values worked out by hand from each dump's registers.
TEST(LoadDataDumps, FieldsFromRealProcessors) {
    struct Row {
        const char* dump;
        LoadField field;
        std::string text;
    } rows[] = {
        // Northwood: leaf 2 descriptors 0x70 (12K uop trace cache), 0x66 (8 KB L1D), 0x7B (512 KB L2),
        // 0x40 (no L3); brand with 14 leading spaces; family F, HT count 2, brand index 9.
        {"intel-pentium-4-northwood-2.80.txt", Label12, "L1 T-Cache"},
        {"intel-pentium-4-northwood-2.80.txt", editL1I, "12KuOps"},
        {"intel-pentium-4-northwood-2.80.txt", editL1D, "8KB"},
        {"intel-pentium-4-northwood-2.80.txt", editL2, "512KB"},
        {"intel-pentium-4-northwood-2.80.txt", editL3, ""},
        {"intel-pentium-4-northwood-2.80.txt", editNameString,
         std::string(14, ' ') + "Intel(R) Pentium(R) 4 CPU 2.80GHz"},
        {"intel-pentium-4-northwood-2.80.txt", editVendorID, "GenuineIntel"},
        {"intel-pentium-4-northwood-2.80.txt", editFamily, "F"},
        {"intel-pentium-4-northwood-2.80.txt", editModel, "2"},
        {"intel-pentium-4-northwood-2.80.txt", editStep, "9"},
        {"intel-pentium-4-northwood-2.80.txt", editFamilyEx, "00"},
        {"intel-pentium-4-northwood-2.80.txt", editModelEx, ""},
        {"intel-pentium-4-northwood-2.80.txt", editExtFamily, ""},  // 0x80000001 EAX is 0
        {"intel-pentium-4-northwood-2.80.txt", editHT, "2"},
        {"intel-pentium-4-northwood-2.80.txt", editAPICID, "00"},
        {"intel-pentium-4-northwood-2.80.txt", editBrandID, "09"},
        {"intel-pentium-4-northwood-2.80.txt", editProcessorType, "Original OEM Processor"},
        {"intel-pentium-4-northwood-2.80.txt", editCPUClock, ",000MHz"},  // replayed: no clock
        // Prescott: its L1D (0x60) and L2 (0x7D) descriptors are not in the table, only the trace
        // cache; leaf 4 gives the two sizes the table leaves unknown.
        {"intel-pentium-4-640-prescott-2m.txt", editL1I, "12KuOps"},
        {"intel-pentium-4-640-prescott-2m.txt", editL1D, "16KB"},
        {"intel-pentium-4-640-prescott-2m.txt", editL2, "2048KB"},
        {"intel-pentium-4-640-prescott-2m.txt", editFamily, "F"},
        {"intel-pentium-4-640-prescott-2m.txt", editModel, "4"},
        // Katmai: no extended range, so the name field falls back to the digits; descriptors 0x08
        // (16 KB L1I), 0x0C (16 KB L1D), 0x43 (512 KB L2); no brand index, no HT count.
        {"intel-pentium-iii-katmai.txt", editNameString, "x86 Family 6 Model 7 Stepping 3"},
        {"intel-pentium-iii-katmai.txt", Label12, "L1 I-Cache"},
        {"intel-pentium-iii-katmai.txt", editL1I, "16KB"},
        {"intel-pentium-iii-katmai.txt", editL1D, "16KB"},
        {"intel-pentium-iii-katmai.txt", editL2, "512KB"},
        {"intel-pentium-iii-katmai.txt", editL3, ""},
        {"intel-pentium-iii-katmai.txt", editBrandID, ""},
        {"intel-pentium-iii-katmai.txt", editHT, ""},
        {"intel-pentium-iii-katmai.txt", editFamilyEx, ""},
        // Kentsfield: family 6 model F shows the extended model digit (0).
        {"intel-core2-quad-q6600-kentsfield.txt", editFamilyEx, ""},
        {"intel-core2-quad-q6600-kentsfield.txt", editModelEx, "0"},
        {"intel-core2-quad-q6600-kentsfield.txt", editModel, "F"},
        // C7-M: brand starts with 21 spaces, the vendor is Centaur's.
        {"via-c7-m-esther.txt", editVendorID, "CentaurHauls"},
        {"via-c7-m-esther.txt", editNameString, std::string(21, ' ') + "VIA C7-M Processor 1200MHz"},
    };
    std::string loaded;
    RecordingSink sink;
    for (const Row& row : rows) {
        if (loaded != row.dump) {
            sink = LoadDump(row.dump);
            loaded = row.dump;
        }
        EXPECT_EQ(sink[row.field].text, row.text) << row.dump << " field " << static_cast<int>(row.field);
    }
}

TEST(LoadDataDumps, SummaryLabelsAndFeatureList) {
    // Northwood: EDX 0xBFEBFBFF (MMX, SSE, SSE2, no IA-64), ECX 0x4400 (no SSE3), extended EDX 0.
    RecordingSink p4 = LoadDump("intel-pentium-4-northwood-2.80.txt");
    EXPECT_TRUE(p4[lblMMX].enabled && p4[lblSSE].enabled && p4[lblSSE2].enabled && p4[lblHT].enabled);
    EXPECT_FALSE(p4[lblSSE3].enabled || p4[lblIA64].enabled || p4[lblEMMX].enabled || p4[lblAA64].enabled);
    ASSERT_EQ(p4.feature_list.size(), 3u);
    EXPECT_STREQ(p4.feature_list[2]->entry_text, "Extended Flags");
    EXPECT_TRUE(p4[editNameString].enabled);

    // Prescott: extended EDX 0x20100000 has long mode.
    EXPECT_TRUE(LoadDump("intel-pentium-4-640-prescott-2m.txt")[lblAA64].enabled);

    // Katmai: no extended range, name field greyed, extended labels keep the layout's grey.
    RecordingSink p3 = LoadDump("intel-pentium-iii-katmai.txt");
    EXPECT_FALSE(p3[editNameString].enabled);
    EXPECT_EQ(p3.feature_list.size(), 2u);
    EXPECT_FALSE(p3[editExtFamily].written);
    EXPECT_FALSE(p3.feature_menu_visible[2]);

    // C7-M: the Centaur range is listed, the Transmeta range is not.
    RecordingSink c7 = LoadDump("via-c7-m-esther.txt");
    ASSERT_EQ(c7.feature_list.size(), 4u);
    EXPECT_STREQ(c7.feature_list[3]->entry_text, "Centaur Flags");
    EXPECT_TRUE(c7.feature_menu_visible[4]);
    EXPECT_FALSE(c7.feature_menu_visible[3]);
}

struct LoadDataFake : ::testing::Test {
    FakeSource cpu;
    FakePlatform os;
    RecordingSink sink;
    void Load() { LoadData(Probe{cpu, os}, sink, "."); }
};

TEST_F(LoadDataFake, BrandLeafWithZeroByteContributesOnlyWhatPrecedesIt) {
    cpu.Vendor("GenuineIntel", 1).Set(1, 0x00000F29).Set(0x80000000, 0x80000004);
    cpu.Set(0x80000002, 0x20202020, 0x00424120, 0x5A5A5A5A, 0x5A5A5A5A);  // "    " " AB\0" ...
    cpu.Set(0x80000003, 0x44434241);                                      // "ABCD" then zeros
    cpu.Set(0x80000004, 0x00000000, 0x45454545);                          // empty piece
    Load();
    EXPECT_EQ(sink[editNameString].text, "     ABABCD");
}

TEST_F(LoadDataFake, ExtendedRangeEndingAt80000003UsesTheDigitsGreyed) {
    cpu.Vendor("GenuineIntel", 1).Set(1, 0x00000683).Set(0x80000000, 0x80000003).Set(0x80000001, 0x00000F43);
    Load();
    EXPECT_EQ(sink[editNameString].text, "x86 Family 6 Model 8 Stepping 3");
    EXPECT_FALSE(sink[editNameString].enabled);
    EXPECT_EQ(sink[editExtFamily].text + sink[editExtModel].text + sink[editExtStep].text, "F43");
}

TEST_F(LoadDataFake, SignatureExtensions) {
    struct Case {
        uint32_t signature;
        const char* family_ex;
        const char* model_ex;
    } cases[] = {
        {0x00F00F20, "0F", ""},   // family 15, model 2: two digits of bits 27..20
        {0x000306F2, "", "3"},    // family 6, model 15: bits 19..16
        {0x00100FF1, "01", "0"},  // both
        {0x00000673, "", ""},
    };
    for (const Case& c : cases) {
        cpu.Vendor("GenuineIntel", 1).Set(1, c.signature);
        Load();
        EXPECT_EQ(sink[editFamilyEx].text, c.family_ex) << std::hex << c.signature;
        EXPECT_EQ(sink[editModelEx].text, c.model_ex) << std::hex << c.signature;
    }
}

TEST_F(LoadDataFake, LeafOneEbxAndLogicalCount) {
    struct Case {
        uint32_t ebx;
        uint32_t edx;
        const char* apic;
        const char* brand;
        const char* ht;
        bool lbl_ht;
    } cases[] = {
        {0x00000000, 0x00000000, "00", "", "", false},   // no HTT bit: count 0
        {0x00010000, 0x10000000, "00", "", "1", false},  // one logical processor
        {0x07020016, 0x10000000, "07", "16", "2", true},
        {0xFF00FFFF, 0x10000000, "FF", "FF", "", false},  // HTT set, count 0
    };
    for (const Case& c : cases) {
        cpu.Vendor("GenuineIntel", 1).Set(1, 0x00000F29, c.ebx, 0, c.edx);
        Load();
        EXPECT_EQ(sink[editAPICID].text, c.apic) << std::hex << c.ebx;
        EXPECT_EQ(sink[editBrandID].text, c.brand) << std::hex << c.ebx;
        EXPECT_EQ(sink[editHT].text, c.ht) << std::hex << c.ebx;
        EXPECT_EQ(sink[lblHT].enabled, c.lbl_ht) << std::hex << c.ebx;
    }
}

TEST_F(LoadDataFake, ProcessorTypeByBits13And12) {
    const char* expected[] = {"Original OEM Processor", "OverDrive Processor", "Dual Processor", "Reserved"};
    for (uint32_t type = 0; type < 4; ++type) {
        cpu.Vendor("GenuineIntel", 1).Set(1, 0x00000673 | (type << 12));
        Load();
        EXPECT_EQ(sink[editProcessorType].text, expected[type]);
    }
}

TEST_F(LoadDataFake, NoCPUIDKeepsFieldsButWritesNameClockAndCaches) {
    cpu.has_cpuid = false;
    sink.SetText(editVendorID, "kept");
    sink.SetText(editFamily, "6");
    sink.SetText(editNameString, "old brand");
    Load();
    EXPECT_EQ(sink[editVendorID].text, "kept");
    EXPECT_EQ(sink[editFamily].text, "6");
    EXPECT_EQ(sink[editNameString].text, "");
    EXPECT_EQ(sink[editCPUClock].text, ".000MHz");
    EXPECT_TRUE(sink[editCPUName].written);
    EXPECT_EQ(sink[editL1D].text, "0KB");
    EXPECT_EQ(sink[editL1I].text, "0KB");
    EXPECT_EQ(sink[editL2].text, "");
    EXPECT_FALSE(sink[cmbFeature].enabled);
    EXPECT_TRUE(sink.feature_list.empty());
    EXPECT_FALSE(sink[lblMMX].enabled);
}

TEST_F(LoadDataFake, HighestStandardLeafZeroKeepsLeafOneFieldsAndTheList) {
    sink.SetText(editFamily, "5");
    sink.AddFeatureEntry(kFlagRegisters[0]);
    cpu.Vendor("AuthenticAMD", 0).Set(1, 0x00000F29, 0, 0, 0xFFFFFFFF);
    cpu.Set(0x80000000, 0x80000001).Set(0x80000001, 0x00000F48, 0, 0, 0x80000000);
    Load();
    EXPECT_EQ(sink[editVendorID].text, "AuthenticAMD");
    EXPECT_EQ(sink[editFamily].text, "5");
    EXPECT_FALSE(sink[cmbFeature].enabled);
    EXPECT_EQ(sink.feature_list.size(), 1u);
    EXPECT_FALSE(sink[lblMMX].enabled);   // standard labels keep their state
    EXPECT_TRUE(sink[lbl3DNOW].enabled);  // the extended steps still run
    EXPECT_EQ(sink[editExtFamily].text, "F");
    EXPECT_EQ(sink[editNameString].text, "x86 Family 5 Model  Stepping ");
}

TEST_F(LoadDataFake, RangePresenceIsStrictlyAboveTheBase) {
    cpu.Vendor("GenuineTMx86", 1).Set(0x80000000, 0x80000000).Set(0x80860000, 0x80860001);
    cpu.Set(0xC0000000, 0xC0000000);
    Load();
    ASSERT_EQ(sink.feature_list.size(), 3u);
    EXPECT_EQ(sink.feature_list[2]->id, FlagRegister::TransmetaEDX);
    EXPECT_EQ(sink.feature_menu_visible, (std::array<bool, 5>{true, true, false, true, false}));
}

TEST_F(LoadDataFake, ClockUsesTheGivenDecimalSeparator) {
    cpu.Vendor("GenuineTMx86", 1).Set(0x80860000, 0x80860007).Set(0x80860001, 0, 0, 933);
    LoadData(Probe{cpu, os}, sink, ",");
    EXPECT_EQ(sink[editCPUClock].text, "933,000MHz");
}

TEST_F(LoadDataFake, AnErrorStopsTheLoadWhereItOccurs) {
    cpu.Vendor("GenuineIntel", 1).Set(1, 0x00000F29).Set(0x80000000, 0x80000004);
    cpu.throw_on_leaf = 0x80000002;
    EXPECT_THROW(Load(), std::runtime_error);
    EXPECT_EQ(sink[editFamily].text, "F");  // written before the failing step
    EXPECT_FALSE(sink[editL1D].written);    // never reached
}

}  // namespace
}  // namespace talvex
