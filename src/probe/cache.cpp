// Cache description. Leaf 2 descriptor meanings follow the published Intel leaf 2 encoding (only
// the cache descriptors below are known); leaf 0x80000005/6 layouts follow AMD's: L1D size in
// 0x80000005 ECX[31:24], L1I size in EDX[31:24], L2 size in 0x80000006 ECX[31:16].
#include "probe/cache.h"

#include <array>
#include <string>

namespace talvex {

namespace {

enum class CacheField : uint8_t { L1D, L1I, TraceCache, L2, L3, L2OrL3 };

struct TDescriptor {
    uint8_t code;
    CacheField field;
    uint16_t value;
};

// L2OrL3 (0x40, "no higher-level cache") clears L3 on family 15 and L2 on every other family.
// clang-format off
constexpr std::array<TDescriptor, 45> kDescriptors{{
    // code  field                   value
    {0x06, CacheField::L1I,        8},
    {0x08, CacheField::L1I,        16},
    {0x0A, CacheField::L1D,        8},
    {0x0C, CacheField::L1D,        16},
    {0x10, CacheField::L1D,        16},
    {0x15, CacheField::L1I,        16},
    {0x1A, CacheField::L2,         96},
    {0x22, CacheField::L3,         512},
    {0x23, CacheField::L3,         1024},
    {0x25, CacheField::L3,         2048},
    {0x29, CacheField::L3,         4096},
    {0x2C, CacheField::L1D,        32},
    {0x30, CacheField::L1I,        32},
    {0x39, CacheField::L2,         128},
    {0x3B, CacheField::L2,         128},
    {0x3C, CacheField::L2,         256},
    {0x40, CacheField::L2OrL3,     0},
    {0x41, CacheField::L2,         128},
    {0x42, CacheField::L2,         256},
    {0x43, CacheField::L2,         512},
    {0x44, CacheField::L2,         1024},
    {0x45, CacheField::L2,         2048},
    {0x66, CacheField::L1D,        8},
    {0x67, CacheField::L1D,        16},
    {0x68, CacheField::L1D,        32},
    {0x70, CacheField::TraceCache, 12},
    {0x71, CacheField::TraceCache, 16},
    {0x72, CacheField::TraceCache, 32},
    {0x77, CacheField::L1I,        16},
    {0x79, CacheField::L2,         128},
    {0x7A, CacheField::L2,         256},
    {0x7B, CacheField::L2,         512},
    {0x7C, CacheField::L2,         1024},
    {0x7E, CacheField::L2,         256},
    {0x81, CacheField::L2,         128},
    {0x82, CacheField::L2,         256},
    {0x83, CacheField::L2,         512},
    {0x84, CacheField::L2,         1024},
    {0x85, CacheField::L2,         2048},
    {0x86, CacheField::L2,         512},
    {0x87, CacheField::L2,         1024},
    {0x88, CacheField::L3,         2048},
    {0x89, CacheField::L3,         4096},
    {0x8A, CacheField::L3,         8192},
    {0x8D, CacheField::L3,         3072},
}};
// clang-format on

struct Signature {
    uint32_t family = 0, model = 0, stepping = 0;
};

void ApplyDescriptor(uint8_t code, uint32_t family, TCacheInfo& info) {
    for (const TDescriptor& d : kDescriptors) {
        if (d.code != code) continue;
        switch (d.field) {
        case CacheField::L1D: info.L1D = d.value; break;
        case CacheField::L1I: info.L1I = d.value; break;
        case CacheField::TraceCache: info.TraceCache = d.value; break;
        case CacheField::L2: info.L2 = d.value; break;
        case CacheField::L3: info.L3 = d.value; break;
        case CacheField::L2OrL3: (family == 15 ? info.L3 : info.L2) = d.value; break;
        }
        return;
    }
}

// The leaf-2 descriptors: fifteen bytes, EDX, ECX, EBX high byte first, then EAX[31:8]. EAX[7:0] is the repeat
// count; bit 31 (register invalid) is not consulted, so every register is decoded alike.
void FromDescriptors(const TCPUIDRegs& leaf2, uint32_t family, TCacheInfo& info) {
    const uint32_t order[4] = {leaf2.EDX, leaf2.ECX, leaf2.EBX, leaf2.EAX};
    for (unsigned r = 0; r < 4; ++r) {
        const unsigned lowest = r == 3 ? 8 : 0;
        for (unsigned shift = 24;; shift -= 8) {
            ApplyDescriptor(static_cast<uint8_t>(Bits(order[r], shift + 7, shift)), family, info);
            if (shift == lowest) break;
        }
    }
}

// The model table: Intel family 5 parts that answer no leaf 2.
// clang-format off
void FromModelTable(const Signature& sig, TCacheInfo& info) {
    if (sig.family != 5) return;
    uint16_t size = 0;
    switch (sig.model) {
    case 0: case 1: case 2: case 3: size = 8; break;
    case 4: size = 16; break;
    case 5: case 6: case 7: size = 8; break;
    case 8: size = 16; break;
    default: return;
    }
    info.L1I = size;
    info.L1D = size;
}
// clang-format on

// The extended cache leaves, executed without consulting the highest extended leaf.
void FromExtendedLeaves(const Probe& probe, const std::string& vendor, const Signature& sig,
                        TCacheInfo& info) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0x80000005, r) == kCPUIDOk) {
        info.L1D = static_cast<uint16_t>(Bits(r.ECX, 31, 24));
        info.L1I = static_cast<uint16_t>(Bits(r.EDX, 31, 24));
    }
    if (ReadCPUID(probe, 0x80000006, r) != kCPUIDOk) return;
    const bool amd = vendor == "AuthenticAMD";
    if (vendor == "CentaurHauls" && sig.family == 6 && (sig.model == 7 || sig.model == 8))
        info.L2 = static_cast<uint16_t>(Bits(r.ECX, 31, 24));  // C3 Samuel 2 / Ezra report in [31:24]
    else if (amd && sig.family == 6 && sig.model == 3 && sig.stepping == 0)
        info.L2 = 64;  // Duron A0 reports a wrong size
    else if (amd && sig.family == 6 && sig.model == 4 && sig.stepping <= 1)
        info.L2 = 256;  // Thunderbird A1/A2 likewise
    else
        info.L2 = static_cast<uint16_t>(Bits(r.ECX, 31, 16));
}

}  // namespace

void GetCacheInfo(const Probe& probe, TCacheInfo& info) {
    const std::string vendor = QueryVendorText(probe);
    Signature sig;
    TCPUIDRegs r;
    if (ReadCPUID(probe, 1, r) == kCPUIDOk) {
        sig.family = SigFamily(r.EAX);
        sig.model = SigModel(r.EAX);
        sig.stepping = SigStepping(r.EAX);
    }
    if (vendor != "GenuineIntel") {
        FromExtendedLeaves(probe, vendor, sig, info);
    } else if (ReadCPUID(probe, 2, r) == kCPUIDOk) {
        FromDescriptors(r, sig.family, info);
    } else {
        FromModelTable(sig, info);
    }
}

}  // namespace talvex
