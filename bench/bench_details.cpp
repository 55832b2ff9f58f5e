// Cost of the processor details. From a replayed dump the target is under 20 us per processor and
// no heap allocation at all (the record holds its texts and caches in place); from the hardware it
// is the CPUID executions it is made of (each one traps to the hypervisor in a VM). The text and
// JSON forms are timed too, for scale: they allocate their output.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "main/report/details_json.h"
#include "main/report/details_text.h"
#include "support/count_new.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::g_allocations;

// Processors of many sub-leaves: a hybrid Intel (leaves 4, 0xB, 0x1F, 0x1A) and a Zen 4
// (0x8000001D, 0x80000026).
const char* const kDumpNames[] = {"intel-core-i9-12900k-alder-lake.txt", "amd-ryzen-7-7700x-raphael.txt"};

void BM_DetailsFromDump(benchmark::State& state) {
    const ReplaySource cpu(testing::Normalized(kDumpNames[state.range(0)]));
    ReplayPlatform os;
    const Probe probe{cpu, os};
    const long before = g_allocations.load();
    for (auto _ : state) {
        const ProcessorDetails d = GetProcessorDetails(probe);
        benchmark::DoNotOptimize(&d);
    }
    const double per_call =
        static_cast<double>(g_allocations.load() - before) / static_cast<double>(state.iterations());
    state.counters["allocs"] = per_call;
    state.SetLabel(kDumpNames[state.range(0)]);
    if (per_call != 0.0) state.SkipWithError("decoding the details allocated");
}
BENCHMARK(BM_DetailsFromDump)->Arg(0)->Arg(1);

void BM_DetailsFromHardware(benchmark::State& state) {
    HardwareSource hardware;
    ReplayPlatform os;
    const Probe probe{hardware, os};
    for (auto _ : state) {
        const ProcessorDetails d = GetProcessorDetails(probe);
        benchmark::DoNotOptimize(&d);
    }
}
BENCHMARK(BM_DetailsFromHardware);

std::vector<ProcessorDetails> AlderLakeWhole() {
    std::vector<ProcessorDetails> all;
    const auto cpus = ReadDumpFile(testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt");
    for (size_t i = 0; i < cpus.size(); ++i) {
        const ReplaySource cpu(cpus[i]);
        ReplayPlatform os;
        all.push_back(GetProcessorDetails(Probe{cpu, os}, ProcessorNumber(static_cast<unsigned>(i))));
    }
    return all;
}

void BM_DetailsText24(benchmark::State& state) {
    const std::vector<ProcessorDetails> all = AlderLakeWhole();
    for (auto _ : state) benchmark::DoNotOptimize(DetailsText(all));
}
BENCHMARK(BM_DetailsText24);

void BM_DetailsJson24(benchmark::State& state) {
    const std::vector<ProcessorDetails> all = AlderLakeWhole();
    for (auto _ : state) benchmark::DoNotOptimize(DetailsJson(all));
}
BENCHMARK(BM_DetailsJson24);

void Summary() {
    HardwareSource hardware;
    CountingSource counting(hardware);
    ReplayPlatform os;
    (void)GetProcessorDetails(Probe{counting, os});
    PrintFloor("details record", counting.executed);
    const Probe probe{hardware, os};
    const double live = MedianNs(101, [&] { benchmark::DoNotOptimize(GetProcessorDetails(probe)); });
    std::printf("details from the hardware: %.1f us\n", live / 1000);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::RunThenSummarize(argc, argv, talvex::Summary); }
