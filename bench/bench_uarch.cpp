// Cost of naming one processor's microarchitecture from a query filled from a replayed dump: a row
// near the top of its table, one near the end, and a model no row names (the whole table scanned).
// The query is decoded once, as the processor-details module does; the loop times the naming alone.
// Every benchmark also reports heap allocations per call: naming must make none.

#include <benchmark/benchmark.h>

#include "probe/uarch.h"
#include "support/count_new.h"
#include "support/dumps.h"
#include "support/uarch_query.h"

namespace talvex {
namespace {

using testing::g_allocations;

void BM_IdentifyMicroarchitecture(benchmark::State& state, const char* dump, uint32_t model) {
    const testing::Replayed cpu{std::string(dump)};
    const testing::Examined examined = testing::Examine(cpu.probe);
    UarchQuery query = examined.Query();
    if (model != 0) query.model = model;
    const long before = g_allocations.load();
    for (auto _ : state) benchmark::DoNotOptimize(IdentifyMicroarchitecture(query));
    state.counters["allocs"] =
        static_cast<double>(g_allocations.load() - before) / static_cast<double>(state.iterations());
    if (state.counters["allocs"] != 0.0) state.SkipWithError("naming allocated");
}
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, alder_lake, "intel-core-i9-12900k-alder-lake.txt", 0);
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, cedar_mill_last_rows, "intel-celeron-d-347-cedar-mill.txt",
                  0);
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, granite_ridge, "amd-ryzen-9-9950x-granite-ridge.txt", 0);
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, intel_unknown_model, "intel-core-i7-2600k-sandy-bridge.txt",
                  0x99);

// The whole road from a replayed dump: decoding the query (the test helper standing in for the
// details module) and naming.
void BM_DecodeAndName(benchmark::State& state) {
    const testing::Replayed cpu{std::string("intel-core-i9-12900k-alder-lake.txt")};
    for (auto _ : state) {
        const testing::Examined examined = testing::Examine(cpu.probe);
        benchmark::DoNotOptimize(IdentifyMicroarchitecture(examined.Query()));
    }
}
BENCHMARK(BM_DecodeAndName);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
