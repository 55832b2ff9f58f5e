#include "probe/platform.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace talvex {

// A 32-bit x86 program is told 586 on any Pentium-class or later processor.
uint32_t LinuxPlatform::ProcessorType() const { return 586; }

unsigned LinuxPlatform::ProcessorCount() const {
    long n = sysconf(_SC_NPROCESSORS_CONF);
    return n > 0 ? static_cast<unsigned>(n) : 1u;
}

bool LinuxPlatform::SetThreadAffinityMask(uint32_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (unsigned bit = 0; bit < 32; ++bit)
        if (mask & (1u << bit)) CPU_SET(bit, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;  // 0: the calling thread
}

int64_t LinuxPlatform::QueryPerformanceCounter() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t LinuxPlatform::QueryPerformanceFrequency() { return 1000000000; }

uint32_t LinuxPlatform::TimeGetTime() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);  // wraps like the Windows timer
}

uint64_t LinuxPlatform::ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace talvex
