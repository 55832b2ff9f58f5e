#pragma once
// Debian's `cpuid` as a test reader: its decoding of a normalized dump, and the pieces of its text the
// comparisons read. Only what the tests compare is parsed; a newer version that words a line otherwise
// leaves that line out of the comparison rather than failing it.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/dumps.h"
#include "support/files.h"

namespace talvex::testing {

inline constexpr const char* kPeer = "/usr/bin/cpuid";

inline bool PeerPresent() { return std::filesystem::exists(kPeer); }

// The peer's decoding of tests/data/cpuid-dumps/normalized/`file`.
inline std::string PeerOutput(const std::string& file) {
    const TempDir dir;
    const std::filesystem::path copy = dir / "dump.txt";
    {
        std::ifstream in(kNormalized + "/" + file);
        std::ofstream out(copy);
        for (std::string line; std::getline(in, line);)
            if (line.rfind('#', 0) != 0) out << line << '\n';  // the peer refuses the header comment
    }
    return RunCommand(std::string(kPeer) + " -f " + copy.string() + " 2>&1").text;
}

// The lines of each section whose heading (three spaces of indent) starts with `title`.
inline std::vector<std::string> Section(const std::string& text, const std::string& title) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("   ", 0) == 0 && line.size() > 3 && line[3] != ' ') {
            inside = line.compare(3, title.size(), title) == 0;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    return lines;
}

inline unsigned InParentheses(const std::string& value) {
    const auto open = value.rfind('(');
    return open == std::string::npos ? 0 : static_cast<unsigned>(std::stoul(value.substr(open + 1)));
}

// "      key = value" -> key, value
inline std::pair<std::string, std::string> KeyValue(const std::string& line) {
    const auto eq = line.find(" = ");
    if (eq == std::string::npos) return {};
    std::string key = line.substr(0, eq);
    key.erase(0, key.find_first_not_of(' '));
    key.erase(key.find_last_not_of(' ') + 1);
    return {key, line.substr(eq + 3)};
}

}  // namespace talvex::testing
