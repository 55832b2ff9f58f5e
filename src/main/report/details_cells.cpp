// The details' values as text. Only formatting happens here: every value is the record's, decoded in
// the probe.
#include "main/report/details_cells.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

std::string CacheLabel(const CacheDetails& c) {
    static constexpr const char* kSuffix[] = {"d", "i", "", "t"};
    return "L" + Decimal(c.level) + kSuffix[static_cast<int>(c.type)];
}

std::string BrandText(const ProcessorDetails& d) {
    return d.brand.view().empty() ? std::string("none") : ShownText(d.brand.view());
}

std::string VendorText(const ProcessorDetails& d) { return ShownText(d.vendor.view()); }

std::string SignatureText(const ProcessorDetails& d) {
    return Hex(d.signature, 8) + " (family " + Decimal(d.family) + ", model " + Decimal(d.model)
           + ", stepping " + Decimal(d.stepping) + ")";
}

std::string UarchText(const ProcessorDetails& d) {
    return d.uarch ? std::string(d.uarch->microarchitecture) : "not in the table";
}

std::string CodenameText(const ProcessorDetails& d) {
    return d.uarch ? std::string(d.uarch->codename) : "not in the table";
}

std::string CoreTypeText(const ProcessorDetails& d) {
    const char* name = CoreTypeName(d.core_type);
    return name != nullptr ? name : "not a hybrid core";
}

std::string HypervisorText(const ProcessorDetails& d) {
    if (!d.hypervisor) return "none";
    if (d.hypervisor->view().empty()) return "present, vendor not given";
    if (const char* name = HypervisorName(d.hypervisor->view()))
        return std::string(name) + " (" + ShownText(d.hypervisor->view()) + ")";
    return ShownText(d.hypervisor->view());
}

std::string LevelText(const ProcessorDetails& d) { return X86_64LevelText(d.x86_64_level); }

std::string AddressText(const ProcessorDetails& d) {
    if (!d.address_bits) return "not reported";
    return Decimal(d.address_bits->physical) + " physical, " + Decimal(d.address_bits->linear) + " virtual";
}

std::string FrequencyText(const ProcessorDetails& d) {
    if (!d.frequency_mhz) return "not reported";
    return "base " + Decimal(d.frequency_mhz->base) + " MHz, max " + Decimal(d.frequency_mhz->max)
           + " MHz, bus " + Decimal(d.frequency_mhz->bus) + " MHz";
}

std::string CountText(uint32_t n) { return n == 0 ? "unknown" : Decimal(n); }
std::string ApicText(const ProcessorDetails& d) { return Decimal(d.apic_id); }
std::string ThreadsText(const ProcessorDetails& d) { return CountText(d.topology.threads_per_core); }
std::string LogicalText(const ProcessorDetails& d) { return CountText(d.topology.logical_per_package); }

// One line of the text, and of the window's summary where `summary` says so.
struct Field {
    const char* key;
    DetailsSection section;
    std::string (*text)(const ProcessorDetails&);
    bool one_only;
    bool summary;
};

// In the text's order.
// clang-format off
constexpr Field kFields[] = {
    //  key                 section                   text            one_only summary
    {"Brand",               DetailsSection::Identity, BrandText,      false, true},
    {"Vendor",              DetailsSection::Identity, VendorText,     false, true},
    {"Signature",           DetailsSection::Identity, SignatureText,  false, true},
    {"Codename",            DetailsSection::Identity, CodenameText,   false, true},
    {"Microarchitecture",   DetailsSection::Identity, UarchText,      true,  true},
    {"Core type",           DetailsSection::Identity, CoreTypeText,   true,  true},
    {"APIC ID",             DetailsSection::Identity, ApicText,       true,  false},
    {"Threads per core",    DetailsSection::Topology, ThreadsText,    false, false},
    {"Logical per package", DetailsSection::Topology, LogicalText,    false, false},
    {"Address bits",        DetailsSection::Topology, AddressText,    false, false},
    {"Hypervisor",          DetailsSection::Platform, HypervisorText, false, true},
    {"x86-64 level",        DetailsSection::Platform, LevelText,      false, true},
    {"Frequencies",         DetailsSection::Platform, FrequencyText,  false, false},
};
// clang-format on

}  // namespace

std::string X86_64LevelText(unsigned level) {
    if (level == 0) return "0 (no long mode)";
    return Decimal(level) + (level == 1 ? " (x86-64)" : " (x86-64-v" + Decimal(level) + ")");
}

std::string ShownText(std::string_view bytes) {
    std::string escaped;
    AppendProcessorText(escaped, bytes);
    std::string out;
    AppendTerminalText(out, escaped);
    return out;
}

std::string CacheSizeText(const CacheDetails& c) {
    if (c.type == CacheType::Trace) return Decimal(c.size) + " K-uops";
    if (c.size >= 1024 && c.size % 1024 == 0) return Decimal(c.size / 1024) + " MB";
    return Decimal(c.size) + " KB";
}

std::string MeasuredText(const ProcessorDetails& d) {
    return d.measured_clock ? MeasuredClockText(*d.measured_clock) : "not measured";
}

std::span<const ProcessorNumber> KnownSharing(std::span<const ProcessorDetails> all,
                                              const CacheSharing& sharing, size_t p, size_t index) {
    const ProcessorDetails& d = all[p];
    const CacheDetails& c = d.caches[index];
    if (!c.shared_by) return {};
    if (*c.shared_by == 1) return {&d.cpu, 1};
    // Sharing is told apart by APIC IDs alone, so every processor of the package must be present.
    const uint32_t package = d.topology.logical_per_package;
    if (package == 0 || all.size() < package) return {};
    return sharing.Of(p, index);
}

const char* CacheTypeName(CacheType type) {
    switch (type) {
    case CacheType::Data: return "data";
    case CacheType::Instruction: return "instruction";
    case CacheType::Unified: return "unified";
    case CacheType::Trace: return "trace";
    }
    return "";
}

const char* CoreTypeName(CoreType type) {
    switch (type) {
    case CoreType::Performance: return "performance";
    case CoreType::Efficiency: return "efficiency";
    case CoreType::None: return nullptr;
    }
    return nullptr;
}

const char* CacheSourceName(CacheSource source) {
    switch (source) {
    case CacheSource::None: return "";
    case CacheSource::Leaf4: return "leaf 4";
    case CacheSource::Leaf8000001D: return "leaf 0x8000001D";
    case CacheSource::Leaf2: return "leaf 2 descriptors";
    case CacheSource::Leaf80000005: return "leaves 0x80000005 and 0x80000006";
    }
    return "";
}

std::string MeasuredClockCell(const CoreClock& clock) {
    if (!clock.mhz) return "noisy";
    return Decimal(*clock.mhz) + " MHz" + (clock.noisy ? ", noisy" : "");
}

std::string MeasuredClockText(const CoreClock& clock) {
    std::string text = MeasuredClockCell(clock);
    if (clock.tsc_mhz) text += " (time stamp counter " + Decimal(*clock.tsc_mhz) + " MHz)";
    return text;
}

std::vector<DetailsLine> DetailsLines(const ProcessorDetails& d) {
    std::vector<DetailsLine> lines;
    for (const Field& f : kFields) lines.push_back({f.key, f.text(d), f.section, f.one_only});
    return lines;
}

std::vector<DetailsLine> DetailsSummary(const ProcessorDetails& d) {
    std::vector<DetailsLine> lines;
    for (const Field& f : kFields)
        if (f.summary) lines.push_back({f.key, f.text(d), f.section, f.one_only});
    return lines;
}

std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> all, size_t p,
                                                         size_t index) {
    return CacheCells(all, CacheSharing(all), p, index);
}

std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> all,
                                                         const CacheSharing& sharing, size_t p,
                                                         size_t index) {
    const CacheDetails& c = all[p].caches[index];
    const std::span<const ProcessorNumber> known = KnownSharing(all, sharing, p, index);
    std::string shared = "-";
    if (!known.empty())
        shared = ProcessorList(known) + " (" + Decimal(known.size()) + ")";
    else if (c.shared_by)
        shared = "up to " + Decimal(*c.shared_by);
    return {"L" + Decimal(c.level),
            CacheTypeName(c.type),
            CacheSizeText(c),
            c.ways == 0 ? "full" : Decimal(c.ways),
            c.type == CacheType::Trace ? "-" : Decimal(c.line_bytes),
            shared};
}

PerProcessorRows PerProcessorTable(std::span<const ProcessorDetails> all, const CacheSharing& sharing) {
    std::vector<CacheDetails> kinds;  // one column per level and type met, in cache-list order
    for (const ProcessorDetails& d : all)
        for (const CacheDetails& c : d.caches)
            if (std::none_of(kinds.begin(), kinds.end(),
                             [&](const CacheDetails& k) { return k.level == c.level && k.type == c.type; }))
                kinds.push_back(c);
    std::stable_sort(kinds.begin(), kinds.end(), [](const CacheDetails& a, const CacheDetails& b) {
        return CacheOrder(a) < CacheOrder(b);
    });

    std::unordered_map<const std::vector<ProcessorNumber>*, std::string> listed;  // each group's list, once
    PerProcessorRows table;
    table.header = {"CPU", "APIC ID", "Core type", "Microarchitecture"};
    for (const CacheDetails& k : kinds) table.header.push_back(CacheLabel(k));
    const bool measured = std::any_of(all.begin(), all.end(),
                                      [](const ProcessorDetails& d) { return d.measured_clock.has_value(); });
    if (measured) table.header.push_back("Measured clock");
    for (size_t p = 0; p < all.size(); ++p) {
        const ProcessorDetails& d = all[p];
        const char* core = CoreTypeName(d.core_type);
        std::vector<std::string> row{Decimal(d.cpu.counted()), Decimal(d.apic_id),
                                     core != nullptr ? core : "-",
                                     d.uarch ? std::string(d.uarch->microarchitecture) : "-"};
        for (const CacheDetails& k : kinds) {
            std::string cell = "-";
            for (size_t i = 0; i < d.caches.size(); ++i) {
                const CacheDetails& c = d.caches[i];
                if (c.level != k.level || c.type != k.type) continue;
                cell = CacheSizeText(c);
                const std::vector<ProcessorNumber>& group = sharing.Of(p, i);
                if (group.empty()) break;
                auto [it, added] = listed.try_emplace(&group);
                if (added) it->second = " [" + ProcessorList(group) + "]";
                cell += it->second;
                break;
            }
            row.push_back(cell);
        }
        if (measured) row.push_back(MeasuredText(d));
        table.rows.push_back(std::move(row));
    }
    return table;
}

bool DiffersInKind(const ProcessorDetails& a, const ProcessorDetails& b) {
    const auto uarch = [](const ProcessorDetails& d) {
        return d.uarch ? d.uarch->microarchitecture : std::string_view();
    };
    const auto same_size = [](const CacheDetails& x, const CacheDetails& y) {
        return x.level == y.level && x.type == y.type && x.size == y.size;
    };
    return a.core_type != b.core_type || uarch(a) != uarch(b) || a.caches.size() != b.caches.size()
           || !std::equal(a.caches.begin(), a.caches.end(), b.caches.begin(), same_size);
}

}  // namespace talvex
