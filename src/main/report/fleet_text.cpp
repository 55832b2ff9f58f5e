// Comparisons and fleet baselines as text for a person.
#include "main/report/fleet_text.h"

#include <algorithm>
#include <set>
#include <vector>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr size_t kWrapColumn = 100;
constexpr size_t kKeyWidth = 21;

// A file name as the user gave it: UTF-8 kept, control bytes as "\xNN"; other bytes as Latin-1.
std::string InputText(std::string_view name) {
    if (!IsValidUtf8(name)) return ShownText(name);
    std::string out;
    AppendProcessorText(out, name);
    return out;
}

// A key and the blanks up to its value's column; at least one.
std::string Pad(std::string text, size_t width) {
    text.append(text.size() < width ? width - text.size() : 1, ' ');
    return text;
}

// `words` after `lead`, in rows of at most kWrapColumn columns; a row after the first starts at
// `indent` columns.
void Wrapped(std::string& out, const std::string& lead, const std::vector<std::string>& words,
             std::string_view separator, size_t indent) {
    std::string line = lead;
    bool first = true;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string word = words[i] + (i + 1 < words.size() ? std::string(separator) : "");
        const std::string trimmed = word.substr(0, word.find_last_not_of(' ') + 1);
        if (!first && line.size() + trimmed.size() > kWrapColumn) {
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + '\n';
            line.assign(indent, ' ');
        }
        line += word;
        first = false;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + '\n';
}

std::string ValueOf(const ProcessorDetails& d, std::string_view key) {
    for (const DetailsLine& line : DetailsLines(d, SetFacts{}))  // one processor alone
        if (line.key == key) return line.value;
    return "";
}

std::string Count(size_t n, std::string_view one, std::string_view many) {
    return Decimal(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::vector<std::string> FeatureNames(std::span<const size_t> features, const FeatureSet& names) {
    std::vector<std::string> words;
    std::set<std::string, std::less<>> seen;
    for (size_t f : features) {
        std::string name = MachineFeatureName(f, names);
        if (seen.insert(name).second) words.push_back(std::move(name));
    }
    return words;
}

std::vector<size_t> CommonFeatures(const FleetBaseline& fleet) {
    std::vector<size_t> common;
    for (size_t f = 0; f < kMachineFeatures.size(); ++f)
        if (fleet.common[f]) common.push_back(f);
    return common;
}

std::vector<const FleetBaseline::Partial*> PartialFeatures(const FleetBaseline& fleet) {
    std::vector<const FleetBaseline::Partial*> shown;
    std::set<std::string, std::less<>> seen;
    for (const FleetBaseline::Partial& p : fleet.partial)
        if (seen.insert(MachineFeatureName(p.feature, fleet.names)).second) shown.push_back(&p);
    return shown;
}

const ProcessorFieldName& NameOf(ProcessorField field) {
    for (const ProcessorFieldName& n : kProcessorFieldNames)
        if (n.field == field) return n;
    return kProcessorFieldNames[0];
}

std::string ComparedName(const ComparedProcessor& p) {
    return InputText(p.input) + ", processor " + Decimal(p.details->cpu.counted());
}

std::string CacheLabel(const CacheDetails& cache) {
    return "L" + Decimal(cache.level) + " " + CacheTypeName(cache.type);
}

std::string CacheSummary(const CacheDetails* c) {
    if (c == nullptr) return "none";
    std::string out = CacheSizeText(*c);
    if (!GeometryKnown(*c)) return out + ", from the report's lines";
    out += c->ways == 0 ? ", fully associative" : ", " + Count(c->ways, "way", "ways");
    if (c->line_bytes != 0) out += ", " + Decimal(c->line_bytes) + "-byte lines";
    if (c->shared_by) out += ", shared by " + SharingBoundText(*c->shared_by);
    return out;
}

std::string GccNoteLine(const GccNoteText& n) {
    switch (n.note) {
    case GccNote::Checked: return "checked with " + InputText(n.detail);
    case GccNote::NotChecked: return "not checked: " + InputText(n.detail);
    case GccNote::NoLongMode: return "none: x86-64 code does not run on every machine (no long mode)";
    case GccNote::MarchUnknown:
        return "-march=" + n.detail + ", every machine's microarchitecture, is not known to this compiler";
    case GccNote::MarchUnchecked:
        return "-march=" + n.detail + " turns on " + n.more
               + ", which Talvex cannot check against the machines";
    case GccNote::ExtensionsDropped:
        return "the further extensions' -m options turn on more than every machine has: left out";
    }
    return "";
}

std::string CompareText(const ComparedProcessor& a, const ComparedProcessor& b,
                        const ProcessorComparison& c) {
    if (c.Same()) return "No differences between " + ComparedName(a) + " and " + ComparedName(b) + "\n";
    std::string out = "A  " + ComparedName(a) + "\nB  " + ComparedName(b) + "\n\n";
    const auto pair = [&out](const std::string& key, const std::string& va, const std::string& vb) {
        out += Pad(key, kKeyWidth) + "A  " + va + "\n" + std::string(kKeyWidth, ' ') + "B  " + vb + "\n";
    };
    for (const ProcessorField f : c.fields) {
        const std::string_view key = NameOf(f).key.view();
        pair(std::string(key), ValueOf(*a.details, key), ValueOf(*b.details, key));
    }
    for (const CacheDifference& d : c.caches)
        pair(CacheLabel(d.a != nullptr ? *d.a : *d.b), CacheSummary(d.a), CacheSummary(d.b));

    const auto features = [&out](const std::string& title, const std::vector<std::string>& words) {
        if (words.empty()) return;
        out += "\n" + title + " (" + Decimal(words.size()) + ")\n";
        Wrapped(out, "  ", words, " ", 2);
    };
    features("Features only in A", FeatureNames(c.only_a, a.details->features));
    features("Features only in B", FeatureNames(c.only_b, b.details->features));
    return out;
}

std::string BaselineText(const FleetBaseline& fleet, std::span<const std::string> names,
                         const GccFlags& gcc) {
    std::string out;
    const auto line = [&out](std::string_view key, const std::string& value) {
        out += Pad(std::string(key), kKeyWidth) + value + "\n";
    };
    line("Machines", Decimal(fleet.machines));
    std::string level = X86_64LevelText(fleet.level);
    if (!fleet.held_back.empty())
        level += ", held back by " + Count(fleet.held_back.size(), "machine", "machines");
    line("x86-64 level", level);
    std::vector<std::string> groups;
    for (const FleetBaseline::UarchGroup& g : fleet.uarchs) {
        const std::string uarch = g.uarch ? std::string(g.uarch->microarchitecture) : "not in the table";
        groups.push_back(uarch + " (" + Count(g.machines.size(), "machine", "machines") + ")");
    }
    Wrapped(out, Pad("Microarchitectures", kKeyWidth), groups, ", ", kKeyWidth);
    std::string flags;
    for (const std::string& f : gcc.flags) flags += (flags.empty() ? "" : " ") + f;
    line("GCC flags", flags.empty() ? "none" : flags);
    for (const GccNoteText& n : gcc.notes) line("", GccNoteLine(n));

    if (!fleet.held_back.empty()) {
        out += "\nHeld back at " + X86_64LevelText(fleet.level) + "\n";
        for (const FleetBaseline::HeldBack& h : fleet.held_back) {
            std::vector<std::string> lacks;
            for (const uint16_t row : h.lacks) lacks.emplace_back(kFeatureNames[row].name.view());
            Wrapped(out, Pad("  " + InputText(names[h.machine]), kKeyWidth) + "lacks ", lacks, " ",
                    kKeyWidth + 6);
        }
    }

    const std::vector<std::string> common = FeatureNames(CommonFeatures(fleet), fleet.names);
    out += "\nFeatures on every machine (" + Decimal(common.size()) + ")\n";
    if (!common.empty()) Wrapped(out, "  ", common, " ", 2);

    const std::vector<const FleetBaseline::Partial*> partial = PartialFeatures(fleet);
    if (!partial.empty()) {
        out += "\nFeatures not on every machine (" + Decimal(partial.size()) + ")\n";
        for (const FleetBaseline::Partial* p : partial) {
            std::vector<std::string> lacking;
            for (size_t m : p->lacking) lacking.push_back(InputText(names[m]));
            Wrapped(out, Pad("  " + MachineFeatureName(p->feature, fleet.names), kKeyWidth) + "lacking on ",
                    lacking, ", ", kKeyWidth + 11);
        }
    }
    return out;
}

}  // namespace talvex
