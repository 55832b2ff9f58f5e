// Writers for the `cpuid -r` layout and libcpuid's raw arrays (the array names and sizes are
// libcpuid's; the readers in dump_cpuid_raw.cpp and dump_libcpuid.cpp read both back).
#include "probe/dump/dump_write.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "probe/text.h"

namespace talvex {

namespace {

using Entry = std::pair<uint64_t, TCPUIDRegs>;

constexpr uint64_t Key(uint32_t leaf, uint32_t subleaf) { return (uint64_t{leaf} << 32) | subleaf; }

// The processor's leaves as a replay answers them, keyed for lookup.
std::vector<Entry> Sorted(const DumpProcessor& p) {
    std::vector<Entry> e;
    for (const DumpLeaf& l : SortedLeaves(p)) e.emplace_back(Key(l.leaf, l.subleaf), l.regs);
    return e;
}

void AppendHex(std::string& out, uint32_t value, int digits) {
    talvex::AppendHex(out, value, digits, HexCase::Lower);
}

void AppendDecimal(std::string& out, unsigned value) { out += std::to_string(value); }

// The four registers, each after its prefix: blanks between them for libcpuid's arrays, " eax=0x" and so on for
// `cpuid -r`.
void AppendRegisters(std::string& out, const TCPUIDRegs& r, const std::array<std::string_view, 4>& prefixes) {
    const uint32_t values[] = {r.EAX, r.EBX, r.ECX, r.EDX};
    for (size_t i = 0; i < 4; ++i) {
        out += prefixes[i];
        AppendHex(out, values[i], 8);
    }
}

// One line of `cpuid -r`: 80 characters.
constexpr size_t kCpuidRawLine = 80;

void AppendCpuidRawLine(std::string& out, uint64_t key, const TCPUIDRegs& r) {
    out += "   0x";
    AppendHex(out, static_cast<uint32_t>(key >> 32), 8);
    out += " 0x";
    AppendHex(out, static_cast<uint32_t>(key), 2);
    out += ':';
    AppendRegisters(out, r, {" eax=0x", " ebx=0x", " ecx=0x", " edx=0x"});
    out += '\n';
}

enum class Index : uint8_t { Leaf, SubLeaf };

struct LibcpuidArray {
    std::string_view name;
    uint32_t leaf;  // first leaf (Index::Leaf) or the one leaf (Index::SubLeaf)
    Index index;
    uint32_t entries;
    bool always;  // false: only for a processor whose extended range has the leaf
};

// amd_fn80000026h came to libcpuid after the others, and readers older than it (libcpuid 0.6.2,
// Debian 12's) warn on each of its lines: it is written only where it holds something.
// clang-format off
// In libcpuid's order of writing.
// name                          leaf        index is        entries always
constexpr std::array kLibcpuidArrays = {
    LibcpuidArray{"basic_cpuid",     0x00000000, Index::Leaf,    32, true},
    LibcpuidArray{"ext_cpuid",       0x80000000, Index::Leaf,    32, true},
    LibcpuidArray{"intel_fn4",       0x00000004, Index::SubLeaf, 8,  true},
    LibcpuidArray{"intel_fn11",      0x0000000B, Index::SubLeaf, 4,  true},
    LibcpuidArray{"intel_fn12h",     0x00000012, Index::SubLeaf, 4,  true},
    LibcpuidArray{"intel_fn14h",     0x00000014, Index::SubLeaf, 4,  true},
    LibcpuidArray{"amd_fn8000001dh", 0x8000001D, Index::SubLeaf, 4,  true},
    LibcpuidArray{"amd_fn80000026h", 0x80000026, Index::SubLeaf, 4,  false},
};
// clang-format on

TCPUIDRegs Find(const std::vector<Entry>& sorted, uint64_t key) {
    auto it = std::lower_bound(sorted.begin(), sorted.end(), key,
                               [](const Entry& e, uint64_t k) { return e.first < k; });
    return it != sorted.end() && it->first == key ? it->second : TCPUIDRegs{};
}

}  // namespace

std::string FormatCpuidRaw(const std::vector<DumpProcessor>& processors,
                           const std::vector<unsigned>& numbers) {
    if (!numbers.empty() && numbers.size() != processors.size())
        throw std::invalid_argument("FormatCpuidRaw: one number per processor");
    size_t lines = 0;
    for (const DumpProcessor& p : processors) lines += p.leaves.size() + 1;
    std::string out;
    out.reserve(lines * kCpuidRawLine);
    for (size_t i = 0; i < processors.size(); ++i) {
        out += "CPU ";
        AppendDecimal(out, numbers.empty() ? static_cast<unsigned>(i) : numbers[i]);
        out += ":\n";
        for (const auto& [key, regs] : Sorted(processors[i])) AppendCpuidRawLine(out, key, regs);
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
            out += "_________________ Logical CPU #";
            AppendDecimal(out, static_cast<unsigned>(i));
            out += " _________________\n";
        }
        const std::vector<Entry> sorted = Sorted(processors[i]);
        const uint32_t extended_top = Find(sorted, Key(0x80000000, 0)).EAX;
        for (const LibcpuidArray& a : kLibcpuidArrays) {
            if (!a.always && extended_top < a.leaf) continue;  // the extended range stops short of it
            for (uint32_t k = 0; k < a.entries; ++k) {
                const uint64_t key = a.index == Index::Leaf ? Key(a.leaf + k, 0) : Key(a.leaf, k);
                out += a.name;
                out += '[';
                AppendDecimal(out, k);
                out += "]=";
                AppendRegisters(out, Find(sorted, key), {"", " ", " ", " "});
                out += '\n';
            }
        }
    }
    return out;
}

}  // namespace talvex
