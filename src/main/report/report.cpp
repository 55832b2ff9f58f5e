#include "main/report/report.h"

#include <array>

#include "main/report/load_data.h"
#include "probe/clock/clock.h"
#include "probe/dump/dump_layouts.h"
#include "probe/tables/displayed.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& out, std::string_view label, std::string_view text) {
    out += label;
    out += text;
    out += kLineEnd;
}

// Processor text, byte for byte unless `write_text` is given.
void AppendTextLine(std::string& out, std::string_view label, std::string_view text,
                    ProcessorTextWriter write_text) {
    if (write_text == nullptr) return AppendLine(out, label, text);
    out += label;
    write_text(out, text);
    out += kLineEnd;
}

void AppendHexLine(std::string& out, std::string_view label, uint32_t value, int width) {
    out += label;
    AppendHex(out, value, width);
    out += kLineEnd;
}

// Family, model and stepping of a signature word, one hex digit each, under their labels.
void AppendSignatureLines(std::string& out, const std::array<std::string_view, 3>& labels, uint32_t eax) {
    AppendHexLine(out, labels[0], SigFamily(eax), 1);
    AppendHexLine(out, labels[1], SigModel(eax), 1);
    AppendHexLine(out, labels[2], SigStepping(eax), 1);
}

// Leaves base..top, both included, as many as are read of a range.
void DumpRange(const Probe& probe, uint32_t base, uint32_t top, std::string& out) {
    for (uint32_t i = 0; i < LeavesRead(base, top); ++i) FormatLeafDump(probe, base + i, out);
}

// The features the processor has, each after ", " but the first row's.
void AppendFeatureSummary(const Probe& probe, std::string& out) {
    const auto has = QuerySummaryFeatures(probe);
    for (size_t i = 0; i < has.size(); ++i) {
        if (!kSummaryFeatures[i].in_report || !has[i].value_or(false)) continue;
        if (i > 0) out += ", ";
        out += kSummaryFeatures[i].text;
    }
    out += kLineEnd;
}

// Line 1: the name. The clock line follows it.
void AppendNameLine(DisplayedFields& shown, std::string& out, ProcessorTextWriter write_text) {
    AppendTextLine(out, kReportNameLabel, shown.Name(), write_text);
}

// Every line after the clock's.
void AppendAfterClock(const Probe& probe, DisplayedFields& shown, std::string& out,
                      ProcessorTextWriter write_text) {
    const TCacheInfo cache = shown.Cache();
    const auto size = [](uint32_t value, std::string_view unit) {
        return Decimal(value) + std::string(unit);
    };
    if (cache.TraceCache > 0)
        AppendLine(out, kReportTraceLabel, size(cache.TraceCache, kReportKuops));
    else
        AppendLine(out, kReportL1ILabel, size(cache.L1I, kReportKB));
    AppendLine(out, kReportL1DLabel, size(cache.L1D, kReportKB));
    AppendLine(out, kReportL2Label, size(cache.L2, kReportKB));
    AppendLine(out, kReportL3Label, size(cache.L3, kReportKB));

    TCPUIDRegs leaf0;
    if (ReadCPUID(probe, 0, leaf0) != kCPUIDOk) return;
    AppendTextLine(out, "VendorID: ", VendorText(leaf0), write_text);
    if (leaf0.EAX == 0) return;

    TCPUIDRegs std1;
    ReadCPUID(probe, 1, std1);
    out += "***Standard***";
    out += kLineEnd;
    AppendSignatureLines(out, {"Family  : ", "Model   : ", "Stepping: "}, std1.EAX);
    AppendHexLine(out, "FamilyEx: ", SigExtFamily(std1.EAX), 2);
    std::string type;
    ToBinaryDigits(SigType(std1.EAX), type);
    AppendLine(out, "CPU Type: ", std::string_view(type).substr(30, 2));
    AppendHexLine(out, "APIC ID : ", InitialApicId(std1.EBX), 2);
    AppendHexLine(out, "BrandID : ", BrandIndex(std1.EBX), 2);

    if (RangePresent(probe, kExtendedBase)) {
        TCPUIDRegs ext1;
        ReadCPUID(probe, 0x80000001, ext1);
        out += "***Extended***";
        out += kLineEnd;
        AppendSignatureLines(out, {"Generation: ", "Model     : ", "Stepping  : "}, ext1.EAX);
    }

    AppendFeatureSummary(probe, out);

    out += kReportDumpMarker;
    out += kLineEnd;
    TCPUIDRegs standard;
    if (ReadCPUID(probe, kStandardBase, standard) == kCPUIDOk)
        DumpRange(probe, kStandardBase, standard.EAX, out);
    for (uint32_t base : {kExtendedBase, kTransmetaBase, kCentaurBase}) {
        const uint32_t top = RangeTop(probe, base);
        if (top > base) DumpRange(probe, base, top, out);
    }
}

}  // namespace

void ToBinaryDigits(uint32_t value, std::string& out) {
    out.assign(32, '0');
    for (unsigned bit = 0; bit < 32; ++bit)
        if (BitSet(value, bit)) out[31 - bit] = '1';
}

void FormatLeafDump(const Probe& probe, uint32_t leaf, std::string& out) {
    TCPUIDRegs regs;
    ReadCPUID(probe, leaf, regs);
    AppendHex(out, leaf, 8);
    out += kReportLeafEnd;
    out += kLineEnd;
    const uint32_t values[] = {regs.EAX, regs.EBX, regs.ECX, regs.EDX};
    for (size_t i = 0; i < 4; ++i) AppendHexLine(out, kReportRegisterLabels[i], values[i], 8);
}

std::string ClockLine(int64_t hz, std::string_view decimal_separator) {
    std::string line;
    AppendLine(line, "Clock: ", FormatClock(hz, decimal_separator));
    return line;
}

void BuildReport(const Probe& probe, std::string& out, std::string_view decimal_separator,
                 ProcessorTextWriter write_text, std::optional<int64_t> measured) {
    DisplayedFields shown(probe);
    AppendNameLine(shown, out, write_text);
    // Measured between the name and the caches, in the order the report's lines ask for them.
    out += ClockLine(measured ? *measured : MeasureClock(probe), decimal_separator);
    AppendAfterClock(probe, shown, out, write_text);
}

ReportParts BuildReportParts(const Probe& probe, ProcessorTextWriter write_text) {
    ReportParts parts;
    DisplayedFields shown(probe);
    AppendNameLine(shown, parts.name_line, write_text);
    AppendAfterClock(probe, shown, parts.rest, write_text);
    return parts;
}

}  // namespace talvex
