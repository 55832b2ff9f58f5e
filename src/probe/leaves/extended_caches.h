#pragma once
// The extended cache leaves as AMD lays them out, for both their readers (the window's GetCacheInfo
// and the processor details): 0x80000005 ECX (L1 data) and EDX (L1 instruction): [31:24] KB,
// [23:16] ways (0xFF fully associative), [7:0] line bytes; 0x80000006 ECX (L2): [31:16] KB,
// [15:12] associativity code, [7:0] line bytes; EDX (L3): [31:18] in 512 KB units, [15:12] code,
// [7:0] line bytes. Processors known to report their L2 wrongly are corrected here, for both readers.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvex {

// Associativity codes of 0x80000006 (its L2 and L3 caches and its TLBs, and 0x80000019's TLBs): ways,
// 0 for fully associative; -1 where the code gives no number (0 disabled, 7 reserved, 9 "see leaf
// 0x8000001D").
// clang-format off
inline constexpr std::array<int, 16> kAmdAssociativity{{
    // 0   1  2  3  4  5  6  7   8   9   A   B   C   D   E    F
      -1,  1, 2, 3, 4, 6, 8, -1, 16, -1, 32, 48, 64, 96, 128, 0,
}};
// clang-format on

struct ExtendedCache {
    uint64_t kb = 0;
    // Ways, 0 for fully associative; nothing where the code says the cache is disabled or is
    // reserved (0, 7, and 9, "see 0x8000001D", in 0x80000006).
    std::optional<uint32_t> ways;
    uint32_t line_bytes = 0;
};

// An L1 register of 0x80000005.
ExtendedCache DecodeExtendedL1(uint32_t reg);
// 0x80000006 ECX of the processor with vendor text `vendor` and leaf 1 EAX `signature` (0 when
// leaf 1 is refused): the known errata by base family, model and stepping are corrected.
ExtendedCache DecodeExtendedL2(uint32_t ecx, std::string_view vendor, uint32_t signature);
// 0x80000006 EDX.
ExtendedCache DecodeExtendedL3(uint32_t edx);

}  // namespace talvex
