#pragma once
// Number forms shared by the window, the report and the command-line tool.

#include <cstdint>
#include <string>

namespace talvex {

enum class HexCase { Upper, Lower };

// Hexadecimal, zero-padded to at least `width` digits, no prefix: every hex number the program
// writes goes through here. Upper case but in the dump layouts of other tools.
void AppendHex(std::string& out, uint64_t value, int width, HexCase letters = HexCase::Upper);
inline std::string Hex(uint64_t value, int width) {
    std::string out;
    AppendHex(out, value, width);
    return out;
}
// Plain decimal, no grouping, no leading zeros.
inline std::string Decimal(uint64_t value) { return std::to_string(value); }

}  // namespace talvex
