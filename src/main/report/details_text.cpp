// The processor details as text for a person.
#include "main/report/details_text.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr size_t kWrapColumn = 100;
constexpr size_t kKeyWidth = 23;  // "  " + the longest key and two spaces

std::string Pad(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

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
        const std::span<const ProcessorNumber> first = KnownSharing(all, sharing, members.front(), i);
        for (size_t m : members) {
            // Sharing groups are disjoint, so two lists are equal only where they are one list.
            const std::span<const ProcessorNumber> own = KnownSharing(all, sharing, m, i);
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
           const std::vector<std::vector<DetailsLine>>& cells, DetailsSection section) {
    for (size_t f = 0; f < cells.front().size(); ++f)
        if (cells.front()[f].section == section && (all.size() == 1 || !cells.front()[f].one_only))
            Line(out, cells.front()[f].key, Agreed(all, cells, f));
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

}  // namespace

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
    Lines(out, all, cells, DetailsSection::Identity);
    Caches(out, all, sharing);
    out += "\nTopology\n";
    Lines(out, all, cells, DetailsSection::Topology);
    out += "\nPlatform\n";
    Lines(out, all, cells, DetailsSection::Platform);
    // Several processors show theirs in the per-processor table.
    if (all.size() == 1 && all[0].measured_clock) Line(out, "Measured clock", MeasuredText(all[0]));

    Features(out, all);
    if (all.size() > 1) PerProcessor(out, all, sharing);
    return out;
}

}  // namespace talvex
