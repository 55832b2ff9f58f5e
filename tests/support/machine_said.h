#pragma once
// What a machine said about itself through the standard tools: this machine, asked now, or one of
// the machines recorded in ../shared/machines, read from its files. The comparisons take either,
// so a machine that once broke them stays a test.

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "probe/dump/dump.h"
#include "support/files.h"

namespace talvex::testing {

inline const std::string kMachines = TALVEX_MACHINES_DIR;
inline const std::string kThisMachine = "this-machine";

struct MachineSaid {
    std::string name;
    bool live = false;
    std::string cpuid_r;       // `cpuid -r`, empty without the tool
    std::string proc_cpuinfo;  // /proc/cpuinfo
    std::string
        sys_cache;  // one line a cache: "cpuN/indexM level=L type=T size=SK ways=W line=B shared=LIST"
    std::string ldso_hwcaps;  // `ld.so --help`, of which the glibc-hwcaps lines count
    std::string lscpu;        // `lscpu` in the POSIX locale
    // One line a file of /sys/devices/system/cpu/vulnerabilities/: "name:first line".
    std::string sys_vulnerabilities;
};

// "0-3,8" -> {0, 1, 2, 3, 8}
inline std::set<unsigned> CpuList(const std::string& list) {
    std::set<unsigned> cpus;
    std::istringstream in(list);
    for (std::string part; std::getline(in, part, ',');) {
        if (part.empty() || part == "\n") continue;
        const auto dash = part.find('-');
        const unsigned first = static_cast<unsigned>(std::stoul(part.substr(0, dash)));
        const unsigned last =
            dash == std::string::npos ? first : static_cast<unsigned>(std::stoul(part.substr(dash + 1)));
        for (unsigned c = first; c <= last; ++c) cpus.insert(c);
    }
    return cpus;
}

// This machine's /sys/devices/system/cpu/cpuN/cache/indexM folders in the recorded one-line form.
inline std::string SysCacheLines() {
    namespace fs = std::filesystem;
    const auto word = [](const fs::path& file) {
        std::ifstream in(file);
        std::string w;
        in >> w;
        return w;
    };
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& cpu : fs::directory_iterator("/sys/devices/system/cpu", ec)) {
        const std::string name = cpu.path().filename().string();
        if (!std::regex_match(name, std::regex("cpu[0-9]+")) || !fs::exists(cpu.path() / "cache")) continue;
        for (const auto& index : fs::directory_iterator(cpu.path() / "cache", ec)) {
            const std::string leaf = index.path().filename().string();
            if (leaf.rfind("index", 0) != 0) continue;
            const fs::path& d = index.path();
            lines.push_back(name + "/" + leaf + " level=" + word(d / "level") + " type=" + word(d / "type")
                            + " size=" + word(d / "size") + " ways=" + word(d / "ways_of_associativity")
                            + " line=" + word(d / "coherency_line_size")
                            + " shared=" + word(d / "shared_cpu_list"));
        }
    }
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// "this-machine", then each recorded machine's folder, sorted.
inline std::vector<std::string> MachineNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(kMachines, ec))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    names.insert(names.begin(), kThisMachine);
    return names;
}

inline MachineSaid Said(const std::string& name) {
    MachineSaid m;
    m.name = name;
    if (name != kThisMachine) {
        const std::filesystem::path dir = kMachines + "/" + name;
        m.cpuid_r = Slurp(dir / "cpuid-r.txt");
        m.proc_cpuinfo = Slurp(dir / "proc-cpuinfo.txt");
        m.sys_cache = Slurp(dir / "sys-cache.txt");
        m.ldso_hwcaps = Slurp(dir / "ldso-hwcaps.txt");
        m.lscpu = Slurp(dir / "lscpu.txt");
        m.sys_vulnerabilities = Slurp(dir / "sys-vulnerabilities.txt");
        return m;
    }
    m.live = true;
    m.cpuid_r = RunCommand("cpuid -r 2>/dev/null").text;
    m.proc_cpuinfo = Slurp("/proc/cpuinfo");
    m.sys_cache = SysCacheLines();
    m.ldso_hwcaps = RunCommand("/lib64/ld-linux-x86-64.so.2 --help 2>/dev/null").text;
    m.lscpu = RunCommand("LC_ALL=C lscpu 2>/dev/null").text;
    m.sys_vulnerabilities =
        RunCommand("cd /sys/devices/system/cpu/vulnerabilities 2>/dev/null && grep . *").text;
    return m;
}

// The processor sections of a `cpuid -r` text, each with the number its "CPU N:" line gives.
inline std::vector<std::pair<unsigned, DumpProcessor>> CpuidRSections(const std::string& text) {
    std::istringstream in(text);
    const std::vector<DumpProcessor> sections = ReadDump(in, "cpuid -r");
    static const std::regex cpu_line("CPU ([0-9]+):\\s*");
    std::vector<unsigned> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, cpu_line)) numbers.push_back(static_cast<unsigned>(std::stoul(m[1])));
    }
    if (numbers.size() != sections.size())
        throw std::runtime_error("cpuid -r: sections and CPU lines differ");
    std::vector<std::pair<unsigned, DumpProcessor>> out;
    for (size_t i = 0; i < sections.size(); ++i) out.emplace_back(numbers[i], sections[i]);
    return out;
}

// A test name gtest accepts: letters, digits and underscores.
inline std::string TestName(const std::string& machine) {
    std::string n = machine;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

}  // namespace talvex::testing
