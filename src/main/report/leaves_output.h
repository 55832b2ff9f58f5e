#pragma once
// talvex-report --leaves: every recorded leaf and sub-leaf of each processor, its four registers and
// its fields one a line, in text or JSON.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "probe/dump/dump.h"
#include "probe/leaves/fields.h"

namespace talvex {

// "0x00000004/1", as every output names a leaf and sub-leaf.
std::string LeafText(uint32_t leaf, uint32_t subleaf);
// "EBX[31:22]", "EDX[5]".
std::string BitsText(const DecodedField& field);
inline constexpr std::array<const char*, 4> kRegisterNames{"EAX", "EBX", "ECX", "EDX"};

// A field as the details window's tree shows it: its bits as they stand (a flag 0 or 1, else hex) and
// what they mean (the text output's last column).
struct FieldCells {
    std::string name, bits, raw, meaning;
    std::string_view about;
};
FieldCells CellsOf(const DecodedField& field);
// The longest name a field of the table has, for the width of a column.
std::string LongestFieldName();
// "sub-leaf 1", and why a leaf is not decoded ("" when it is).
std::string SubleafText(uint32_t subleaf);
std::string NotDecodedText(const DecodedLeaf& leaf);

// The processors `dumps`, numbered `numbers` as the operating system (or the dump's sections) counts
// from 0, decoded one after the other: a thousand processors take no more memory than one.
std::string LeavesText(std::span<const DumpProcessor> dumps, std::span<const unsigned> numbers);
std::string LeavesJson(std::span<const DumpProcessor> dumps, std::span<const unsigned> numbers);

}  // namespace talvex
