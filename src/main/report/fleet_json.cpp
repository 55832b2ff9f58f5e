// Comparisons and fleet baselines as JSON, the values typed as the details JSON types them.
#include "main/report/fleet_json.h"

#include <string_view>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

void Key(std::string& out, std::string_view indent, std::string_view key) {
    out += indent;
    AppendJsonString(out, key);
    out += ": ";
}

void Text(std::string& out, std::string_view text) { AppendJsonString(out, text); }

void OptionalText(std::string& out, const std::optional<std::string_view>& text) {
    if (text)
        Text(out, *text);
    else
        out += "null";
}

void Names(std::string& out, std::span<const std::string> names, std::span<const size_t> which) {
    out += "[";
    for (size_t k = 0; k < which.size(); ++k) {
        if (k > 0) out += ", ";
        AppendJsonName(out, names[which[k]]);
    }
    out += "]";
}

template <typename Each>
void Array(std::string& out, size_t n, Each each) {
    out += "[";
    for (size_t k = 0; k < n; ++k) {
        if (k > 0) out += ", ";
        each(k);
    }
    out += "]";
}

// The value of `field` in `d`, as the details JSON gives it.
void Value(std::string& out, const ProcessorDetails& d, ProcessorField field) {
    switch (field) {
    case ProcessorField::Brand: Text(out, d.brand.view()); return;
    case ProcessorField::Vendor: Text(out, d.vendor.view()); return;
    case ProcessorField::Signature: Text(out, Hex(d.signature, 8)); return;
    case ProcessorField::Codename:
        OptionalText(out, d.uarch ? std::optional(d.uarch->codename) : std::nullopt);
        return;
    case ProcessorField::Microarchitecture:
        OptionalText(out, d.uarch ? std::optional(d.uarch->microarchitecture) : std::nullopt);
        return;
    case ProcessorField::CoreType: {
        const char* core = CoreTypeName(d.core_type);
        OptionalText(out, core != nullptr ? std::optional<std::string_view>(core) : std::nullopt);
        return;
    }
    case ProcessorField::ThreadsPerCore: out += Decimal(d.topology.threads_per_core); return;
    case ProcessorField::LogicalPerPackage: out += Decimal(d.topology.logical_per_package); return;
    case ProcessorField::AddressBits:
        out += d.address_bits ? "{\"physical\": " + Decimal(d.address_bits->physical)
                                    + ", \"virtual\": " + Decimal(d.address_bits->linear) + "}"
                              : std::string("null");
        return;
    case ProcessorField::Hypervisor:
        OptionalText(out, d.hypervisor ? std::optional(d.hypervisor->view()) : std::nullopt);
        return;
    case ProcessorField::X86_64Level: out += Decimal(d.x86_64_level); return;
    case ProcessorField::Frequencies:
        out += d.frequency_mhz ? "{\"base\": " + Decimal(d.frequency_mhz->base)
                                     + ", \"max\": " + Decimal(d.frequency_mhz->max)
                                     + ", \"bus\": " + Decimal(d.frequency_mhz->bus) + "}"
                               : std::string("null");
        return;
    }
}

void Cache(std::string& out, const CacheDetails* c) {
    if (c == nullptr) {
        out += "null";
        return;
    }
    out += c->type == CacheType::Trace ? "{\"kuops\": " : "{\"sizeKB\": ";
    out += Decimal(c->size) + ", \"ways\": " + Decimal(c->ways) + ", \"lineBytes\": " + Decimal(c->line_bytes)
           + ", \"sharedBy\": " + (c->shared_by ? Decimal(*c->shared_by) : std::string("null")) + "}";
}

void Processor(std::string& out, const ComparedProcessor& p) {
    out += "{\"input\": ";
    AppendJsonName(out, p.input);
    out += ", \"cpu\": " + Decimal(p.details->cpu.counted()) + "}";
}

}  // namespace

std::string CompareJson(const ComparedProcessor& a, const ComparedProcessor& b,
                        const ProcessorComparison& c) {
    std::string out = "{\n";
    Key(out, "  ", "a");
    Processor(out, a);
    out += ",\n";
    Key(out, "  ", "b");
    Processor(out, b);
    out += ",\n";
    Key(out, "  ", "same");
    out += c.Same() ? "true,\n" : "false,\n";
    Key(out, "  ", "differences");
    out += "{";
    for (size_t k = 0; k < c.fields.size(); ++k) {
        out += k == 0 ? "\n" : ",\n";
        Key(out, "    ", NameOf(c.fields[k]).json);
        out += "{\"a\": ";
        Value(out, *a.details, c.fields[k]);
        out += ", \"b\": ";
        Value(out, *b.details, c.fields[k]);
        out += "}";
    }
    out += c.fields.empty() ? "},\n" : "\n  },\n";
    Key(out, "  ", "caches");
    out += "[";
    for (size_t k = 0; k < c.caches.size(); ++k) {
        const CacheDifference& d = c.caches[k];
        const CacheDetails& either = d.a != nullptr ? *d.a : *d.b;
        out += k == 0 ? "\n    " : ",\n    ";
        out += "{\"level\": " + Decimal(either.level) + ", \"type\": \"" + CacheTypeName(either.type)
               + "\", \"a\": ";
        Cache(out, d.a);
        out += ", \"b\": ";
        Cache(out, d.b);
        out += "}";
    }
    out += c.caches.empty() ? "],\n" : "\n  ],\n";
    const auto features = [&out](std::string_view key, const std::vector<size_t>& which,
                                 const FeatureSet& names, bool last) {
        Key(out, "  ", key);
        const std::vector<std::string> words = FeatureNames(which, names);
        Array(out, words.size(), [&](size_t k) { Text(out, words[k]); });
        out += last ? "\n" : ",\n";
    };
    features("onlyInA", c.only_a, a.details->features, false);
    features("onlyInB", c.only_b, b.details->features, true);
    out += "}\n";
    return out;
}

std::string BaselineJson(const FleetBaseline& fleet, std::span<const std::string> names,
                         const GccFlags& gcc) {
    std::string out = "{\n";
    Key(out, "  ", "machines");
    Array(out, names.size(), [&](size_t k) { AppendJsonName(out, names[k]); });
    out += ",\n";
    Key(out, "  ", "x86_64Level");
    out += Decimal(fleet.level) + ",\n";
    Key(out, "  ", "heldBack");
    Array(out, fleet.held_back.size(), [&](size_t k) {
        const FleetBaseline::HeldBack& h = fleet.held_back[k];
        out += "{\"machine\": ";
        AppendJsonName(out, names[h.machine]);
        out += ", \"lacks\": ";
        Array(out, h.lacks.size(), [&](size_t i) { Text(out, kFeatureNames[h.lacks[i]].name.view()); });
        out += "}";
    });
    out += ",\n";
    Key(out, "  ", "microarchitectures");
    Array(out, fleet.uarchs.size(), [&](size_t k) {
        const FleetBaseline::UarchGroup& g = fleet.uarchs[k];
        out += "{\"microarchitecture\": ";
        OptionalText(out, g.uarch ? std::optional(g.uarch->microarchitecture) : std::nullopt);
        out += ", \"gccMarch\": ";
        OptionalText(
            out, g.uarch && !g.uarch->gcc_march.empty() ? std::optional(g.uarch->gcc_march) : std::nullopt);
        out += ", \"machines\": ";
        Names(out, names, g.machines);
        out += "}";
    });
    out += ",\n";
    Key(out, "  ", "gcc");
    out += "{\"flags\": ";
    Array(out, gcc.flags.size(), [&](size_t k) { Text(out, gcc.flags[k]); });
    out += std::string(", \"checked\": ") + (gcc.checked ? "true" : "false") + ", \"notes\": ";
    Array(out, gcc.notes.size(), [&](size_t k) { AppendJsonName(out, GccNoteLine(gcc.notes[k])); });
    out += "},\n";
    Key(out, "  ", "features");
    const std::vector<std::string> common = FeatureNames(CommonFeatures(fleet), fleet.names);
    Array(out, common.size(), [&](size_t k) { Text(out, common[k]); });
    out += ",\n";
    Key(out, "  ", "partial");
    out += "[";
    const std::vector<const FleetBaseline::Partial*> partial = PartialFeatures(fleet);
    for (size_t k = 0; k < partial.size(); ++k) {
        out += k == 0 ? "\n    " : ",\n    ";
        out += "{\"feature\": ";
        Text(out, MachineFeatureName(partial[k]->feature, fleet.names));
        out += ", \"lacking\": ";
        Names(out, names, partial[k]->lacking);
        out += "}";
    }
    out += partial.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

}  // namespace talvex
