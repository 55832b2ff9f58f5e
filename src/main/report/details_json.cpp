// The processor details as JSON.
#include "main/report/details_json.h"

#include <string_view>

#include "main/report/details_cells.h"
#include "main/report/output_text.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

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
        const std::span<const ProcessorNumber> with = KnownSharing(all, sharing, p, i);
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
