// Cache description. Leaf 2 descriptor meanings follow the published Intel leaf 2 encoding (only
// the window's rows of the shared descriptor table are known, walked in the window's own order);
// the extended cache leaves are the shared decoder's, of which the window takes the sizes alone.
#include "probe/tables/cache.h"

#include <string>

#include "probe/leaves/extended_caches.h"
#include "probe/leaves/leaf2_descriptors.h"
#include "probe/leaves/vendor.h"

namespace talvex {

namespace {

void ApplyDescriptor(uint8_t code, uint32_t family, TCacheInfo& info) {
    const Leaf2Descriptor* d = FindLeaf2Descriptor(code, Leaf2Reader::Window);
    if (d == nullptr) return;
    if (d->level == 0)
        (family == 15 ? info.L3 : info.L2) = d->size;
    else if (d->type == CacheType::Trace)
        info.TraceCache = d->size;
    else if (d->level == 1)
        (d->type == CacheType::Data ? info.L1D : info.L1I) = d->size;
    else
        (d->level == 2 ? info.L2 : info.L3) = d->size;
}

// The model table: Intel family 5 parts that answer no leaf 2.
// clang-format off
void FromModelTable(uint32_t family, uint32_t model, TCacheInfo& info) {
    if (family != 5) return;
    uint32_t size = 0;
    switch (model) {
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
void FromExtendedLeaves(const Probe& probe, const std::string& vendor, uint32_t signature, TCacheInfo& info) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0x80000005, r) == kCPUIDOk) {
        info.L1D = static_cast<uint32_t>(DecodeExtendedL1(r.ECX).kb);
        info.L1I = static_cast<uint32_t>(DecodeExtendedL1(r.EDX).kb);
    }
    if (ReadCPUID(probe, 0x80000006, r) == kCPUIDOk)
        info.L2 = static_cast<uint32_t>(DecodeExtendedL2(r.ECX, vendor, signature).kb);
}

}  // namespace

void GetCacheInfo(const Probe& probe, TCacheInfo& info) {
    const std::string vendor = QueryVendorText(probe);
    TCPUIDRegs r;
    const uint32_t signature = ReadCPUID(probe, 1, r) == kCPUIDOk ? r.EAX : 0;
    if (VendorOf(vendor) != Vendor::Intel) {
        FromExtendedLeaves(probe, vendor, signature, info);
    } else if (ReadCPUID(probe, 2, r) == kCPUIDOk) {
        ForEachLeaf2Byte(r, kWindowLeaf2Walk,
                         [&](uint8_t code) { ApplyDescriptor(code, SigFamily(signature), info); });
    } else {
        FromModelTable(SigFamily(signature), SigModel(signature), info);
    }
}

}  // namespace talvex
