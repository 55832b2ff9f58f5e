// Processors that answer what no real one does: absurd highest leaves, range bases answering
// nonsense, vendor and brand registers full of zero bytes, control characters and bytes above
// 0x7F. Every routine must finish, stay within its bounds and say what the registers say.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/report/load_data.h"
#include "main/report/report.h"
#include "probe/clock/clock.h"
#include "probe/tables/cache.h"
#include "probe/tables/flags.h"
#include "probe/tables/naming.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

struct Outcome {
    std::string report;
    RecordingSink load;
    std::string name;
};

struct HostileFixture : ::testing::Test {
    HostileFixture() { os.live_clock = false; }

    Outcome Run() {
        const Probe probe{cpu, os};
        Outcome o;
        o.name = GetProcessorName(probe);
        TCacheInfo caches;
        GetCacheInfo(probe, caches);
        LoadData(probe, o.load, ".");
        for (const FlagRegisterInfo& reg : kFlagRegisters) (void)ReadFlagRegister(probe, reg.id);
        BuildReport(probe, o.report, ".");
        return o;
    }

    // Leaves dumped in the report, per range base.
    static std::vector<uint32_t> Dumped(const std::string& report, uint32_t base) {
        std::vector<uint32_t> leaves;
        size_t pos = 0;
        while ((pos = report.find("h\r\n", pos)) != std::string::npos) {
            if (pos >= 8) {
                const auto leaf = static_cast<uint32_t>(std::stoul(report.substr(pos - 8, 8), nullptr, 16));
                if ((leaf & 0xFFFF0000u) == (base & 0xFFFF0000u) || (base == 0 && leaf < 0x80000000u))
                    leaves.push_back(leaf);
            }
            pos += 3;
        }
        return leaves;
    }

    FakeSource cpu;
    FakePlatform os;
};

TEST_F(HostileFixture, AbsurdHighestStandardLeafIsDumpedOnlyToTheBound) {
    cpu.Vendor("GenuineIntel", 0x7FFFFFFF).Set(1, 0x00000F29, 0, 0, 0x00800000);
    const Outcome o = Run();
    const auto leaves = Dumped(o.report, 0);
    ASSERT_EQ(leaves.size(), kMaxLeavesPerRange);
    EXPECT_EQ(leaves.front(), 0u);
    EXPECT_EQ(leaves.back(), 0xFFu);
    EXPECT_NE(o.report.find("VendorID: GenuineIntel\r\n"), std::string::npos);
    EXPECT_EQ(o.load[LoadField::editFamily].text, "F");
}

TEST_F(HostileFixture, StandardTopWithBit31SetRefusesEvenLeafZero) {
    // Compared signed, 0xFFFFFFFF is -1: every standard leaf lies above it, as on a processor
    // without CPUID, while the extended leaves still answer.
    cpu.Vendor("GenuineIntel", 0xFFFFFFFF).Set(0x80000000, 0x80000004);
    const Outcome o = Run();
    EXPECT_EQ(o.report.find("VendorID"), std::string::npos);
    EXPECT_NE(o.report.find("L3 Cache  : 0KB\r\n"), std::string::npos);
    EXPECT_FALSE(o.load[LoadField::cmbFeature].enabled);
    EXPECT_FALSE(o.load[LoadField::editVendorID].written);
    EXPECT_EQ(o.name, "");
}

TEST_F(HostileFixture, AbsurdHighestLeavesOfEveryOtherRangeAreBounded) {
    cpu.Vendor("AuthenticAMD", 1)
        .Set(1, 0x00000F51, 0, 0, 0)
        .Set(0x80000000, 0xFFFFFFFF)
        .Set(0x80860000, 0xFFFFFFFF)
        .Set(0x80860001, 0, 0, 3000, 0)
        .Set(0xC0000000, 0xFFFFFFFF);
    const Outcome o = Run();
    for (uint32_t base : {0x80000000u, 0x80860000u, 0xC0000000u}) {
        const auto leaves = Dumped(o.report, base);
        ASSERT_EQ(leaves.size(), kMaxLeavesPerRange) << std::hex << base;
        EXPECT_EQ(leaves.front(), base);
        EXPECT_EQ(leaves.back(), base + 0xFF);
    }
    // The Transmeta range counts as present, so its clock leaf is believed: 3000 MHz, no overflow.
    EXPECT_NE(o.report.find("Clock: 3000.000MHz\r\n"), std::string::npos);
    EXPECT_LT(o.report.size(), 4096 + 4 * kMaxLeavesPerRange * 80);
}

TEST_F(HostileFixture, RangeBasesAnsweringThemselvesOrGarbage) {
    struct Case {
        uint32_t transmeta, centaur;
        bool transmeta_present, centaur_present;
        const char* what;
    } cases[] = {
        {0x80860000, 0xC0000000, false, false, "each base answers its own number"},
        {0x12345678, 0x00000002, false, false, "small garbage below the base"},
        {0x80860001, 0xC0000001, true, true, "one leaf past the base"},
        {0x8086FFFF, 0xDEADBEEF, true, true, "large garbage above the base"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cpu.leaves.clear();
        cpu.Vendor("CentaurHauls", 1)
            .Set(1, 0x00000673)
            .Set(0x80860000, c.transmeta)
            .Set(0x80860001, 0, 0, 0, 0xFFFFFFFF)
            .Set(0xC0000000, c.centaur)
            .Set(0xC0000001, 0, 0, 0, 0xFFFFFFFF);
        const Outcome o = Run();
        EXPECT_EQ(!Dumped(o.report, 0x80860000).empty(), c.transmeta_present);
        EXPECT_EQ(!Dumped(o.report, 0xC0000000).empty(), c.centaur_present);
        const Probe probe{cpu, os};
        EXPECT_EQ(ReadFlagRegister(probe, FlagRegister::TransmetaEDX),
                  c.transmeta_present ? 0xFFFFFFFFu : 0u);
        EXPECT_EQ(ReadFlagRegister(probe, FlagRegister::CentaurEDX), c.centaur_present ? 0xFFFFFFFFu : 0u);
        EXPECT_EQ(o.load.feature_list.size(), 2u + c.transmeta_present + c.centaur_present);
    }
}

TEST_F(HostileFixture, VendorAndBrandOfZeroBytesGiveEmptyTexts) {
    cpu.Set(0, 1, 0, 0, 0).Set(1, 0x00000633).Set(0x80000000, 0x80000004);
    const Outcome o = Run();
    EXPECT_NE(o.report.find("VendorID: \r\n"), std::string::npos);
    EXPECT_EQ(o.load[LoadField::editVendorID].text, "");
    EXPECT_EQ(o.load[LoadField::editNameString].text, "");
    EXPECT_TRUE(o.load[LoadField::editNameString].enabled);
    EXPECT_EQ(o.name, "");  // no vendor key matches; the OS says 586, which names nothing
}

TEST_F(HostileFixture, ControlCharactersAndHighBytesPassThroughAsBytes) {
    // ESC, BEL and CR in the vendor text; 0x80..0xFF and ESC in the brand text.
    cpu.Set(0, 1, 0x071B4141, 0xFFFE0D41, 0x8180FF42).Set(1, 0x00000633);
    cpu.Set(0x80000000, 0x80000004)
        .Set(0x80000002, 0x5B1BE9C5, 0x0D6D3133, 0x07080900, 0)
        .Set(0x80000003, 0x7F20FFA0)
        .Set(0x80000004, 0);
    const Outcome o = Run();
    const std::string vendor =
        "AA\x1B\x07"
        "B\xFF\x80\x81"
        "A\r\xFE\xFF";
    EXPECT_EQ(o.load[LoadField::editVendorID].text, vendor);
    EXPECT_EQ(o.load[LoadField::editNameString].text, "\xC5\xE9\x1B[31m\r\xA0\xFF \x7F");
    EXPECT_NE(o.report.find("VendorID: " + vendor + "\r\n"), std::string::npos);
}

}  // namespace
}  // namespace talvex
