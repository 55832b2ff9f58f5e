// A replayed processor answers from memory already built: queries must not touch the heap, so
// replaying thousands of dumps (fuzzing, the report tests) stays cheap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "probe/cache.h"
#include "probe/dump/dump.h"

namespace {
long g_allocations = 0;  // the test is single-threaded
}  // namespace

// GCC sees malloc and free meet through the replaced pair and warns; the pairing is ours and matched.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The library's temporary buffers come from the nothrow form and go back through the deletes here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++g_allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace talvex {
namespace {

TEST(ReplayAllocations, QueriesOnAReplayedDumpDoNotAllocate) {
    {
        // The replaced operator new is the one in use, or every count below would read 0.
        const long before = g_allocations;
        std::string heap(64, 'x');
        ASSERT_GT(g_allocations, before);
    }
    for (const char* file : {"intel-core-i7-2600k-sandy-bridge.txt", "amd-athlon-64-3200-venice.txt",
                             "intel-pentium-4-northwood-2.80.txt"}) {
        const auto cpus = ReadDumpFile(std::string(TALVEX_DUMPS_DIR) + "/normalized/" + file);
        const ReplaySource source(cpus.at(0));
        ReplayPlatform os;
        const Probe probe{source, os};

        const long before = g_allocations;
        TCPUIDRegs r;
        for (uint32_t leaf : {0u, 1u, 2u, 4u, 0x80000000u, 0x80000004u, 0x80000006u, 0xC0000000u})
            ReadCPUID(probe, leaf, r);
        EXPECT_EQ(g_allocations - before, 0) << file << ": ReadCPUID";
        // The vendor text fits the string's inline buffer, so the cache description stays off the heap.
        TCacheInfo info;
        GetCacheInfo(probe, info);
        EXPECT_EQ(g_allocations - before, 0) << file << ": GetCacheInfo";
    }
}

}  // namespace
}  // namespace talvex
