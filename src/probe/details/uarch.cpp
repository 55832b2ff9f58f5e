// Microarchitecture and codename rows. The key is the vendor text and the display family, model and
// stepping; where a vendor sold one signature under several names, the trimmed brand text, the size
// of one L2 / L3 cache (or the absence of an L2), the number of cores or the processor type picks the
// row. Where nothing tells two codenames apart, the row gives both, joined by " / ". Parts without a
// brand text (all before 2000, and engineering samples) fall through to the rows that ask none.
//
// Each vendor has one table, tried from the top: the first row whose conditions all hold decides.
// So a row with a brand or cache condition stands before the plain row of the same model.
//
// Sources of the signatures and names: Intel's SDM vol. 4 table 2-1 (CPUID signatures of the display
// family and model), Intel's errata documents and microcode update guidance; AMD's revision
// guides and processor programming references (family, model ranges and revisions of each die);
// VIA, IDT, Zhaoxin, Cyrix, Transmeta, Rise and DM&P data sheets; the processor family lists that
// Linux publishes (arch/x86/include/asm/intel-family.h, the Centaur, Zhaoxin, Hygon, Transmeta, UMC,
// NSC and Vortex CPU files) and GCC's host processor tables. Besides:
// - OverDrive processors: Intel's AP-485 (processor type 1 on the i486 DX2 and DX4, Pentium and
//   Pentium II OverDrive signatures) and the SDM vol. 2 (the processor type field of leaf 1);
// - cache and core variants: Intel's data sheets of the Celeron (Covington: no L2), Pentium II and III
//   Xeon (Drake, Tanner: 1 and 2 MB of L2), Xeon MP (Foster MP, Gallatin, Potomac, Tulsa: an L3) and
//   of the dual-core Pentium D, Pentium Extreme Edition and Xeon 5000 / 7000 parts (Smithfield,
//   Presler, Paxville, Dempsey: leaf 4 counts two cores), and of the quad-core Core 2 and Xeon parts
//   of two dies (leaf 4 counts four cores); AMD's Threadripper and EPYC product pages (core counts
//   of the Zen dies);
// - IDT WinChip 2 steppings (2 before 7, 2A from 7 to 9, 2B from A) after Linux's centaur.c;
// - Zhaoxin: Linux's machine-check code (Zhaoxin family 6 models 19h and 1Fh; Centaur family 6
//   model F from stepping E is Zhaoxin's ZX-C under the VIA signature) and Zhaoxin's QEMU CPU
//   model of the KX-7000 (family 7, model 6Bh, the ShiJiDaDao core);
// - Hygon: GCC's and LLVM's host processor tables (family 18h models 4, 6, 7 and 8 are the C86-4G
//   series) and Linux's Hygon node code (models 4h to Fh as one generation);
// - Centaur: WikiChip's page of the CHA SoC (its CNS cores answer family 6, model 47h);
// - DM&P: the Gentoo wiki's Vortex86 page (/proc/cpuinfo of a Vortex86DX3: family 6, model 1, brand
//   "Vortex86DX3"); DM&P's own I/O library tells the SX, MX+ and DX2 apart only by a north bridge
//   register, and no source gives their CPUID signatures;
// - Rise: the iDragon II as models 8 and 9, after Linux's former rise.c;
// - Cyrix's 6x86 data book (model 3 in the 1x clock mode); the MII is the 6x86MX renamed, with one
//   signature.
#include "probe/details/uarch.h"

#include <array>
#include <cstddef>
#include <span>

#include "probe/tables/vendor.h"
#include "probe/text/inline_text.h"

namespace talvex {

namespace {

// The signatures a row covers: one family, a range of display models, a range of steppings.
struct Signature {
    uint32_t family;
    uint8_t model_lo, model_hi, step_lo, step_hi;
};
constexpr Signature M(uint32_t family, uint8_t model) { return {family, model, model, 0x0, 0xF}; }
constexpr Signature M(uint32_t family, uint8_t lo, uint8_t hi) { return {family, lo, hi, 0x0, 0xF}; }
constexpr Signature S(uint32_t family, uint8_t model, uint8_t step_lo, uint8_t step_hi) {
    return {family, model, model, step_lo, step_hi};
}

// What a row asks besides the signature. `brand` is "" (any brand) or alternatives separated by '|';
// an alternative is pieces of text separated by '*' that must occur in the brand in this order, '#'
// standing for any digit. A size or core pair {0, 0} asks nothing; any other pair asks for a known
// (non-zero) size of one L2 or one L3 cache, in KB, or count of cores, within [lo, hi]. `no_l2` asks
// for caches that CPUID describes without an L2; `type` for a processor type (kAnyType: any).
constexpr uint8_t kAnyType = 0xFF;
struct When {
    constexpr When(const char* b) : brand(b) {}
    constexpr When(std::string_view b) : brand(b) {}
    uint32_t l2_lo = 0, l2_hi = 0, l3_lo = 0, l3_hi = 0, cores_lo = 0, cores_hi = 0;
    bool no_l2 = false;
    uint8_t type = kAnyType;
    InlineText<64> brand;
    friend constexpr bool operator==(const When&, const When&) = default;
};
constexpr When L2(uint32_t lo, uint32_t hi, std::string_view brand = "") {
    When w(brand);
    w.l2_lo = lo;
    w.l2_hi = hi;
    return w;
}
constexpr When L3(uint32_t lo, uint32_t hi, std::string_view brand = "") {
    When w(brand);
    w.l3_lo = lo;
    w.l3_hi = hi;
    return w;
}
constexpr When Cores(uint32_t lo, uint32_t hi, std::string_view brand = "") {
    When w(brand);
    w.cores_lo = lo;
    w.cores_hi = hi;
    return w;
}
constexpr When NoL2() {
    When w("");
    w.no_l2 = true;
    return w;
}
constexpr When OverDrive() {
    When w("");
    w.type = 1;
    return w;
}
constexpr uint32_t kMax = 0xFFFFFFFF;

// `core` is the design of the only or the performance core; `efficiency` the second design of a
// hybrid die, "" otherwise.
struct Row {
    Signature sig;
    When when;
    InlineText<24> core;
    InlineText<16> efficiency;
    InlineText<48> codename;
};

// Brand alternatives too long for a table column.
constexpr std::string_view kKentsfield = "Quad| Q6###|QX6###|Xeon*32##";
constexpr std::string_view kClovertown = "Xeon*53##";
constexpr std::string_view kTigerton = "Xeon*72##|Xeon*73##";
constexpr std::string_view kMobile65 = " T#| L7###| U7###| X7###";
constexpr std::string_view kQuadMobile45 = " Q9000| Q9100|QX9300";
constexpr std::string_view kYorkfield = "Quad|QX9###|Xeon*33##";
constexpr std::string_view kMobile45 = " T#| P7###| P8###| P9###| SP9###| SL9###| SU#| X9000| X9100";
constexpr std::string_view kHarpertown = "Xeon*54##";
constexpr std::string_view kWolfdaleDP = "Xeon*52##";
constexpr std::string_view kGainestown = "Xeon*55##";
constexpr std::string_view kClarksfield = " Q 7##| Q 8##| Q 9##| X 9##";
constexpr std::string_view kArrandale = " M ###| L ###| U ###| P4###| P6###| U3###| U5###";
constexpr std::string_view kAmberLake8 = "-8#00Y|-8#10Y";
constexpr std::string_view kPentiumD = "Pentium(R) D|Pentium(R) Extreme";
constexpr std::string_view kHawkPoint = "Ryzen # 8#4#|Ryzen # PRO 8#4#";

// clang-format off
constexpr auto kIntel = std::to_array<Row>({
    // signature           when                     core               efficiency     codename
    // OverDrive processors (processor type 1) share the signature of the part they replace or copy.
    {M(4, 0x3),            OverDrive(),             "i486",            "",            "P23T"},
    {M(4, 0x8),            OverDrive(),             "i486",            "",            "P24CT"},
    {M(5, 0x1),            OverDrive(),             "P5",              "",            "P5T"},
    {M(5, 0x2),            OverDrive(),             "P5",              "",            "P54CT"},
    {M(5, 0x4),            OverDrive(),             "P5",              "",            "P54CTB"},
    {M(6, 0x03),           OverDrive(),             "P6",              "",            "P6T"},
    {M(4, 0x0, 0x1),       "",                      "i486",            "",            "P4"},
    {M(4, 0x2),            "",                      "i486",            "",            "P23"},
    {M(4, 0x3),            "",                      "i486",            "",            "P24"},
    {M(4, 0x4),            "",                      "i486",            "",            "i486SL"},
    {M(4, 0x5),            "",                      "i486",            "",            "i486SX2"},
    {M(4, 0x7),            "",                      "i486",            "",            "P24D"},
    {M(4, 0x8),            "",                      "i486",            "",            "P24C"},
    {M(4, 0x9),            "",                      "i486",            "",            "P24C"},
    {M(5, 0x0, 0x1),       "",                      "P5",              "",            "P5"},
    {M(5, 0x2),            "",                      "P5",              "",            "P54C"},
    {M(5, 0x3),            "",                      "P5",              "",            "P24T"},
    {M(5, 0x4),            "",                      "P5",              "",            "P55C"},
    {M(5, 0x7),            "",                      "P5",              "",            "P54CS"},
    {M(5, 0x8),            "",                      "P5",              "",            "Tillamook"},
    {M(5, 0x9),            "",                      "Lakemont",        "",            "Clanton"},
    // P6, Pentium M, Core and Penryn. Mendocino and Dixon share model 6; Dixon came as steppings
    // A and D with 256 KB, and a Mobile Celeron of those steppings has 128 KB.
    {M(6, 0x01),           "",                      "P6",              "",            "P6"},
    {M(6, 0x03),           "",                      "P6",              "",            "Klamath"},
    {M(6, 0x05),           NoL2(),                  "P6",              "",            "Covington"},
    {M(6, 0x05),           L2(1024, kMax),          "P6",              "",            "Drake"},
    {M(6, 0x05),           "",                      "P6",              "",            "Deschutes"},
    {S(6, 0x06, 0x0, 0x9), "",                      "P6",              "",            "Mendocino"},
    {S(6, 0x06, 0xA, 0xF), L2(1, 128),              "P6",              "",            "Mendocino"},
    {S(6, 0x06, 0xA, 0xF), "",                      "P6",              "",            "Dixon"},
    {M(6, 0x07),           L2(1024, kMax),          "P6",              "",            "Tanner"},
    {M(6, 0x07),           "",                      "P6",              "",            "Katmai"},
    {M(6, 0x08),           "",                      "P6",              "",            "Coppermine"},
    {M(6, 0x09),           "",                      "Pentium M",       "",            "Banias"},
    {M(6, 0x0A),           "",                      "P6",              "",            "Cascades"},
    {M(6, 0x0B),           "",                      "P6",              "",            "Tualatin"},
    {M(6, 0x0D),           "",                      "Pentium M",       "",            "Dothan"},
    {M(6, 0x0E),           "Xeon",                  "Pentium M",       "",            "Sossaman"},
    {M(6, 0x0E),           "",                      "Pentium M",       "",            "Yonah"},
    // Merom, Conroe and Woodcrest are one die; Allendale (steppings 2 and D) is the 2 MB die.
    {M(6, 0x0F),           kKentsfield,             "Core",            "",            "Kentsfield"},
    {M(6, 0x0F),           kTigerton,               "Core",            "",            "Tigerton"},
    {M(6, 0x0F),           kClovertown,             "Core",            "",            "Clovertown"},
    {M(6, 0x0F),           "Xeon*51##",             "Core",            "",            "Woodcrest"},
    {M(6, 0x0F),           Cores(4, 4),             "Core",            "",            "Kentsfield / Clovertown / Tigerton"},
    {S(6, 0x0F, 0x2, 0x2), kMobile65,               "Core",            "",            "Merom-2M"},
    {S(6, 0x0F, 0xD, 0xD), kMobile65,               "Core",            "",            "Merom-2M"},
    {S(6, 0x0F, 0x2, 0x2), "",                      "Core",            "",            "Allendale"},
    {S(6, 0x0F, 0xD, 0xD), "",                      "Core",            "",            "Allendale"},
    {M(6, 0x0F),           kMobile65,               "Core",            "",            "Merom"},
    {M(6, 0x0F),           "",                      "Core",            "",            "Conroe"},
    {M(6, 0x15),           "",                      "Pentium M",       "",            "Tolapai"},
    {M(6, 0x16),           "Celeron(R) M",          "Core",            "",            "Merom-L"},
    {M(6, 0x16),           "",                      "Core",            "",            "Conroe-L"},
    {M(6, 0x17),           kQuadMobile45,           "Penryn",          "",            "Penryn"},
    {M(6, 0x17),           L2(1, 3072, kYorkfield), "Penryn",          "",            "Yorkfield-6M"},
    {M(6, 0x17),           kYorkfield,              "Penryn",          "",            "Yorkfield"},
    {M(6, 0x17),           kHarpertown,             "Penryn",          "",            "Harpertown"},
    {M(6, 0x17),           kWolfdaleDP,             "Penryn",          "",            "Wolfdale-DP"},
    {M(6, 0x17),           Cores(4, 4),             "Penryn",          "",            "Yorkfield / Harpertown"},
    {M(6, 0x17),           L2(1, 3072, kMobile45),  "Penryn",          "",            "Penryn-3M"},
    {M(6, 0x17),           kMobile45,               "Penryn",          "",            "Penryn"},
    {M(6, 0x17),           L2(1, 3072),             "Penryn",          "",            "Wolfdale-3M"},
    {M(6, 0x17),           "",                      "Penryn",          "",            "Wolfdale"},
    {M(6, 0x1D),           "",                      "Penryn",          "",            "Dunnington"},
    // Nehalem and Westmere.
    {M(6, 0x1A),           kGainestown,             "Nehalem",         "",            "Gainestown"},
    {M(6, 0x1A),           "",                      "Nehalem",         "",            "Bloomfield"},
    {M(6, 0x1E),           kClarksfield,            "Nehalem",         "",            "Clarksfield"},
    {M(6, 0x1E),           "Xeon*C55|Xeon*C35",     "Nehalem",         "",            "Jasper Forest"},
    {M(6, 0x1E),           "",                      "Nehalem",         "",            "Lynnfield"},
    {M(6, 0x2E),           "",                      "Nehalem",         "",            "Beckton"},
    {M(6, 0x25),           kArrandale,              "Westmere",        "",            "Arrandale"},
    {M(6, 0x25),           "",                      "Westmere",        "",            "Clarkdale"},
    {M(6, 0x2C),           "Core|Xeon*W36",         "Westmere",        "",            "Gulftown"},
    {M(6, 0x2C),           "",                      "Westmere",        "",            "Westmere-EP"},
    {M(6, 0x2F),           "",                      "Westmere",        "",            "Westmere-EX"},
    // Sandy Bridge to Broadwell.
    {M(6, 0x2A),           "",                      "Sandy Bridge",    "",            "Sandy Bridge"},
    {M(6, 0x2D),           "Xeon",                  "Sandy Bridge",    "",            "Sandy Bridge-EP"},
    {M(6, 0x2D),           "",                      "Sandy Bridge",    "",            "Sandy Bridge-E"},
    {M(6, 0x3A),           "",                      "Ivy Bridge",      "",            "Ivy Bridge"},
    {M(6, 0x3E),           "E7-",                   "Ivy Bridge",      "",            "Ivy Bridge-EX"},
    {M(6, 0x3E),           "Xeon",                  "Ivy Bridge",      "",            "Ivy Bridge-EP"},
    {M(6, 0x3E),           "",                      "Ivy Bridge",      "",            "Ivy Bridge-E"},
    {M(6, 0x3C),           "",                      "Haswell",         "",            "Haswell"},
    {M(6, 0x45, 0x46),     "",                      "Haswell",         "",            "Haswell"},
    {M(6, 0x3F),           "E7-",                   "Haswell",         "",            "Haswell-EX"},
    {M(6, 0x3F),           "Xeon",                  "Haswell",         "",            "Haswell-EP"},
    {M(6, 0x3F),           "",                      "Haswell",         "",            "Haswell-E"},
    {M(6, 0x3D),           "",                      "Broadwell",       "",            "Broadwell"},
    {M(6, 0x47),           "",                      "Broadwell",       "",            "Broadwell"},
    {M(6, 0x4F),           "E7-",                   "Broadwell",       "",            "Broadwell-EX"},
    {M(6, 0x4F),           "Xeon",                  "Broadwell",       "",            "Broadwell-EP"},
    {M(6, 0x4F),           "",                      "Broadwell",       "",            "Broadwell-E"},
    {M(6, 0x56),           "",                      "Broadwell",       "",            "Broadwell-DE"},
    // The Skylake core and the dies built on it, told apart by stepping and brand.
    {M(6, 0x4E),           "",                      "Skylake",         "",            "Skylake"},
    {M(6, 0x5E),           "",                      "Skylake",         "",            "Skylake"},
    {S(6, 0x55, 0x0, 0x4), "W-21",                  "Skylake",         "",            "Skylake-W"},
    {S(6, 0x55, 0x0, 0x4), "Xeon",                  "Skylake",         "",            "Skylake-SP"},
    {S(6, 0x55, 0x0, 0x4), "",                      "Skylake",         "",            "Skylake-X"},
    {S(6, 0x55, 0x5, 0x7), "W-22",                  "Skylake",         "",            "Cascade Lake-W"},
    {S(6, 0x55, 0x5, 0x7), "Xeon",                  "Skylake",         "",            "Cascade Lake-SP"},
    {S(6, 0x55, 0x5, 0x7), "",                      "Skylake",         "",            "Cascade Lake-X"},
    {S(6, 0x55, 0xA, 0xB), "",                      "Skylake",         "",            "Cooper Lake"},
    {S(6, 0x8E, 0x0, 0x9), kAmberLake8,             "Skylake",         "",            "Amber Lake"},
    {S(6, 0x8E, 0x0, 0x9), "",                      "Skylake",         "",            "Kaby Lake"},
    {S(6, 0x8E, 0xA, 0xA), "",                      "Skylake",         "",            "Kaby Lake-R"},
    {S(6, 0x8E, 0xB, 0xB), "",                      "Skylake",         "",            "Whiskey Lake"},
    {S(6, 0x8E, 0xC, 0xC), "-10###Y",               "Skylake",         "",            "Amber Lake"},
    {S(6, 0x8E, 0xC, 0xC), "-10###U",               "Skylake",         "",            "Comet Lake"},
    {S(6, 0x8E, 0xC, 0xC), "",                      "Skylake",         "",            "Whiskey Lake"},
    {S(6, 0x9E, 0x0, 0x9), "",                      "Skylake",         "",            "Kaby Lake"},
    {S(6, 0x9E, 0xA, 0xB), "",                      "Skylake",         "",            "Coffee Lake"},
    {S(6, 0x9E, 0xC, 0xD), "",                      "Skylake",         "",            "Coffee Lake Refresh"},
    {M(6, 0xA5, 0xA6),     "",                      "Skylake",         "",            "Comet Lake"},
    // The Cove cores.
    {M(6, 0x66),           "",                      "Palm Cove",       "",            "Cannon Lake"},
    {M(6, 0x6A),           "",                      "Sunny Cove",      "",            "Ice Lake-SP"},
    {M(6, 0x6C),           "",                      "Sunny Cove",      "",            "Ice Lake-D"},
    {M(6, 0x7D, 0x7E),     "",                      "Sunny Cove",      "",            "Ice Lake"},
    {M(6, 0x9D),           "",                      "Sunny Cove",      "",            "Spring Hill"},
    {M(6, 0x8C, 0x8D),     "",                      "Willow Cove",     "",            "Tiger Lake"},
    {M(6, 0xA7),           "",                      "Cypress Cove",    "",            "Rocket Lake"},
    {M(6, 0x8F),           "",                      "Golden Cove",     "",            "Sapphire Rapids"},
    {M(6, 0xCF),           "",                      "Raptor Cove",     "",            "Emerald Rapids"},
    {M(6, 0xAD),           "",                      "Redwood Cove",    "",            "Granite Rapids"},
    {M(6, 0xAE),           "",                      "Redwood Cove",    "",            "Granite Rapids-D"},
    {M(6, 0xD7),           "",                      "Raptor Cove",     "",            "Bartlett Lake"},
    {M(19, 0x01),          "",                      "Panther Cove",    "",            "Diamond Rapids"},
    // Hybrid dies: performance core, then efficiency core. Model BF is the Alder Lake silicon
    // (steppings C0 and H0) sold as 13th and 14th generation.
    {M(6, 0x8A),           "",                      "Sunny Cove",      "Tremont",     "Lakefield"},
    {M(6, 0x97),           "",                      "Golden Cove",     "Gracemont",   "Alder Lake"},
    {M(6, 0x9A),           "",                      "Golden Cove",     "Gracemont",   "Alder Lake"},
    {M(6, 0xB7),           "",                      "Raptor Cove",     "Gracemont",   "Raptor Lake"},
    {M(6, 0xBA),           "",                      "Raptor Cove",     "Gracemont",   "Raptor Lake"},
    {M(6, 0xBF),           "",                      "Golden Cove",     "Gracemont",   "Raptor Lake"},
    {M(6, 0xAA),           "",                      "Redwood Cove",    "Crestmont",   "Meteor Lake"},
    {M(6, 0xAC),           "",                      "Redwood Cove",    "Crestmont",   "Meteor Lake"},
    {M(6, 0xB5),           "",                      "Redwood Cove",    "Crestmont",   "Arrow Lake"},
    {M(6, 0xC5, 0xC6),     "",                      "Lion Cove",       "Skymont",     "Arrow Lake"},
    {M(6, 0xBD),           "",                      "Lion Cove",       "Skymont",     "Lunar Lake"},
    {M(6, 0xCC),           "",                      "Cougar Cove",     "Darkmont",    "Panther Lake"},
    {M(6, 0xD5),           "",                      "Cougar Cove",     "Darkmont",    "Wildcat Lake"},
    {M(18, 0x01),          "",                      "Coyote Cove",     "Arctic Wolf", "Nova Lake"},
    {M(18, 0x03),          "",                      "Coyote Cove",     "Arctic Wolf", "Nova Lake"},
    // Atom and the efficiency-core-only dies.
    {S(6, 0x1C, 0xA, 0xA), "",                      "Bonnell",         "",            "Pineview"},
    {M(6, 0x1C),           " Z5##",                 "Bonnell",         "",            "Silverthorne"},
    {M(6, 0x1C),           "",                      "Bonnell",         "",            "Diamondville"},
    {M(6, 0x26),           "",                      "Bonnell",         "",            "Lincroft"},
    {M(6, 0x27),           "",                      "Saltwell",        "",            "Penwell"},
    {M(6, 0x35),           "",                      "Saltwell",        "",            "Cloverview"},
    {M(6, 0x36),           " S12##",                "Saltwell",        "",            "Centerton"},
    {M(6, 0x36),           "",                      "Saltwell",        "",            "Cedarview"},
    {M(6, 0x37),           "",                      "Silvermont",      "",            "Bay Trail"},
    {M(6, 0x4A),           "",                      "Silvermont",      "",            "Merrifield"},
    {M(6, 0x4D),           "C2##8",                 "Silvermont",      "",            "Rangeley"},
    {M(6, 0x4D),           "",                      "Silvermont",      "",            "Avoton"},
    {M(6, 0x4C),           "Z8###|E8000",           "Airmont",         "",            "Cherry Trail"},
    {M(6, 0x4C),           "",                      "Airmont",         "",            "Braswell"},
    {M(6, 0x5A),           "",                      "Airmont",         "",            "Moorefield"},
    {M(6, 0x75),           "",                      "Airmont",         "",            "Lightning Mountain"},
    {M(6, 0x5C),           "",                      "Goldmont",        "",            "Apollo Lake"},
    {M(6, 0x5F),           "",                      "Goldmont",        "",            "Denverton"},
    {M(6, 0x7A),           "",                      "Goldmont Plus",   "",            "Gemini Lake"},
    {M(6, 0x86),           " P59##",                "Tremont",         "",            "Snow Ridge"},
    {M(6, 0x86),           "",                      "Tremont",         "",            "Jacobsville"},
    {M(6, 0x96),           "",                      "Tremont",         "",            "Elkhart Lake"},
    {M(6, 0x9C),           "",                      "Tremont",         "",            "Jasper Lake"},
    {M(6, 0xBE),           " N150| N250| N355",     "Gracemont",       "",            "Twin Lake"},
    {M(6, 0xBE),           "",                      "Gracemont",       "",            "Alder Lake-N"},
    {M(6, 0xAF),           "",                      "Crestmont",       "",            "Sierra Forest"},
    {M(6, 0xB6),           "",                      "Crestmont",       "",            "Grand Ridge"},
    {M(6, 0xDD),           "",                      "Darkmont",        "",            "Clearwater Forest"},
    {M(6, 0x57),           "",                      "Knights Landing", "",            "Knights Landing"},
    {M(6, 0x85),           "",                      "Knights Landing", "",            "Knights Mill"},
    // NetBurst.
    {M(15, 0x0, 0x1),      L3(1, kMax),             "NetBurst",        "",            "Foster MP"},
    {M(15, 0x0, 0x1),      "Xeon",                  "NetBurst",        "",            "Foster"},
    {M(15, 0x0, 0x1),      "",                      "NetBurst",        "",            "Willamette"},
    {M(15, 0x2),           L3(1, kMax),             "NetBurst",        "",            "Gallatin"},
    {M(15, 0x2),           "Xeon(TM) MP",           "NetBurst",        "",            "Gallatin"},
    {M(15, 0x2),           "Xeon",                  "NetBurst",        "",            "Prestonia"},
    {M(15, 0x2),           "Extreme Edition",       "NetBurst",        "",            "Gallatin"},
    {M(15, 0x2),           "",                      "NetBurst",        "",            "Northwood"},
    {M(15, 0x3, 0x4),      L3(1, kMax, "Xeon"),     "NetBurst",        "",            "Potomac"},
    {M(15, 0x4),           Cores(2, 2, "Xeon"),     "NetBurst",        "",            "Paxville"},
    {M(15, 0x4),           Cores(2, 2),             "NetBurst",        "",            "Smithfield"},
    {M(15, 0x4),           "Xeon(TM) MP",           "NetBurst",        "",            "Cranford"},
    {M(15, 0x3, 0x4),      L2(2048, 2048, "Xeon"),  "NetBurst",        "",            "Irwindale"},
    {M(15, 0x3, 0x4),      "Xeon",                  "NetBurst",        "",            "Nocona"},
    {M(15, 0x4),           kPentiumD,               "NetBurst",        "",            "Smithfield"},
    {M(15, 0x3, 0x4),      L2(2048, 2048),          "NetBurst",        "",            "Prescott-2M"},
    {M(15, 0x3, 0x4),      "",                      "NetBurst",        "",            "Prescott"},
    {M(15, 0x6),           L3(1, kMax),             "NetBurst",        "",            "Tulsa"},
    {M(15, 0x6),           Cores(2, 2, "Xeon"),     "NetBurst",        "",            "Dempsey"},
    {M(15, 0x6),           Cores(2, 2),             "NetBurst",        "",            "Presler"},
    {M(15, 0x6),           kPentiumD,               "NetBurst",        "",            "Presler"},
    {M(15, 0x6),           "Xeon*71##",             "NetBurst",        "",            "Tulsa"},
    {M(15, 0x6),           "Xeon",                  "NetBurst",        "",            "Dempsey"},
    {M(15, 0x6),           "",                      "NetBurst",        "",            "Cedar Mill"},
});
// clang-format on

// K8 brands: the same die took a desktop, mobile, value or server name by its brand.
// clang-format off
constexpr auto kAMD = std::to_array<Row>({
    // signature           when                     core               efficiency     codename
    {M(4, 0x3),            "",                      "Am486",           "",            "Am486DX2"},
    {M(4, 0x7),            "",                      "Am486",           "",            "Am486DX2"},
    {M(4, 0x8, 0x9),       "",                      "Am486",           "",            "Am486DX4"},
    {M(4, 0xE, 0xF),       "",                      "Am5x86",          "",            "X5"},
    {M(5, 0x0),            "",                      "K5",              "",            "SSA/5"},
    {M(5, 0x1, 0x3),       "",                      "K5",              "",            "5k86"},
    {M(5, 0x6),            "",                      "K6",              "",            "K6"},
    {M(5, 0x7),            "",                      "K6",              "",            "Little Foot"},
    {S(5, 0x8, 0xC, 0xF),  "",                      "K6",              "",            "Chomper Extended"},
    {M(5, 0x8),            "",                      "K6",              "",            "Chomper"},
    {M(5, 0x9),            "",                      "K6",              "",            "Sharptooth"},
    {M(5, 0xA),            "",                      "Geode LX",        "",            "Geode LX"},
    {M(5, 0xD),            "",                      "K6",              "",            "K6-2+ / K6-III+"},
    {M(6, 0x1),            "",                      "K7",              "",            "Argon"},
    {M(6, 0x2),            "",                      "K7",              "",            "Pluto / Orion"},
    {M(6, 0x3),            "",                      "K7",              "",            "Spitfire"},
    {M(6, 0x4),            "",                      "K7",              "",            "Thunderbird"},
    {M(6, 0x6),            "",                      "K7",              "",            "Palomino"},
    {M(6, 0x7),            "",                      "K7",              "",            "Morgan"},
    {M(6, 0x8),            "Duron",                 "K7",              "",            "Applebred"},
    {M(6, 0x8),            "",                      "K7",              "",            "Thoroughbred"},
    {M(6, 0xA),            "",                      "K7",              "",            "Barton"},
    // K8 by revision: 130 nm (models 04-0F), 90 nm D and E (1x, 2x), F (4x, 5x, C1), 65 nm G (6x, 7x).
    {M(15, 0x04),          "",                      "K8",              "",            "ClawHammer"},
    {M(15, 0x05),          "",                      "K8",              "",            "SledgeHammer"},
    {M(15, 0x07),          "",                      "K8",              "",            "ClawHammer"},
    {M(15, 0x08),          "Sempron",               "K8",              "",            "Dublin"},
    {M(15, 0x08),          "",                      "K8",              "",            "ClawHammer"},
    {M(15, 0x0B),          "",                      "K8",              "",            "ClawHammer"},
    {M(15, 0x0C),          "Sempron",               "K8",              "",            "Paris"},
    {M(15, 0x0C),          "",                      "K8",              "",            "Newcastle"},
    {M(15, 0x0F),          "",                      "K8",              "",            "Newcastle"},
    {M(15, 0x1C),          "Mobile AMD Sempron",    "K8",              "",            "Sonora"},
    {M(15, 0x1C),          "Sempron",               "K8",              "",            "Palermo"},
    {M(15, 0x1C),          "Mobile AMD Athlon",     "K8",              "",            "Oakville"},
    {M(15, 0x1F),          "Sempron",               "K8",              "",            "Palermo"},
    {M(15, 0x1F),          "",                      "K8",              "",            "Winchester"},
    {M(15, 0x21),          "Processor 1",           "K8",              "",            "Denmark"},
    {M(15, 0x21),          "Processor 2",           "K8",              "",            "Italy"},
    {M(15, 0x21),          "Processor 8",           "K8",              "",            "Egypt"},
    {M(15, 0x23),          "Opteron",               "K8",              "",            "Denmark"},
    {M(15, 0x23),          "",                      "K8",              "",            "Toledo"},
    {M(15, 0x24),          "Turion",                "K8",              "",            "Lancaster"},
    {M(15, 0x24),          "Mobile AMD Athlon",     "K8",              "",            "Newark"},
    {M(15, 0x25),          "Processor 1",           "K8",              "",            "Venus"},
    {M(15, 0x25),          "Processor 2",           "K8",              "",            "Troy"},
    {M(15, 0x25),          "Processor 8",           "K8",              "",            "Athens"},
    {M(15, 0x27),          "Opteron",               "K8",              "",            "Venus"},
    {M(15, 0x27),          "",                      "K8",              "",            "San Diego"},
    {M(15, 0x2B),          "",                      "K8",              "",            "Manchester"},
    {M(15, 0x2C),          "Mobile AMD Sempron",    "K8",              "",            "Albany"},
    {M(15, 0x2C),          "Sempron",               "K8",              "",            "Palermo"},
    {M(15, 0x2C),          "",                      "K8",              "",            "Venice"},
    {M(15, 0x2F),          "Sempron",               "K8",              "",            "Palermo"},
    {M(15, 0x2F),          "",                      "K8",              "",            "Venice"},
    {M(15, 0x41),          "",                      "K8",              "",            "Santa Rosa"},
    {M(15, 0xC1),          "",                      "K8",              "",            "Santa Rosa"},
    {M(15, 0x43),          "Opteron",               "K8",              "",            "Santa Ana"},
    {M(15, 0x43),          "",                      "K8",              "",            "Windsor"},
    {M(15, 0x4B),          "",                      "K8",              "",            "Windsor"},
    {M(15, 0x4C),          "Turion",                "K8",              "",            "Richmond"},
    {M(15, 0x4C),          "Sempron",               "K8",              "",            "Keene"},
    {M(15, 0x4F),          "Sempron",               "K8",              "",            "Manila"},
    {M(15, 0x4F),          "",                      "K8",              "",            "Orleans"},
    {M(15, 0x5F),          "Sempron",               "K8",              "",            "Manila"},
    {M(15, 0x5F),          "",                      "K8",              "",            "Orleans"},
    {M(15, 0x68),          "",                      "K8",              "",            "Tyler"},
    {M(15, 0x6B),          "Sempron",               "K8",              "",            "Sherman"},
    {M(15, 0x6B),          "",                      "K8",              "",            "Brisbane"},
    {M(15, 0x6F),          "Sempron",               "K8",              "",            "Sparta"},
    {M(15, 0x6F),          "",                      "K8",              "",            "Lima"},
    {M(15, 0x7F),          "Sempron",               "K8",              "",            "Sparta"},
    {M(15, 0x7F),          "",                      "K8",              "",            "Lima"},
    // K10 (family 10h) and its relatives.
    {M(0x10, 0x02),        "Opteron",               "K10",             "",            "Barcelona"},
    {M(0x10, 0x02),        "Triple-Core",           "K10",             "",            "Toliman"},
    {M(0x10, 0x02),        "Athlon",                "K10",             "",            "Kuma"},
    {M(0x10, 0x02),        "",                      "K10",             "",            "Agena"},
    {M(0x10, 0x04),        "Opteron",               "K10",             "",            "Shanghai"},
    {M(0x10, 0x04),        "Phenom(tm) II X3",      "K10",             "",            "Heka"},
    {M(0x10, 0x04),        "Phenom(tm) II X2",      "K10",             "",            "Callisto"},
    {M(0x10, 0x04),        "",                      "K10",             "",            "Deneb"},
    {M(0x10, 0x05),        " X3 ",                  "K10",             "",            "Rana"},
    {M(0x10, 0x05),        "",                      "K10",             "",            "Propus"},
    {M(0x10, 0x06),        "Sempron",               "K10",             "",            "Sargas"},
    {M(0x10, 0x06),        "",                      "K10",             "",            "Regor"},
    {M(0x10, 0x08),        "Processor 41",          "K10",             "",            "Lisbon"},
    {M(0x10, 0x08),        "",                      "K10",             "",            "Istanbul"},
    {M(0x10, 0x09),        "",                      "K10",             "",            "Magny-Cours"},
    {M(0x10, 0x0A),        " X4 ",                  "K10",             "",            "Zosma"},
    {M(0x10, 0x0A),        "",                      "K10",             "",            "Thuban"},
    {M(0x11, 0x03),        "",                      "K8",              "",            "Griffin"},
    {M(0x12, 0x01),        "",                      "K10",             "",            "Llano"},
    {M(0x14, 0x01, 0x02),  "AMD C-",                "Bobcat",          "",            "Ontario"},
    {M(0x14, 0x01, 0x02),  "AMD Z-",                "Bobcat",          "",            "Desna"},
    {M(0x14, 0x01, 0x02),  "",                      "Bobcat",          "",            "Zacate"},
    // Bulldozer family (15h) and the small cores (16h).
    {M(0x15, 0x01),        "Processor 62##",        "Bulldozer",       "",            "Interlagos"},
    {M(0x15, 0x01),        "Processor 42##",        "Bulldozer",       "",            "Valencia"},
    {M(0x15, 0x01),        "Processor 32##",        "Bulldozer",       "",            "Zurich"},
    {M(0x15, 0x01),        "",                      "Bulldozer",       "",            "Zambezi"},
    {M(0x15, 0x02),        "Processor 63##",        "Piledriver",      "",            "Abu Dhabi"},
    {M(0x15, 0x02),        "Processor 43##",        "Piledriver",      "",            "Seoul"},
    {M(0x15, 0x02),        "Processor 33##",        "Piledriver",      "",            "Delhi"},
    {M(0x15, 0x02),        "",                      "Piledriver",      "",            "Vishera"},
    {M(0x15, 0x10),        "",                      "Piledriver",      "",            "Trinity"},
    {M(0x15, 0x13),        "",                      "Piledriver",      "",            "Richland"},
    {M(0x15, 0x30),        "",                      "Steamroller",     "",            "Kaveri"},
    {M(0x15, 0x38),        "",                      "Steamroller",     "",            "Godavari"},
    {M(0x15, 0x60),        "",                      "Excavator",       "",            "Carrizo"},
    {M(0x15, 0x65),        "",                      "Excavator",       "",            "Bristol Ridge"},
    {M(0x15, 0x70),        "",                      "Excavator",       "",            "Stoney Ridge"},
    {M(0x16, 0x00, 0x0F),  "A4-12##|A6-14##",       "Jaguar",          "",            "Temash"},
    {M(0x16, 0x00, 0x0F),  "",                      "Jaguar",          "",            "Kabini"},
    {M(0x16, 0x30, 0x3F),  "Micro-",                "Puma",            "",            "Mullins"},
    {M(0x16, 0x30, 0x3F),  "",                      "Puma",            "",            "Beema"},
    // Zen (17h, 19h, 1Ah): one model range a die; server and workstation parts by brand.
    {M(0x17, 0x01),        "EPYC",                  "Zen",             "",            "Naples"},
    {M(0x17, 0x01),        "Threadripper",          "Zen",             "",            "Whitehaven"},
    {M(0x17, 0x01),        Cores(17, kMax),         "Zen",             "",            "Naples"},
    {M(0x17, 0x01),        Cores(9, 16),            "Zen",             "",            "Whitehaven / Naples"},
    {M(0x17, 0x01),        "",                      "Zen",             "",            "Summit Ridge"},
    {M(0x17, 0x08),        "Threadripper",          "Zen+",            "",            "Colfax"},
    {M(0x17, 0x08),        Cores(9, kMax),          "Zen+",            "",            "Colfax"},
    {M(0x17, 0x08),        "",                      "Zen+",            "",            "Pinnacle Ridge"},
    {M(0x17, 0x11),        "",                      "Zen",             "",            "Raven Ridge"},
    {M(0x17, 0x18),        "",                      "Zen+",            "",            "Picasso"},
    {M(0x17, 0x20),        "",                      "Zen",             "",            "Dali"},
    {M(0x17, 0x30, 0x31),  "Threadripper",          "Zen 2",           "",            "Castle Peak"},
    {M(0x17, 0x30, 0x31),  "",                      "Zen 2",           "",            "Rome"},
    {M(0x17, 0x60),        "",                      "Zen 2",           "",            "Renoir"},
    {M(0x17, 0x68),        "",                      "Zen 2",           "",            "Lucienne"},
    {M(0x17, 0x71),        "",                      "Zen 2",           "",            "Matisse"},
    {M(0x17, 0x90, 0x91),  "",                      "Zen 2",           "",            "Van Gogh"},
    {M(0x17, 0xA0, 0xAF),  "",                      "Zen 2",           "",            "Mendocino"},
    {M(0x19, 0x00, 0x01),  L3(65536, kMax),         "Zen 3",           "",            "Milan-X"},
    {M(0x19, 0x00, 0x01),  "",                      "Zen 3",           "",            "Milan"},
    {M(0x19, 0x08),        "",                      "Zen 3",           "",            "Chagall"},
    {M(0x19, 0x20, 0x21),  "",                      "Zen 3",           "",            "Vermeer"},
    {M(0x19, 0x30),        "",                      "Zen 3",           "",            "Trento"},
    {M(0x19, 0x40, 0x4F),  "7#35",                  "Zen 3+",          "",            "Rembrandt-R"},
    {M(0x19, 0x40, 0x4F),  "",                      "Zen 3+",          "",            "Rembrandt"},
    {M(0x19, 0x50, 0x5F),  "5#25U|7#30U",           "Zen 3",           "",            "Barcelo"},
    {M(0x19, 0x50, 0x5F),  "",                      "Zen 3",           "",            "Cezanne"},
    {M(0x19, 0x10, 0x11),  L3(65536, kMax),         "Zen 4",           "",            "Genoa-X"},
    {M(0x19, 0x10, 0x11),  "",                      "Zen 4",           "",            "Genoa"},
    {M(0x19, 0x18),        "",                      "Zen 4",           "",            "Storm Peak"},
    {M(0x19, 0x61),        "HX",                    "Zen 4",           "",            "Dragon Range"},
    {M(0x19, 0x61),        "",                      "Zen 4",           "",            "Raphael"},
    {M(0x19, 0x74, 0x75),  kHawkPoint,              "Zen 4",           "",            "Hawk Point"},
    {M(0x19, 0x74, 0x75),  "",                      "Zen 4",           "",            "Phoenix"},
    {M(0x19, 0x78),        "",                      "Zen 4",           "Zen 4c",      "Phoenix 2"},
    {M(0x19, 0xA0, 0xAF),  "EPYC 8",                "Zen 4c",          "",            "Siena"},
    {M(0x19, 0xA0, 0xAF),  "",                      "Zen 4c",          "",            "Bergamo"},
    {M(0x1A, 0x00, 0x0F),  "Threadripper",          "Zen 5",           "",            "Shimada Peak"},
    {M(0x1A, 0x00, 0x0F),  "",                      "Zen 5",           "",            "Turin"},
    {M(0x1A, 0x10, 0x1F),  "",                      "Zen 5c",          "",            "Turin Dense"},
    {M(0x1A, 0x20, 0x2F),  "",                      "Zen 5",           "Zen 5c",      "Strix Point"},
    {M(0x1A, 0x40, 0x4F),  "HX",                    "Zen 5",           "",            "Fire Range"},
    {M(0x1A, 0x40, 0x4F),  "",                      "Zen 5",           "",            "Granite Ridge"},
    {M(0x1A, 0x60, 0x6F),  "",                      "Zen 5",           "Zen 5c",      "Krackan Point"},
    {M(0x1A, 0x70, 0x7F),  "",                      "Zen 5",           "",            "Strix Halo"},
});
// clang-format on

// clang-format off
constexpr auto kHygon = std::to_array<Row>({
    // signature           when                     core               efficiency     codename
    {M(0x18, 0x00),        "",                      "Dhyana",          "",            "Dhyana"},
    {M(0x18, 0x04, 0x08),  "",                      "C86-4G",          "",            "C86-4G"},
});
// clang-format on

// IDT and VIA (Centaur), and Zhaoxin, which also answers "CentaurHauls". Zhaoxin names its cores
// and dies alike.
// clang-format off
constexpr auto kCentaur = std::to_array<Row>({
    // signature           when                     core               efficiency     codename
    {M(5, 0x4),            "",                      "WinChip",         "",            "C6"},
    {S(5, 0x8, 0x7, 0x9),  "",                      "WinChip",         "",            "WinChip 2A"},
    {S(5, 0x8, 0xA, 0xF),  "",                      "WinChip",         "",            "WinChip 2B"},
    {M(5, 0x8),            "",                      "WinChip",         "",            "WinChip 2"},
    {M(5, 0x9),            "",                      "WinChip",         "",            "WinChip 3"},
    {M(6, 0x6),            "",                      "C3",              "",            "Samuel"},
    {S(6, 0x7, 0x0, 0x7),  "",                      "C3",              "",            "Samuel 2"},
    {S(6, 0x7, 0x8, 0xF),  "",                      "C3",              "",            "Ezra"},
    {M(6, 0x8),            "",                      "C3",              "",            "Ezra-T"},
    {M(6, 0x9),            "",                      "C3",              "",            "Nehemiah"},
    {M(6, 0xA),            "",                      "C7",              "",            "Esther"},
    {M(6, 0xD),            "",                      "C7",              "",            "Esther"},
    {M(6, 0xF),            "ZHAOXIN",               "ZhangJiang",      "",            "ZX-C"},
    {S(6, 0xF, 0xE, 0xF),  "",                      "ZhangJiang",      "",            "ZX-C"},
    {S(6, 0xF, 0x0, 0xD),  "",                      "Isaiah",          "",            "Isaiah"},
    {M(6, 0x19),           "",                      "ZhangJiang",      "",            "ZX-C / ZX-C+"},
    {M(6, 0x1F),           "",                      "ZhangJiang",      "",            "ZX-C / ZX-C+"},
    {M(6, 0x47),           "",                      "CNS",             "",            "CHA"},
    {M(7, 0x1B),           "",                      "WuDaoKou",        "",            "WuDaoKou"},
    {M(7, 0x3B),           "",                      "LuJiaZui",        "",            "LuJiaZui"},
    {M(7, 0x5B),           "",                      "YongFeng",        "",            "YongFeng"},
    {M(7, 0x6B),           "",                      "ShiJiDaDao",      "",            "ShiJiDaDao"},
});
// clang-format on

// clang-format off
constexpr auto kCyrix = std::to_array<Row>({
    // signature           when                     core               efficiency     codename
    {M(4, 0x4),            "",                      "MediaGX",         "",            "MediaGX"},
    {M(4, 0x9),            "",                      "M1sc",            "",            "5x86"},
    {M(5, 0x2, 0x3),       "",                      "M1",              "",            "6x86"},
    {M(5, 0x4),            "",                      "MediaGX",         "",            "GXm"},
    {M(6, 0x0),            "",                      "M2",              "",            "6x86MX / MII"},
});
constexpr auto kNexGen = std::to_array<Row>({
    {M(5, 0x0),            "",                      "Nx586",           "",            "Nx586"},
});
constexpr auto kRise = std::to_array<Row>({
    {M(5, 0x0),            "",                      "mP6",             "",            "Kirin"},
    {M(5, 0x2),            "",                      "mP6",             "",            "Lynx"},
    {M(5, 0x8, 0x9),       "",                      "mP6",             "",            "iDragon II"},
});
constexpr auto kSiS = std::to_array<Row>({
    {M(5, 0x0),            "",                      "mP6",             "",            "SiS 550"},
});
constexpr auto kTransmeta = std::to_array<Row>({
    {M(5, 0x4),            "",                      "Crusoe",          "",            "Crusoe"},
    {M(15, 0x2, 0x3),      "",                      "Efficeon",        "",            "Efficeon"},
});
constexpr auto kUMC = std::to_array<Row>({
    {M(4, 0x1),            "",                      "U5",              "",            "U5D"},
    {M(4, 0x2),            "",                      "U5",              "",            "U5S"},
});
constexpr auto kNSC = std::to_array<Row>({
    {M(5, 0x4),            "",                      "Geode GX1",       "",            "Geode GX1"},
    {M(5, 0x5),            "",                      "Geode GX",        "",            "Geode GX"},
});
// The EX2 differs from the EX only by having a brand text.
constexpr auto kDMP = std::to_array<Row>({
    {M(5, 0x2),            "",                      "Vortex86",        "",            "Vortex86DX"},
    {M(5, 0x8),            "",                      "Vortex86",        "",            "Vortex86MX"},
    {M(6, 0x0),            "EX2",                   "Vortex86",        "",            "Vortex86EX2"},
    {M(6, 0x0),            "",                      "Vortex86",        "",            "Vortex86EX"},
    {M(6, 0x1),            "",                      "Vortex86",        "",            "Vortex86DX3"},
});
// clang-format on

struct VendorRows {
    Vendor vendor;
    std::span<const Row> rows;
};

// clang-format off
constexpr auto kVendors = std::to_array<VendorRows>({
    {Vendor::Intel,          kIntel},
    {Vendor::AMD,            kAMD},
    {Vendor::AMDSample,      kAMD},
    {Vendor::Hygon,          kHygon},
    {Vendor::Centaur,        kCentaur},
    {Vendor::Zhaoxin,        kCentaur},
    {Vendor::Cyrix,          kCyrix},
    {Vendor::NexGen,         kNexGen},
    {Vendor::Rise,           kRise},
    {Vendor::Transmeta,      kTransmeta},
    {Vendor::TransmetaEarly, kTransmeta},
    {Vendor::UMC,            kUMC},
    {Vendor::SiS,            kSiS},
    {Vendor::NSC,            kNSC},
    {Vendor::DMP,            kDMP},
});
// clang-format on

// Brands of virtual processors that copy a real signature: their rows would name a part that is
// not there.
constexpr std::string_view kVirtualBrands =
    "QEMU Virtual CPU|QEMU TCG CPU|Common KVM processor|"
    "Common 32-bit KVM processor";

constexpr bool PieceAt(std::string_view text, size_t at, std::string_view piece) {
    if (piece.size() > text.size() - at) return false;
    for (size_t i = 0; i < piece.size(); ++i) {
        const char c = text[at + i];
        if (piece[i] == '#' ? (c < '0' || c > '9') : c != piece[i]) return false;
    }
    return true;
}

// Where `piece` first ends in `text` at or after `from`; npos when it does not occur.
constexpr size_t EndOf(std::string_view text, size_t from, std::string_view piece) {
    for (size_t at = from; at <= text.size() && piece.size() <= text.size() - at; ++at)
        if (PieceAt(text, at, piece)) return at + piece.size();
    return std::string_view::npos;
}

// Whether the '*'-separated pieces of `alternative` occur in `brand` one after another.
constexpr bool Occurs(std::string_view brand, std::string_view alternative) {
    size_t from = 0;
    while (true) {
        const size_t star = alternative.find('*');
        from = EndOf(brand, from, alternative.substr(0, star));
        if (from == std::string_view::npos) return false;
        if (star == std::string_view::npos) return true;
        alternative.remove_prefix(star + 1);
    }
}

// Whether any '|'-separated alternative of `pattern` occurs in `brand`.
constexpr bool BrandMatches(std::string_view brand, std::string_view pattern) {
    while (true) {
        const size_t bar = pattern.find('|');
        if (Occurs(brand, pattern.substr(0, bar))) return true;
        if (bar == std::string_view::npos) return false;
        pattern.remove_prefix(bar + 1);
    }
}

constexpr bool Within(uint32_t size, uint32_t lo, uint32_t hi) {
    return (lo == 0 && hi == 0) || (size != 0 && size >= lo && size <= hi);
}

constexpr bool Holds(const Row& row, const UarchQuery& q) {
    const Signature& s = row.sig;
    const When& w = row.when;
    return q.family == s.family && q.model >= s.model_lo && q.model <= s.model_hi && q.stepping >= s.step_lo
           && q.stepping <= s.step_hi && Within(q.l2_kb, w.l2_lo, w.l2_hi)
           && Within(q.l3_kb, w.l3_lo, w.l3_hi) && Within(q.cores, w.cores_lo, w.cores_hi)
           && (!w.no_l2 || (q.caches_known && q.l2_kb == 0)) && (w.type == kAnyType || q.type == w.type)
           && (w.brand.empty() || BrandMatches(q.brand, w.brand));
}

// Table checks, run by the compiler. A row is well formed when its ranges are ordered, its stepping
// fits 4 bits, it names a core and a codename, and its brand has no empty alternative or piece. A row
// is dead when an earlier row of the same family asks no more than it (no brand and no sizes, or the
// very same ones) and covers all of its models and steppings.
constexpr bool WellFormed(const Row& r) {
    const std::string_view b = r.when.brand;
    const bool empty_piece = b.starts_with('|') || b.ends_with('|') || b.starts_with('*') || b.ends_with('*')
                             || b.find("||") != b.npos || b.find("**") != b.npos || b.find("|*") != b.npos
                             || b.find("*|") != b.npos;
    return r.sig.model_lo <= r.sig.model_hi && r.sig.step_lo <= r.sig.step_hi && r.sig.step_hi <= 0xF
           && !r.core.empty() && !r.codename.empty() && !empty_piece && r.when.l2_lo <= r.when.l2_hi
           && r.when.l3_lo <= r.when.l3_hi && r.when.cores_lo <= r.when.cores_hi;
}

constexpr bool Covers(const Row& earlier, const Row& later) {
    const Signature &e = earlier.sig, &l = later.sig;
    return e.family == l.family && e.model_lo <= l.model_lo && e.model_hi >= l.model_hi
           && e.step_lo <= l.step_lo && e.step_hi >= l.step_hi
           && (earlier.when == When("") || earlier.when == later.when);
}

// The index of the first malformed or dead row, or -1.
constexpr int FirstBadRow(std::span<const Row> rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!WellFormed(rows[i])) return static_cast<int>(i);
        for (size_t j = 0; j < i; ++j)
            if (Covers(rows[j], rows[i])) return static_cast<int>(i);
    }
    return -1;
}

static_assert(FirstBadRow(kIntel) == -1);
static_assert(FirstBadRow(kAMD) == -1);
static_assert(FirstBadRow(kHygon) == -1);
static_assert(FirstBadRow(kCentaur) == -1);
static_assert(FirstBadRow(kCyrix) == -1);
static_assert(FirstBadRow(kNexGen) == -1);
static_assert(FirstBadRow(kRise) == -1);
static_assert(FirstBadRow(kTransmeta) == -1);
static_assert(FirstBadRow(kUMC) == -1);
static_assert(FirstBadRow(kSiS) == -1);
static_assert(FirstBadRow(kNSC) == -1);
static_assert(FirstBadRow(kDMP) == -1);

}  // namespace

std::optional<UarchName> IdentifyMicroarchitecture(const UarchQuery& query) {
    if (!query.brand.empty() && BrandMatches(query.brand, kVirtualBrands)) return std::nullopt;
    const Vendor maker = VendorOf(query.vendor);
    for (const VendorRows& vendor : kVendors) {
        if (vendor.vendor != maker) continue;
        for (const Row& row : vendor.rows) {
            if (!Holds(row, query)) continue;
            const bool efficiency = query.core == CoreType::Efficiency && !row.efficiency.empty();
            return UarchName{efficiency ? std::string_view(row.efficiency) : std::string_view(row.core),
                             row.codename,
                             {},
                             {}};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace talvex
