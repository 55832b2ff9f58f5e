// The details of many processors cost in proportion to their number: counted by the bytes the text
// and the per-processor table allocate, never timed. Listing each processor's sharers afresh, by
// walking every other processor, builds a list of all of them for the L3 of every processor.
#include <gtest/gtest.h>

#include <bit>
#include <sstream>

#include "main/report/details_text.h"
#include "probe/details/details.h"
#include "support/count_new.h"
#include "support/hostile_dumps.h"

namespace talvex {
namespace {

std::vector<ProcessorDetails> DetailsOfMany(size_t count) {
    std::istringstream in(testing::ManyProcessors(count));
    const std::vector<DumpProcessor> dumps = ReadDump(in, "many.txt");
    std::vector<unsigned> numbers(dumps.size());
    for (unsigned k = 0; k < numbers.size(); ++k) numbers[k] = k;
    return GetRecordedDetails(dumps, numbers);
}

TEST(DetailsScale, ManyProcessorsCostInProportion) {
    struct Cost {
        long bytes = 0;
        std::string text;
    };
    const auto cost = [](const std::vector<ProcessorDetails>& all) {
        Cost c;
        const long before = testing::g_allocated_bytes.load();
        c.text = DetailsText(all);
        c.bytes = testing::g_allocated_bytes.load() - before;
        return c;
    };
    const Cost small = cost(DetailsOfMany(512));
    const Cost large = cost(DetailsOfMany(4096));
    // The output string grows by doubling, so its allocations come a little above 8 times.
    EXPECT_LE(large.bytes, 12 * small.bytes);
    EXPECT_LE(large.text.size(), 10 * small.text.size());

    // What is counted is the real table: the L3 is shared by every processor, a core's L2 by its two.
    EXPECT_NE(large.text.find("\n  4096     4095  -          Skylake            32 KB [4095-4096]"),
              std::string::npos);
    EXPECT_NE(large.text.find("1 MB [4095-4096]  44 MB [1-4096]\n"), std::string::npos);
}

// The sharing of every cache, worked out for the set at once, is what a walk over every pair says.
TEST(DetailsScale, SharingAgreesWithEveryPair) {
    const std::vector<ProcessorDetails> all = DetailsOfMany(130);
    const CacheSharing sharing(all);
    for (size_t p = 0; p < all.size(); ++p) {
        for (size_t i = 0; i < all[p].caches.size(); ++i) {
            const CacheDetails& c = all[p].caches[i];
            std::vector<ProcessorNumber> pairwise;
            const unsigned span = c.shared_by ? std::bit_width(*c.shared_by - 1) : 0;
            for (const ProcessorDetails& o : all)
                if (c.shared_by && (o.apic_id >> span) == (all[p].apic_id >> span)) pairwise.push_back(o.cpu);
            EXPECT_EQ(sharing.Of(p, i), pairwise) << "processor " << p << " cache " << i;
        }
    }
}

}  // namespace
}  // namespace talvex
