#pragma once
// The processor at a glance, from its feature bits: the instruction-set extensions in the order and
// spelling users know ("SSE4.2", "AVX-512 F/CD/BW"), and the bits through which CPUID enumerates
// mitigations of speculative-execution vulnerabilities, by the names the vendors give them.

#include <string>
#include <string_view>
#include <vector>

#include "probe/details/details.h"

namespace talvex {

// One entry a line: a family with members gives one entry for all those present, its members
// joined by "/" ("AVX-512 F/CD/BW/DQ/VL"); the last is the virtualisation extension.
std::vector<std::string> InstructionSets(const FeatureSet& features);

struct MitigationBit {
    std::string_view feature;  // the bit's name in kFeatureNames
    std::string_view name;     // the vendor's name: "IBPB", "SSBD", "MD_CLEAR"
    std::string_view what;     // what the bit says, for a tooltip
};

// The mitigation bits set in `features`, in the order of the table (Intel's leaf 7, then AMD's).
std::vector<const MitigationBit*> MitigationBits(const FeatureSet& features);

}  // namespace talvex
