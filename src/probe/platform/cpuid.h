#pragma once
// CPUID access and the fields shared by every part of the program: leaf ranges, vendor text,
// signature fields of leaf 1 and the 48-character brand text.
// Bit layouts follow the published CPUID leaf 1 and 0x80000001 encodings.

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "probe/platform/platform.h"
#include "probe/platform/registers.h"
#include "probe/text/inline_text.h"

namespace talvex {

// What a replayed report of Talvex's own says of its processor in its lines before the registers: the
// name and the cache sizes the machine showed, which the report's leaves (sub-leaf 0 of each) cannot
// always give again. Sizes in KB, the trace cache in thousands of micro-operations; 0 where no line
// gives one.
struct ReportedLines {
    std::string name;
    uint32_t l1d = 0, l1i = 0, trace = 0, l2 = 0, l3 = 0;
    friend bool operator==(const ReportedLines&, const ReportedLines&) = default;
};

// Everything a probe routine may touch: the processor (through a register source) and the OS; for a
// replayed report, its own lines too.
struct Probe {
    const RegisterSource& source;
    Platform& platform;
    const ReportedLines* reported = nullptr;
};

// Result codes of ReadCPUID.
enum : int {
    kCPUIDOk = 0,
    kCPUIDMissing = 1,    // no CPUID instruction
    kCPUIDBeyondMax = 2,  // standard leaf above the highest one (signed comparison)
};

// Base leaves of the four ranges with a highest leaf of their own.
inline constexpr uint32_t kStandardBase = 0x00000000;
inline constexpr uint32_t kExtendedBase = 0x80000000;
inline constexpr uint32_t kTransmetaBase = 0x80860000;
inline constexpr uint32_t kCentaurBase = 0xC0000000;

// When a range's base leaf is asked at all.
enum class RangePresence : uint8_t {
    Always,
    Hypervisor,        // leaf 1 ECX[31]: a hypervisor answers the 0x400000xx leaves
    HypervisorVendor,  // as Hypervisor, and the rest of the window only when it names a vendor
};

struct LeafRange {
    uint32_t base;
    RangePresence presence;
    // Whether the highest leaf the base answers bounds the range for the processor details (a leaf
    // above it reads as four zeros); the other ranges are read as the processor answers them.
    bool bounded;
};

// Every range the program reads, ascending, so that a capture comes out sorted. The window's own
// routines keep to ReadCPUID, RangePresent and RangeTop below.
// clang-format off
inline constexpr auto kLeafRanges = std::to_array<LeafRange>({
    //  base        base leaf asked when               bounded
    {kStandardBase, RangePresence::Always,           true},   // standard
    {0x20000000,    RangePresence::Always,           false},  // Xeon Phi
    {0x40000000,    RangePresence::Hypervisor,       false},  // hypervisor
    {0x40000100,    RangePresence::HypervisorVendor, false},  // a second hypervisor interface
    {kExtendedBase, RangePresence::Always,           true},   // extended
    {kTransmetaBase, RangePresence::Always,          true},   // Transmeta
    {kCentaurBase,  RangePresence::Always,           true},   // Centaur
});
// clang-format on

// At most this many leaves of a range are read (base to base + 255), so a processor that claims an
// absurd highest leaf cannot make the report or a capture enormous.
inline constexpr uint32_t kMaxLeavesPerRange = 256;

// How many leaves of the range from `base` to its highest leaf `top` are read: counted from the base,
// so that a loop over them cannot wrap at a top of 0xFFFFFFFF; the base alone when `top` is not above it.
constexpr uint32_t LeavesRead(uint32_t base, uint32_t top) {
    return top > base ? std::min(top - base, kMaxLeavesPerRange - 1) + 1 : 1;
}

// Executes leaf 0 and then the requested leaf (sub-leaf 0). Writes `regs` only on code 0.
int ReadCPUID(const Probe& probe, uint32_t leaf, TCPUIDRegs& regs);

bool HasTimeStampCounter(const Probe& probe);
uint32_t GetLogicalProcessorCount(const Probe& probe);
bool HasFrequencyControl(const Probe& probe);

// A range is present when its base leaf answers and reports a highest leaf above the base (unsigned).
bool RangePresent(const Probe& probe, uint32_t base);
// The highest leaf of a present range; `base` itself when absent.
uint32_t RangeTop(const Probe& probe, uint32_t base);

// Where a zero byte ends processor text held in registers: the register holding it, the leaf holding
// it (four registers), or the whole text. The values count the registers of a piece.
enum class TextEnd : uint8_t { Register = 1, Leaf = 4, Whole = 12 };

// The bytes of `regs` in order, low byte first, as text: a zero byte ends the piece it lies in and the
// text goes on with the next piece. At most 12 registers (the three brand leaves).
InlineText<48> RegisterText(std::initializer_list<uint32_t> regs, TextEnd end);

// Vendor text of leaf 0: EBX, EDX, ECX, each cut at its first zero byte.
std::string VendorText(const TCPUIDRegs& leaf0);
// "Unknown" when leaf 0 cannot be read.
std::string QueryVendorText(const Probe& probe);
// Brand text of leaves 0x80000002..4, each leaf's 16 bytes cut at its first zero byte, nothing
// trimmed; none when the extended range ends below 0x80000004.
std::optional<std::string> QueryBrandText(const Probe& probe);

// Leaf 1 EAX fields.
constexpr uint32_t Bits(uint32_t value, unsigned high, unsigned low) {
    return (value >> low) & ((high - low >= 31) ? 0xFFFFFFFFu : ((1u << (high - low + 1)) - 1u));
}
constexpr uint32_t SigStepping(uint32_t eax) { return Bits(eax, 3, 0); }
constexpr uint32_t SigModel(uint32_t eax) { return Bits(eax, 7, 4); }
constexpr uint32_t SigFamily(uint32_t eax) { return Bits(eax, 11, 8); }
constexpr uint32_t SigType(uint32_t eax) { return Bits(eax, 13, 12); }
constexpr uint32_t SigExtModel(uint32_t eax) { return Bits(eax, 19, 16); }
constexpr uint32_t SigExtFamily(uint32_t eax) { return Bits(eax, 27, 20); }
// Leaf 1 EBX fields.
constexpr uint32_t BrandIndex(uint32_t ebx) { return Bits(ebx, 7, 0); }
constexpr uint32_t InitialApicId(uint32_t ebx) { return Bits(ebx, 31, 24); }
constexpr bool BitSet(uint32_t value, unsigned bit) { return ((value >> bit) & 1u) != 0; }

}  // namespace talvex
