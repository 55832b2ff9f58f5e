#pragma once
// The five feature flag registers the bit panel can show: which leaf each comes from and the
// long and short name of every bit. Row i of a name table is bit i; reserved bits are written out.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "probe/platform/cpuid.h"

namespace talvex {

enum class FlagRegister { StdEDX, StdECX, ExtEDX, TransmetaEDX, CentaurEDX };
inline constexpr size_t kFlagRegisterCount = 5;

// The names are held in the row, not pointed at: the loader would relocate every pointer at each
// start of talvex-report.
struct TFlagName {
    char long_name[41];
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

// The names the panel shows: the tables' own, and for a bit they call "Reserved" (or name as no
// vendor meant it) the name the feature list gives it, where it gives one.
extern const std::array<TFlagName, 32> kStdEDXNames;
extern const std::array<TFlagName, 32> kStdECXNames;
extern const std::array<TFlagName, 32> kExtEDXNames;
extern const std::array<TFlagName, 32> kTransmetaEDXNames;
extern const std::array<TFlagName, 32> kCentaurEDXNames;

// In the order of the selector's entries, the menu entries and the selector's text comparison.
// clang-format off
inline constexpr std::array<FlagRegisterInfo, kFlagRegisterCount> kFlagRegisters{{
    // id                        entry text             base leaf   leaf        reads ECX  names
    {FlagRegister::StdEDX,       "Standard Flags(EDX)", 0x00000000, 0x00000001, false,     &kStdEDXNames},
    {FlagRegister::StdECX,       "Standard Flags(ECX)", 0x00000000, 0x00000001, true,      &kStdECXNames},
    {FlagRegister::ExtEDX,       "Extended Flags",      0x80000000, 0x80000001, false,     &kExtEDXNames},
    {FlagRegister::TransmetaEDX, "Transmeta Flags",     0x80860000, 0x80860001, false,     &kTransmetaEDXNames},
    {FlagRegister::CentaurEDX,   "Centaur Flags",       0xC0000000, 0xC0000001, false,     &kCentaurEDXNames},
}};
// clang-format on

constexpr const FlagRegisterInfo& FlagRegisterOf(FlagRegister id) {
    return kFlagRegisters[static_cast<size_t>(id)];
}
static_assert([] {
    for (size_t i = 0; i < kFlagRegisters.size(); ++i)
        if (kFlagRegisters[i].id != FlagRegister(i)) return false;
    return true;
}());

// The name the feature list (Linux's) gives bit `bit` of a register; empty where it gives none.
std::string_view FlagFeatureName(FlagRegister id, unsigned bit);

// The register's value from one fresh query; 0 when its range is absent (or no CPUID at all).
uint32_t ReadFlagRegister(const Probe& probe, FlagRegister id);

}  // namespace talvex
