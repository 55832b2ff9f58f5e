// `--format json`: what the window shows, from the same data load, as one JSON object.
// Keys: every data-load field by its control name; "enabled" for the controls the load greys;
// "featureEntries" and "featureMenus"; "flags" bit by bit; "clockHz"; "cache" in KB (KuOps).
#include "main/cli/cli.h"

#include <utility>

#include "main/report/load_data.h"
#include "probe/tables/displayed.h"
#include "probe/tables/flags.h"
#include "probe/text/text.h"

namespace talvex::cli {

namespace {

// Controls whose enabled state the load sets: the feature selector, the brand text and the summary
// labels, in the order of the load's fields.
constexpr bool IsEnableable(LoadField f) {
    return f == LoadField::cmbFeature || f == LoadField::editNameString || SummaryText(f) != nullptr;
}

void Key(std::string& out, std::string_view indent, std::string_view key) {
    out += indent;
    AppendJsonString(out, key);
    out += ": ";
}

}  // namespace

std::string BuildJson(const Probe& probe, std::string_view decimal_separator, int64_t hz) {
    RecordingSink sink;
    const TCacheInfo cache = LoadData(probe, sink, decimal_separator, hz).cache;

    std::string out = "{\n";
    for (int i = 0; i < kLoadFieldCount; ++i) {
        const auto field = static_cast<LoadField>(i);
        if (field == LoadField::cmbFeature || (IsEnableable(field) && field != LoadField::editNameString))
            continue;  // no text of their own
        Key(out, "  ", LoadFieldName(field));
        AppendJsonString(out, sink[field].text);
        out += ",\n";
    }

    Key(out, "  ", "enabled");
    out += "{\n";
    const char* separator = "";
    for (const LoadField field : {LoadField::cmbFeature, LoadField::editNameString}) {
        out += std::exchange(separator, ",\n");
        Key(out, "    ", LoadFieldName(field));
        out += sink[field].enabled ? "true" : "false";
    }
    for (int i = 0; i < kLoadFieldCount; ++i) {
        const auto field = static_cast<LoadField>(i);
        if (SummaryText(field) == nullptr) continue;
        out += ",\n";
        Key(out, "    ", LoadFieldName(field));
        out += sink[field].enabled ? "true" : "false";
    }
    out += "\n";
    out += "  },\n";

    Key(out, "  ", "featureEntries");
    out += "[";
    for (size_t i = 0; i < sink.feature_list.size(); ++i) {
        if (i > 0) out += ", ";
        AppendJsonString(out, sink.feature_list[i]->entry_text);
    }
    out += "],\n";

    Key(out, "  ", "featureMenus");
    out += "{\n";
    for (size_t r = 0; r < kFlagRegisters.size(); ++r) {
        Key(out, "    ", FeatureMenuName(kFlagRegisters[r].id));
        out += sink.feature_menu_visible[static_cast<size_t>(kFlagRegisters[r].id)] ? "true" : "false";
        out += r + 1 < kFlagRegisters.size() ? ",\n" : "\n";
    }
    out += "  },\n";

    Key(out, "  ", "flags");
    out += "[\n";
    for (size_t r = 0; r < kFlagRegisters.size(); ++r) {
        const FlagRegisterInfo& info = kFlagRegisters[r];
        const uint32_t value = ReadFlagRegister(probe, info.id);
        out += "    {\"register\": ";
        AppendJsonString(out, info.entry_text);
        out += ", \"leaf\": \"" + Hex(info.leaf, 8) + "\", \"reg\": \"" + (info.reads_ecx ? "ECX" : "EDX")
               + "\", \"hex\": \"" + Hex(value, 8) + "\", \"bits\": [\n";
        for (unsigned bit = 0; bit < 32; ++bit) {
            const TFlagName& name = (*info.names)[bit];
            out += "      {\"bit\": " + std::to_string(bit) + ", \"long\": ";
            AppendJsonString(out, name.long_name);
            out += ", \"short\": ";
            AppendJsonString(out, name.short_name);
            out += ", \"value\": ";
            out += BitSet(value, bit) ? "1" : "0";
            out += bit < 31 ? "},\n" : "}\n";
        }
        out += r + 1 < kFlagRegisters.size() ? "    ]},\n" : "    ]}\n";
    }
    out += "  ],\n";

    Key(out, "  ", "clockHz");
    out += std::to_string(hz) + ",\n";

    Key(out, "  ", "cache");
    out += "{\"L1D\": " + std::to_string(cache.L1D) + ", \"L1I\": " + std::to_string(cache.L1I)
           + ", \"TraceCache\": " + std::to_string(cache.TraceCache) + ", \"L2\": " + std::to_string(cache.L2)
           + ", \"L3\": " + std::to_string(cache.L3) + "}\n";
    out += "}\n";
    return out;
}

}  // namespace talvex::cli
