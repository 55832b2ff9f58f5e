// The window's name and cache fields beyond the 2004 tables, from the processor details: the
// microarchitecture table for the name, the details' cache list (leaf 4, 0x8000001D, 0x80000006)
// for the sizes.
#include "probe/displayed.h"

#include <optional>

#include "probe/details.h"
#include "probe/naming.h"

namespace talvex {

namespace {

// The first cache of `level` of one of two types, in KB, bounded to the field's width.
uint32_t OneCacheKB(const CacheList& caches, uint8_t level, CacheType type, CacheType or_type) {
    for (const CacheDetails& c : caches)
        if (c.level == level && (c.type == type || c.type == or_type))
            return c.size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(c.size);
    return 0;
}

}  // namespace

std::string MicroarchitectureName(const UarchName& uarch) {
    std::string name(uarch.microarchitecture);
    if (!uarch.codename.empty() && uarch.codename != uarch.microarchitecture) {
        name += '(';
        name += uarch.codename;
        name += ')';
    }
    return name;
}

std::string GetDisplayedName(const Probe& probe) {
    const std::string vendor = QueryVendorText(probe);
    TCPUIDRegs leaf1;  // zeros when refused: within the tables
    ReadCPUID(probe, 1, leaf1);
    if (WithinNamingTables(vendor, leaf1.EAX)) return GetProcessorName(probe);
    const ProcessorDetails d = GetProcessorIdentity(probe);
    if (d.uarch) return MicroarchitectureName(*d.uarch);
    if (std::optional<std::string> unknown = UnknownProcessorName(vendor, SigFamily(leaf1.EAX)))
        return *unknown;
    return GetProcessorName(probe);  // a vendor without tables: the operating system's word
}

TCacheInfo GetDisplayedCacheInfo(const Probe& probe) {
    TCacheInfo info;
    GetCacheInfo(probe, info);
    const bool l1i_unknown = info.TraceCache == 0 && info.L1I == 0;
    if (info.L1D != 0 && !l1i_unknown && info.L2 != 0 && info.L3 != 0) return info;

    using enum CacheType;
    const ProcessorDetails d = GetProcessorIdentity(probe);
    const UarchQuery sizes = UarchQueryOf(d);  // one L2 and one L3 cache, as the table is asked
    if (d.cache_source == CacheSource::Leaf4 || d.cache_source == CacheSource::Leaf8000001D) {
        if (info.L1D == 0) info.L1D = OneCacheKB(d.caches, 1, Data, Unified);
        if (l1i_unknown) info.L1I = OneCacheKB(d.caches, 1, Instruction, Instruction);
        if (info.L2 == 0) info.L2 = sizes.l2_kb;
        if (info.L3 == 0) info.L3 = sizes.l3_kb;
        return info;
    }
    const std::string_view vendor = d.vendor.view();
    const bool amd_family_10h_on = (vendor == "AuthenticAMD" && d.family >= 0x10) || vendor == "HygonGenuine";
    if (d.cache_source == CacheSource::Leaf80000005 && amd_family_10h_on && info.L3 == 0)
        info.L3 = sizes.l3_kb;
    return info;
}

}  // namespace talvex
