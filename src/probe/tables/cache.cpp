// Cache description. Leaf 2 descriptor meanings follow the published Intel leaf 2 encoding (only
// the window's rows of the shared descriptor table are known); leaf 0x80000005/6 layouts follow
// AMD's: L1D size in 0x80000005 ECX[31:24], L1I size in EDX[31:24], L2 size in 0x80000006 ECX[31:16].
#include "probe/tables/cache.h"

#include <string>

#include "probe/tables/leaf2_descriptors.h"
#include "probe/tables/vendor.h"

namespace talvex {

namespace {

struct Signature {
    uint32_t family = 0, model = 0, stepping = 0;
};

void ApplyDescriptor(uint8_t code, uint32_t family, TCacheInfo& info) {
    for (const Leaf2Descriptor& d : kLeaf2Descriptors) {
        if (d.code != code || d.reader == Leaf2Reader::Details) continue;
        if (d.level == 0)
            (family == 15 ? info.L3 : info.L2) = d.size;
        else if (d.type == CacheType::Trace)
            info.TraceCache = d.size;
        else if (d.level == 1)
            (d.type == CacheType::Data ? info.L1D : info.L1I) = d.size;
        else
            (d.level == 2 ? info.L2 : info.L3) = d.size;
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
    uint32_t size = 0;
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
        info.L1D = Bits(r.ECX, 31, 24);
        info.L1I = Bits(r.EDX, 31, 24);
    }
    if (ReadCPUID(probe, 0x80000006, r) != kCPUIDOk) return;
    const bool amd = VendorOf(vendor) == Vendor::AMD;
    if (VendorOf(vendor) == Vendor::Centaur && sig.family == 6 && (sig.model == 7 || sig.model == 8))
        info.L2 = Bits(r.ECX, 31, 24);  // C3 Samuel 2 / Ezra report in [31:24]
    else if (amd && sig.family == 6 && sig.model == 3 && sig.stepping == 0)
        info.L2 = 64;  // Duron A0 reports a wrong size
    else if (amd && sig.family == 6 && sig.model == 4 && sig.stepping <= 1)
        info.L2 = 256;  // Thunderbird A1/A2 likewise
    else
        info.L2 = Bits(r.ECX, 31, 16);
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
    if (VendorOf(vendor) != Vendor::Intel) {
        FromExtendedLeaves(probe, vendor, sig, info);
    } else if (ReadCPUID(probe, 2, r) == kCPUIDOk) {
        FromDescriptors(r, sig.family, info);
    } else {
        FromModelTable(sig, info);
    }
}

}  // namespace talvex
