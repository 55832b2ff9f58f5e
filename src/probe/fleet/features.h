#pragma once
// Features as machines are compared: each feature name of the processor details is one feature, except
// where Intel and AMD enumerate one feature under bits of their own (the speculation controls and the
// processor inventory number: Intel's in leaf 7, AMD's in 0x80000008 EBX). Those are one feature,
// present when either vendor's bit is, so that a mixed fleet is compared by what the processors can do.

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

#include "probe/details/details.h"

namespace talvex {

struct SameFeature {
    uint16_t intel;  // rows of kFeatureNames
    uint16_t amd;
};

// clang-format off
inline constexpr SameFeature kSameFeatures[] = {
    // Intel's bit                      AMD's bit
    {FeatureRow("spec_ctrl"),           FeatureRow("amd_ibrs")},   // IBRS: leaf 7 EDX[26] gives IBRS and
    {FeatureRow("spec_ctrl"),           FeatureRow("amd_ibpb")},   // IBPB together
    {FeatureRow("intel_stibp"),         FeatureRow("amd_stibp")},
    {FeatureRow("spec_ctrl_ssbd"),      FeatureRow("amd_ssbd")},
    {FeatureRow("intel_ppin"),          FeatureRow("amd_ppin")},
};
// clang-format on

// One feature: one row of kFeatureNames, or the two of a kSameFeatures pair.
struct MachineFeature {
    std::array<uint16_t, 2> rows{};
    uint8_t count = 0;
};

namespace detail {

constexpr bool InAPair(size_t row) {
    for (const SameFeature& s : kSameFeatures)
        if (s.intel == row || s.amd == row) return true;
    return false;
}

constexpr size_t MachineFeatureCount() {
    size_t n = std::size(kSameFeatures);
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
        for (const SameFeature& s : kSameFeatures)
            if ((s.intel == i || s.amd == i) && std::min(s.intel, s.amd) == i)
                list[n++] = {{std::min(s.intel, s.amd), std::max(s.intel, s.amd)}, 2};
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
