#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "main/cli/cli.h"
#include "main/cli/cli_support.h"
#include "main/report/report.h"
#include "probe/text/text.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps and temporary files

// The value of one top-level string key ("key": "value"), escapes left as they are.
std::string StringValue(const std::string& json, const std::string& key) {
    const std::string open = "\n  \"" + key + "\": \"";
    const size_t at = json.find(open);
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + open.size();
    size_t end = start;
    while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
    return json.substr(start, end - start);
}

std::string LineValue(const std::string& text, const std::string& prefix) {
    const std::string report = "\n" + text;
    const size_t at = report.find("\n" + prefix);
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + 1 + prefix.size();
    return report.substr(start, report.find("\r\n", start) - start);
}

// The JSON and the text report come from one set of probe routines, so they must agree on every
// processor of the corpus; and the flag values are the dump's own registers.
TEST(ReportJson, AgreesWithTheTextReportOnEveryDump) {
    const auto names = DumpNames();
    for (const std::string& file : names) {
        SCOPED_TRACE(file);
        const Replayed cpu(file);
        const Probe& probe = cpu.probe;
        std::string report;
        BuildReport(probe, report, ".");
        const std::string json = cli::BuildJson(probe, ".", 0);
        EXPECT_TRUE(IsValidUtf8(json));
        std::string vendor;
        AppendJsonString(vendor, LineValue(report, "VendorID: "));
        EXPECT_EQ("\"" + StringValue(json, "editVendorID") + "\"", vendor);
        std::string name;
        AppendJsonString(name, LineValue(report, "CPU Name: "));
        EXPECT_EQ("\"" + StringValue(json, "editCPUName") + "\"", name);
        EXPECT_EQ(StringValue(json, "editCPUClock"), ".000MHz");
        EXPECT_THAT(json, ::testing::HasSubstr("\n  \"clockHz\": 0,\n"));
        EXPECT_THAT(
            json,
            ::testing::HasSubstr(
                "\"L1D\": "
                + LineValue(report, "L1 D-Cache: ").substr(0, LineValue(report, "L1 D-Cache: ").size() - 2)));
        const TCPUIDRegs leaf1 = cpu.source.Execute(1, 0);
        EXPECT_THAT(json,
                    ::testing::HasSubstr("\"register\": \"Standard Flags(EDX)\", \"leaf\": \"00000001\", "
                                         "\"reg\": \"EDX\", \"hex\": \""
                                         + Hex(leaf1.EDX, 8) + "\""));
        EXPECT_THAT(
            json, ::testing::HasSubstr("{\"bit\": 0, \"long\": \"Floating-Point Unit\", \"short\": \"FPU\", "
                                       "\"value\": "
                                       + std::to_string(leaf1.EDX & 1) + "}"));
    }
}

// A vendor with control bytes and Latin-1 bytes, checked by a real JSON parser when one is present.
TEST(ReportJson, IsValidJsonWithHostileBytes) {
    if (std::system("python3 -c 'import json' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    TempDir dir;
    const auto dump = dir / "d.txt";
    Spill(dump,
          "CPU 0:\n"
          "   0x00000000 0x00: eax=0x00000001 ebx=0x22016547 ecx=0x00e97f65 edx=0x6e4a5c5b\n"
          "   0x00000001 0x00: eax=0x00000f43 ebx=0x00000000 ecx=0x00000000 edx=0x00800011\n");
    const std::string cmd =
        std::string(TALVEX_REPORT_EXE) + " --format json --replay " + dump.string() +
        " | python3 -c 'import json,sys; d=json.load(sys.stdin); "
        "assert d[\"editVendorID\"] == \"Ge\\x01\\\"[\\\\Jne\\x7f\\xe9\", d[\"editVendorID\"]; "
        "assert d[\"enabled\"][\"lblMMX\"] is True; assert d[\"clockHz\"] == 0; "
        "assert [b[\"value\"] for b in d[\"flags\"][0][\"bits\"]][:5] == [1,0,0,0,1]; "
        "assert d[\"featureEntries\"] == [\"Standard Flags(EDX)\", \"Standard Flags(ECX)\"]'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
}  // namespace talvex
