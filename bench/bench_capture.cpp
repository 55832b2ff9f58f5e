// Cost of one processor's complete capture on the hardware, against its floor: the number of
// CPUID executions it makes times the cost of one (target: at most 1.2 times). Also the capture of
// a replayed dump and the two writers on every processor of a many-processor dump.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "probe/details/capture.h"
#include "probe/dump/dump_write.h"
#include "support/dumps.h"

namespace talvex {
namespace {

// 32 logical processors with every sub-leaf the listing took.
const std::vector<DumpProcessor>& GraniteRidge() {
    static const auto cpus = ReadDumpFile(testing::kDumps + "/amd-ryzen-9-9950x-granite-ridge.txt");
    return cpus;
}

void BM_CaptureFromHardware(benchmark::State& state) {
    const HardwareSource hardware;
    for (auto _ : state) benchmark::DoNotOptimize(CaptureProcessor(hardware));
}
BENCHMARK(BM_CaptureFromHardware);

void BM_CaptureFromDump(benchmark::State& state) {
    const ReplaySource replay(GraniteRidge().at(0));
    for (auto _ : state) benchmark::DoNotOptimize(CaptureProcessor(replay));
}
BENCHMARK(BM_CaptureFromDump);

void BM_FormatCpuidRaw(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FormatCpuidRaw(GraniteRidge()));
}
BENCHMARK(BM_FormatCpuidRaw);

void BM_FormatLibcpuid(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FormatLibcpuid(GraniteRidge()));
}
BENCHMARK(BM_FormatLibcpuid);

void Summary() {
    const HardwareSource hardware;
    CountingSource counting(hardware);
    CaptureProcessor(counting);
    const Floor f = PrintFloor("capture", counting.executed);
    const double capture = MedianNs(101, [&] { benchmark::DoNotOptimize(CaptureProcessor(hardware)); });
    std::printf("capture from the hardware: %.1f us = %.3f x floor (%.3f x its executions)\n", capture / 1000,
                capture / f.floor_ns, capture / f.sequence_ns);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::RunThenSummarize(argc, argv, talvex::Summary); }
