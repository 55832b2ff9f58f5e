#pragma once
// Dumps built to be hard on a reader, at any size: one processor whose sub-leaves come in
// descending order, an InstLatx64 listing whose leaves come shuffled, and a `cpuid -r` dump of many
// processors of one hybrid-free server part. Used by the scaling tests and the benchmarks.

#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace talvex::testing {

// "   0x00000004 0x01: eax=0x... ebx=0x... ecx=0x... edx=0x..."
inline void AppendRawLine(std::string& out, uint32_t leaf, uint32_t sub, uint32_t a, uint32_t b, uint32_t c,
                          uint32_t d) {
    char line[96];
    std::snprintf(line, sizeof line, "   0x%08x 0x%02x: eax=0x%08x ebx=0x%08x ecx=0x%08x edx=0x%08x\n", leaf,
                  sub, a, b, c, d);
    out += line;
}

// One processor of `lines` leaf lines: leaf 0, then leaf 0xD's sub-leaves from the highest down to 0.
inline std::string DescendingSubleaves(size_t lines) {
    std::string out = "CPU 0:\n";
    AppendRawLine(out, 0, 0, 0xD, 0x756e6547, 0x6c65746e, 0x49656e69);
    for (size_t k = lines - 1; k-- > 0;) {
        const auto sub = static_cast<uint32_t>(k);
        AppendRawLine(out, 0xD, sub, sub, ~sub, sub * 3, 1);
    }
    return out;
}

// One processor of `lines` leaves, each on its own line, in a fixed shuffled order: the standard
// range and the extended range, half each, leaf 0 somewhere among them. The order is the same on
// every run, so two sizes compare like with like.
inline std::string ShuffledListing(size_t lines) {
    std::vector<uint32_t> leaves(lines);
    for (size_t k = 0; k < lines; ++k) {
        const auto half = static_cast<uint32_t>(k / 2);
        leaves[k] = k % 2 == 0 ? half : 0x80000000u + half;
    }
    std::mt19937 order(24301);
    for (size_t k = lines; k > 1; --k) std::swap(leaves[k - 1], leaves[order() % k]);
    std::string out = "------[ Logical CPU #0 ]------\n";
    char line[96];
    for (uint32_t leaf : leaves) {
        const uint32_t a = leaf == 0 ? static_cast<uint32_t>(lines / 2) : leaf;
        std::snprintf(line, sizeof line, "CPUID %08X: %08X-%08X-%08X-%08X\n", leaf, a, 0x756E6547u,
                      0x6C65746Eu, 0x49656E69u);
        out += line;
    }
    return out;
}

// `count` processors of one server part (family 6 model 0x55), numbered in `cpuid -r` sections:
// two threads a core, L1 and L2 per core, 64 processors a package, and one L3 that all of them (up to
// 4096) share.
inline std::string ManyProcessors(size_t count) {
    std::string out;
    for (size_t n = 0; n < count; ++n) {
        const auto apic = static_cast<uint32_t>(n);
        out += "CPU " + std::to_string(n) + ":\n";
        AppendRawLine(out, 0, 0, 0xB, 0x756e6547, 0x6c65746e, 0x49656e69);
        AppendRawLine(out, 1, 0, 0x00050654, (apic & 0xFF) << 24 | 0x00400800, 0x7ffefbff, 0xbfebfbff);
        // Leaf 4: type [4:0], level [7:5], sharing - 1 [25:14]; ways - 1 EBX[31:22], line - 1 [11:0].
        AppendRawLine(out, 4, 0, 0x1 | 1 << 5 | 1 << 14, 7u << 22 | 63, 63, 0);
        AppendRawLine(out, 4, 1, 0x2 | 1 << 5 | 1 << 14, 7u << 22 | 63, 63, 0);
        AppendRawLine(out, 4, 2, 0x3 | 2 << 5 | 1 << 14, 15u << 22 | 63, 1023, 0);
        AppendRawLine(out, 4, 3, 0x3 | 3 << 5 | 4095 << 14, 10u << 22 | 63, 65535, 0);
        AppendRawLine(out, 4, 4, 0, 0, 0, 0);
        AppendRawLine(out, 0xB, 0, 1, 2, 0x100, apic);
        AppendRawLine(out, 0xB, 1, 6, 64, 0x201, apic);
        AppendRawLine(out, 0xB, 2, 0, 0, 2, apic);
        AppendRawLine(out, 0x80000000, 0, 0x80000008, 0, 0, 0);
        AppendRawLine(out, 0x80000001, 0, 0, 0, 0x121, 0x2c100800);
        AppendRawLine(out, 0x80000008, 0, 0x302e, 0, 0, 0);
    }
    return out;
}

}  // namespace talvex::testing
