// Work meant for one processor: the one answer to whether it ran there, whatever the system does
// meanwhile; the processors the program may use when the system will not say; and processor numbers
// counted from 1 as users give them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "probe/platform/pinning.h"
#include "support/capture_fakes.h"

namespace talvex {
namespace {

// A machine that can stop saying where the thread may run.
struct Silent : testing::Machine {
    bool silent = false;
    std::vector<unsigned> ThreadAffinity() const override {
        return silent ? std::vector<unsigned>{} : Machine::ThreadAffinity();
    }
};

TEST(Pinning, OneRuleForWhetherTheWorkRanWhereItWasMeantTo) {
    struct Case {
        const char* what;
        unsigned refused;               // 99: none
        std::vector<unsigned> widened;  // the affinity the system leaves meanwhile; empty: untouched
        bool silent;                    // the system will not say afterwards
        PinStatus status;
        bool ran;
    } cases[] = {
        {"pinned throughout", 99, {}, false, PinStatus::Stayed, true},
        {"refused: not run", 2, {}, false, PinStatus::NotPinned, false},
        {"its processor went offline", 99, {0, 1, 2, 3}, false, PinStatus::Moved, true},
        {"moved to another alone", 99, {3}, false, PinStatus::Moved, true},
        {"cannot vouch for it", 99, {}, true, PinStatus::Moved, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Silent machine;
        machine.processor_count = 4;
        machine.refused = {c.refused};
        bool ran = false;
        const PinStatus status = RunPinned(machine, ProcessorNumber(2), [&] {
            ran = true;
            EXPECT_EQ(machine.affinity, std::vector<unsigned>{2});
            if (!c.widened.empty()) machine.affinity = c.widened;
            machine.silent = c.silent;
        });
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(ran, c.ran);
    }

    // A system that will not say which processors the program was started on allows them all.
    Silent machine;
    machine.processor_count = 3;
    machine.silent = true;
    EXPECT_EQ(AllowedProcessors(machine).Numbers(), (std::vector<unsigned>{0, 1, 2}));
}

TEST(Pinning, NumbersCountedFromOne) {
    constexpr uint64_t kBeyond = uint64_t{std::numeric_limits<unsigned>::max()} + 1;
    const struct {
        uint64_t counted;
        std::optional<unsigned> os;
    } cases[] = {{0, std::nullopt},
                 {1, 0},
                 {2, 1},
                 {kBeyond, std::numeric_limits<unsigned>::max()},
                 {kBeyond + 1, std::nullopt},
                 {std::numeric_limits<uint64_t>::max(), std::nullopt}};
    for (const auto& c : cases) {
        const std::optional<ProcessorNumber> p = ProcessorNumber::FromCounted(c.counted);
        EXPECT_EQ(p.has_value(), c.os.has_value()) << c.counted;
        if (p && c.os) {
            EXPECT_EQ(p->os(), *c.os) << c.counted;
        }
    }
}

}  // namespace
}  // namespace talvex
