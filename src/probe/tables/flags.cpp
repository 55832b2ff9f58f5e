// Names of the bits of leaf 1 EDX/ECX, 0x80000001 EDX, 0x80860001 EDX and 0xC0000001 EDX as the
// panel shows them, odd spellings included: they are the program's own texts.
#include "probe/tables/flags.h"

#include <stdexcept>

namespace talvex {

namespace {
constexpr TFlagName kReserved{"Reserved", ""};
}  // namespace

// clang-format off
constexpr std::array<TFlagName, 32> kStdEDXTable{{
    // long name                         short name
    {"Floating-Point Unit",              "FPU"},
    {"Virtual Mode Extensions",          "VME"},
    {"Debugging Extensions",             "DE"},
    {"Page Size Extensions",             "PSE"},
    {"Time Stamp Counter",               "TSC"},
    {"Model Specific Registers",         "MSR"},
    {"Page Address Extensions",          "PAE"},
    {"Machine Check Exception",          "MCE"},
    {"CMPXCHG8B Instruction",            "CX8"},
    {"APIC",                             "APIC"},
    kReserved,
    {"SYSENTER/SYSEXIT Instructions",    "SEP"},
    {"Memory Type Range Registers",      "MTRR"},
    {"Global Paging Extension",          "PGE"},
    {"Machine Check Architecture",       "MCA"},
    {"Conditional Move Instructions",    "CMOV"},
    {"Page Attribute Table",             "PAT"},
    {"36-bit Page Size Extension",       "PSE-36"},
    {"Processor Serial Number",          "PSN"},
    {"CLFLUSH Instruction",              "CLFSH"},
    kReserved,
    {"Debug Store",                      "DS"},
    {"ACPI",                             "ACPI"},
    {"MMX Instructions",                 "MMX"},
    {"FXSAVE/FXRSTOR Instructions",      "FXSR"},
    {"Streaming SIMD Extensions",        "SSE"},
    {"Streaming SIMD Extensions 2",      "SSE2"},
    {"Self-Snoop",                       "SS"},
    {"Hyper-Threading Technology",       "HTT"},
    {"Thermal Monitor",                  "TM"},
    {"IA-64 Processor Capable",          "IA-64"},
    {"Pending Break Event",              "PBE"},
}};
const std::array<TFlagName, 32> kStdEDXNames = kStdEDXTable;
// clang-format on

// clang-format off
const std::array<TFlagName, 32> kStdECXNames{{
    // long name                         short name
    {"Streaming SIMD Extensions 3",      "SSE3"},
    kReserved,
    kReserved,
    {"MONITOR/MWAIT Instructions",       "MONITOR"},
    {"CPL Qualified Debug Store",        "DS-CPL"},
    kReserved,
    kReserved,
    {"Enhanceed SpeedStep Technology",   "EST"},
    {"Thermal Monitor 2",                "TM2"},
    kReserved,
    {"Context ID",                       "CID"},
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 11..15
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 16..20
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 21..25
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 26..30
    kReserved,                                              // 31
}};
// clang-format on

// clang-format off
const std::array<TFlagName, 32> kExtEDXNames{{
    // long name                         short name
    {"FPU",                              "FPU"},
    {"Virtual Mode Extensions",          "VME"},
    {"Debuggin Extensions",              "DE"},
    kStdEDXTable[3], kStdEDXTable[4], kStdEDXTable[5],     // PSE, TSC, MSR: as in leaf 1 EDX
    kStdEDXTable[6], kStdEDXTable[7], kStdEDXTable[8],     // PAE, MCE, CX8
    {"On-chip APIC Hardware",            "APIC"},
    kReserved,
    {"SYSCALL/SYSRET Instructions",      "SEP"},
    {"Memory Type Range Registerd",      "MTRR"},
    {"Page Clobal Enable",               "PGE"},
    {"Machine Check Architecture",       "MCA"},
    {"Conditional Move Instruction",     "CMOV"},
    {"Page Attribute Table",             "PAT"},
    {"36-bit Page Size Extension",       "PSE-36"},
    kReserved,
    {"Multiproceessing Capable",         "MP"},
    kReserved,
    kReserved,
    {"MMX Instruction Extensions",       "MMX+"},
    {"MMX Instructions",                 "MMX"},
    {"FXSAVE/FXSTOR Instructions",       "FXSR"},
    {"Streaming SIMD Extensions",        "SSE"},
    {"Streaming SIMD Extensions 2",      "SSE2"},
    kReserved,
    kReserved,
    {"Long Mode (AA-64)",                "LM"},
    {"3DNow! Instruction Extensions",    "3DNow!+"},
    {"3DNow! Instructions",              "3DNow!"},
}};
// clang-format on

// clang-format off
const std::array<TFlagName, 32> kTransmetaEDXNames{{
    // long name                         short name
    {"Recovery CMS is active",           "Recovery"},
    {"LongRun",                          "LongRun"},
    kReserved,
    {"LongRun Table Interface",          "LRTI"},
    kReserved,                                              // 4
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 5..9
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 10..14
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 15..19
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 20..24
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 25..29
    kReserved, kReserved,                                   // 30..31
}};
// clang-format on

// clang-format off
const std::array<TFlagName, 32> kCentaurEDXNames{{
    // long name                         short name
    {"Alternate Instruction Set",        "AIS"},
    {"Alternate Instruction Set enabled", "AIS-E"},
    {"Random Number Generator",          "RNG"},
    {"Random Number Generator enabled",  "RNG-E"},
    {"LongHaul",                         "LH"},
    {"FEMMS",                            "FEMMS"},
    kReserved, kReserved, kReserved, kReserved,             // 6..9
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 10..14
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 15..19
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 20..24
    kReserved, kReserved, kReserved, kReserved, kReserved,  // 25..29
    kReserved, kReserved,                                   // 30..31
}};
// clang-format on

using enum FlagRegister;
// clang-format off
const std::array<FlagRegisterInfo, 5> kFlagRegisters{{
    // id          entry text             base leaf   leaf        reads ECX  names
    {StdEDX,       "Standard Flags(EDX)", 0x00000000, 0x00000001, false,     &kStdEDXNames},
    {StdECX,       "Standard Flags(ECX)", 0x00000000, 0x00000001, true,      &kStdECXNames},
    {ExtEDX,       "Extended Flags",      0x80000000, 0x80000001, false,     &kExtEDXNames},
    {TransmetaEDX, "Transmeta Flags",     0x80860000, 0x80860001, false,     &kTransmetaEDXNames},
    {CentaurEDX,   "Centaur Flags",       0xC0000000, 0xC0000001, false,     &kCentaurEDXNames},
}};
// clang-format on

const FlagRegisterInfo& FlagRegisterOf(FlagRegister id) {
    for (const FlagRegisterInfo& info : kFlagRegisters)
        if (info.id == id) return info;
    throw std::out_of_range("unknown flag register");
}

uint32_t ReadFlagRegister(const Probe& probe, FlagRegister id) {
    const FlagRegisterInfo& info = FlagRegisterOf(id);
    if (!RangePresent(probe, info.base_leaf)) return 0;
    TCPUIDRegs r;
    ReadCPUID(probe, info.leaf, r);  // its code is not examined
    return info.reads_ecx ? r.ECX : r.EDX;
}

}  // namespace talvex
