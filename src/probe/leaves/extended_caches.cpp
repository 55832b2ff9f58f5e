// The extended cache leaves (layouts in extended_caches.h), after AMD's encodings; the errata from
// AMD's revision guides for the Duron and Athlon (Thunderbird) and VIA's C3 data sheets.
#include "probe/leaves/extended_caches.h"

#include <array>

#include "probe/leaves/vendor.h"
#include "probe/platform/cpuid.h"

namespace talvex {

namespace {

enum class L2Fix : uint8_t {
    L1Layout,  // the size in [31:24] and the ways in [23:16], as 0x80000005 lays out an L1
    Size,      // the size is the row's
};

struct L2Erratum {
    Vendor vendor;
    uint32_t family, first_model, last_model, last_stepping;  // base fields of leaf 1 EAX
    L2Fix fix;
    uint32_t kb;
};

// Tried in this order; the first that matches decides.
// clang-format off
constexpr L2Erratum kL2Errata[] = {
    // vendor         family models  steppings fix            KB
    {Vendor::Centaur, 6,     7, 8,   15,       L2Fix::L1Layout, 0},    // C3 Samuel 2, Ezra
    {Vendor::AMD,     6,     3, 3,   0,        L2Fix::Size,     64},   // Duron A0: reports 1 KB
    {Vendor::AMD,     6,     4, 4,   1,        L2Fix::Size,     256},  // Athlon A1, A2: likewise
};
// clang-format on

ExtendedCache Outer(uint64_t kb, uint32_t code, uint32_t line) {
    ExtendedCache c{kb, std::nullopt, line};
    if (kAmdAssociativity[code] >= 0) c.ways = static_cast<uint32_t>(kAmdAssociativity[code]);
    return c;
}

}  // namespace

ExtendedCache DecodeExtendedL1(uint32_t reg) {
    const uint32_t ways = Bits(reg, 23, 16);
    return {Bits(reg, 31, 24), ways == 0xFF ? 0 : ways, Bits(reg, 7, 0)};
}

ExtendedCache DecodeExtendedL2(uint32_t ecx, std::string_view vendor, uint32_t signature) {
    ExtendedCache c = Outer(Bits(ecx, 31, 16), Bits(ecx, 15, 12), Bits(ecx, 7, 0));
    const Vendor maker = VendorOf(vendor);
    const uint32_t family = SigFamily(signature), model = SigModel(signature);
    for (const L2Erratum& e : kL2Errata) {
        if (e.vendor != maker || e.family != family || model < e.first_model || model > e.last_model
            || SigStepping(signature) > e.last_stepping)
            continue;
        if (e.fix == L2Fix::L1Layout) return DecodeExtendedL1(ecx);
        c.kb = e.kb;
        return c;
    }
    return c;
}

ExtendedCache DecodeExtendedL3(uint32_t edx) {
    return Outer(uint64_t{Bits(edx, 31, 18)} * 512, Bits(edx, 15, 12), Bits(edx, 7, 0));
}

}  // namespace talvex
