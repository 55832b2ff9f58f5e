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

#include "probe/details/feature_names.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/run_program.h"
#include "probe/text/inline_text.h"

namespace talvex {

struct FleetBaseline;

struct GccOption {
    InlineText<23> option;  // "-mavx2"
    InlineText<39> macro;   // defined while the option is on: "__AVX2__"
    FeatureRegister reg;    // where the processor says it has the extension
    uint8_t bit;
    // Suggested on its own; false where another row's option turns it on (-msse4.2 brings -mcrc32) or
    // where it is an older spelling of one (-mabm of -mlzcnt and -mpopcnt).
    bool listed;
};

// By register, then bit, as the feature names are.
// clang-format off
inline constexpr GccOption kGccOptions[] = {
    // option                  macro                                   leaf        sub register         bit listed
    {"-mmmx",                  "__MMX__",                              {0x00000001, 0, FeatureReg::EDX}, 23, true},
    {"-mfxsr",                 "__FXSR__",                             {0x00000001, 0, FeatureReg::EDX}, 24, true},
    {"-msse",                  "__SSE__",                              {0x00000001, 0, FeatureReg::EDX}, 25, true},
    {"-msse2",                 "__SSE2__",                             {0x00000001, 0, FeatureReg::EDX}, 26, true},
    {"-msse3",                 "__SSE3__",                             {0x00000001, 0, FeatureReg::ECX},  0, true},
    {"-mpclmul",               "__PCLMUL__",                           {0x00000001, 0, FeatureReg::ECX},  1, true},
    {"-mmwait",                "__MWAIT__",                            {0x00000001, 0, FeatureReg::ECX},  3, false},
    {"-mssse3",                "__SSSE3__",                            {0x00000001, 0, FeatureReg::ECX},  9, true},
    {"-mfma",                  "__FMA__",                              {0x00000001, 0, FeatureReg::ECX}, 12, true},
    {"-mcx16",                 "__GCC_HAVE_SYNC_COMPARE_AND_SWAP_16",  {0x00000001, 0, FeatureReg::ECX}, 13, true},
    {"-msse4.1",               "__SSE4_1__",                           {0x00000001, 0, FeatureReg::ECX}, 19, true},
    {"-msse4.2",               "__SSE4_2__",                           {0x00000001, 0, FeatureReg::ECX}, 20, true},
    {"-mcrc32",                "__CRC32__",                            {0x00000001, 0, FeatureReg::ECX}, 20, false},
    {"-mmovbe",                "__MOVBE__",                            {0x00000001, 0, FeatureReg::ECX}, 22, true},
    {"-mpopcnt",               "__POPCNT__",                           {0x00000001, 0, FeatureReg::ECX}, 23, true},
    {"-maes",                  "__AES__",                              {0x00000001, 0, FeatureReg::ECX}, 25, true},
    {"-mxsave",                "__XSAVE__",                            {0x00000001, 0, FeatureReg::ECX}, 26, true},
    {"-mavx",                  "__AVX__",                              {0x00000001, 0, FeatureReg::ECX}, 28, true},
    {"-mf16c",                 "__F16C__",                             {0x00000001, 0, FeatureReg::ECX}, 29, true},
    {"-mrdrnd",                "__RDRND__",                            {0x00000001, 0, FeatureReg::ECX}, 30, true},
    {"-mfsgsbase",             "__FSGSBASE__",                         {0x00000007, 0, FeatureReg::EBX},  0, true},
    {"-msgx",                  "__SGX__",                              {0x00000007, 0, FeatureReg::EBX},  2, true},
    {"-mbmi",                  "__BMI__",                              {0x00000007, 0, FeatureReg::EBX},  3, true},
    {"-mhle",                  "__HLE__",                              {0x00000007, 0, FeatureReg::EBX},  4, true},
    {"-mavx2",                 "__AVX2__",                             {0x00000007, 0, FeatureReg::EBX},  5, true},
    {"-mbmi2",                 "__BMI2__",                             {0x00000007, 0, FeatureReg::EBX},  8, true},
    {"-mrtm",                  "__RTM__",                              {0x00000007, 0, FeatureReg::EBX}, 11, true},
    {"-mavx512f",              "__AVX512F__",                          {0x00000007, 0, FeatureReg::EBX}, 16, true},
    {"-mevex512",              "__EVEX512__",                          {0x00000007, 0, FeatureReg::EBX}, 16, false},
    {"-mavx512dq",             "__AVX512DQ__",                         {0x00000007, 0, FeatureReg::EBX}, 17, true},
    {"-mrdseed",               "__RDSEED__",                           {0x00000007, 0, FeatureReg::EBX}, 18, true},
    {"-madx",                  "__ADX__",                              {0x00000007, 0, FeatureReg::EBX}, 19, true},
    {"-mavx512ifma",           "__AVX512IFMA__",                       {0x00000007, 0, FeatureReg::EBX}, 21, true},
    {"-mclflushopt",           "__CLFLUSHOPT__",                       {0x00000007, 0, FeatureReg::EBX}, 23, true},
    {"-mclwb",                 "__CLWB__",                             {0x00000007, 0, FeatureReg::EBX}, 24, true},
    {"-mavx512pf",             "__AVX512PF__",                         {0x00000007, 0, FeatureReg::EBX}, 26, true},
    {"-mavx512er",             "__AVX512ER__",                         {0x00000007, 0, FeatureReg::EBX}, 27, true},
    {"-mavx512cd",             "__AVX512CD__",                         {0x00000007, 0, FeatureReg::EBX}, 28, true},
    {"-msha",                  "__SHA__",                              {0x00000007, 0, FeatureReg::EBX}, 29, true},
    {"-mavx512bw",             "__AVX512BW__",                         {0x00000007, 0, FeatureReg::EBX}, 30, true},
    {"-mavx512vl",             "__AVX512VL__",                         {0x00000007, 0, FeatureReg::EBX}, 31, true},
    {"-mprefetchwt1",          "__PREFETCHWT1__",                      {0x00000007, 0, FeatureReg::ECX},  0, true},
    {"-mavx512vbmi",           "__AVX512VBMI__",                       {0x00000007, 0, FeatureReg::ECX},  1, true},
    {"-mpku",                  "__PKU__",                              {0x00000007, 0, FeatureReg::ECX},  3, true},
    {"-mwaitpkg",              "__WAITPKG__",                          {0x00000007, 0, FeatureReg::ECX},  5, true},
    {"-mavx512vbmi2",          "__AVX512VBMI2__",                      {0x00000007, 0, FeatureReg::ECX},  6, true},
    {"-mshstk",                "__SHSTK__",                            {0x00000007, 0, FeatureReg::ECX},  7, true},
    {"-mgfni",                 "__GFNI__",                             {0x00000007, 0, FeatureReg::ECX},  8, true},
    {"-mvaes",                 "__VAES__",                             {0x00000007, 0, FeatureReg::ECX},  9, true},
    {"-mvpclmulqdq",           "__VPCLMULQDQ__",                       {0x00000007, 0, FeatureReg::ECX}, 10, true},
    {"-mavx512vnni",           "__AVX512VNNI__",                       {0x00000007, 0, FeatureReg::ECX}, 11, true},
    {"-mavx512bitalg",         "__AVX512BITALG__",                     {0x00000007, 0, FeatureReg::ECX}, 12, true},
    {"-mavx512vpopcntdq",      "__AVX512VPOPCNTDQ__",                  {0x00000007, 0, FeatureReg::ECX}, 14, true},
    {"-mrdpid",                "__RDPID__",                            {0x00000007, 0, FeatureReg::ECX}, 22, true},
    {"-mkl",                   "__KL__",                               {0x00000007, 0, FeatureReg::ECX}, 23, true},
    {"-mcldemote",             "__CLDEMOTE__",                         {0x00000007, 0, FeatureReg::ECX}, 25, true},
    {"-mmovdiri",              "__MOVDIRI__",                          {0x00000007, 0, FeatureReg::ECX}, 27, true},
    {"-mmovdir64b",            "__MOVDIR64B__",                        {0x00000007, 0, FeatureReg::ECX}, 28, true},
    {"-menqcmd",               "__ENQCMD__",                           {0x00000007, 0, FeatureReg::ECX}, 29, true},
    {"-mavx5124vnniw",         "__AVX5124VNNIW__",                     {0x00000007, 0, FeatureReg::EDX},  2, true},
    {"-mavx5124fmaps",         "__AVX5124FMAPS__",                     {0x00000007, 0, FeatureReg::EDX},  3, true},
    {"-muintr",                "__UINTR__",                            {0x00000007, 0, FeatureReg::EDX},  5, true},
    {"-mavx512vp2intersect",   "__AVX512VP2INTERSECT__",               {0x00000007, 0, FeatureReg::EDX},  8, true},
    {"-mserialize",            "__SERIALIZE__",                        {0x00000007, 0, FeatureReg::EDX}, 14, true},
    {"-mtsxldtrk",             "__TSXLDTRK__",                         {0x00000007, 0, FeatureReg::EDX}, 16, true},
    {"-mpconfig",              "__PCONFIG__",                          {0x00000007, 0, FeatureReg::EDX}, 18, true},
    {"-mamx-bf16",             "__AMX_BF16__",                         {0x00000007, 0, FeatureReg::EDX}, 22, true},
    {"-mavx512fp16",           "__AVX512FP16__",                       {0x00000007, 0, FeatureReg::EDX}, 23, true},
    {"-mamx-tile",             "__AMX_TILE__",                         {0x00000007, 0, FeatureReg::EDX}, 24, true},
    {"-mamx-int8",             "__AMX_INT8__",                         {0x00000007, 0, FeatureReg::EDX}, 25, true},
    {"-msha512",               "__SHA512__",                           {0x00000007, 1, FeatureReg::EAX},  0, true},
    {"-msm3",                  "__SM3__",                              {0x00000007, 1, FeatureReg::EAX},  1, true},
    {"-msm4",                  "__SM4__",                              {0x00000007, 1, FeatureReg::EAX},  2, true},
    {"-mraoint",               "__RAOINT__",                           {0x00000007, 1, FeatureReg::EAX},  3, true},
    {"-mavxvnni",              "__AVXVNNI__",                          {0x00000007, 1, FeatureReg::EAX},  4, true},
    {"-mavx512bf16",           "__AVX512BF16__",                       {0x00000007, 1, FeatureReg::EAX},  5, true},
    {"-mcmpccxadd",            "__CMPCCXADD__",                        {0x00000007, 1, FeatureReg::EAX},  7, true},
    {"-mamx-fp16",             "__AMX_FP16__",                         {0x00000007, 1, FeatureReg::EAX}, 21, true},
    {"-mhreset",               "__HRESET__",                           {0x00000007, 1, FeatureReg::EAX}, 22, true},
    {"-mavxifma",              "__AVXIFMA__",                          {0x00000007, 1, FeatureReg::EAX}, 23, true},
    {"-mavxvnniint8",          "__AVXVNNIINT8__",                      {0x00000007, 1, FeatureReg::EDX},  4, true},
    {"-mavxneconvert",         "__AVXNECONVERT__",                     {0x00000007, 1, FeatureReg::EDX},  5, true},
    {"-mamx-complex",          "__AMX_COMPLEX__",                      {0x00000007, 1, FeatureReg::EDX},  8, true},
    {"-mavxvnniint16",         "__AVXVNNIINT16__",                     {0x00000007, 1, FeatureReg::EDX}, 10, true},
    {"-mprefetchi",            "__PREFETCHI__",                        {0x00000007, 1, FeatureReg::EDX}, 14, true},
    {"-musermsr",              "__USER_MSR__",                         {0x00000007, 1, FeatureReg::EDX}, 15, true},
    {"-mxsaveopt",             "__XSAVEOPT__",                         {0x0000000D, 1, FeatureReg::EAX},  0, true},
    {"-mxsavec",               "__XSAVEC__",                           {0x0000000D, 1, FeatureReg::EAX},  1, true},
    {"-mxsaves",               "__XSAVES__",                           {0x0000000D, 1, FeatureReg::EAX},  3, true},
    {"-mptwrite",              "__PTWRITE__",                          {0x00000014, 0, FeatureReg::EBX},  4, true},
    {"-mwidekl",               "__WIDEKL__",                           {0x00000019, 0, FeatureReg::EBX},  2, true},
    {"-msahf",                 "__LAHF_SAHF__",                        {0x80000001, 0, FeatureReg::ECX},  0, true},
    {"-mlzcnt",                "__LZCNT__",                            {0x80000001, 0, FeatureReg::ECX},  5, true},
    {"-mabm",                  "__ABM__",                              {0x80000001, 0, FeatureReg::ECX},  5, false},
    {"-msse4a",                "__SSE4A__",                            {0x80000001, 0, FeatureReg::ECX},  6, true},
    {"-mprfchw",               "__PRFCHW__",                           {0x80000001, 0, FeatureReg::ECX},  8, true},
    {"-mxop",                  "__XOP__",                              {0x80000001, 0, FeatureReg::ECX}, 11, true},
    {"-mlwp",                  "__LWP__",                              {0x80000001, 0, FeatureReg::ECX}, 15, true},
    {"-mfma4",                 "__FMA4__",                             {0x80000001, 0, FeatureReg::ECX}, 16, true},
    {"-mtbm",                  "__TBM__",                              {0x80000001, 0, FeatureReg::ECX}, 21, true},
    {"-mmwaitx",               "__MWAITX__",                           {0x80000001, 0, FeatureReg::ECX}, 29, true},
    {"-m3dnowa",               "__3dNOW_A__",                          {0x80000001, 0, FeatureReg::EDX}, 30, true},
    {"-m3dnow",                "__3dNOW__",                            {0x80000001, 0, FeatureReg::EDX}, 31, true},
    {"-mclzero",               "__CLZERO__",                           {0x80000008, 0, FeatureReg::EBX},  0, true},
    {"-mwbnoinvd",             "__WBNOINVD__",                         {0x80000008, 0, FeatureReg::EBX},  9, true},
};
// clang-format on

namespace detail {

constexpr bool SameRegister(const FeatureRegister& a, const FeatureRegister& b) {
    return a.leaf == b.leaf && a.subleaf == b.subleaf && a.reg == b.reg;
}

constexpr size_t GccRegisterCount() {
    size_t n = 0;
    for (size_t i = 0; i < std::size(kGccOptions); ++i)
        if (i == 0 || !SameRegister(kGccOptions[i].reg, kGccOptions[i - 1].reg)) ++n;
    return n;
}

}  // namespace detail

// The registers the rows name, in the rows' order (the rows are grouped by register).
inline constexpr auto kGccRegisters = [] {
    std::array<FeatureRegister, detail::GccRegisterCount()> regs{};
    size_t n = 0;
    for (size_t i = 0; i < std::size(kGccOptions); ++i)
        if (i == 0 || !detail::SameRegister(kGccOptions[i].reg, kGccOptions[i - 1].reg))
            regs[n++] = kGccOptions[i].reg;
    return regs;
}();

// One processor's values of kGccRegisters.
using GccRegisterValues = std::array<uint32_t, kGccRegisters.size()>;

// Read through `probe` as the processor details read leaves (a leaf above its range's top is zero).
GccRegisterValues ReadGccRegisters(const Probe& probe);

// Whether the registers say the processor has the extension of kGccOptions[row].
bool HasGccExtension(const GccRegisterValues& values, size_t row);

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
