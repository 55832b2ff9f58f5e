#include "main/report/load_data.h"

#include "probe/clock/clock.h"
#include "probe/tables/displayed.h"
#include "probe/text/text.h"

namespace talvex {

std::array<std::optional<bool>, std::size(kSummaryFeatures)> QuerySummaryFeatures(const Probe& probe) {
    std::array<std::optional<bool>, std::size(kSummaryFeatures)> has{};
    TCPUIDRegs std1, ext1;
    const bool standard = ReadCPUID(probe, 0, std1) == kCPUIDOk && std1.EAX != 0;
    if (standard) ReadCPUID(probe, 1, std1);
    const bool extended = RangePresent(probe, kExtendedBase);
    if (extended) ReadCPUID(probe, 0x80000001, ext1);
    for (size_t i = 0; i < std::size(kSummaryFeatures); ++i) {
        const SummaryFeature& f = kSummaryFeatures[i];
        switch (f.reg) {
        case SummaryRegister::None:
            if (standard) has[i] = GetLogicalProcessorCount(probe) >= 2;
            break;
        case SummaryRegister::StdEDX:
            if (standard) has[i] = BitSet(std1.EDX, f.bit);
            break;
        case SummaryRegister::StdECX:
            if (standard) has[i] = BitSet(std1.ECX, f.bit);
            break;
        case SummaryRegister::ExtEDX:
            if (extended) has[i] = BitSet(ext1.EDX, f.bit);
            break;
        }
    }
    return has;
}

namespace {

const char* ProcessorTypeText(uint32_t type) {
    switch (type) {
    case 0: return "Original OEM Processor";
    case 1: return "OverDrive Processor";
    case 2: return "Dual Processor";
    default: return "Reserved";
    }
}

std::string SizeText(uint32_t size, const char* unit) { return Decimal(size) + unit; }

// The feature selector's list and the "Feature Flag" entries, by the range presence rule.
void LoadFeatureList(const Probe& probe, LoadSink& sink) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0, r) != kCPUIDOk || r.EAX == 0) {
        sink.SetEnabled(LoadField::cmbFeature, false);
        return;
    }
    sink.ClearFeatureList();
    for (const FlagRegisterInfo& entry : kFlagRegisters) sink.SetFeatureMenuVisible(entry, false);
    sink.SetEnabled(LoadField::cmbFeature, true);
    for (const FlagRegisterInfo& entry : kFlagRegisters) {
        // The two standard registers are listed whenever leaf 0 reports a leaf beyond itself.
        if (entry.base_leaf != kStandardBase && !RangePresent(probe, entry.base_leaf)) continue;
        sink.AddFeatureEntry(entry);
        sink.SetFeatureMenuVisible(entry, true);
    }
}

// The vendor text and the fields of leaf 1.
void LoadStandardFields(const Probe& probe, LoadSink& sink) {
    using enum LoadField;
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0, r) != kCPUIDOk) return;
    sink.SetText(editVendorID, VendorText(r));
    if (r.EAX == 0) return;
    ReadCPUID(probe, 1, r);
    const uint32_t s = r.EAX;
    const uint32_t b = r.EBX;
    sink.SetText(editFamilyEx, SigFamily(s) == 15 ? Hex(SigExtFamily(s), 2) : std::string());
    // Shown when the model field is 15, and wherever the extended model counts: a model field below
    // 15 with an extended model is not the processor's model.
    const bool model_ex = SigModel(s) == 15 || SigExtModel(s) != 0;
    sink.SetText(editModelEx, model_ex ? Hex(SigExtModel(s), 1) : std::string());
    sink.SetText(editFamily, Hex(SigFamily(s), 1));
    sink.SetText(editModel, Hex(SigModel(s), 1));
    sink.SetText(editStep, Hex(SigStepping(s), 1));
    sink.SetText(editAPICID, Hex(InitialApicId(b), 2));
    const uint32_t logical = GetLogicalProcessorCount(probe);
    sink.SetText(editHT, logical == 0 ? std::string() : Decimal(logical));
    sink.SetText(editBrandID, BrandIndex(b) == 0 ? std::string() : Hex(BrandIndex(b), 2));
    sink.SetText(editProcessorType, ProcessorTypeText(SigType(s)));
}

// The "Generation" fields and the brand text; a failing leaf 0x80000000 skips both.
void LoadExtendedFields(const Probe& probe, LoadSink& sink) {
    using enum LoadField;
    TCPUIDRegs r;
    if (ReadCPUID(probe, kExtendedBase, r) != kCPUIDOk) return;
    if (r.EAX > kExtendedBase) {
        ReadCPUID(probe, 0x80000001, r);
        if (r.EAX == 0) {
            sink.SetText(editExtFamily, "");
            sink.SetText(editExtModel, "");
            sink.SetText(editExtStep, "");
        } else {
            sink.SetText(editExtFamily, Hex(SigFamily(r.EAX), 1));
            sink.SetText(editExtModel, Hex(SigModel(r.EAX), 1));
            sink.SetText(editExtStep, Hex(SigStepping(r.EAX), 1));
        }
    }

    if (const std::optional<std::string> brand = QueryBrandText(probe)) {
        sink.SetEnabled(editNameString, true);
        sink.SetText(editNameString, *brand);  // nothing trimmed: leading spaces are the processor's own
    } else {
        // Built from the digits as the fields show them now, kept or fresh.
        sink.SetText(editNameString, "x86 Family " + sink.Text(editFamily) + " Model " + sink.Text(editModel)
                                         + " Stepping " + sink.Text(editStep));
        sink.SetEnabled(editNameString, false);
    }
}

// The cache fields, and the L1 caption that says whether the first cache is a trace cache.
void LoadCaches(const TCacheInfo& cache, LoadSink& sink) {
    using enum LoadField;
    sink.SetText(editL1D, SizeText(cache.L1D, "KB"));
    if (cache.TraceCache > 0) {
        sink.SetText(Label12, "L1 T-Cache");
        sink.SetText(editL1I, SizeText(cache.TraceCache, "KuOps"));
    } else {
        sink.SetText(Label12, "L1 I-Cache");
        sink.SetText(editL1I, SizeText(cache.L1I, "KB"));
    }
    sink.SetText(editL2, cache.L2 == 0 ? std::string() : SizeText(cache.L2, "KB"));
    sink.SetText(editL3, cache.L3 == 0 ? std::string() : SizeText(cache.L3, "KB"));
}

// The summary labels: greyed for a feature the processor lacks, untouched where it cannot say.
void LoadSummaryLabels(const Probe& probe, LoadSink& sink) {
    const auto has = QuerySummaryFeatures(probe);
    for (size_t i = 0; i < has.size(); ++i)
        if (has[i]) sink.SetEnabled(kSummaryFeatures[i].label, *has[i]);
}

}  // namespace

DisplayedProcessor LoadData(const Probe& probe, LoadSink& sink, std::string_view decimal_separator,
                            std::optional<int64_t> hz) {
    LoadFeatureList(probe, sink);
    DisplayedFields fields(probe);
    DisplayedProcessor shown;
    shown.name = fields.Name();
    sink.SetText(LoadField::editCPUName, shown.name);
    sink.SetText(LoadField::editCPUClock, FormatClock(hz ? *hz : MeasureClock(probe), decimal_separator));
    sink.SetText(LoadField::editNameString, "");
    LoadStandardFields(probe, sink);
    LoadExtendedFields(probe, sink);
    shown.cache = fields.Cache();
    LoadCaches(shown.cache, sink);
    LoadSummaryLabels(probe, sink);
    return shown;
}

RecordingSink::RecordingSink() {
    fields[static_cast<size_t>(LoadField::Label12)].text = "L1 I-Cache";
    for (const SummaryFeature& f : kSummaryFeatures) fields[static_cast<size_t>(f.label)].enabled = false;
}

void RecordingSink::SetText(LoadField field, std::string_view bytes) {
    Field& f = fields[static_cast<size_t>(field)];
    f.text.assign(bytes);
    f.written = true;
}

std::string RecordingSink::Text(LoadField field) const { return fields[static_cast<size_t>(field)].text; }

void RecordingSink::SetEnabled(LoadField field, bool enabled) {
    fields[static_cast<size_t>(field)].enabled = enabled;
}

void RecordingSink::ClearFeatureList() { feature_list.clear(); }

void RecordingSink::AddFeatureEntry(const FlagRegisterInfo& entry) { feature_list.push_back(&entry); }

void RecordingSink::SetFeatureMenuVisible(const FlagRegisterInfo& entry, bool visible) {
    feature_menu_visible[static_cast<size_t>(entry.id)] = visible;
}

}  // namespace talvex
