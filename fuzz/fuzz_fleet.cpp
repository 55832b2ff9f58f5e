// Several dumps at once, as --compare and --baseline take them: the input is cut at each NUL byte into
// up to 16 dump files, those the reader takes are the machines (their first processor), and the
// fleet's common ground, the GCC flags from the table alone (no compiler is run), the comparison of the
// first two and every text and JSON of them must agree with one another and stay valid UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "main/report/fleet_json.h"
#include "main/report/fleet_text.h"
#include "main/report/output_text.h"
#include "probe/details/details.h"
#include "probe/dump/dump.h"
#include "probe/fleet/fleet.h"
#include "probe/fleet/gcc_flags.h"

namespace {

constexpr size_t kMaxMachines = 16;

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

void CheckText(const std::string& out) {
    Check(talvex::IsValidUtf8(out));
    for (char c : out) Check(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
}

void CheckBaseline(const std::vector<talvex::FleetMember>& members, const std::vector<std::string>& names) {
    using talvex::FleetBaseline;
    const FleetBaseline fleet = talvex::Baseline(members);
    Check(fleet.machines == members.size());
    unsigned lowest = talvex::kMaxX86_64Level;
    for (const talvex::FleetMember& m : members) lowest = std::min(lowest, m.x86_64_level);
    Check(fleet.level == lowest);
    for (const FleetBaseline::HeldBack& h : fleet.held_back)
        Check(h.machine < members.size() && members[h.machine].x86_64_level == fleet.level);
    for (const FleetBaseline::Partial& p : fleet.partial) {
        Check(!fleet.common[p.feature]);
        Check(!p.lacking.empty() && p.lacking.size() < members.size());
        for (size_t m : p.lacking) Check(m < members.size());
    }
    size_t grouped = 0;
    for (const FleetBaseline::UarchGroup& g : fleet.uarchs) grouped += g.machines.size();
    Check(grouped == members.size());

    const talvex::GccFlags flags = talvex::SuggestGccFlags(fleet, "");
    Check(!flags.checked && !flags.notes.empty());
    Check(flags.flags.empty() == (fleet.level == 0));
    for (size_t i = 0; i < flags.flags.size(); ++i)
        Check(flags.flags[i].starts_with(i == 0 ? "-march=" : "-m"));
    CheckText(talvex::BaselineText(fleet, names, flags));
    CheckText(talvex::BaselineJson(fleet, names, flags));
}

void CheckComparison(const talvex::ProcessorDetails& a, const talvex::ProcessorDetails& b) {
    Check(talvex::CompareProcessors(a, a).Same());
    const talvex::ProcessorComparison ab = talvex::CompareProcessors(a, b);
    const talvex::ProcessorComparison ba = talvex::CompareProcessors(b, a);
    Check(ab.fields == ba.fields && ab.only_a == ba.only_b && ab.only_b == ba.only_a);
    Check(ab.caches.size() == ba.caches.size());
    for (const talvex::CacheDifference& d : ab.caches) Check(d.a != nullptr || d.b != nullptr);
    const talvex::ComparedProcessor pa{"a.txt", &a}, pb{"b.txt", &b};
    CheckText(talvex::CompareText(pa, pb, ab));
    CheckText(talvex::CompareJson(pa, pb, ab));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<talvex::FleetMember> members;
    std::vector<talvex::ProcessorDetails> records;
    std::vector<std::string> names;
    for (size_t part = 0; part < kMaxMachines && !rest.empty(); ++part) {
        const size_t end = rest.find('\0');
        std::istringstream in(std::string(rest.substr(0, end)));
        rest = end == rest.npos ? std::string_view() : rest.substr(end + 1);
        std::vector<talvex::DumpProcessor> cpus;
        try {
            cpus = talvex::ReadDump(in, "fuzz");
        } catch (const talvex::DumpError&) {
            continue;
        }
        const talvex::ReplaySource source(cpus.at(0));
        talvex::ReplayPlatform os;
        members.push_back(talvex::FleetMemberOf(talvex::Probe{source, os}));
        if (records.size() < 2) records.push_back(talvex::GetRecordedDetails({cpus[0]}, {0}).at(0));
        names.push_back("machine " + std::to_string(part));
    }
    if (members.empty()) return 0;
    CheckBaseline(members, names);
    CheckComparison(records.front(), records.back());
    return 0;
}
