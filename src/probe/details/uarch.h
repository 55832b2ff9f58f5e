#pragma once
// The core microarchitecture and the die's codename of a processor, from its vendor text, display
// family, model and stepping (and, where a vendor reused one signature, its brand text, brand index,
// caches, core count, processor type or x87 unit); with them GCC's name for the design and the die's process.

#include <cstdint>
#include <optional>
#include <string_view>

namespace talvex {

// The kind of core examined on a hybrid processor; None on every other processor.
enum class CoreType { None, Performance, Efficiency };

struct UarchQuery {
    std::string_view vendor;  // the 12-byte vendor text of leaf 0, cut at the first zero byte
    // Display family: base + extended when the base is 15. Display model: extended * 16 + base when
    // the base family is 6 or 15 (Intel, and every other vendor whose base family is 6 or more:
    // Centaur, Zhaoxin), or 15 (AMD, Hygon); the base model otherwise.
    uint32_t family = 0;
    uint32_t model = 0;
    uint32_t stepping = 0;
    std::string_view brand;  // trimmed brand text, "" when there is none
    uint32_t l2_kb = 0;      // size of one L2 and one L3 cache, 0 when unknown or absent
    uint32_t l3_kb = 0;
    CoreType core = CoreType::None;
    bool caches_known = false;  // CPUID describes the caches: then an l2_kb of 0 means there is no L2
    uint32_t cores = 0;         // cores per package as CPUID counts them, 0 when unknown
    uint32_t type = 0;          // leaf 1 EAX[13:12]: 0 an OEM processor, 1 an OverDrive, 2 a dual processor
    uint32_t brand_index = 0;   // leaf 1 EBX[7:0]: 3 a Pentium III Xeon, ...; 0 where the processor has none
    bool fpu = true;            // leaf 1 EDX[0]: an x87 unit on the chip
};

// Views of static text: valid for the life of the program.
struct UarchName {
    std::string_view microarchitecture;  // "Golden Cove", "Zen 4", "P6", ...; never empty
    std::string_view codename;           // "Alder Lake", "Raphael", "Katmai", ...; never empty
    // GCC's -march= name of the design as GCC means it, per product line ("alderlake" for the Golden
    // Cove of Alder Lake, "sapphirerapids" for that of Sapphire Rapids); "" where GCC has none. Whether
    // the installed GCC knows it is for the caller to ask, and whether the part has every extension
    // the name enables for its feature bits: a Pentium or Celeron of a design may lack AVX.
    std::string_view gcc_march;
    // The die's manufacturing process in its vendor's words ("7 nm", "Intel 7"); "" where no vendor
    // source gives it, or the dies of one codename were made on more than one.
    std::string_view process;
};

// Nothing when no row of the table matches and the family is not a class: never a guess from a
// neighbouring model. A class is a family whose every model is one core design (AMD's family 16h,
// Hygon's 18h, ...): any model no row lists is named for the design, with the design's name as the
// codename where the family's dies are not told apart. On a hybrid die the microarchitecture is that
// of `core` (the performance core's for None), the codename the die's. Virtual processors that copy a
// real signature (QEMU's and KVM's default models) get nothing. Makes no allocation.
std::optional<UarchName> IdentifyMicroarchitecture(const UarchQuery& query);

}  // namespace talvex
