// Names of the bits of leaf 1 EDX/ECX, 0x80000001 EDX, 0x80860001 EDX and 0xC0000001 EDX: the tables
// the panel was made with, odd spellings included (they are the program's own texts), and for the
// bits those call "Reserved" the names of the feature list (feature_names.tsv), one place for both.
#include "probe/tables/flags.h"

#include "probe/leaves/feature_names.h"

namespace talvex {

namespace {

constexpr TFlagName kReserved{"Reserved", ""};

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
// clang-format on

// clang-format off
constexpr std::array<TFlagName, 32> kStdECXTable{{
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
constexpr std::array<TFlagName, 32> kExtEDXTable{{
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
constexpr std::array<TFlagName, 32> kTransmetaEDXTable{{
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
constexpr std::array<TFlagName, 32> kCentaurEDXTable{{
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

// Rows the tables name as no vendor ever meant them: bits 25 and 26 of 0x80000001 EDX were never SSE
// and SSE2 (a processor with SSE2 shows "NO" there). Like the reserved rows, they take the feature
// list's names.
constexpr struct {
    FlagRegister reg;
    unsigned bit;
} kMisnamed[] = {{ExtEDX, 25}, {ExtEDX, 26}};

// The feature list's row of bit `bit` of a register; -1 where the list does not name that bit.
constexpr int FeatureRow(FlagRegister id, unsigned bit) {
    const FlagRegisterInfo& info = FlagRegisterOf(id);
    const FeatureReg reg = info.reads_ecx ? FeatureReg::ECX : FeatureReg::EDX;
    for (size_t i = 0; i < kFeatureNames.size(); ++i) {
        const FeatureRegister& r = kFeatureRegisters[kFeatureNames[i].group];
        if (r.leaf == info.leaf && r.subleaf == 0 && r.reg == reg && kFeatureNames[i].bit == bit)
            return static_cast<int>(i);
    }
    return -1;
}

// The index of the panel name of bit `bit` of a register in kFeaturePanelNames; -1 where there is none.
// An index, not a pointer: the undefined-behaviour sanitizer makes a pointer's comparison with null
// no constant expression.
constexpr int PanelName(FlagRegister id, unsigned bit) {
    const int row = FeatureRow(id, bit);
    for (size_t i = 0; i < kFeaturePanelNames.size(); ++i)
        if (kFeaturePanelNames[i].row == row) return static_cast<int>(i);
    return -1;
}

constexpr bool Misnamed(FlagRegister id, unsigned bit) {
    for (const auto& m : kMisnamed)
        if (m.reg == id && m.bit == bit) return true;
    return false;
}

constexpr bool Reserved(const TFlagName& name) {
    return std::string_view(name.long_name) == kReserved.long_name;
}

template <size_t N>
constexpr void Copy(std::string_view from, char (&to)[N]) {
    if (from.size() >= N) throw "name too long for the row";
    for (size_t i = 0; i < N; ++i) to[i] = i < from.size() ? from[i] : '\0';
}

// A table's names as the panel shows them.
constexpr std::array<TFlagName, 32> PanelNames(FlagRegister id, const std::array<TFlagName, 32>& table) {
    std::array<TFlagName, 32> names = table;
    for (unsigned bit = 0; bit < 32; ++bit) {
        const int p = PanelName(id, bit);
        if (p < 0 || !(Reserved(table[bit]) || Misnamed(id, bit))) continue;
        Copy(kFeaturePanelNames[static_cast<size_t>(p)].long_name.view(), names[bit].long_name);
        Copy(kFeaturePanelNames[static_cast<size_t>(p)].short_name.view(), names[bit].short_name);
    }
    return names;
}

// Every reserved row whose bit the list names, and every misnamed row, gets a panel name of the list,
// and every panel name of the list takes the place of such a row: none is missing, none is lost and
// none overwrites a row the tables name rightly.
static_assert([] {
    const std::array<const std::array<TFlagName, 32>*, kFlagRegisterCount> tables{
        &kStdEDXTable, &kStdECXTable, &kExtEDXTable, &kTransmetaEDXTable, &kCentaurEDXTable};
    size_t placed = 0;
    for (size_t r = 0; r < kFlagRegisterCount; ++r) {
        for (unsigned bit = 0; bit < 32; ++bit) {
            const bool named = PanelName(FlagRegister(r), bit) >= 0;
            const bool listed = FeatureRow(FlagRegister(r), bit) >= 0;
            if ((Misnamed(FlagRegister(r), bit) || (listed && Reserved((*tables[r])[bit]))) && !named)
                return false;
            if (named && !Reserved((*tables[r])[bit]) && !Misnamed(FlagRegister(r), bit)) return false;
            placed += named;
        }
    }
    return placed == kFeaturePanelNames.size();
}());

}  // namespace

constinit const std::array<TFlagName, 32> kStdEDXNames = PanelNames(StdEDX, kStdEDXTable);
constinit const std::array<TFlagName, 32> kStdECXNames = PanelNames(StdECX, kStdECXTable);
constinit const std::array<TFlagName, 32> kExtEDXNames = PanelNames(ExtEDX, kExtEDXTable);
constinit const std::array<TFlagName, 32> kTransmetaEDXNames = PanelNames(TransmetaEDX, kTransmetaEDXTable);
constinit const std::array<TFlagName, 32> kCentaurEDXNames = PanelNames(CentaurEDX, kCentaurEDXTable);

std::string_view FlagFeatureName(FlagRegister id, unsigned bit) {
    const int row = FeatureRow(id, bit);
    return row < 0 ? std::string_view() : kFeatureNames[static_cast<size_t>(row)].name.view();
}

uint32_t ReadFlagRegister(const Probe& probe, FlagRegister id) {
    const FlagRegisterInfo& info = FlagRegisterOf(id);
    if (!RangePresent(probe, info.base_leaf)) return 0;
    TCPUIDRegs r;
    ReadCPUID(probe, info.leaf, r);  // its code is not examined
    return info.reads_ecx ? r.ECX : r.EDX;
}

}  // namespace talvex
