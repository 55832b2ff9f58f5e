#pragma once
// The data load of the main window as a sequence of writes to a sink, so the window (widgets)
// and `talvex-report --format json` (a map) show the same values from the same code.
//
// LoadData runs its ten steps in a fixed order and writes only what each step reaches: a field
// that a step does not write keeps whatever the sink held before (the previous load's text on the
// window). A step that reads a field back (the family/model/stepping text) asks the sink, so a
// sink must return what it was last given, or its initial text.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe/platform/cpuid.h"
#include "probe/tables/displayed.h"
#include "probe/tables/flags.h"

namespace talvex {

// Everything the load writes, one field a control of the window (whose layout names the control
// that shows each field).
enum class LoadField {
    editCPUName,
    editVendorID,
    editNameString,
    editBrandID,
    editHT,
    editFamily,
    editModel,
    editStep,
    editExtFamily,
    editExtModel,
    editExtStep,
    editCPUClock,
    editFamilyEx,
    editL1I,
    editL1D,
    editL2,
    editL3,
    editAPICID,
    editProcessorType,
    editModelEx,
    Label12,     // caption only: "L1 I-Cache" or "L1 T-Cache"
    cmbFeature,  // enabled state only; its list goes through ClearFeatureList/AddFeatureEntry
    lblMMX,
    lblSSE,
    lblSSE2,
    lblSSE3,
    lblEMMX,
    lbl3DNOW,
    lblE3DNOW,
    lblHT,
    lblIA64,
    lblAA64,
};

inline constexpr int kLoadFieldCount = static_cast<int>(LoadField::lblAA64) + 1;

// The feature summary: one label of the window each, and the report's summary line. A row without
// a register stands for Hyper-Threading (two or more logical processors per package).
enum class SummaryRegister { None, StdEDX, StdECX, ExtEDX };
struct SummaryFeature {
    SummaryRegister reg;
    unsigned bit;
    LoadField label;
    const char* text;
    bool in_report;  // the report's line leaves AA-64 out
};
// clang-format off
inline constexpr SummaryFeature kSummaryFeatures[] = {
    // register                  bit  label                text               in report
    {SummaryRegister::StdEDX,    23, LoadField::lblMMX,    "MMX",             true},
    {SummaryRegister::StdEDX,    25, LoadField::lblSSE,    "SSE",             true},
    {SummaryRegister::StdEDX,    26, LoadField::lblSSE2,   "SSE2",            true},
    {SummaryRegister::StdECX,     0, LoadField::lblSSE3,   "SSE3",            true},
    {SummaryRegister::None,       0, LoadField::lblHT,     "Hyper-Threading", true},
    {SummaryRegister::StdEDX,    30, LoadField::lblIA64,   "IA-64",           true},
    {SummaryRegister::ExtEDX,    22, LoadField::lblEMMX,   "MMX+",            true},
    {SummaryRegister::ExtEDX,    31, LoadField::lbl3DNOW,  "3DNow!",          true},
    {SummaryRegister::ExtEDX,    30, LoadField::lblE3DNOW, "3DNow!+",         true},
    {SummaryRegister::ExtEDX,    29, LoadField::lblAA64,   "AA-64",           false},
};
// clang-format on

// A summary label's caption, which is also its word in the report's summary line; nullptr for a field
// that is no summary label.
constexpr const char* SummaryText(LoadField label) {
    for (const SummaryFeature& f : kSummaryFeatures)
        if (f.label == label) return f.text;
    return nullptr;
}

// Which summary features the processor has, in the order of kSummaryFeatures. Rows of the standard
// registers are unknown (nullopt) when leaf 0 fails or reports no leaf beyond itself, rows of the
// extended register when the extended range is absent.
std::array<std::optional<bool>, std::size(kSummaryFeatures)> QuerySummaryFeatures(const Probe& probe);

class LoadSink {
public:
    virtual ~LoadSink() = default;

    // Texts are raw 8-bit bytes as the processor gave them (vendor, brand, name may hold any
    // byte); a window shows them as Latin-1. Used for every edit field and Label12's caption.
    virtual void SetText(LoadField field, std::string_view bytes) = 0;
    // The text the field shows now, as last set (or its initial text).
    virtual std::string Text(LoadField field) const = 0;
    // cmbFeature, editNameString and the ten summary labels.
    virtual void SetEnabled(LoadField field, bool enabled) = 0;

    // The feature selector's list; clearing keeps the text the selector shows.
    virtual void ClearFeatureList() = 0;
    virtual void AddFeatureEntry(const FlagRegisterInfo& entry) = 0;
    // The "Feature Flag" menu entry of one register.
    virtual void SetFeatureMenuVisible(const FlagRegisterInfo& entry, bool visible) = 0;
};

// Fills every data field from fresh queries. Blocks for one clock measurement, unless the caller
// hands in a clock it measured already (`hz`). Gives the name and caches it showed, for a caller
// that shows them again (the JSON's "cache") without asking the processor twice.
DisplayedProcessor LoadData(const Probe& probe, LoadSink& sink, std::string_view decimal_separator,
                            std::optional<int64_t> hz = std::nullopt);

// The field values of a load held in a plain table, for a sink without widgets (and for tests).
class RecordingSink : public LoadSink {
public:
    // The layout's state: empty texts, Label12 "L1 I-Cache", summary labels greyed.
    RecordingSink();

    struct Field {
        std::string text;
        bool enabled = true;
        bool written = false;  // some step set its text
    };

    void SetText(LoadField field, std::string_view bytes) override;
    std::string Text(LoadField field) const override;
    void SetEnabled(LoadField field, bool enabled) override;
    void ClearFeatureList() override;
    void AddFeatureEntry(const FlagRegisterInfo& entry) override;
    void SetFeatureMenuVisible(const FlagRegisterInfo& entry, bool visible) override;

    const Field& operator[](LoadField field) const { return fields[static_cast<size_t>(field)]; }

    std::array<Field, kLoadFieldCount> fields{};
    std::vector<const FlagRegisterInfo*> feature_list;
    std::array<bool, kFlagRegisterCount> feature_menu_visible{};
};

}  // namespace talvex
