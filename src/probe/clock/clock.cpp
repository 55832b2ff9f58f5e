#include "probe/clock/clock.h"

#include <cmath>

#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr uint32_t kTransmetaClockLeaf = 0x80860001;  // ECX: current clock in MHz
constexpr int64_t kHzPerMHz = 1000000;
constexpr uint32_t kWindowMs = 1000;
constexpr double kAgreement = 0.1;  // seconds the two timers may differ by

// Millisecond timer differences are taken modulo 2^32, so a wrap during the second is harmless.
constexpr uint32_t MsSince(uint32_t from, uint32_t to) { return to - from; }

// Counter differences wrap instead of overflowing: the counters are monotonic, so the true
// difference always fits.
constexpr int64_t CountSince(int64_t from, int64_t to) {
    return static_cast<int64_t>(static_cast<uint64_t>(to) - static_cast<uint64_t>(from));
}

}  // namespace

int64_t MeasureClock(const Probe& probe) {
    if (RangePresent(probe, kTransmetaBase)) {
        TCPUIDRegs clock;
        ReadCPUID(probe, kTransmetaClockLeaf, clock);
        // In 64 bits: a 32-bit product would overflow from 2148 MHz up.
        return static_cast<int64_t>(clock.ECX) * kHzPerMHz;
    }
    if (!HasTimeStampCounter(probe)) return 0;
    // A recorded processor has no counter running here to time.
    if (!probe.platform.HasLiveClock()) return 0;

    Platform& os = probe.platform;
    // Nested on purpose: the high-resolution counter brackets the time stamp counter, which
    // brackets the millisecond timer.
    const int64_t qa = os.QueryPerformanceCounter();
    const int64_t qb = os.QueryPerformanceCounter();
    const uint64_t t0 = os.ReadTimeStampCounter();
    const uint32_t msStart = os.TimeGetTime();
    const uint32_t msBase = os.TimeGetTime();
    while (MsSince(msBase, os.TimeGetTime()) < kWindowMs) {
    }
    const uint32_t msEnd = os.TimeGetTime();
    const uint64_t t1 = os.ReadTimeStampCounter();
    const int64_t qc = os.QueryPerformanceCounter();
    const int64_t f = os.QueryPerformanceFrequency();

    const double msSeconds = MsSince(msStart, msEnd) / 1000.0;
    double elapsed = msSeconds;
    // A frequency of 0 (or a nonsense negative one) leaves the millisecond timer in charge
    // rather than dividing by zero.
    if (f > 0) {
        // The gap between the two back-to-back readings is the cost of one reading.
        const int64_t counts = CountSince(qb, qc) - CountSince(qa, qb);
        const double hrSeconds = static_cast<double>(counts) / static_cast<double>(f);
        if (msSeconds - kAgreement < hrSeconds && hrSeconds < msSeconds + kAgreement) elapsed = hrSeconds;
    }
    if (!(elapsed > 0.0)) return 0;

    const double cycles = static_cast<double>(static_cast<int64_t>(t1 - t0));
    const double hz = std::trunc(cycles / elapsed);
    // Keep the conversion defined even for readings no real counter gives.
    if (!(hz > -9.2e18 && hz < 9.2e18)) return 0;
    return static_cast<int64_t>(hz);
}

std::string FormatClock(int64_t hz, std::string_view decimal_separator) {
    // From the integer, so a value such as 999,999,500 Hz rounds up exactly, which a binary
    // double of 999.9995 would not.
    const bool negative = hz < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(hz) : static_cast<uint64_t>(hz);
    const uint64_t thousandths = magnitude / 1000 + (magnitude % 1000 >= 500 ? 1 : 0);
    const uint64_t whole = thousandths / 1000;
    const uint64_t fraction = thousandths % 1000;

    std::string text;
    if (negative && thousandths != 0) text += '-';
    if (whole != 0) text += Decimal(whole);
    text += decimal_separator;
    text += static_cast<char>('0' + fraction / 100);
    text += static_cast<char>('0' + fraction / 10 % 10);
    text += static_cast<char>('0' + fraction % 10);
    text += "MHz";
    return text;
}

}  // namespace talvex
