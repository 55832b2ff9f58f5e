#pragma once
// The five feature flag registers the bit panel can show: which leaf each comes from and the
// long and short name of every bit. Row i of a name table is bit i; reserved bits are written out.

#include <array>
#include <cstdint>

#include "probe/platform/cpuid.h"

namespace talvex {

enum class FlagRegister { StdEDX, StdECX, ExtEDX, TransmetaEDX, CentaurEDX };

// The names are held in the row, not pointed at: the loader would relocate every pointer at each
// start of talvex-report.
struct TFlagName {
    char long_name[36];
    char short_name[12];  // empty for a reserved bit
};

struct FlagRegisterInfo {
    FlagRegister id;
    const char* entry_text;  // the selector's entry and the menu entry's caption
    uint32_t base_leaf;
    uint32_t leaf;
    bool reads_ecx;  // ECX of `leaf` instead of EDX
    const std::array<TFlagName, 32>* names;
};

extern const std::array<TFlagName, 32> kStdEDXNames;
extern const std::array<TFlagName, 32> kStdECXNames;
extern const std::array<TFlagName, 32> kExtEDXNames;
extern const std::array<TFlagName, 32> kTransmetaEDXNames;
extern const std::array<TFlagName, 32> kCentaurEDXNames;

// In the order of the selector's entries, the menu entries and the selector's text comparison.
extern const std::array<FlagRegisterInfo, 5> kFlagRegisters;

const FlagRegisterInfo& FlagRegisterOf(FlagRegister id);

// The register's value from one fresh query; 0 when its range is absent (or no CPUID at all).
uint32_t ReadFlagRegister(const Probe& probe, FlagRegister id);

}  // namespace talvex
