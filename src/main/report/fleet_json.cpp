// Comparisons and fleet baselines as JSON, the values typed as the details JSON types them.
#include "main/report/fleet_json.h"

#include <string_view>

#include "main/report/details_cells.h"
#include "main/report/json_writer.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

using enum JsonWriter::Layout;

void OptionalString(JsonWriter& json, std::optional<std::string_view> text) {
    if (text)
        json.String(*text);
    else
        json.Null();
}

void Strings(JsonWriter& json, std::string_view key, const std::vector<std::string>& words) {
    json.BeginArray(key, Inline);
    for (const std::string& w : words) json.String(w);
    json.EndArray();
}

void Names(JsonWriter& json, std::string_view key, std::span<const std::string> names,
           std::span<const size_t> which) {
    json.BeginArray(key, Inline);
    for (size_t m : which) json.Name(names[m]);
    json.EndArray();
}

// The value of `field` in `d`, as the details JSON gives it.
void Value(JsonWriter& json, const ProcessorDetails& d, ProcessorField field) {
    switch (field) {
    case ProcessorField::Brand: json.String(d.brand.view()); return;
    case ProcessorField::Vendor: json.String(d.vendor.view()); return;
    case ProcessorField::Signature: json.String(Hex(d.signature, 8)); return;
    case ProcessorField::Codename:
        OptionalString(json, d.uarch ? std::optional(d.uarch->codename) : std::nullopt);
        return;
    case ProcessorField::Microarchitecture:
        OptionalString(json, d.uarch ? std::optional(d.uarch->microarchitecture) : std::nullopt);
        return;
    case ProcessorField::CoreType: {
        const char* core = CoreTypeName(d.core_type);
        OptionalString(json, core != nullptr ? std::optional<std::string_view>(core) : std::nullopt);
        return;
    }
    case ProcessorField::ThreadsPerCore: json.Number(d.topology.threads_per_core); return;
    case ProcessorField::LogicalPerPackage: json.Number(d.topology.logical_per_package); return;
    case ProcessorField::AddressBits:
        if (d.address_bits)
            json.BeginObject(Inline)
                .Number("physical", d.address_bits->physical)
                .Number("virtual", d.address_bits->linear)
                .EndObject();
        else
            json.Null();
        return;
    case ProcessorField::Hypervisor:
        OptionalString(json, d.hypervisor ? std::optional(d.hypervisor->view()) : std::nullopt);
        return;
    case ProcessorField::X86_64Level: json.Number(d.x86_64_level); return;
    case ProcessorField::Frequencies:
        if (d.frequency_mhz)
            json.BeginObject(Inline)
                .Number("base", d.frequency_mhz->base)
                .Number("max", d.frequency_mhz->max)
                .Number("bus", d.frequency_mhz->bus)
                .EndObject();
        else
            json.Null();
        return;
    }
}

void Cache(JsonWriter& json, std::string_view key, const CacheDetails* c) {
    if (c == nullptr) {
        json.Null(key);
        return;
    }
    json.BeginObject(key, Inline).Number(c->type == CacheType::Trace ? "kuops" : "sizeKB", c->size);
    if (GeometryKnown(*c))
        json.Number("ways", c->ways).Number("lineBytes", c->line_bytes);
    else
        json.Null("ways").Null("lineBytes");
    if (c->shared_by)
        json.Number("sharedBy", *c->shared_by);
    else
        json.Null("sharedBy");
    json.EndObject();
}

void Processor(JsonWriter& json, std::string_view key, const ComparedProcessor& p) {
    json.BeginObject(key, Inline).Name("input", p.input).Number("cpu", p.details->cpu.counted()).EndObject();
}

}  // namespace

std::string CompareJson(const ComparedProcessor& a, const ComparedProcessor& b,
                        const ProcessorComparison& c) {
    std::string out;
    JsonWriter json(out);
    json.BeginObject();
    Processor(json, "a", a);
    Processor(json, "b", b);
    json.Bool("same", c.Same());
    json.BeginObject("differences");
    for (const ProcessorField f : c.fields) {
        json.BeginObject(NameOf(f).json.view(), Inline).Key("a");
        Value(json, *a.details, f);
        json.Key("b");
        Value(json, *b.details, f);
        json.EndObject();
    }
    json.EndObject();
    json.BeginArray("caches");
    for (const CacheDifference& d : c.caches) {
        const CacheDetails& either = d.a != nullptr ? *d.a : *d.b;
        json.BeginObject(Inline).Number("level", either.level).String("type", CacheTypeName(either.type));
        Cache(json, "a", d.a);
        Cache(json, "b", d.b);
        json.EndObject();
    }
    json.EndArray();
    Strings(json, "onlyInA", FeatureNames(c.only_a, a.details->features));
    Strings(json, "onlyInB", FeatureNames(c.only_b, b.details->features));
    json.EndObject();
    out += '\n';
    return out;
}

std::string BaselineJson(const FleetBaseline& fleet, std::span<const std::string> names,
                         const GccFlags& gcc) {
    std::string out;
    JsonWriter json(out);
    json.BeginObject();
    json.BeginArray("machines", Inline);
    for (const std::string& n : names) json.Name(n);
    json.EndArray();
    json.Number("x86_64Level", fleet.level);
    json.BeginArray("heldBack");
    for (const FleetBaseline::HeldBack& h : fleet.held_back) {
        json.BeginObject(Inline).Name("machine", names[h.machine]).BeginArray("lacks", Inline);
        for (const uint16_t row : h.lacks) json.String(kFeatureNames[row].name.view());
        json.EndArray().EndObject();
    }
    json.EndArray();
    json.BeginArray("microarchitectures");
    for (const FleetBaseline::UarchGroup& g : fleet.uarchs) {
        json.BeginObject(Inline).Key("microarchitecture");
        OptionalString(json, g.uarch ? std::optional(g.uarch->microarchitecture) : std::nullopt);
        json.Key("gccMarch");
        OptionalString(
            json, g.uarch && !g.uarch->gcc_march.empty() ? std::optional(g.uarch->gcc_march) : std::nullopt);
        Names(json, "machines", names, g.machines);
        json.EndObject();
    }
    json.EndArray();
    json.BeginObject("gcc", Inline);
    Strings(json, "flags", gcc.flags);
    json.Bool("checked", gcc.checked).BeginArray("notes", Inline);
    for (const GccNoteText& n : gcc.notes) json.Name(GccNoteLine(n));
    json.EndArray().EndObject();
    Strings(json, "features", FeatureNames(CommonFeatures(fleet), fleet.names));
    json.BeginArray("partial");
    for (const FleetBaseline::Partial* p : PartialFeatures(fleet)) {
        json.BeginObject(Inline).String("feature", MachineFeatureName(p->feature, fleet.names));
        Names(json, "lacking", names, p->lacking);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    out += '\n';
    return out;
}

}  // namespace talvex
