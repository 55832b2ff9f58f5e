// Machines compared and fleets summed up, over groups of the real dumps whose answer is known by
// construction; the GCC flags handed to the installed GCC, whose macros are checked against each
// machine's Linux feature names; and on this machine the flags build and run a program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "probe/fleet/fleet.h"
#include "probe/platform/run_program.h"
#include "support/dumps.h"
#include "support/files.h"
#include "support/machine_said.h"

namespace talvex {
namespace {

using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::Not;

const std::string kZen3 = "amd-ryzen-9-5950x-vermeer.txt";
const std::string kZen4 = "amd-ryzen-7-7700x-raphael.txt";
const std::string kZen5 = "amd-ryzen-9-9950x-granite-ridge.txt";
const std::string kAlderLake = "intel-core-i9-12900k-alder-lake.txt";
const std::string kCascadeLake = "intel-core-i9-10980xe-cascade-lake-x.txt";
const std::string kRocketLake = "intel-core-i7-11700k-rocket-lake.txt";
const std::string kHaswell = "intel-core-i7-4770-haswell.txt";
const std::string kSkylake = "intel-core-i7-6700k-skylake.txt";
const std::string kCoffeeLake = "intel-core-i7-8700k-coffee-lake.txt";
const std::string kPentium3 = "intel-pentium-iii-katmai.txt";
const std::string kMilanVm = "amd-epyc-milan-kvm-linux-6.18";  // a recorded machine: Zen 3 under KVM
const std::string kGenoaVm = "amd-epyc-genoa-kvm-linux-6.18";  // Zen 4 under KVM

DumpProcessor Load(const std::string& name) {
    if (name.ends_with(".txt")) return testing::Normalized(name);
    return ReadDumpFile(testing::kMachines + "/" + name + "/cpuid-r.txt").at(0);
}

ProcessorDetails DetailsOf(const std::string& name) {
    const testing::Replayed r(Load(name));
    return GetProcessorDetails(r.probe);
}

std::vector<std::string> Names(const std::vector<size_t>& features, const FeatureSet& names) {
    std::vector<std::string> out;
    for (size_t f : features) out.push_back(MachineFeatureName(f, names));
    return out;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

struct Group {
    const char* what;
    std::vector<std::string> machines;
    unsigned level;
    std::vector<size_t> held_back;    // machines held at `level`
    std::vector<std::string> lacks;   // what the first of them lacks of the next level
    std::vector<std::string> common;  // among the features every machine has
    // Pairs: whether they are the same, values that differ among others, features only one has.
    bool same;
    std::vector<ProcessorField> differ;
    std::vector<std::string> only_first, only_second;
};

const std::vector<Group>& Groups() {
    using F = ProcessorField;
    static const std::vector<Group> groups = {
        {"a dump against itself", {kZen4, kZen4}, 4, {}, {}, {"avx512f", "amd_ibrs"}, true, {}, {}, {}},
        // Zen 4 adds AVX-512 (x86-64-v4), GFNI and BF16 to Zen 3.
        {"Zen 3 against Zen 4",
         {kZen3, kZen4},
         3,
         {0},
         {"avx512f", "avx512bw", "avx512cd", "avx512dq", "avx512vl"},
         {"avx2", "vaes", "vpclmulqdq", "sha_ni"},
         false,
         {F::Microarchitecture, F::Codename, F::Signature, F::X86_64Level},
         {},
         {"avx512f", "avx512bw", "avx512cd", "avx512dq", "avx512vl", "avx512ifma", "avx512vbmi",
          "avx512_vbmi2", "avx512_vnni", "avx512_bitalg", "avx512_vpopcntdq", "avx512_bf16", "gfni"}},
        // The speculation controls are matched by the feature: Intel's leaf 7 bits, AMD's 0x80000008.
        {"an Intel against an AMD machine",
         {kAlderLake, kZen3},
         3,
         {},
         {},
         {"spec_ctrl/amd_ibrs", "spec_ctrl/amd_ibpb", "intel_stibp/amd_stibp", "spec_ctrl_ssbd/amd_ssbd",
          "avx2", "sha_ni"},
         false,
         {F::Vendor, F::Microarchitecture, F::Brand},
         {"vmx", "hybrid_cpu", "avx_vnni", "gfni"},
         {"svm", "sse4a", "clzero"}},
        {"a group held back by its one Zen 3",
         {kZen4, kCascadeLake, kRocketLake, kZen5, kZen3},
         3,
         {4},
         {"avx512f", "avx512bw", "avx512cd", "avx512dq", "avx512vl"},
         {"avx2", "adx", "bmi2"},
         false,
         {},
         {},
         {}},
        // x86-64's baseline is level 1: a Pentium III lacks SSE2 as well as long mode.
        {"duplicates and a processor without long mode",
         {kHaswell, kHaswell, kPentium3},
         0,
         {2},
         {"sse2", "lm"},
         {"sse", "mmx"},
         false,
         {},
         {},
         {}},
        {"Zen 3 and Zen 4 servers under KVM",
         {kMilanVm, kGenoaVm, kZen4},
         3,
         {0},
         {"avx512f"},
         {"avx2"},
         false,
         {},
         {},
         {}},
    };
    return groups;
}

std::vector<FleetMember> Members(const std::vector<std::string>& machines) {
    std::vector<FleetMember> members;
    for (const std::string& m : machines) {
        const testing::Replayed r(Load(m));
        members.push_back(FleetMemberOf(r.probe));
    }
    return members;
}

TEST(Fleet, GroupsOfRealDumps) {
    for (const Group& g : Groups()) {
        SCOPED_TRACE(g.what);
        const FleetBaseline fleet = Baseline(Members(g.machines));
        EXPECT_EQ(fleet.machines, g.machines.size());
        EXPECT_EQ(fleet.level, g.level);
        std::vector<size_t> held;
        for (const FleetBaseline::HeldBack& h : fleet.held_back) held.push_back(h.machine);
        EXPECT_EQ(held, g.held_back);
        if (!g.lacks.empty() && !fleet.held_back.empty()) {
            std::vector<std::string> lacks;
            for (uint16_t row : fleet.held_back[0].lacks) lacks.emplace_back(kFeatureNames[row].name.view());
            EXPECT_THAT(lacks, IsSupersetOf(g.lacks));
        }
        std::vector<std::string> common;
        for (size_t f = 0; f < kMachineFeatures.size(); ++f)
            if (fleet.common[f]) common.push_back(MachineFeatureName(f, fleet.names));
        EXPECT_THAT(common, IsSupersetOf(g.common));

        // Every feature is on every machine or named with those that lack it, never both.
        std::set<size_t> partial;
        for (const FleetBaseline::Partial& p : fleet.partial) {
            EXPECT_FALSE(fleet.common[p.feature]);
            EXPECT_FALSE(p.lacking.empty());
            EXPECT_LT(p.lacking.size(), g.machines.size());
            partial.insert(p.feature);
        }

        if (g.machines.size() != 2) continue;
        const ProcessorDetails a = DetailsOf(g.machines[0]), b = DetailsOf(g.machines[1]);
        const ProcessorComparison c = CompareProcessors(a, b);
        EXPECT_EQ(c.Same(), g.same);
        EXPECT_THAT(c.fields, IsSupersetOf(g.differ));
        EXPECT_THAT(Names(c.only_a, a.features), IsSupersetOf(g.only_first));
        EXPECT_THAT(Names(c.only_b, b.features), IsSupersetOf(g.only_second));
        // A pair's features only one has are the fleet's partial ones, and nothing common is among them.
        std::set<size_t> either(c.only_a.begin(), c.only_a.end());
        either.insert(c.only_b.begin(), c.only_b.end());
        EXPECT_EQ(either, partial);
        for (const std::string& name : g.common) {
            EXPECT_THAT(Names(c.only_a, a.features), Not(Contains(name)));
            EXPECT_THAT(Names(c.only_b, b.features), Not(Contains(name)));
        }
    }
}

// What GCC predefines with `flags`; empty when it refuses them.
std::set<std::string> Macros(const std::vector<std::string>& flags) {
    std::vector<std::string> args = flags;
    for (const char* a : {"-dM", "-E", "-x", "c", "/dev/null"}) args.emplace_back(a);
    const ProgramRun run = RunProgram("gcc", args);
    std::set<std::string> macros;
    if (!run.ran || run.status != 0) return macros;
    for (size_t at = run.out.find("#define "); at != std::string::npos;
         at = run.out.find("#define ", at + 1)) {
        const size_t start = at + 8;
        macros.insert(run.out.substr(start, run.out.find_first_of(" (\n", start) - start));
    }
    return macros;
}

bool HaveGcc() { return RunProgram("gcc", {"--version"}).ran; }

// GCC's macro of each extension and the name Linux gives the feature, written here from the two
// projects' own documentation, apart from the program's table of options and CPUID bits.
// clang-format off
const std::map<std::string, std::string> kMacroToLinux = {
    {"__SSE3__", "pni"},          {"__SSSE3__", "ssse3"},        {"__SSE4_1__", "sse4_1"},
    {"__SSE4_2__", "sse4_2"},     {"__CRC32__", "sse4_2"},       {"__POPCNT__", "popcnt"},
    {"__LAHF_SAHF__", "lahf_lm"}, {"__GCC_HAVE_SYNC_COMPARE_AND_SWAP_16", "cx16"},
    {"__AVX__", "avx"},           {"__AVX2__", "avx2"},          {"__FMA__", "fma"},
    {"__F16C__", "f16c"},         {"__BMI__", "bmi1"},           {"__BMI2__", "bmi2"},
    {"__LZCNT__", "abm"},         {"__ABM__", "abm"},            {"__MOVBE__", "movbe"},
    {"__XSAVE__", "xsave"},       {"__XSAVEOPT__", "xsaveopt"},  {"__XSAVEC__", "xsavec"},
    {"__XSAVES__", "xsaves"},     {"__AES__", "aes"},            {"__PCLMUL__", "pclmulqdq"},
    {"__SHA__", "sha_ni"},        {"__RDRND__", "rdrand"},       {"__RDSEED__", "rdseed"},
    {"__ADX__", "adx"},           {"__FSGSBASE__", "fsgsbase"},  {"__CLFLUSHOPT__", "clflushopt"},
    {"__CLWB__", "clwb"},         {"__PRFCHW__", "3dnowprefetch"}, {"__RDPID__", "rdpid"},
    {"__VAES__", "vaes"},         {"__VPCLMULQDQ__", "vpclmulqdq"}, {"__GFNI__", "gfni"},
    {"__PKU__", "pku"},           {"__SGX__", "sgx"},            {"__SSE4A__", "sse4a"},
    {"__MWAITX__", "mwaitx"},     {"__CLZERO__", "clzero"},      {"__WBNOINVD__", "wbnoinvd"},
    {"__AVX512F__", "avx512f"},   {"__AVX512BW__", "avx512bw"},  {"__AVX512CD__", "avx512cd"},
    {"__AVX512DQ__", "avx512dq"}, {"__AVX512VL__", "avx512vl"},  {"__AVX512IFMA__", "avx512ifma"},
    {"__AVX512VBMI__", "avx512vbmi"}, {"__AVX512VBMI2__", "avx512_vbmi2"},
    {"__AVX512VNNI__", "avx512_vnni"}, {"__AVX512BITALG__", "avx512_bitalg"},
    {"__AVX512VPOPCNTDQ__", "avx512_vpopcntdq"}, {"__AVX512BF16__", "avx512_bf16"},
    {"__EVEX512__", "avx512f"},   {"__AVXVNNI__", "avx_vnni"},   {"__MWAIT__", "monitor"},
    {"__SHSTK__", "shstk"},       {"__MOVDIRI__", "movdiri"},    {"__MOVDIR64B__", "movdir64b"},
    {"__WAITPKG__", "waitpkg"},   {"__SERIALIZE__", "serialize"}, {"__CLDEMOTE__", "cldemote"},
};
// clang-format on

// What GCC turns on with `flags` is, by Linux's names, on every machine of the group.
void ExpectRunsOnEvery(const std::vector<std::string>& machines, const std::vector<std::string>& flags) {
    ASSERT_FALSE(flags.empty());
    EXPECT_TRUE(flags[0].starts_with("-march="));
    const std::set<std::string> with = Macros(flags);
    ASSERT_FALSE(with.empty()) << "gcc refuses " << Joined(flags);
    const std::set<std::string> plain = Macros({"-march=x86-64"});
    for (const std::string& m : with) {
        if (plain.count(m) != 0 || m.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
            continue;
        const auto it = kMacroToLinux.find(m);
        if (it == kMacroToLinux.end()) {
            // Macros of the tuning and the floating point, not of an extension.
            EXPECT_FALSE(m.ends_with("__") && m.find("FLT") == std::string::npos)
                << m << " is not known here";
            continue;
        }
        for (const std::string& name : machines) {
            const ProcessorDetails d = DetailsOf(name);
            const auto row = std::find_if(kFeatureNames.begin(), kFeatureNames.end(),
                                          [&](const FeatureName& f) { return f.name == it->second; });
            ASSERT_NE(row, kFeatureNames.end());
            EXPECT_TRUE(d.features[static_cast<size_t>(row - kFeatureNames.begin())])
                << Joined(flags) << " turns on " << m << ", which " << name << " lacks (" << it->second
                << ")";
        }
    }
}

TEST(Fleet, SuggestedFlagsRunOnEveryMachineAsGccSaysThem) {
    if (!HaveGcc()) GTEST_SKIP() << "needs gcc, which is not installed";
    for (const Group& g : Groups()) {
        SCOPED_TRACE(g.what);
        const FleetBaseline fleet = Baseline(Members(g.machines));
        const GccFlags flags = SuggestGccFlags(fleet, "gcc");
        // Without a compiler to ask, the table's own flags.
        const GccFlags unchecked = SuggestGccFlags(fleet, "");
        EXPECT_FALSE(unchecked.checked);
        if (g.level == 0) {
            EXPECT_TRUE(flags.flags.empty());
            EXPECT_TRUE(unchecked.flags.empty());
            continue;
        }
        EXPECT_TRUE(flags.checked) << Joined(flags.flags);
        ExpectRunsOnEvery(g.machines, flags.flags);
        ExpectRunsOnEvery(g.machines, unchecked.flags);
    }
}

// Without a compiler, the flags of a level-1 fleet add none of x86-64's own extensions to -march=x86-64.
TEST(Fleet, UncheckedFlagsLeaveTheBaselineToTheLevel) {
    const GccFlags flags =
        SuggestGccFlags(Baseline(Members({"amd-athlon-64-3200-venice.txt", kHaswell})), "");
    ASSERT_FALSE(flags.flags.empty());
    EXPECT_EQ(flags.flags[0], "-march=x86-64");
    EXPECT_THAT(flags.flags, Contains("-msse3"));
    for (const char* baseline : {"-mmmx", "-mfxsr", "-msse", "-msse2"})
        EXPECT_THAT(flags.flags, Not(Contains(baseline)));
}

// Caches read from different leaves (Intel's leaf 4, AMD's 0x8000001D) but alike in every value shown
// are not a difference.
TEST(Fleet, CachesAlikeInEveryValueDoNotDiffer) {
    const ProcessorDetails a = DetailsOf(kHaswell), b = DetailsOf(kZen3);
    std::vector<std::string> differ;
    for (const CacheDifference& d : CompareProcessors(a, b).caches)
        differ.push_back("L" + std::to_string((d.a != nullptr ? d.a : d.b)->level));
    // 32 KB L1 caches of 8 ways on both; L2 256 KB against 512 KB, L3 8 MB against 32 MB.
    EXPECT_EQ(differ, (std::vector<std::string>{"L2", "L3"}));
}

// A stand-in for GCC, a shell script: it lists the table's options, and predefines __x86_64__ and the
// macros of each -m option given (-mno- takes one away) and of the -march= names in `marches` ("name
// -mopt ...", any other it refuses). `first` runs before it answers.
std::string GccStandIn(const std::vector<std::string>& marches, const std::string& first = "") {
    std::string s = "#!/bin/sh\n" + first + "\nm() { case $1 in\n", list;
    for (const GccOption& o : kGccOptions) {
        s += std::string(o.option.view()) + ") echo " + std::string(o.macro.view()) + ";;\n";
        list += "  " + std::string(o.option.view()) + "\n";
    }
    s += "esac; }\ncase \"$*\" in *--help=target*) cat <<EOF\n  -march=\n" + list + "EOF\nexit 0;; esac\n";
    s += "on=' '\nfor a; do case $a in\n";
    for (const std::string& m : marches) {
        const size_t name = std::min(m.find(' '), m.size());
        s += "-march=" + m.substr(0, name) + ") for o in" + m.substr(name)
             + "; do on=\"$on$(m $o) \"; done;;\n";
    }
    return s + "-march=*) exit 1;;\n-mtune=*) ;;\n"
               "-mno-*) on=$(echo \"$on\" | sed \"s/ $(m -m${a#-mno-}) / /\");;\n"
               "-m*) on=\"$on$(m $a) \";;\nesac; done\necho '#define __x86_64__ 1'\n"
               "for d in $on; do echo \"#define $d 1\"; done\n";
}

const std::string kV1 = " -mmmx -mfxsr -msse -msse2";
const std::string kV3 = kV1 + " -msse3 -mssse3 -msse4.1 -msse4.2 -mpopcnt -mcx16 -msahf"
                              " -mavx -mavx2 -mbmi -mbmi2 -mf16c -mfma -mlzcnt -mmovbe";
const std::vector<std::string> kLevels = {"x86-64" + kV1, "x86-64-v3" + kV3};
const std::vector<std::string> kNamed = {"x86-64" + kV1, "x86-64-v3" + kV3, "skylake" + kV3,
                                         "znver3" + kV3 + " -mpku -mwbnoinvd"};

// Compilers that answer, wrongly, slowly or not at all, as scripts: the flags are checked only by the
// answers asked for, and the compiler is given up within its limits.
TEST(Fleet, TheCompilerIsBelievedOnlyWhenItAnswers) {
    using namespace std::chrono_literals;
    const GccLimits roomy{10s, 120s, 1u << 20}, short_question{300ms, 120s, 1u << 20},
        short_run{10s, 500ms, 1u << 20};
    const std::string silent_macros = "case \"$*\" in *-dM*) exit 0;; esac";
    struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> machines;
        const GccLimits& limits;
        std::string first, among;  // the first flag, and one of the others
        GccNote note;              // a note of this kind, whose detail holds `detail`
        std::string detail;
    } cases[] = {
        // clang-format off
        {"silent success", "#!/bin/sh\nexit 0", {kZen3, kZen4}, roomy, "-march=x86-64-v3", "-msha",
         GccNote::NotChecked, "printed no option list"},
        {"an option list, then silence", GccStandIn({}, silent_macros), {kZen3}, roomy, "-march=x86-64-v3",
         "-msha", GccNote::NotChecked, "-march=znver3 -dM -E printed no x86-64 macros"},
        {"macros without the level's extensions", GccStandIn({"x86-64", "x86-64-v3"}), {kZen3, kZen4}, roomy,
         "-march=x86-64-v3", "-msha", GccNote::NotChecked, "-march=x86-64-v3 -dM -E does not define __MMX__"},
        {"closes its output and goes on", "#!/bin/sh\nexec >&-\nsleep 30", {kZen3}, short_question,
         "-march=x86-64-v3", "-msha", GccNote::NotChecked, "did not end within 300 ms"},
        {"slow answers", GccStandIn(kNamed, "sleep 0.2"), {kZen3}, short_run, "-march=x86-64-v3", "-msha",
         GccNote::NotChecked, "did not answer within 500 ms in all"},
        // GCC's skylake has no RTM, which both machines have.
        {"one microarchitecture", GccStandIn(kNamed), {kSkylake, kCoffeeLake}, roomy, "-march=skylake",
         "-mrtm", GccNote::Checked, ""},
        // The virtual machine lacks what its hypervisor hides.
        {"one microarchitecture, turned down", GccStandIn(kNamed), {kZen3, kMilanVm}, roomy, "-march=znver3",
         "-mno-pku", GccNote::Checked, ""},
        {"one microarchitecture the compiler does not know", GccStandIn(kLevels), {kZen3, kMilanVm}, roomy,
         "-march=x86-64-v3", "-maes", GccNote::MarchUnknown, "znver3"},
        // clang-format on
    };
    const testing::TempDir dir;
    const auto script = [&](const std::string& name, const std::string& text) {
        testing::Spill(dir / name, text + "\n");
        std::filesystem::permissions(dir / name, std::filesystem::perms::owner_all);
        return (dir / name).string();
    };
    const ProgramRun can = RunProgram(script("true", "#!/bin/sh"), {});
    if (!can.ran) GTEST_SKIP() << "the temporary directory does not let programs run: " << can.error;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GccFlags flags = SuggestGccFlags(Baseline(Members(c.machines)),
                                               script("gcc" + std::to_string(n++), c.script), c.limits);
        EXPECT_EQ(flags.checked, c.note != GccNote::NotChecked) << Joined(flags.flags);
        ASSERT_FALSE(flags.flags.empty());
        EXPECT_EQ(flags.flags[0], c.first);
        EXPECT_THAT(flags.flags, Contains(c.among));
        EXPECT_TRUE(std::any_of(flags.notes.begin(), flags.notes.end(), [&](const GccNoteText& note) {
            return note.note == c.note && note.detail.find(c.detail) != std::string::npos;
        })) << (flags.notes.empty() ? "no notes" : flags.notes[0].detail);
    }
}

// The flags of this machine alone build a program that runs here.
TEST(Fleet, ThisMachinesFlagsBuildAProgramThatRunsHere) {
    if (!HaveGcc()) GTEST_SKIP() << "needs gcc, which is not installed";
    const HardwareSource source;
    LinuxPlatform os;
    const std::vector<FleetMember> me{FleetMemberOf(Probe{source, os})};
    const GccFlags flags = SuggestGccFlags(Baseline(me), "gcc");
    ASSERT_TRUE(flags.checked) << Joined(flags.flags);
    const testing::TempDir dir;
    // Loops the vectoriser takes to the widest registers the flags allow, and bit counting; the same
    // program built without the flags says what they must print.
    testing::Spill(dir / "p.c", R"(#include <stdio.h>
long long a[4096], b[4096];
float x[4096];
int main(void) {
    long long sum = 0, bits = 0;
    for (int i = 0; i < 4096; ++i) { a[i] = i; b[i] = 3 * i + 1; x[i] = (float)i / 8; }
    for (int i = 0; i < 4096; ++i) sum += a[i] * b[i] + (long long)(x[i] * x[i] + 0.5f);
    for (unsigned long i = 0; i < 4096; ++i) bits += __builtin_popcountl(i * 2654435761u);
    printf("%lld %lld\n", sum, bits);
    return 0;
}
)");
    const auto build_and_run = [&](std::vector<std::string> args, const std::string& exe) {
        for (const std::string& a :
             {std::string("-O3"), std::string("-o"), (dir / exe).string(), (dir / "p.c").string()})
            args.push_back(a);
        const ProgramRun built = RunProgram("gcc", args);
        EXPECT_TRUE(built.ran && built.status == 0) << "gcc " << Joined(args);
        const ProgramRun ran = RunProgram((dir / exe).string(), {});
        EXPECT_TRUE(ran.ran && ran.status == 0) << exe;
        return ran.out;
    };
    const std::string expected = build_and_run({"-O0"}, "plain");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(build_and_run(flags.flags, "tuned"), expected) << Joined(flags.flags);
}

}  // namespace
}  // namespace talvex
