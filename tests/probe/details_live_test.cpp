// The live processors' details, read through the hardware source on each processor in turn, against
// what Linux decoded of them: /proc/cpuinfo flags and address sizes, /sys/.../cpuN/cache,
// the x86-64 levels ld.so supports, and lscpu's hypervisor vendor.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "probe/details.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

namespace fs = std::filesystem;

// Details of every processor this process may run on, each read while pinned to it.
struct LiveProcessors {
    LiveProcessors() {
        LinuxPlatform os;
        const std::vector<unsigned> allowed = os.ThreadAffinity();
        const HardwareSource hardware;
        for (unsigned k : allowed) {
            if (!os.SetThreadAffinity({k})) continue;
            os_ids.push_back(k);
            all.push_back(GetProcessorDetails(Probe{hardware, os}, ProcessorNumber(k)));
        }
        os.SetThreadAffinity(allowed);
    }
    std::vector<unsigned> os_ids;
    std::vector<ProcessorDetails> all;
};

const LiveProcessors& Live() {
    static const LiveProcessors live;
    return live;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string ReadWord(const fs::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

// "0-3,8" -> {0, 1, 2, 3, 8}
std::set<unsigned> CpuList(const std::string& list) {
    std::set<unsigned> cpus;
    std::istringstream in(list);
    for (std::string part; std::getline(in, part, ',');) {
        if (part.empty()) continue;
        const auto dash = part.find('-');
        const unsigned first = static_cast<unsigned>(std::stoul(part.substr(0, dash)));
        const unsigned last =
            dash == std::string::npos ? first : static_cast<unsigned>(std::stoul(part.substr(dash + 1)));
        for (unsigned c = first; c <= last; ++c) cpus.insert(c);
    }
    return cpus;
}

// Names the kernel keeps out of /proc/cpuinfo (its macros without a shown name).
const std::set<std::string> kHiddenByKernel = {
    "osxsave",           "amd_ibpb",         "amd_ibrs",    "amd_stibp",
    "amd_ssbd",          "spec_ctrl",        "intel_stibp", "spec_ctrl_ssbd",
    "lfence_rdtsc",      "no_smm_ctl_msr",   "ibpb_brtype", "null_sel_clr_base",
    "no_nested_data_bp", "wrmsr_xx_base_ns", "sbpb",        "srso_no",
};
// Bits the processor sets and the kernel clears on purpose.
const std::set<std::string> kClearedByKernel = {
    "xsaves",              // AMD family 17h: erratum 1386, XSAVES corrupts state
    "rdrand",              // AMD families 15h/16h: RDRAND broken after resume
    "tsc_deadline_timer",  // Intel models with the deadline timer erratum, or an old microcode
    "x2apic",              // x2APIC left off (no interrupt remapping, or nox2apic)
    "la57",                // 5-level paging not built in or turned off
    "rtm",
    "hle",  // TSX turned off (tsx=off, or the TAA mitigation)
    "sgx",
    "sgx_lc",  // SGX not enabled by the firmware or the kernel
    "shstk",
    "ibt",  // control-flow enforcement not used by this kernel
    "lam",
    "fred",
    "pku",  // features the kernel enables only when configured to
};

TEST(DetailsLive, FeaturesAgreeWithProcCpuinfo) {
    const auto blocks = testing::ProcCpuinfo();
    if (blocks.empty() || blocks.begin()->second.count("flags") == 0) GTEST_SKIP() << "no x86 /proc/cpuinfo";
    const LiveProcessors& live = Live();
    for (size_t p = 0; p < live.all.size(); ++p) {
        SCOPED_TRACE("processor " + std::to_string(live.os_ids[p]));
        const auto block = blocks.find(live.os_ids[p]);
        ASSERT_NE(block, blocks.end());
        std::set<std::string> kernel;
        std::istringstream words(block->second.at("flags"));
        for (std::string w; words >> w;) kernel.insert(w);
        for (size_t i = 0; i < kFeatureNames.size(); ++i) {
            const std::string name(kFeatureNames[i].name);
            const bool ours = live.all[p].features[i];
            if (ours == (kernel.count(name) != 0) || kHiddenByKernel.count(name) != 0) continue;
            if (ours && kClearedByKernel.count(name) != 0) continue;
            ADD_FAILURE() << name << ": CPUID says " << ours << ", the kernel " << !ours;
        }
        const std::string sizes =
            block->second.count("address sizes") ? block->second.at("address sizes") : "";
        unsigned physical = 0, linear = 0;
        if (std::sscanf(sizes.c_str(), "%u bits physical, %u bits virtual", &physical, &linear) == 2) {
            ASSERT_TRUE(live.all[p].address_bits);
            EXPECT_EQ(*live.all[p].address_bits, (AddressBits{physical, linear}));
        }
    }
}

TEST(DetailsLive, CachesAgreeWithSysfs) {
    const LiveProcessors& live = Live();
    const std::set<unsigned> allowed(live.os_ids.begin(), live.os_ids.end());
    size_t compared = 0;
    for (size_t p = 0; p < live.all.size(); ++p) {
        const fs::path dir = "/sys/devices/system/cpu/cpu" + std::to_string(live.os_ids[p]) + "/cache";
        if (!fs::exists(dir)) {
            std::printf("processor %u: no %s, not compared\n", live.os_ids[p], dir.c_str());
            continue;
        }
        const ProcessorDetails& d = live.all[p];
        for (const auto& index : fs::directory_iterator(dir)) {
            if (index.path().filename().string().rfind("index", 0) != 0) continue;
            SCOPED_TRACE(index.path().string());
            const unsigned level = static_cast<unsigned>(std::stoul(ReadWord(index.path() / "level")));
            const std::string type = ReadWord(index.path() / "type");
            const CacheType want = type == "Data"          ? CacheType::Data
                                   : type == "Instruction" ? CacheType::Instruction
                                                           : CacheType::Unified;
            size_t i = 0;
            while (i < d.caches.size() && !(d.caches[i].level == level && d.caches[i].type == want)) ++i;
            ASSERT_LT(i, d.caches.size()) << "no L" << level << " " << type << " cache in the details";
            const CacheDetails& c = d.caches[i];
            EXPECT_EQ(std::to_string(c.size) + "K", ReadWord(index.path() / "size"));
            EXPECT_EQ(std::to_string(c.ways), ReadWord(index.path() / "ways_of_associativity"));
            EXPECT_EQ(std::to_string(c.line_bytes), ReadWord(index.path() / "coherency_line_size"));
            std::set<unsigned> kernel_sharing;
            for (unsigned cpu : CpuList(ReadWord(index.path() / "shared_cpu_list")))
                if (allowed.count(cpu) != 0) kernel_sharing.insert(cpu);
            std::set<unsigned> ours;
            for (ProcessorNumber cpu : ProcessorsSharingCache(live.all, p, i)) ours.insert(cpu.os());
            if (c.shared_by) {
                EXPECT_EQ(ours, kernel_sharing);
            }
            ++compared;
        }
    }
    if (compared == 0) GTEST_SKIP() << "the kernel lists no caches here";
}

TEST(DetailsLive, LevelAgreesWithTheDynamicLoader) {
    const std::string help = Output("/lib64/ld-linux-x86-64.so.2 --help 2>/dev/null");
    ASSERT_NE(help.find("x86_64"), std::string::npos) << "ld.so --help printed no x86_64 subdirectories";
    unsigned level = 1;  // the loader itself runs: the baseline holds
    for (unsigned v = 2; v <= 4; ++v)
        if (help.find("x86-64-v" + std::to_string(v) + " (supported") != std::string::npos) level = v;
    for (const ProcessorDetails& d : Live().all)
        EXPECT_EQ(d.x86_64_level, level) << "processor " << d.cpu.counted();
}

TEST(DetailsLive, HypervisorAgreesWithLscpu) {
    const std::string lscpu = Output("LC_ALL=C lscpu 2>/dev/null");
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
    for (const ProcessorDetails& d : Live().all) {
        SCOPED_TRACE("processor " + std::to_string(d.cpu.counted()));
        if (!d.hypervisor) {
            EXPECT_EQ(vendor, "");
            continue;
        }
        const auto name = names.find(std::string(d.hypervisor->view()));
        if (name == names.end()) {
            std::printf("hypervisor \"%s\" has no known lscpu name, not compared\n",
                        std::string(d.hypervisor->view()).c_str());
            continue;
        }
        EXPECT_EQ(name->second, vendor);
    }
}

}  // namespace
}  // namespace talvex
