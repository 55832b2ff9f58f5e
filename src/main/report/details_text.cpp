// The processor details as text for a person.
#include "main/report/details_text.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "main/report/text_layout.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr size_t kKeyWidth = 23;  // "  " + the longest key and two spaces

// The records shown, as indices into the whole set.
using Shown = std::vector<size_t>;

// One value when every processor shown agrees; otherwise each value with the processors that have it.
// `cells[k]` holds the lines of shown[k], field by field.
template <typename Cells>
std::string Agreed(std::span<const ProcessorDetails> all, const Shown& shown, const Cells& cells,
                   size_t field) {
    std::vector<std::pair<std::string, std::vector<ProcessorNumber>>> groups;  // in order of first appearance
    std::unordered_map<std::string, size_t> group_of;
    for (size_t k = 0; k < shown.size(); ++k) {
        const std::string& value = cells[k][field].value;
        auto [it, added] = group_of.try_emplace(value, groups.size());
        if (added) groups.push_back({value, {}});
        groups[it->second].second.push_back(all[shown[k]].cpu);
    }
    if (groups.size() == 1) return groups[0].first;
    std::string out;
    for (const auto& [value, cpus] : groups) {
        if (!out.empty()) out += "; ";
        out += value + " (processors " + ProcessorList(cpus) + ")";
    }
    return out;
}

void Line(std::string& out, std::string_view key, std::string_view value, size_t width = kKeyWidth) {
    KeyLine(out, "  " + std::string(key), value, width);
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
            const std::optional<uint32_t>& count = d.caches[i].shared_by;
            cells.back() = !first.empty() && own.size() == first.size() ? SharingEachText(first.size())
                           : count                                      ? SharingBoundText(*count)
                                                                        : "-";
            break;
        }
        rows.emplace_back(cells.begin(), cells.end());
    }
    Table(out, rows, {false, false, true, true, true, true});
}

// The lines of one section, from every shown processor's cells.
void Lines(std::string& out, std::span<const ProcessorDetails> all, const Shown& shown,
           const std::vector<std::vector<DetailsLine>>& cells, DetailsSection section) {
    for (size_t f = 0; f < cells.front().size(); ++f)
        if (cells.front()[f].section == section && (shown.size() == 1 || !cells.front()[f].one_only))
            Line(out, cells.front()[f].key, Agreed(all, shown, cells, f));
}

// "leaf 0x8000001D; leaves 0x80000005 and 0x80000006": the sources of a cache list, richest first.
std::string SourcesText(const ProcessorDetails& d) {
    std::vector<CacheSource> sources;
    for (const CacheDetails& c : d.caches)
        if (std::find(sources.begin(), sources.end(), c.source) == sources.end()) sources.push_back(c.source);
    std::sort(sources.begin(), sources.end());
    std::string text;
    for (CacheSource s : sources) text += (text.empty() ? "" : "; ") + std::string(CacheSourceName(s));
    return text;
}

void Caches(std::string& out, std::span<const ProcessorDetails> all, const Shown& shown,
            const CacheSharing& sharing) {
    // One table per distinct cache list, naming its processors when there are several lists.
    std::vector<std::vector<size_t>> groups;
    std::unordered_map<std::string, size_t> group_of;  // keyed by every field of the list, as bytes
    for (size_t p : shown) {
        const ProcessorDetails& d = all[p];
        std::string key(1, static_cast<char>(d.cache_source));
        for (const CacheDetails& c : d.caches) {
            const uint64_t fields[] = {c.level,
                                       static_cast<uint64_t>(c.type),
                                       c.size,
                                       c.ways,
                                       c.line_bytes,
                                       c.shared_by ? uint64_t{*c.shared_by} + 1 : 0,
                                       static_cast<uint64_t>(c.source)};
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
        if (d->cache_source != CacheSource::None) out += " (" + SourcesText(*d) + ")";
        if (CachesUncertain(d->dump_lacks)) out += kIncompleteMark;
        out += '\n';
        CacheTable(out, all, sharing, members);
    }
}

// The kernel's verdicts and the mitigation bits, keys lined up under the longest.
void Security(std::string& out, std::span<const ProcessorDetails> all, const Shown& shown) {
    std::vector<std::vector<SecurityLine>> cells;
    for (size_t p : shown) cells.push_back(SecurityLines(all[p]));
    size_t width = kKeyWidth;
    for (const SecurityLine& l : cells.front()) width = std::max(width, l.key.size() + 4);
    out += "\nSecurity\n";
    for (size_t f = 0; f < cells.front().size(); ++f) {
        // Every record of a set shares the kernel's list: the rows line up.
        const bool aligned = std::all_of(cells.begin(), cells.end(), [&](const auto& c) {
            return c.size() == cells.front().size() && c[f].key == cells.front()[f].key;
        });
        Line(out, cells.front()[f].key, aligned ? Agreed(all, shown, cells, f) : cells.front()[f].value,
             width);
    }
}

void Features(std::string& out, std::span<const ProcessorDetails> all, const Shown& shown) {
    FeatureSet common;
    common.set();
    bool uncertain = false;
    for (size_t p : shown) {
        common &= all[p].features;
        uncertain = uncertain || FeaturesUncertain(all[p].dump_lacks);
    }
    std::vector<std::string> words;
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (common[i] && ListsItsName(i)) words.emplace_back(kFeatureNames[i].name.view());
    out += "\nFeatures (" + Decimal(words.size()) + (shown.size() > 1 ? ", on every processor)" : ")");
    out += uncertain ? std::string(kIncompleteMark) + "\n" : "\n";
    WordRows(out, words);

    std::vector<std::pair<FeatureSet, std::vector<ProcessorNumber>>> extra;
    std::unordered_map<FeatureSet, size_t> extra_of;
    for (size_t p : shown) {
        const ProcessorDetails& d = all[p];
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
            if (own[i] && ListsItsName(i)) words.emplace_back(kFeatureNames[i].name.view());
        WordRows(out, words);
    }
}

// The per-processor table of --cpu all: what a hybrid processor varies, and who shares each cache.
void PerProcessor(std::string& out, std::span<const ProcessorDetails> all, const Shown& shown,
                  const CacheSharing& sharing) {
    const PerProcessorRows table = PerProcessorTable(all, sharing);
    std::vector<std::vector<std::string>> rows{table.header};
    for (size_t p : shown) rows.push_back(table.rows[p]);
    out += "\nPer processor (caches: size [processors sharing it])\n";
    std::vector<bool> right(table.header.size(), false);
    right[0] = right[1] = true;
    Table(out, rows, right);
}

std::string Text(std::span<const ProcessorDetails> all, const Shown& shown) {
    std::string out;
    if (shown.empty()) return out;
    std::vector<ProcessorNumber> cpus;
    for (size_t p : shown) cpus.push_back(all[p].cpu);
    out += (shown.size() == 1 ? "Processor " : "Processors ") + ProcessorList(cpus) + "\n";
    DumpGaps lacks;
    for (size_t p : shown) lacks |= all[p].dump_lacks;
    if (lacks.any()) out += IncompleteText(lacks) + "\n";
    out += '\n';

    const CacheSharing sharing(all);
    const SetFacts set(all, sharing);
    std::vector<std::vector<DetailsLine>> cells;
    for (size_t p : shown) cells.push_back(DetailsLines(all[p], set));
    out += "Identity\n";
    Lines(out, all, shown, cells, DetailsSection::Identity);
    Caches(out, all, shown, sharing);
    out += "\nTopology\n";
    Lines(out, all, shown, cells, DetailsSection::Topology);
    out += "\nPlatform\n";
    Lines(out, all, shown, cells, DetailsSection::Platform);
    // Several processors show theirs in the per-processor table.
    if (shown.size() == 1 && all[shown[0]].measured_clock)
        Line(out, "Measured clock", MeasuredText(all[shown[0]]));

    Security(out, all, shown);
    Features(out, all, shown);
    if (shown.size() > 1) PerProcessor(out, all, shown, sharing);
    return out;
}

}  // namespace

std::string DetailsText(std::span<const ProcessorDetails> all) {
    Shown shown(all.size());
    for (size_t p = 0; p < all.size(); ++p) shown[p] = p;
    return Text(all, shown);
}

std::string DetailsText(std::span<const ProcessorDetails> set, size_t shown) {
    return shown < set.size() ? Text(set, {shown}) : std::string();
}

}  // namespace talvex
