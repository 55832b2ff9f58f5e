// Cost of one data load of the window (the ten steps plus the flag panel's query), with the
// measuring second taken out by a stand-in clock. From the hardware it should cost little more
// than the CPUID executions it is made of (at most 1.2 times); from a replayed dump, under 1 ms.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "main/report/load_data.h"
#include "probe/tables/flags.h"
#include "support/dumps.h"
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

const char* const kAlderLake = "intel-core-i9-12900k-alder-lake.txt";

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
    const ReplaySource cpu(testing::Normalized(kAlderLake));
    QuickClock os;
    for (auto _ : state) Load(Probe{cpu, os});
}
BENCHMARK(BM_LoadFromDump);

void Summary() {
    HardwareSource hardware;
    QuickClock os;
    const Floor f = PrintFloor("load", LoadExecutions());
    const double load = MedianNs(101, [&] { Load(Probe{hardware, os}); });
    const ReplaySource replay(testing::Normalized(kAlderLake));
    const double replayed = MedianNs(1001, [&] { Load(Probe{replay, os}); });
    std::printf("load from the hardware: %.1f us = %.3f x floor (%.3f x its executions)\n", load / 1000,
                load / f.floor_ns, load / f.sequence_ns);
    std::printf("load from a replayed dump: %.1f us\n", replayed / 1000);
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::RunThenSummarize(argc, argv, talvex::Summary); }
