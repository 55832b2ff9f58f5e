// Microarchitecture and codename rows. The key is the vendor text and the display family, model and
// stepping; where a vendor sold one signature under several names, the trimmed brand text, the brand
// index, the size of one L2 / L3 cache (or the absence of an L2), the number of cores, the processor
// type or the absence of an x87 unit picks the row. Where nothing tells two codenames apart, the row gives both, joined by " / ".
// Parts without a brand text (all before 2000, and engineering samples) fall through to the rows that
// ask none. Where the window's naming tables tell a die's cache variant apart (Dixon-128K,
// Coppermine-128K, Northwood-128K, Thorton), the rows do too, by the same facts.
//
// Each vendor has one table, tried from the top: the first row whose conditions all hold decides.
// So a row with a brand or cache condition stands before the plain row of the same model, and the
// classes (rows of a whole family whose every model is one design) come after the rows of their
// family. Beside the rows, each vendor's dies give the process of a codename.
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
// - Intel's Quark documents: the SoC X1000 core's CPUID table (family 5, model 9, an x87 unit) and
//   the microcontroller D2000's data sheet (a Pentium-ISA core without x87);
// - the segment in the brand of Xeon D and Xeon W parts on a server die's signature: Intel's product
//   pages of the Xeon D-2100 (Skylake-D), W-3100 (Skylake-W), W-3200 (Cascade Lake-W) and W-3300
//   (Ice Lake) series;
// - AMD's Ryzen 5 8540U and Ryzen 3 8440U (8040 series, no NPU): the Phoenix 2 die, family 19h models
//   78h to 7Fh;
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
//   signature;
// - classes: AMD's BIOS and kernel developer's guides and software optimization guides, one a family
//   (10h, 11h, 12h, 14h, 16h), and Linux's Hygon support (every family 18h processor is Dhyana).
// Sources of GCC's names: the x86 options of GCC's manual (GCC 12 to 16) and its release notes, and
// for the signatures its manual leaves unnamed GCC's host processor tables (common/config/i386/
// cpuinfo.h and driver-i386.cc: Kaby Lake and Comet Lake are "skylake", Airmont "silvermont", Core
// Duo "pentium-m", the Pentium 4 with SSE3 "prescott" and with 64-bit extensions "nocona"; K8 before
// revision E "k8", from it "k8-sse3"); the Hygon C86-4G names (c86-4g-m4, -m6, -m7, -m8) from GCC's
// development tree.
// Sources of the processes: Intel's product pages ("Lithography") and data sheets of
// the Pentium, Pentium II and III, Celeron, Pentium 4, Pentium M, Core, Xeon and Atom families; AMD's
// data sheets of the K6, Athlon, Duron, Opteron, Athlon 64 and Sempron families and its product pages
// ("Process technology for CPU cores") from the Phenom on; VIA's C3 and C7 data sheets; Zhaoxin's
// KX-6000 product page.
#include "probe/details/uarch.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "probe/leaves/vendor.h"
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

// A class: every model and stepping of one family.
constexpr Signature F(uint32_t family) { return {family, 0x00, 0xFF, 0x0, 0xF}; }

// What a row asks besides the signature. `brand` is "" (any brand) or alternatives separated by '|';
// an alternative is pieces of text separated by '*' that must occur in the brand in this order, '#'
// standing for any digit. A size or core pair {0, 0} asks nothing; any other pair asks for a known
// (non-zero) size of one L2 or one L3 cache, in KB, or count of cores, within [lo, hi]. `no_l2` asks
// for caches that CPUID describes without an L2; `no_fpu` for a processor without an x87 unit (leaf 1
// EDX[0] clear); `type` for a processor type (kAnyType: any); `brand_index` for that brand index of
// leaf 1 (0: any).
constexpr uint8_t kAnyType = 0xFF;
struct When {
    constexpr When(const char* b) : brand(b) {}
    constexpr When(std::string_view b) : brand(b) {}
    uint32_t l2_lo = 0, l2_hi = 0, l3_lo = 0, l3_hi = 0, cores_lo = 0, cores_hi = 0;
    bool no_l2 = false;
    bool no_fpu = false;
    uint8_t type = kAnyType;
    uint8_t brand_index = 0;
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
constexpr When NoFpu() {
    When w("");
    w.no_fpu = true;
    return w;
}
constexpr When OverDrive() {
    When w("");
    w.type = 1;
    return w;
}
constexpr When BrandIndexIs(uint8_t index) {
    When w("");
    w.brand_index = index;
    return w;
}
constexpr uint32_t kMax = 0xFFFFFFFF;

// `core` is the design of the only or the performance core; `efficiency` the second design of a
// hybrid die, "" otherwise. `gcc` is GCC's -march= name: the one its manual gives the product line,
// or, where the manual names no product of the design, the one its host processor tables give the
// signature (Kaby Lake and Comet Lake are "skylake" there, Core Duo "pentium-m", a 64-bit Pentium 4
// "nocona"); "" where GCC has none or the row's products differ in it.
struct Row {
    Signature sig;
    When when;
    InlineText<24> core;
    InlineText<16> efficiency;
    InlineText<16> gcc;
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
    // signature           when                     core               efficiency     gcc                 codename
    // OverDrive processors (processor type 1) share the signature of the part they replace or copy.
    {M(4, 0x3),            OverDrive(),             "i486",            "",            "i486",             "P23T"},
    {M(4, 0x8),            OverDrive(),             "i486",            "",            "i486",             "P24CT"},
    {M(5, 0x1),            OverDrive(),             "P5",              "",            "pentium",          "P5T"},
    {M(5, 0x2),            OverDrive(),             "P5",              "",            "pentium",          "P54CT"},
    {M(5, 0x4),            OverDrive(),             "P5",              "",            "pentium-mmx",      "P54CTB"},
    {M(6, 0x03),           OverDrive(),             "P6",              "",            "pentium2",         "P6T"},
    {M(4, 0x0, 0x1),       "",                      "i486",            "",            "i486",             "P4"},
    {M(4, 0x2),            "",                      "i486",            "",            "i486",             "P23"},
    {M(4, 0x3),            "",                      "i486",            "",            "i486",             "P24"},
    {M(4, 0x4),            "",                      "i486",            "",            "i486",             "i486SL"},
    {M(4, 0x5),            "",                      "i486",            "",            "i486",             "i486SX2"},
    {M(4, 0x7),            "",                      "i486",            "",            "i486",             "P24D"},
    {M(4, 0x8),            "",                      "i486",            "",            "i486",             "P24C"},
    {M(4, 0x9),            "",                      "i486",            "",            "i486",             "P24C"},
    {M(5, 0x0, 0x1),       "",                      "P5",              "",            "pentium",          "P5"},
    {M(5, 0x2),            "",                      "P5",              "",            "pentium",          "P54C"},
    {M(5, 0x3),            "",                      "P5",              "",            "pentium",          "P24T"},
    {M(5, 0x4),            "",                      "P5",              "",            "pentium-mmx",      "P55C"},
    {M(5, 0x7),            "",                      "P5",              "",            "pentium",          "P54CS"},
    {M(5, 0x8),            "",                      "P5",              "",            "pentium-mmx",      "Tillamook"},
    // The Quark microcontroller D2000 answers the signature of the Quark SoC X1000 but has no x87 unit.
    {M(5, 0x9),            NoFpu(),                 "Lakemont",        "",            "lakemont",         "Mint Valley"},
    {M(5, 0x9),            "",                      "Lakemont",        "",            "lakemont",         "Clanton"},
    // P6, Pentium M, Core and Penryn. Mendocino and Dixon share model 6; Dixon came as steppings
    // A and D with 256 KB, and the Mobile Celeron of those steppings is the same die with 128 KB.
    // Brand index 3 is a Pentium III Xeon.
    {M(6, 0x01),           "",                      "P6",              "",            "pentiumpro",       "P6"},
    {M(6, 0x03),           "",                      "P6",              "",            "pentium2",         "Klamath"},
    {M(6, 0x05),           NoL2(),                  "P6",              "",            "pentium2",         "Covington"},
    {M(6, 0x05),           L2(1024, kMax),          "P6",              "",            "pentium2",         "Drake"},
    {M(6, 0x05),           "",                      "P6",              "",            "pentium2",         "Deschutes"},
    {S(6, 0x06, 0x0, 0x9), "",                      "P6",              "",            "pentium2",         "Mendocino"},
    {S(6, 0x06, 0xA, 0xF), L2(1, 128),              "P6",              "",            "pentium2",         "Dixon-128K"},
    {S(6, 0x06, 0xA, 0xF), "",                      "P6",              "",            "pentium2",         "Dixon"},
    {M(6, 0x07),           L2(1024, kMax),          "P6",              "",            "pentium3",         "Tanner"},
    {M(6, 0x07),           BrandIndexIs(3),         "P6",              "",            "pentium3",         "Tanner"},
    {M(6, 0x07),           "",                      "P6",              "",            "pentium3",         "Katmai"},
    {M(6, 0x08),           BrandIndexIs(3),         "P6",              "",            "pentium3",         "Cascades"},
    {M(6, 0x08),           L2(1, 128),              "P6",              "",            "pentium3",         "Coppermine-128K"},
    {M(6, 0x08),           "",                      "P6",              "",            "pentium3",         "Coppermine"},
    {M(6, 0x09),           "",                      "Pentium M",       "",            "pentium-m",        "Banias"},
    {M(6, 0x0A),           "",                      "P6",              "",            "pentium3",         "Cascades"},
    {M(6, 0x0B),           "",                      "P6",              "",            "pentium3",         "Tualatin"},
    {M(6, 0x0D),           "",                      "Pentium M",       "",            "pentium-m",        "Dothan"},
    {M(6, 0x0E),           "Xeon",                  "Pentium M",       "",            "pentium-m",        "Sossaman"},
    {M(6, 0x0E),           "",                      "Pentium M",       "",            "pentium-m",        "Yonah"},
    // Merom, Conroe and Woodcrest are one die; Allendale (steppings 2 and D) is the 2 MB die.
    {M(6, 0x0F),           kKentsfield,             "Core",            "",            "core2",            "Kentsfield"},
    {M(6, 0x0F),           kTigerton,               "Core",            "",            "core2",            "Tigerton"},
    {M(6, 0x0F),           kClovertown,             "Core",            "",            "core2",            "Clovertown"},
    {M(6, 0x0F),           "Xeon*51##",             "Core",            "",            "core2",            "Woodcrest"},
    {M(6, 0x0F),           Cores(4, 4),             "Core",            "",            "core2",            "Kentsfield / Clovertown / Tigerton"},
    {S(6, 0x0F, 0x2, 0x2), kMobile65,               "Core",            "",            "core2",            "Merom-2M"},
    {S(6, 0x0F, 0xD, 0xD), kMobile65,               "Core",            "",            "core2",            "Merom-2M"},
    {S(6, 0x0F, 0x2, 0x2), "",                      "Core",            "",            "core2",            "Allendale"},
    {S(6, 0x0F, 0xD, 0xD), "",                      "Core",            "",            "core2",            "Allendale"},
    {M(6, 0x0F),           kMobile65,               "Core",            "",            "core2",            "Merom"},
    {M(6, 0x0F),           "",                      "Core",            "",            "core2",            "Conroe"},
    {M(6, 0x15),           "",                      "Pentium M",       "",            "",                 "Tolapai"},
    {M(6, 0x16),           "Celeron(R) M",          "Core",            "",            "core2",            "Merom-L"},
    {M(6, 0x16),           "",                      "Core",            "",            "core2",            "Conroe-L"},
    {M(6, 0x17),           kQuadMobile45,           "Penryn",          "",            "core2",            "Penryn"},
    {M(6, 0x17),           L2(1, 3072, kYorkfield), "Penryn",          "",            "core2",            "Yorkfield-6M"},
    {M(6, 0x17),           kYorkfield,              "Penryn",          "",            "core2",            "Yorkfield"},
    {M(6, 0x17),           kHarpertown,             "Penryn",          "",            "core2",            "Harpertown"},
    {M(6, 0x17),           kWolfdaleDP,             "Penryn",          "",            "core2",            "Wolfdale-DP"},
    {M(6, 0x17),           Cores(4, 4),             "Penryn",          "",            "core2",            "Yorkfield / Harpertown"},
    {M(6, 0x17),           L2(1, 3072, kMobile45),  "Penryn",          "",            "core2",            "Penryn-3M"},
    {M(6, 0x17),           kMobile45,               "Penryn",          "",            "core2",            "Penryn"},
    {M(6, 0x17),           L2(1, 3072),             "Penryn",          "",            "core2",            "Wolfdale-3M"},
    {M(6, 0x17),           "",                      "Penryn",          "",            "core2",            "Wolfdale"},
    {M(6, 0x1D),           "",                      "Penryn",          "",            "core2",            "Dunnington"},
    // Nehalem and Westmere.
    {M(6, 0x1A),           kGainestown,             "Nehalem",         "",            "nehalem",          "Gainestown"},
    {M(6, 0x1A),           "",                      "Nehalem",         "",            "nehalem",          "Bloomfield"},
    {M(6, 0x1E),           kClarksfield,            "Nehalem",         "",            "nehalem",          "Clarksfield"},
    {M(6, 0x1E),           "Xeon*C55|Xeon*C35",     "Nehalem",         "",            "nehalem",          "Jasper Forest"},
    {M(6, 0x1E),           "",                      "Nehalem",         "",            "nehalem",          "Lynnfield"},
    {M(6, 0x2E),           "",                      "Nehalem",         "",            "nehalem",          "Beckton"},
    {M(6, 0x25),           kArrandale,              "Westmere",        "",            "westmere",         "Arrandale"},
    {M(6, 0x25),           "",                      "Westmere",        "",            "westmere",         "Clarkdale"},
    {M(6, 0x2C),           "Core|Xeon*W36",         "Westmere",        "",            "westmere",         "Gulftown"},
    {M(6, 0x2C),           "",                      "Westmere",        "",            "westmere",         "Westmere-EP"},
    {M(6, 0x2F),           "",                      "Westmere",        "",            "westmere",         "Westmere-EX"},
    // Sandy Bridge to Broadwell.
    {M(6, 0x2A),           "",                      "Sandy Bridge",    "",            "sandybridge",      "Sandy Bridge"},
    {M(6, 0x2D),           "Xeon",                  "Sandy Bridge",    "",            "sandybridge",      "Sandy Bridge-EP"},
    {M(6, 0x2D),           "",                      "Sandy Bridge",    "",            "sandybridge",      "Sandy Bridge-E"},
    {M(6, 0x3A),           "",                      "Ivy Bridge",      "",            "ivybridge",        "Ivy Bridge"},
    {M(6, 0x3E),           "E7-",                   "Ivy Bridge",      "",            "ivybridge",        "Ivy Bridge-EX"},
    {M(6, 0x3E),           "Xeon",                  "Ivy Bridge",      "",            "ivybridge",        "Ivy Bridge-EP"},
    {M(6, 0x3E),           "",                      "Ivy Bridge",      "",            "ivybridge",        "Ivy Bridge-E"},
    {M(6, 0x3C),           "",                      "Haswell",         "",            "haswell",          "Haswell"},
    {M(6, 0x45, 0x46),     "",                      "Haswell",         "",            "haswell",          "Haswell"},
    {M(6, 0x3F),           "E7-",                   "Haswell",         "",            "haswell",          "Haswell-EX"},
    {M(6, 0x3F),           "Xeon",                  "Haswell",         "",            "haswell",          "Haswell-EP"},
    {M(6, 0x3F),           "",                      "Haswell",         "",            "haswell",          "Haswell-E"},
    {M(6, 0x3D),           "",                      "Broadwell",       "",            "broadwell",        "Broadwell"},
    {M(6, 0x47),           "",                      "Broadwell",       "",            "broadwell",        "Broadwell"},
    {M(6, 0x4F),           "E7-",                   "Broadwell",       "",            "broadwell",        "Broadwell-EX"},
    {M(6, 0x4F),           "Xeon",                  "Broadwell",       "",            "broadwell",        "Broadwell-EP"},
    {M(6, 0x4F),           "",                      "Broadwell",       "",            "broadwell",        "Broadwell-E"},
    {M(6, 0x56),           "",                      "Broadwell",       "",            "broadwell",        "Broadwell-DE"},
    // The Skylake core and the dies built on it, told apart by stepping and brand.
    {M(6, 0x4E),           "",                      "Skylake",         "",            "skylake",          "Skylake"},
    {M(6, 0x5E),           "",                      "Skylake",         "",            "skylake",          "Skylake"},
    // Xeon D and Xeon W parts on the server dies' signatures: the segment is in the brand.
    {S(6, 0x55, 0x0, 0x4), "Xeon(R) D-",            "Skylake",         "",            "skylake-avx512",   "Skylake-D"},
    {S(6, 0x55, 0x0, 0x4), "Xeon(R) W-",            "Skylake",         "",            "skylake-avx512",   "Skylake-W"},
    {S(6, 0x55, 0x0, 0x4), "Xeon",                  "Skylake",         "",            "skylake-avx512",   "Skylake-SP"},
    {S(6, 0x55, 0x0, 0x4), "",                      "Skylake",         "",            "skylake-avx512",   "Skylake-X"},
    {S(6, 0x55, 0x5, 0x7), "Xeon(R) W-",            "Skylake",         "",            "cascadelake",      "Cascade Lake-W"},
    {S(6, 0x55, 0x5, 0x7), "Xeon",                  "Skylake",         "",            "cascadelake",      "Cascade Lake-SP"},
    {S(6, 0x55, 0x5, 0x7), "",                      "Skylake",         "",            "cascadelake",      "Cascade Lake-X"},
    {S(6, 0x55, 0xA, 0xB), "",                      "Skylake",         "",            "cooperlake",       "Cooper Lake"},
    {S(6, 0x8E, 0x0, 0x9), kAmberLake8,             "Skylake",         "",            "skylake",          "Amber Lake"},
    {S(6, 0x8E, 0x0, 0x9), "",                      "Skylake",         "",            "skylake",          "Kaby Lake"},
    {S(6, 0x8E, 0xA, 0xA), "",                      "Skylake",         "",            "skylake",          "Kaby Lake-R"},
    {S(6, 0x8E, 0xB, 0xB), "",                      "Skylake",         "",            "skylake",          "Whiskey Lake"},
    {S(6, 0x8E, 0xC, 0xC), "-10###Y",               "Skylake",         "",            "skylake",          "Amber Lake"},
    {S(6, 0x8E, 0xC, 0xC), "-10###U",               "Skylake",         "",            "skylake",          "Comet Lake"},
    {S(6, 0x8E, 0xC, 0xC), "",                      "Skylake",         "",            "skylake",          "Whiskey Lake"},
    {S(6, 0x9E, 0x0, 0x9), "",                      "Skylake",         "",            "skylake",          "Kaby Lake"},
    {S(6, 0x9E, 0xA, 0xB), "",                      "Skylake",         "",            "skylake",          "Coffee Lake"},
    {S(6, 0x9E, 0xC, 0xD), "",                      "Skylake",         "",            "skylake",          "Coffee Lake Refresh"},
    {M(6, 0xA5, 0xA6),     "",                      "Skylake",         "",            "skylake",          "Comet Lake"},
    // The Cove cores.
    {M(6, 0x66),           "",                      "Palm Cove",       "",            "cannonlake",       "Cannon Lake"},
    {M(6, 0x6A),           "Xeon(R) W-",            "Sunny Cove",      "",            "icelake-server",   "Ice Lake-W"},
    {M(6, 0x6A),           "",                      "Sunny Cove",      "",            "icelake-server",   "Ice Lake-SP"},
    {M(6, 0x6C),           "",                      "Sunny Cove",      "",            "icelake-server",   "Ice Lake-D"},
    {M(6, 0x7D, 0x7E),     "",                      "Sunny Cove",      "",            "icelake-client",   "Ice Lake"},
    {M(6, 0x9D),           "",                      "Sunny Cove",      "",            "icelake-client",   "Spring Hill"},
    {M(6, 0x8C, 0x8D),     "",                      "Willow Cove",     "",            "tigerlake",        "Tiger Lake"},
    {M(6, 0xA7),           "",                      "Cypress Cove",    "",            "rocketlake",       "Rocket Lake"},
    {M(6, 0x8F),           "",                      "Golden Cove",     "",            "sapphirerapids",   "Sapphire Rapids"},
    {M(6, 0xCF),           "",                      "Raptor Cove",     "",            "emeraldrapids",    "Emerald Rapids"},
    {M(6, 0xAD),           "",                      "Redwood Cove",    "",            "graniterapids",    "Granite Rapids"},
    {M(6, 0xAE),           "",                      "Redwood Cove",    "",            "graniterapids-d",  "Granite Rapids-D"},
    {M(6, 0xD7),           "",                      "Raptor Cove",     "",            "",                 "Bartlett Lake"},
    {M(19, 0x01),          "",                      "Panther Cove",    "",            "diamondrapids",    "Diamond Rapids"},
    // Hybrid dies: performance core, then efficiency core. Model BF is the Alder Lake silicon
    // (steppings C0 and H0) sold as 13th and 14th generation.
    {M(6, 0x8A),           "",                      "Sunny Cove",      "Tremont",     "",                 "Lakefield"},
    {M(6, 0x97),           "",                      "Golden Cove",     "Gracemont",   "alderlake",        "Alder Lake"},
    {M(6, 0x9A),           "",                      "Golden Cove",     "Gracemont",   "alderlake",        "Alder Lake"},
    {M(6, 0xB7),           "",                      "Raptor Cove",     "Gracemont",   "raptorlake",       "Raptor Lake"},
    {M(6, 0xBA),           "",                      "Raptor Cove",     "Gracemont",   "raptorlake",       "Raptor Lake"},
    {M(6, 0xBF),           "",                      "Golden Cove",     "Gracemont",   "raptorlake",       "Raptor Lake"},
    {M(6, 0xAA),           "",                      "Redwood Cove",    "Crestmont",   "meteorlake",       "Meteor Lake"},
    {M(6, 0xAC),           "",                      "Redwood Cove",    "Crestmont",   "meteorlake",       "Meteor Lake"},
    {M(6, 0xB5),           "",                      "Redwood Cove",    "Crestmont",   "arrowlake",        "Arrow Lake"},
    {M(6, 0xC5),           "",                      "Lion Cove",       "Skymont",     "arrowlake",        "Arrow Lake"},
    {M(6, 0xC6),           "",                      "Lion Cove",       "Skymont",     "arrowlake-s",      "Arrow Lake"},
    {M(6, 0xBD),           "",                      "Lion Cove",       "Skymont",     "lunarlake",        "Lunar Lake"},
    {M(6, 0xCC),           "",                      "Cougar Cove",     "Darkmont",    "pantherlake",      "Panther Lake"},
    {M(6, 0xD5),           "",                      "Cougar Cove",     "Darkmont",    "wildcatlake",      "Wildcat Lake"},
    {M(18, 0x01),          "",                      "Coyote Cove",     "Arctic Wolf", "novalake",         "Nova Lake"},
    {M(18, 0x03),          "",                      "Coyote Cove",     "Arctic Wolf", "novalake",         "Nova Lake"},
    // Atom and the efficiency-core-only dies.
    {S(6, 0x1C, 0xA, 0xA), "",                      "Bonnell",         "",            "bonnell",          "Pineview"},
    {M(6, 0x1C),           " Z5##",                 "Bonnell",         "",            "bonnell",          "Silverthorne"},
    {M(6, 0x1C),           "",                      "Bonnell",         "",            "bonnell",          "Diamondville"},
    {M(6, 0x26),           "",                      "Bonnell",         "",            "bonnell",          "Lincroft"},
    {M(6, 0x27),           "",                      "Saltwell",        "",            "bonnell",          "Penwell"},
    {M(6, 0x35),           "",                      "Saltwell",        "",            "bonnell",          "Cloverview"},
    {M(6, 0x36),           " S12##",                "Saltwell",        "",            "bonnell",          "Centerton"},
    {M(6, 0x36),           "",                      "Saltwell",        "",            "bonnell",          "Cedarview"},
    {M(6, 0x37),           "",                      "Silvermont",      "",            "silvermont",       "Bay Trail"},
    {M(6, 0x4A),           "",                      "Silvermont",      "",            "silvermont",       "Merrifield"},
    {M(6, 0x4D),           "C2##8",                 "Silvermont",      "",            "silvermont",       "Rangeley"},
    {M(6, 0x4D),           "",                      "Silvermont",      "",            "silvermont",       "Avoton"},
    {M(6, 0x4C),           "Z8###|E8000",           "Airmont",         "",            "silvermont",       "Cherry Trail"},
    {M(6, 0x4C),           "",                      "Airmont",         "",            "silvermont",       "Braswell"},
    {M(6, 0x5A),           "",                      "Airmont",         "",            "silvermont",       "Moorefield"},
    {M(6, 0x75),           "",                      "Airmont",         "",            "silvermont",       "Lightning Mountain"},
    {M(6, 0x5C),           "",                      "Goldmont",        "",            "goldmont",         "Apollo Lake"},
    {M(6, 0x5F),           "",                      "Goldmont",        "",            "goldmont",         "Denverton"},
    {M(6, 0x7A),           "",                      "Goldmont Plus",   "",            "goldmont-plus",    "Gemini Lake"},
    {M(6, 0x86),           " P59##",                "Tremont",         "",            "tremont",          "Snow Ridge"},
    {M(6, 0x86),           "",                      "Tremont",         "",            "tremont",          "Jacobsville"},
    {M(6, 0x96),           "",                      "Tremont",         "",            "tremont",          "Elkhart Lake"},
    {M(6, 0x9C),           "",                      "Tremont",         "",            "tremont",          "Jasper Lake"},
    {M(6, 0xBE),           " N150| N250| N355",     "Gracemont",       "",            "gracemont",        "Twin Lake"},
    {M(6, 0xBE),           "",                      "Gracemont",       "",            "gracemont",        "Alder Lake-N"},
    {M(6, 0xAF),           "",                      "Crestmont",       "",            "sierraforest",     "Sierra Forest"},
    {M(6, 0xB6),           "",                      "Crestmont",       "",            "grandridge",       "Grand Ridge"},
    {M(6, 0xDD),           "",                      "Darkmont",        "",            "clearwaterforest", "Clearwater Forest"},
    {M(6, 0x57),           "",                      "Knights Landing", "",            "knl",              "Knights Landing"},
    {M(6, 0x85),           "",                      "Knights Landing", "",            "knm",              "Knights Mill"},
    // NetBurst.
    {M(15, 0x0, 0x1),      L3(1, kMax),             "NetBurst",        "",            "pentium4",         "Foster MP"},
    {M(15, 0x0, 0x1),      "Xeon",                  "NetBurst",        "",            "pentium4",         "Foster"},
    {M(15, 0x0, 0x1),      L2(1, 255),              "NetBurst",        "",            "pentium4",         "Willamette-128K"},
    {M(15, 0x0, 0x1),      "",                      "NetBurst",        "",            "pentium4",         "Willamette"},
    {M(15, 0x2),           L3(1, kMax),             "NetBurst",        "",            "pentium4",         "Gallatin"},
    {M(15, 0x2),           "Xeon(TM) MP",           "NetBurst",        "",            "pentium4",         "Gallatin"},
    {M(15, 0x2),           "Xeon",                  "NetBurst",        "",            "pentium4",         "Prestonia"},
    {M(15, 0x2),           "Extreme Edition",       "NetBurst",        "",            "pentium4",         "Gallatin"},
    {M(15, 0x2),           L2(1, 128),              "NetBurst",        "",            "pentium4",         "Northwood-128K"},
    {M(15, 0x2),           L2(256, 256),            "NetBurst",        "",            "pentium4",         "Northwood-256K"},
    {M(15, 0x2),           "",                      "NetBurst",        "",            "pentium4",         "Northwood"},
    {M(15, 0x3, 0x4),      L3(1, kMax, "Xeon"),     "NetBurst",        "",            "nocona",           "Potomac"},
    {M(15, 0x4),           Cores(2, 2, "Xeon"),     "NetBurst",        "",            "nocona",           "Paxville"},
    {M(15, 0x4),           Cores(2, 2),             "NetBurst",        "",            "nocona",           "Smithfield"},
    {M(15, 0x4),           "Xeon(TM) MP",           "NetBurst",        "",            "nocona",           "Cranford"},
    {M(15, 0x3, 0x4),      L2(2048, 2048, "Xeon"),  "NetBurst",        "",            "nocona",           "Irwindale"},
    {M(15, 0x3, 0x4),      "Xeon",                  "NetBurst",        "",            "nocona",           "Nocona"},
    {M(15, 0x4),           kPentiumD,               "NetBurst",        "",            "nocona",           "Smithfield"},
    {M(15, 0x3, 0x4),      L2(2048, 2048),          "NetBurst",        "",            "nocona",           "Prescott-2M"},
    {M(15, 0x3, 0x4),      L2(1, 256),              "NetBurst",        "",            "prescott",         "Prescott-256K"},
    {M(15, 0x3, 0x4),      "",                      "NetBurst",        "",            "prescott",         "Prescott"},
    {M(15, 0x6),           L3(1, kMax),             "NetBurst",        "",            "nocona",           "Tulsa"},
    {M(15, 0x6),           Cores(2, 2, "Xeon"),     "NetBurst",        "",            "nocona",           "Dempsey"},
    {M(15, 0x6),           Cores(2, 2),             "NetBurst",        "",            "nocona",           "Presler"},
    {M(15, 0x6),           kPentiumD,               "NetBurst",        "",            "nocona",           "Presler"},
    {M(15, 0x6),           "Xeon*71##",             "NetBurst",        "",            "nocona",           "Tulsa"},
    {M(15, 0x6),           "Xeon",                  "NetBurst",        "",            "nocona",           "Dempsey"},
    {M(15, 0x6),           "",                      "NetBurst",        "",            "nocona",           "Cedar Mill"},
    // Classes: families of one design.
    {F(4),                 "",                      "i486",            "",            "i486",             "i486"},
    {F(15),                "",                      "NetBurst",        "",            "pentium4",         "NetBurst"},
});
// clang-format on

// K8 brands: the same die took a desktop, mobile, value or server name by its brand.
// clang-format off
constexpr auto kAMD = std::to_array<Row>({
    // signature           when                     core               efficiency     gcc                 codename
    {M(4, 0x3),            "",                      "Am486",           "",            "",                 "Am486DX2"},
    {M(4, 0x7),            "",                      "Am486",           "",            "",                 "Am486DX2"},
    {M(4, 0x8, 0x9),       "",                      "Am486",           "",            "",                 "Am486DX4"},
    {M(4, 0xE, 0xF),       "",                      "Am5x86",          "",            "",                 "X5"},
    {M(5, 0x0),            "",                      "K5",              "",            "",                 "SSA/5"},
    {M(5, 0x1, 0x3),       "",                      "K5",              "",            "",                 "5k86"},
    {M(5, 0x6),            "",                      "K6",              "",            "k6",               "K6"},
    {M(5, 0x7),            "",                      "K6",              "",            "k6",               "Little Foot"},
    {S(5, 0x8, 0xC, 0xF),  "",                      "K6",              "",            "k6-2",             "Chomper Extended"},
    {M(5, 0x8),            "",                      "K6",              "",            "k6-2",             "Chomper"},
    {M(5, 0x9),            "",                      "K6",              "",            "k6-3",             "Sharptooth"},
    {M(5, 0xA),            "",                      "Geode LX",        "",            "geode",            "Geode LX"},
    {M(5, 0xD),            L2(128, 128),            "K6",              "",            "k6-2",             "K6-2+"},
    {M(5, 0xD),            L2(256, 256),            "K6",              "",            "k6-3",             "K6-III+"},
    {M(5, 0xD),            "",                      "K6",              "",            "",                 "K6-2+ / K6-III+"},
    {M(6, 0x1),            "",                      "K7",              "",            "athlon",           "Argon"},
    {M(6, 0x2),            "",                      "K7",              "",            "athlon",           "Pluto / Orion"},
    {M(6, 0x3),            "",                      "K7",              "",            "athlon",           "Spitfire"},
    {M(6, 0x4),            "",                      "K7",              "",            "athlon-tbird",     "Thunderbird"},
    {M(6, 0x6),            "",                      "K7",              "",            "athlon-4",         "Palomino"},
    {M(6, 0x7),            "",                      "K7",              "",            "athlon-4",         "Morgan"},
    {M(6, 0x8),            "Duron",                 "K7",              "",            "athlon-xp",        "Applebred"},
    {M(6, 0x8),            L2(1, 255),              "K7",              "",            "athlon-xp",        "Applebred"},
    {M(6, 0x8),            "",                      "K7",              "",            "athlon-xp",        "Thoroughbred"},
    {M(6, 0xA),            L2(1, 511),              "K7",              "",            "athlon-xp",        "Thorton"},
    {M(6, 0xA),            "",                      "K7",              "",            "athlon-xp",        "Barton"},
    // K8 by revision: 130 nm (models 04-0F), 90 nm D and E (1x, 2x), F (4x, 5x, C1), 65 nm G (6x, 7x).
    {M(15, 0x04),          "",                      "K8",              "",            "k8",               "ClawHammer"},
    {M(15, 0x05),          "",                      "K8",              "",            "k8",               "SledgeHammer"},
    {M(15, 0x07),          "",                      "K8",              "",            "k8",               "ClawHammer"},
    {M(15, 0x08),          "Sempron",               "K8",              "",            "k8",               "Dublin"},
    {M(15, 0x08),          "",                      "K8",              "",            "k8",               "ClawHammer"},
    {M(15, 0x0B),          "",                      "K8",              "",            "k8",               "ClawHammer"},
    {M(15, 0x0C),          "Sempron",               "K8",              "",            "k8",               "Paris"},
    {M(15, 0x0C),          "",                      "K8",              "",            "k8",               "Newcastle"},
    {M(15, 0x0F),          "",                      "K8",              "",            "k8",               "Newcastle"},
    {M(15, 0x1C),          "Mobile AMD Sempron",    "K8",              "",            "k8",               "Sonora"},
    {M(15, 0x1C),          "Sempron",               "K8",              "",            "k8",               "Palermo"},
    {M(15, 0x1C),          "Mobile AMD Athlon",     "K8",              "",            "k8",               "Oakville"},
    {M(15, 0x1F),          "Sempron",               "K8",              "",            "k8",               "Palermo"},
    {M(15, 0x1F),          "",                      "K8",              "",            "k8",               "Winchester"},
    {M(15, 0x21),          "Processor 1",           "K8",              "",            "k8-sse3",          "Denmark"},
    {M(15, 0x21),          "Processor 2",           "K8",              "",            "k8-sse3",          "Italy"},
    {M(15, 0x21),          "Processor 8",           "K8",              "",            "k8-sse3",          "Egypt"},
    {M(15, 0x23),          "Opteron",               "K8",              "",            "k8-sse3",          "Denmark"},
    {M(15, 0x23),          "",                      "K8",              "",            "k8-sse3",          "Toledo"},
    {M(15, 0x24),          "Turion",                "K8",              "",            "k8-sse3",          "Lancaster"},
    {M(15, 0x24),          "Mobile AMD Athlon",     "K8",              "",            "k8-sse3",          "Newark"},
    {M(15, 0x25),          "Processor 1",           "K8",              "",            "k8-sse3",          "Venus"},
    {M(15, 0x25),          "Processor 2",           "K8",              "",            "k8-sse3",          "Troy"},
    {M(15, 0x25),          "Processor 8",           "K8",              "",            "k8-sse3",          "Athens"},
    {M(15, 0x27),          "Opteron",               "K8",              "",            "k8-sse3",          "Venus"},
    {M(15, 0x27),          "",                      "K8",              "",            "k8-sse3",          "San Diego"},
    {M(15, 0x2B),          "",                      "K8",              "",            "k8-sse3",          "Manchester"},
    {M(15, 0x2C),          "Mobile AMD Sempron",    "K8",              "",            "k8-sse3",          "Albany"},
    {M(15, 0x2C),          "Sempron",               "K8",              "",            "k8-sse3",          "Palermo"},
    {M(15, 0x2C),          "",                      "K8",              "",            "k8-sse3",          "Venice"},
    {M(15, 0x2F),          "Sempron",               "K8",              "",            "k8-sse3",          "Palermo"},
    {M(15, 0x2F),          "",                      "K8",              "",            "k8-sse3",          "Venice"},
    {M(15, 0x41),          "",                      "K8",              "",            "k8-sse3",          "Santa Rosa"},
    {M(15, 0xC1),          "",                      "K8",              "",            "k8-sse3",          "Santa Rosa"},
    {M(15, 0x43),          "Opteron",               "K8",              "",            "k8-sse3",          "Santa Ana"},
    {M(15, 0x43),          "",                      "K8",              "",            "k8-sse3",          "Windsor"},
    {M(15, 0x4B),          "",                      "K8",              "",            "k8-sse3",          "Windsor"},
    {M(15, 0x4C),          "Turion",                "K8",              "",            "k8-sse3",          "Richmond"},
    {M(15, 0x4C),          "Sempron",               "K8",              "",            "k8-sse3",          "Keene"},
    {M(15, 0x4F),          "Sempron",               "K8",              "",            "k8-sse3",          "Manila"},
    {M(15, 0x4F),          "",                      "K8",              "",            "k8-sse3",          "Orleans"},
    {M(15, 0x5F),          "Sempron",               "K8",              "",            "k8-sse3",          "Manila"},
    {M(15, 0x5F),          "",                      "K8",              "",            "k8-sse3",          "Orleans"},
    {M(15, 0x68),          "",                      "K8",              "",            "k8-sse3",          "Tyler"},
    {M(15, 0x6B),          "Sempron",               "K8",              "",            "k8-sse3",          "Sherman"},
    {M(15, 0x6B),          "",                      "K8",              "",            "k8-sse3",          "Brisbane"},
    {M(15, 0x6F),          "Sempron",               "K8",              "",            "k8-sse3",          "Sparta"},
    {M(15, 0x6F),          "",                      "K8",              "",            "k8-sse3",          "Lima"},
    {M(15, 0x7F),          "Sempron",               "K8",              "",            "k8-sse3",          "Sparta"},
    {M(15, 0x7F),          "",                      "K8",              "",            "k8-sse3",          "Lima"},
    // K10 (family 10h) and its relatives.
    {M(0x10, 0x02),        "Opteron",               "K10",             "",            "amdfam10",         "Barcelona"},
    {M(0x10, 0x02),        "Triple-Core",           "K10",             "",            "amdfam10",         "Toliman"},
    {M(0x10, 0x02),        "Athlon",                "K10",             "",            "amdfam10",         "Kuma"},
    {M(0x10, 0x02),        "",                      "K10",             "",            "amdfam10",         "Agena"},
    {M(0x10, 0x04),        "Opteron",               "K10",             "",            "amdfam10",         "Shanghai"},
    {M(0x10, 0x04),        "Phenom(tm) II X3",      "K10",             "",            "amdfam10",         "Heka"},
    {M(0x10, 0x04),        "Phenom(tm) II X2",      "K10",             "",            "amdfam10",         "Callisto"},
    {M(0x10, 0x04),        "",                      "K10",             "",            "amdfam10",         "Deneb"},
    {M(0x10, 0x05),        " X3 ",                  "K10",             "",            "amdfam10",         "Rana"},
    {M(0x10, 0x05),        "",                      "K10",             "",            "amdfam10",         "Propus"},
    {M(0x10, 0x06),        "Sempron",               "K10",             "",            "amdfam10",         "Sargas"},
    {M(0x10, 0x06),        "",                      "K10",             "",            "amdfam10",         "Regor"},
    {M(0x10, 0x08),        "Processor 41",          "K10",             "",            "amdfam10",         "Lisbon"},
    {M(0x10, 0x08),        "",                      "K10",             "",            "amdfam10",         "Istanbul"},
    {M(0x10, 0x09),        "",                      "K10",             "",            "amdfam10",         "Magny-Cours"},
    {M(0x10, 0x0A),        " X4 ",                  "K10",             "",            "amdfam10",         "Zosma"},
    {M(0x10, 0x0A),        "",                      "K10",             "",            "amdfam10",         "Thuban"},
    // Bulldozer family (15h) and the small cores (16h).
    {M(0x15, 0x01),        "Processor 62##",        "Bulldozer",       "",            "bdver1",           "Interlagos"},
    {M(0x15, 0x01),        "Processor 42##",        "Bulldozer",       "",            "bdver1",           "Valencia"},
    {M(0x15, 0x01),        "Processor 32##",        "Bulldozer",       "",            "bdver1",           "Zurich"},
    {M(0x15, 0x01),        "",                      "Bulldozer",       "",            "bdver1",           "Zambezi"},
    {M(0x15, 0x02),        "Processor 63##",        "Piledriver",      "",            "bdver2",           "Abu Dhabi"},
    {M(0x15, 0x02),        "Processor 43##",        "Piledriver",      "",            "bdver2",           "Seoul"},
    {M(0x15, 0x02),        "Processor 33##",        "Piledriver",      "",            "bdver2",           "Delhi"},
    {M(0x15, 0x02),        "",                      "Piledriver",      "",            "bdver2",           "Vishera"},
    {M(0x15, 0x10),        "",                      "Piledriver",      "",            "bdver2",           "Trinity"},
    {M(0x15, 0x13),        "",                      "Piledriver",      "",            "bdver2",           "Richland"},
    {M(0x15, 0x30),        "",                      "Steamroller",     "",            "bdver3",           "Kaveri"},
    {M(0x15, 0x38),        "",                      "Steamroller",     "",            "bdver3",           "Godavari"},
    {M(0x15, 0x60),        "",                      "Excavator",       "",            "bdver4",           "Carrizo"},
    {M(0x15, 0x65),        "",                      "Excavator",       "",            "bdver4",           "Bristol Ridge"},
    {M(0x15, 0x70),        "",                      "Excavator",       "",            "bdver4",           "Stoney Ridge"},
    {M(0x16, 0x00, 0x0F),  "A4-12##|A6-14##",       "Jaguar",          "",            "btver2",           "Temash"},
    {M(0x16, 0x00, 0x0F),  "",                      "Jaguar",          "",            "btver2",           "Kabini"},
    {M(0x16, 0x30, 0x3F),  "Micro-",                "Puma",            "",            "btver2",           "Mullins"},
    {M(0x16, 0x30, 0x3F),  "",                      "Puma",            "",            "btver2",           "Beema"},
    // Zen (17h, 19h, 1Ah): one model range a die; server and workstation parts by brand.
    {M(0x17, 0x01),        "EPYC",                  "Zen",             "",            "znver1",           "Naples"},
    {M(0x17, 0x01),        "Threadripper",          "Zen",             "",            "znver1",           "Whitehaven"},
    {M(0x17, 0x01),        Cores(17, kMax),         "Zen",             "",            "znver1",           "Naples"},
    {M(0x17, 0x01),        Cores(9, 16),            "Zen",             "",            "znver1",           "Whitehaven / Naples"},
    {M(0x17, 0x01),        "",                      "Zen",             "",            "znver1",           "Summit Ridge"},
    {M(0x17, 0x08),        "Threadripper",          "Zen+",            "",            "znver1",           "Colfax"},
    {M(0x17, 0x08),        Cores(9, kMax),          "Zen+",            "",            "znver1",           "Colfax"},
    {M(0x17, 0x08),        "",                      "Zen+",            "",            "znver1",           "Pinnacle Ridge"},
    {M(0x17, 0x11),        "",                      "Zen",             "",            "znver1",           "Raven Ridge"},
    {M(0x17, 0x18),        "",                      "Zen+",            "",            "znver1",           "Picasso"},
    {M(0x17, 0x20),        "",                      "Zen",             "",            "znver1",           "Dali"},
    {M(0x17, 0x30, 0x31),  "Threadripper",          "Zen 2",           "",            "znver2",           "Castle Peak"},
    {M(0x17, 0x30, 0x31),  "",                      "Zen 2",           "",            "znver2",           "Rome"},
    {M(0x17, 0x60),        "",                      "Zen 2",           "",            "znver2",           "Renoir"},
    {M(0x17, 0x68),        "",                      "Zen 2",           "",            "znver2",           "Lucienne"},
    {M(0x17, 0x71),        "",                      "Zen 2",           "",            "znver2",           "Matisse"},
    {M(0x17, 0x90, 0x91),  "",                      "Zen 2",           "",            "znver2",           "Van Gogh"},
    {M(0x17, 0xA0, 0xAF),  "",                      "Zen 2",           "",            "znver2",           "Mendocino"},
    {M(0x19, 0x00, 0x01),  L3(65536, kMax),         "Zen 3",           "",            "znver3",           "Milan-X"},
    {M(0x19, 0x00, 0x01),  "",                      "Zen 3",           "",            "znver3",           "Milan"},
    {M(0x19, 0x08),        "",                      "Zen 3",           "",            "znver3",           "Chagall"},
    {M(0x19, 0x20, 0x21),  "",                      "Zen 3",           "",            "znver3",           "Vermeer"},
    {M(0x19, 0x30),        "",                      "Zen 3",           "",            "znver3",           "Trento"},
    {M(0x19, 0x40, 0x4F),  "7#35",                  "Zen 3+",          "",            "znver3",           "Rembrandt-R"},
    {M(0x19, 0x40, 0x4F),  "",                      "Zen 3+",          "",            "znver3",           "Rembrandt"},
    {M(0x19, 0x50, 0x5F),  "5#25U|7#30U",           "Zen 3",           "",            "znver3",           "Barcelo"},
    {M(0x19, 0x50, 0x5F),  "",                      "Zen 3",           "",            "znver3",           "Cezanne"},
    {M(0x19, 0x10, 0x11),  L3(65536, kMax),         "Zen 4",           "",            "znver4",           "Genoa-X"},
    {M(0x19, 0x10, 0x11),  "",                      "Zen 4",           "",            "znver4",           "Genoa"},
    {M(0x19, 0x18),        "",                      "Zen 4",           "",            "znver4",           "Storm Peak"},
    {M(0x19, 0x61),        "HX",                    "Zen 4",           "",            "znver4",           "Dragon Range"},
    {M(0x19, 0x61),        "",                      "Zen 4",           "",            "znver4",           "Raphael"},
    {M(0x19, 0x74, 0x75),  kHawkPoint,              "Zen 4",           "",            "znver4",           "Hawk Point"},
    {M(0x19, 0x74, 0x75),  "",                      "Zen 4",           "",            "znver4",           "Phoenix"},
    // Models 78h to 7Fh are the Phoenix 2 die (7Ch its later revision, sold in the 8040 series).
    {M(0x19, 0x78, 0x7F),  kHawkPoint,              "Zen 4",           "Zen 4c",      "znver4",           "Hawk Point 2"},
    {M(0x19, 0x78, 0x7F),  "",                      "Zen 4",           "Zen 4c",      "znver4",           "Phoenix 2"},
    {M(0x19, 0xA0, 0xAF),  "EPYC 8",                "Zen 4c",          "",            "znver4",           "Siena"},
    {M(0x19, 0xA0, 0xAF),  "",                      "Zen 4c",          "",            "znver4",           "Bergamo"},
    {M(0x1A, 0x00, 0x0F),  "Threadripper",          "Zen 5",           "",            "znver5",           "Shimada Peak"},
    {M(0x1A, 0x00, 0x0F),  "",                      "Zen 5",           "",            "znver5",           "Turin"},
    {M(0x1A, 0x10, 0x1F),  "",                      "Zen 5c",          "",            "znver5",           "Turin Dense"},
    {M(0x1A, 0x20, 0x2F),  "",                      "Zen 5",           "Zen 5c",      "znver5",           "Strix Point"},
    {M(0x1A, 0x40, 0x4F),  "HX",                    "Zen 5",           "",            "znver5",           "Fire Range"},
    {M(0x1A, 0x40, 0x4F),  "",                      "Zen 5",           "",            "znver5",           "Granite Ridge"},
    {M(0x1A, 0x60, 0x6F),  "",                      "Zen 5",           "Zen 5c",      "znver5",           "Krackan Point"},
    {M(0x1A, 0x70, 0x7F),  "",                      "Zen 5",           "",            "znver5",           "Strix Halo"},
    // Classes: families of one design. Family 11h is the Griffin die alone, 12h the Llano die and 14h
    // the Ontario die, which AMD sold as Ontario (C-), Desna (Z-) and Zacate (E-).
    {F(6),                 "",                      "K7",              "",            "athlon",           "K7"},
    {F(15),                "",                      "K8",              "",            "k8",               "K8"},
    {F(0x10),              "",                      "K10",             "",            "amdfam10",         "K10"},
    {F(0x11),              "",                      "K8",              "",            "k8-sse3",          "Griffin"},
    {F(0x12),              "",                      "K10",             "",            "amdfam10",         "Llano"},
    {F(0x14),              "AMD C-",                "Bobcat",          "",            "btver1",           "Ontario"},
    {F(0x14),              "AMD Z-",                "Bobcat",          "",            "btver1",           "Desna"},
    {F(0x14),              "",                      "Bobcat",          "",            "btver1",           "Zacate"},
    {F(0x16),              "",                      "Jaguar",          "",            "btver2",           "Jaguar"},
});
// clang-format on

// clang-format off
constexpr auto kHygon = std::to_array<Row>({
    // signature           when                     core               efficiency     gcc                 codename
    {M(0x18, 0x04),        "",                      "C86-4G",          "",            "c86-4g-m4",        "C86-4G"},
    {M(0x18, 0x05),        "",                      "C86-4G",          "",            "",                 "C86-4G"},
    {M(0x18, 0x06),        "",                      "C86-4G",          "",            "c86-4g-m6",        "C86-4G"},
    {M(0x18, 0x07),        "",                      "C86-4G",          "",            "c86-4g-m7",        "C86-4G"},
    {M(0x18, 0x08),        "",                      "C86-4G",          "",            "c86-4g-m8",        "C86-4G"},
    // Class: Linux names every Hygon family 18h processor Dhyana; C86-4G is its revision.
    {F(0x18),              "",                      "Dhyana",          "",            "",                 "Dhyana"},
});
// clang-format on

// IDT and VIA (Centaur), and Zhaoxin, which also answers "CentaurHauls". Zhaoxin names its cores
// and dies alike.
// clang-format off
constexpr auto kCentaur = std::to_array<Row>({
    // signature           when                     core               efficiency     gcc                 codename
    {M(5, 0x4),            "",                      "WinChip",         "",            "winchip-c6",       "C6"},
    {S(5, 0x8, 0x7, 0x9),  "",                      "WinChip",         "",            "winchip2",         "WinChip 2A"},
    {S(5, 0x8, 0xA, 0xF),  "",                      "WinChip",         "",            "winchip2",         "WinChip 2B"},
    {M(5, 0x8),            "",                      "WinChip",         "",            "winchip2",         "WinChip 2"},
    {M(5, 0x9),            "",                      "WinChip",         "",            "",                 "WinChip 3"},
    {M(6, 0x6),            "",                      "C3",              "",            "c3",               "Samuel"},
    {S(6, 0x7, 0x0, 0x7),  "",                      "C3",              "",            "samuel-2",         "Samuel 2"},
    {S(6, 0x7, 0x8, 0xF),  "",                      "C3",              "",            "c3",               "Ezra"},
    {M(6, 0x8),            "",                      "C3",              "",            "c3",               "Ezra-T"},
    {M(6, 0x9),            "",                      "C3",              "",            "c3-2",             "Nehemiah"},
    {M(6, 0xA),            "",                      "C7",              "",            "c7",               "Esther"},
    {M(6, 0xD),            "",                      "C7",              "",            "c7",               "Esther"},
    {M(6, 0xF),            "ZHAOXIN",               "ZhangJiang",      "",            "",                 "ZX-C"},
    {S(6, 0xF, 0xE, 0xF),  "",                      "ZhangJiang",      "",            "",                 "ZX-C"},
    {S(6, 0xF, 0x0, 0xD),  "",                      "Isaiah",          "",            "nano",             "Isaiah"},
    {M(6, 0x19),           "",                      "ZhangJiang",      "",            "",                 "ZX-C / ZX-C+"},
    {M(6, 0x1F),           "",                      "ZhangJiang",      "",            "",                 "ZX-C / ZX-C+"},
    {M(6, 0x47),           "",                      "CNS",             "",            "",                 "CHA"},
    {M(7, 0x1B),           "",                      "WuDaoKou",        "",            "",                 "WuDaoKou"},
    {M(7, 0x3B),           "",                      "LuJiaZui",        "",            "lujiazui",         "LuJiaZui"},
    {M(7, 0x5B),           "",                      "YongFeng",        "",            "yongfeng",         "YongFeng"},
    {M(7, 0x6B),           "",                      "ShiJiDaDao",      "",            "shijidadao",       "ShiJiDaDao"},
    // Class: every IDT WinChip.
    {F(5),                 "",                      "WinChip",         "",            "",                 "WinChip"},
});
// clang-format on

// clang-format off
constexpr auto kCyrix = std::to_array<Row>({
    // signature           when                     core               efficiency     gcc                 codename
    {M(4, 0x4),            "",                      "MediaGX",         "",            "",                 "MediaGX"},
    {M(4, 0x9),            "",                      "M1sc",            "",            "",                 "5x86"},
    {M(5, 0x2, 0x3),       "",                      "M1",              "",            "",                 "6x86"},
    {M(5, 0x4),            "",                      "MediaGX",         "",            "",                 "GXm"},
    {M(6, 0x0),            "",                      "M2",              "",            "",                 "6x86MX / MII"},
});
constexpr auto kNexGen = std::to_array<Row>({
    {F(5),                 "",                      "Nx586",           "",            "",                 "Nx586"},
});
constexpr auto kRise = std::to_array<Row>({
    {M(5, 0x0),            "",                      "mP6",             "",            "",                 "Kirin"},
    {M(5, 0x2),            "",                      "mP6",             "",            "",                 "Lynx"},
    {M(5, 0x8, 0x9),       "",                      "mP6",             "",            "",                 "iDragon II"},
    {F(5),                 "",                      "mP6",             "",            "",                 "mP6"},
});
constexpr auto kSiS = std::to_array<Row>({
    {M(5, 0x0),            "",                      "mP6",             "",            "",                 "SiS 550"},
});
constexpr auto kTransmeta = std::to_array<Row>({
    {F(5),                 "",                      "Crusoe",          "",            "",                 "Crusoe"},
    {F(15),                "",                      "Efficeon",        "",            "",                 "Efficeon"},
});
constexpr auto kUMC = std::to_array<Row>({
    {M(4, 0x1),            "",                      "U5",              "",            "",                 "U5D"},
    {M(4, 0x2),            "",                      "U5",              "",            "",                 "U5S"},
    {F(4),                 "",                      "U5",              "",            "",                 "U5"},
});
constexpr auto kNSC = std::to_array<Row>({
    {M(5, 0x4),            "",                      "Geode GX1",       "",            "",                 "Geode GX1"},
    {M(5, 0x5),            "",                      "Geode GX",        "",            "geode",            "Geode GX"},
});
// The EX2 differs from the EX only by having a brand text.
constexpr auto kDMP = std::to_array<Row>({
    {M(5, 0x2),            "",                      "Vortex86",        "",            "",                 "Vortex86DX"},
    {M(5, 0x8),            "",                      "Vortex86",        "",            "",                 "Vortex86MX"},
    {M(6, 0x0),            "EX2",                   "Vortex86",        "",            "",                 "Vortex86EX2"},
    {M(6, 0x0),            "",                      "Vortex86",        "",            "",                 "Vortex86EX"},
    {M(6, 0x1),            "",                      "Vortex86",        "",            "",                 "Vortex86DX3"},
    {F(5),                 "",                      "Vortex86",        "",            "",                 "Vortex86"},
    {F(6),                 "",                      "Vortex86",        "",            "",                 "Vortex86"},
});
// clang-format on

// The process of each die, in its vendor's words, for the codenames whose every die a vendor source
// places on one process; a codename not listed has none. One row a codename.
struct Die {
    InlineText<48> codename;
    InlineText<16> process;
};

// clang-format off
constexpr auto kIntelDies = std::to_array<Die>({
    // codename                            process
    // P5 and P6.
    {"P5",                                 "800 nm"},
    {"P55C",                               "350 nm"},
    {"Klamath",                            "350 nm"},
    {"Tillamook",                          "250 nm"},
    {"Deschutes",                          "250 nm"},
    {"Covington",                          "250 nm"},
    {"Drake",                              "250 nm"},
    {"Mendocino",                          "250 nm"},
    {"Katmai",                             "250 nm"},
    {"Tanner",                             "250 nm"},
    {"Coppermine",                         "180 nm"},
    {"Coppermine-128K",                    "180 nm"},
    {"Cascades",                           "180 nm"},
    {"Tualatin",                           "130 nm"},
    {"Banias",                             "130 nm"},
    {"Dothan",                             "90 nm"},
    {"Yonah",                              "65 nm"},
    {"Sossaman",                           "65 nm"},
    // Core to Skylake.
    {"Merom",                              "65 nm"},
    {"Merom-2M",                           "65 nm"},
    {"Merom-L",                            "65 nm"},
    {"Conroe",                             "65 nm"},
    {"Conroe-L",                           "65 nm"},
    {"Allendale",                          "65 nm"},
    {"Kentsfield",                         "65 nm"},
    {"Woodcrest",                          "65 nm"},
    {"Clovertown",                         "65 nm"},
    {"Tigerton",                           "65 nm"},
    {"Kentsfield / Clovertown / Tigerton", "65 nm"},
    {"Penryn",                             "45 nm"},
    {"Penryn-3M",                          "45 nm"},
    {"Wolfdale",                           "45 nm"},
    {"Wolfdale-3M",                        "45 nm"},
    {"Wolfdale-DP",                        "45 nm"},
    {"Yorkfield",                          "45 nm"},
    {"Yorkfield-6M",                       "45 nm"},
    {"Harpertown",                         "45 nm"},
    {"Yorkfield / Harpertown",             "45 nm"},
    {"Dunnington",                         "45 nm"},
    {"Bloomfield",                         "45 nm"},
    {"Gainestown",                         "45 nm"},
    {"Lynnfield",                          "45 nm"},
    {"Clarksfield",                        "45 nm"},
    {"Jasper Forest",                      "45 nm"},
    {"Beckton",                            "45 nm"},
    {"Arrandale",                          "32 nm"},
    {"Clarkdale",                          "32 nm"},
    {"Gulftown",                           "32 nm"},
    {"Westmere-EP",                        "32 nm"},
    {"Westmere-EX",                        "32 nm"},
    {"Sandy Bridge",                       "32 nm"},
    {"Sandy Bridge-E",                     "32 nm"},
    {"Sandy Bridge-EP",                    "32 nm"},
    {"Ivy Bridge",                         "22 nm"},
    {"Ivy Bridge-E",                       "22 nm"},
    {"Ivy Bridge-EP",                      "22 nm"},
    {"Ivy Bridge-EX",                      "22 nm"},
    {"Haswell",                            "22 nm"},
    {"Haswell-E",                          "22 nm"},
    {"Haswell-EP",                         "22 nm"},
    {"Haswell-EX",                         "22 nm"},
    {"Broadwell",                          "14 nm"},
    {"Broadwell-E",                        "14 nm"},
    {"Broadwell-EP",                       "14 nm"},
    {"Broadwell-EX",                       "14 nm"},
    {"Broadwell-DE",                       "14 nm"},
    {"Skylake",                            "14 nm"},
    {"Skylake-W",                          "14 nm"},
    {"Skylake-D",                          "14 nm"},
    {"Skylake-SP",                         "14 nm"},
    {"Skylake-X",                          "14 nm"},
    {"Cascade Lake-W",                     "14 nm"},
    {"Cascade Lake-SP",                    "14 nm"},
    {"Cascade Lake-X",                     "14 nm"},
    {"Cooper Lake",                        "14 nm"},
    {"Kaby Lake",                          "14 nm"},
    {"Kaby Lake-R",                        "14 nm"},
    {"Amber Lake",                         "14 nm"},
    {"Whiskey Lake",                       "14 nm"},
    {"Coffee Lake",                        "14 nm"},
    {"Coffee Lake Refresh",                "14 nm"},
    {"Comet Lake",                         "14 nm"},
    // The Cove cores and the hybrid dies.
    {"Cannon Lake",                        "10 nm"},
    {"Ice Lake",                           "10 nm"},
    {"Ice Lake-SP",                        "10 nm"},
    {"Ice Lake-W",                         "10 nm"},
    {"Ice Lake-D",                         "10 nm"},
    {"Lakefield",                          "10 nm"},
    {"Rocket Lake",                        "14 nm"},
    {"Tiger Lake",                         "10 nm SuperFin"},
    {"Sapphire Rapids",                    "Intel 7"},
    {"Emerald Rapids",                     "Intel 7"},
    {"Alder Lake",                         "Intel 7"},
    {"Raptor Lake",                        "Intel 7"},
    {"Meteor Lake",                        "Intel 4"},
    {"Granite Rapids",                     "Intel 3"},
    {"Granite Rapids-D",                   "Intel 3"},
    {"Lunar Lake",                         "TSMC N3B"},
    {"Panther Lake",                       "Intel 18A"},
    // Atom and the efficiency-core-only dies.
    {"Silverthorne",                       "45 nm"},
    {"Diamondville",                       "45 nm"},
    {"Pineview",                           "45 nm"},
    {"Lincroft",                           "45 nm"},
    {"Penwell",                            "32 nm"},
    {"Cloverview",                         "32 nm"},
    {"Cedarview",                          "32 nm"},
    {"Centerton",                          "32 nm"},
    {"Bay Trail",                          "22 nm"},
    {"Merrifield",                         "22 nm"},
    {"Avoton",                             "22 nm"},
    {"Rangeley",                           "22 nm"},
    {"Moorefield",                         "22 nm"},
    {"Cherry Trail",                       "14 nm"},
    {"Braswell",                           "14 nm"},
    {"Apollo Lake",                        "14 nm"},
    {"Denverton",                          "14 nm"},
    {"Gemini Lake",                        "14 nm"},
    {"Knights Landing",                    "14 nm"},
    {"Knights Mill",                       "14 nm"},
    {"Snow Ridge",                         "10 nm"},
    {"Jacobsville",                        "10 nm"},
    {"Elkhart Lake",                       "10 nm"},
    {"Jasper Lake",                        "10 nm"},
    {"Alder Lake-N",                       "Intel 7"},
    {"Twin Lake",                          "Intel 7"},
    {"Sierra Forest",                      "Intel 3"},
    // NetBurst.
    {"Willamette",                         "180 nm"},
    {"Willamette-128K",                    "180 nm"},
    {"Foster",                             "180 nm"},
    {"Foster MP",                          "180 nm"},
    {"Northwood",                          "130 nm"},
    {"Northwood-128K",                     "130 nm"},
    {"Northwood-256K",                     "130 nm"},
    {"Gallatin",                           "130 nm"},
    {"Prestonia",                          "130 nm"},
    {"Prescott",                           "90 nm"},
    {"Prescott-2M",                        "90 nm"},
    {"Prescott-256K",                      "90 nm"},
    {"Nocona",                             "90 nm"},
    {"Irwindale",                          "90 nm"},
    {"Potomac",                            "90 nm"},
    {"Cranford",                           "90 nm"},
    {"Paxville",                           "90 nm"},
    {"Smithfield",                         "90 nm"},
    {"Cedar Mill",                         "65 nm"},
    {"Presler",                            "65 nm"},
    {"Dempsey",                            "65 nm"},
    {"Tulsa",                              "65 nm"},
});
constexpr auto kAMDDies = std::to_array<Die>({
    // codename                            process
    // K6 and K7.
    {"K6",                                 "350 nm"},
    {"Little Foot",                        "250 nm"},
    {"Chomper",                            "250 nm"},
    {"Chomper Extended",                   "250 nm"},
    {"Sharptooth",                         "250 nm"},
    {"Argon",                              "250 nm"},
    {"K6-2+",                              "180 nm"},
    {"K6-III+",                            "180 nm"},
    {"K6-2+ / K6-III+",                    "180 nm"},
    {"Pluto / Orion",                      "180 nm"},
    {"Spitfire",                           "180 nm"},
    {"Thunderbird",                        "180 nm"},
    {"Palomino",                           "180 nm"},
    {"Morgan",                             "180 nm"},
    {"Thoroughbred",                       "130 nm"},
    {"Applebred",                          "130 nm"},
    {"Barton",                             "130 nm"},
    {"Thorton",                            "130 nm"},
    {"Geode LX",                           "130 nm"},
    // K8.
    {"ClawHammer",                         "130 nm"},
    {"SledgeHammer",                       "130 nm"},
    {"Newcastle",                          "130 nm"},
    {"Paris",                              "130 nm"},
    {"Dublin",                             "130 nm"},
    {"Winchester",                         "90 nm"},
    {"Venice",                             "90 nm"},
    {"San Diego",                          "90 nm"},
    {"Manchester",                         "90 nm"},
    {"Toledo",                             "90 nm"},
    {"Palermo",                            "90 nm"},
    {"Sonora",                             "90 nm"},
    {"Oakville",                           "90 nm"},
    {"Albany",                             "90 nm"},
    {"Lancaster",                          "90 nm"},
    {"Newark",                             "90 nm"},
    {"Denmark",                            "90 nm"},
    {"Italy",                              "90 nm"},
    {"Egypt",                              "90 nm"},
    {"Venus",                              "90 nm"},
    {"Troy",                               "90 nm"},
    {"Athens",                             "90 nm"},
    {"Santa Rosa",                         "90 nm"},
    {"Santa Ana",                          "90 nm"},
    {"Windsor",                            "90 nm"},
    {"Richmond",                           "90 nm"},
    {"Keene",                              "90 nm"},
    {"Manila",                             "90 nm"},
    {"Orleans",                            "90 nm"},
    {"Brisbane",                           "65 nm"},
    {"Lima",                               "65 nm"},
    {"Sparta",                             "65 nm"},
    {"Sherman",                            "65 nm"},
    {"Tyler",                              "65 nm"},
    {"Griffin",                            "65 nm"},
    // K10, Bobcat, Bulldozer and Jaguar.
    {"Barcelona",                          "65 nm"},
    {"Agena",                              "65 nm"},
    {"Kuma",                               "65 nm"},
    {"Toliman",                            "65 nm"},
    {"Shanghai",                           "45 nm"},
    {"Deneb",                              "45 nm"},
    {"Heka",                               "45 nm"},
    {"Callisto",                           "45 nm"},
    {"Propus",                             "45 nm"},
    {"Rana",                               "45 nm"},
    {"Regor",                              "45 nm"},
    {"Sargas",                             "45 nm"},
    {"Istanbul",                           "45 nm"},
    {"Lisbon",                             "45 nm"},
    {"Magny-Cours",                        "45 nm"},
    {"Thuban",                             "45 nm"},
    {"Zosma",                              "45 nm"},
    {"Ontario",                            "40 nm"},
    {"Zacate",                             "40 nm"},
    {"Desna",                              "40 nm"},
    {"Llano",                              "32 nm"},
    {"Zambezi",                            "32 nm"},
    {"Interlagos",                         "32 nm"},
    {"Valencia",                           "32 nm"},
    {"Zurich",                             "32 nm"},
    {"Vishera",                            "32 nm"},
    {"Abu Dhabi",                          "32 nm"},
    {"Seoul",                              "32 nm"},
    {"Delhi",                              "32 nm"},
    {"Trinity",                            "32 nm"},
    {"Richland",                           "32 nm"},
    {"Kaveri",                             "28 nm"},
    {"Godavari",                           "28 nm"},
    {"Carrizo",                            "28 nm"},
    {"Bristol Ridge",                      "28 nm"},
    {"Stoney Ridge",                       "28 nm"},
    {"Kabini",                             "28 nm"},
    {"Temash",                             "28 nm"},
    {"Beema",                              "28 nm"},
    {"Mullins",                            "28 nm"},
    // Zen.
    {"Summit Ridge",                       "14 nm"},
    {"Naples",                             "14 nm"},
    {"Whitehaven",                         "14 nm"},
    {"Whitehaven / Naples",                "14 nm"},
    {"Raven Ridge",                        "14 nm"},
    {"Dali",                               "14 nm"},
    {"Pinnacle Ridge",                     "12 nm"},
    {"Colfax",                             "12 nm"},
    {"Picasso",                            "12 nm"},
    {"Matisse",                            "7 nm"},
    {"Rome",                               "7 nm"},
    {"Castle Peak",                        "7 nm"},
    {"Renoir",                             "7 nm"},
    {"Lucienne",                           "7 nm"},
    {"Vermeer",                            "7 nm"},
    {"Milan",                              "7 nm"},
    {"Milan-X",                            "7 nm"},
    {"Chagall",                            "7 nm"},
    {"Trento",                             "7 nm"},
    {"Cezanne",                            "7 nm"},
    {"Barcelo",                            "7 nm"},
    {"Mendocino",                          "6 nm"},
    {"Rembrandt",                          "6 nm"},
    {"Rembrandt-R",                        "6 nm"},
    {"Raphael",                            "5 nm"},
    {"Dragon Range",                       "5 nm"},
    {"Genoa",                              "5 nm"},
    {"Genoa-X",                            "5 nm"},
    {"Storm Peak",                         "5 nm"},
    {"Bergamo",                            "5 nm"},
    {"Siena",                              "5 nm"},
    {"Phoenix",                            "4 nm"},
    {"Phoenix 2",                          "4 nm"},
    {"Hawk Point 2",                       "4 nm"},
    {"Hawk Point",                         "4 nm"},
    {"Granite Ridge",                      "4 nm"},
    {"Fire Range",                         "4 nm"},
    {"Turin",                              "4 nm"},
    {"Shimada Peak",                       "4 nm"},
    {"Strix Point",                        "4 nm"},
    {"Krackan Point",                      "4 nm"},
    {"Strix Halo",                         "4 nm"},
    {"Turin Dense",                        "3 nm"},
});
constexpr auto kCentaurDies = std::to_array<Die>({
    // codename                            process
    {"Samuel",                             "180 nm"},
    {"Samuel 2",                           "150 nm"},
    {"Ezra",                               "130 nm"},
    {"Ezra-T",                             "130 nm"},
    {"Nehemiah",                           "130 nm"},
    {"Esther",                             "90 nm"},
    {"LuJiaZui",                           "16 nm"},
});
// clang-format on

struct VendorRows {
    Vendor vendor;
    std::span<const Row> rows;
    std::span<const Die> dies;
};

// clang-format off
constexpr auto kVendors = std::to_array<VendorRows>({
    {Vendor::Intel,          kIntel,      kIntelDies},
    {Vendor::AMD,            kAMD,        kAMDDies},
    {Vendor::AMDSample,      kAMD,        kAMDDies},
    {Vendor::Hygon,          kHygon,      {}},
    {Vendor::Centaur,        kCentaur,    kCentaurDies},
    {Vendor::Zhaoxin,        kCentaur,    kCentaurDies},
    {Vendor::Cyrix,          kCyrix,      {}},
    {Vendor::NexGen,         kNexGen,     {}},
    {Vendor::Rise,           kRise,       {}},
    {Vendor::Transmeta,      kTransmeta,  {}},
    {Vendor::TransmetaEarly, kTransmeta,  {}},
    {Vendor::UMC,            kUMC,        {}},
    {Vendor::SiS,            kSiS,        {}},
    {Vendor::NSC,            kNSC,        {}},
    {Vendor::DMP,            kDMP,        {}},
});
// clang-format on

// A class names one design for its whole family, so every row of that family names it too, or a later
// revision of it on the same core: Puma is Jaguar on the dies of family 16h models 30h-3Fh (AMD
// describes one family 16h core), C86-4G Hygon's revision of Dhyana.
struct Revision {
    std::string_view design, revision;
};
constexpr Revision kRevisions[] = {{"Jaguar", "Puma"}, {"Dhyana", "C86-4G"}};

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
           && (!w.no_l2 || (q.caches_known && q.l2_kb == 0)) && (!w.no_fpu || !q.fpu)
           && (w.type == kAnyType || q.type == w.type)
           && (w.brand_index == 0 || q.brand_index == w.brand_index)
           && (w.brand.empty() || BrandMatches(q.brand, w.brand));
}

constexpr bool IsClass(const Row& row) { return row.sig.model_lo == 0x00 && row.sig.model_hi == 0xFF; }

constexpr std::string_view ProcessOf(std::span<const Die> dies, std::string_view codename) {
    for (const Die& die : dies)
        if (die.codename == codename) return die.process;
    return {};
}

// Table checks, run by the compiler. A row is well formed when its ranges are ordered, its stepping
// fits 4 bits, it names a core and a codename, its brand has no empty alternative or piece, and its GCC
// name is one GCC could have (lower-case letters, digits and '-'). A row is dead when an earlier row of
// the same family asks no more than it (no brand and no sizes, or the very same ones) and covers all
// of its models and steppings. A class comes after every other row of its family, and every row of
// its family names its design or a revision of it.
constexpr bool GccName(std::string_view name) {
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    return !name.starts_with('-');
}

constexpr bool WellFormed(const Row& r) {
    const std::string_view b = r.when.brand;
    const bool empty_piece = b.starts_with('|') || b.ends_with('|') || b.starts_with('*') || b.ends_with('*')
                             || b.find("||") != b.npos || b.find("**") != b.npos || b.find("|*") != b.npos
                             || b.find("*|") != b.npos;
    return r.sig.model_lo <= r.sig.model_hi && r.sig.step_lo <= r.sig.step_hi && r.sig.step_hi <= 0xF
           && !r.core.empty() && !r.codename.empty() && !empty_piece && r.when.l2_lo <= r.when.l2_hi
           && r.when.l3_lo <= r.when.l3_hi && r.when.cores_lo <= r.when.cores_hi && GccName(r.gcc);
}

constexpr bool SameDesign(std::string_view design, std::string_view named) {
    if (design == named) return true;
    for (const Revision& r : kRevisions)
        if (r.design == design && r.revision == named) return true;
    return false;
}

// Whether `row` may follow `earlier_class`, a class: not a row of its family, save another class
// naming the same design.
constexpr bool MayFollow(const Row& earlier_class, const Row& row) {
    return row.sig.family != earlier_class.sig.family
           || (IsClass(row) && row.core == earlier_class.core && row.efficiency.empty());
}

constexpr bool Covers(const Row& earlier, const Row& later) {
    const Signature &e = earlier.sig, &l = later.sig;
    return e.family == l.family && e.model_lo <= l.model_lo && e.model_hi >= l.model_hi
           && e.step_lo <= l.step_lo && e.step_hi >= l.step_hi
           && (earlier.when == When("") || earlier.when == later.when);
}

// The index of the first malformed or dead row, of a row after its family's class or of a class
// whose family names another design; -1 when there is none.
constexpr int FirstBadRow(std::span<const Row> rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!WellFormed(rows[i])) return static_cast<int>(i);
        for (size_t j = 0; j < i; ++j)
            if (Covers(rows[j], rows[i]) || (IsClass(rows[j]) && !MayFollow(rows[j], rows[i])))
                return static_cast<int>(i);
        if (!IsClass(rows[i])) continue;
        if (!rows[i].efficiency.empty()) return static_cast<int>(i);
        for (size_t j = 0; j < i; ++j)
            if (rows[j].sig.family == rows[i].sig.family && !SameDesign(rows[i].core, rows[j].core))
                return static_cast<int>(i);
    }
    return -1;
}

// The index of the first die that no row of `rows` names, that has no process, or whose codename an
// earlier die already gives; -1 when there is none.
constexpr int FirstBadDie(std::span<const Die> dies, std::span<const Row> rows) {
    for (size_t i = 0; i < dies.size(); ++i) {
        const bool named = std::any_of(rows.begin(), rows.end(),
                                       [&](const Row& row) { return row.codename == dies[i].codename; });
        if (!named || dies[i].process.empty()) return static_cast<int>(i);
        for (size_t j = 0; j < i; ++j)
            if (dies[j].codename == dies[i].codename) return static_cast<int>(i);
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
static_assert(FirstBadDie(kIntelDies, kIntel) == -1);
static_assert(FirstBadDie(kAMDDies, kAMD) == -1);
static_assert(FirstBadDie(kCentaurDies, kCentaur) == -1);

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
                             row.codename, row.gcc, ProcessOf(vendor.dies, row.codename)};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace talvex
