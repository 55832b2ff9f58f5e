#include "probe/tables/naming.h"

#include <gtest/gtest.h>

#include <random>

#include "probe/tables/cache.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

constexpr uint32_t Sig(uint32_t family, uint32_t model, uint32_t stepping = 0, uint32_t type = 0) {
    return type << 12 | family << 8 | model << 4 | stepping;
}
constexpr uint32_t ExtFamily(uint32_t f) { return f << 20; }
constexpr uint32_t ExtModel(uint32_t m) { return m << 16; }

// One processor as a test row: the expected name and the register facts that lead to it.
// Intel sizes reach the naming through leaf 2 descriptors, the others' through leaf 0x80000006.
struct Cpu {
    const char* vendor;  // nullptr: no CPUID instruction
    uint32_t sig;
    const char* name;
    uint32_t ebx1 = 0, edx1 = 0;
    uint16_t l2 = 0, l3 = 0;
    uint32_t ext1_ebx = 0, ext1_edx = 0, ext7_edx = 0;
    bool transmeta_range = false;
    uint32_t revision = 0;
    uint32_t os_type = 586;
    uint32_t max_leaf = 2;

    // This processor with one thing changed.
    template <class Change>
    Cpu With(Change change) const {
        Cpu c = *this;
        change(c);
        return c;
    }
    // clang-format off
    Cpu Brand(uint32_t index) const { return With([&](Cpu& c) { c.ebx1 = (c.ebx1 & ~0xFFu) | index; }); }
    Cpu Logical(uint32_t n) const {
        return With([&](Cpu& c) { c.ebx1 = (c.ebx1 & ~0xFF0000u) | n << 16, c.edx1 |= 1u << 28; });
    }
    Cpu L2(uint16_t kb) const { return With([&](Cpu& c) { c.l2 = kb; }); }
    Cpu L3(uint16_t kb) const { return With([&](Cpu& c) { c.l3 = kb; }); }
    Cpu Mobile() const { return With([](Cpu& c) { c.ext7_edx |= 0x2; }); }
    Cpu MP() const { return With([](Cpu& c) { c.ext1_edx |= 1u << 19; }); }
    // AMD family 15: long mode plus the brand ID selector and number.
    Cpu BrandId(uint32_t selector, uint32_t nn) const {
        return With([&](Cpu& c) { c.ext1_edx |= 1u << 29, c.ext1_ebx = selector << 8 | nn; });
    }
    Cpu NoLongMode() const { return With([](Cpu& c) { c.ext1_edx &= ~(1u << 29); }); }
    Cpu Revision(uint32_t r) const { return With([&](Cpu& c) { c.transmeta_range = true, c.revision = r; }); }
    Cpu Os(uint32_t type) const { return With([&](Cpu& c) { c.os_type = type; }); }
    Cpu MaxLeaf(uint32_t leaf) const { return With([&](Cpu& c) { c.max_leaf = leaf; }); }
    // clang-format on
};

uint32_t Descriptor(uint16_t kb) {
    switch (kb) {
    case 128: return 0x41;
    case 256: return 0x42;
    case 512: return 0x43;
    case 1024: return 0x44;
    case 2048: return 0x45;
    default: return 0;
    }
}

uint32_t L3Descriptor(uint16_t kb) { return kb == 512 ? 0x22 : kb == 2048 ? 0x25 : 0; }

std::string Name(const Cpu& c) {
    FakeSource cpu;
    FakePlatform os;
    os.processor_type = c.os_type;
    if (c.vendor == nullptr) {
        cpu.has_cpuid = false;
    } else {
        cpu.Vendor(c.vendor, c.max_leaf).Set(1, c.sig, c.ebx1, 0, c.edx1);
        cpu.Set(2, 0x00000001, 0, 0, Descriptor(c.l2) << 8 | L3Descriptor(c.l3));
        cpu.Set(0x80000000, 0x80000008).Set(0x80000001, 0, c.ext1_ebx, 0, c.ext1_edx);
        cpu.Set(0x80000006, 0, 0, uint32_t{c.l2} << 16).Set(0x80000007, 0, 0, 0, c.ext7_edx);
        if (c.transmeta_range) cpu.Set(0x80860000, 0x80860007).Set(0x80860001, 0, c.revision);
    }
    return GetProcessorName(Probe{cpu, os});
}

void ExpectNames(std::initializer_list<Cpu> rows) {
    for (const Cpu& c : rows)
        EXPECT_EQ(Name(c), c.name) << (c.vendor ? c.vendor : "(no CPUID)") << " sig " << std::hex << c.sig;
}

Cpu V(const char* vendor, uint32_t sig, const char* name) { return Cpu{vendor, sig, name}; }
Cpu Intel(uint32_t sig, const char* name) { return V("GenuineIntel", sig, name); }
Cpu AMD(uint32_t sig, const char* name) { return V("AuthenticAMD", sig, name); }

TEST(IntelNames, FamiliesThreeToFiveAndUnknownFamilies) {
    ExpectNames({
        Intel(Sig(0, 0), "Intel CPU(Unkown Family)"),
        Intel(Sig(8, 1), "Intel CPU(Unkown Family)"),
        Intel(Sig(14, 1), "Intel CPU(Unkown Family)"),
        Intel(Sig(6, 8), "Intel CPU(Unkown Family)").MaxLeaf(0),  // leaf 1 refused: family 0
        // Family 3 reads the 4-bit type EAX[15:12]; 4 has bit 14 set and a 2-bit type of 0.
        Intel(0x0300, "Intel386DX"),
        Intel(0x2300, "Intel386SX/CX/EX"),
        Intel(0x4300, "Intel386SL"),
        Intel(0x4310, "Intel386SL"),
        Intel(0x0340, "RapidCAD coprocessor"),
        Intel(0x1300, ""),
        Intel(0x0320, ""),
        Intel(0x4320, ""),
        Intel(Sig(4, 0), "Intel486DX"),
        Intel(Sig(4, 1), "Intel486DX"),
        Intel(Sig(4, 2), "Intel486SX"),
        Intel(Sig(4, 3), "Intel486DX2"),
        Intel(Sig(4, 4), "Intel486SL"),
        Intel(Sig(4, 5), "IntelSX2"),
        Intel(Sig(4, 6), "486 Family CPU(Unknown)"),
        Intel(Sig(4, 7), "LightbackEnhanced IntelDX2"),
        Intel(Sig(4, 8), "IntelDX4"),
        Intel(Sig(4, 9), "486DX4 (WB)"),
        Intel(Sig(4, 15), "486 Family CPU(Unknown)"),
        Intel(Sig(5, 0, 0, 1), "Pentium"),
        Intel(Sig(5, 3), "Pentium"),
        Intel(Sig(5, 1, 0, 1), "Pentium OverDrive"),
        Intel(Sig(5, 2, 0, 0), "Pentium"),
        Intel(Sig(5, 4, 0, 1), "Pentium MMX OverDrive"),
        Intel(Sig(5, 4, 0, 2), "Pentium with MMX(P55C)"),
        Intel(Sig(5, 5), "Pentium(DX4 OverDrive)"),
        Intel(Sig(5, 6), "Pentium(P5 OverDrive)"),
        Intel(Sig(5, 7), "Mobile Pentium(P54C)"),
        Intel(Sig(5, 8), "Mobile Pentium MMX(low voltage P55)"),
        Intel(Sig(5, 9), "Pentium Family CPU(Unknown)"),
        Intel(Sig(7, 0), "Itanium(Merced)"),
    });
}

TEST(IntelNames, FamilySix) {
    ExpectNames({
        Intel(Sig(6, 0), "Pentium Pro(A-step sample)"),
        Intel(Sig(6, 1), "Pentium Pro"),
        Intel(Sig(6, 2), "P6 Family CPU(Unknown)"),
        Intel(Sig(6, 3, 0, 1), "Pentium MMX OverDrive"),
        Intel(Sig(6, 3), "Pentium II(Klamath)"),
        Intel(Sig(6, 4), "OverDrive"),
        // Model 5: the size tests come before the type test.
        Intel(Sig(6, 5, 0, 1), "Celeron(Convington)"),
        Intel(Sig(6, 5, 0, 1), "Pentium II Xeon(Deschutes)").L2(1024),
        Intel(Sig(6, 5, 0, 1), "Pentium II OverDrive").L2(512),
        Intel(Sig(6, 5), "Pentium II(Deschutes)").L2(512),
        Intel(Sig(6, 5, 0, 1), "Celeron(Convinton)").L2(128),
        Intel(Sig(6, 6, 10), "Mobile Pentium II(Dixon)").L2(256),
        Intel(Sig(6, 6, 13), "Mobile Pentium II(Dixon)").L2(256),
        Intel(Sig(6, 6, 13), "Mobile Celeron(Dixon-128K)").L2(128),
        Intel(Sig(6, 6, 5), "Celeron(Mendocino)").L2(128),
        Intel(Sig(6, 6, 10), "Celeron(Mendocino)").L2(512),
        Intel(Sig(6, 7), "Pentium III Xeon(Tanner)").Brand(3),
        Intel(Sig(6, 7), "Pentium III(Katmai)").L2(512),
        // Model 8: the brand index wins over the size.
        Intel(Sig(6, 8), "Pentium III Xeon(Cascades)").Brand(3).L2(256),
        Intel(Sig(6, 8), "Pentium III(Coppermine)").L2(256),
        Intel(Sig(6, 8), "Celeron(Coppermine-128K)").L2(128),
        Intel(Sig(6, 9), "Mobile Pentium M(Banias)").L2(1024),
        Intel(Sig(6, 9), "Mobile Celeron(Banias)").L2(512),
        Intel(Sig(6, 9), "").L2(256),
        Intel(Sig(6, 10), "Pentium III Xeon(Cascades)"),
        // Model 11: brand 6 and 7 before the size, the size before brand 4.
        Intel(Sig(6, 11), "Mobile Pentium III-M(Tualatin)").Brand(6).L2(512),
        Intel(Sig(6, 11), "Mobile Celeron(Tualatin)").Brand(7).L2(512),
        Intel(Sig(6, 11), "Pentium III-S(Tualatin)").Brand(4).L2(512),
        Intel(Sig(6, 11), "Pentium III(Tualatin)").Brand(4).L2(256),
        Intel(Sig(6, 11), "Celeron(Tualatin)").L2(256),
        Intel(Sig(6, 12), "Mobile Pentium M(Dothan)"),
        Intel(Sig(6, 13, 6), "Mobile Pentium M(Dothan)"),
        Intel(Sig(6, 13) | ExtModel(4), "P6 Family CPU(Unknown)"),
        Intel(Sig(6, 15), "P6 Family CPU(Unknown)"),
    });
}

TEST(IntelNames, FamilyFifteen) {
    ExpectNames({
        Intel(Sig(15, 2) | ExtFamily(1), "Itanium 2(McKinley)").Brand(9),
        Intel(Sig(15, 0) | ExtFamily(1), "Itanium 2(McKinley)"),
        Intel(Sig(15, 0), "Xeon MP(Foster MP)").Brand(12).L2(512),
        Intel(Sig(15, 1), "Xeon(Foster)").Brand(14).L2(512),
        Intel(Sig(15, 1), "Pentium 4(Willamette)").Brand(8).L2(512),
        Intel(Sig(15, 0), "Pentium 4(Willamette)").Brand(8).L2(256),
        Intel(Sig(15, 0), "Celeron(Willamette-128K)").Brand(10).L2(128),
        // Model 2, every row in order; each row shows that the one before it did not hold.
        Intel(Sig(15, 2), "Xeon MP(Gallatin)").Brand(12).L3(512),
        Intel(Sig(15, 2), "Xeon(Gallatin)").Brand(11).L3(512),
        Intel(Sig(15, 2), "Xeon(Prestonia)").Brand(11).Logical(2),
        Intel(Sig(15, 2), "Pentium 4 Extreme Edition(Gallatin)").Brand(9).L3(512).Logical(2),
        Intel(Sig(15, 2), "Pentium 4 HT(Northwood)").Brand(9).Logical(2),
        Intel(Sig(15, 2), "Pentium 4(Northwood)").Brand(9).Logical(1),
        Intel(Sig(15, 2), "Pentium 4(Northwood)").Brand(9 | 2u << 16),  // count without EDX[28]
        Intel(Sig(15, 2), "Mobile Pentium 4 HT(Northwood)").Brand(14).Logical(2).L2(256),
        Intel(Sig(15, 2), "Mobile Pentium 4-M(Northwood)").Brand(14).L2(256),
        Intel(Sig(15, 2), "Mobile Celeron(Northwood-256K)").Brand(15).L2(256),
        Intel(Sig(15, 2), "Mobile Pentium 4-M ES(Northwood)").Brand(15).L2(512),
        Intel(Sig(15, 2), "Mobile Celeron(Northwood-128K)").Brand(15).L2(128),
        Intel(Sig(15, 2), "Celeron(Northwood-128K)").L2(512),
        Intel(Sig(15, 3), "Xeon(Irwindale)").Brand(11).L2(2048),
        Intel(Sig(15, 4), "Xeon(Nocona)").Brand(11).L2(1024),
        Intel(Sig(15, 4), "Pentium 4 Extreme Edition(Prescott 2M)").Brand(9).L2(2048).Logical(2),
        Intel(Sig(15, 5), "Pentium 4 HT(Prescott)").Brand(9).L2(1024).Logical(2),
        Intel(Sig(15, 3), "Pentium 4(Prescott)").Brand(9).L2(1024),
        Intel(Sig(15, 4), "Celeron D(Prescott-256K)").L2(2048),
        Intel(Sig(15, 6), "Pentium 4 Family CPU(Unknown)").Brand(9),
        Intel(Sig(15, 15), "Pentium 4 Family CPU(Unknown)"),
    });
}

TEST(AMDNames, FamiliesFourToSix) {
    ExpectNames({
        AMD(Sig(3, 0), "AMD CPU(Unknown Family)"),
        AMD(Sig(7, 0), "AMD CPU(Unknown Family)"),
        AMD(Sig(6, 1), "AMD CPU(Unknown Family)").MaxLeaf(0),
        AMD(Sig(4, 3), "486DX2/DX4 (2xWT)"),
        AMD(Sig(4, 7), "486DX2/DX2 (2xWB)"),
        AMD(Sig(4, 8), "486DX4/5x86 (3xWT)"),
        AMD(Sig(4, 9), "486DX4 SV8B (3xWB)"),
        AMD(Sig(4, 14), "5x86 (4xWT)"),
        AMD(Sig(4, 15), "5x86 (4xWB)"),
        AMD(Sig(4, 0), "486 Family CPU(Unknown)"),
        AMD(Sig(4, 10), "486 Family CPU(Unknown)"),
        AMD(Sig(5, 0), "K5 Processor"),
        AMD(Sig(5, 3), "K5 Processor"),
        AMD(Sig(5, 6), "K6 Processor"),
        AMD(Sig(5, 7), "K6 Processor"),
        AMD(Sig(5, 8), "K6-2(Chompers)"),
        AMD(Sig(5, 9), "K6-III(Sharptooth)"),
        AMD(Sig(5, 13), "K6-2+").L2(128),
        AMD(Sig(5, 13), "K6-III+").L2(256),
        AMD(Sig(5, 13), "K6 Family CPU(Unknown)").L2(512),
        AMD(Sig(5, 4), "K5/K6 Family CPU(Unknown)"),
        AMD(Sig(5, 15), "K5/K6 Family CPU(Unknown)"),
        AMD(Sig(6, 1), "Athlon(K7)"),
        AMD(Sig(6, 2), "Athlon(K75)"),
        AMD(Sig(6, 3), "Duron(Spitfire)"),
        AMD(Sig(6, 4), "Athlon(ThunderBird)"),
        // Model 6: the mobile test comes before the size and MP tests.
        AMD(Sig(6, 6), "MobileAthlon4(Palomino)").Mobile().MP().L2(256),
        AMD(Sig(6, 6), "MobileDuron(Palomino)").Mobile().MP().L2(64),
        AMD(Sig(6, 6, 2), "AthlonXP/MP(Palomino)").MP().L2(256),
        AMD(Sig(6, 6, 3), "AthlonMP(Palomino)").MP().L2(256),
        AMD(Sig(6, 6, 1), "AthlonXP(Palomino)").L2(512),
        AMD(Sig(6, 6, 1), "Duron(Palomino)").MP().L2(64),
        AMD(Sig(6, 7), "MobileDuron(Morgan)").Mobile(),
        AMD(Sig(6, 7), "Duron(Morgan)").MP(),
        // Models 8 and 10: the size test comes first.
        AMD(Sig(6, 8), "MobileAthlonXP-M(Thoroughbred)").Mobile().MP().L2(256),
        AMD(Sig(6, 8), "AthlonMP(Thoroughbred)").MP().L2(256),
        AMD(Sig(6, 8), "AthlonXP(Thoroughbred)").L2(256),
        AMD(Sig(6, 8), "Duron(Applebred)").Mobile().MP().L2(64),
        AMD(Sig(6, 10), "MobileAthlonXP-M(Barton)").Mobile().MP().L2(512),
        AMD(Sig(6, 10), "AthlonMP(Barton)").MP().L2(1024),
        AMD(Sig(6, 10), "AthlonXP(Barton)").L2(512),
        AMD(Sig(6, 10), "AthlonXP(Thorton)").Mobile().MP().L2(256),
        AMD(Sig(6, 0), "Athlon Family CPU(Unknown)"),
        AMD(Sig(6, 5), "Athlon Family CPU(Unknown)"),
        AMD(Sig(6, 9), "Athlon Family CPU(Unknown)"),
        AMD(Sig(6, 15), "Athlon Family CPU(Unknown)"),
    });
}

TEST(AMDNames, FamilyFifteenAssembly) {
    ExpectNames({
        // Long mode clear: nothing is appended, whatever the brand ID says.
        AMD(Sig(15, 4), "Sempron(Paris)").BrandId(1, 10).NoLongMode(),
        AMD(Sig(15, 4), "Athlon 64 3200+(ClawHammer)").BrandId(1, 10),
        AMD(Sig(15, 0), "Athlon 64 2200+(ClawHammer)").BrandId(1, 0),
        AMD(Sig(15, 3), "Athlon 64 27700+(ClawHammer)").BrandId(1, 255),
        AMD(Sig(15, 8), "Mobile Athlon 64 3000+(Paris)").BrandId(2, 8),
        AMD(Sig(15, 5), "Opteron UP 148(SledgeHammer)").BrandId(3, 5),
        AMD(Sig(15, 7), "Opteron DP 2548(SledgeHammer)").BrandId(4, 255),
        AMD(Sig(15, 5), "Opteron MP 838(SledgeHammer)").BrandId(5, 0),
        AMD(Sig(15, 12), "Athlon 64 FX-51(Newcastle)").BrandId(9, 27),
        AMD(Sig(15, 8), "AthlonXP(Paris)").BrandId(6, 1),
        AMD(Sig(15, 11), "AthlonXP(Paris)").BrandId(15, 1),
        AMD(Sig(15, 14), "Hammer(Newcastle)").BrandId(7, 1),
        AMD(Sig(15, 4), "Hammer(ClawHammer)").BrandId(10, 1),
        // Selector 0: the series and number come from the leaf 1 brand index.
        AMD(Sig(15, 5), "Opteron UP 142(SledgeHammer)").BrandId(0, 0x99).Brand(0x62),
        AMD(Sig(15, 5), "Opteron DP 2100(SledgeHammer)").BrandId(0, 0).Brand(0x9F),
        AMD(Sig(15, 5), "Opteron MP 838(SledgeHammer)").BrandId(0, 0).Brand(0xA0),
        AMD(Sig(15, 0), "Hammer Engineering Sample(ClawHammer)").BrandId(0, 0).Brand(0x22),
        AMD(Sig(15, 0), "Hammer Engineering Sample(ClawHammer)").BrandId(0, 0).Brand(0xE2),
        // Core names by model.
        AMD(Sig(15, 15), "Hammer(Newcastle)").BrandId(8, 0),
        AMD(Sig(15, 15) | ExtModel(1), "Hammer").BrandId(8, 0),
        AMD(Sig(15, 6), "Hammer(Unknown)").BrandId(8, 0),
        AMD(Sig(15, 13), "Hammer(Unknown)").BrandId(8, 0),
    });
}

TEST(OtherVendorNames, TablesByFamilyAndModel) {
    ExpectNames({
        V("UMC UMC UMC ", Sig(4, 1), "U5D (486DX)"),
        V("UMC UMC UMC ", Sig(4, 2), "U5S (486SX)"),
        V("UMC UMC UMC ", Sig(4, 3), "UMC 486 Family CPU(Unknown)"),
        V("UMC UMC UMC ", Sig(5, 1), "UMC CPU(Unknown)"),
        V("CyrixInstead", Sig(4, 4), "MediaGX/GXm/GXi"),
        V("CyrixInstead", Sig(4, 9), "Cx5x86"),
        V("CyrixInstead", Sig(4, 0), "Cx5x86 Family CPU(Unknown)"),
        V("CyrixInstead", Sig(5, 0), "Cx6x86"),
        V("CyrixInstead", Sig(5, 2), "Cx6x86"),
        V("CyrixInstead", Sig(5, 4), "GXm"),
        V("CyrixInstead", Sig(5, 1), "Cx6x86 Family CPU(Unknown)"),
        V("CyrixInstead", Sig(6, 0), "6x86MX/MII"),
        V("CyrixInstead", Sig(6, 5), "VIA CyrixIII(Joshua)"),
        V("CyrixInstead", Sig(6, 4), "6x86MX/MII Family CPU(Unknown)"),
        V("CyrixInstead", Sig(7, 0), "Cyrix CPU(Unknown)"),
        V("NexGenDriven", Sig(5, 0), "Nx586"),
        V("NexGenDriven", Sig(6, 0), "Nx686"),
        V("NexGenDriven", Sig(4, 0), "NexGen CPU(Unknown)"),
        V("CentaurHauls", Sig(5, 4), "WinChip C6"),
        V("CentaurHauls", Sig(5, 8, 0), "WinChip 2"),
        V("CentaurHauls", Sig(5, 8, 6), "WinChip 2"),
        V("CentaurHauls", Sig(5, 8, 7), "WinChip 2A"),
        V("CentaurHauls", Sig(5, 8, 9), "WinChip 2A"),
        V("CentaurHauls", Sig(5, 8, 10), "WinChip 2B"),
        V("CentaurHauls", Sig(5, 8, 15), "WinChip 2B"),
        V("CentaurHauls", Sig(5, 9), "WinChip 3"),
        V("CentaurHauls", Sig(5, 5), "IDT C6 Family CPU(Unknown)"),
        V("CentaurHauls", Sig(6, 6), "VIA Cyrix III(Samuel)"),
        V("CentaurHauls", Sig(6, 7, 7), "VIA C3(Samuel2)"),
        V("CentaurHauls", Sig(6, 7, 8), "VIA C3(Ezra)"),
        V("CentaurHauls", Sig(6, 8), "VIA C3(Ezra-T)"),
        V("CentaurHauls", Sig(6, 9), "VIA C3(Nehemiah)"),
        V("CentaurHauls", Sig(6, 10), "VIA C3 Family CPU(Unknown)"),
        V("CentaurHauls", Sig(7, 0), "Centaur CPU(Unknown)"),
        V("RiseRiseRise", Sig(5, 0), "mP6(iDragon)"),
        V("RiseRiseRise", Sig(5, 2), "mP6(iDragon)"),
        V("RiseRiseRise", Sig(5, 8), "mP6(iDragon II)"),
        V("RiseRiseRise", Sig(5, 9), "mP6(iDragon II)"),
        V("RiseRiseRise", Sig(5, 1), "Rise mP6 Family CPU(Unknown)"),
        V("RiseRiseRise", Sig(6, 0), "Rise CPU(Unknown)"),
        V("SiS SiS SiS ", Sig(5, 0), "SiS 55x"),
        V("SiS SiS SiS ", Sig(6, 0), "SiS CPU(Unknown)"),
        V("Geode by NSC", Sig(4, 4), "Geode GXM/GXLV/GX1"),
        V("Geode by NSC", Sig(4, 5), "Geode CPU(Unknown)"),
        V("Geode by NSC", Sig(5, 4), "NSC CPU(Unknown)"),
        // Keys are case-sensitive and whole: near misses go to the operating-system step.
        V("GenuineInte", Sig(6, 8), "486").Os(486),
        V("genuineintel", Sig(6, 8), "").L2(256),
        V("AuthenticAM", Sig(6, 8), "").L2(256),
    });
}

TEST(OtherVendorNames, TransmetaRevisionWord) {
    const char* tm = "GenuineTMx86";
    ExpectNames({
        V(tm, Sig(5, 4), "Transmeta CPU(Unknown)").L2(1024),  // range absent
        V(tm, Sig(5, 4), "Crusoe TM3200").Revision(0x01010000),
        V(tm, Sig(5, 4), "Crusoe TM5400").Revision(0x0102FFFF),
        // 0x0103: the minor byte test comes first, the size decides within it.
        V(tm, Sig(5, 4), "Crusoe TM5500").Revision(0x010300FF).L2(256),
        V(tm, Sig(5, 4), "Crusoe TM5800").Revision(0x01030000).L2(512),
        V(tm, Sig(5, 4), "Crusoe TM5400").Revision(0x01030100).L2(256),
        V(tm, Sig(5, 4), "Crusoe TM5600").Revision(0x01030100).L2(512),
        V(tm, Sig(5, 4), "Crusoe TM5500").Revision(0x01040000).L2(256),
        V(tm, Sig(5, 4), "Crusoe TM5800").Revision(0x01040000).L2(512),
        V(tm, Sig(5, 4), "").Revision(0x01040000).L2(128),
        V(tm, Sig(5, 4), "Crusoe TM5500").Revision(0x01050000).L2(256),
        V(tm, Sig(5, 4), "Crusoe TM5800").Revision(0x01050000),
        V(tm, Sig(15, 2), "Efficeon (Astro, TM8000)").Revision(0x02000000).L2(1024),
        V(tm, Sig(15, 2), "Transmeta CPU(Unknown)").Revision(0x02000000).L2(512),
    });
}

TEST(OperatingSystemStep, ProcessorTypeNumbers) {
    ExpectNames({
        V(nullptr, 0, "386").Os(386),
        V(nullptr, 0, "486").Os(486),
        V(nullptr, 0, "").Os(586),
        V(nullptr, 0, "StrongARM").Os(2577),
        V(nullptr, 0, "ARM 7TDMI").Os(70001),
        V(nullptr, 0, "HITACHI SH3E").Os(10004),
        V("Compaq FX!32", Sig(6, 8), "Alpha 21164").Os(21164),
        V("Compaq FX!32", Sig(6, 8), "Alpha").Os(586),
        V("ConnectixCPU", Sig(6, 8), "PowerPC 601").Os(601),
        V("ConnectixCPU", Sig(6, 8), "PowerPC").Os(586),
        V("HygonGenuine", Sig(15, 0), "").Os(586),
        V("HygonGenuine", Sig(15, 0), "MIPS R4000").Os(4000),
        // Table vendors never reach the operating-system step.
        Intel(Sig(6, 9), "").Os(486).L2(256),
    });
}

TEST(OperatingSystemStep, ZeroByteInVendorTextMatchesNoKey) {
    FakeSource cpu;
    FakePlatform os;
    os.processor_type = 486;
    // "GenuineIntel" with EDX = "in\0l": the text is "Genuinntel".
    cpu.Set(0, 1, 0x756E6547, 0x6C65746E, 0x6C006E69).Set(1, Sig(6, 8));
    EXPECT_EQ(GetProcessorName(Probe{cpu, os}), "486");
}

TEST(NamingQueries, FamilyThreeAndFifteenReexecuteTheirLeaves) {
    struct Case {
        const char* vendor;
        uint32_t sig;
        uint32_t leaf;
        int times;  // executions of `leaf` by the whole call
    } cases[] = {
        {"GenuineIntel", 0x4300, 1, 3},  // naming, cache description, 4-bit type
        {"GenuineIntel", Sig(6, 8), 1, 2},
        {"AuthenticAMD", Sig(15, 4), 0x80000001, 2},  // long mode, then the brand ID
    };
    for (const Case& c : cases) {
        FakeSource cpu;
        FakePlatform os;
        cpu.Vendor(c.vendor, 1).Set(1, c.sig).Set(0x80000001, 0, 0x10A, 0, 1u << 29);
        GetProcessorName(Probe{cpu, os});
        int n = 0;
        for (const auto& [leaf, sub] : cpu.calls) n += leaf == c.leaf;
        EXPECT_EQ(n, c.times) << c.vendor << std::hex << " sig " << c.sig;
    }
}

// Any register values at all, under every vendor key: no fault (the sanitizer build checks for
// undefined behaviour), and names stay short texts.
TEST(NamingQueries, ArbitraryRegistersUnderEveryVendor) {
    std::mt19937 random(20240611);
    auto next = [&random] { return static_cast<uint32_t>(random()); };
    const char* vendors[] = {"GenuineIntel", "AuthenticAMD", "UMC UMC UMC ", "CyrixInstead", "NexGenDriven",
                             "CentaurHauls", "RiseRiseRise", "GenuineTMx86", "SiS SiS SiS ", "Geode by NSC",
                             "Compaq FX!32", "ConnectixCPU", "HygonGenuine"};
    for (int round = 0; round < 400; ++round) {
        FakeSource cpu;
        cpu.Vendor(vendors[round % 13], next() % 4);
        for (uint32_t leaf : {1u, 2u, 0x80000001u, 0x80000005u, 0x80000006u, 0x80000007u, 0x80860001u})
            cpu.Set(leaf, next(), next(), next(), next());
        cpu.Set(0x80860000, 0x80860000u + next() % 3);
        FakePlatform os;
        TCacheInfo info;
        GetCacheInfo(Probe{cpu, os}, info);
        EXPECT_LE(GetProcessorName(Probe{cpu, os}).size(), 48u);
    }
}

}  // namespace
}  // namespace talvex
