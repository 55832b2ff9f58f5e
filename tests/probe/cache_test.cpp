#include "probe/tables/cache.h"

#include <gtest/gtest.h>

#include <vector>

#include "probe/leaves/leaf2_descriptors.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

constexpr uint32_t Sig(uint32_t family, uint32_t model, uint32_t stepping = 0) {
    return family << 8 | model << 4 | stepping;
}

TCacheInfo Cache(const FakeSource& cpu, TCacheInfo info = {}) {
    FakePlatform os;
    GetCacheInfo(Probe{cpu, os}, info);
    return info;
}

// Leaves other than 0 in the order they were executed (ReadCPUID runs leaf 0 before each).
std::vector<uint32_t> LeavesAsked(const FakeSource& cpu) {
    std::vector<uint32_t> out;
    for (const auto& [leaf, sub] : cpu.calls)
        if (leaf != 0) out.push_back(leaf);
    return out;
}

TEST(CacheDescriptors, ScanOrderAndFieldValues) {
    struct Case {
        const char* what;
        uint32_t family;
        TCPUIDRegs leaf2;  // EAX, EBX, ECX, EDX
        TCacheInfo expected;
    } cases[] = {
        {"L1 and L2 among TLB descriptors",
         6,
         {0x03020101, 0, 0, 0x0C040843},
         {.L1D = 16, .L1I = 16, .L2 = 512}},
        {"NetBurst: trace cache, 0x40 clears L3 only",
         15,
         {0x665B5001, 0, 0x40000000, 0x22707A00},
         {.L1D = 8, .TraceCache = 12, .L2 = 256}},
        {"family 6: 0x40 after 0x43 clears L2", 6, {0x00000001, 0, 0, 0x00004340}, {}},
        {"family 6: 0x43 after 0x40 sets L2", 6, {0x00000001, 0, 0, 0x00004043}, {.L2 = 512}},
        {"family 15: 0x40 leaves L2 alone", 15, {0x00000001, 0, 0, 0x00004340}, {.L2 = 512}},
        {"bytes of one register high first", 6, {0x00000001, 0, 0, 0x43000042}, {.L2 = 256}},
        {"EDX before ECX", 6, {0x00000001, 0, 0x00000043, 0x00000042}, {.L2 = 512}},
        {"ECX before EBX", 6, {0x00000001, 0x00000044, 0x00000043, 0}, {.L2 = 1024}},
        {"EAX high bytes last", 6, {0x45000001, 0x00000044, 0, 0}, {.L2 = 2048}},
        {"EAX low byte is the repeat count", 6, {0x00000043, 0, 0, 0}, {}},
        {"bit 31 set is decoded anyway", 6, {0x80000001, 0x8D000000, 0, 0x80000000}, {.L3 = 3072}},
        {"unknown cache bytes ignored", 6, {0x7D7F0001, 0, 0, 0xFF000000}, {}},
        {"trace cache 16 and 32", 15, {0x00000001, 0, 0x71000000, 0x72000000}, {.TraceCache = 16}},
        {"L1 rows, EBX last", 6, {0x00000001, 0x06, 0x2C30, 0x0A08}, {.L1D = 32, .L1I = 8}},
    };
    for (const Case& c : cases) {
        FakeSource cpu;
        cpu.Vendor("GenuineIntel", 2)
            .Set(1, Sig(c.family, 2))
            .Set(2, c.leaf2.EAX, c.leaf2.EBX, c.leaf2.ECX, c.leaf2.EDX);
        EXPECT_EQ(Cache(cpu), c.expected) << c.what;
        EXPECT_EQ(LeavesAsked(cpu), (std::vector<uint32_t>{1, 2})) << c.what;
    }
}

// One walk over leaf 2's bytes, two readers: the window's order, every register alike and every
// repeat, against the details' Intel order, registers with bit 31 skipped and each byte once.
TEST(CacheDescriptors, TheTwoWalksOfLeaf2) {
    struct Case {
        const char* what;
        TCPUIDRegs leaf2;  // EAX, EBX, ECX, EDX
        std::vector<uint8_t> window, details;
    } cases[] = {
        {"order",
         {0x44330201, 0x07060504, 0, 0x0B0A0908},
         {11, 10, 9, 8, 0, 0, 0, 0, 7, 6, 5, 4, 0x44, 0x33, 2},
         {2, 0x33, 0x44, 4, 5, 6, 7, 0, 8, 9, 10, 11}},
        {"bit 31", {0x00000001, 0x80004300, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0x43, 0, 0, 0, 0}, {0}},
        {"a repeat",
         {0x43000001, 0x00000043, 0, 0},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x43, 0x43, 0, 0},
         {0, 0x43}},
    };
    for (const Case& c : cases) {
        for (const auto& [walk, expected] :
             {std::pair{&kWindowLeaf2Walk, &c.window}, {&kDetailsLeaf2Walk, &c.details}}) {
            std::vector<uint8_t> visited;
            ForEachLeaf2Byte(c.leaf2, *walk, [&](uint8_t code) { visited.push_back(code); });
            EXPECT_EQ(visited, *expected) << c.what << (walk == &kWindowLeaf2Walk ? ", window" : ", details");
        }
    }
}

TEST(CacheDescriptors, FieldsNotNamedByTheDescriptorsKeepTheirValues) {
    FakeSource cpu;
    cpu.Vendor("GenuineIntel", 2).Set(1, Sig(6, 8)).Set(2, 0x00000001, 0, 0, 0x00000082);
    const TCacheInfo handed_in{.L1D = 1, .L1I = 2, .TraceCache = 3, .L2 = 4, .L3 = 5};
    EXPECT_EQ(Cache(cpu, handed_in), (TCacheInfo{.L1D = 1, .L1I = 2, .TraceCache = 3, .L2 = 256, .L3 = 5}));
}

TEST(CacheModelTable, IntelWithoutLeaf2) {
    struct Case {
        uint32_t max_leaf;
        uint32_t signature;
        TCacheInfo expected;
        // clang-format off
    } cases[] = {
        {1, Sig(5, 0), {.L1D = 8, .L1I = 8}},   {1, Sig(5, 3), {.L1D = 8, .L1I = 8}},
        {1, Sig(5, 4), {.L1D = 16, .L1I = 16}}, {1, Sig(5, 7), {.L1D = 8, .L1I = 8}},
        {1, Sig(5, 8), {.L1D = 16, .L1I = 16}}, {1, Sig(5, 9), {}},
        {1, Sig(5, 15), {}},                    {1, Sig(4, 4), {}},
        {1, Sig(6, 4), {}},
        // Highest standard leaf 0: leaf 1 is refused, so the family reads 0.
        {0, Sig(5, 4), {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        FakeSource cpu;
        cpu.Vendor("GenuineIntel", c.max_leaf).Set(1, c.signature).Set(2, 1, 0, 0, 0x43);
        EXPECT_EQ(Cache(cpu), c.expected) << std::hex << c.signature << " max " << c.max_leaf;
        // Intel never falls through to the extended leaves.
        for (uint32_t leaf : LeavesAsked(cpu)) EXPECT_LT(leaf, 3u);
    }
}

TEST(CacheExtendedLeaves, L2RulesInOrder) {
    struct Case {
        const char* what;
        const char* vendor;
        uint32_t max_leaf;
        uint32_t signature;
        uint32_t ecx6;
        uint16_t l2;
    } cases[] = {
        {"Centaur 6/7 reads ECX[31:24]", "CentaurHauls", 1, Sig(6, 7, 3), 0x40004000, 64},
        {"Centaur 6/8 reads ECX[31:24]", "CentaurHauls", 1, Sig(6, 8, 0), 0x40004000, 64},
        {"Centaur 6/9 reads ECX[31:16]", "CentaurHauls", 1, Sig(6, 9, 0), 0x00400000, 64},
        {"Centaur 5/7 reads ECX[31:16]", "CentaurHauls", 1, Sig(5, 7, 0), 0x00400000, 64},
        {"AMD Duron A0 fixed 64", "AuthenticAMD", 1, Sig(6, 3, 0), 0x01000000, 64},
        {"AMD 6/3 stepping 1 reported", "AuthenticAMD", 1, Sig(6, 3, 1), 0x01000000, 256},
        {"AMD Thunderbird A1 fixed 256", "AuthenticAMD", 1, Sig(6, 4, 0), 0x00400000, 256},
        {"AMD Thunderbird A2 fixed 256", "AuthenticAMD", 1, Sig(6, 4, 1), 0x00400000, 256},
        {"AMD 6/4 stepping 2 reported", "AuthenticAMD", 1, Sig(6, 4, 2), 0x00400000, 64},
        {"AMD family 15 model 3 reported", "AuthenticAMD", 1, Sig(15, 3, 0), 0x04000000, 1024},
        {"Cyrix 6/3/0 is not AMD", "CyrixInstead", 1, Sig(6, 3, 0), 0x01000000, 256},
        {"Intel-lookalike vendor takes A", "GenuineIntex", 1, Sig(6, 4, 0), 0x02000000, 512},
        {"highest leaf 0: family 0, rule 4", "AuthenticAMD", 0, Sig(6, 3, 0), 0x01000000, 256},
    };
    for (const Case& c : cases) {
        FakeSource cpu;
        cpu.Vendor(c.vendor, c.max_leaf).Set(1, c.signature);
        cpu.Set(0x80000005, 0, 0, 0x40020140, 0x20020140).Set(0x80000006, 0, 0, c.ecx6);
        EXPECT_EQ(Cache(cpu), (TCacheInfo{.L1D = 64, .L1I = 32, .L2 = c.l2})) << c.what;
        std::vector<uint32_t> asked{0x80000005, 0x80000006};
        if (c.max_leaf > 0) asked.insert(asked.begin(), 1);  // a refused leaf 1 is never executed
        EXPECT_EQ(LeavesAsked(cpu), asked) << c.what;
    }
}

TEST(CacheExtendedLeaves, NeverWritesTraceCacheOrL3) {
    FakeSource cpu;
    cpu.Vendor("AuthenticAMD", 1).Set(1, Sig(15, 4)).Set(0x80000005, 0, 0, 0x40000000, 0x40000000);
    const TCacheInfo handed_in{.TraceCache = 7, .L3 = 9};
    EXPECT_EQ(Cache(cpu, handed_in), (TCacheInfo{.L1D = 64, .L1I = 64, .TraceCache = 7, .L2 = 0, .L3 = 9}));
}

TEST(CacheFailure, NoCPUIDLeavesTheRecordUnchanged) {
    FakeSource cpu;
    cpu.has_cpuid = false;
    const TCacheInfo handed_in{.L1D = 1, .L2 = 2};
    EXPECT_EQ(Cache(cpu, handed_in), handed_in);
    EXPECT_TRUE(cpu.calls.empty());
}

}  // namespace
}  // namespace talvex
