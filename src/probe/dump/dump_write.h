#pragma once
// Writing processors in the dump layouts other tools read: `cpuid -r` and libcpuid's raw arrays.
// Each writer builds the whole text in memory, so a caller that fails half-way writes nothing.

#include <string>
#include <vector>

#include "probe/dump/dump.h"

namespace talvex {

// The `cpuid -r` layout: for each processor "CPU n:", then one line per (leaf, sub-leaf) in
// ascending order, "   0x%08x 0x%02x: eax=0x%08x ebx=0x%08x ecx=0x%08x edx=0x%08x", lower-case.
// `numbers[i]` is the n printed for processors[i]; without numbers, 0, 1, 2 ... in the order given.
// A live capture passes the operating system's processor numbers, as `cpuid -r` prints them.
// Throws std::invalid_argument when numbers are given but not one per processor.
std::string FormatCpuidRaw(const std::vector<DumpProcessor>& processors,
                           const std::vector<unsigned>& numbers = {});

// libcpuid's raw arrays, each at its full size: basic_cpuid[32] (leaves 0..31), ext_cpuid[32]
// (0x80000000..0x8000001F), intel_fn4[8], intel_fn11[4], intel_fn12h[4], intel_fn14h[4],
// amd_fn8000001dh[4], amd_fn80000026h[4] (sub-leaves of leaves 4, 0xB, 0x12, 0x14, 0x8000001D,
// 0x80000026; the last only for a processor whose extended range reaches 0x80000026). An entry
// the processor has no record for holds zeros; a leaf or sub-leaf beyond the arrays is left out,
// as libcpuid leaves it out. Several processors are separated by
// "_________________ Logical CPU #n _________________" lines numbered 0, 1, 2 ... in the order
// given (libcpuid takes n as an index into its own list); one processor is written without one,
// as libcpuid writes a single processor.
std::string FormatLibcpuid(const std::vector<DumpProcessor>& processors);

}  // namespace talvex
