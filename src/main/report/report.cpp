#include "main/report/report.h"

#include <algorithm>

#include "probe/cache.h"
#include "probe/clock.h"
#include "probe/naming.h"
#include "probe/text.h"

namespace talvex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Writes straight into the report: the dump is most of it, and temporaries would cost more
// than the CPUID executions it is made of.
void AppendHex(std::string& out, uint32_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
    for (int i = std::max(width, digits) - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0xFu];
}

void AppendLine(std::string& out, std::string_view label, std::string_view text) {
    out += label;
    out += text;
    out += kLineEnd;
}

void AppendHexLine(std::string& out, std::string_view label, uint32_t value, int width) {
    out += label;
    AppendHex(out, value, width);
    out += kLineEnd;
}

// Leaves base..top, both included, bounded to kMaxLeavesPerRange. Counted from the base so a
// top of 0xFFFFFFFF cannot wrap the loop.
void DumpRange(const Probe& probe, uint32_t base, uint32_t top, std::string& out) {
    const uint32_t count = std::min(top - base, kMaxLeavesPerRange - 1) + 1;
    for (uint32_t i = 0; i < count; ++i) FormatLeafDump(probe, base + i, out);
}

void AppendFeatureSummary(const Probe& probe, std::string& out) {
    TCPUIDRegs std1;
    ReadCPUID(probe, 1, std1);
    std::string line;
    if (BitSet(std1.EDX, 23)) line += "MMX";
    if (BitSet(std1.EDX, 25)) line += ", SSE";
    if (BitSet(std1.EDX, 26)) line += ", SSE2";
    if (BitSet(std1.ECX, 0)) line += ", SSE3";
    if (GetLogicalProcessorCount(probe) >= 2) line += ", Hyper-Threading";
    if (BitSet(std1.EDX, 30)) line += ", IA-64";
    if (RangePresent(probe, kExtendedBase)) {
        TCPUIDRegs ext1;
        ReadCPUID(probe, 0x80000001, ext1);
        if (BitSet(ext1.EDX, 22)) line += ", MMX+";
        if (BitSet(ext1.EDX, 31)) line += ", 3DNow!";
        if (BitSet(ext1.EDX, 30)) line += ", 3DNow!+";
    }
    AppendLine(out, "", line);
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
    out += 'h';
    out += kLineEnd;
    AppendHexLine(out, "EAX: ", regs.EAX, 8);
    AppendHexLine(out, "EBX: ", regs.EBX, 8);
    AppendHexLine(out, "ECX: ", regs.ECX, 8);
    AppendHexLine(out, "EDX: ", regs.EDX, 8);
}

void BuildReport(const Probe& probe, std::string& out, std::string_view decimal_separator,
                 ProcessorTextWriter write_text) {
    const auto append_text_line = [&](std::string_view label, std::string_view text) {
        if (write_text == nullptr) return AppendLine(out, label, text);
        out += label;
        write_text(out, text);
        out += kLineEnd;
    };
    const std::string name = GetProcessorName(probe);
    const int64_t hz = MeasureClock(probe);
    append_text_line("CPU Name: ", name);
    AppendLine(out, "Clock: ", FormatClock(hz, decimal_separator));

    TCacheInfo cache;
    GetCacheInfo(probe, cache);
    if (cache.TraceCache > 0)
        AppendLine(out, "L1 T-Cache: ", Decimal(cache.TraceCache) + "KuOps");
    else
        AppendLine(out, "L1 I-Cache: ", Decimal(cache.L1I) + "KB");
    AppendLine(out, "L1 D-Cache: ", Decimal(cache.L1D) + "KB");
    AppendLine(out, "L2 Cache  : ", Decimal(cache.L2) + "KB");
    AppendLine(out, "L3 Cache  : ", Decimal(cache.L3) + "KB");

    TCPUIDRegs leaf0;
    if (ReadCPUID(probe, 0, leaf0) != kCPUIDOk) return;
    append_text_line("VendorID: ", VendorText(leaf0));
    if (leaf0.EAX == 0) return;

    TCPUIDRegs std1;
    ReadCPUID(probe, 1, std1);
    out += "***Standard***";
    out += kLineEnd;
    AppendHexLine(out, "Family  : ", SigFamily(std1.EAX), 1);
    AppendHexLine(out, "Model   : ", SigModel(std1.EAX), 1);
    AppendHexLine(out, "Stepping: ", SigStepping(std1.EAX), 1);
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
        AppendHexLine(out, "Generation: ", SigFamily(ext1.EAX), 1);
        AppendHexLine(out, "Model     : ", SigModel(ext1.EAX), 1);
        AppendHexLine(out, "Stepping  : ", SigStepping(ext1.EAX), 1);
    }

    AppendFeatureSummary(probe, out);

    out += "***CPUID Register Data***";
    out += kLineEnd;
    TCPUIDRegs standard;
    if (ReadCPUID(probe, kStandardBase, standard) == kCPUIDOk)
        DumpRange(probe, kStandardBase, standard.EAX, out);
    for (uint32_t base : {kExtendedBase, kTransmetaBase, kCentaurBase}) {
        const uint32_t top = RangeTop(probe, base);
        if (top > base) DumpRange(probe, base, top, out);
    }
}

}  // namespace talvex
