#pragma once
// What Linux itself decoded about the processors, read from /proc/cpuinfo for the tests that compare.

#include <fstream>
#include <istream>
#include <map>
#include <sstream>
#include <string>

namespace talvex::testing {

using CpuinfoBlocks = std::map<unsigned, std::map<std::string, std::string>>;

// Each processor block of a /proc/cpuinfo text as its fields, by the processor's number.
inline CpuinfoBlocks ProcCpuinfo(std::istream& in) {
    CpuinfoBlocks blocks;
    std::map<std::string, std::string> fields;
    for (std::string line; std::getline(in, line) || !fields.empty();) {
        if (line.empty()) {
            if (fields.count("processor") != 0)
                blocks[static_cast<unsigned>(std::stoul(fields["processor"]))] = fields;
            fields.clear();
            if (!in) break;
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        const auto value = line.find_first_not_of(' ', colon + 1);
        fields[key] = value == std::string::npos ? std::string() : line.substr(value);
        line.clear();
    }
    return blocks;
}

inline CpuinfoBlocks ProcCpuinfoText(const std::string& text) {
    std::istringstream in(text);
    return ProcCpuinfo(in);
}

// This machine's /proc/cpuinfo.
inline CpuinfoBlocks ProcCpuinfo() {
    std::ifstream in("/proc/cpuinfo");
    return ProcCpuinfo(in);
}

}  // namespace talvex::testing
