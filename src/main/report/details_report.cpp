// The processor details as text and as JSON. Only formatting happens here: every value is the
// record's, decoded in the probe.
#include "main/report/details_report.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr size_t kWrapColumn = 100;
constexpr size_t kKeyWidth = 23;  // "  " + the longest key and two spaces

// Processor text on a terminal: control bytes as "\xNN", bytes 0x80..0xFF as Latin-1.
void AppendShown(std::string& out, std::string_view bytes) {
    std::string escaped;
    AppendProcessorText(escaped, bytes);
    AppendTerminalText(out, escaped);
}

std::string Shown(std::string_view bytes) {
    std::string out;
    AppendShown(out, bytes);
    return out;
}

std::string Pad(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string SizeText(const CacheDetails& c) {
    if (c.type == CacheType::Trace) return Decimal(c.size) + " K-uops";
    if (c.size >= 1024 && c.size % 1024 == 0) return Decimal(c.size / 1024) + " MB";
    return Decimal(c.size) + " KB";
}

std::string CacheLabel(const CacheDetails& c) {
    static constexpr const char* kSuffix[] = {"d", "i", "", "t"};
    return "L" + Decimal(c.level) + kSuffix[static_cast<int>(c.type)];
}

std::string BrandText(const ProcessorDetails& d) {
    return d.brand.view().empty() ? std::string("none") : Shown(d.brand.view());
}

std::string VendorText(const ProcessorDetails& d) { return Shown(d.vendor.view()); }

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
        return std::string(name) + " (" + Shown(d.hypervisor->view()) + ")";
    return Shown(d.hypervisor->view());
}

std::string LevelText(const ProcessorDetails& d) {
    if (d.x86_64_level == 0) return "0 (no long mode)";
    return Decimal(d.x86_64_level)
           + (d.x86_64_level == 1 ? " (x86-64)" : " (x86-64-v" + Decimal(d.x86_64_level) + ")");
}

std::string AddressText(const ProcessorDetails& d) {
    if (!d.address_bits) return "not reported";
    return Decimal(d.address_bits->physical) + " physical, " + Decimal(d.address_bits->linear) + " virtual";
}

std::string FrequencyText(const ProcessorDetails& d) {
    if (!d.frequency_mhz) return "not reported";
    return "base " + Decimal(d.frequency_mhz->base) + " MHz, max " + Decimal(d.frequency_mhz->max)
           + " MHz, bus " + Decimal(d.frequency_mhz->bus) + " MHz";
}

std::string MeasuredText(const ProcessorDetails& d) {
    return d.measured_clock ? MeasuredClockText(*d.measured_clock) : "not measured";
}

std::string CountText(uint32_t n) { return n == 0 ? "unknown" : Decimal(n); }
std::string ApicText(const ProcessorDetails& d) { return Decimal(d.apic_id); }
std::string ThreadsText(const ProcessorDetails& d) { return CountText(d.topology.threads_per_core); }
std::string LogicalText(const ProcessorDetails& d) { return CountText(d.topology.logical_per_package); }

enum class Section : uint8_t { Identity, Topology, Platform };

// One line of the text, and of the window's summary where `summary` says so.
struct Field {
    const char* key;
    Section section;
    std::string (*text)(const ProcessorDetails&);
    bool one_only;  // in the text only when it describes one processor (the table covers several)
    bool summary;
};

// In the text's order.
// clang-format off
constexpr Field kFields[] = {
    //  key                    section            text            one_only summary
    {"Brand",               Section::Identity, BrandText,      false, true},
    {"Vendor",              Section::Identity, VendorText,     false, true},
    {"Signature",           Section::Identity, SignatureText,  false, true},
    {"Codename",            Section::Identity, CodenameText,   false, true},
    {"Microarchitecture",   Section::Identity, UarchText,      true,  true},
    {"Core type",           Section::Identity, CoreTypeText,   true,  true},
    {"APIC ID",             Section::Identity, ApicText,       true,  false},
    {"Threads per core",    Section::Topology, ThreadsText,    false, false},
    {"Logical per package", Section::Topology, LogicalText,    false, false},
    {"Address bits",        Section::Topology, AddressText,    false, false},
    {"Hypervisor",          Section::Platform, HypervisorText, false, true},
    {"x86-64 level",        Section::Platform, LevelText,      false, true},
    {"Frequencies",         Section::Platform, FrequencyText,  false, false},
};
// clang-format on

// One value when every processor agrees; otherwise each value with the processors that have it.
// `cells[p]` holds processor p's lines, field by field.
std::string Agreed(std::span<const ProcessorDetails> all, const std::vector<std::vector<DetailsLine>>& cells,
                   size_t field) {
    std::vector<std::pair<std::string, std::vector<ProcessorNumber>>> groups;  // in order of first appearance
    std::unordered_map<std::string, size_t> group_of;
    for (size_t p = 0; p < all.size(); ++p) {
        const std::string& value = cells[p][field].value;
        auto [it, added] = group_of.try_emplace(value, groups.size());
        if (added) groups.push_back({value, {}});
        groups[it->second].second.push_back(all[p].cpu);
    }
    if (groups.size() == 1) return groups[0].first;
    std::string out;
    for (const auto& [value, cpus] : groups) {
        if (!out.empty()) out += "; ";
        out += value + " (processors " + ProcessorList(cpus) + ")";
    }
    return out;
}

void Line(std::string& out, std::string_view key, std::string_view value) {
    out += Pad("  " + std::string(key), kKeyWidth);
    out += value;
    out += '\n';
}

// Words in rows of at most kWrapColumn columns, each row indented by two spaces.
void Wrapped(std::string& out, const std::vector<std::string_view>& words) {
    size_t column = 0;
    for (std::string_view w : words) {
        if (column > 0 && column + 1 + w.size() > kWrapColumn) {
            out += '\n';
            column = 0;
        }
        if (column == 0) {
            out += "  ";
            column = 2;
        } else {
            out += ' ';
            ++column;
        }
        out += w;
        column += w.size();
    }
    if (column > 0) out += '\n';
}

// Columns sized to their widest cell; numbers right-aligned.
void Table(std::string& out, const std::vector<std::vector<std::string>>& rows,
           const std::vector<bool>& right) {
    std::vector<size_t> width(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t c = 0; c < row.size(); ++c) {
            line += ' ';
            const size_t gap = width[c] - row[c].size();
            if (right[c]) line.append(gap, ' ');
            line += row[c];
            if (!right[c]) line.append(gap, ' ');
            line += ' ';
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + '\n';
    }
}

// The processors that share cache `index` of all[p], where the records tell exactly: CPUID counts the
// processor alone, or the records hold every processor of its package; empty otherwise. A view of the
// sharing group's own list (or of the processor's number), not a copy.
std::span<const ProcessorNumber> SharingOf(std::span<const ProcessorDetails> all, const CacheSharing& sharing,
                                           size_t p, size_t index) {
    const ProcessorDetails& d = all[p];
    const CacheDetails& c = d.caches[index];
    if (!c.shared_by) return {};
    if (*c.shared_by == 1) return {&d.cpu, 1};
    // Sharing is told apart by APIC IDs alone, so every processor of the package must be present.
    const uint32_t package = d.topology.logical_per_package;
    if (package == 0 || all.size() < package) return {};
    return sharing.Of(p, index);
}

// The cache table of the processors `members` (indices into `all`), whose cache lists are equal. Where
// they share a cache with different processors, its "Shared by" gives how many share each one's.
void CacheTable(std::string& out, std::span<const ProcessorDetails> all, const CacheSharing& sharing,
                const std::vector<size_t>& members) {
    const ProcessorDetails& d = all[members.front()];
    if (d.caches.empty()) {
        out += "  none reported\n";
        return;
    }
    std::vector<std::vector<std::string>> rows{{kCacheColumns.begin(), kCacheColumns.end()}};
    for (size_t i = 0; i < d.caches.size(); ++i) {
        auto cells = CacheCells(all, sharing, members.front(), i);
        const std::span<const ProcessorNumber> first = SharingOf(all, sharing, members.front(), i);
        for (size_t m : members) {
            // Sharing groups are disjoint, so two lists are equal only where they are one list.
            const std::span<const ProcessorNumber> own = SharingOf(all, sharing, m, i);
            if (own.size() == first.size() && (own.empty() || own.data() == first.data())) continue;
            cells.back() = !first.empty() && own.size() == first.size()
                               ? Decimal(first.size()) + " each"
                               : CacheCells(all.subspan(m, 1), 0, i).back();
            break;
        }
        rows.emplace_back(cells.begin(), cells.end());
    }
    Table(out, rows, {false, false, true, true, true, true});
}

// The lines of one section, from every processor's cells.
void Lines(std::string& out, std::span<const ProcessorDetails> all,
           const std::vector<std::vector<DetailsLine>>& cells, Section section) {
    for (size_t f = 0; f < std::size(kFields); ++f)
        if (kFields[f].section == section && (all.size() == 1 || !kFields[f].one_only))
            Line(out, kFields[f].key, Agreed(all, cells, f));
}

void Caches(std::string& out, std::span<const ProcessorDetails> all, const CacheSharing& sharing) {
    // One table per distinct cache list, naming its processors when there are several lists.
    std::vector<std::vector<size_t>> groups;
    std::unordered_map<std::string, size_t> group_of;  // keyed by every field of the list, as bytes
    for (size_t p = 0; p < all.size(); ++p) {
        const ProcessorDetails& d = all[p];
        std::string key(1, static_cast<char>(d.cache_source));
        for (const CacheDetails& c : d.caches) {
            const uint64_t fields[] = {c.level,      static_cast<uint64_t>(c.type),
                                       c.size,       c.ways,
                                       c.line_bytes, c.shared_by ? uint64_t{*c.shared_by} + 1 : 0};
            key.append(reinterpret_cast<const char*>(fields), sizeof fields);
        }
        auto [it, added] = group_of.try_emplace(std::move(key), groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(p);
    }
    for (const std::vector<size_t>& members : groups) {
        const ProcessorDetails* d = &all[members.front()];
        std::vector<ProcessorNumber> cpus;
        for (size_t m : members) cpus.push_back(all[m].cpu);
        out += "\nCaches";
        if (groups.size() > 1) out += " of processors " + ProcessorList(cpus);
        if (d->cache_source != CacheSource::None)
            out += std::string(" (") + CacheSourceName(d->cache_source) + ")";
        out += '\n';
        CacheTable(out, all, sharing, members);
    }
}

void Features(std::string& out, std::span<const ProcessorDetails> all) {
    FeatureSet common;
    common.set();
    for (const ProcessorDetails& d : all) common &= d.features;
    std::vector<std::string_view> words;
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (common[i] && ListsItsName(i)) words.push_back(kFeatureNames[i].name);
    out += "\nFeatures (" + Decimal(words.size()) + (all.size() > 1 ? ", on every processor)\n" : ")\n");
    Wrapped(out, words);

    std::vector<std::pair<FeatureSet, std::vector<ProcessorNumber>>> extra;
    std::unordered_map<FeatureSet, size_t> extra_of;
    for (const ProcessorDetails& d : all) {
        const FeatureSet own = d.features & ~common;
        if (own.none()) continue;
        auto [it, added] = extra_of.try_emplace(own, extra.size());
        if (added) extra.push_back({own, {}});
        extra[it->second].second.push_back(d.cpu);
    }
    for (const auto& [own, cpus] : extra) {
        out += "\nFeatures only on processors " + ProcessorList(cpus) + "\n";
        words.clear();
        for (size_t i = 0; i < kFeatureNames.size(); ++i)
            if (own[i] && ListsItsName(i)) words.push_back(kFeatureNames[i].name);
        Wrapped(out, words);
    }
}

// The per-processor table of --cpu all: what a hybrid processor varies, and who shares each cache.
void PerProcessor(std::string& out, std::span<const ProcessorDetails> all, const CacheSharing& sharing) {
    const PerProcessorRows table = PerProcessorTable(all, sharing);
    std::vector<std::vector<std::string>> rows{table.header};
    rows.insert(rows.end(), table.rows.begin(), table.rows.end());
    out += "\nPer processor (caches: size [processors sharing it])\n";
    std::vector<bool> right(table.header.size(), false);
    right[0] = right[1] = true;
    Table(out, rows, right);
}

void Key(std::string& out, std::string_view key) {
    out += "    ";
    AppendJsonString(out, key);
    out += ": ";
}

void JsonString(std::string& out, std::string_view key, std::string_view value) {
    Key(out, key);
    AppendJsonString(out, value);
    out += ",\n";
}

void JsonNumber(std::string& out, std::string_view key, uint64_t value) {
    Key(out, key);
    out += Decimal(value) + ",\n";
}

void JsonObject(std::string& out, std::span<const ProcessorDetails> all, const CacheSharing& sharing,
                size_t p) {
    const ProcessorDetails& d = all[p];
    out += "  {\n";
    JsonNumber(out, "cpu", d.cpu.counted());
    JsonNumber(out, "apicId", d.apic_id);
    JsonString(out, "vendor", d.vendor.view());
    JsonString(out, "brand", d.brand.view());
    JsonNumber(out, "family", d.family);
    JsonNumber(out, "model", d.model);
    JsonNumber(out, "stepping", d.stepping);
    JsonString(out, "signature", Hex(d.signature, 8));
    if (d.uarch) {
        JsonString(out, "microarchitecture", d.uarch->microarchitecture);
        JsonString(out, "codename", d.uarch->codename);
    } else {
        Key(out, "microarchitecture");
        out += "null,\n";
        Key(out, "codename");
        out += "null,\n";
    }
    Key(out, "coreType");
    if (const char* core = CoreTypeName(d.core_type))
        AppendJsonString(out, core);
    else
        out += "null";
    out += ",\n";
    Key(out, "hypervisor");
    if (d.hypervisor)
        AppendJsonString(out, d.hypervisor->view());
    else
        out += "null";
    out += ",\n";
    Key(out, "hypervisorName");
    if (const char* name = d.hypervisor ? HypervisorName(d.hypervisor->view()) : nullptr)
        AppendJsonString(out, name);
    else
        out += "null";
    out += ",\n";
    JsonNumber(out, "x86_64Level", d.x86_64_level);
    Key(out, "addressBits");
    out += d.address_bits ? "{\"physical\": " + Decimal(d.address_bits->physical)
                                + ", \"virtual\": " + Decimal(d.address_bits->linear) + "}"
                          : std::string("null");
    out += ",\n";
    Key(out, "frequencyMHz");
    out += d.frequency_mhz ? "{\"base\": " + Decimal(d.frequency_mhz->base)
                                 + ", \"max\": " + Decimal(d.frequency_mhz->max)
                                 + ", \"bus\": " + Decimal(d.frequency_mhz->bus) + "}"
                           : std::string("null");
    out += ",\n";
    if (const std::optional<CoreClock>& clock = d.measured_clock) {
        Key(out, "measuredClockMHz");
        out += clock->mhz ? Decimal(*clock->mhz) : std::string("null");
        out += ",\n";
    }
    Key(out, "caches");
    out += "[";
    for (size_t i = 0; i < d.caches.size(); ++i) {
        const CacheDetails& c = d.caches[i];
        out += i == 0 ? "\n" : ",\n";
        out += "      {\"level\": " + Decimal(c.level) + ", \"type\": \"" + CacheTypeName(c.type) + "\", ";
        out += c.type == CacheType::Trace ? "\"kuops\": " : "\"sizeKB\": ";
        out += Decimal(c.size) + ", \"ways\": " + Decimal(c.ways)
               + ", \"lineBytes\": " + Decimal(c.line_bytes)
               + ", \"sharedBy\": " + (c.shared_by ? Decimal(*c.shared_by) : std::string("null"));
        const std::span<const ProcessorNumber> with = SharingOf(all, sharing, p, i);
        out += ", \"sharedWith\": ";
        if (with.empty()) {
            out += "null";
        } else {
            out += "[";
            for (size_t k = 0; k < with.size(); ++k) out += (k == 0 ? "" : ", ") + Decimal(with[k].counted());
            out += "]";
        }
        out += "}";
    }
    out += d.caches.empty() ? "],\n" : "\n    ],\n";
    Key(out, "topology");
    out += "{\"threadsPerCore\": " + Decimal(d.topology.threads_per_core)
           + ", \"logicalPerPackage\": " + Decimal(d.topology.logical_per_package) + "},\n";
    Key(out, "features");
    out += "[";
    bool first = true;
    for (size_t i = 0; i < kFeatureNames.size(); ++i) {
        if (!d.features[i] || !ListsItsName(i)) continue;
        if (!first) out += ", ";
        first = false;
        AppendJsonString(out, kFeatureNames[i].name);
    }
    out += "]\n  }";
}

}  // namespace

std::string NotPinnedText(ProcessorNumber processor) {
    return "cannot run on processor " + Decimal(processor.counted());
}

std::string MovedText(ProcessorNumber processor, std::string_view during) {
    return "processor " + Decimal(processor.counted()) + " went away during the " + std::string(during);
}

std::string CaptureStatusText(const ProcessorCapture& capture) {
    switch (capture.status) {
    case CaptureStatus::Captured: return {};
    case CaptureStatus::NotPinned: return NotPinnedText(capture.processor);
    case CaptureStatus::Moved: return MovedText(capture.processor, "capture");
    }
    return {};
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
    for (const Field& f : kFields) lines.push_back({f.key, f.text(d)});
    return lines;
}

std::vector<DetailsLine> DetailsSummary(const ProcessorDetails& d) {
    std::vector<DetailsLine> lines;
    for (const Field& f : kFields)
        if (f.summary) lines.push_back({f.key, f.text(d)});
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
    const std::span<const ProcessorNumber> known = SharingOf(all, sharing, p, index);
    std::string shared = "-";
    if (!known.empty())
        shared = ProcessorList(known) + " (" + Decimal(known.size()) + ")";
    else if (c.shared_by)
        shared = "up to " + Decimal(*c.shared_by);
    return {"L" + Decimal(c.level),
            CacheTypeName(c.type),
            SizeText(c),
            c.ways == 0 ? "full" : Decimal(c.ways),
            c.type == CacheType::Trace ? "-" : Decimal(c.line_bytes),
            shared};
}

PerProcessorRows PerProcessorTable(std::span<const ProcessorDetails> all) {
    return PerProcessorTable(all, CacheSharing(all));
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
                cell = SizeText(c);
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

std::string DetailsText(std::span<const ProcessorDetails> all) {
    std::string out;
    if (all.empty()) return out;
    std::vector<ProcessorNumber> cpus;
    for (const ProcessorDetails& d : all) cpus.push_back(d.cpu);
    out += (all.size() == 1 ? "Processor " : "Processors ") + ProcessorList(cpus) + "\n\n";

    std::vector<std::vector<DetailsLine>> cells;
    for (const ProcessorDetails& d : all) cells.push_back(DetailsLines(d));
    const CacheSharing sharing(all);
    out += "Identity\n";
    Lines(out, all, cells, Section::Identity);
    Caches(out, all, sharing);
    out += "\nTopology\n";
    Lines(out, all, cells, Section::Topology);
    out += "\nPlatform\n";
    Lines(out, all, cells, Section::Platform);
    // Several processors show theirs in the per-processor table.
    if (all.size() == 1 && all[0].measured_clock) Line(out, "Measured clock", MeasuredText(all[0]));

    Features(out, all);
    if (all.size() > 1) PerProcessor(out, all, sharing);
    return out;
}

std::string DetailsJson(std::span<const ProcessorDetails> all) {
    std::string out;
    out.reserve(32 + all.size() * 3072);  // about 2.5 KB a processor
    out += "{\"processors\": [";
    const CacheSharing sharing(all);
    for (size_t i = 0; i < all.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        JsonObject(out, all, sharing, i);
    }
    out += all.empty() ? "]}\n" : "\n]}\n";
    return out;
}

}  // namespace talvex
