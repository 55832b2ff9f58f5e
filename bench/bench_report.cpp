// Cost of the report: from the hardware it should be little more than the CPUID executions it is
// made of (target: at most 1.2 times their cost); from a replayed dump, well under 1 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "main/report/report.h"
#include "probe/dump/dump.h"

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
        for (const auto& [leaf, subleaf] : executions) benchmark::DoNotOptimize(hardware.Execute(leaf, subleaf));
    state.counters["cpuid"] = static_cast<double>(executions.size());
}
BENCHMARK(BM_ReportExecutionsOnly);

void BM_ReportFromHardware(benchmark::State& state) {
    HardwareSource hardware;
    ReplayPlatform os;
    const Probe probe{hardware, os};
    for (auto _ : state) {
        std::string out;
        BuildReport(probe, out, ".");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReportFromHardware);

void BM_ReportFromDump(benchmark::State& state) {
    const auto processors =
        ReadDumpFile(std::string(TALVEX_DUMPS_DIR) + "/normalized/amd-ryzen-7-7700x-raphael.txt");
    ReplaySource cpu(processors.front());
    ReplayPlatform os;
    const Probe probe{cpu, os};
    for (auto _ : state) {
        std::string out;
        BuildReport(probe, out, ".");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReportFromDump);

// One line with the figures that matter, all taken in this run.
void Summary() {
    HardwareSource hardware;
    ReplayPlatform os;
    const Probe probe{hardware, os};
    const auto executions = ReportExecutions();
    constexpr int kCalls = 1000;
    const double one = MedianNs(101, [&] {
        for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(hardware.Execute(0, 0));
    }) / kCalls;
    const double sequence = MedianNs(101, [&] {
        for (const auto& [leaf, subleaf] : executions) benchmark::DoNotOptimize(hardware.Execute(leaf, subleaf));
    });
    const double report = MedianNs(101, [&] {
        std::string out;
        BuildReport(probe, out, ".");
        benchmark::DoNotOptimize(out.data());
    });
    const double floor = static_cast<double>(executions.size()) * one;
    std::printf("CPUID executions per report: %zu\n", executions.size());
    std::printf("one CPUID (leaf 0): %.1f ns; floor count x one: %.1f us\n", one, floor / 1000);
    std::printf("the report's own executions alone: %.1f us\n", sequence / 1000);
    std::printf("report from the hardware: %.1f us = %.3f x floor (%.3f x its executions)\n", report / 1000,
                report / floor, report / sequence);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    talvex::Summary();
    return 0;
}
