// Comparisons and fleet baselines as text for a person.
#include "main/report/fleet_text.h"

#include <algorithm>
#include <set>
#include <vector>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "main/report/text_layout.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr size_t kKeyWidth = 21;

// A file name as the user gave it: UTF-8 kept, control bytes as "\xNN"; other bytes as Latin-1.
std::string InputText(std::string_view name) {
    if (!IsValidUtf8(name)) return ShownText(name);
    std::string out;
    AppendProcessorText(out, name);
    return out;
}

// "machine 3", "machines 1, 3-5": machines by their number in the list of machines.
std::string MachinesText(std::span<const size_t> machines) {
    std::string out = machines.size() == 1 ? "machine " : "machines ";
    for (size_t i = 0; i < machines.size();) {
        size_t j = i;
        while (j + 1 < machines.size() && machines[j + 1] == machines[j] + 1) ++j;
        out +=
            (i == 0 ? "" : ", ") + Decimal(machines[i] + 1) + (j > i ? "-" + Decimal(machines[j] + 1) : "");
        i = j + 1;
    }
    return out;
}

std::string ValueOf(const ProcessorDetails& d, std::string_view key) {
    for (const DetailsLine& line : DetailsLines(d, SetFacts{}))  // one processor alone
        if (line.key == key) return line.value;
    return "";
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
    out += c->ways == 0 ? ", fully associative" : ", " + Plural(c->ways, "way", "ways");
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
        Wrapped(out, Pad(key, kKeyWidth) + "A  ", va, kKeyWidth + 3);
        Wrapped(out, std::string(kKeyWidth, ' ') + "B  ", vb, kKeyWidth + 3);
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
        WordRows(out, words);
    };
    features("Features only in A", FeatureNames(c.only_a, a.details->features));
    features("Features only in B", FeatureNames(c.only_b, b.details->features));
    return out;
}

std::string BaselineText(const FleetBaseline& fleet, std::span<const std::string> names,
                         const GccFlags& gcc) {
    std::string out;
    const auto line = [&out](std::string_view key, const std::string& value) {
        KeyLine(out, key, value, kKeyWidth);
    };
    line("Machines", Decimal(fleet.machines));
    std::string level = X86_64LevelText(fleet.level);
    if (!fleet.held_back.empty())
        level += ", held back by " + Plural(fleet.held_back.size(), "machine", "machines");
    line("x86-64 level", level);
    std::vector<std::string> groups;
    for (const FleetBaseline::UarchGroup& g : fleet.uarchs) {
        const std::string uarch = g.uarch ? std::string(g.uarch->microarchitecture) : "not in the table";
        groups.push_back(uarch + " (" + Plural(g.machines.size(), "machine", "machines") + ")");
    }
    line("Microarchitectures", Joined(groups, ", "));
    line("GCC flags", gcc.flags.empty() ? "none" : Joined(gcc.flags, " "));
    for (const GccNoteText& n : gcc.notes) line("", GccNoteLine(n));

    // Each machine named once, by the number the lists below give it.
    out += "\nMachines\n";
    for (size_t m = 0; m < names.size(); ++m)
        out += Pad("  " + Decimal(m + 1), Decimal(names.size()).size() + 4) + InputText(names[m]) + "\n";

    if (!fleet.held_back.empty()) {
        out += "\nHeld back at " + X86_64LevelText(fleet.level) + "\n";
        for (const FleetBaseline::HeldBack& h : fleet.held_back) {
            std::vector<std::string> lacks;
            for (const uint16_t row : h.lacks) lacks.emplace_back(kFeatureNames[row].name.view());
            Wrapped(out, Pad("  " + MachinesText({&h.machine, 1}), kKeyWidth) + "lacks ", Joined(lacks, " "),
                    kKeyWidth + 6);
        }
    }

    const std::vector<std::string> common = FeatureNames(CommonFeatures(fleet), fleet.names);
    out += "\nFeatures on every machine (" + Decimal(common.size()) + ")\n";
    WordRows(out, common);

    const std::vector<const FleetBaseline::Partial*> partial = PartialFeatures(fleet);
    if (!partial.empty()) {
        out += "\nFeatures not on every machine (" + Decimal(partial.size()) + ")\n";
        // One column for the machines, however long the names before it.
        size_t width = kKeyWidth;
        for (const FleetBaseline::Partial* p : partial)
            width = std::max(width, MachineFeatureName(p->feature, fleet.names).size() + 4);
        for (const FleetBaseline::Partial* p : partial)
            Wrapped(out, Pad("  " + MachineFeatureName(p->feature, fleet.names), width) + "lacking on ",
                    MachinesText(p->lacking), width + 11);
    }
    return out;
}

}  // namespace talvex
