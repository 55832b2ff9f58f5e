// Microarchitecture naming: every real dump against the name its file carries, the hybrid dumps
// core by core, models no row lists against the classes, the window's naming tables where they name
// the dump too, a peer decoder's design and process where it gives them, this machine, real products
// no dump covers, and the GCC names against the installed GCC.
#include "probe/details/uarch.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "probe/details/details.h"
#include "probe/platform/platform.h"
#include "probe/tables/naming.h"
#include "support/dumps.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/pinned.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps, the temporary files and the peer's output

struct Named {
    const char* microarchitecture;  // nullptr: no name
    const char* codename;
};

// As the details give it: the query is filled from the decoded record.
std::optional<UarchName> NameOf(const Probe& probe) { return GetProcessorDetails(probe).uarch; }

std::string Show(const std::optional<UarchName>& n) {
    return n ? std::string(n->microarchitecture) + " | " + std::string(n->codename) : "(none)";
}

std::string Show(const Named& n) {
    return n.microarchitecture ? std::string(n.microarchitecture) + " | " + n.codename : "(none)";
}

// First logical processor of each dump. The file names carry the codename; a note says where the
// answer differs from it or needs more than the signature.
const std::map<std::string, Named> kDumpNames = {
    {"amd-a10-7850k-kaveri.txt", {"Steamroller", "Kaveri"}},
    {"amd-a8-3850-llano.txt", {"K10", "Llano"}},
    {"amd-athlon-5350-kabini.txt", {"Jaguar", "Kabini"}},
    // Model 2C is revision E, sold as Venice; Winchester was revision D (model 1F).
    {"amd-athlon-64-3000-winchester.txt", {"K8", "Venice"}},
    {"amd-athlon-64-3200-venice.txt", {"K8", "Venice"}},
    {"amd-athlon-64-x2-3800-manchester.txt", {"K8", "Manchester"}},
    {"amd-athlon-ii-x4-620-propus.txt", {"K10", "Propus"}},
    {"amd-athlon-k7-argon.txt", {"K7", "Argon"}},
    {"amd-athlon-xp-2200-thoroughbred.txt", {"K7", "Thoroughbred"}},
    {"amd-athlon-xp-3200-barton.txt", {"K7", "Barton"}},
    {"amd-athlon-xp-palomino.txt", {"K7", "Palomino"}},
    {"amd-duron-spitfire.txt", {"K7", "Spitfire"}},
    {"amd-e-350-zacate.txt", {"Bobcat", "Zacate"}},
    {"amd-fx-8150-zambezi.txt", {"Bulldozer", "Zambezi"}},
    {"amd-fx-8350-vishera.txt", {"Piledriver", "Vishera"}},
    {"amd-k5-pr133.txt", {"K5", "5k86"}},
    {"amd-k5-pr75.txt", {"K5", "SSA/5"}},
    {"amd-k6-2-chomper.txt", {"K6", "Chomper"}},
    {"amd-k6-iii-sharptooth.txt", {"K6", "Sharptooth"}},
    {"amd-k6-model6.txt", {"K6", "K6"}},
    {"amd-opteron-248-sledgehammer.txt", {"K8", "SledgeHammer"}},
    {"amd-opteron-8220-se-santa-rosa.txt", {"K8", "Santa Rosa"}},
    {"amd-phenom-9850-agena.txt", {"K10", "Agena"}},
    {"amd-phenom-ii-x6-1055t-thuban.txt", {"K10", "Thuban"}},
    {"amd-ryzen-7-1800x-summit-ridge.txt", {"Zen", "Summit Ridge"}},
    {"amd-ryzen-7-2700x-pinnacle-ridge.txt", {"Zen+", "Pinnacle Ridge"}},
    {"amd-ryzen-7-6800hs-rembrandt.txt", {"Zen 3+", "Rembrandt"}},
    {"amd-ryzen-7-7700x-raphael.txt", {"Zen 4", "Raphael"}},
    {"amd-ryzen-9-3900x-matisse.txt", {"Zen 2", "Matisse"}},
    {"amd-ryzen-9-5950x-vermeer.txt", {"Zen 3", "Vermeer"}},
    {"amd-ryzen-9-9950x-granite-ridge.txt", {"Zen 5", "Granite Ridge"}},
    // Its brand has "HX", which on model 44 would mean Fire Range: the Strix Point row asks nothing.
    {"amd-ryzen-ai-9-hx-370-strix-point.txt", {"Zen 5", "Strix Point"}},
    {"amd-sempron-2600-palermo.txt", {"K8", "Palermo"}},
    {"hygon-c86-7185-dhyana.txt", {"Dhyana", "Dhyana"}},
    {"intel-atom-c2750-avoton.txt", {"Silvermont", "Avoton"}},
    {"intel-atom-n270-diamondville.txt", {"Bonnell", "Diamondville"}},
    {"intel-celeron-d-347-cedar-mill.txt", {"NetBurst", "Cedar Mill"}},
    {"intel-celeron-j4105-gemini-lake.txt", {"Goldmont Plus", "Gemini Lake"}},
    {"intel-celeron-m-600-banias.txt", {"Pentium M", "Banias"}},
    {"intel-core-i3-n305-alder-lake-n.txt", {"Gracemont", "Alder Lake-N"}},
    {"intel-core-i7-1065g7-ice-lake.txt", {"Sunny Cove", "Ice Lake"}},
    {"intel-core-i7-1165g7-tiger-lake.txt", {"Willow Cove", "Tiger Lake"}},
    {"intel-core-i7-11700k-rocket-lake.txt", {"Cypress Cove", "Rocket Lake"}},
    {"intel-core-i7-13700k-raptor-lake.txt", {"Raptor Cove", "Raptor Lake"}},
    {"intel-core-i7-2600k-sandy-bridge.txt", {"Sandy Bridge", "Sandy Bridge"}},
    {"intel-core-i7-4770-haswell.txt", {"Haswell", "Haswell"}},
    {"intel-core-i7-6700k-skylake.txt", {"Skylake", "Skylake"}},
    {"intel-core-i7-8700k-coffee-lake.txt", {"Skylake", "Coffee Lake"}},
    {"intel-core-i7-920-bloomfield.txt", {"Nehalem", "Bloomfield"}},
    {"intel-core-i9-10980xe-cascade-lake-x.txt", {"Skylake", "Cascade Lake-X"}},
    {"intel-core-i9-12900k-alder-lake.txt", {"Golden Cove", "Alder Lake"}},
    // Stepping C of model 9E.
    {"intel-core-i9-9900k-coffee-lake-r.txt", {"Skylake", "Coffee Lake Refresh"}},
    {"intel-core-ultra-7-155h-meteor-lake.txt", {"Redwood Cove", "Meteor Lake"}},
    {"intel-core-ultra-9-285h-arrow-lake-h.txt", {"Lion Cove", "Arrow Lake"}},
    {"intel-core2-quad-q6600-kentsfield.txt", {"Core", "Kentsfield"}},
    // "Quad" and 3 MB of L2 a die: two Wolfdale-3M dies.
    {"intel-core2-quad-q9300-yorkfield.txt", {"Penryn", "Yorkfield-6M"}},
    {"intel-mobile-pentium-4-m.txt", {"NetBurst", "Northwood"}},
    // Leaf 4 reports the 2 MB L2.
    {"intel-pentium-4-640-prescott-2m.txt", {"NetBurst", "Prescott-2M"}},
    {"intel-pentium-4-northwood-2.80.txt", {"NetBurst", "Northwood"}},
    {"intel-pentium-4-willamette-1700.txt", {"NetBurst", "Willamette"}},
    // Stepping A; without a deterministic L2 size the 128 KB Mobile Celeron row cannot apply.
    {"intel-pentium-ii-dixon.txt", {"P6", "Dixon"}},
    {"intel-pentium-iii-coppermine.txt", {"P6", "Coppermine"}},
    {"intel-pentium-iii-katmai.txt", {"P6", "Katmai"}},
    {"intel-pentium-iii-tualatin-1266.txt", {"P6", "Tualatin"}},
    {"intel-pentium-m-dothan-1.60.txt", {"Pentium M", "Dothan"}},
    // A Dothan signature under a QEMU brand: no Dothan is there.
    {"intel-qemu-virtual-cpu.txt", {nullptr, nullptr}},
    {"intel-xeon-nocona-2.80.txt", {"NetBurst", "Nocona"}},
    {"via-c3-ezra-t.txt", {"C3", "Ezra-T"}},
    {"via-c3-nehemiah.txt", {"C3", "Nehemiah"}},
    {"via-c3-samuel.txt", {"C3", "Samuel"}},
    {"via-c7-m-esther.txt", {"C7", "Esther"}},
    {"via-nano-l2200-isaiah.txt", {"Isaiah", "Isaiah"}},
    {"zhaoxin-kh-40000-yongfeng.txt", {"YongFeng", "YongFeng"}},
    {"zhaoxin-kx-u6780a-lujiazui.txt", {"LuJiaZui", "LuJiaZui"}},
};

TEST(UarchDumps, EveryDumpNamed) {
    for (const std::string& file : DumpNames()) {
        SCOPED_TRACE(file);
        const auto expected = kDumpNames.find(file);
        ASSERT_NE(expected, kDumpNames.end()) << "a new dump needs its row";
        const Replayed cpu(file);
        EXPECT_EQ(Show(NameOf(cpu.probe)), Show(expected->second));
    }
}

// Every logical processor of the hybrid dumps: the core type picks the design, the die keeps its name.
TEST(UarchDumps, HybridCoresByCoreType) {
    struct Hybrid {
        const char* file;
        const char *performance, *efficiency, *codename;
    } dumps[] = {
        {"intel-core-i9-12900k-alder-lake.txt", "Golden Cove", "Gracemont", "Alder Lake"},
        {"intel-core-i7-13700k-raptor-lake.txt", "Raptor Cove", "Gracemont", "Raptor Lake"},
        {"intel-core-ultra-7-155h-meteor-lake.txt", "Redwood Cove", "Crestmont", "Meteor Lake"},
        {"intel-core-ultra-9-285h-arrow-lake-h.txt", "Lion Cove", "Skymont", "Arrow Lake"},
        {"amd-ryzen-ai-9-hx-370-strix-point.txt", "Zen 5", "Zen 5c", "Strix Point"},
    };
    for (const Hybrid& d : dumps) {
        SCOPED_TRACE(d.file);
        int seen[3] = {};
        for (const DumpProcessor& processor : ReadDumpFile(kDumps + "/" + d.file)) {
            const Replayed cpu(processor);
            const ProcessorDetails details = GetProcessorDetails(cpu.probe);
            ++seen[static_cast<int>(details.core_type)];
            const bool efficiency = details.core_type == CoreType::Efficiency;
            EXPECT_EQ(Show(details.uarch),
                      Show(Named{efficiency ? d.efficiency : d.performance, d.codename}));
        }
        EXPECT_EQ(seen[static_cast<int>(CoreType::None)], 0);
        EXPECT_GT(seen[static_cast<int>(CoreType::Performance)], 0);
        EXPECT_GT(seen[static_cast<int>(CoreType::Efficiency)], 0);
    }
}

// A model no row lists, in a real dump: a class names its family's design (the dump's own), any other
// family nothing.
TEST(UarchDumps, ClassesNameModelsNoRowLists) {
    const struct {
        const char* file;
        uint32_t model;
        Named expected;
    } cases[] = {
        {"amd-e-350-zacate.txt", 0x00, {"Bobcat", "Zacate"}},        // family 14h; the brand picks the die
        {"amd-athlon-5350-kabini.txt", 0x20, {"Jaguar", "Jaguar"}},  // family 16h
        {"hygon-c86-7185-dhyana.txt", 0x02, {"Dhyana", "Dhyana"}},
        {"amd-athlon-64-3200-venice.txt", 0x48, {"K8", "K8"}},  // a Turion 64 X2's model
        {"amd-phenom-9850-agena.txt", 0x07, {"K10", "K10"}},
        {"amd-athlon-xp-palomino.txt", 0x05, {"K7", "K7"}},
        {"intel-pentium-4-northwood-2.80.txt", 0x07, {"NetBurst", "NetBurst"}},
        {"amd-a8-3850-llano.txt", 0x00, {"K10", "Llano"}},  // family 12h: the Llano die alone
        // Families of more than one design.
        {"amd-ryzen-9-5950x-vermeer.txt", 0x2F, {nullptr, nullptr}},       // 19h: Zen 3, 3+ and 4
        {"amd-ryzen-7-1800x-summit-ridge.txt", 0x40, {nullptr, nullptr}},  // 17h: Zen, Zen+, Zen 2
        {"amd-fx-8150-zambezi.txt", 0x50, {nullptr, nullptr}},             // 15h: four designs
        {"intel-core-i7-2600k-sandy-bridge.txt", 0x99, {nullptr, nullptr}},
        {"via-c3-samuel.txt", 0x0B, {nullptr, nullptr}},  // Centaur family 6: C3, C7, Isaiah, ...
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " as model " + std::to_string(c.model));
        const ProcessorDetails details = GetProcessorDetails(Replayed(c.file).probe);  // the query's texts
        UarchQuery query = UarchQueryOf(details);
        query.model = c.model;
        EXPECT_EQ(Show(IdentifyMicroarchitecture(query)), Show(c.expected));
    }
}

// The codename in the last parentheses of the window's name ("Pentium III(Katmai)"); "" for none.
std::string TablesCodename(const std::string& name) {
    if (name.empty() || name.back() != ')') return {};
    const std::string codename = name.substr(name.rfind('(') + 1, name.size() - name.rfind('(') - 2);
    return codename == "Unknown" || codename == "Unknown Family" ? "" : codename;
}

// Where the window's naming tables were made for a dump and name its die, the details' codename is
// the same unless the details' source is the more precise one; every difference left, with why.
TEST(UarchDumps, NamersDisagreeOnlyWhereTheDetailsKnowBetter) {
    const std::map<std::tuple<std::string, std::string, std::string>, const char*> expected = {
        {{"amd-athlon-64-3000-winchester.txt", "Newcastle", "Venice"},
         "the tables read the 4-bit model, C (Newcastle); with the extended model it is 2Ch, revision E"},
        {{"amd-athlon-64-x2-3800-manchester.txt", "Paris", "Manchester"},
         "the tables read the 4-bit model, B (Paris); it is 2Bh, the dual-core revision E die"},
        {{"amd-opteron-8220-se-santa-rosa.txt", "ClawHammer", "Santa Rosa"},
         "the tables read the 4-bit model, 1 (ClawHammer); it is 41h, revision F"},
        {{"amd-sempron-2600-palermo.txt", "Newcastle", "Palermo"},
         "the tables read the 4-bit model, C (Newcastle); it is 2Ch, and the brand says Sempron"},
        {{"amd-athlon-k7-argon.txt", "K7", "Argon"}, "the tables give the design, not the die"},
        {{"amd-k6-2-chomper.txt", "Chompers", "Chomper"}, "the tables' own spelling, kept on purpose"},
        {{"intel-pentium-4-640-prescott-2m.txt", "Prescott-256K", "Prescott-2M"},
         "brand index 0: the tables fall to their Celeron D line; leaf 4 gives 2 MB of L2"},
        {{"intel-xeon-nocona-2.80.txt", "Prescott-256K", "Nocona"},
         "brand index 0: the tables fall to their Celeron D line; the brand text says Xeon"},
        {{"intel-qemu-virtual-cpu.txt", "Dothan", ""},
         "a Dothan signature under QEMU's brand: the details name no part that is not there"},
    };
    std::map<std::tuple<std::string, std::string, std::string>, const char*> seen;
    for (const std::string& file : DumpNames()) {
        const Replayed cpu(file);
        const ProcessorDetails d = GetProcessorDetails(cpu.probe);
        if (!WithinNamingTables(d.vendor.view(), d.signature)) continue;
        const std::string tables = TablesCodename(GetProcessorName(cpu.probe));
        const std::string details = d.uarch ? std::string(d.uarch->codename) : "";
        if (tables.empty() || tables == details) continue;
        const auto key = std::make_tuple(file, tables, details);
        const auto known = expected.find(key);
        seen[key] = known == expected.end() ? "(no reason given)" : known->second;
    }
    for (const auto& [key, reason] : seen)
        std::printf("%s: tables %s, details %s: %s\n", std::get<0>(key).c_str(), std::get<1>(key).c_str(),
                    std::get<2>(key).empty() ? "none" : std::get<2>(key).c_str(), reason);
    EXPECT_EQ(seen, expected);
}

// --- The peer: /usr/bin/cpuid, a test reader only. -------------------------------------------------

constexpr const char* kPeer = "/usr/bin/cpuid";

// The design in the peer's first "(uarch synth)" line, in Talvex's words; "" when there is none.
std::string PeerDesign(const std::string& output) {
    const auto at = output.find("(uarch synth) = ");
    if (at == std::string::npos) return {};
    std::string s = output.substr(at + 16, output.find('\n', at) - at - 16);
    s = s.substr(0, s.find(", "));  // drop the process node
    s = s.substr(s.find(' ') + 1);  // drop the vendor
    // Convention differences. The peer names NetBurst parts by their core, the P6 and Pentium M
    // lines in braces, the dies built on the Skylake core and some server parts by die, the 65 nm
    // Core design by its first die, and Hygon's design by another name.
    if (s.find("{Netburst}") != std::string::npos) return "NetBurst";
    if (s.find("{P6 Pentium M}") != std::string::npos) return "Pentium M";
    if (s.find("{P6 Pentium") != std::string::npos) return "P6";
    if (s.find("{Skylake}") != std::string::npos) return "Skylake";
    s = s.substr(0, s.find(" {"));
    if (s == "Sapphire Rapids") return "Golden Cove";
    if (s == "Emerald Rapids") return "Raptor Cove";
    if (s == "Merom") return "Core";
    if (s == "Moksha") return "Dhyana";
    return s;
}

// The peer knows no Zen 3+: it names Rembrandt "Zen 3".
bool SameDesign(std::string_view ours, const std::string& peer) {
    return ours == peer || (ours == "Zen 3+" && peer == "Zen 3");
}

// A process as both give it: "130 nm" (the peer's ".13um", "14nm++", Talvex's "10 nm SuperFin" all
// to their feature size), "Intel 7"; "" for anything else.
std::string Process(const std::string& text) {
    std::smatch m;
    if (std::regex_match(text, m, std::regex(R"(\.(\d+)um)")))
        return std::to_string(std::stoi(m[1]) * 10) + " nm";
    if (std::regex_match(text, m, std::regex(R"((\d+) ?nm\+*( SuperFin)?)"))) return m[1].str() + " nm";
    if (std::regex_match(text, std::regex(R"(Intel \d+A?)"))) return text;
    return {};
}

// The process in the peer's first "(uarch synth)" line, its last item; "" when it gives none.
std::string PeerProcess(const std::string& output) {
    const auto at = output.find("(uarch synth) = ");
    if (at == std::string::npos) return {};
    const std::string s = output.substr(at, output.find('\n', at) - at);
    const auto comma = s.rfind(", ");
    return comma == std::string::npos ? "" : Process(s.substr(comma + 2));
}

TEST(UarchPeer, SameDesignAndProcessAsThePeer) {
    if (!std::filesystem::exists(kPeer)) GTEST_SKIP() << kPeer << " is not installed";
    // Dumps the peer names wrongly, checked by EveryDumpNamed instead.
    const std::map<std::string, const char*> peer_wrong = {
        {"amd-k5-pr75.txt", "calls family 5 models 0-3 K6"},
        {"amd-k5-pr133.txt", "calls family 5 models 0-3 K6"},
        {"intel-core-i3-n305-alder-lake-n.txt", "calls model BE Golden Cove; it has Gracemont cores only"},
        {"via-nano-l2200-isaiah.txt", "calls the Nano a C7"},
        {"intel-qemu-virtual-cpu.txt", "names the copied Dothan signature"},
    };
    const std::map<std::string, const char*> peer_process_wrong = {
        {"amd-k6-model6.txt", "says 0.30 um; AMD's K6 data sheet gives 0.35 um"},
        {"amd-ryzen-7-6800hs-rembrandt.txt",
         "calls Rembrandt Zen 3 and gives Zen 3's 7 nm; AMD's page, 6 nm"},
    };
    const TempDir dir;
    const std::string stripped = (dir / "dump.txt").string();
    int compared = 0, processes = 0;
    for (const std::string& file : DumpNames()) {
        SCOPED_TRACE(file);
        // The peer refuses the header line: hand it the register lines only.
        std::ifstream in(kNormalized + "/" + file);
        std::ofstream out(stripped);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) out << line << '\n';
        out.close();
        const std::string said = RunCommand(std::string(kPeer) + " -f " + stripped + " 2>/dev/null").text;
        const std::string peer = PeerDesign(said);
        if (peer.empty() || peer_wrong.count(file)) continue;
        const auto ours = NameOf(Replayed(file).probe);
        ASSERT_TRUE(ours.has_value()) << "the peer says " << peer;
        EXPECT_TRUE(SameDesign(ours->microarchitecture, peer))
            << "Talvex " << ours->microarchitecture << ", the peer " << peer;
        ++compared;
        const std::string peer_process = PeerProcess(said), our_process = Process(std::string(ours->process));
        if (peer_process.empty() || our_process.empty() || peer_process_wrong.count(file)) continue;
        EXPECT_EQ(our_process, peer_process) << ours->codename;
        ++processes;
    }
    EXPECT_GE(compared, 60);
    EXPECT_GE(processes, 30);
}

// This machine's processor, through the hardware, against the peer's reading of the same processor:
// both pinned to the first processor this process may run on (a hybrid's cores differ).
TEST(UarchLive, ThisMachineNamed) {
    HardwareSource hardware;
    LinuxPlatform os;
    const testing::PinnedThread pin(os);
    ASSERT_FALSE(pin.allowed().empty());
    ASSERT_TRUE(pin.pinned());
    const Probe probe{hardware, os};
    const ProcessorDetails d = GetProcessorDetails(probe);
    const auto& ours = d.uarch;
    std::printf("this machine: %s, family %X model %X stepping %X, \"%s\": %s\n",
                std::string(d.vendor.view()).c_str(), d.family, d.model, d.stepping,
                std::string(d.brand.view()).c_str(), Show(ours).c_str());
    const bool installed = std::filesystem::exists(kPeer);
    const std::string peer =
        installed ? PeerDesign(RunCommand(std::string(kPeer) + " -1 2>/dev/null").text) : "";
    if (!installed) GTEST_SKIP() << kPeer << " is not installed";
    if (peer.empty()) GTEST_SKIP() << "the peer does not name this processor";
    ASSERT_TRUE(ours.has_value()) << "the peer says " << peer;
    EXPECT_TRUE(SameDesign(ours->microarchitecture, peer)) << "the peer says " << peer;
}

// --- Real products no dump covers, one a row. ------------------------------------------------------

struct Product {
    UarchQuery query;
    Named expected;
};

constexpr CoreType P = CoreType::Performance, E = CoreType::Efficiency, N = CoreType::None;

Product Make(std::string_view vendor, uint32_t family, uint32_t model, uint32_t stepping,
             std::string_view brand, Named expected, uint32_t l2 = 0, uint32_t l3 = 0, CoreType core = N) {
    return {{vendor, family, model, stepping, brand, l2, l3, core}, expected};
}

// What the table asks besides the signature, brand and cache sizes.
Product Cores(Product p, uint32_t cores) {
    p.query.cores = cores;
    return p;
}
Product OverDrive(Product p) {
    p.query.type = 1;
    return p;
}
Product CachesKnown(Product p) {
    p.query.caches_known = true;
    return p;
}
Product WithBrandIndex(Product p, uint32_t index) {
    p.query.brand_index = index;
    return p;
}

constexpr std::string_view I = "GenuineIntel", A = "AuthenticAMD", C = "CentaurHauls";

const std::vector<Product>& KnownProducts() {
    static const std::vector<Product> products = {
        // Intel: brand, stepping and cache rows, and the newest dies.
        Make(I, 4, 0x3, 5, "", {"i486", "P24"}),              // i486DX2
        Make(I, 5, 0x4, 3, "", {"P5", "P55C"}),               // Pentium MMX
        Make(I, 5, 0x9, 0, "", {"Lakemont", "Clanton"}),      // Quark X1000
        Make(I, 6, 0x6, 0xA, "", {"P6", "Dixon-128K"}, 128),  // Mobile Celeron 333: the Dixon die
        Make(I, 6, 0xE, 8, "Genuine Intel(R) CPU           T2400  @ 1.83GHz", {"Pentium M", "Yonah"}),
        Make(I, 6, 0xF, 6, "Intel(R) Core(TM)2 CPU          6600  @ 2.40GHz", {"Core", "Conroe"}),
        Make(I, 6, 0xF, 6, "Intel(R) Core(TM)2 CPU         T7200  @ 2.00GHz", {"Core", "Merom"}),
        Make(I, 6, 0xF, 2, "Intel(R) Core(TM)2 CPU          4300  @ 1.80GHz", {"Core", "Allendale"}),
        Make(I, 6, 0xF, 6, "Intel(R) Xeon(R) CPU            5160  @ 3.00GHz", {"Core", "Woodcrest"}),
        Make(I, 6, 0xF, 7, "Intel(R) Xeon(R) CPU           E5345  @ 2.33GHz", {"Core", "Clovertown"}),
        Make(I, 6, 0x17, 10, "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", {"Penryn", "Wolfdale"}, 6144),
        Make(I, 6, 0x17, 10, "Pentium(R) Dual-Core  CPU      E5200  @ 2.50GHz", {"Penryn", "Wolfdale-3M"},
             2048),
        Make(I, 6, 0x17, 6, "Intel(R) Core(TM)2 Duo CPU     T9300  @ 2.50GHz", {"Penryn", "Penryn"}, 6144),
        Make(I, 6, 0x17, 6, "Intel(R) Xeon(R) CPU           E5450  @ 3.00GHz", {"Penryn", "Harpertown"},
             6144),
        Make(I, 6, 0x1A, 5, "Intel(R) Xeon(R) CPU           X5570  @ 2.93GHz", {"Nehalem", "Gainestown"}),
        Make(I, 6, 0x1E, 5, "Intel(R) Core(TM) i7 CPU       Q 720  @ 1.60GHz", {"Nehalem", "Clarksfield"}),
        Make(I, 6, 0x1E, 5, "Intel(R) Core(TM) i5 CPU         750  @ 2.67GHz", {"Nehalem", "Lynnfield"}),
        Make(I, 6, 0x25, 5, "Intel(R) Core(TM) i5 CPU       M 520  @ 2.40GHz", {"Westmere", "Arrandale"}),
        Make(I, 6, 0x25, 2, "Intel(R) Core(TM) i3 CPU         530  @ 2.93GHz", {"Westmere", "Clarkdale"}),
        Make(I, 6, 0x2C, 2, "Intel(R) Core(TM) i7 CPU       X 980  @ 3.33GHz", {"Westmere", "Gulftown"}),
        Make(I, 6, 0x2D, 7, "Intel(R) Xeon(R) CPU E5-2670 0 @ 2.60GHz", {"Sandy Bridge", "Sandy Bridge-EP"}),
        Make(I, 6, 0x55, 4, "Intel(R) Xeon(R) Platinum 8180 CPU @ 2.50GHz", {"Skylake", "Skylake-SP"}),
        Make(I, 6, 0x55, 7, "Intel(R) Xeon(R) Gold 6248 CPU @ 2.50GHz", {"Skylake", "Cascade Lake-SP"}),
        // Xeon D and Xeon W on a server die's signature, by the segment in the brand.
        Make(I, 6, 0x55, 4, "Intel(R) Xeon(R) D-2183IT CPU @ 2.20GHz", {"Skylake", "Skylake-D"}),
        Make(I, 6, 0x55, 4, "Intel(R) Xeon(R) W-3175X CPU @ 3.10GHz", {"Skylake", "Skylake-W"}),
        Make(I, 6, 0x55, 4, "Intel(R) Xeon(R) W-2123 CPU @ 3.60GHz", {"Skylake", "Skylake-W"}),
        Make(I, 6, 0x55, 7, "Intel(R) Xeon(R) W-3275M CPU @ 2.50GHz", {"Skylake", "Cascade Lake-W"}),
        Make(I, 6, 0x6A, 6, "Intel(R) Xeon(R) W-3375 CPU @ 2.50GHz", {"Sunny Cove", "Ice Lake-W"}),
        Make(I, 6, 0x6A, 6, "Intel(R) Xeon(R) Platinum 8380 CPU @ 2.30GHz", {"Sunny Cove", "Ice Lake-SP"}),
        Make(I, 6, 0x8E, 10, "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz", {"Skylake", "Kaby Lake-R"}),
        Make(I, 6, 0x8E, 12, "Intel(R) Core(TM) i5-10210U CPU @ 1.60GHz", {"Skylake", "Comet Lake"}),
        Make(I, 6, 0x8E, 11, "Intel(R) Core(TM) i7-8565U CPU @ 1.80GHz", {"Skylake", "Whiskey Lake"}),
        Make(I, 6, 0x8F, 8, "Intel(R) Xeon(R) Platinum 8480+", {"Golden Cove", "Sapphire Rapids"}),
        Make(I, 6, 0xAF, 3, "Intel(R) Xeon(R) 6780E", {"Crestmont", "Sierra Forest"}),
        Make(I, 6, 0xBD, 1, "Intel(R) Core(TM) Ultra 7 258V", {"Skymont", "Lunar Lake"}, 0, 0, E),
        Make(I, 6, 0xBD, 1, "Intel(R) Core(TM) Ultra 7 258V", {"Lion Cove", "Lunar Lake"}, 0, 0, P),
        Make(I, 6, 0xBF, 2, "13th Gen Intel(R) Core(TM) i5-13400", {"Golden Cove", "Raptor Lake"}, 0, 0, P),
        Make(I, 6, 0x97, 5, "12th Gen Intel(R) Core(TM) i5-12400", {"Golden Cove", "Alder Lake"}),  // 6P+0E
        Make(I, 15, 0x4, 4, "Intel(R) Pentium(R) D CPU 2.80GHz", {"NetBurst", "Smithfield"}, 1024),
        Make(I, 15, 0x6, 4, "Intel(R) Pentium(R) D CPU 3.40GHz", {"NetBurst", "Presler"}, 2048),
        Make(I, 15, 0x6, 8, "Intel(R) Xeon(R) CPU 7140M @ 3.40GHz", {"NetBurst", "Tulsa"}, 1024, 16384),
        Make(I, 6, 0xCF, 2, "INTEL(R) XEON(R) PLATINUM 8592+", {"Raptor Cove", "Emerald Rapids"}),
        Make(I, 6, 0xAD, 1, "Intel(R) Xeon(R) 6980P", {"Redwood Cove", "Granite Rapids"}),
        Make(I, 6, 0xC6, 2, "Intel(R) Core(TM) Ultra 9 285K", {"Lion Cove", "Arrow Lake"}, 0, 0, P),
        Make(I, 6, 0x99, 0, "", {nullptr, nullptr}),  // no such model: no guess from a neighbour
        // Cache variants and the Pentium III Xeon's brand index, as the window's naming tables have them.
        Make(I, 6, 0x8, 6, "", {"P6", "Coppermine-128K"}, 128),              // Celeron 566
        WithBrandIndex(Make(I, 6, 0x8, 3, "", {"P6", "Cascades"}, 256), 3),  // Pentium III Xeon 733
        Make(I, 15, 0x1, 2, "Intel(R) Celeron(R) CPU 1.70GHz", {"NetBurst", "Willamette-128K"}, 128),
        Make(I, 15, 0x2, 9, "Intel(R) Celeron(R) CPU 2.40GHz", {"NetBurst", "Northwood-128K"}, 128),
        Make(I, 15, 0x3, 4, "Intel(R) Celeron(R) CPU 2.53GHz", {"NetBurst", "Prescott-256K"}, 256),
        Make(A, 6, 0xA, 0, "AMD Athlon(tm) XP 2400+", {"K7", "Thorton"}, 256),
        Make(A, 5, 0xD, 0, "", {"K6", "K6-III+"}, 256),
        // Products of one die told apart by caches, cores or the processor type; no brand text.
        OverDrive(Make(I, 5, 0x4, 4, "", {"P5", "P54CTB"})),  // Pentium OverDrive with MMX
        OverDrive(Make(I, 6, 0x3, 2, "", {"P6", "P6T"})),     // Pentium II OverDrive
        Make(I, 6, 0x3, 2, "", {"P6", "Klamath"}),
        CachesKnown(Make(I, 6, 0x5, 0, "", {"P6", "Covington"})),    // Celeron 266: no L2
        Make(I, 6, 0x5, 0, "", {"P6", "Deschutes"}),                 // caches not described: no guess
        CachesKnown(Make(I, 6, 0x5, 2, "", {"P6", "Drake"}, 2048)),  // Pentium II Xeon 450
        CachesKnown(Make(I, 6, 0x7, 3, "", {"P6", "Tanner"}, 1024)),
        CachesKnown(Make(I, 6, 0x7, 3, "", {"P6", "Katmai"}, 512)),
        Cores(Make(I, 6, 0xF, 7, "Genuine Intel(R) CPU 2.40GHz",
                   {"Core", "Kentsfield / Clovertown / Tigerton"}),
              4),
        Cores(Make(I, 6, 0xF, 6, "Genuine Intel(R) CPU 2.40GHz", {"Core", "Conroe"}), 2),
        Cores(Make(I, 6, 0x17, 7, "Genuine Intel(R) CPU 2.50GHz", {"Penryn", "Yorkfield / Harpertown"}, 6144),
              4),
        Make(I, 15, 0x1, 2, "", {"NetBurst", "Foster MP"}, 256, 1024),
        Make(I, 15, 0x2, 5, "Intel(R) Pentium(R) 4 CPU 3.20GHz", {"NetBurst", "Gallatin"}, 512, 2048),
        Cores(Make(I, 15, 0x4, 7, "Intel(R) Pentium(R) 4 CPU 3.20GHz", {"NetBurst", "Smithfield"}, 1024), 2),
        Cores(Make(I, 15, 0x4, 8, "Dual-Core Intel(R) Xeon(R) CPU 7020", {"NetBurst", "Paxville"}, 1024), 2),
        Cores(Make(I, 15, 0x4, 1, "Intel(R) Xeon(TM) MP CPU 3.66GHz", {"NetBurst", "Cranford"}, 1024), 1),
        Cores(Make(I, 15, 0x6, 4, "Genuine Intel(R) CPU 3.20GHz", {"NetBurst", "Presler"}, 2048), 2),
        Cores(Make(I, 15, 0x6, 4, "Intel(R) Xeon(TM) CPU 3.20GHz", {"NetBurst", "Dempsey"}, 2048), 2),
        Cores(Make(I, 15, 0x6, 8, "Genuine Intel(R) CPU 3.00GHz", {"NetBurst", "Tulsa"}, 1024, 16384), 2),
        Make(I, 6, 0x6, 3, "QEMU Virtual CPU version 2.5+", {nullptr, nullptr}),
        // AMD.
        Make(A, 6, 0x8, 1, "AMD Duron(tm) Processor", {"K7", "Applebred"}),
        Make(A, 15, 0x43, 2, "AMD Athlon(tm) 64 X2 Dual Core Processor 4800+", {"K8", "Windsor"}),
        Make(A, 15, 0x2F, 2, "AMD Sempron(tm) Processor 3000+", {"K8", "Palermo"}),
        Make(A, 15, 0x2D, 2, "AMD Sempron(tm) Processor 3000+", {"K8", "K8"}),  // no row: the K8 class
        Make(A, 0x10, 0x2, 3, "Quad-Core AMD Opteron(tm) Processor 2356", {"K10", "Barcelona"}),
        Make(A, 0x10, 0x2, 3, "AMD Phenom(tm) 8450 Triple-Core Processor", {"K10", "Toliman"}),
        Make(A, 0x10, 0x9, 1, "AMD Opteron(tm) Processor 6174", {"K10", "Magny-Cours"}),
        Make(A, 0x15, 0x1, 2, "AMD Opteron(TM) Processor 6276", {"Bulldozer", "Interlagos"}),
        Make(A, 5, 0xA, 2, "Geode(TM) Integrated Processor by AMD PCS", {"Geode LX", "Geode LX"}),
        Make(A, 0x17, 0x1, 2, "AMD EPYC 7601 32-Core Processor", {"Zen", "Naples"}),
        Make(A, 0x17, 0x1, 1, "AMD Ryzen Threadripper 1950X 16-Core Processor", {"Zen", "Whitehaven"}),
        Cores(Make(A, 0x17, 0x1, 2, "AMD Eng Sample: 2S1404E2VJUG5_20/14_N", {"Zen", "Naples"}), 32),
        Cores(Make(A, 0x17, 0x1, 1, "AMD Eng Sample: 1D3201A2M88F3_35/32_N", {"Zen", "Summit Ridge"}), 8),
        Cores(Make(A, 0x17, 0x8, 2, "AMD Eng Sample: ZD2950BCM4ZB2_38/35_Y", {"Zen+", "Colfax"}), 32),
        Make(A, 0x17, 0x31, 0, "AMD EPYC 7742 64-Core Processor", {"Zen 2", "Rome"}),
        Make(A, 0x19, 0x1, 1, "AMD EPYC 7763 64-Core Processor", {"Zen 3", "Milan"}, 512, 32768),
        Make(A, 0x19, 0x1, 2, "AMD EPYC 7773X 64-Core Processor", {"Zen 3", "Milan-X"}, 512, 98304),
        Make(A, 0x19, 0x50, 0, "AMD Ryzen 5 5625U with Radeon Graphics", {"Zen 3", "Barcelo"}),
        Make(A, 0x19, 0x61, 2, "AMD Ryzen 9 7945HX with Radeon Graphics", {"Zen 4", "Dragon Range"}),
        Make(A, 0x19, 0x74, 1, "AMD Ryzen 7 7840U w/ Radeon  780M Graphics", {"Zen 4", "Phoenix"}),
        Make(A, 0x19, 0x75, 2, "AMD Ryzen 7 8840U w/ Radeon 780M Graphics", {"Zen 4", "Hawk Point"}),
        Make(A, 0x19, 0x78, 0, "AMD Ryzen 5 8500G w/ Radeon 740M Graphics", {"Zen 4c", "Phoenix 2"}, 0, 0, E),
        // Model 7Ch: the Phoenix 2 die again, in the 8040 series.
        Make(A, 0x19, 0x7C, 0, "AMD Ryzen 5 8540U w/ Radeon 740M Graphics", {"Zen 4", "Hawk Point 2"}, 0, 0,
             P),
        Make(A, 0x19, 0x7C, 0, "AMD Ryzen 3 8440U w/ Radeon 740M Graphics", {"Zen 4c", "Hawk Point 2"}, 0, 0,
             E),
        Make(A, 0x19, 0xA0, 2, "AMD EPYC 9754 128-Core Processor", {"Zen 4c", "Bergamo"}),
        Make(A, 0x1A, 0x11, 0, "AMD EPYC 9965 192-Core Processor", {"Zen 5c", "Turin Dense"}),
        Make(A, 0x1A, 0x60, 0, "AMD Ryzen AI 7 350 w/ Radeon 860M", {"Zen 5c", "Krackan Point"}, 0, 0, E),
        Make(A, 0x1A, 0x70, 0, "AMD RYZEN AI MAX+ 395 w/ Radeon 8060S", {"Zen 5", "Strix Halo"}),
        Make(A, 0x1A, 0x44, 0, "AMD Ryzen 9 9955HX 16-Core Processor", {"Zen 5", "Fire Range"}),
        // The other vendors.
        Make("HygonGenuine", 0x18, 0x4, 0, "Hygon C86 3350 8-core Processor", {"C86-4G", "C86-4G"}),
        Make("HygonGenuine", 0x18, 0x10, 0, "", {"Dhyana", "Dhyana"}),  // no row: the class
        Make("CentaurHauls", 6, 0x7, 3, "VIA Samuel 2", {"C3", "Samuel 2"}),
        Make(C, 5, 0x8, 5, "", {"WinChip", "WinChip 2"}), Make(C, 5, 0x8, 7, "", {"WinChip", "WinChip 2A"}),
        Make(C, 5, 0x8, 0xA, "", {"WinChip", "WinChip 2B"}),
        // Zhaoxin's ZX-C under VIA's signature: by stepping, or by its brand.
        Make(C, 6, 0xF, 0xE, "ZHAOXIN KaiXian ZX-C 4701@2.0GHz", {"ZhangJiang", "ZX-C"}),
        Make(C, 6, 0xF, 0xD, "ZHAOXIN KaiXian ZX-C@2.0GHz", {"ZhangJiang", "ZX-C"}),
        Make(C, 6, 0xF, 0xD, "VIA QuadCore C4650@2.0GHz", {"Isaiah", "Isaiah"}),
        Make("  Shanghai  ", 6, 0x19, 0, "", {"ZhangJiang", "ZX-C / ZX-C+"}),
        Make(C, 7, 0x6B, 1, "ZHAOXIN KaiXian KX-7000@3.2GHz", {"ShiJiDaDao", "ShiJiDaDao"}),
        Make(C, 6, 0x47, 2, "", {"CNS", "CHA"}),  // Centaur's CHA, by its signature alone
        Make("CentaurHauls", 6, 0x7, 8, "VIA Ezra", {"C3", "Ezra"}),
        Make("  Shanghai  ", 7, 0x3B, 0, "ZHAOXIN KaiXian KX-6640MA@2.2+GHz", {"LuJiaZui", "LuJiaZui"}),
        Make("CyrixInstead", 6, 0x0, 0, "", {"M2", "6x86MX / MII"}),
        Make("CyrixInstead", 5, 0x3, 0, "", {"M1", "6x86"}),  // the 1x clock mode
        Make("GenuineTMx86", 5, 0x4, 3, "Transmeta(tm) Crusoe(tm) Processor TM5800", {"Crusoe", "Crusoe"}),
        Make("RiseRiseRise", 5, 0x0, 4, "", {"mP6", "Kirin"}),
        Make("RiseRiseRise", 5, 0x9, 0, "", {"mP6", "iDragon II"}),
        Make("NexGenDriven", 5, 0x0, 4, "", {"Nx586", "Nx586"}),
        Make("Vortex86 SoC", 6, 0x0, 0, "", {"Vortex86", "Vortex86EX"}),
        Make("Vortex86 SoC", 6, 0x1, 1, "Vortex86DX3", {"Vortex86", "Vortex86DX3"}),
        Make("GenuineIotel", 6, 0x2A, 7, "", {nullptr, nullptr}),  // a damaged vendor text names nothing
    };
    return products;
}

std::string Described(const UarchQuery& q) {
    return std::string(q.vendor) + " " + std::to_string(q.family) + "/" + std::to_string(q.model) + "/"
           + std::to_string(q.stepping) + " " + std::string(q.brand);
}

TEST(UarchProducts, HandPickedSignatures) {
    for (const Product& p : KnownProducts()) {
        SCOPED_TRACE(Described(p.query));
        EXPECT_EQ(Show(IdentifyMicroarchitecture(p.query)), Show(p.expected));
    }
}

// The Quark SoC X1000 and the Quark microcontroller D2000 answer one signature (family 5, model 9)
// and have no brand text: the D2000's core has no x87 unit. Registers as the two documents give them:
// the X1000 core's leaf 1 EDX has FPU, TSC, MSR, PAE and CX8, the D2000's the same without FPU and PAE.
TEST(UarchProducts, QuarksToldApartByTheirRegisters) {
    const struct {
        const char* part;
        uint32_t leaf1_edx;
        Named expected;
    } cases[] = {
        {"Quark SoC X1000", 0x00000171, {"Lakemont", "Clanton"}},
        {"Quark microcontroller D2000", 0x00000130, {"Lakemont", "Mint Valley"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        FakeSource quark;
        quark.Vendor("GenuineIntel", 1).Set(1, 0x00000590, 0, 0, c.leaf1_edx);
        FakePlatform os;
        EXPECT_EQ(Show(NameOf(Probe{quark, os})), Show(c.expected));
        EXPECT_EQ(Show(GetProcessorIdentity(Probe{quark, os}).uarch), Show(c.expected));
    }
}

// --- GCC's names: the installed GCC, a test reader only. -------------------------------------------

// GCC's macro for an instruction-set extension its -march= enables, and the details' name for the
// feature bit that enumerates it: the arithmetic, vector and cryptographic extensions that compiled
// code and libraries use on the macro's word. Left out: the system instructions (XSAVE and its kin,
// RDRAND, FSGSBASE, cache control, SGX, TSX, ...), which no code runs unasked and some of which GCC
// grants a design that lacks them (btver1 enables XSAVE, which Bobcat has not).
constexpr std::pair<std::string_view, std::string_view> kMacroFeatures[] = {
    {"__MMX__", "mmx"},
    {"__3dNOW__", "3dnow"},
    {"__3dNOW_A__", "3dnowext"},
    {"__SSE__", "sse"},
    {"__SSE2__", "sse2"},
    {"__SSE3__", "pni"},
    {"__SSSE3__", "ssse3"},
    {"__SSE4_1__", "sse4_1"},
    {"__SSE4_2__", "sse4_2"},
    {"__SSE4A__", "sse4a"},
    {"__POPCNT__", "popcnt"},
    {"__ABM__", "abm"},
    {"__LZCNT__", "abm"},
    {"__PRFCHW__", "3dnowprefetch"},
    {"__AES__", "aes"},
    {"__PCLMUL__", "pclmulqdq"},
    {"__MOVBE__", "movbe"},
    {"__AVX__", "avx"},
    {"__F16C__", "f16c"},
    {"__FMA__", "fma"},
    {"__FMA4__", "fma4"},
    {"__XOP__", "xop"},
    {"__TBM__", "tbm"},
    {"__AVX2__", "avx2"},
    {"__BMI__", "bmi1"},
    {"__BMI2__", "bmi2"},
    {"__ADX__", "adx"},
    {"__SHA__", "sha_ni"},
    {"__GFNI__", "gfni"},
    {"__VAES__", "vaes"},
    {"__VPCLMULQDQ__", "vpclmulqdq"},
    {"__AVXVNNI__", "avx_vnni"},
    {"__AVX512F__", "avx512f"},
    {"__AVX512CD__", "avx512cd"},
    {"__AVX512BW__", "avx512bw"},
    {"__AVX512DQ__", "avx512dq"},
    {"__AVX512VL__", "avx512vl"},
    {"__AVX512IFMA__", "avx512ifma"},
    {"__AVX512VBMI__", "avx512vbmi"},
    {"__AVX512VBMI2__", "avx512_vbmi2"},
    {"__AVX512VNNI__", "avx512_vnni"},
    {"__AVX512BITALG__", "avx512_bitalg"},
    {"__AVX512VPOPCNTDQ__", "avx512_vpopcntdq"},
    {"__AVX512BF16__", "avx512_bf16"},
    {"__AVX512FP16__", "avx512_fp16"},
    {"__AVX512VP2INTERSECT__", "avx512_vp2intersect"},
};

bool Has(const ProcessorDetails& d, std::string_view feature) {
    for (size_t i = 0; i < kFeatureNames.size(); ++i)
        if (kFeatureNames[i].name == feature && d.features[i]) return true;
    return false;
}

// The installed GCC's answer to -march=NAME: its predefined macros where it takes the name.
struct GccAnswer {
    bool known = false;  // false: "bad value", a name newer than this GCC
    bool taken = false;
    std::string text;
};

GccAnswer AskGcc(std::string_view march) {
    const Output out =
        RunCommand("LC_ALL=C gcc -m32 -march=" + std::string(march) + " -dM -E - </dev/null 2>&1");
    return {out.status == 0 || out.text.find("bad value") == std::string::npos, out.status == 0, out.text};
}

// Every GCC name the table gives the dumps and the products above is one the installed GCC takes, when
// it is new enough to know it; and on each dump, every extension the name enables is one its CPUID
// enumerates, so that a binary built for the name runs there.
TEST(UarchGcc, InstalledGccTakesTheNamesAndTheDumpsRunThem) {
    if (RunCommand("gcc --version >/dev/null 2>&1").status != 0) GTEST_SKIP() << "no gcc installed";
    std::map<std::string, GccAnswer> asked;
    const auto ask = [&](std::string_view march) -> const GccAnswer& {
        const std::string name(march);
        if (!asked.count(name)) asked[name] = AskGcc(name);
        return asked[name];
    };
    for (const std::string& file : DumpNames()) {
        SCOPED_TRACE(file);
        const ProcessorDetails d = GetProcessorDetails(Replayed(file).probe);
        if (!d.uarch || d.uarch->gcc_march.empty()) continue;
        const GccAnswer& gcc = ask(d.uarch->gcc_march);
        ASSERT_TRUE(!gcc.known || gcc.taken) << gcc.text;
        for (const auto& [macro, feature] : kMacroFeatures) {
            if (gcc.text.find("#define " + std::string(macro) + " ") == std::string::npos) continue;
            EXPECT_TRUE(Has(d, feature)) << "-march=" << d.uarch->gcc_march << " enables " << macro;
        }
    }
    for (const Product& p : KnownProducts()) {
        const auto named = IdentifyMicroarchitecture(p.query);
        if (!named || named->gcc_march.empty()) continue;
        const GccAnswer& gcc = ask(named->gcc_march);
        EXPECT_TRUE(!gcc.known || gcc.taken) << Described(p.query) << ": " << gcc.text;
    }
    std::string unknown;
    size_t known = 0;
    for (const auto& [name, gcc] : asked) {
        if (gcc.known)
            ++known;
        else
            unknown += " " + name;
    }
    std::printf("the installed GCC took %zu of %zu names; skipped %zu it does not know:%s\n", known,
                asked.size(), asked.size() - known, unknown.c_str());
    EXPECT_GE(known, 30);
}

}  // namespace
}  // namespace talvex
