// Reader for libcpuid's raw dump: one array entry a line, `name[index]=eax ebx ecx edx` in hex,
// an optional `version=` line and `___ Logical CPU #n ___` separators between processors.
// The arrays always have their full size: entries beyond the processor's highest leaf hold zeros,
// or on P6/NetBurst parts a copy of the highest standard leaf (their answer to an out-of-range
// leaf). So only the leaves inside the ranges that leaf 0 and 0x80000000 report are kept.
#include <array>

#include "probe/dump/dump_reader.h"

namespace talvex::dump_detail {

namespace {

enum class Index { Leaf, SubLeaf };

struct ArrayInfo {
    std::string_view name;
    uint32_t leaf;  // first leaf (Index::Leaf) or the one leaf (Index::SubLeaf)
    Index index;
    uint32_t entries;
};

// clang-format off
// name                       leaf        index is        entries
constexpr std::array kArrays = {
    ArrayInfo{"basic_cpuid",     0x00000000, Index::Leaf,    32},
    ArrayInfo{"ext_cpuid",       0x80000000, Index::Leaf,    32},
    ArrayInfo{"intel_fn4",       0x00000004, Index::SubLeaf, 8},
    ArrayInfo{"intel_fn11",      0x0000000B, Index::SubLeaf, 4},
    ArrayInfo{"intel_fn12h",     0x00000012, Index::SubLeaf, 4},
    ArrayInfo{"intel_fn14h",     0x00000014, Index::SubLeaf, 4},
    ArrayInfo{"amd_fn8000001dh", 0x8000001D, Index::SubLeaf, 4},
    ArrayInfo{"amd_fn80000026h", 0x80000026, Index::SubLeaf, 4},
};
// clang-format on
constexpr size_t kBasic = 0;
constexpr size_t kExt = 1;
constexpr uint32_t kMaxEntries = 32;

struct Entry {
    bool present = false;
    TCPUIDRegs regs;
};

// One processor's arrays as read.
struct Arrays {
    std::array<std::array<Entry, kMaxEntries>, kArrays.size()> entry{};
    long first_line = 0;
};

bool IsSeparator(std::string_view t) { return t.front() == '_' && t.find("Logical CPU #") != t.npos; }

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
        if (a == kArrays.size()) sections_.Fail(number, "not a line of a libcpuid dump");
        auto index = ConsumePrefix(s, "[") ? TakeDecimal(s, kArrays[a].entries - 1) : std::nullopt;
        if (!index || !ConsumePrefix(s, "]=")) {
            sections_.Fail(number, std::string(kArrays[a].name) + ": index missing or beyond "
                                       + std::to_string(kArrays[a].entries - 1));
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
    static size_t TakeArray(std::string_view& s) {
        for (size_t a = 0; a < kArrays.size(); ++a) {
            if (s.starts_with(kArrays[a].name) && s.substr(kArrays[a].name.size()).starts_with("[")) {
                s.remove_prefix(kArrays[a].name.size());
                return a;
            }
        }
        return kArrays.size();
    }

    // Turns the arrays read since the last separator into one processor's leaves.
    void Flush(long number) {
        if (current_.first_line == 0) return;
        const long at = current_.first_line;
        const auto& basic = current_.entry[kBasic];
        const auto& ext = current_.entry[kExt];
        if (!basic[0].present) sections_.Fail(number, "processor without basic_cpuid[0]");
        sections_.Open();
        const uint32_t std_top = basic[0].regs.EAX;
        for (uint32_t i = 0; i <= std::min<uint32_t>(std_top, kArrays[kBasic].entries - 1); ++i)
            if (basic[i].present) sections_.Add(i, 0, basic[i].regs, at);
        // P5/P6 parts answer 0x80000000 with leaf-2 data: then that line alone is kept.
        uint32_t ext_top = 0;
        bool ext_range = false;
        if (ext[0].present) {
            ext_range = ext[0].regs.EAX >= kExtendedLeaf;
            ext_top = ext_range ? ext[0].regs.EAX : kExtendedLeaf;
            const uint32_t last = std::min<uint32_t>(ext_top - kExtendedLeaf, kArrays[kExt].entries - 1);
            for (uint32_t i = 0; i <= last; ++i)
                if (ext[i].present) sections_.Add(kExtendedLeaf + i, 0, ext[i].regs, at);
        }
        for (size_t a = 0; a < kArrays.size(); ++a) {
            if (kArrays[a].index != Index::SubLeaf) continue;
            const uint32_t leaf = kArrays[a].leaf;
            const bool in_range = leaf < kExtendedLeaf ? leaf <= std_top : ext_range && leaf <= ext_top;
            if (!in_range) continue;
            const auto& sub = current_.entry[a];
            // The leaf's terminating all-zero sub-leaves are padding, not answers.
            uint32_t end = kArrays[a].entries;
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
    if (t.starts_with("version=") || IsSeparator(t)) return true;
    for (const ArrayInfo& a : kArrays)
        if (t.starts_with(a.name) && t.substr(a.name.size()).starts_with("[")) return true;
    return false;
}

std::unique_ptr<FormatReader> MakeLibcpuidReader(Sections& sections) {
    return std::make_unique<LibcpuidReader>(sections);
}

}  // namespace talvex::dump_detail
