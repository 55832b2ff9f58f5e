// Reader for libcpuid's raw dump: one array entry a line, `name[index]=eax ebx ecx edx` in hex,
// an optional `version=` line and `___ Logical CPU #n ___` separators between processors.
// The arrays always have their full size: entries beyond the processor's highest leaf hold zeros,
// or on P6/NetBurst parts a copy of the highest standard leaf (their answer to an out-of-range
// leaf). So only the leaves inside the ranges that leaf 0 and 0x80000000 report are kept.
#include <array>

#include "probe/dump/dump_reader.h"
#include "probe/dump/libcpuid_arrays.h"

namespace talvex::dump_detail {

namespace {

struct Entry {
    bool present = false;
    TCPUIDRegs regs;
};

// One processor's arrays as read.
struct Arrays {
    std::array<std::array<Entry, kLibcpuidMaxEntries>, kLibcpuidArrays.size()> entry{};
    long first_line = 0;
};

bool IsSeparator(std::string_view t) {
    return t.front() == kLibcpuidRule.front() && t.find(kLibcpuidSeparatorWords) != t.npos;
}

// Takes an array's name from the front of `s` when a "[" follows it; gives the array's row in
// kLibcpuidArrays, or kLibcpuidArrays.size() (taking nothing) when no name fits.
size_t TakeArray(std::string_view& s) {
    for (size_t a = 0; a < kLibcpuidArrays.size(); ++a) {
        if (s.starts_with(kLibcpuidArrays[a].name)
            && s.substr(kLibcpuidArrays[a].name.size()).starts_with("[")) {
            s.remove_prefix(kLibcpuidArrays[a].name.size());
            return a;
        }
    }
    return kLibcpuidArrays.size();
}

class LibcpuidReader final : public FormatReader {
public:
    explicit LibcpuidReader(Sections& sections) : sections_(sections) {}

    void Line(std::string_view raw, long number) override {
        const std::string_view t = Trim(raw);
        if (t.empty() || t.starts_with("version=")) return;
        if (IsSeparator(t)) {
            Flush(number);
            return;
        }
        std::string_view s = t;
        const size_t a = TakeArray(s);
        if (a == kLibcpuidArrays.size()) sections_.Fail(number, "not a line of a libcpuid dump");
        auto index = ConsumePrefix(s, "[") ? TakeDecimal(s, kLibcpuidArrays[a].entries - 1) : std::nullopt;
        if (!index || !ConsumePrefix(s, "]=")) {
            sections_.Fail(number, std::string(kLibcpuidArrays[a].name) + ": index missing or beyond "
                                       + std::to_string(kLibcpuidArrays[a].entries - 1));
        }
        TCPUIDRegs r;
        uint32_t* regs[] = {&r.EAX, &r.EBX, &r.ECX, &r.EDX};
        for (int i = 0; i < 4; ++i) {
            if (i > 0) SkipBlanks(s);
            auto v = TakeRegister(s);
            if (!v || (i < 3 && (s.empty() || !IsBlank(s.front()))))
                sections_.Fail(number, "register is not 8 hex digits");
            *regs[i] = *v;
        }
        if (!s.empty()) sections_.Fail(number, "text after the fourth register");
        Entry& e = current_.entry[a][*index];
        if (e.present && !(e.regs == r))
            sections_.Fail(number, std::string(t.substr(0, t.find('='))) + " repeated with different values");
        e = Entry{true, r};
        if (current_.first_line == 0) current_.first_line = number;
    }

    void Finish(long last_line) override { Flush(last_line); }

private:
    // Turns the arrays read since the last separator into one processor's leaves.
    void Flush(long number) {
        if (current_.first_line == 0) return;
        const long at = current_.first_line;
        const auto& basic = current_.entry[kLibcpuidBasic];
        const auto& ext = current_.entry[kLibcpuidExt];
        if (!basic[0].present) sections_.Fail(number, "processor without basic_cpuid[0]");
        sections_.Open();
        const uint32_t std_top = basic[0].regs.EAX;
        for (uint32_t i = 0; i <= std::min<uint32_t>(std_top, kLibcpuidArrays[kLibcpuidBasic].entries - 1);
             ++i)
            if (basic[i].present) sections_.Add(i, 0, basic[i].regs, at);
        // P5/P6 parts answer 0x80000000 with leaf-2 data: then that line alone is kept.
        uint32_t ext_top = 0;
        bool ext_range = false;
        if (ext[0].present) {
            ext_range = ext[0].regs.EAX >= kExtendedLeaf;
            ext_top = ext_range ? ext[0].regs.EAX : kExtendedLeaf;
            const uint32_t last =
                std::min<uint32_t>(ext_top - kExtendedLeaf, kLibcpuidArrays[kLibcpuidExt].entries - 1);
            for (uint32_t i = 0; i <= last; ++i)
                if (ext[i].present) sections_.Add(kExtendedLeaf + i, 0, ext[i].regs, at);
        }
        for (size_t a = 0; a < kLibcpuidArrays.size(); ++a) {
            if (kLibcpuidArrays[a].index != LibcpuidIndex::SubLeaf) continue;
            const uint32_t leaf = kLibcpuidArrays[a].leaf;
            const bool in_range = leaf < kExtendedLeaf ? leaf <= std_top : ext_range && leaf <= ext_top;
            if (!in_range) continue;
            const auto& sub = current_.entry[a];
            // The leaf's terminating all-zero sub-leaves are padding, not answers.
            uint32_t end = kLibcpuidArrays[a].entries;
            while (end > 0 && (!sub[end - 1].present || sub[end - 1].regs == TCPUIDRegs{})) --end;
            // Sub-leaf 0 comes from the leaf arrays where they reach the leaf.
            const bool leaf_array_has_it = sections_.CurrentHas(leaf, 0);
            for (uint32_t i = leaf_array_has_it ? 1 : 0; i < end; ++i)
                if (sub[i].present) sections_.Add(leaf, i, sub[i].regs, at);
        }
        current_ = Arrays{};
    }

    static constexpr uint32_t kExtendedLeaf = 0x80000000;
    Sections& sections_;
    Arrays current_;
};

}  // namespace

bool IsLibcpuidLine(std::string_view t) {
    std::string_view rest = t;
    return t.starts_with("version=") || IsSeparator(t) || TakeArray(rest) != kLibcpuidArrays.size();
}

std::unique_ptr<FormatReader> MakeLibcpuidReader(Sections& sections) {
    return std::make_unique<LibcpuidReader>(sections);
}

}  // namespace talvex::dump_detail
