// Cost of naming one processor's microarchitecture, with its GCC name and process, from a query filled
// from a replayed dump: a row near the top of its table, one near the end, a model no row names in a
// family of one design (the rows scanned, then the class), and a model no row or class names (the
// whole table scanned).
// The query is decoded once, as the processor-details module does; the loop times the naming alone.
// Every benchmark also reports heap allocations per call: naming must make none.

#include <benchmark/benchmark.h>

#include "probe/details/details.h"
#include "probe/details/uarch.h"
#include "support/count_new.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::g_allocations;

void BM_IdentifyMicroarchitecture(benchmark::State& state, const char* dump, uint32_t model) {
    const testing::Replayed cpu{std::string(dump)};
    const ProcessorDetails details = GetProcessorDetails(cpu.probe);
    UarchQuery query = UarchQueryOf(details);
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
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, k8_class, "amd-athlon-64-3200-venice.txt", 0x48);
BENCHMARK_CAPTURE(BM_IdentifyMicroarchitecture, intel_unknown_model, "intel-core-i7-2600k-sandy-bridge.txt",
                  0x99);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
