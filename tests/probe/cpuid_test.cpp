#include "probe/platform/cpuid.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

struct ProbeFixture : ::testing::Test {
    FakeSource cpu;
    FakePlatform os;
    Probe probe{cpu, os};
};

using ReadCPUIDTest = ProbeFixture;

TEST_F(ReadCPUIDTest, NoInstructionRefusesEveryLeafAndKeepsTheRecord) {
    cpu.has_cpuid = false;
    for (uint32_t leaf : {0u, 1u, 0x80000000u}) {
        TCPUIDRegs r{1, 2, 3, 4};
        EXPECT_EQ(ReadCPUID(probe, leaf, r), kCPUIDMissing);
        EXPECT_EQ(r, (TCPUIDRegs{1, 2, 3, 4}));
    }
    EXPECT_TRUE(cpu.calls.empty());
}

TEST_F(ReadCPUIDTest, StandardLeavesAboveTheHighestAreRefusedSigned) {
    cpu.Vendor("GenuineIntel", 2).Set(2, 0x11).Set(0x80000000, 0x80000004);
    struct Case {
        uint32_t leaf;
        int code;
    } cases[] = {{0, 0}, {2, 0}, {3, 2}, {5, 2}, {0x7FFFFFFF, 2}, {0x80000000, 0}, {0xFFFFFFFF, 0}};
    for (const Case& c : cases) {
        TCPUIDRegs r{9, 9, 9, 9};
        EXPECT_EQ(ReadCPUID(probe, c.leaf, r), c.code) << std::hex << c.leaf;
        if (c.code != 0) {
            EXPECT_EQ(r, (TCPUIDRegs{9, 9, 9, 9}));
        }
    }
    TCPUIDRegs r;
    ASSERT_EQ(ReadCPUID(probe, 0x80000000, r), 0);
    EXPECT_EQ(r.EAX, 0x80000004u);
}

TEST_F(ReadCPUIDTest, LeafZeroIsExecutedOnceAndEveryLeafForSubleafZero) {
    cpu.Vendor("GenuineIntel", 0xD).Set(4, 0x1C004121).Set(0xB, 1, 2, 0x100, 0);
    TCPUIDRegs r;
    ASSERT_EQ(ReadCPUID(probe, 0, r), 0);
    ASSERT_EQ(cpu.calls.size(), 1u);
    EXPECT_EQ(r.ECX, 0x6C65746Eu);
    cpu.calls.clear();
    for (uint32_t leaf : {4u, 7u, 0xBu, 0xDu, 0x8000001Du}) ReadCPUID(probe, leaf, r);
    // Leaf 0 then the leaf itself, each for sub-leaf 0 (never the vendor text's ECX).
    ASSERT_EQ(cpu.calls.size(), 10u);
    for (const auto& [leaf, sub] : cpu.calls) EXPECT_EQ(sub, 0u) << std::hex << leaf;
}

TEST_F(ProbeFixture, ThreeSmallTests) {
    cpu.Vendor("GenuineIntel", 0).Set(1, 0x6FB, 0x00040800, 0, 0x10000010).Set(0x80000007, 0, 0, 0, 2);
    EXPECT_FALSE(HasTimeStampCounter(probe));  // highest standard leaf 0: leaf 1 is not asked
    EXPECT_EQ(cpu.calls.size(), 1u);
    cpu.Vendor("GenuineIntel", 1);
    EXPECT_TRUE(HasTimeStampCounter(probe));
    EXPECT_EQ(GetLogicalProcessorCount(probe), 4u);
    EXPECT_TRUE(HasFrequencyControl(probe));
    cpu.Set(1, 0x6FB, 0x00040800, 0, 0x00000000);
    EXPECT_FALSE(HasTimeStampCounter(probe));
    EXPECT_EQ(GetLogicalProcessorCount(probe), 0u);  // EDX bit 28 clear: count ignored
    cpu.has_cpuid = false;
    EXPECT_FALSE(HasTimeStampCounter(probe));
    EXPECT_EQ(GetLogicalProcessorCount(probe), 0u);
    EXPECT_FALSE(HasFrequencyControl(probe));
}

TEST_F(ProbeFixture, RangePresenceIsStrictAndUnsigned) {
    struct Case {
        uint32_t base, eax;
        bool present;
    } cases[] = {
        {0x80000000, 0x80000000, false}, {0x80000000, 0x80000001, true}, {0x80000000, 0x00000005, false},
        {0x80860000, 0x80860000, false}, {0x80860000, 0x80860002, true}, {0xC0000000, 0xC0000000, false},
        {0xC0000000, 0xC0000001, true},  {0xC0000000, 0xFFFFFFFF, true}, {0x80860000, 0x80000008, false},
    };
    cpu.Vendor("AuthenticAMD", 1);
    for (const Case& c : cases) {
        cpu.Set(c.base, c.eax);
        EXPECT_EQ(RangePresent(probe, c.base), c.present) << std::hex << c.base << " " << c.eax;
    }
    cpu.Set(0, 0);
    EXPECT_FALSE(RangePresent(probe, 0));
}

TEST(VendorTextTest, EachRegisterEndsAtItsOwnZeroByte) {
    EXPECT_EQ(VendorText({0, 0x756E6547, 0x6C65746E, 0x49656E69}), "GenuineIntel");
    EXPECT_EQ(VendorText({0, 0x00006547, 0x6C65746E, 0x49656E69}), "GeineIntel");
    EXPECT_EQ(VendorText({0, 0, 0, 0}), "");
    EXPECT_EQ(VendorText({0, 0x41004242, 0x43434343, 0x00444444}), "BBDDDCCCC");
}

TEST_F(ProbeFixture, BrandTextPiecesAreCutPerLeaf) {
    cpu.Vendor("GenuineIntel", 1).Set(0x80000000, 0x80000004);
    cpu.Set(0x80000002, 0x20202020, 0x6C65746E, 0x0000, 0x4142);  // "    ntel" then zero bytes
    cpu.Set(0x80000003, 0x44434241, 0, 0, 0);                     // "ABCD"
    cpu.Set(0x80000004, 0x00005A59, 0x31313131, 0, 0);            // "YZ" then a zero byte
    EXPECT_EQ(QueryBrandText(probe), "    ntelABCDYZ");
    cpu.Set(0x80000000, 0x80000003);
    EXPECT_EQ(QueryBrandText(probe), std::nullopt);
}

// One routine cuts every processor text: the window's vendor text at each register's zero byte, its
// brand text at each leaf's, the details' texts at the first.
TEST(RegisterTextTest, ZeroByteEndsItsPiece) {
    struct Case {
        TextEnd end;
        const char* text;
    } cases[] = {
        {TextEnd::Register,
         "AB"
         "EFGH"
         "IJKL"
         "MNOP"
         "R"
         "VVVV"
         "WXYZ"
         "111"},
        {TextEnd::Leaf,
         "AB"
         "R"
         "WXYZ111"},
        {TextEnd::Whole, "AB"},
    };
    for (const Case& c : cases) {
        // "AB\0D" "EFGH" "IJKL" "MNOP", then "R\0TU" "VVVV" and zeros, then "WXYZ" "111\0" and zeros.
        EXPECT_EQ(RegisterText({0x44004241, 0x48474645, 0x4C4B4A49, 0x504F4E4D, 0x55540052, 0x56565656, 0, 0,
                                0x5A595857, 0x00313131, 0, 0},
                               c.end),
                  c.text)
            << static_cast<int>(c.end);
    }
}

TEST(BitsTest, FullWidthAndFields) {
    EXPECT_EQ(Bits(0xFFFFFFFF, 31, 0), 0xFFFFFFFFu);
    EXPECT_EQ(SigExtFamily(0x0FF00F00), 0xFFu);
    EXPECT_EQ(SigType(0x3000), 3u);
    EXPECT_EQ(InitialApicId(0xAB000000), 0xABu);
}

}  // namespace
}  // namespace talvex
