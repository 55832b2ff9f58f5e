// Cost of the report: from the hardware it should be little more than the CPUID executions it is
// made of (target: at most 1.2 times their cost); from a replayed dump, well under 1 ms.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "main/report/report.h"
#include "support/dumps.h"

namespace talvex {
namespace {

// The hardware, without the measuring second (the clock is not what is timed here).
std::vector<std::pair<uint32_t, uint32_t>> ReportExecutions() {
    HardwareSource hardware;
    CountingSource counting(hardware);
    ReplayPlatform os;
    std::string out;
    BuildReport(Probe{counting, os}, out, ".");
    return counting.executed;
}

void BM_OneCPUID(benchmark::State& state) {
    HardwareSource hardware;
    for (auto _ : state) benchmark::DoNotOptimize(hardware.Execute(0, 0));
}
BENCHMARK(BM_OneCPUID);

// The report's own CPUID executions, nothing else: the floor.
void BM_ReportExecutionsOnly(benchmark::State& state) {
    HardwareSource hardware;
    const auto executions = ReportExecutions();
    for (auto _ : state)
        for (const auto& [leaf, subleaf] : executions)
            benchmark::DoNotOptimize(hardware.Execute(leaf, subleaf));
    state.counters["cpuid"] = static_cast<double>(executions.size());
}
BENCHMARK(BM_ReportExecutionsOnly);

void Report(const RegisterSource& cpu) {
    ReplayPlatform os;
    std::string out;
    BuildReport(Probe{cpu, os}, out, ".");
    benchmark::DoNotOptimize(out.data());
}

void BM_ReportFromHardware(benchmark::State& state) {
    HardwareSource hardware;
    for (auto _ : state) Report(hardware);
}
BENCHMARK(BM_ReportFromHardware);

void BM_ReportFromDump(benchmark::State& state) {
    const ReplaySource cpu(testing::Normalized("amd-ryzen-7-7700x-raphael.txt"));
    for (auto _ : state) Report(cpu);
}
BENCHMARK(BM_ReportFromDump);

// One line with the figures that matter, all taken in this run.
void Summary() {
    HardwareSource hardware;
    const Floor f = PrintFloor("report", ReportExecutions());
    const double report = MedianNs(101, [&] { Report(hardware); });
    std::printf("report from the hardware: %.1f us = %.3f x floor (%.3f x its executions)\n", report / 1000,
                report / f.floor_ns, report / f.sequence_ns);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::RunThenSummarize(argc, argv, talvex::Summary); }
