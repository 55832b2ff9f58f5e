// The details' values as text. Only formatting happens here: every value is the record's, decoded in
// the probe.
#include "main/report/details_cells.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "main/report/output_text.h"
#include "main/report/text_layout.h"
#include "probe/details/instruction_sets.h"
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
std::string ApicText(const ProcessorDetails& d, const SetFacts&) { return Decimal(d.apic_id); }
std::string ThreadsText(const ProcessorDetails& d, const SetFacts&) {
    return CountText(d.topology.threads_per_core);
}
// Leaves 0xB and 0x1F give the room the die's APIC IDs leave, which a part cut down from a larger
// die does not fill: a bound, not a count.
std::string LogicalText(const ProcessorDetails& d, const SetFacts&) {
    return d.topology.logical_per_package == 0 ? "unknown"
                                               : "up to " + Decimal(d.topology.logical_per_package);
}

std::string ProcessText(const ProcessorDetails& d, const SetFacts&) {
    if (!d.uarch) return "not in the table";
    return d.uarch->process.empty() ? "not known" : std::string(d.uarch->process);
}

std::string MicrocodeFieldText(const ProcessorDetails& d, const SetFacts&) {
    if (d.microcode) return MicrocodeText(*d.microcode);
    return d.live ? "not reported by the kernel" : "not recorded (dump)";
}

std::string InstructionsText(const ProcessorDetails& d, const SetFacts&) {
    std::string text;
    for (const std::string& s : InstructionSets(d.features)) text += (text.empty() ? "" : ", ") + s;
    return text.empty() ? "none named" : text;
}

// Why the records give no count of the machine.
std::string NotCountedText(const SetFacts& set) {
    switch (set.coverage) {
    case Coverage::OneProcessor: return "one processor examined";
    case Coverage::SameApicIds: return "their APIC IDs do not tell them apart";
    case Coverage::SomeOnline: return "not every processor examined";
    case Coverage::PackageShort: return "fewer processors than CPUID gives a package";
    case Coverage::Whole:
    case Coverage::TopologyUnknown: return "their topology is not reported";
    }
    return "";
}

// "1 package, 16 cores (8 performance, 8 efficiency), 24 threads"
std::string CountedText(const ProcessorCounts& c) {
    std::string text = Plural(c.packages, "package", "packages") + ", " + Plural(c.cores, "core", "cores");
    if (c.performance_cores + c.efficiency_cores != 0)
        text += " (" + Decimal(c.performance_cores) + " performance, " + Decimal(c.efficiency_cores)
                + " efficiency)";
    return text + ", " + Plural(c.threads, "thread", "threads");
}

// CPUID's figures for a package, as bounds: "up to 8 cores and 16 threads a package"; "" for none.
std::string BoundsText(const ProcessorDetails& d) {
    std::string text;
    if (d.topology.cores_per_package != 0)
        text = "up to " + Plural(d.topology.cores_per_package, "core", "cores");
    if (d.topology.logical_per_package != 0)
        text +=
            (text.empty() ? "up to " : " and ") + Plural(d.topology.logical_per_package, "thread", "threads");
    return text.empty() ? text : text + " a package";
}

std::string CountsText(const ProcessorDetails& d, const SetFacts& set) {
    if (set.counts) return CountedText(*set.counts);
    const std::string bounds = BoundsText(d);
    if (set.examined) {
        const std::string examined =
            Decimal(set.records) + " processors examined: " + CountedText(*set.examined);
        return bounds.empty() ? examined : examined + "; " + bounds;
    }
    if (bounds.empty()) return "unknown (" + NotCountedText(set) + ")";
    return bounds + " (" + NotCountedText(set) + ")";
}

// "L1d 8 × 48 KB + 8 × 32 KB (640 KB)": each kind of cache, how many of each size, and their total.
std::string CacheInstancesText(const ProcessorDetails&, const SetFacts& set) {
    if (!set.counts) return "not counted (" + NotCountedText(set) + ")";
    if (set.caches.empty()) return "not reported";
    std::string text;
    const auto sized = [](const CacheInstances& c, uint64_t size) {
        CacheDetails one;
        one.level = c.level;
        one.type = c.type;
        one.size = size;
        return one;
    };
    for (size_t k = 0; k < set.caches.size();) {
        const CacheInstances& first = set.caches[k];
        text += (text.empty() ? "" : ", ") + CacheLabel(sized(first, 0)) + " ";
        uint64_t total = 0;
        uint32_t count = 0;
        for (size_t j = k;
             j < set.caches.size() && set.caches[j].level == first.level && set.caches[j].type == first.type;
             ++j, ++k) {
            const CacheInstances& c = set.caches[j];
            text +=
                (count == 0 ? "" : " + ") + Decimal(c.count) + " \xC3\x97 " + CacheSizeText(sized(c, c.size));
            total += c.size * c.count;
            count += c.count;
        }
        if (count > 1) text += " (" + CacheSizeText(sized(first, total)) + ")";
    }
    return text;
}

std::string TscText(const ProcessorDetails& d, const SetFacts&) {
    constexpr size_t kTsc = [] {
        for (size_t i = 0; i < kFeatureNames.size(); ++i)
            if (kFeatureNames[i].name == std::string_view("tsc")) return i;
        return size_t{0};
    }();
    if (!d.features[kTsc]) return "none";
    return d.invariant_tsc ? "invariant" : "not invariant";
}

// The dump gaps a value depends on.
constexpr DumpGaps Gaps(std::initializer_list<DumpGap> gaps) {
    DumpGaps set;
    for (DumpGap g : gaps) set[static_cast<size_t>(g)] = true;
    return set;
}
const DumpGaps kCacheGaps = Gaps({DumpGap::Leaf4, DumpGap::Leaf8000001D});
const DumpGaps kFeatureGaps = Gaps({DumpGap::Leaf7, DumpGap::LeafD});
const DumpGaps kTopologyGaps = Gaps({DumpGap::Topology});
const DumpGaps kCountGaps = Gaps({DumpGap::Topology});
const DumpGaps kInstanceGaps = Gaps({DumpGap::Topology, DumpGap::Leaf4, DumpGap::Leaf8000001D});
const DumpGaps kHypervisorGaps = Gaps({DumpGap::Hypervisor});
const DumpGaps kInstructionGaps = Gaps({DumpGap::Leaf7});
const DumpGaps kNone;

// One line of the text, and of the window's summary where `summary` says so.
struct Field {
    const char* key;
    DetailsSection section;
    std::string (*text)(const ProcessorDetails&, const SetFacts&);
    bool one_only;
    bool summary;
    const DumpGaps& depends;
    const char* about;
};

template <std::string (*F)(const ProcessorDetails&)>
std::string Of(const ProcessorDetails& d, const SetFacts&) {
    return F(d);
}

// In the text's order.
// clang-format off
const Field kFields[] = {
    //  key                 section                   text                     one_only summary depends
    {"Brand",               DetailsSection::Identity, Of<BrandText>,           false, true,  kNone,
     "brand text of leaves 0x80000002..4"},
    {"Vendor",              DetailsSection::Identity, Of<VendorText>,          false, true,  kNone,
     "vendor text of leaf 0"},
    {"Signature",           DetailsSection::Identity, Of<SignatureText>,       false, true,  kNone,
     "leaf 1 EAX, with the display family and model"},
    {"Codename",            DetailsSection::Identity, Of<CodenameText>,        false, true,  kNone,
     "the die's name, from the microarchitecture table"},
    {"Microarchitecture",   DetailsSection::Identity, Of<UarchText>,           true,  true,  kNone,
     "the design of the core examined, from the microarchitecture table"},
    {"Process",             DetailsSection::Identity, ProcessText,             false, true,  kNone,
     "the die's manufacturing process, from the microarchitecture table"},
    {"Core type",           DetailsSection::Identity, Of<CoreTypeText>,        true,  true,  kNone,
     "on a hybrid processor: leaf 0x1A EAX[31:24] (Intel) or 0x80000026 EBX[31:28] (AMD)"},
    {"APIC ID",             DetailsSection::Identity, ApicText,                true,  false, kNone,
     "x2APIC ID of leaf 0x1F or 0xB, else leaf 1 EBX[31:24]"},
    {"Microcode",           DetailsSection::Identity, MicrocodeFieldText,      false, true,  kNone,
     "the revision the running kernel reports (/sys/devices/system/cpu/cpuN/microcode/version, else "
     "/proc/cpuinfo); a dump does not record it"},
    {"Instructions",        DetailsSection::Identity, InstructionsText,        false, true,  kInstructionGaps,
     "the instruction-set extensions the feature bits name, as they are usually written"},
    {"Counts",              DetailsSection::Topology, CountsText,              false, true,  kCountGaps,
     "packages, cores and threads counted from every processor's APIC ID, split by the topology "
     "leaves, where the processors examined are known to be every one; otherwise those of the "
     "processors examined, beside CPUID's figures for a package as bounds"},
    {"Cache instances",     DetailsSection::Topology, CacheInstancesText,      false, false, kInstanceGaps,
     "how many of each cache the machine has, from who shares each (every processor needed)"},
    {"Threads per core",    DetailsSection::Topology, ThreadsText,             false, false, kTopologyGaps,
     "the SMT level of leaf 0x1F or 0xB, or AMD's 0x8000001E"},
    {"Logical per package", DetailsSection::Topology, LogicalText,             false, false, kTopologyGaps,
     "CPUID's count of the logical processors of a package: EBX[15:0] of the last level of leaf 0x1F "
     "or 0xB, else leaf 1 EBX[23:16] or 0x80000008 ECX[7:0] + 1; a bound, not a count of those examined"},
    {"Address bits",        DetailsSection::Topology, Of<AddressText>,         false, false, kNone,
     "0x80000008 EAX"},
    {"Hypervisor",          DetailsSection::Platform, Of<HypervisorText>,      false, true,  kHypervisorGaps,
     "leaf 1 ECX[31], and the vendor text of leaf 0x40000000"},
    {"x86-64 level",        DetailsSection::Platform, Of<LevelText>,           false, true,  kNone,
     "the x86-64 psABI level the feature bits reach"},
    {"Time stamp counter",  DetailsSection::Platform, TscText,                 false, false, kNone,
     "invariant: 0x80000007 EDX[8], the counter runs at one rate in every power state"},
    {"Frequencies",         DetailsSection::Platform, Of<FrequencyText>,       false, false, kNone,
     "leaf 0x16: base, maximum and bus frequency"},
};
// clang-format on

std::vector<DetailsLine> Lines(const ProcessorDetails& d, const SetFacts& set, bool summary_only) {
    std::vector<DetailsLine> lines;
    for (const Field& f : kFields) {
        if (summary_only && !f.summary) continue;
        std::string value = f.text(d, set);
        if ((d.dump_lacks & f.depends).any()) value += kIncompleteMark;
        lines.push_back({f.key, std::move(value), f.section, f.one_only, f.about});
    }
    return lines;
}

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
    return d.measured_clock ? MeasuredClockText(*d.measured_clock, d.invariant_tsc) : "not measured";
}

std::span<const ProcessorNumber> KnownSharing(std::span<const ProcessorDetails> all,
                                              const CacheSharing& sharing, size_t p, size_t index) {
    const ProcessorDetails& d = all[p];
    const CacheDetails& c = d.caches[index];
    if (!c.shared_by) return {};
    if (*c.shared_by == 1) return {&d.cpu, 1};
    // Sharing is told apart by APIC IDs alone, so every processor that may share it must be present.
    if (!HoldsWholeMachine(all)) return {};
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
    case CacheSource::ReportLines: return "the report's lines";
    }
    return "";
}

std::string MeasuredClockCell(const CoreClock& clock) {
    if (!clock.mhz) return "noisy";
    return Decimal(*clock.mhz) + " MHz" + (clock.noisy ? ", noisy" : "");
}

std::string MeasuredClockText(const CoreClock& clock, bool invariant) {
    std::string text = MeasuredClockCell(clock);
    if (clock.tsc_mhz)
        text +=
            " (time stamp counter " + Decimal(*clock.tsc_mhz) + " MHz" + (invariant ? ", invariant)" : ")");
    return text;
}

std::string SharingText(std::span<const ProcessorDetails> all, const CacheSharing& sharing, size_t p,
                        size_t index) {
    const std::span<const ProcessorNumber> known = KnownSharing(all, sharing, p, index);
    if (!known.empty()) return "[" + ProcessorList(known) + "]";
    const CacheDetails& c = all[p].caches[index];
    return c.shared_by ? SharingBoundText(*c.shared_by) : std::string();
}

bool GeometryKnown(const CacheDetails& cache) { return cache.source != CacheSource::ReportLines; }

std::string SharingBoundText(uint32_t count) { return "[up to " + Decimal(count) + "]"; }

std::string SharingEachText(size_t count) { return "[" + Decimal(count) + " each]"; }

std::string CacheSourceText(const CacheDetails& cache) {
    return std::string("from ") + CacheSourceName(cache.source);
}

std::vector<DetailsLine> DetailsLines(const ProcessorDetails& d, const SetFacts& set) {
    return Lines(d, set, false);
}

std::vector<DetailsLine> DetailsSummary(const ProcessorDetails& d, const SetFacts& set) {
    return Lines(d, set, true);
}

const char* FieldAbout(std::string_view key) {
    for (const Field& f : kFields)
        if (f.key == key) return f.about;
    return nullptr;
}

SetFacts::SetFacts(std::span<const ProcessorDetails> all, const CacheSharing& sharing)
    : records(all.size()),
      whole(HoldsWholeMachine(all)),
      coverage(all.empty() ? Coverage::OneProcessor : all.front().coverage),
      counts(CountProcessors(all)),
      examined(CountExamined(all)) {
    if (counts) caches = CountCacheInstances(all, sharing);
    for (const ProcessorDetails& d : all) lacks |= d.dump_lacks;
}

namespace {

struct GapWords {
    DumpGap gap;
    const char* leaf;  // in "the sub-leaves of leaves ..."; nullptr for the hypervisor leaves
    const char* json;
};
// clang-format off
constexpr GapWords kGapWords[] = {
    {DumpGap::Leaf4,        "4",          "leaf 4 sub-leaves"},
    {DumpGap::Leaf7,        "7",          "leaf 7 sub-leaves"},
    {DumpGap::Topology,     "0xB/0x1F",   "leaf 0xB/0x1F sub-leaves"},
    {DumpGap::LeafD,        "0xD",        "leaf 0xD sub-leaves"},
    {DumpGap::Leaf8000001D, "0x8000001D", "leaf 0x8000001D sub-leaves"},
    {DumpGap::Hypervisor,   nullptr,      "hypervisor leaves"},
};
// clang-format on

bool Has(const DumpGaps& gaps, DumpGap g) { return gaps[static_cast<size_t>(g)]; }

// "a", "a and b", "a, b and c"
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

}  // namespace

std::string DumpGapsText(const DumpGaps& gaps) {
    std::vector<std::string> leaves;
    for (const GapWords& w : kGapWords)
        if (Has(gaps, w.gap) && w.leaf != nullptr) leaves.push_back(w.leaf);
    std::vector<std::string> parts;
    if (!leaves.empty())
        parts.push_back(
            std::string(leaves.size() == 1 ? "the sub-leaves of leaf " : "the sub-leaves of leaves ")
            + Listed(leaves));
    if (Has(gaps, DumpGap::Hypervisor)) parts.push_back("the hypervisor leaves");
    return Listed(parts);
}

std::string IncompleteText(const DumpGaps& gaps) {
    if (gaps.none()) return {};
    return "Incomplete dump: it lacks " + DumpGapsText(gaps) + ";" + kIncompleteMark
           + " marks what depends on them";
}

std::vector<std::string> DumpGapNames(const DumpGaps& gaps) {
    std::vector<std::string> names;
    for (const GapWords& w : kGapWords)
        if (Has(gaps, w.gap)) names.push_back(w.json);
    return names;
}

bool CachesUncertain(const DumpGaps& gaps) { return (gaps & kCacheGaps).any(); }
bool FeaturesUncertain(const DumpGaps& gaps) { return (gaps & kFeatureGaps).any(); }

std::vector<std::string> UncertainKeys(const DumpGaps& gaps) {
    const struct {
        const char* key;
        const DumpGaps& depends;
    } keys[] = {
        {"instructions", kInstructionGaps},
        {"hypervisor", kHypervisorGaps},
        {"caches", kCacheGaps},
        {"counts", kCountGaps},
        {"cacheInstances", kCountGaps},
        {"topology", kTopologyGaps},
        {"features", kFeatureGaps},
    };
    std::vector<std::string> names;
    for (const auto& k : keys)
        if ((gaps & k.depends).any()) names.push_back(k.key);
    return names;
}

std::string VulnerabilityName(std::string_view file) {
    std::string name(file);
    for (char& c : name)
        if (c == '_') c = ' ';
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

std::string MicrocodeText(uint64_t revision) {
    std::string text = "0x";
    AppendHex(text, revision, 1, HexCase::Lower);
    return text;
}

std::vector<SecurityLine> SecurityLines(const ProcessorDetails& d) {
    std::vector<SecurityLine> lines;
    if (d.vulnerabilities) {
        for (const Vulnerability& v : *d.vulnerabilities)
            lines.push_back({ShownText(VulnerabilityName(v.name)), ShownText(v.status),
                             "/sys/devices/system/cpu/vulnerabilities/" + ShownText(v.name)});
    } else {
        lines.push_back({"Vulnerabilities", d.live ? "not reported by the kernel" : "not recorded (dump)",
                         "the running kernel's verdicts, /sys/devices/system/cpu/vulnerabilities/"});
    }
    std::string bits, about;
    for (const MitigationBit* b : MitigationBits(d.features)) {
        bits += (bits.empty() ? "" : ", ") + std::string(b->name);
        about += (about.empty() ? "" : "\n") + std::string(b->name) + ": " + std::string(b->what);
    }
    if (bits.empty()) bits = "none";
    if ((d.dump_lacks & kFeatureGaps).any()) bits += kIncompleteMark;
    lines.push_back({"Mitigations in CPUID", bits,
                     about.empty() ? "the CPUID bits that enumerate mitigations: none set" : about});
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
    std::string shared = SharingText(all, sharing, p, index);
    if (shared.empty()) shared = "-";
    const bool geometry = GeometryKnown(c);
    return {"L" + Decimal(c.level),
            CacheTypeName(c.type),
            CacheSizeText(c),
            !geometry     ? "-"
            : c.ways == 0 ? "full"
                          : Decimal(c.ways),
            !geometry || c.type == CacheType::Trace ? "-" : Decimal(c.line_bytes),
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

    std::unordered_map<const ProcessorNumber*, std::string> listed;  // each group's list, once
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
                const std::span<const ProcessorNumber> known = KnownSharing(all, sharing, p, i);
                if (known.size() > 1) {  // a group's list, worked out once for all its members
                    auto [it, added] = listed.try_emplace(known.data());
                    if (added) it->second = " " + SharingText(all, sharing, p, i);
                    cell += it->second;
                } else if (const std::string shared = SharingText(all, sharing, p, i); !shared.empty()) {
                    cell += " " + shared;
                }
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
