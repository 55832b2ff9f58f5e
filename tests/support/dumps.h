#pragma once
// The real CPUID dumps of tests/data/cpuid-dumps: raw files, each with a normalized twin of the
// same name in normalized/, and one processor of them replayed.

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "probe/dump/dump.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/platform.h"
#include "support/paths.h"

namespace talvex::testing {

inline const std::string kDumps = TALVEX_DUMPS_DIR;
inline const std::string kNormalized = std::string(TALVEX_DUMPS_DIR) + "/normalized";

// File names of the normalized dumps, sorted. Refuses a folder without dumps, or a normalized
// dump without its raw twin, so that a test over all of them cannot pass over none.
inline std::vector<std::string> DumpNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(kNormalized))
        if (e.path().extension() == ".txt") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names.empty()) throw std::runtime_error("no dumps in " + kNormalized);
    for (const std::string& name : names)
        if (!std::filesystem::exists(kDumps + "/" + name))
            throw std::runtime_error(kDumps + "/" + name + ": No such file (the raw twin of normalized/"
                                     + name + ")");
    return names;
}

// The first processor of a normalized dump, by file name.
inline DumpProcessor Normalized(const std::string& name) {
    return ReadDumpFile(kNormalized + "/" + name).at(0);
}

// One recorded processor ready to probe, on the platform a replay runs on (no live clock).
// Not copyable: the probe refers to the members.
struct Replayed {
    explicit Replayed(const DumpProcessor& cpu) : source(cpu) {}
    explicit Replayed(const std::string& name) : Replayed(Normalized(name)) {}
    Replayed(const Replayed&) = delete;
    Replayed& operator=(const Replayed&) = delete;

    ReplaySource source;
    ReplayPlatform os;
    Probe probe{source, os};
};

}  // namespace talvex::testing
