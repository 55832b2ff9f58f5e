// Every recorded processor replayed through the probe: the probe must agree with the file's own
// lines and header, and a set of old processors must get the names and sizes worked out by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "probe/tables/cache.h"
#include "probe/tables/naming.h"
#include "support/dumps.h"
#include "support/fakes.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps

// The file read without the dump reader: header fields and the sub-leaf 0 lines.
struct FileFacts {
    std::string vendor, brand;
    uint32_t signature = 0;
    bool has_brand = false;
    std::vector<std::pair<uint32_t, TCPUIDRegs>> leaves;
};

FileFacts ReadFacts(const std::string& path) {
    FileFacts f;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // # <vendor>, <name>, brand "<brand>", signature 0x<eax>
    if (!line.starts_with("# ") || line.find(", signature 0x") == std::string::npos)
        throw std::runtime_error(path + ":1: not \"# vendor, name, brand \"...\", signature 0x...\"");
    f.vendor = line.substr(2, line.find(',') - 2);
    if (auto b = line.find("brand \""); b != std::string::npos) {
        f.has_brand = true;
        f.brand = line.substr(b + 7, line.rfind('"') - (b + 7));
    }
    f.signature = static_cast<uint32_t>(std::stoul(line.substr(line.rfind("0x")), nullptr, 16));
    while (std::getline(in, line)) {
        unsigned leaf = 0, sub = 0;
        TCPUIDRegs r;
        if (std::sscanf(line.c_str(), " 0x%x 0x%x: eax=0x%x ebx=0x%x ecx=0x%x edx=0x%x", &leaf, &sub, &r.EAX,
                        &r.EBX, &r.ECX, &r.EDX)
                == 6
            && sub == 0)
            f.leaves.emplace_back(leaf, r);
    }
    return f;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(' ') - b + 1);
}

TEST(DumpReplay, EveryProcessorAgreesWithItsFile) {
    const auto files = DumpNames();
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const FileFacts facts = ReadFacts(kNormalized + "/" + file);
        const auto cpus = ReadDumpFile(kNormalized + "/" + file);
        ASSERT_EQ(cpus.size(), 1u);
        const Replayed cpu(cpus[0]);
        const Probe& probe = cpu.probe;

        EXPECT_EQ(QueryVendorText(probe), facts.vendor);
        TCPUIDRegs leaf1;
        ASSERT_EQ(ReadCPUID(probe, 1, leaf1), kCPUIDOk);
        EXPECT_EQ(leaf1.EAX, facts.signature);
        EXPECT_EQ(SigStepping(leaf1.EAX), facts.signature % 16);
        EXPECT_EQ(SigModel(leaf1.EAX), facts.signature / 16 % 16);
        EXPECT_EQ(SigFamily(leaf1.EAX), facts.signature / 256 % 16);
        EXPECT_EQ(SigExtModel(leaf1.EAX), facts.signature / 65536 % 16);
        EXPECT_EQ(SigExtFamily(leaf1.EAX), facts.signature / 1048576 % 256);
        if (facts.has_brand) {
            EXPECT_EQ(Trim(QueryBrandText(probe).value_or("")), facts.brand);
        }

        // Every recorded leaf comes back as written, or is refused as above the highest one.
        const uint32_t max_std = facts.leaves.at(0).second.EAX;
        for (const auto& [leaf, regs] : facts.leaves) {
            TCPUIDRegs got{7, 7, 7, 7};
            const int code = ReadCPUID(probe, leaf, got);
            if (static_cast<int32_t>(leaf) > static_cast<int32_t>(max_std)) {
                EXPECT_EQ(code, kCPUIDBeyondMax) << std::hex << leaf;
            } else {
                EXPECT_EQ(code, kCPUIDOk) << std::hex << leaf;
                EXPECT_EQ(got, regs) << std::hex << leaf;
            }
        }

        TCacheInfo cache;
        GetCacheInfo(probe, cache);
        const std::string name = GetProcessorName(probe);
        EXPECT_LE(name.size(), 64u);
    }
}

TEST(DumpReplay, OldProcessorsNamedAndSizedByHand) {
    struct Case {
        const char* file;
        const char* name;
        TCacheInfo cache;
    } cases[] = {
        // 6/8/A, brand 2; leaf 2 EDX 0C 04 08 82: L1D 16, L1I 16, L2 256 -> "L2 = 256" row.
        {"intel-pentium-iii-coppermine.txt", "Pentium III(Coppermine)", {.L1D = 16, .L1I = 16, .L2 = 256}},
        // 6/7/3, brand 0; EDX 0C 04 08 43: L2 512 -> model 7 "otherwise".
        {"intel-pentium-iii-katmai.txt", "Pentium III(Katmai)", {.L1D = 16, .L1I = 16, .L2 = 512}},
        // 6/B/1, brand 4; EDX ... 83: L2 512 -> the L2 = 512 row precedes brand 4.
        {"intel-pentium-iii-tualatin-1266.txt", "Pentium III-S(Tualatin)", {.L1D = 16, .L1I = 16, .L2 = 512}},
        // 6/6/A; EDX ... 42: L2 256 and stepping 10 -> first model 6 row.
        {"intel-pentium-ii-dixon.txt", "Mobile Pentium II(Dixon)", {.L1D = 16, .L1I = 16, .L2 = 256}},
        // 6/9/5; EDX 2C 04 30 40: 0x40 on family 6 leaves L2 0 -> model 9 "otherwise", empty.
        {"intel-celeron-m-600-banias.txt", "", {.L1D = 32, .L1I = 32}},
        // 6/D/6, extended model 0 -> Dothan; EDX 2C 04 30 7D: 0x7D (2 MB) is not in the table.
        {"intel-pentium-m-dothan-1.60.txt", "Mobile Pentium M(Dothan)", {.L1D = 32, .L1I = 32}},
        // F/0/A, brand 8; EDX 00 7A 70 40, EAX 66: L2 256, TC 12, L1D 8 -> L2 256 or more.
        {"intel-pentium-4-willamette-1700.txt",
         "Pentium 4(Willamette)",
         {.L1D = 8, .TraceCache = 12, .L2 = 256}},
        // F/2/9, brand 9, EBX[23:16] 2 with EDX[28] set, L3 0 -> "brand 9 and logical 2 or more".
        {"intel-pentium-4-northwood-2.80.txt",
         "Pentium 4 HT(Northwood)",
         {.L1D = 8, .TraceCache = 12, .L2 = 512}},
        // F/2/9, brand 14, logical 1 -> "Mobile Pentium 4-M(Northwood)".
        {"intel-mobile-pentium-4-m.txt",
         "Mobile Pentium 4-M(Northwood)",
         {.L1D = 8, .TraceCache = 12, .L2 = 512}},
        // F/4/3, brand 0 -> model 3-5 "otherwise"; 0x60 and 0x7D are not in the table.
        {"intel-pentium-4-640-prescott-2m.txt", "Celeron D(Prescott-256K)", {.TraceCache = 12}},
        // 6/A/0; L2 = 0x80000006 ECX[31:16] 0x200; not mobile (0x80000007 EDX 1), no MP bit.
        {"amd-athlon-xp-3200-barton.txt", "AthlonXP(Barton)", {.L1D = 64, .L1I = 64, .L2 = 512}},
        // 6/8/0; L2 0x100, neither mobile nor MP -> "AthlonXP(Thoroughbred)".
        {"amd-athlon-xp-2200-thoroughbred.txt", "AthlonXP(Thoroughbred)", {.L1D = 64, .L1I = 64, .L2 = 256}},
        // 6/6/2; not mobile, L2 256, no MP -> "AthlonXP(Palomino)".
        {"amd-athlon-xp-palomino.txt", "AthlonXP(Palomino)", {.L1D = 64, .L1I = 64, .L2 = 256}},
        // 6/3/0: L2 fixed at 64 (the part reports 1 KB).
        {"amd-duron-spitfire.txt", "Duron(Spitfire)", {.L1D = 64, .L1I = 64, .L2 = 64}},
        // 6/1/2; L2 0x200.
        {"amd-athlon-k7-argon.txt", "Athlon(K7)", {.L1D = 64, .L1I = 64, .L2 = 512}},
        // F/F/0 ext model 2; long mode; brand ID 0x10A: selector 1, NN 10 -> 3200+, nothing appended.
        {"amd-athlon-64-3200-venice.txt", "Athlon 64 3200+", {.L1D = 64, .L1I = 64, .L2 = 512}},
        // F/5/A; brand ID 0x405: selector 4, NN 5 -> 2 x 5 + 38 = 48; model 5 SledgeHammer.
        {"amd-opteron-248-sledgehammer.txt",
         "Opteron DP 248(SledgeHammer)",
         {.L1D = 64, .L1I = 64, .L2 = 1024}},
        // 5/8/0; 0x80000005 ECX/EDX 0x20...: 32 KB each; no 0x80000006 recorded -> L2 0.
        {"amd-k6-2-chomper.txt", "K6-2(Chompers)", {.L1D = 32, .L1I = 32}},
        // 5/9/1; L2 0x0100.
        {"amd-k6-iii-sharptooth.txt", "K6-III(Sharptooth)", {.L1D = 32, .L1I = 32, .L2 = 256}},
        // 5/0/0; no extended leaves recorded.
        {"amd-k5-pr75.txt", "K5 Processor", {}},
        // 6/8/9 Centaur: L2 from 0x80000006 ECX[31:24] 0x40.
        {"via-c3-ezra-t.txt", "VIA C3(Ezra-T)", {.L1D = 64, .L1I = 64, .L2 = 64}},
        // 6/9/3 Centaur: rule 4, ECX[31:16] 0x0040.
        {"via-c3-nehemiah.txt", "VIA C3(Nehemiah)", {.L1D = 64, .L1I = 64, .L2 = 64}},
        // 6/6/0 Centaur; no 0x80000006 recorded.
        {"via-c3-samuel.txt", "VIA Cyrix III(Samuel)", {.L1D = 64, .L1I = 64}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Replayed cpu(c.file);
        TCacheInfo cache;
        GetCacheInfo(cpu.probe, cache);
        EXPECT_EQ(cache, c.cache);
        EXPECT_EQ(GetProcessorName(cpu.probe), c.name);
    }
}

}  // namespace
}  // namespace talvex
