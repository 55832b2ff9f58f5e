// The Ansible playbook of contrib/ansible run as a fleet's owner runs it, by Debian's ansible-playbook,
// over hosts reached with the local connection, each replaying a real dump: what it gathers and the
// summary it writes are what talvex-report gives over the same dumps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "main/cli/cli_support.h"

namespace talvex {
namespace {

using testing::Exec;
using ::testing::HasSubstr;
using testing::Result;

const std::string kMachines = TALVEX_MACHINES_DIR;
const std::string kGenoa = kMachines + "/amd-epyc-genoa-kvm-linux-6.18/cpuid-r.txt";
const std::string kMilan = kMachines + "/amd-epyc-milan-kvm-linux-6.18/cpuid-r.txt";
const std::string kAlderLake = std::string(TALVEX_DUMPS_DIR) + "/intel-core-i9-12900k-alder-lake.txt";

// A JSON string: the inventory is written as JSON, which YAML reads.
std::string Quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

// Each host of the inventory and the dump it replays; "" for none.
struct Host {
    std::string name, replay;
};

// Two recorded machines' own `cpuid -r` dumps, a twin of the reference, a listing in another layout
// (converted on its host), and a host without the program, which must fail alone.
TEST(FleetPlaybook, GathersEveryHostAndSumsThemUp) {
    if (testing::RunCommand("command -v ansible-playbook >/dev/null").status != 0)
        GTEST_SKIP() << "ansible-playbook is not installed (Debian's ansible-core): the playbook is not run";
    const testing::TempDir dir;
    const std::filesystem::path dumps = dir / "dumps";
    std::filesystem::create_directories(dumps);
    testing::Spill(dumps / "compare-gone.txt", "from an earlier run\n");
    const Host hosts[] = {
        {"genoa", kGenoa}, {"genoa-twin", kGenoa}, {"milan", kMilan}, {"alder", kAlderLake}};
    std::string inventory = R"({"all": {"vars": {"ansible_connection": "local",
        "ansible_python_interpreter": "{{ ansible_playbook_python }}", "talvex_report": )"
                            + Quoted(TALVEX_REPORT_EXE) + R"(, "talvex_dumps": )" + Quoted(dumps.string())
                            + R"(}, "hosts": {"missing": {"talvex_report": "/nonexistent/talvex-report"})";
    for (const Host& h : hosts)
        inventory += ", " + Quoted(h.name) + R"(: {"talvex_replay": )" + Quoted(h.replay) + "}";
    testing::Spill(dir / "inventory.yml", inventory + "}}}\n");
    testing::Spill(dir / "ansible.cfg", "[defaults]\n");

    // Ansible starts from an empty environment (no ANSIBLE_* setting, no home folder's configuration)
    // and keeps everything of its own in the test's folder; the sanitizers' settings pass through.
    const std::string d = (dir / "").string();
    std::string command =
        "cd '" + d + "' && env -i LC_ALL=C.UTF-8 PYTHONNOUSERSITE=1 PYTHONDONTWRITEBYTECODE=1";
    for (const char* kept : {"PATH", "TMPDIR", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        command += std::string(" ") + kept + "=\"$" + kept + "\"";
    for (const auto& [name, file] : {std::pair{"HOME", ""},
                                     {"ANSIBLE_CONFIG", "ansible.cfg"},
                                     {"ANSIBLE_HOME", ".ansible"},
                                     {"ANSIBLE_LOCAL_TEMP", "local-tmp"},
                                     {"ANSIBLE_REMOTE_TEMP", "remote-tmp"}})
        command += std::string(" ") + name + "='" + d + file + "'";
    const std::string playbook =
        (std::filesystem::path(TALVEX_TESTS_DIR) / "../contrib/ansible/fleet.yml").lexically_normal();
    command += " ansible-playbook -i inventory.yml -e talvex_reference=genoa '" + playbook + "' >log 2>&1";
    const int raw = std::system(command.c_str());
    const std::string log = testing::Slurp(dir / "log");
    SCOPED_TRACE(log);
    // Status 2: a host failed.
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2);
    EXPECT_THAT(log, HasSubstr("missing gave no dump: /nonexistent/talvex-report is not installed there"));
    EXPECT_FALSE(std::filesystem::exists(dumps / "missing.txt"));

    for (const Host& h : hosts) {
        SCOPED_TRACE(h.name);
        EXPECT_EQ(testing::Slurp(dumps / (h.name + ".txt")),
                  Exec({"--replay", h.replay, "--format", "cpuid-r"}).out);
    }
    EXPECT_EQ(testing::Slurp(dumps / "genoa.txt"), testing::Slurp(kGenoa));  // a cpuid -r dump, as it was

    for (const auto& [file, format] : {std::pair{"baseline.json", "json"}, {"baseline.txt", "text"}}) {
        const Result expected = Exec({"--baseline", dumps.string(), "--format", format});
        EXPECT_EQ(expected.status, 0) << expected.err;
        EXPECT_THAT(expected.out, HasSubstr("alder.txt"));
        EXPECT_EQ(testing::Slurp(dumps / file), expected.out) << file;
    }
    // Every host that differs from the reference, and no other; an earlier run's are gone.
    for (const std::string host : {"milan", "alder"}) {
        const Result expected =
            Exec({"--compare", "genoa.txt", host + ".txt"}, "", "cd '" + dumps.string() + "' &&");
        EXPECT_EQ(expected.status, 1) << host;
        EXPECT_EQ(testing::Slurp(dumps / ("compare-" + host + ".txt")), expected.out) << host;
    }
    for (const char* absent : {"compare-genoa.txt", "compare-genoa-twin.txt", "compare-gone.txt"})
        EXPECT_FALSE(std::filesystem::exists(dumps / absent)) << absent;
}

}  // namespace
}  // namespace talvex
