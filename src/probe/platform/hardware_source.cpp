// The only file that reaches the CPUID instruction.
#include "probe/platform/registers.h"

#include <cpuid.h>

namespace talvex {

bool HardwareSource::HasCPUID() const {
#if defined(__x86_64__)
    return true;  // every x86-64 processor has it
#elif defined(__i386__)
    // Toggle the ID flag (EFLAGS bit 21); a processor without CPUID keeps it fixed.
    uint32_t before = 0;
    uint32_t after = 0;
    __asm__ volatile(
        "pushfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl $0x200000, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "popfl\n\t"
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000u) != 0;
#else
    return false;
#endif
}

TCPUIDRegs HardwareSource::Execute(uint32_t leaf, uint32_t subleaf) const {
    TCPUIDRegs r;
#if defined(__x86_64__) || defined(__i386__)
    __cpuid_count(leaf, subleaf, r.EAX, r.EBX, r.ECX, r.EDX);
#else
    (void)leaf;
    (void)subleaf;
#endif
    return r;
}

}  // namespace talvex
