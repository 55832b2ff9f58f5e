// Each machine's processor details against what Linux decoded of the same processors: the
// /proc/cpuinfo flags and address sizes, the sysfs cache folders, the x86-64 levels ld.so
// supports and lscpu's hypervisor vendor. This machine is captured through the hardware source on
// each processor it may run on; a recorded machine is read from its `cpuid -r`. Both are decoded
// from the recorded leaves, as the window and `talvex-report --details` decode them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "probe/details/capture.h"
#include "probe/details/details.h"
#include "support/machine_said.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

using testing::MachineSaid;

// A machine as Talvex reads it: details of each processor, numbered as the system numbers them.
struct Machine {
    MachineSaid said;
    std::vector<unsigned> os_ids;
    std::vector<DumpProcessor> dumps;
    std::vector<ProcessorDetails> all;
};

// Decoded from a capture, not live, so that a leaf the capture fails to record shows.
Machine Read(const std::string& name) {
    Machine m{testing::Said(name), {}, {}, {}};
    std::vector<DumpProcessor>& dumps = m.dumps;
    if (m.said.live) {
        LinuxPlatform os;
        for (ProcessorCapture& c : CaptureProcessors(os, HardwareSource(), os.ThreadAffinity())) {
            if (c.status != PinStatus::Stayed) continue;
            m.os_ids.push_back(c.processor.os());
            dumps.push_back(std::move(c.dump));
        }
    } else {
        for (auto& [number, section] : testing::CpuidRSections(m.said)) {
            m.os_ids.push_back(number);
            dumps.push_back(section);
        }
    }
    m.all = GetRecordedDetails(dumps, m.os_ids);
    return m;
}

class MachineDetails : public ::testing::TestWithParam<std::string> {
protected:
    // Read once a run: pinning to every processor in turn is not free on a large machine.
    static const Machine& Get(const std::string& name) {
        static std::map<std::string, Machine> read;
        auto it = read.find(name);
        if (it == read.end()) it = read.emplace(name, Read(name)).first;
        return it->second;
    }
    const Machine& machine() const { return Get(GetParam()); }
};

// Names /proc/cpuinfo may show although CPUID leaves every bit of that name in the table clear: the
// kernel sets them itself, or reads them from a bit the table does not hold.
struct KernelSetName {
    std::string_view name;
    std::string_view why;
};
// clang-format off
constexpr KernelSetName kSetByKernel[] = {
    // name            why
    {"hypervisor",     "Xen PV guests: the kernel marks itself as running on a hypervisor"},
    {"lfence_rdtsc",   "LFENCE made dispatch-serializing through an MSR (AMD, Hygon), or known to be (Intel)"},
    {"ibpb_brtype",    "AMD family 17h with IBPB, family 19h once SBPB is accepted: set by the kernel"},
    {"sbpb",           "AMD family 19h: set once a write of SBPB to PRED_CMD succeeds"},
    {"srso_no",        "AMD before family 19h without SMT: set by the SRSO mitigation code"},
    {"intel_ppin",     "Intel server models before the CPUID bit: set once the PPIN MSR reads back"},
    {"amd_ppin",       "AMD families 17h on: set once the PPIN MSR reads back, whatever CPUID says"},
    {"arat",           "AMD after family 11h: set on the family alone"},
};
// clang-format on

bool SetByKernel(const std::string& name) {
    for (const KernelSetName& k : kSetByKernel)
        if (k.name == name) return true;
    return false;
}

// The kernel's vocabulary changes with its version, in both directions: names come, names go
// into hiding. So only one direction is strict, the one no version can break: a name the kernel
// shows that the table has must be set by CPUID (under any of the table's rows of that name). A
// name CPUID sets that the kernel does not show is counted, not refused.
TEST_P(MachineDetails, FeaturesAgreeWithProcCpuinfo) {
    const Machine& m = machine();
    const auto blocks = testing::ProcCpuinfoText(m.said.proc_cpuinfo);
    if (blocks.empty() || blocks.begin()->second.count("flags") == 0) GTEST_SKIP() << "no x86 /proc/cpuinfo";
    std::map<std::string, std::vector<size_t>> rows;
    for (size_t i = 0; i < kFeatureNames.size(); ++i) rows[std::string(kFeatureNames[i].name)].push_back(i);
    for (size_t p = 0; p < m.all.size(); ++p) {
        SCOPED_TRACE("processor " + std::to_string(m.os_ids[p]));
        const auto block = blocks.find(m.os_ids[p]);
        ASSERT_NE(block, blocks.end());
        const ProcessorDetails& d = m.all[p];
        std::set<std::string> shown;
        std::istringstream words(block->second.at("flags"));
        for (std::string w; words >> w;) shown.insert(w);
        size_t agreed = 0;
        for (const std::string& name : shown) {
            const auto row = rows.find(name);
            if (row == rows.end()) continue;  // not a CPUID bit, or one the table does not name
            bool set = false;
            for (size_t i : row->second) set = set || d.features[i];
            if (set) {
                ++agreed;
            } else if (!SetByKernel(name)) {
                ADD_FAILURE() << name << ": the kernel shows it, CPUID leaves it clear";
            }
        }
        // Every x86-64 kernel shows at least fpu, tsc, cx8, sse and sse2.
        EXPECT_GE(agreed, 5u);
        std::string hidden;
        for (size_t i = 0; i < kFeatureNames.size(); ++i)
            if (d.features[i] && shown.count(std::string(kFeatureNames[i].name)) == 0)
                hidden += " " + std::string(kFeatureNames[i].name);
        if (p == 0) std::printf("set by CPUID, not shown by this kernel:%s\n", hidden.c_str());

        const auto sizes = block->second.find("address sizes");
        unsigned physical = 0, linear = 0;
        if (sizes != block->second.end()
            && std::sscanf(sizes->second.c_str(), "%u bits physical, %u bits virtual", &physical, &linear)
                   == 2) {
            ASSERT_TRUE(d.address_bits);
            EXPECT_EQ(d.address_bits->linear, linear);
            // Memory encryption (AMD's SME, Intel's TME) keeps its key bits off the physical address.
            if (shown.count("sme") != 0 || shown.count("tme") != 0) {
                EXPECT_LE(physical, d.address_bits->physical);
            } else {
                EXPECT_EQ(d.address_bits->physical, physical);
            }
        }
    }
}

// The kernel's cache folders of each processor read, against the caches and sharing CPUID gives.
TEST_P(MachineDetails, CachesAgreeWithSysfs) {
    const Machine& m = machine();
    const std::set<unsigned> read(m.os_ids.begin(), m.os_ids.end());
    const CacheSharing sharing(m.all);
    size_t compared = 0;
    std::istringstream lines(m.said.sys_cache);
    for (std::string line; std::getline(lines, line);) {
        unsigned cpu = 0, index = 0, level = 0;
        char type[32] = {}, size[32] = {}, ways[32] = {}, bytes[32] = {}, shared[4096] = {};
        if (std::sscanf(line.c_str(),
                        "cpu%u/index%u level=%u type=%31s size=%31s ways=%31s line=%31s shared=%4095s", &cpu,
                        &index, &level, type, size, ways, bytes, shared)
            != 8) {
            ADD_FAILURE() << "unreadable cache line: " << line;
            continue;
        }
        if (read.count(cpu) == 0) continue;  // a processor this process may not run on
        SCOPED_TRACE(line);
        const size_t p =
            static_cast<size_t>(std::find(m.os_ids.begin(), m.os_ids.end(), cpu) - m.os_ids.begin());
        const ProcessorDetails& d = m.all[p];
        const std::string kind = type;
        const CacheType want = kind == "Data"          ? CacheType::Data
                               : kind == "Instruction" ? CacheType::Instruction
                                                       : CacheType::Unified;
        size_t i = 0;
        while (i < d.caches.size() && !(d.caches[i].level == level && d.caches[i].type == want)) ++i;
        ASSERT_LT(i, d.caches.size()) << "no L" << level << " " << kind << " cache in the details";
        const CacheDetails& c = d.caches[i];
        EXPECT_EQ(std::to_string(c.size) + "K", size);
        EXPECT_EQ(std::to_string(c.ways), ways);
        EXPECT_EQ(std::to_string(c.line_bytes), bytes);
        if (c.shared_by) {
            std::set<unsigned> kernel;
            for (unsigned k : testing::CpuList(shared))
                if (read.count(k) != 0) kernel.insert(k);
            std::set<unsigned> ours;
            for (ProcessorNumber number : sharing.Of(p, i)) ours.insert(number.os());
            EXPECT_EQ(ours, kernel);
        }
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "the kernel lists no caches here";
}

// The highest x86-64 level glibc's loader marks "supported" (the baseline when it names none).
TEST_P(MachineDetails, LevelAgreesWithTheDynamicLoader) {
    const std::string& help = machine().said.ldso_hwcaps;
    if (help.find("x86-64-v2") == std::string::npos)
        GTEST_SKIP() << "the loader predates glibc-hwcaps (glibc 2.33) and names no level";
    unsigned level = 1;
    for (unsigned v = 2; v <= 4; ++v)
        if (help.find("x86-64-v" + std::to_string(v) + " (supported") != std::string::npos) level = v;
    for (const ProcessorDetails& d : machine().all)
        EXPECT_EQ(d.x86_64_level, level) << "processor " << d.cpu.counted();
}

TEST_P(MachineDetails, HypervisorAgreesWithLscpu) {
    const std::string& lscpu = machine().said.lscpu;
    ASSERT_NE(lscpu.find("Architecture:"), std::string::npos) << "lscpu is missing";
    std::string vendor;
    if (const auto at = lscpu.find("Hypervisor vendor:"); at != std::string::npos) {
        const auto start = lscpu.find_first_not_of(' ', at + 18);
        vendor = lscpu.substr(start, lscpu.find('\n', start) - start);
    }
    // lscpu's names for the vendor texts of leaf 0x40000000.
    const std::map<std::string, std::string> names = {{"KVMKVMKVM", "KVM"},
                                                      {"Microsoft Hv", "Microsoft"},
                                                      {"VMwareVMware", "VMware"},
                                                      {"XenVMMXenVMM", "Xen"}};
    for (const ProcessorDetails& d : machine().all) {
        SCOPED_TRACE("processor " + std::to_string(d.cpu.counted()));
        if (!d.hypervisor) {
            EXPECT_EQ(vendor, "");
            continue;
        }
        const std::string ours(d.hypervisor->view());
        const auto name = names.find(ours);
        if (name != names.end()) {
            EXPECT_EQ(name->second, vendor);
            continue;
        }
        // A vendor text lscpu has no name for: lscpu must not name one of those it knows either.
        for (const auto& [text, known] : names) EXPECT_NE(known, vendor) << "Talvex reads \"" << ours << "\"";
        std::printf("hypervisor \"%s\" has no lscpu name, not compared\n", ours.c_str());
    }
}

// The kernel's own words: the microcode revision of each processor as /proc/cpuinfo gives it, and
// the verdict of each vulnerability, read through the platform as the window and talvex-report read
// them: on this machine from its files, on a recorded one from its files laid out as the kernel's.
TEST_P(MachineDetails, MicrocodeAndSecurityAsTheKernelSaysThem) {
    const Machine& m = machine();
    // grep's lines, "name:verdict" or "/sys/.../name:verdict" (a file's name holds no colon).
    std::map<std::string, std::string> verdicts;
    std::istringstream lines(m.said.sys_vulnerabilities);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string path = line.substr(0, colon);
        verdicts[path.substr(path.rfind('/') + 1)] = line.substr(colon + 1);
    }
    const testing::TempDir dir;
    std::string root;
    if (!m.said.live) {
        root = (dir / "").string();
        const std::filesystem::path folder = dir / "sys/devices/system/cpu/vulnerabilities";
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(dir / "proc");
        testing::Spill(dir / "proc/cpuinfo", m.said.proc_cpuinfo);
        for (const auto& [name, verdict] : verdicts) testing::Spill(folder / name, verdict + "\n");
    }
    const LinuxPlatform os(root);
    const std::vector<ProcessorDetails> all = GetRecordedDetails(m.dumps, m.os_ids, &os);

    const auto blocks = testing::ProcCpuinfoText(m.said.proc_cpuinfo);
    size_t revisions = 0;
    for (size_t p = 0; p < all.size(); ++p) {
        const ProcessorDetails& d = all[p];
        SCOPED_TRACE("processor " + std::to_string(m.os_ids[p]));
        const auto block = blocks.find(m.os_ids[p]);
        if (block != blocks.end() && block->second.count("microcode") != 0) {
            ASSERT_TRUE(d.microcode);
            EXPECT_EQ(*d.microcode, std::stoull(block->second.at("microcode"), nullptr, 16));
            ++revisions;
        }
        if (verdicts.empty()) continue;  // a kernel before 4.15 has no such folder
        ASSERT_TRUE(d.vulnerabilities);
        std::map<std::string, std::string> ours;
        for (const Vulnerability& v : *d.vulnerabilities) ours[v.name] = v.status;
        EXPECT_EQ(ours, verdicts);
    }
    if (revisions == 0) std::printf("no microcode revision in /proc/cpuinfo here: not compared\n");
}

// Packages, cores and threads counted from the processors' APIC IDs, against the kernel's topology
// as lscpu sums it up.
TEST_P(MachineDetails, CountsAgreeWithLscpu) {
    const Machine& m = machine();
    const auto field = [&](const std::string& key) -> unsigned {
        const auto at = m.said.lscpu.find("\n" + key + ":");
        return at == std::string::npos
                   ? 0
                   : static_cast<unsigned>(std::stoul(m.said.lscpu.substr(at + key.size() + 2)));
    };
    const unsigned sockets = field("Socket(s)"), cores = field("Core(s) per socket"),
                   threads = field("Thread(s) per core");
    if (sockets * cores * threads == 0) GTEST_SKIP() << "lscpu gives no topology here";
    const LinuxPlatform os;
    const std::vector<ProcessorDetails> all =
        m.said.live ? GetRecordedDetails(m.dumps, m.os_ids, &os) : GetRecordedDetails(m.dumps, m.os_ids);
    const std::optional<ProcessorCounts> counts = CountProcessors(all);
    if (!counts) GTEST_SKIP() << "the processors examined are not every processor online (taskset?)";
    EXPECT_EQ(counts->packages, sockets);
    EXPECT_EQ(counts->cores, sockets * cores);
    EXPECT_EQ(counts->threads, sockets * cores * threads);
}

INSTANTIATE_TEST_SUITE_P(Machines, MachineDetails, ::testing::ValuesIn(testing::MachineNames()),
                         [](const ::testing::TestParamInfo<std::string>& machine) {
                             return testing::TestName(machine.param);
                         });

}  // namespace
}  // namespace talvex
