// Cost of one probe query on the hardware (each CPUID traps to the hypervisor in a VM) against the
// same query answered from a replayed dump. Every benchmark also reports heap allocations per call;
// a replayed ReadCPUID must make none.

#include <benchmark/benchmark.h>

#include "probe/tables/cache.h"
#include "probe/tables/displayed.h"
#include "probe/tables/naming.h"
#include "support/count_new.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::g_allocations;

const DumpProcessor& SandyBridge() {
    static const DumpProcessor cpu = testing::Normalized("intel-core-i7-2600k-sandy-bridge.txt");
    return cpu;
}

// Runs `query` on the hardware (range 0) or on the replayed dump (range 1).
template <typename Query>
void Run(benchmark::State& state, Query query) {
    HardwareSource hardware;
    const ReplaySource replay(SandyBridge());
    ReplayPlatform os;
    const RegisterSource& source =
        state.range(0) == 0 ? static_cast<const RegisterSource&>(hardware) : replay;
    const Probe probe{source, os};
    const long before = g_allocations.load();
    for (auto _ : state) query(probe);
    const double per_call =
        static_cast<double>(g_allocations.load() - before) / static_cast<double>(state.iterations());
    state.counters["allocs"] = per_call;
    state.SetLabel(state.range(0) == 0 ? "hardware" : "replay");
}

void BM_ReadCPUID(benchmark::State& state) {
    Run(state, [](const Probe& probe) {
        TCPUIDRegs r;
        benchmark::DoNotOptimize(ReadCPUID(probe, 1, r));
        benchmark::DoNotOptimize(r);
    });
    if (state.range(0) == 1 && state.counters["allocs"] != 0.0)
        state.SkipWithError("ReadCPUID on a replayed dump allocated");
}
BENCHMARK(BM_ReadCPUID)->Arg(0)->Arg(1);

void BM_GetCacheInfo(benchmark::State& state) {
    Run(state, [](const Probe& probe) {
        TCacheInfo info;
        GetCacheInfo(probe, info);
        benchmark::DoNotOptimize(info);
    });
}
BENCHMARK(BM_GetCacheInfo)->Arg(0)->Arg(1);

void BM_GetProcessorName(benchmark::State& state) {
    Run(state, [](const Probe& probe) { benchmark::DoNotOptimize(GetProcessorName(probe)); });
}
BENCHMARK(BM_GetProcessorName)->Arg(0)->Arg(1);

// What the window shows: on this processor beyond the tables, the microarchitecture's name and the
// sizes leaf 2 leaves unknown (its leaf 2 hands over to leaf 4).
void BM_GetDisplayedName(benchmark::State& state) {
    Run(state, [](const Probe& probe) { benchmark::DoNotOptimize(GetDisplayedName(probe)); });
}
BENCHMARK(BM_GetDisplayedName)->Arg(0)->Arg(1);

void BM_GetDisplayedCacheInfo(benchmark::State& state) {
    Run(state, [](const Probe& probe) { benchmark::DoNotOptimize(GetDisplayedCacheInfo(probe)); });
}
BENCHMARK(BM_GetDisplayedCacheInfo)->Arg(0)->Arg(1);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
