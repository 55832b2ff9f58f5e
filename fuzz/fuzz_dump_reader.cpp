// Any bytes as a dump file: the reader either refuses them with a DumpError or yields processors
// whose replay answers every query.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "probe/cpuid.h"
#include "probe/dump/dump.h"

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
    } catch (const talvex::DumpError&) {
    }
    return 0;
}
