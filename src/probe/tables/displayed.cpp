// The window's name and cache fields beyond the 2004 tables, from the processor details: the
// microarchitecture table for the name, the details' cache list (whatever leaf it came from) for the
// sizes.
#include "probe/tables/displayed.h"

#include <optional>

#include "probe/details/details.h"
#include "probe/tables/naming.h"

namespace talvex {

namespace {

// The first L1 instruction cache, in KB, bounded to the field's width.
uint32_t L1InstructionKB(const CacheList& caches) {
    for (const CacheDetails& c : caches)
        if (c.level == 1 && c.type == CacheType::Instruction)
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

const ProcessorDetails& DisplayedFields::Identity() {
    if (!identity_) identity_ = GetProcessorIdentity(probe_);
    return *identity_;
}

std::string DisplayedFields::Name() {
    const std::string vendor = QueryVendorText(probe_);
    TCPUIDRegs leaf1;  // zeros when refused: within the tables
    ReadCPUID(probe_, 1, leaf1);
    if (WithinNamingTables(vendor, leaf1.EAX)) return GetProcessorName(probe_);
    const ProcessorDetails& d = Identity();
    if (d.uarch) return MicroarchitectureName(*d.uarch);
    // A replayed report's own line names what its leaves do not.
    if (probe_.reported != nullptr && !probe_.reported->name.empty()) return probe_.reported->name;
    if (std::optional<std::string> unknown = UnknownProcessorName(vendor, SigFamily(leaf1.EAX)))
        return *unknown;
    return GetProcessorName(probe_);  // a vendor without tables: the operating system's word
}

TCacheInfo DisplayedFields::Cache() {
    TCacheInfo info;
    GetCacheInfo(probe_, info);
    const bool l1i_unknown = info.TraceCache == 0 && info.L1I == 0;
    if (info.L1D != 0 && !l1i_unknown && info.L2 != 0 && info.L3 != 0) return info;

    // Whatever leaf the details decoded a level from: leaf 2 descriptors the tables lack, 0x80000005/6
    // of any vendor, leaf 4 or 0x8000001D.
    const CacheList& caches = Identity().caches;
    if (info.L1D == 0) info.L1D = FirstCacheKB(caches, 1);
    if (l1i_unknown) info.L1I = L1InstructionKB(caches);
    if (info.L2 == 0) info.L2 = FirstCacheKB(caches, 2);
    if (info.L3 == 0) info.L3 = FirstCacheKB(caches, 3);
    return info;
}

std::string GetDisplayedName(const Probe& probe) { return DisplayedFields(probe).Name(); }

TCacheInfo GetDisplayedCacheInfo(const Probe& probe) { return DisplayedFields(probe).Cache(); }

}  // namespace talvex
