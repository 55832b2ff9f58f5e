#include "probe/clock/clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvex {
namespace {

using testing::FakePlatform;
using testing::FakeSource;

// Logs which timer each reading came from, to check the nesting of the readings.
class LoggingPlatform : public FakePlatform {
public:
    int64_t QueryPerformanceCounter() override { return Log('Q', FakePlatform::QueryPerformanceCounter()); }
    int64_t QueryPerformanceFrequency() override {
        return Log('F', FakePlatform::QueryPerformanceFrequency());
    }
    uint32_t TimeGetTime() override { return Log('M', FakePlatform::TimeGetTime()); }
    uint64_t ReadTimeStampCounter() override { return Log('T', FakePlatform::ReadTimeStampCounter()); }
    std::string log;

private:
    template <typename T>
    T Log(char timer, T reading) {
        log += timer;
        return reading;
    }
};

struct ClockFixture : ::testing::Test {
    ClockFixture() { cpu.Vendor("GenuineIntel", 2).Set(1, 0x0F29, 0, 0, 0x10); }

    // One measurement: high-resolution counter gaps (ns at 1 GHz), cycles, and the
    // millisecond readings msStart, msBase, the polled ones, msEnd.
    void Script(int64_t first_gap, int64_t window_counts, int64_t cycles, std::vector<int64_t> ms) {
        os.qpc = {5000, 5000 + first_gap, 5000 + first_gap + window_counts};
        os.tsc = {1000000, 1000000 + cycles};
        os.ms.assign(ms.begin(), ms.end());
    }

    FakeSource cpu;
    LoggingPlatform os;
    Probe probe{cpu, os};
};

TEST_F(ClockFixture, ChoosesTheCounterOnlyStrictlyInsideTheAgreementWindow) {
    struct Case {
        int64_t hr_counts;  // ns of the high-resolution counter, reading cost already taken off
        int64_t expected;
        const char* what;
    } cases[] = {
        {900000000, 2000000000, "exactly 0.1 s short: millisecond timer"},
        {1100000000, 2000000000, "exactly 0.1 s long: millisecond timer"},
        {900000001, 2222222219, "just inside, short"},
        {1099999999, 1818181819, "just inside, long"},
        {950000000, 2105263157, "inside"},
        {1050000000, 1904761904, "inside"},
        {500000000, 2000000000, "far off"},
        {-1000000000, 2000000000, "counter ran backwards"},
    };
    for (const Case& c : cases) {
        // The first gap of 40 counts is the cost of one reading and comes off the window.
        Script(40, c.hr_counts + 40, 2000000000, {7000, 7000, 7500, 8000, 8000});
        EXPECT_EQ(MeasureClock(probe), c.expected) << c.what;
    }
}

TEST_F(ClockFixture, TruncatesTowardZeroAndShowsRounded) {
    // 24,009,999,999 cycles over 10 s by the millisecond timer (the counter disagrees).
    Script(0, 1, 24009999999, {0, 0, 1000, 10000});
    const int64_t hz = MeasureClock(probe);
    EXPECT_EQ(hz, 2400999999);
    EXPECT_EQ(FormatClock(hz, "."), "2401.000MHz");
}

TEST_F(ClockFixture, MillisecondTimerWrapDuringTheSecond) {
    // 0xFFFFFE00 + 1000 ms wraps to 0x1E8: the wait goes on across the wrap and ends there.
    Script(0, 1, 3000000000, {0xFFFFFE00, 0xFFFFFE00, 0xFFFFFFFF, 0, 0x1E7, 0x1E8, 0x1E8});
    os.frequency = 0;
    EXPECT_EQ(MeasureClock(probe), 3000000000);
    EXPECT_EQ(os.ms_reads, 7);
}

TEST_F(ClockFixture, FrequencyZeroFallsBackToTheMillisecondTimer) {
    Script(0, 1000000000, 1500000000, {10, 10, 1010, 1010});
    os.frequency = 0;
    EXPECT_EQ(MeasureClock(probe), 1500000000);
}

TEST_F(ClockFixture, ReadingsComeInTheirNestedOrder) {
    Script(0, 1000000000, 1000, {0, 1, 300, 900, 1001, 1002});
    MeasureClock(probe);
    // qa qb t0 msStart msBase, three polls, msEnd, t1 qc f.
    EXPECT_EQ(os.log, "QQTMMMMMMTQF");
}

TEST_F(ClockFixture, TransmetaClockIsReadWithoutMeasuring) {
    struct Case {
        uint32_t ecx;
        int64_t expected;
    } cases[] = {{933, 933000000}, {2148, 2148000000}, {3000, 3000000000}, {0xFFFFFFFF, 4294967295000000}};
    for (const Case& c : cases) {
        cpu.Set(0x80860000, 0x80860007).Set(0x80860001, 0x02000000, 0, c.ecx, 0);
        os.log.clear();
        EXPECT_EQ(MeasureClock(probe), c.expected) << c.ecx;
        EXPECT_EQ(os.log, "");
    }
    EXPECT_EQ(FormatClock(933000000, "."), "933.000MHz");
}

TEST_F(ClockFixture, NoClockWithoutCounterOrLiveProcessor) {
    struct Case {
        const char* what;
        bool has_cpuid;
        uint32_t max_leaf;
        uint32_t edx1;
        bool live;
    } cases[] = {
        {"no CPUID", false, 2, 0x10, true},
        {"highest standard leaf 0", true, 0, 0x10, true},
        {"no time stamp counter", true, 2, 0x00, true},
        {"replayed processor", true, 2, 0x10, false},
    };
    for (const Case& c : cases) {
        FakeSource other;
        other.Vendor("GenuineIntel", c.max_leaf).Set(1, 0x0F29, 0, 0, c.edx1);
        other.has_cpuid = c.has_cpuid;
        os.live_clock = c.live;
        os.log.clear();
        EXPECT_EQ(MeasureClock(Probe{other, os}), 0) << c.what;
        EXPECT_EQ(os.log, "") << c.what;
    }
}

TEST_F(ClockFixture, TransmetaRangeEndingAtItsBaseIsAbsent) {
    cpu.Set(0x80860000, 0x80860000).Set(0x80860001, 0, 0, 933, 0);
    Script(0, 1000000000, 700000000, {0, 0, 1000, 1000});
    EXPECT_EQ(MeasureClock(probe), 700000000);
}

TEST(FormatClockTest, PatternAndRounding) {
    struct Case {
        int64_t hz;
        const char* separator;
        const char* text;
    } cases[] = {
        {0, ".", ".000MHz"},
        {499, ".", ".000MHz"},
        {500, ".", ".001MHz"},
        {1000000, ".", "1.000MHz"},
        {933000000, ".", "933.000MHz"},
        {999999499, ".", "999.999MHz"},
        {999999500, ".", "1000.000MHz"},  // 999.9995 is below the half in binary; not here
        {1000000000, ".", "1000.000MHz"},
        {2400123456, ".", "2400.123MHz"},
        {2400999999, ".", "2401.000MHz"},
        {2793500000, ".", "2793.500MHz"},
        {2400123456, ",", "2400,123MHz"},
        {0, ",", ",000MHz"},
        {-1500000, ".", "-1.500MHz"},
        {9223372036854775807, ".", "9223372036854.776MHz"},
        {INT64_MIN, ".", "-9223372036854.776MHz"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatClock(c.hz, c.separator), c.text) << c.hz;
}

}  // namespace
}  // namespace talvex
