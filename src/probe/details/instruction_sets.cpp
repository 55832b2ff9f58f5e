// The instruction-set line and the mitigation bits, each one table over the feature names (the named
// bits of the field table, src/probe/leaves/fields/). The order of the instruction sets is the one CPU identification tools have
// made familiar: MMX and 3DNow!, the SSE generations, AES, AVX and its widenings, FMA, then the
// later single extensions, 64-bit mode and the virtualisation extension last.
#include "probe/details/instruction_sets.h"

#include <array>

namespace talvex {

namespace {

constexpr size_t FeatureIndex(std::string_view name) {
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (kFeatureNames[i].name == name) return i;
    throw "not a feature name";  // at compile time: a misspelt name does not build
}

struct InstructionSet {
    std::string_view family;  // "AVX-512"; a family of one member names itself
    std::string_view member;  // "F"; "" for a family of one
    size_t feature;
};

constexpr InstructionSet Set(std::string_view family, std::string_view member, std::string_view feature) {
    return {family, member, FeatureIndex(feature)};
}

// clang-format off
constexpr InstructionSet kInstructionSets[] = {
    //  family         member          feature
    Set("MMX",         "",             "mmx"),
    Set("3DNow!",      "",             "3dnow"),
    Set("3DNow!+",     "",             "3dnowext"),
    Set("SSE",         "",             "sse"),
    Set("SSE2",        "",             "sse2"),
    Set("SSE3",        "",             "pni"),
    Set("SSSE3",       "",             "ssse3"),
    Set("SSE4.1",      "",             "sse4_1"),
    Set("SSE4.2",      "",             "sse4_2"),
    Set("SSE4A",       "",             "sse4a"),
    Set("AES",         "",             "aes"),
    Set("AVX",         "",             "avx"),
    Set("AVX2",        "",             "avx2"),
    Set("AVX-512",     "F",            "avx512f"),
    Set("AVX-512",     "CD",           "avx512cd"),
    Set("AVX-512",     "BW",           "avx512bw"),
    Set("AVX-512",     "DQ",           "avx512dq"),
    Set("AVX-512",     "VL",           "avx512vl"),
    Set("AVX-512",     "IFMA",         "avx512ifma"),
    Set("AVX-512",     "VBMI",         "avx512vbmi"),
    Set("AVX-512",     "VBMI2",        "avx512_vbmi2"),
    Set("AVX-512",     "VNNI",         "avx512_vnni"),
    Set("AVX-512",     "BITALG",       "avx512_bitalg"),
    Set("AVX-512",     "VPOPCNTDQ",    "avx512_vpopcntdq"),
    Set("AVX-512",     "BF16",         "avx512_bf16"),
    Set("AVX-512",     "FP16",         "avx512_fp16"),
    Set("AVX-512",     "VP2INTERSECT", "avx512_vp2intersect"),
    Set("AVX-512",     "ER",           "avx512er"),
    Set("AVX-512",     "PF",           "avx512pf"),
    Set("AVX-512",     "4VNNIW",       "avx512_4vnniw"),
    Set("AVX-512",     "4FMAPS",       "avx512_4fmaps"),
    Set("AVX-VNNI",    "",             "avx_vnni"),
    Set("AVX-IFMA",    "",             "avx_ifma"),
    Set("AMX",         "TILE",         "amx_tile"),
    Set("AMX",         "INT8",         "amx_int8"),
    Set("AMX",         "BF16",         "amx_bf16"),
    Set("AMX",         "FP16",         "amx_fp16"),
    Set("FMA3",        "",             "fma"),
    Set("FMA4",        "",             "fma4"),
    Set("XOP",         "",             "xop"),
    Set("SHA",         "",             "sha_ni"),
    Set("VAES",        "",             "vaes"),
    Set("VPCLMULQDQ",  "",             "vpclmulqdq"),
    Set("GFNI",        "",             "gfni"),
    Set("x86-64",      "",             "lm"),
    Set("VT-x",        "",             "vmx"),
    Set("AMD-V",       "",             "svm"),
};
// clang-format on

struct MitigationRow {
    size_t feature;
    MitigationBit bit;
};

// A bit of the table below; one that another vendor's bit enumerates already (its twin in the field
// table) gives no name or description of its own, and takes its twin's.
constexpr MitigationRow Bit(std::string_view feature, std::string_view name = {},
                            std::string_view what = {}) {
    return {FeatureIndex(feature), {feature, name, what}};
}

// clang-format off
constexpr MitigationRow kMitigationRows[] = {
    //  feature                name                 what
    Bit("spec_ctrl",           "IBRS/IBPB",         "indirect branch restricted speculation and the predictor barrier (Spectre v2)"),
    Bit("intel_stibp",         "STIBP",             "single-thread indirect branch predictors (Spectre v2 across threads)"),
    Bit("spec_ctrl_ssbd",      "SSBD",              "speculative store bypass disable (Spectre v4)"),
    Bit("flush_l1d",           "L1D_FLUSH",         "L1 data cache flush on demand (L1TF)"),
    Bit("md_clear",            "MD_CLEAR",          "VERW clears the CPU buffers (MDS, TAA, MMIO stale data)"),
    Bit("arch_capabilities",   "ARCH_CAPABILITIES", "the MSR that says which vulnerabilities the processor is free of"),
    Bit("srbds_ctrl",          "SRBDS_CTRL",        "control of the special register buffer mitigation (SRBDS)"),
    Bit("tsx_force_abort",     "TSX_FORCE_ABORT",   "TSX transactions can be made to abort (TAA)"),
    Bit("rtm_always_abort",    "RTM_ALWAYS_ABORT",  "RTM transactions always abort"),
    Bit("rrsba_ctrl",          "RRSBA_CTRL",        "control of return stack buffer alternate predictions (Retbleed)"),
    Bit("bhi_ctrl",            "BHI_DIS_S",         "branch history injection control (BHI)"),
    Bit("amd_ibpb",            "IBPB",              "indirect branch prediction barrier (Spectre v2)"),
    Bit("amd_ibrs",            "IBRS",              "indirect branch restricted speculation (Spectre v2)"),
    Bit("amd_stibp"),
    Bit("amd_stibp_always_on", "STIBP always on",   "STIBP is always on: no need to set it"),
    Bit("amd_ssbd"),
    Bit("virt_ssbd",           "VIRT_SSBD",         "speculative store bypass disable through the hypervisor's MSR"),
    Bit("amd_ssb_no",          "SSB_NO",            "not affected by speculative store bypass"),
    Bit("amd_psfd",            "PSFD",              "predictive store forwarding disable"),
    Bit("btc_no",              "BTC_NO",            "not affected by branch type confusion (Retbleed)"),
    Bit("amd_ibpb_ret",        "IBPB_RET",          "IBPB also clears the return address predictor"),
    Bit("autoibrs",            "AutoIBRS",          "automatic IBRS: kernel code runs restricted without a barrier"),
    Bit("sbpb",                "SBPB",              "selective branch predictor barrier"),
    Bit("ibpb_brtype",         "IBPB_BRTYPE",       "IBPB flushes all branch type predictions (SRSO)"),
    Bit("srso_no",             "SRSO_NO",           "not affected by speculative return stack overflow"),
};
// clang-format on

// The rows with a twin's name and description filled in.
constexpr auto kMitigationBits = [] {
    std::array<MitigationRow, std::size(kMitigationRows)> rows{};
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = kMitigationRows[i];
        if (!rows[i].bit.name.empty()) continue;
        for (const FeatureTwin& t : kFeatureTwins)
            if (t.twin == rows[i].feature)
                for (const MitigationRow& r : kMitigationRows)
                    if (r.feature == t.row) rows[i].bit = {rows[i].bit.feature, r.bit.name, r.bit.what};
        if (rows[i].bit.name.empty()) throw "a mitigation bit without a name or a twin that has one";
    }
    return rows;
}();

}  // namespace

std::vector<std::string> InstructionSets(const FeatureSet& features) {
    std::vector<std::string> sets;
    std::string_view open;  // the family whose entry is being written
    for (const InstructionSet& s : kInstructionSets) {
        if (!features[s.feature]) continue;
        if (!s.member.empty() && s.family == open) {
            sets.back() += "/";
            sets.back() += s.member;
            continue;
        }
        sets.emplace_back(s.family);
        if (!s.member.empty()) sets.back() += " " + std::string(s.member);
        open = s.family;
    }
    return sets;
}

std::vector<const MitigationBit*> MitigationBits(const FeatureSet& features) {
    std::vector<const MitigationBit*> bits;
    for (const MitigationRow& row : kMitigationBits)
        if (features[row.feature]) bits.push_back(&row.bit);
    return bits;
}

}  // namespace talvex
