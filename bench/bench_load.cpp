// Cost of one data load of the window (the ten steps plus the flag panel's query), with the
// measuring second taken out by a stand-in clock. From the hardware it should cost little more
// than the CPUID executions it is made of (at most 1.2 times); from a replayed dump, under 1 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "main/report/load_data.h"
#include "probe/dump/dump.h"
#include "probe/flags.h"
#include "support/fakes.h"

namespace talvex {
namespace {

// Drops every write: what is timed is the load, not a widget or a map.
class NullSink final : public LoadSink {
public:
    void SetText(LoadField, std::string_view bytes) override { benchmark::DoNotOptimize(bytes.data()); }
    std::string Text(LoadField) const override { return {}; }
    void SetEnabled(LoadField, bool) override {}
    void ClearFeatureList() override {}
    void AddFeatureEntry(const FlagRegisterInfo&) override {}
    void SetFeatureMenuVisible(const FlagRegisterInfo&, bool) override {}
};

// The measuring second passes in one read of the millisecond timer.
struct QuickClock : testing::FakePlatform {
    QuickClock() { ms_step = 1000; }
};

// What Refresh does, without Qt: the load and the panel's one register.
void Load(const Probe& probe) {
    NullSink sink;
    LoadData(probe, sink, ".");
    benchmark::DoNotOptimize(ReadFlagRegister(probe, FlagRegister::StdEDX));
}

std::vector<std::pair<uint32_t, uint32_t>> LoadExecutions() {
    HardwareSource hardware;
    CountingSource counting(hardware);
    QuickClock os;
    Load(Probe{counting, os});
    return counting.executed;
}

void BM_LoadFromHardware(benchmark::State& state) {
    HardwareSource hardware;
    QuickClock os;
    for (auto _ : state) Load(Probe{hardware, os});
}
BENCHMARK(BM_LoadFromHardware);

void BM_LoadFromDump(benchmark::State& state) {
    const auto processors =
        ReadDumpFile(std::string(TALVEX_DUMPS_DIR) + "/normalized/intel-core-i9-12900k-alder-lake.txt");
    ReplaySource cpu(processors.front());
    QuickClock os;
    for (auto _ : state) Load(Probe{cpu, os});
}
BENCHMARK(BM_LoadFromDump);

void Summary() {
    HardwareSource hardware;
    QuickClock os;
    const auto executions = LoadExecutions();
    constexpr int kCalls = 1000;
    const double one = MedianNs(101, [&] {
        for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(hardware.Execute(0, 0));
    }) / kCalls;
    const double sequence = MedianNs(101, [&] {
        for (const auto& [leaf, subleaf] : executions)
            benchmark::DoNotOptimize(hardware.Execute(leaf, subleaf));
    });
    const double load = MedianNs(101, [&] { Load(Probe{hardware, os}); });
    const auto processors =
        ReadDumpFile(std::string(TALVEX_DUMPS_DIR) + "/normalized/intel-core-i9-12900k-alder-lake.txt");
    ReplaySource replay(processors.front());
    const double replayed = MedianNs(1001, [&] { Load(Probe{replay, os}); });
    const double floor = static_cast<double>(executions.size()) * one;
    std::printf("CPUID executions per load: %zu\n", executions.size());
    std::printf("one CPUID (leaf 0): %.1f ns; floor count x one: %.1f us\n", one, floor / 1000);
    std::printf("the load's own executions alone: %.1f us\n", sequence / 1000);
    std::printf("load from the hardware: %.1f us = %.3f x floor (%.3f x its executions)\n", load / 1000,
                load / floor, load / sequence);
    std::printf("load from a replayed dump: %.1f us\n", replayed / 1000);
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
