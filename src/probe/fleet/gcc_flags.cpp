// The GCC flags a fleet can run, asked of GCC: which -march= names it knows and what each turns on
// (the macros it predefines: `gcc -march=X -dM -E`), and which -m options it accepts (`gcc -Q
// --help=target`). The flags are checked by asking again with them: every extension macro GCC then
// defines must be one every machine has the bit of.
#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "probe/fleet/fleet.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

using Macros = std::set<std::string, std::less<>>;

// The names of `gcc -dM -E`'s "#define NAME value" lines, and the text of __VERSION__.
Macros ParseMacros(std::string_view out, std::string* version) {
    Macros macros;
    while (!out.empty()) {
        const size_t end = out.find('\n');
        std::string_view line = out.substr(0, end);
        out = end == out.npos ? std::string_view() : out.substr(end + 1);
        if (!line.starts_with("#define ")) continue;
        line.remove_prefix(8);
        const std::string_view name = line.substr(0, line.find_first_of(" ("));
        macros.emplace(name);
        if (name == "__VERSION__" && version != nullptr && line.size() > name.size() + 1) {
            std::string_view value = line.substr(name.size() + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            *version = value;
        }
    }
    return macros;
}

// The -m options `gcc -Q --help=target` lists, one a line: "  -mavx2   [disabled]".
std::set<std::string, std::less<>> ParseOptions(std::string_view out) {
    std::set<std::string, std::less<>> options;
    while (!out.empty()) {
        const size_t end = out.find('\n');
        std::string_view line = out.substr(0, end);
        out = end == out.npos ? std::string_view() : out.substr(end + 1);
        const size_t start = line.find_first_not_of(' ');
        if (start == line.npos || !line.substr(start).starts_with("-m")) continue;
        line.remove_prefix(start);
        options.emplace(line.substr(0, line.find_first_of(" \t")));
    }
    return options;
}

// A macro of GCC's extension style: "__AVX512F__". The table's rows are recognised by name; one of
// this style that is not in the table is an extension the table does not know.
bool ExtensionStyle(std::string_view m) {
    if (m.size() <= 4 || !m.starts_with("__") || !m.ends_with("__")) return false;
    bool letter = false;
    for (char c : m.substr(2, m.size() - 4)) {
        if (c >= 'A' && c <= 'Z')
            letter = true;
        else if (!(c >= '0' && c <= '9') && c != '_')
            return false;
    }
    return letter;
}

std::optional<size_t> RowOfMacro(std::string_view macro) {
    for (size_t r = 0; r < std::size(kGccOptions); ++r)
        if (kGccOptions[r].macro == macro) return r;
    return std::nullopt;
}

// Whether the row's bit is one that levels 1 to `level` are worked out from: -march=x86-64-vN turns it on.
bool InLevel(size_t row, unsigned level) {
    for (unsigned l = 1; l <= level; ++l)
        for (const uint16_t f : X86_64LevelRows(l))
            if (f == kGccOptions[row].feature) return true;
    return false;
}

std::string LevelMarch(unsigned level) { return level >= 2 ? "x86-64-v" + Decimal(level) : "x86-64"; }

void AddOnce(std::vector<std::string>& flags, std::string flag) {
    if (std::find(flags.begin(), flags.end(), flag) == flags.end()) flags.push_back(std::move(flag));
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The compiler asked, each question once, within its limits. One that does not answer a question is
// not asked another: the rest would cost as much again.
class Asker {
public:
    Asker(const std::string& compiler, const GccLimits& limits)
        : compiler_(compiler), limits_(limits), deadline_(std::chrono::steady_clock::now() + limits.all) {}

    // The compiler's answer, or nullptr once it has not answered (Failure() says why).
    const ProgramRun* Ask(const std::vector<std::string>& args) {
        if (!failure_.empty()) return nullptr;
        auto it = answers_.find(args);
        if (it != answers_.end()) return &it->second;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline_ - std::chrono::steady_clock::now());
        ProgramRun run;
        if (left.count() > 0)
            run = RunProgram(compiler_, args, std::min(limits_.question, left), limits_.max_out);
        if (!run.ran) {
            Fail(left < limits_.question && (run.timed_out || left.count() <= 0)
                     ? compiler_ + " did not answer within " + DurationText(limits_.all) + " in all"
                     : run.error);
            return nullptr;
        }
        return &answers_.emplace(args, std::move(run)).first->second;
    }

    // The macros the compiler predefines with `flags`; nullopt when it refuses them or does not answer.
    std::optional<Macros> MacrosWith(std::vector<std::string> flags) {
        const std::string asked = Joined(flags);
        for (const char* a : {"-dM", "-E", "-x", "c", "/dev/null"}) flags.emplace_back(a);
        const ProgramRun* answer = Ask(flags);
        if (answer == nullptr || answer->status != 0) return std::nullopt;
        Macros macros = ParseMacros(answer->out, &version_);
        if (macros.count("__x86_64__") == 0) {
            Fail(compiler_ + " " + asked + " -dM -E printed no x86-64 macros");
            return std::nullopt;
        }
        return macros;
    }

    void Fail(std::string why) {
        if (failure_.empty()) failure_ = std::move(why);
    }
    const std::string& Failure() const { return failure_; }
    const std::string& Program() const { return compiler_; }
    const std::string& Version() const { return version_; }

private:
    const std::string& compiler_;
    const GccLimits& limits_;
    const std::chrono::steady_clock::time_point deadline_;
    std::map<std::vector<std::string>, ProgramRun> answers_;
    std::string version_;
    std::string failure_;
};

class Suggestion {
public:
    Suggestion(const FleetBaseline& fleet, GccFlags& result) : fleet_(fleet), result_(result) {}

    bool Common(size_t row) const { return HasGccExtension(fleet_.all, row); }

    enum class Outcome { Passed, UnknownMarch, UnknownExtensions, Refused, NoAnswer };

    // -march=`march` (tuned for `tune`; x86-64 level `level`, 0 for a microarchitecture's), with -m for
    // every further extension every machine has when `widen`, and -mno- for each one it turns on that
    // some machine lacks, into `flags` when the compiler takes them and turns on nothing a machine lacks.
    Outcome Try(Asker& ask, const std::set<std::string, std::less<>>& accepted, const std::string& march,
                const std::string& tune, unsigned level, bool widen, std::vector<std::string>& flags) {
        const std::optional<Macros> on = ask.MacrosWith({"-march=" + march});
        const std::optional<Macros> plain = ask.MacrosWith({"-march=x86-64", "-mtune=" + tune});
        if (!ask.Failure().empty()) return Outcome::NoAnswer;
        if (!on || !plain) return Outcome::UnknownMarch;
        if (!Answered(ask, {"-march=" + march}, *on, level)) return Outcome::NoAnswer;
        std::string unknown;
        for (const std::string& m : *on)
            if (plain->count(m) == 0 && ExtensionStyle(m) && !RowOfMacro(m))
                unknown += (unknown.empty() ? "" : " ") + m;
        if (!unknown.empty()) {
            result_.notes.push_back({GccNote::MarchUnchecked, march, unknown});
            return Outcome::UnknownExtensions;
        }
        flags = {"-march=" + march};
        for (size_t r = 0; widen && r < std::size(kGccOptions); ++r) {
            const GccOption& o = kGccOptions[r];
            if (o.listed && Common(r) && on->count(o.macro.view()) == 0
                && accepted.count(o.option.view()) != 0)
                AddOnce(flags, std::string(o.option.view()));
        }
        for (size_t r = 0; r < std::size(kGccOptions); ++r) {
            const GccOption& o = kGccOptions[r];
            if (!Common(r) && on->count(o.macro.view()) != 0)
                AddOnce(flags, "-mno-" + std::string(o.option.view().substr(2)));
        }
        if (Passes(ask, flags, *plain, level)) return Outcome::Passed;
        return ask.Failure().empty() ? Outcome::Refused : Outcome::NoAnswer;
    }

    // Whether the compiler takes `flags` and turns on only what every machine has.
    bool Passes(Asker& ask, const std::vector<std::string>& flags, const Macros& plain,
                unsigned level) const {
        const std::optional<Macros> macros = ask.MacrosWith(flags);
        if (!macros || !Answered(ask, flags, *macros, level)) return false;
        for (const std::string& m : *macros) {
            const std::optional<size_t> row = RowOfMacro(m);
            if (row ? !Common(*row) : plain.count(m) == 0 && ExtensionStyle(m)) return false;
        }
        return true;
    }

    // Whether `macros`, the compiler's answer to `flags`, are an answer: x86-64 level `level`'s
    // extensions turned on (at least the baseline's, which every x86-64 -march= has). A program that
    // ends well saying nothing, or anything else, has not answered.
    static bool Answered(Asker& ask, const std::vector<std::string>& flags, const Macros& macros,
                         unsigned level) {
        for (size_t r = 0; r < std::size(kGccOptions); ++r) {
            const GccOption& o = kGccOptions[r];
            if (o.listed && InLevel(r, std::max(level, 1u)) && macros.count(o.macro.view()) == 0) {
                ask.Fail(ask.Program() + " " + Joined(flags) + " -dM -E does not define "
                         + std::string(o.macro.view()));
                return false;
            }
        }
        return true;
    }

    // From the table alone: the level's -march= and -m for each further extension every machine has.
    std::vector<std::string> Unchecked() const {
        std::vector<std::string> flags{"-march=" + LevelMarch(fleet_.level)};
        for (size_t r = 0; r < std::size(kGccOptions); ++r) {
            const GccOption& o = kGccOptions[r];
            if (o.listed && Common(r) && !InLevel(r, fleet_.level))
                AddOnce(flags, std::string(o.option.view()));
        }
        return flags;
    }

private:
    const FleetBaseline& fleet_;
    GccFlags& result_;
};

}  // namespace

GccFlags SuggestGccFlags(const FleetBaseline& fleet, const std::string& compiler, const GccLimits& limits) {
    GccFlags result;
    if (fleet.machines == 0) return result;
    if (fleet.level == 0) {
        result.notes.push_back({GccNote::NoLongMode, "", ""});
        return result;
    }
    Suggestion suggest(fleet, result);
    // What the compiler said before it stopped answering is dropped with its flags.
    const auto not_checked = [&](std::string why, bool keep_notes = false) {
        if (!keep_notes) result.notes.clear();
        result.notes.push_back({GccNote::NotChecked, std::move(why), ""});
        result.flags = suggest.Unchecked();
        return result;
    };
    if (compiler.empty()) return not_checked("no compiler asked");
    Asker ask(compiler, limits);
    const ProgramRun* list = ask.Ask({"-Q", "--help=target"});
    if (list == nullptr) return not_checked(ask.Failure());
    if (list->status != 0)
        return not_checked(ask.Program() + " -Q --help=target ended with status " + Decimal(list->status));
    const auto accepted = ParseOptions(list->out);
    if (accepted.count("-march=") == 0)
        return not_checked(ask.Program() + " -Q --help=target printed no option list");

    using Outcome = Suggestion::Outcome;
    std::vector<std::string> flags;
    // With the further extensions every machine has where the compiler takes them, else without.
    const auto widest = [&](const std::string& march, const std::string& tune, unsigned level) {
        Outcome outcome = suggest.Try(ask, accepted, march, tune, level, true, flags);
        if (outcome == Outcome::Refused) {
            outcome = suggest.Try(ask, accepted, march, tune, level, false, flags);
            if (outcome == Outcome::Passed) result.notes.push_back({GccNote::ExtensionsDropped, "", ""});
        }
        return outcome;
    };
    Outcome outcome = Outcome::UnknownMarch;
    if (!fleet.shared_march.empty()) {
        const std::string march(fleet.shared_march);
        outcome = widest(march, march, 0);
        if (outcome == Outcome::UnknownMarch) result.notes.push_back({GccNote::MarchUnknown, march, ""});
    }
    // The fleet's level, or the highest below it that the compiler knows (x86-64-vN came with GCC 11).
    for (unsigned level = fleet.level;
         outcome != Outcome::Passed && outcome != Outcome::NoAnswer && level >= 1; --level) {
        outcome = widest(LevelMarch(level), "generic", level);
        if (outcome != Outcome::UnknownMarch && outcome != Outcome::UnknownExtensions) break;
    }
    if (outcome == Outcome::NoAnswer) return not_checked(ask.Failure());
    if (outcome != Outcome::Passed)
        return not_checked(ask.Program() + " takes no -march= that turns on only what every machine has",
                           true);
    result.flags = std::move(flags);
    result.checked = true;
    const std::string who = ask.Version().empty() ? ask.Program() : ask.Program() + " " + ask.Version();
    result.notes.insert(result.notes.begin(), {GccNote::Checked, who, ""});
    return result;
}

}  // namespace talvex
