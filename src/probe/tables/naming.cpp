// Processor naming. Signature fields are those of leaf 1 (family, model and stepping are always
// the 4-bit fields); leaf 0x80000001 gives EDX[19] (MP), EDX[29] (long mode) and EBX[11:0] (the
// AMD brand ID); leaf 0x80860001 EBX is the Transmeta revision word.
// The names are the program's own texts, odd spellings included ("Celeron(Convington)",
// "Celeron(Convinton)", "Intel CPU(Unkown Family)", "K6-2(Chompers)" and the like): users and their
// saved reports know them so, so they are kept on purpose. Do not correct them.
#include "probe/tables/naming.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "probe/leaves/vendor.h"
#include "probe/tables/cache.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

struct TProcessorType {
    uint32_t number;
    const char* name;
};

// The operating system's processor type numbers that replace the name.
// clang-format off
constexpr std::array<TProcessorType, 22> kProcessorTypes{{
    // number  name
    {386,      "386"},
    {486,      "486"},
    {2000,     "MIPS R2000"},
    {3000,     "MIPS R3000"},
    {4000,     "MIPS R4000"},
    {21064,    "Alpha 21064"},
    {21066,    "Alpha 21066"},
    {21164,    "Alpha 21164"},
    {601,      "PowerPC 601"},
    {603,      "PowerPC 603"},
    {604,      "PowerPC 604"},
    {620,      "PowerPC 620"},
    {10003,    "HITACHI SH3"},
    {10004,    "HITACHI SH3E"},
    {10005,    "HITACHI SH4"},
    {103,      "SH3"},
    {104,      "SH4"},
    {2577,     "StrongARM"},
    {1824,     "ARM 720"},
    {2080,     "ARM 820"},
    {2336,     "ARM 920"},
    {70001,    "ARM 7TDMI"},
}};
// clang-format on

// The tables' words for a processor of a vendor, or of one of its families, that they do not know.
// Processors beyond the tables that the microarchitecture table does not know either get them too.
constexpr const char* kP6Unknown = "P6 Family CPU(Unknown)";
constexpr const char* kPentium4Unknown = "Pentium 4 Family CPU(Unknown)";
constexpr const char* kIntelUnknown = "Intel CPU(Unkown Family)";
constexpr const char* kAMDUnknown = "AMD CPU(Unknown Family)";
constexpr const char* kUMCUnknown = "UMC CPU(Unknown)";
constexpr const char* kCyrix6Unknown = "6x86MX/MII Family CPU(Unknown)";
constexpr const char* kCyrixUnknown = "Cyrix CPU(Unknown)";
constexpr const char* kNexGenUnknown = "NexGen CPU(Unknown)";
constexpr const char* kC3Unknown = "VIA C3 Family CPU(Unknown)";
constexpr const char* kCentaurUnknown = "Centaur CPU(Unknown)";
constexpr const char* kRiseUnknown = "Rise CPU(Unknown)";
constexpr const char* kTransmetaUnknown = "Transmeta CPU(Unknown)";
constexpr const char* kSiSUnknown = "SiS CPU(Unknown)";
constexpr const char* kNSCUnknown = "NSC CPU(Unknown)";

// Everything gathered at the start; further values are queried by the branches that need them.
struct Facts {
    const Probe& probe;
    uint32_t family = 0, model = 0, stepping = 0, type = 0;
    uint32_t ext_model = 0, ext_family = 0, brand = 0;
    uint32_t l2 = 0, l3 = 0;
};

TCPUIDRegs Query(const Probe& probe, uint32_t leaf) {
    TCPUIDRegs r;  // the result code is not examined: a refused leaf reads as zeros
    ReadCPUID(probe, leaf, r);
    return r;
}

uint32_t Logical(const Facts& f) { return GetLogicalProcessorCount(f.probe); }
bool Mobile(const Facts& f) { return HasFrequencyControl(f.probe); }
bool MP(const Facts& f) { return BitSet(Query(f.probe, 0x80000001).EDX, 19); }

std::string IntelFamily3(const Facts& f) {
    // Here the type is the 4-bit field EAX[15:12] of a fresh leaf 1.
    const uint32_t type4 = Bits(Query(f.probe, 1).EAX, 15, 12);
    if (f.model == 0 && type4 == 0) return "Intel386DX";
    if (f.model == 0 && type4 == 2) return "Intel386SX/CX/EX";
    if (f.model <= 1 && type4 == 4) return "Intel386SL";
    if (f.model == 4 && type4 == 0) return "RapidCAD coprocessor";
    return {};
}

// clang-format off
std::string IntelFamily4(const Facts& f) {
    switch (f.model) {
    case 0: case 1: return "Intel486DX";
    case 2: return "Intel486SX";
    case 3: return "Intel486DX2";
    case 4: return "Intel486SL";
    case 5: return "IntelSX2";
    case 7: return "LightbackEnhanced IntelDX2";
    case 8: return "IntelDX4";
    case 9: return "486DX4 (WB)";
    default: return "486 Family CPU(Unknown)";
    }
}
// clang-format on

// clang-format off
std::string IntelFamily5(const Facts& f) {
    switch (f.model) {
    case 0: case 3: return "Pentium";
    case 1: case 2: return f.type == 1 ? "Pentium OverDrive" : "Pentium";
    case 4: return f.type == 1 ? "Pentium MMX OverDrive" : "Pentium with MMX(P55C)";
    case 5: return "Pentium(DX4 OverDrive)";
    case 6: return "Pentium(P5 OverDrive)";
    case 7: return "Mobile Pentium(P54C)";
    case 8: return "Mobile Pentium MMX(low voltage P55)";
    default: return "Pentium Family CPU(Unknown)";
    }
}
// clang-format on

std::string IntelFamily6(const Facts& f) {
    const bool dixon_step = f.stepping == 10 || f.stepping == 13;
    switch (f.model) {
    case 0: return "Pentium Pro(A-step sample)";
    case 1: return "Pentium Pro";
    case 3: return f.type == 1 ? "Pentium MMX OverDrive" : "Pentium II(Klamath)";
    case 4: return "OverDrive";
    case 5:
        if (f.l2 == 0) return "Celeron(Convington)";
        if (f.l2 > 512) return "Pentium II Xeon(Deschutes)";
        if (f.l2 == 512 && f.type == 1) return "Pentium II OverDrive";
        if (f.l2 == 512) return "Pentium II(Deschutes)";
        return "Celeron(Convinton)";
    case 6:
        if (f.l2 == 256 && dixon_step) return "Mobile Pentium II(Dixon)";
        if (f.l2 == 128 && dixon_step) return "Mobile Celeron(Dixon-128K)";
        return "Celeron(Mendocino)";
    case 7: return f.brand == 3 ? "Pentium III Xeon(Tanner)" : "Pentium III(Katmai)";
    case 8:
        if (f.brand == 3) return "Pentium III Xeon(Cascades)";
        if (f.l2 == 256) return "Pentium III(Coppermine)";
        return "Celeron(Coppermine-128K)";
    case 9:
        if (f.l2 == 1024) return "Mobile Pentium M(Banias)";
        if (f.l2 == 512) return "Mobile Celeron(Banias)";
        return {};
    case 10: return "Pentium III Xeon(Cascades)";
    case 11:
        if (f.brand == 6) return "Mobile Pentium III-M(Tualatin)";
        if (f.brand == 7) return "Mobile Celeron(Tualatin)";
        if (f.l2 == 512) return "Pentium III-S(Tualatin)";
        if (f.brand == 4) return "Pentium III(Tualatin)";
        return "Celeron(Tualatin)";
    case 12: return "Mobile Pentium M(Dothan)";
    // Dothan reports model 13 (signature 0x6Dx); the extended model keeps later parts out.
    case 13: return f.ext_model == 0 ? "Mobile Pentium M(Dothan)" : kP6Unknown;
    default: return kP6Unknown;
    }
}

// clang-format off
std::string IntelFamily15(const Facts& f) {
    if (f.ext_family == 1) return "Itanium 2(McKinley)";
    switch (f.model) {
    case 0: case 1:
        if (f.brand == 12) return "Xeon MP(Foster MP)";
        if (f.brand == 14) return "Xeon(Foster)";
        // Willamette carries 256 KB (its Celeron 128 KB); testing for 512 alone named every
        // Pentium 4 Willamette a Celeron.
        if (f.l2 >= 256) return "Pentium 4(Willamette)";
        return "Celeron(Willamette-128K)";
    case 2:
        if (f.brand == 12) return "Xeon MP(Gallatin)";
        if (f.brand == 11 && f.l3 > 0) return "Xeon(Gallatin)";
        if (f.brand == 11) return "Xeon(Prestonia)";
        if (f.brand == 9 && f.l3 > 0) return "Pentium 4 Extreme Edition(Gallatin)";
        if (f.brand == 9 && Logical(f) >= 2) return "Pentium 4 HT(Northwood)";
        if (f.brand == 9) return "Pentium 4(Northwood)";
        if (f.brand == 14 && Logical(f) >= 2) return "Mobile Pentium 4 HT(Northwood)";
        if (f.brand == 14) return "Mobile Pentium 4-M(Northwood)";
        if (f.l2 == 256) return "Mobile Celeron(Northwood-256K)";
        if (f.brand == 15 && f.l2 == 512) return "Mobile Pentium 4-M ES(Northwood)";
        if (f.brand == 15) return "Mobile Celeron(Northwood-128K)";
        return "Celeron(Northwood-128K)";
    case 3: case 4: case 5:
        if (f.brand == 11 && f.l2 == 2048) return "Xeon(Irwindale)";
        if (f.brand == 11) return "Xeon(Nocona)";
        if (f.brand == 9 && f.l2 == 2048) return "Pentium 4 Extreme Edition(Prescott 2M)";
        if (f.brand == 9 && Logical(f) >= 2) return "Pentium 4 HT(Prescott)";
        if (f.brand == 9) return "Pentium 4(Prescott)";
        return "Celeron D(Prescott-256K)";
    default: return kPentium4Unknown;
    }
}
// clang-format on

std::string IntelName(const Facts& f) {
    switch (f.family) {
    case 3: return IntelFamily3(f);
    case 4: return IntelFamily4(f);
    case 5: return IntelFamily5(f);
    case 6: return IntelFamily6(f);
    case 7: return "Itanium(Merced)";
    case 15: return IntelFamily15(f);
    default: return kIntelUnknown;
    }
}

std::string AMDFamily4(const Facts& f) {
    switch (f.model) {
    case 3: return "486DX2/DX4 (2xWT)";
    case 7: return "486DX2/DX2 (2xWB)";
    case 8: return "486DX4/5x86 (3xWT)";
    case 9: return "486DX4 SV8B (3xWB)";
    case 14: return "5x86 (4xWT)";
    case 15: return "5x86 (4xWB)";
    default: return "486 Family CPU(Unknown)";
    }
}

// clang-format off
std::string AMDFamily5(const Facts& f) {
    switch (f.model) {
    case 0: case 1: case 2: case 3: return "K5 Processor";
    case 6: case 7: return "K6 Processor";
    case 8: return "K6-2(Chompers)";
    case 9: return "K6-III(Sharptooth)";
    case 13:
        if (f.l2 == 128) return "K6-2+";
        if (f.l2 == 256) return "K6-III+";
        return "K6 Family CPU(Unknown)";
    default: return "K5/K6 Family CPU(Unknown)";
    }
}
// clang-format on

std::string AMDFamily6(const Facts& f) {
    switch (f.model) {
    case 1: return "Athlon(K7)";
    case 2: return "Athlon(K75)";
    case 3: return "Duron(Spitfire)";
    case 4: return "Athlon(ThunderBird)";
    case 6:
        // The mobile test comes first here; MP is asked only when it decides.
        if (Mobile(f) && f.l2 >= 256) return "MobileAthlon4(Palomino)";
        if (Mobile(f)) return "MobileDuron(Palomino)";
        if (f.l2 >= 256 && MP(f) && f.stepping <= 2) return "AthlonXP/MP(Palomino)";
        if (f.l2 >= 256 && MP(f)) return "AthlonMP(Palomino)";
        if (f.l2 >= 256) return "AthlonXP(Palomino)";
        return "Duron(Palomino)";
    case 7: return Mobile(f) ? "MobileDuron(Morgan)" : "Duron(Morgan)";
    case 8:
        if (f.l2 >= 256 && Mobile(f)) return "MobileAthlonXP-M(Thoroughbred)";
        if (f.l2 >= 256 && MP(f)) return "AthlonMP(Thoroughbred)";
        if (f.l2 >= 256) return "AthlonXP(Thoroughbred)";
        return "Duron(Applebred)";
    case 10:
        if (f.l2 >= 512 && Mobile(f)) return "MobileAthlonXP-M(Barton)";
        if (f.l2 >= 512 && MP(f)) return "AthlonMP(Barton)";
        if (f.l2 >= 512) return "AthlonXP(Barton)";
        return "AthlonXP(Thorton)";
    default: return "Athlon Family CPU(Unknown)";
    }
}

std::string OpteronName(uint32_t series, uint32_t number) {
    // series 3, 4, 5: one, two or eight processors; the model number is 2 x number + 38.
    constexpr const char* kSeries[] = {"Opteron UP 1", "Opteron DP 2", "Opteron MP 8"};
    return kSeries[series - 3] + Decimal(2 * number + 38);
}

// clang-format off
std::string AMDFamily15(const Facts& f) {
    if (!BitSet(Query(f.probe, 0x80000001).EDX, 29)) return "Sempron(Paris)";
    const uint32_t brand_id = Bits(Query(f.probe, 0x80000001).EBX, 11, 0);
    const uint32_t selector = Bits(brand_id, 11, 8);
    const uint32_t nn = Bits(brand_id, 7, 0);
    std::string name;
    switch (selector) {
    case 0: {
        const uint32_t index = BrandIndex(Query(f.probe, 1).EBX);
        const uint32_t series = Bits(index, 7, 5);
        name = series >= 3 && series <= 5 ? OpteronName(series, Bits(index, 4, 0))
                                          : "Hammer Engineering Sample";
        break;
    }
    case 1: name = "Athlon 64 " + Decimal(nn + 22) + "00+"; break;
    case 2: name = "Mobile Athlon 64 " + Decimal(nn + 22) + "00+"; break;
    case 3: case 4: case 5: name = OpteronName(selector, nn); break;
    case 9: name = "Athlon 64 FX-" + Decimal(nn + 24); break;
    default: name = f.model == 8 || f.model == 11 ? "AthlonXP" : "Hammer"; break;
    }
    switch (f.model) {
    case 0: case 1: case 2: case 3: case 4: return name + "(ClawHammer)";
    case 5: case 7: return name + "(SledgeHammer)";
    case 8: case 11: return name + "(Paris)";
    case 12: case 14: return name + "(Newcastle)";
    case 15: return f.ext_model == 0 ? name + "(Newcastle)" : name;
    default: return name + "(Unknown)";
    }
}
// clang-format on

std::string AMDName(const Facts& f) {
    switch (f.family) {
    case 4: return AMDFamily4(f);
    case 5: return AMDFamily5(f);
    case 6: return AMDFamily6(f);
    case 15: return AMDFamily15(f);
    default: return kAMDUnknown;
    }
}

std::string UMCName(const Facts& f) {
    if (f.family != 4) return kUMCUnknown;
    switch (f.model) {
    case 1: return "U5D (486DX)";
    case 2: return "U5S (486SX)";
    default: return "UMC 486 Family CPU(Unknown)";
    }
}

std::string CyrixName(const Facts& f) {
    switch (f.family) {
    case 4:
        if (f.model == 4) return "MediaGX/GXm/GXi";
        if (f.model == 9) return "Cx5x86";
        return "Cx5x86 Family CPU(Unknown)";
    case 5:
        if (f.model == 0 || f.model == 2) return "Cx6x86";
        if (f.model == 4) return "GXm";
        return "Cx6x86 Family CPU(Unknown)";
    case 6:
        if (f.model == 0) return "6x86MX/MII";
        if (f.model == 5) return "VIA CyrixIII(Joshua)";
        return kCyrix6Unknown;
    default: return kCyrixUnknown;
    }
}

std::string NexGenName(const Facts& f) {
    switch (f.family) {
    case 5: return "Nx586";
    case 6: return "Nx686";
    default: return kNexGenUnknown;
    }
}

std::string CentaurName(const Facts& f) {
    switch (f.family) {
    case 5:
        switch (f.model) {
        case 4: return "WinChip C6";
        case 8:
            if (f.stepping >= 7 && f.stepping <= 9) return "WinChip 2A";
            if (f.stepping >= 10) return "WinChip 2B";
            return "WinChip 2";
        case 9: return "WinChip 3";
        default: return "IDT C6 Family CPU(Unknown)";
        }
    case 6:
        switch (f.model) {
        case 6: return "VIA Cyrix III(Samuel)";
        case 7: return f.stepping <= 7 ? "VIA C3(Samuel2)" : "VIA C3(Ezra)";
        case 8: return "VIA C3(Ezra-T)";
        case 9: return "VIA C3(Nehemiah)";
        default: return kC3Unknown;
        }
    default: return kCentaurUnknown;
    }
}

// clang-format off
std::string RiseName(const Facts& f) {
    if (f.family != 5) return kRiseUnknown;
    switch (f.model) {
    case 0: case 2: return "mP6(iDragon)";
    case 8: case 9: return "mP6(iDragon II)";
    default: return "Rise mP6 Family CPU(Unknown)";
    }
}
// clang-format on

std::string TransmetaName(const Facts& f) {
    if (!RangePresent(f.probe, kTransmetaBase)) return kTransmetaUnknown;
    const uint32_t revision = Query(f.probe, 0x80860001).EBX;
    const bool minor_zero = Bits(revision, 15, 8) == 0;
    switch (Bits(revision, 31, 16)) {
    case 0x0101: return "Crusoe TM3200";
    case 0x0102: return "Crusoe TM5400";
    case 0x0103:
        if (minor_zero && f.l2 == 256) return "Crusoe TM5500";
        if (minor_zero) return "Crusoe TM5800";
        if (f.l2 == 256) return "Crusoe TM5400";
        return "Crusoe TM5600";
    case 0x0104:
        if (f.l2 == 256) return "Crusoe TM5500";
        if (f.l2 == 512) return "Crusoe TM5800";
        return {};
    case 0x0105: return f.l2 == 256 ? "Crusoe TM5500" : "Crusoe TM5800";
    default: return f.l2 == 1024 ? "Efficeon (Astro, TM8000)" : kTransmetaUnknown;
    }
}

std::string SiSName(const Facts& f) { return f.family == 5 ? "SiS 55x" : kSiSUnknown; }

std::string NSCName(const Facts& f) {
    if (f.family != 4) return kNSCUnknown;
    return f.model == 4 ? "Geode GXM/GXLV/GX1" : "Geode CPU(Unknown)";
}

// A listed processor type number replaces the name; any other leaves it as it is.
std::string OperatingSystemName(const Probe& probe, std::string name) {
    const uint32_t number = probe.platform.ProcessorType();
    for (const TProcessorType& t : kProcessorTypes)
        if (t.number == number) return t.name;
    return name;
}

}  // namespace

bool WithinNamingTables(std::string_view vendor, uint32_t signature) {
    const uint32_t family = SigFamily(signature);
    const uint32_t ext_model = SigExtModel(signature), ext_family = SigExtFamily(signature);
    const Vendor maker = VendorOf(vendor);
    if (maker == Vendor::Intel)  // extended family 1 is Itanium 2, which has its row
        return !(family == 6 && ext_model >= 1) && !(family == 15 && ext_family >= 2);
    if (maker == Vendor::AMD) return !(family == 15 && ext_family >= 1);  // family 10h on
    if (maker == Vendor::Hygon) return false;
    return !(family >= 6 && (ext_model != 0 || ext_family != 0));
}

// clang-format off
std::optional<std::string> UnknownProcessorName(std::string_view vendor, uint32_t family) {
    switch (VendorOf(vendor)) {
    case Vendor::Intel: return family == 6 ? kP6Unknown : family == 15 ? kPentium4Unknown : kIntelUnknown;
    case Vendor::AMD: return kAMDUnknown;
    case Vendor::UMC: return kUMCUnknown;
    case Vendor::Cyrix: return family == 6 ? kCyrix6Unknown : kCyrixUnknown;
    case Vendor::NexGen: return kNexGenUnknown;
    case Vendor::Centaur: return family == 6 ? kC3Unknown : kCentaurUnknown;
    case Vendor::Rise: return kRiseUnknown;
    case Vendor::Transmeta: return kTransmetaUnknown;
    case Vendor::SiS: return kSiSUnknown;
    case Vendor::NSC: return kNSCUnknown;
    default: return std::nullopt;  // Compaq, Connectix, and the vendors without a table
    }
}
// clang-format on

std::string GetProcessorName(const Probe& probe) {
    const std::string vendor = QueryVendorText(probe);
    Facts f{probe};
    TCPUIDRegs r;
    if (ReadCPUID(probe, 1, r) == kCPUIDOk) {
        f.family = SigFamily(r.EAX);
        f.model = SigModel(r.EAX);
        f.stepping = SigStepping(r.EAX);
        f.type = SigType(r.EAX);
        f.ext_model = SigExtModel(r.EAX);
        f.ext_family = SigExtFamily(r.EAX);
        f.brand = BrandIndex(r.EBX);
    }
    TCacheInfo cache;
    GetCacheInfo(probe, cache);
    f.l2 = cache.L2;
    f.l3 = cache.L3;

    switch (VendorOf(vendor)) {
    case Vendor::Intel: return IntelName(f);
    case Vendor::AMD: return AMDName(f);
    case Vendor::UMC: return UMCName(f);
    case Vendor::Cyrix: return CyrixName(f);
    case Vendor::NexGen: return NexGenName(f);
    case Vendor::Centaur: return CentaurName(f);
    case Vendor::Rise: return RiseName(f);
    case Vendor::Transmeta: return TransmetaName(f);
    case Vendor::SiS: return SiSName(f);
    case Vendor::NSC: return NSCName(f);
    case Vendor::Compaq: return OperatingSystemName(probe, "Alpha");
    case Vendor::Connectix: return OperatingSystemName(probe, "PowerPC");
    default: break;  // not named by the window
    }
    return OperatingSystemName(probe, {});
}

}  // namespace talvex
