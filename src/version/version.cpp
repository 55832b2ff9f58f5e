#include "version/version.h"

#include <stdexcept>
#include <vector>

#include "version/build_version.h"

namespace talvex {

TVersion ProgramVersion;

namespace {

std::vector<std::string_view> SplitPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.' && text[i] != '\r' && text[i] != '\n') continue;
        if (i > start) pieces.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return pieces;
}

uint32_t ParsePiece(std::string_view text, std::string_view piece) {
    uint64_t value = 0;
    for (char c : piece) {
        if (c < '0' || c > '9')
            throw std::runtime_error("Version text \"" + std::string(text) + "\": \"" + std::string(piece)
                                     + "\" is not a non-negative decimal number");
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX)
            throw std::runtime_error("Version text \"" + std::string(text) + "\": \"" + std::string(piece)
                                     + "\" does not fit in 32 bits");
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

TVersion ParseVersionText(std::string_view text) {
    const std::vector<std::string_view> pieces = SplitPieces(text);
    if (pieces.size() < 4)
        throw std::runtime_error("Version text \"" + std::string(text) + "\" has "
                                 + std::to_string(pieces.size()) + " numbers; four are needed");
    TVersion version;
    version.Major = ParsePiece(text, pieces[0]);
    version.Minor = ParsePiece(text, pieces[1]);
    version.Release = ParsePiece(text, pieces[2]);
    version.Build = ParsePiece(text, pieces[3]);
    version.Text = std::string(text);
    return version;
}

void ReadVersionInfo() { ProgramVersion = ParseVersionText(kBuildVersionText); }

}  // namespace talvex
