// Writers for the `cpuid -r` layout and libcpuid's raw arrays (the array names and sizes are
// libcpuid's; the readers in dump_cpuid_raw.cpp and dump_libcpuid.cpp read both back).
#include "probe/dump/dump_write.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "probe/dump/dump_layouts.h"
#include "probe/dump/libcpuid_arrays.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

void AppendHex(std::string& out, uint32_t value, int digits) {
    talvex::AppendHex(out, value, digits, HexCase::Lower);
}

void AppendDecimal(std::string& out, unsigned value) { out += std::to_string(value); }

// The four registers, blank-separated, each after its label where the layout has one (`cpuid -r`).
void AppendRegisters(std::string& out, const TCPUIDRegs& r, const std::array<std::string_view, 4>& labels) {
    const uint32_t values[] = {r.EAX, r.EBX, r.ECX, r.EDX};
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0 || !labels[i].empty()) out += ' ';
        out += labels[i];
        AppendHex(out, values[i], 8);
    }
}

// One line of `cpuid -r`: 80 characters.
constexpr size_t kCpuidRawLine = 80;

void AppendCpuidRawLine(std::string& out, const DumpLeaf& l) {
    out += "   0x";
    AppendHex(out, l.leaf, 8);
    out += " 0x";
    AppendHex(out, l.subleaf, 2);
    out += ':';
    AppendRegisters(out, l.regs, kCpuidRawRegisterLabels);
    out += '\n';
}

}  // namespace

using dump_detail::kLibcpuidArrays;
using dump_detail::LibcpuidArray;
using dump_detail::LibcpuidIndex;

std::string FormatCpuidRaw(const std::vector<DumpProcessor>& processors,
                           const std::vector<unsigned>& numbers) {
    if (!numbers.empty() && numbers.size() != processors.size())
        throw std::invalid_argument("FormatCpuidRaw: one number per processor");
    size_t lines = 0;
    for (const DumpProcessor& p : processors) lines += p.leaves.size() + 1;
    std::string out;
    out.reserve(lines * kCpuidRawLine);
    for (size_t i = 0; i < processors.size(); ++i) {
        out += kCpuidRawHeaderWord;
        out += ' ';
        AppendDecimal(out, numbers.empty() ? static_cast<unsigned>(i) : numbers[i]);
        out += kCpuidRawHeaderEnd;
        out += '\n';
        for (const DumpLeaf& l : SortedLeaves(processors[i])) AppendCpuidRawLine(out, l);
    }
    return out;
}

std::string FormatLibcpuid(const std::vector<DumpProcessor>& processors) {
    size_t entries = 0;
    for (const LibcpuidArray& a : kLibcpuidArrays) entries += a.entries;
    std::string out;
    out.reserve(processors.size() * (entries * 56 + 64));
    for (size_t i = 0; i < processors.size(); ++i) {
        if (processors.size() > 1) {
            if (i > 0) out += '\n';
            out += kLibcpuidRule;
            out += ' ';
            out += kLibcpuidSeparatorWords;
            AppendDecimal(out, static_cast<unsigned>(i));
            out += ' ';
            out += kLibcpuidRule;
            out += '\n';
        }
        // The leaves as a replay of the processor answers them.
        const ReplaySource replay(processors[i]);
        const uint32_t extended_top = replay.Execute(0x80000000, 0).EAX;
        for (const LibcpuidArray& a : kLibcpuidArrays) {
            if (!a.always && extended_top < a.leaf) continue;  // the extended range stops short of it
            for (uint32_t k = 0; k < a.entries; ++k) {
                const bool by_leaf = a.index == LibcpuidIndex::Leaf;
                out += a.name;
                out += '[';
                AppendDecimal(out, k);
                out += "]=";
                AppendRegisters(out, replay.Execute(by_leaf ? a.leaf + k : a.leaf, by_leaf ? 0 : k), {});
                out += '\n';
            }
        }
    }
    return out;
}

}  // namespace talvex
