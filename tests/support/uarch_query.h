#pragma once
// The microarchitecture query of one processor, decoded from its registers: a stand-in for the
// processor-details module, which fills the same fields for the program. Leaf 1 gives the display
// signature; one L2 and one L3 come from the deterministic cache leaves (4, or 0x8000001D on AMD and
// Hygon), EAX[4:0] type, EAX[7:5] level, size = (EBX[31:22]+1) (EBX[21:12]+1) (EBX[11:0]+1) (ECX+1);
// the core type from leaf 0x1A EAX[31:24] (Intel, when leaf 7 EDX[15] marks a hybrid part) or from
// leaf 0x80000026 sub-leaf 0 EBX[31:28] (AMD, when its EAX[30] marks heterogeneous cores).

#include <string>

#include "probe/cpuid.h"
#include "probe/uarch.h"

namespace talvex::testing {

struct Examined {
    std::string vendor, brand;
    UarchQuery fields;  // vendor and brand are filled by Query()

    // Views into this object: keep it alive while the query is used.
    UarchQuery Query() const {
        UarchQuery q = fields;
        q.vendor = vendor;
        q.brand = brand;
        return q;
    }
};

inline uint32_t CacheKB(const TCPUIDRegs& r) {
    return (Bits(r.EBX, 31, 22) + 1) * (Bits(r.EBX, 21, 12) + 1) * (Bits(r.EBX, 11, 0) + 1) * (r.ECX + 1)
           / 1024;
}

inline Examined Examine(const Probe& probe) {
    Examined e;
    TCPUIDRegs leaf0, leaf1;
    if (ReadCPUID(probe, 0, leaf0) != kCPUIDOk) return e;
    e.vendor = VendorText(leaf0);
    const std::string brand = QueryBrandText(probe);
    const auto first = brand.find_first_not_of(' ');
    if (first != std::string::npos) e.brand = brand.substr(first, brand.find_last_not_of(' ') - first + 1);
    if (ReadCPUID(probe, 1, leaf1) != kCPUIDOk) return e;

    const bool amd = e.vendor == "AuthenticAMD" || e.vendor == "HygonGenuine";
    const uint32_t family = SigFamily(leaf1.EAX);
    UarchQuery& q = e.fields;
    q.family = family == 15 ? family + SigExtFamily(leaf1.EAX) : family;
    q.model = SigModel(leaf1.EAX);
    if (amd ? family == 15 : family >= 6) q.model += SigExtModel(leaf1.EAX) << 4;
    q.stepping = SigStepping(leaf1.EAX);

    const uint32_t max_standard = leaf0.EAX;
    const uint32_t max_extended = RangeTop(probe, kExtendedBase);
    TCPUIDRegs ext1;
    ReadCPUID(probe, 0x80000001, ext1);
    uint32_t cache_leaf = 0;
    if (!amd && max_standard >= 4) cache_leaf = 4;
    if (amd && max_extended >= 0x8000001D && BitSet(ext1.ECX, 22)) cache_leaf = 0x8000001D;
    for (uint32_t sub = 0; cache_leaf != 0 && sub < 16; ++sub) {
        const TCPUIDRegs r = probe.source.Execute(cache_leaf, sub);
        const uint32_t type = Bits(r.EAX, 4, 0), level = Bits(r.EAX, 7, 5);
        if (type == 0) break;
        if (type == 2) continue;  // instruction cache
        if (level == 2) q.l2_kb = CacheKB(r);
        if (level == 3) q.l3_kb = CacheKB(r);
    }

    if (!amd && max_standard >= 0x1A && BitSet(probe.source.Execute(7, 0).EDX, 15)) {
        const uint32_t type = Bits(probe.source.Execute(0x1A, 0).EAX, 31, 24);
        if (type == 0x40) q.core = CoreType::Performance;
        if (type == 0x20) q.core = CoreType::Efficiency;
    }
    if (amd && max_extended >= 0x80000026) {
        const TCPUIDRegs r = probe.source.Execute(0x80000026, 0);
        if (BitSet(r.EAX, 30))
            q.core = Bits(r.EBX, 31, 28) == 0 ? CoreType::Performance : CoreType::Efficiency;
    }
    return e;
}

}  // namespace talvex::testing
