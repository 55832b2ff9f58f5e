#pragma once
// The vendors by the vendor text of leaf 0: one table for the window's naming, the processor
// details and the microarchitecture table. Each text is compared whole and exactly.

#include <array>
#include <cstdint>
#include <string_view>

namespace talvex {

// Texts that name one maker but are answered differently keep apart: the window's naming knows
// neither AMD's early samples nor Transmeta's early text nor Zhaoxin's.
enum class Vendor : uint8_t {
    Unknown,
    Intel,
    AMD,
    AMDSample,
    Hygon,
    UMC,
    Cyrix,
    NexGen,
    Centaur,
    Zhaoxin,
    Rise,
    Transmeta,
    TransmetaEarly,
    SiS,
    NSC,
    Compaq,
    Connectix,
    DMP
};

struct VendorKey {
    std::string_view text;
    Vendor vendor;
};

// clang-format off
inline constexpr auto kVendorKeys = std::to_array<VendorKey>({
    // text             vendor
    {"GenuineIntel",    Vendor::Intel},
    {"AuthenticAMD",    Vendor::AMD},
    {"AMDisbetter!",    Vendor::AMDSample},
    {"AMD ISBETTER",    Vendor::AMDSample},
    {"HygonGenuine",    Vendor::Hygon},
    {"UMC UMC UMC ",    Vendor::UMC},
    {"CyrixInstead",    Vendor::Cyrix},
    {"NexGenDriven",    Vendor::NexGen},
    {"CentaurHauls",    Vendor::Centaur},
    {"  Shanghai  ",    Vendor::Zhaoxin},
    {"RiseRiseRise",    Vendor::Rise},
    {"GenuineTMx86",    Vendor::Transmeta},
    {"TransmetaCPU",    Vendor::TransmetaEarly},
    {"SiS SiS SiS ",    Vendor::SiS},
    {"Geode by NSC",    Vendor::NSC},
    {"Compaq FX!32",    Vendor::Compaq},
    {"ConnectixCPU",    Vendor::Connectix},
    {"Vortex86 SoC",    Vendor::DMP},
});
// clang-format on

constexpr Vendor VendorOf(std::string_view text) {
    for (const VendorKey& k : kVendorKeys)
        if (k.text == text) return k.vendor;
    return Vendor::Unknown;
}

// AMD's and Hygon's processors share AMD's leaves (0x8000001D, 0x8000001E, 0x80000026).
constexpr bool IsAmdOrHygon(Vendor vendor) { return vendor == Vendor::AMD || vendor == Vendor::Hygon; }

}  // namespace talvex
