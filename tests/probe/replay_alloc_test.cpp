// A replayed processor answers from memory already built: queries must not touch the heap, so
// replaying thousands of dumps (fuzzing, the report tests) stays cheap.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "probe/details/details.h"
#include "probe/tables/cache.h"
#include "support/count_new.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::g_allocations;

TEST(ReplayAllocations, QueriesOnAReplayedDumpDoNotAllocate) {
    {
        // The replaced operator new is the one in use, or every count below would read 0.
        const long before = g_allocations.load();
        std::string heap(64, 'x');
        ASSERT_GT(g_allocations.load(), before);
    }
    for (const char* file : {"intel-core-i7-2600k-sandy-bridge.txt", "amd-athlon-64-3200-venice.txt",
                             "intel-pentium-4-northwood-2.80.txt"}) {
        const testing::Replayed cpu(file);

        const long before = g_allocations.load();
        TCPUIDRegs r;
        for (uint32_t leaf : {0u, 1u, 2u, 4u, 0x80000000u, 0x80000004u, 0x80000006u, 0xC0000000u})
            ReadCPUID(cpu.probe, leaf, r);
        EXPECT_EQ(g_allocations.load() - before, 0) << file << ": ReadCPUID";
        // The vendor text fits the string's inline buffer, so the cache description stays off the heap.
        TCacheInfo info;
        GetCacheInfo(cpu.probe, info);
        EXPECT_EQ(g_allocations.load() - before, 0) << file << ": GetCacheInfo";
        // The details record holds its texts and caches in place.
        const ProcessorDetails details = GetProcessorDetails(cpu.probe);
        EXPECT_EQ(g_allocations.load() - before, 0) << file << ": GetProcessorDetails";
        EXPECT_FALSE(details.vendor.view().empty());
    }
}

// A small dump costs memory in proportion to itself, not a fixed read buffer: a replay of one small
// dump is mostly start-up, and every page it touches counts there.
TEST(ReplayAllocations, ReadingADumpFileAllocatesInProportionToIt) {
    for (const std::string& name : testing::DumpNames())
        for (const std::string& path : {testing::kDumps + "/" + name, testing::kNormalized + "/" + name}) {
            const auto size = static_cast<long>(std::filesystem::file_size(path));
            const long before = testing::g_allocated_bytes.load();
            const std::vector<DumpProcessor> cpus = ReadDumpFile(path);
            const long bytes = testing::g_allocated_bytes.load() - before;
            ASSERT_FALSE(cpus.empty()) << name;
            EXPECT_LT(bytes, 4 * size + 8192) << path << ": " << size << " bytes read";
        }
}

}  // namespace
}  // namespace talvex
