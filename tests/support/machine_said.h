#pragma once
// What a machine said about itself through the standard tools: this machine, asked now, or one of
// the machines recorded in tests/data/machines (and in the extra folder the build may name), read
// from its files. The comparisons take either, so a machine that once broke them stays a test.

#include <filesystem>
#include <fstream>
#include <map>
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
inline const std::string kExtraMachines = TALVEX_EXTRA_MACHINES_DIR;  // "" when none is given
inline const std::string kThisMachine = "this-machine";

struct MachineSaid {
    std::string name;
    bool live = false;
    std::string cpuid_r;                    // `cpuid -r`, empty without the tool
    std::string cpuid_r_file = "cpuid -r";  // where it came from, for messages
    std::string proc_cpuinfo;               // /proc/cpuinfo
    std::string
        sys_cache;  // one line a cache: "cpuN/indexM level=L type=T size=SK ways=W line=B shared=LIST"
    std::string ldso_hwcaps;  // `ld.so --help`, of which the glibc-hwcaps lines count
    std::string lscpu;        // `lscpu` in the POSIX locale
    // One line a file of /sys/devices/system/cpu/vulnerabilities/: "name:first line", the name
    // with or without its folder, as grep gives it.
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

// Each recorded machine's folder by name: the repository's, then those of the extra folder the
// repository does not hold (a machine already copied in is tested once). A folder that cannot be
// read, or a repository folder without machines, is listed under its path and the reason, so that
// the tests over the machines fail on it instead of passing over none.
using MachineFolders = std::map<std::string, std::filesystem::path>;
inline MachineFolders RecordedMachines(const std::vector<std::string>& roots = {kMachines, kExtraMachines}) {
    MachineFolders found;
    for (const std::string& root : roots) {
        if (root.empty()) continue;
        std::error_code ec;
        size_t here = 0;
        for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
            if (std::error_code kind; it->is_directory(kind)) {
                found.emplace(it->path().filename().string(), it->path());
                ++here;
            }
        if (ec)
            found.emplace(root + ": " + ec.message(), std::filesystem::path());
        else if (here == 0 && &root == &roots.front())
            found.emplace(root + ": no recorded machine", std::filesystem::path());
    }
    return found;
}

// "this-machine", then the recorded machines, sorted.
inline std::vector<std::string> MachineNames() {
    std::vector<std::string> names{kThisMachine};
    for (const auto& [name, dir] : RecordedMachines()) names.push_back(name);
    return names;
}

// A recorded machine's file, refused naming itself when it does not hold what its tool writes: a
// comparison that finds nothing to compare in it would otherwise skip and pass.
inline std::string Recorded(const std::filesystem::path& file, const char* shape, const char* what) {
    std::string text = Slurp(file);
    if (!std::regex_search(text, std::regex(shape))) throw std::runtime_error(file.string() + ": " + what);
    return text;
}

// Throws, naming the file and the reason, when a recorded machine's file is missing, unreadable or
// not what its tool writes.
inline MachineSaid Said(const std::string& name, const MachineFolders& machines = RecordedMachines()) {
    MachineSaid m;
    m.name = name;
    if (name != kThisMachine) {
        const auto found = machines.find(name);
        if (found == machines.end() || found->second.empty()) throw std::runtime_error(name);
        const std::filesystem::path& dir = found->second;
        m.cpuid_r_file = (dir / "cpuid-r.txt").string();
        m.cpuid_r = Slurp(m.cpuid_r_file);
        m.proc_cpuinfo = Recorded(dir / "proc-cpuinfo.txt", "(^|\n)processor\t: 0\n[^]*\nflags\t+: ",
                                  "no processor 0 with its flags, as /proc/cpuinfo lists them");
        m.sys_cache = Recorded(dir / "sys-cache.txt",
                               "^(cpu[0-9]+/index[0-9]+ level=[0-9] type=[A-Za-z]+ size=[0-9]+K ways=[0-9]+ "
                               "line=[0-9]+ shared=[0-9,-]+\n)*$",
                               "a line not \"cpuN/indexM level=L type=T size=SK ways=W line=B shared=LIST\"");
        m.ldso_hwcaps = Recorded(dir / "ldso-hwcaps.txt", "glibc-hwcaps[^]*x86-64-v2",
                                 "no glibc-hwcaps levels, as `ld.so --help` lists them");
        m.lscpu =
            Recorded(dir / "lscpu.txt", "(^|\n)Architecture: +x86_64\n", "no Architecture line of lscpu");
        m.sys_vulnerabilities = Recorded(dir / "sys-vulnerabilities.txt", "^([^:\n]+:[^\n]*\n)*$",
                                         "a line not \"name:verdict\", as grep lists the folder");
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
inline std::vector<std::pair<unsigned, DumpProcessor>> CpuidRSections(const MachineSaid& said) {
    const std::string& text = said.cpuid_r;
    std::istringstream in(text);
    const std::vector<DumpProcessor> sections = ReadDump(in, said.cpuid_r_file);
    static const std::regex cpu_line("CPU ([0-9]+):\\s*");
    std::vector<unsigned> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, cpu_line)) numbers.push_back(static_cast<unsigned>(std::stoul(m[1])));
    }
    if (numbers.size() != sections.size())
        throw std::runtime_error(said.cpuid_r_file + ": sections and CPU lines differ");
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
