#pragma once
// The program's own version, fixed when the program is built, read once at start-up for the
// window caption.

#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

struct TVersion {
    uint32_t Major = 0, Minor = 0, Release = 0, Build = 0;
    std::string Text;  // exactly as built in, points included
};

// All zero with an empty text until ReadVersionInfo fills it.
extern TVersion ProgramVersion;

// Fills ProgramVersion from the built-in version text. Throws std::runtime_error when the text
// is malformed (a start-up error).
void ReadVersionInfo();

// Splits at points (a CR or LF also ends a piece), drops empty pieces and parses the first four
// as unsigned 32-bit decimals; later pieces are ignored. Throws std::runtime_error when there are
// fewer than four pieces or one of the four is not such a number.
TVersion ParseVersionText(std::string_view text);

}  // namespace talvex
