// The processor details as JSON.
#include "main/report/details_json.h"

#include <string_view>
#include <vector>

#include "main/report/details_cells.h"
#include "main/report/json_writer.h"
#include "probe/details/instruction_sets.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

using enum JsonWriter::Layout;

void StringArray(JsonWriter& json, std::string_view key, const auto& strings) {
    json.BeginArray(key, Inline);
    for (const auto& s : strings) json.String(s);
    json.EndArray();
}

// Packages, cores and threads, or null.
void Counts(JsonWriter& json, std::string_view key, const std::optional<ProcessorCounts>& c) {
    if (!c) {
        json.Null(key);
        return;
    }
    json.BeginObject(key, Inline)
        .Number("packages", c->packages)
        .Number("cores", c->cores)
        .Number("threads", c->threads);
    if (c->performance_cores + c->efficiency_cores != 0)
        json.Number("performanceCores", c->performance_cores).Number("efficiencyCores", c->efficiency_cores);
    else
        json.Null("performanceCores").Null("efficiencyCores");
    json.EndObject();
}

void JsonObject(JsonWriter& json, std::span<const ProcessorDetails> all, const CacheSharing& sharing,
                const SetFacts& set, size_t p) {
    const ProcessorDetails& d = all[p];
    json.BeginObject()
        .Number("cpu", d.cpu.counted())
        .Number("apicId", d.apic_id)
        .String("vendor", d.vendor.view())
        .String("brand", d.brand.view())
        .Number("family", d.family)
        .Number("model", d.model)
        .Number("stepping", d.stepping)
        .String("signature", Hex(d.signature, 8));
    if (d.uarch)
        json.String("microarchitecture", d.uarch->microarchitecture).String("codename", d.uarch->codename);
    else
        json.Null("microarchitecture").Null("codename");
    if (const char* core = CoreTypeName(d.core_type))
        json.String("coreType", core);
    else
        json.Null("coreType");
    if (d.hypervisor)
        json.String("hypervisor", d.hypervisor->view());
    else
        json.Null("hypervisor");
    if (const char* name = d.hypervisor ? HypervisorName(d.hypervisor->view()) : nullptr)
        json.String("hypervisorName", name);
    else
        json.Null("hypervisorName");
    json.Number("x86_64Level", d.x86_64_level);
    if (d.address_bits)
        json.BeginObject("addressBits", Inline)
            .Number("physical", d.address_bits->physical)
            .Number("virtual", d.address_bits->linear)
            .EndObject();
    else
        json.Null("addressBits");
    if (d.frequency_mhz)
        json.BeginObject("frequencyMHz", Inline)
            .Number("base", d.frequency_mhz->base)
            .Number("max", d.frequency_mhz->max)
            .Number("bus", d.frequency_mhz->bus)
            .EndObject();
    else
        json.Null("frequencyMHz");
    if (const std::optional<CoreClock>& clock = d.measured_clock) {
        if (clock->mhz)
            json.Number("measuredClockMHz", *clock->mhz);
        else
            json.Null("measuredClockMHz");
    }
    json.BeginArray("caches");
    for (size_t i = 0; i < d.caches.size(); ++i) {
        const CacheDetails& c = d.caches[i];
        json.BeginObject(Inline)
            .Number("level", c.level)
            .String("type", CacheTypeName(c.type))
            .Number(c.type == CacheType::Trace ? "kuops" : "sizeKB", c.size);
        if (GeometryKnown(c))
            json.Number("ways", c.ways).Number("lineBytes", c.line_bytes);
        else
            json.Null("ways").Null("lineBytes");
        if (c.shared_by)
            json.Number("sharedBy", *c.shared_by);
        else
            json.Null("sharedBy");
        const std::span<const ProcessorNumber> with = KnownSharing(all, sharing, p, i);
        if (with.empty()) {
            json.Null("sharedWith");
        } else {
            json.BeginArray("sharedWith", Inline);
            for (ProcessorNumber n : with) json.Number(n.counted());
            json.EndArray();
        }
        json.String("source", CacheSourceName(c.source)).EndObject();
    }
    json.EndArray();
    json.BeginObject("topology", Inline)
        .Number("threadsPerCore", d.topology.threads_per_core)
        .Number("logicalPerPackage", d.topology.logical_per_package)
        .Number("coresPerPackage", d.topology.cores_per_package)
        .EndObject();
    json.BeginArray("features", Inline);
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (d.features[i] && ListsItsName(i)) json.String(kFeatureNames[i].name);
    json.EndArray();

    StringArray(json, "instructions", InstructionSets(d.features));
    if (d.uarch && !d.uarch->process.empty())
        json.String("process", d.uarch->process);
    else
        json.Null("process");
    if (d.microcode)
        json.String("microcode", MicrocodeText(*d.microcode));
    else
        json.Null("microcode");
    json.Bool("invariantTsc", d.invariant_tsc);
    Counts(json, "counts", set.counts);
    Counts(json, "examinedCounts", set.examined);
    if (set.counts) {
        json.BeginArray("cacheInstances", Inline);
        for (const CacheInstances& k : set.caches)
            json.BeginObject(Inline)
                .Number("level", k.level)
                .String("type", CacheTypeName(k.type))
                .Number(k.type == CacheType::Trace ? "kuops" : "sizeKB", k.size)
                .Number("count", k.count)
                .EndObject();
        json.EndArray();
    } else {
        json.Null("cacheInstances");
    }
    if (d.vulnerabilities) {
        json.BeginObject("vulnerabilities", Inline);
        for (const Vulnerability& v : *d.vulnerabilities) json.String(v.name, v.status);
        json.EndObject();
    } else {
        json.Null("vulnerabilities");
    }
    std::vector<std::string_view> bits;
    for (const MitigationBit* b : MitigationBits(d.features)) bits.push_back(b->feature);
    StringArray(json, "mitigationFeatures", bits);
    StringArray(json, "dumpLacks", DumpGapNames(d.dump_lacks));
    StringArray(json, "uncertain", UncertainKeys(d.dump_lacks));
    json.EndObject();
}

// The records `shown` (indices into `all`) of the set `all`.
std::string Json(std::span<const ProcessorDetails> all, std::span<const size_t> shown) {
    std::string out;
    out.reserve(32 + shown.size() * 3072);  // about 2.5 KB a processor
    JsonWriter json(out);
    json.BeginObject(Inline).BeginArray("processors");
    const CacheSharing sharing(all);
    const SetFacts set(all, sharing);
    for (size_t p : shown) JsonObject(json, all, sharing, set, p);
    json.EndArray().EndObject();
    out += '\n';
    return out;
}

}  // namespace

std::string DetailsJson(std::span<const ProcessorDetails> all) {
    std::vector<size_t> shown(all.size());
    for (size_t p = 0; p < all.size(); ++p) shown[p] = p;
    return Json(all, shown);
}

std::string DetailsJson(std::span<const ProcessorDetails> set, size_t shown) {
    if (shown >= set.size()) return Json(set, {});
    const size_t one[] = {shown};
    return Json(set, one);
}

}  // namespace talvex
