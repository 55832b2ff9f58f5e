#pragma once
// Features as machines are compared: each feature name of the processor details is one feature, except
// where Intel and AMD enumerate one feature under bits of their own (the twins of the field table: the
// speculation controls and the processor inventory number, Intel's in leaf 7, AMD's in 0x80000008 EBX).
// Those are one feature, present when either vendor's bit is, so that a mixed fleet is compared by what
// the processors can do.

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

#include "probe/details/details.h"

namespace talvex {

// One feature: one row of kFeatureNames, or the two of a kFeatureTwins pair.
struct MachineFeature {
    std::array<uint16_t, 2> rows{};
    uint8_t count = 0;
};

namespace detail {

constexpr bool InAPair(size_t row) {
    for (const FeatureTwin& s : kFeatureTwins)
        if (s.row == row || s.twin == row) return true;
    return false;
}

constexpr size_t MachineFeatureCount() {
    size_t n = kFeatureTwins.size();
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (ListsItsName(i) && !InAPair(i)) ++n;
    return n;
}

// In the details' order of names; a pair at the place of its first row.
constexpr std::array<MachineFeature, MachineFeatureCount()> MachineFeatureList() {
    std::array<MachineFeature, MachineFeatureCount()> list{};
    size_t n = 0;
    for (size_t i = 0; i < kFeatureNames.size(); ++i) {
        if (!ListsItsName(i)) continue;
        if (!InAPair(i)) {
            list[n++] = {{static_cast<uint16_t>(i), 0}, 1};
            continue;
        }
        for (const FeatureTwin& s : kFeatureTwins)
            if ((s.row == i || s.twin == i) && std::min(s.row, s.twin) == i)
                list[n++] = {{std::min(s.row, s.twin), std::max(s.row, s.twin)}, 2};
    }
    return list;
}

}  // namespace detail

inline constexpr auto kMachineFeatures = detail::MachineFeatureList();

// Bit i: the processor has kMachineFeatures[i].
using MachineFeatureSet = std::bitset<kMachineFeatures.size()>;

MachineFeatureSet MachineFeaturesOf(const FeatureSet& names);

// Feature `feature` as the details name it on the processors whose names (ORed) are `names`: the
// names of its rows set there, joined by "/" ("spec_ctrl/amd_ibrs" in a mixed fleet); every name of
// it when none is set.
std::string MachineFeatureName(size_t feature, const FeatureSet& names);

}  // namespace talvex
