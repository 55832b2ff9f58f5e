// `--format json`: what the window shows, from the same data load, as one JSON object.
// Keys: every data-load field by its control name; "enabled" for the controls the load greys;
// "featureEntries" and "featureMenus"; "flags" bit by bit; "clockHz"; "cache" in KB (KuOps).
#include "main/cli/cli.h"
#include "main/report/json_writer.h"
#include "main/report/load_data.h"
#include "main/window/layout.h"
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

}  // namespace

std::string BuildJson(const Probe& probe, std::string_view decimal_separator, int64_t hz) {
    using enum JsonWriter::Layout;
    RecordingSink sink;
    const TCacheInfo cache = LoadData(probe, sink, decimal_separator, hz).cache;

    std::string out;
    JsonWriter json(out);
    json.BeginObject();
    for (int i = 0; i < kLoadFieldCount; ++i) {
        const auto field = static_cast<LoadField>(i);
        if (field == LoadField::cmbFeature || (IsEnableable(field) && field != LoadField::editNameString))
            continue;  // no text of their own
        json.String(layout::ControlName(field), sink[field].text);
    }

    json.BeginObject("enabled");
    for (const LoadField field : {LoadField::cmbFeature, LoadField::editNameString})
        json.Bool(layout::ControlName(field), sink[field].enabled);
    for (int i = 0; i < kLoadFieldCount; ++i) {
        const auto field = static_cast<LoadField>(i);
        if (SummaryText(field) != nullptr) json.Bool(layout::ControlName(field), sink[field].enabled);
    }
    json.EndObject();

    json.BeginArray("featureEntries", Inline);
    for (const FlagRegisterInfo* entry : sink.feature_list) json.String(entry->entry_text);
    json.EndArray();

    json.BeginObject("featureMenus");
    for (const FlagRegisterInfo& info : kFlagRegisters)
        json.Bool(layout::MenuName(info.id), sink.feature_menu_visible[static_cast<size_t>(info.id)]);
    json.EndObject();

    json.BeginArray("flags");
    for (const FlagRegisterInfo& info : kFlagRegisters) {
        const uint32_t value = ReadFlagRegister(probe, info.id);
        json.BeginObject(Inline)
            .String("register", info.entry_text)
            .String("leaf", Hex(info.leaf, 8))
            .String("reg", info.reads_ecx ? "ECX" : "EDX")
            .String("hex", Hex(value, 8))
            .BeginArray("bits");
        for (unsigned bit = 0; bit < 32; ++bit) {
            const TFlagName& name = (*info.names)[bit];
            json.BeginObject(Inline)
                .Number("bit", bit)
                .String("long", name.long_name)
                .String("short", name.short_name)
                .Number("value", BitSet(value, bit) ? 1 : 0)
                .EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray();

    json.Number("clockHz", hz);
    json.BeginObject("cache", Inline)
        .Number("L1D", cache.L1D)
        .Number("L1I", cache.L1I)
        .Number("TraceCache", cache.TraceCache)
        .Number("L2", cache.L2)
        .Number("L3", cache.L3)
        .EndObject();
    json.EndObject();
    out += '\n';
    return out;
}

}  // namespace talvex::cli
