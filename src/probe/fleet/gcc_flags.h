#pragma once
// The GCC flags whose code runs on every machine of a fleet. GCC's options for instruction-set
// extensions, each with the CPUID bit that says a processor has the extension and the macro GCC defines
// while the option is on; which options a -march= turns on, and which options the installed GCC knows,
// are asked of GCC itself (its predefined macros and its option list), not taken from a list of its
// versions.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "probe/details/details.h"
#include "probe/leaves/feature_names.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/run_program.h"
#include "probe/text/inline_text.h"

namespace talvex {

struct FleetBaseline;

struct GccOption {
    InlineText<23> option;  // "-mavx2"
    InlineText<39> macro;   // defined while the option is on: "__AVX2__"
    uint16_t feature;       // the named bit that says a processor has the extension: a row of kFeatureNames
    // Suggested on its own; false where another row's option turns it on (-msse4.2 brings -mcrc32) or
    // where it is an older spelling of one (-mabm of -mlzcnt and -mpopcnt).
    bool listed;
};

// By register, then bit, as the field table lists them.
// clang-format off
inline constexpr GccOption kGccOptions[] = {
    // option                 macro                                   the processor's bit             listed
    {"-mmmx",                  "__MMX__",                              NamedBit("mmx"),                   true},
    {"-mfxsr",                 "__FXSR__",                             NamedBit("fxsr"),                  true},
    {"-msse",                  "__SSE__",                              NamedBit("sse"),                   true},
    {"-msse2",                 "__SSE2__",                             NamedBit("sse2"),                  true},
    {"-msse3",                 "__SSE3__",                             NamedBit("pni"),                   true},
    {"-mpclmul",               "__PCLMUL__",                           NamedBit("pclmulqdq"),             true},
    {"-mmwait",                "__MWAIT__",                            NamedBit("monitor"),               false},
    {"-mssse3",                "__SSSE3__",                            NamedBit("ssse3"),                 true},
    {"-mfma",                  "__FMA__",                              NamedBit("fma"),                   true},
    {"-mcx16",                 "__GCC_HAVE_SYNC_COMPARE_AND_SWAP_16",  NamedBit("cx16"),                  true},
    {"-msse4.1",               "__SSE4_1__",                           NamedBit("sse4_1"),                true},
    {"-msse4.2",               "__SSE4_2__",                           NamedBit("sse4_2"),                true},
    {"-mcrc32",                "__CRC32__",                            NamedBit("sse4_2"),                false},
    {"-mmovbe",                "__MOVBE__",                            NamedBit("movbe"),                 true},
    {"-mpopcnt",               "__POPCNT__",                           NamedBit("popcnt"),                true},
    {"-maes",                  "__AES__",                              NamedBit("aes"),                   true},
    {"-mxsave",                "__XSAVE__",                            NamedBit("xsave"),                 true},
    {"-mavx",                  "__AVX__",                              NamedBit("avx"),                   true},
    {"-mf16c",                 "__F16C__",                             NamedBit("f16c"),                  true},
    {"-mrdrnd",                "__RDRND__",                            NamedBit("rdrand"),                true},
    {"-mfsgsbase",             "__FSGSBASE__",                         NamedBit("fsgsbase"),              true},
    {"-msgx",                  "__SGX__",                              NamedBit("sgx"),                   true},
    {"-mbmi",                  "__BMI__",                              NamedBit("bmi1"),                  true},
    {"-mhle",                  "__HLE__",                              NamedBit("hle"),                   true},
    {"-mavx2",                 "__AVX2__",                             NamedBit("avx2"),                  true},
    {"-mbmi2",                 "__BMI2__",                             NamedBit("bmi2"),                  true},
    {"-mrtm",                  "__RTM__",                              NamedBit("rtm"),                   true},
    {"-mavx512f",              "__AVX512F__",                          NamedBit("avx512f"),               true},
    {"-mevex512",              "__EVEX512__",                          NamedBit("avx512f"),               false},
    {"-mavx512dq",             "__AVX512DQ__",                         NamedBit("avx512dq"),              true},
    {"-mrdseed",               "__RDSEED__",                           NamedBit("rdseed"),                true},
    {"-madx",                  "__ADX__",                              NamedBit("adx"),                   true},
    {"-mavx512ifma",           "__AVX512IFMA__",                       NamedBit("avx512ifma"),            true},
    {"-mclflushopt",           "__CLFLUSHOPT__",                       NamedBit("clflushopt"),            true},
    {"-mclwb",                 "__CLWB__",                             NamedBit("clwb"),                  true},
    {"-mavx512pf",             "__AVX512PF__",                         NamedBit("avx512pf"),              true},
    {"-mavx512er",             "__AVX512ER__",                         NamedBit("avx512er"),              true},
    {"-mavx512cd",             "__AVX512CD__",                         NamedBit("avx512cd"),              true},
    {"-msha",                  "__SHA__",                              NamedBit("sha_ni"),                true},
    {"-mavx512bw",             "__AVX512BW__",                         NamedBit("avx512bw"),              true},
    {"-mavx512vl",             "__AVX512VL__",                         NamedBit("avx512vl"),              true},
    {"-mprefetchwt1",          "__PREFETCHWT1__",                      NamedBit("prefetchwt1"),           true},
    {"-mavx512vbmi",           "__AVX512VBMI__",                       NamedBit("avx512vbmi"),            true},
    {"-mpku",                  "__PKU__",                              NamedBit("pku"),                   true},
    {"-mwaitpkg",              "__WAITPKG__",                          NamedBit("waitpkg"),               true},
    {"-mavx512vbmi2",          "__AVX512VBMI2__",                      NamedBit("avx512_vbmi2"),          true},
    {"-mshstk",                "__SHSTK__",                            NamedBit("shstk"),                 true},
    {"-mgfni",                 "__GFNI__",                             NamedBit("gfni"),                  true},
    {"-mvaes",                 "__VAES__",                             NamedBit("vaes"),                  true},
    {"-mvpclmulqdq",           "__VPCLMULQDQ__",                       NamedBit("vpclmulqdq"),            true},
    {"-mavx512vnni",           "__AVX512VNNI__",                       NamedBit("avx512_vnni"),           true},
    {"-mavx512bitalg",         "__AVX512BITALG__",                     NamedBit("avx512_bitalg"),         true},
    {"-mavx512vpopcntdq",      "__AVX512VPOPCNTDQ__",                  NamedBit("avx512_vpopcntdq"),      true},
    {"-mrdpid",                "__RDPID__",                            NamedBit("rdpid"),                 true},
    {"-mkl",                   "__KL__",                               NamedBit("key_locker"),            true},
    {"-mcldemote",             "__CLDEMOTE__",                         NamedBit("cldemote"),              true},
    {"-mmovdiri",              "__MOVDIRI__",                          NamedBit("movdiri"),               true},
    {"-mmovdir64b",            "__MOVDIR64B__",                        NamedBit("movdir64b"),             true},
    {"-menqcmd",               "__ENQCMD__",                           NamedBit("enqcmd"),                true},
    {"-mavx5124vnniw",         "__AVX5124VNNIW__",                     NamedBit("avx512_4vnniw"),         true},
    {"-mavx5124fmaps",         "__AVX5124FMAPS__",                     NamedBit("avx512_4fmaps"),         true},
    {"-muintr",                "__UINTR__",                            NamedBit("uintr"),                 true},
    {"-mavx512vp2intersect",   "__AVX512VP2INTERSECT__",               NamedBit("avx512_vp2intersect"),   true},
    {"-mserialize",            "__SERIALIZE__",                        NamedBit("serialize"),             true},
    {"-mtsxldtrk",             "__TSXLDTRK__",                         NamedBit("tsxldtrk"),              true},
    {"-mpconfig",              "__PCONFIG__",                          NamedBit("pconfig"),               true},
    {"-mamx-bf16",             "__AMX_BF16__",                         NamedBit("amx_bf16"),              true},
    {"-mavx512fp16",           "__AVX512FP16__",                       NamedBit("avx512_fp16"),           true},
    {"-mamx-tile",             "__AMX_TILE__",                         NamedBit("amx_tile"),              true},
    {"-mamx-int8",             "__AMX_INT8__",                         NamedBit("amx_int8"),              true},
    {"-msha512",               "__SHA512__",                           NamedBit("sha512"),                true},
    {"-msm3",                  "__SM3__",                              NamedBit("sm3"),                   true},
    {"-msm4",                  "__SM4__",                              NamedBit("sm4"),                   true},
    {"-mraoint",               "__RAOINT__",                           NamedBit("rao_int"),               true},
    {"-mavxvnni",              "__AVXVNNI__",                          NamedBit("avx_vnni"),              true},
    {"-mavx512bf16",           "__AVX512BF16__",                       NamedBit("avx512_bf16"),           true},
    {"-mcmpccxadd",            "__CMPCCXADD__",                        NamedBit("cmpccxadd"),             true},
    {"-mamx-fp16",             "__AMX_FP16__",                         NamedBit("amx_fp16"),              true},
    {"-mhreset",               "__HRESET__",                           NamedBit("hreset"),                true},
    {"-mavxifma",              "__AVXIFMA__",                          NamedBit("avx_ifma"),              true},
    {"-mavxvnniint8",          "__AVXVNNIINT8__",                      NamedBit("avx_vnni_int8"),         true},
    {"-mavxneconvert",         "__AVXNECONVERT__",                     NamedBit("avx_ne_convert"),        true},
    {"-mamx-complex",          "__AMX_COMPLEX__",                      NamedBit("amx_complex"),           true},
    {"-mavxvnniint16",         "__AVXVNNIINT16__",                     NamedBit("avx_vnni_int16"),        true},
    {"-mprefetchi",            "__PREFETCHI__",                        NamedBit("prefetchiti"),           true},
    {"-musermsr",              "__USER_MSR__",                         NamedBit("user_msr"),              true},
    {"-mxsaveopt",             "__XSAVEOPT__",                         NamedBit("xsaveopt"),              true},
    {"-mxsavec",               "__XSAVEC__",                           NamedBit("xsavec"),                true},
    {"-mxsaves",               "__XSAVES__",                           NamedBit("xsaves"),                true},
    {"-mptwrite",              "__PTWRITE__",                          NamedBit("ptwrite"),               true},
    {"-mwidekl",               "__WIDEKL__",                           NamedBit("aes_keylocker_wide"),    true},
    {"-msahf",                 "__LAHF_SAHF__",                        NamedBit("lahf_lm"),               true},
    {"-mlzcnt",                "__LZCNT__",                            NamedBit("abm"),                   true},
    {"-mabm",                  "__ABM__",                              NamedBit("abm"),                   false},
    {"-msse4a",                "__SSE4A__",                            NamedBit("sse4a"),                 true},
    {"-mprfchw",               "__PRFCHW__",                           NamedBit("3dnowprefetch"),         true},
    {"-mxop",                  "__XOP__",                              NamedBit("xop"),                   true},
    {"-mlwp",                  "__LWP__",                              NamedBit("lwp"),                   true},
    {"-mfma4",                 "__FMA4__",                             NamedBit("fma4"),                  true},
    {"-mtbm",                  "__TBM__",                              NamedBit("tbm"),                   true},
    {"-mmwaitx",               "__MWAITX__",                           NamedBit("mwaitx"),                true},
    {"-m3dnowa",               "__3dNOW_A__",                          NamedBit("3dnowext"),              true},
    {"-m3dnow",                "__3dNOW__",                            NamedBit("3dnow"),                 true},
    {"-mclzero",               "__CLZERO__",                           NamedBit("clzero"),                true},
    {"-mwbnoinvd",             "__WBNOINVD__",                         NamedBit("wbnoinvd"),              true},
};
// clang-format on

// Whether the features say the processor has the extension of kGccOptions[row].
inline bool HasGccExtension(const FeatureSet& features, size_t row) {
    return features[kGccOptions[row].feature];
}

enum class GccNote : uint8_t {
    Checked,            // `detail`: the compiler and its version, "gcc 12.2.0"
    NotChecked,         // `detail`: why the compiler could not be asked, or what it did not answer
    NoLongMode,         // some machine has no long mode: no x86-64 flags run on all
    MarchUnknown,       // the compiler does not know -march=`detail`, every machine's microarchitecture
    MarchUnchecked,     // -march=`detail` turns on extensions the table does not know (in `more`)
    ExtensionsDropped,  // the compiler turns on more with the -m options than every machine has
};
struct GccNoteText {
    GccNote note;
    std::string detail;
    std::string more;
};

struct GccFlags {
    std::vector<std::string> flags;  // empty with NoLongMode
    bool checked = false;            // the compiler accepted them and turns on nothing a machine lacks
    std::vector<GccNoteText> notes;
};

// How long the compiler may take, and how much it may say: each question, and all of them together.
struct GccLimits {
    std::chrono::milliseconds question = std::chrono::seconds(20);
    std::chrono::milliseconds all = std::chrono::seconds(60);
    size_t max_out = 1u << 20;  // GCC's longest answer, its option list, is some 40 KB
};

// The flags for `fleet`: -march= of the microarchitecture every machine shares when the compiler knows
// it, else -march=x86-64-vN of the fleet's level (the highest of those the compiler knows); either way
// -m for each further extension every machine has, and -mno- for each extension the -march= turns on
// that some machine lacks. Checked with the compiler `compiler` ("gcc", looked up in PATH; "": not
// asked), run through RunProgram, whose predefined macros must show nothing a machine lacks, and
// each extension the flags ask for. A question counts as answered only by what it asks for (an
// option list, x86-64's predefined macros); where the compiler cannot be run or does not answer
// within `limits`, the flags come from the table alone and a note says why.
GccFlags SuggestGccFlags(const FleetBaseline& fleet, const std::string& compiler,
                         const GccLimits& limits = {});

}  // namespace talvex
