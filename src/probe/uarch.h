#pragma once
// The core microarchitecture and the die's codename of a processor, from its vendor text, display
// family, model and stepping (and, where a vendor reused one signature, its brand text or caches).

#include <cstdint>
#include <optional>
#include <string_view>

namespace talvex {

// The kind of core examined on a hybrid processor; None on every other processor.
enum class CoreType { None, Performance, Efficiency };

struct UarchQuery {
    std::string_view vendor;  // the 12-byte vendor text of leaf 0, cut at the first zero byte
    uint32_t family = 0;      // display family and model, as the vendors define them
    uint32_t model = 0;
    uint32_t stepping = 0;
    std::string_view brand;  // trimmed brand text, "" when there is none
    uint32_t l2_kb = 0;      // size of one L2 and one L3 cache, 0 when unknown or absent
    uint32_t l3_kb = 0;
    CoreType core = CoreType::None;
};

struct UarchName {
    std::string_view microarchitecture;  // "Golden Cove", "Zen 4", "P6", ...
    std::string_view codename;           // "Alder Lake", "Raphael", "Katmai", ...
};

// Nothing when no row of the table matches: never a guess from a neighbouring model.
std::optional<UarchName> IdentifyMicroarchitecture(const UarchQuery& query);

}  // namespace talvex
