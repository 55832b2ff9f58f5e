// Any bytes as a dump file: the reader either refuses them with a DumpError or yields processors
// whose replay answers every query, and which the writers turn into text the reader takes back:
// `cpuid -r` with the very same leaves, libcpuid's arrays without complaint.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "probe/dump/dump.h"
#include "probe/dump/dump_write.h"
#include "probe/platform/cpuid.h"

namespace {

std::vector<std::pair<uint64_t, talvex::TCPUIDRegs>> Sorted(const talvex::DumpProcessor& p) {
    std::vector<std::pair<uint64_t, talvex::TCPUIDRegs>> v;
    for (const auto& l : p.leaves) v.emplace_back((uint64_t{l.leaf} << 32) | l.subleaf, l.regs);
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return v;
}

std::vector<talvex::DumpProcessor> Reread(const std::string& text) {
    std::istringstream in(text);
    return talvex::ReadDump(in, "written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        const auto cpus = talvex::ReadDump(in, "fuzz");
        if (cpus.empty()) __builtin_trap();  // a successful read always has a processor
        talvex::ReplayPlatform os;
        for (const auto& cpu : cpus) {
            talvex::ReplaySource source(cpu);
            talvex::Probe probe{source, os};
            talvex::TCPUIDRegs r;
            for (const auto& leaf : cpu.leaves) talvex::ReadCPUID(probe, leaf.leaf, r);
            (void)talvex::QueryBrandText(probe);
        }
        const auto again = Reread(talvex::FormatCpuidRaw(cpus));
        if (again.size() != cpus.size()) __builtin_trap();
        for (size_t i = 0; i < cpus.size(); ++i) {
            const auto a = Sorted(cpus[i]), b = Sorted(again[i]);
            if (a.size() != b.size()) __builtin_trap();
            for (size_t k = 0; k < a.size(); ++k)
                if (a[k].first != b[k].first || !(a[k].second == b[k].second)) __builtin_trap();
        }
        if (Reread(talvex::FormatLibcpuid(cpus)).size() != cpus.size()) __builtin_trap();
    } catch (const talvex::DumpError&) {
    }
    return 0;
}
