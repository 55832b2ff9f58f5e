// Reader for the InstLatx64 / AIDA64 / EVEREST listing:
//   CPUID 00000000: 0000000D-756E6547-6C65746E-49656E69 [GenuineIntel]
//   CPUID 00000004: 1C004121-01C0003F-0000003F-00000000 [SL 00]
//   CPUID 00000000 : 00000001 746E6543 736C7561 48727561
// The separator after the leaf varies (": ", " : ", " :", blanks, a TAB), registers are joined by
// "-" or by blanks, hex is either case, "[SL xx]" gives the sub-leaf in hex; without it, repeated
// lines of one leaf are its sub-leaves 0, 1, 2, ... Other bracketed text after the registers
// (after blanks or a TAB) is the dumping tool's annotation. The listing sits in report text that
// is skipped, but a line that begins like a data line must be one. Processors are separated by a
// CPU header (see IsCpuHeader) or, in files without headers, by a new leaf-0 line.
#include "probe/dump/dump_reader.h"

namespace talvex::dump_detail {

namespace {

// "CPUID" in either case.
bool ConsumeKeyword(std::string_view& s) {
    constexpr std::string_view kKeyword = "CPUID";
    if (s.size() < kKeyword.size()) return false;
    for (size_t i = 0; i < kKeyword.size(); ++i)
        if ((s[i] & ~0x20) != kKeyword[i]) return false;
    s.remove_prefix(kKeyword.size());
    return true;
}

struct DataLine {
    uint32_t leaf = 0;
    std::optional<uint32_t> subleaf;
    TCPUIDRegs regs;
};

std::optional<DataLine> ParseDataLine(std::string_view s) {
    DataLine d;
    if (!ConsumeKeyword(s)) return std::nullopt;
    SkipBlanks(s);
    auto leaf = TakeRegister(s);
    if (!leaf) return std::nullopt;
    d.leaf = *leaf;
    const size_t before = s.size();
    SkipBlanks(s);
    ConsumePrefix(s, ":");
    SkipBlanks(s);
    if (s.size() == before) return std::nullopt;  // no separator at all
    uint32_t* regs[] = {&d.regs.EAX, &d.regs.EBX, &d.regs.ECX, &d.regs.EDX};
    // The first gap decides whether the registers are joined by "-" or by blanks.
    const bool dashes = s.size() > 8 && s[8] == '-';
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const size_t gap = s.size();
            if (dashes) {
                ConsumePrefix(s, "-");
            } else {
                SkipBlanks(s);
            }
            if (s.size() == gap) return std::nullopt;
        }
        auto v = TakeRegister(s);
        if (!v) return std::nullopt;
        *regs[i] = *v;
    }
    if (!s.empty() && !IsBlank(s.front())) return std::nullopt;
    SkipBlanks(s);
    if (ConsumePrefix(s, "[SL ")) {
        auto sub = TakeHex(s, 1, 8);
        if (!sub || !ConsumePrefix(s, "]")) return std::nullopt;
        d.subleaf = *sub;
        SkipBlanks(s);
    }
    // Anything further is an annotation, and annotations are bracketed.
    if (!s.empty() && s.front() != '[') return std::nullopt;
    return d;
}

// "------[ Logical CPU #0 ]------", "------[ CPUID Registers / Logical CPU #1 Virtual ]------",
// "CPUID Registers (CPU #1):", "CPUID Registers (CPU #1 Virtual):",
// "CPU#000 AffMask: 0x0000000000000001", "CPU#00 AffMask: 0X0000000000000000:0000000000000001",
// "Group: 0x00 Affinity mask: 0x0000000000000001", and `cpuid -r`'s "CPU 0:".
bool IsCpuHeader(std::string_view t) {
    if (t.starts_with("------[")) return t.find("CPU #") != t.npos;
    if (t.starts_with("CPUID Registers (CPU #")) return true;
    if (t.starts_with("Group:")) return t.find("Affinity mask:") != t.npos;
    if (IsCpuidRawHeader(t)) return true;
    return t.starts_with("CPU#") && t.size() > 4 && t[4] >= '0' && t[4] <= '9';
}

class InstLatReader final : public FormatReader {
public:
    explicit InstLatReader(Sections& sections) : sections_(sections) {}

    void Line(std::string_view raw, long number) override {
        const std::string_view t = Trim(raw);
        if (t.empty()) return;
        if (IsCpuHeader(t)) {
            Close();
            return;
        }
        if (t.starts_with("------[")) {  // another section of the report ends the listing
            Close();
            return;
        }
        if (!IsInstLatData(t)) return;  // report text around the listing
        auto d = ParseDataLine(t);
        if (!d) sections_.Fail(number, "malformed CPUID line");
        uint32_t sub = 0;
        if (d->subleaf) {
            sub = *d->subleaf;
        } else if (d->leaf != 0 && has_last_ && d->leaf == last_leaf_) {
            // The next sub-leaf: none follows FFFFFFFF, which would wrap to sub-leaf 0.
            if (last_sub_ == UINT32_MAX) sections_.Fail(number, "sub-leaf after FFFFFFFF");
            sub = last_sub_ + 1;
        }
        // A second leaf 0 starts the next processor (leaf 0 has no sub-leaves).
        if (!in_block_ || (d->leaf == 0 && sub == 0 && sections_.CurrentHas(0, 0))) {
            sections_.Open();
            in_block_ = true;
        }
        sections_.Add(d->leaf, sub, d->regs, number);
        has_last_ = true;
        last_leaf_ = d->leaf;
        last_sub_ = sub;
    }

    void Finish(long) override {}

private:
    void Close() {
        in_block_ = false;
        has_last_ = false;
    }

    Sections& sections_;
    bool in_block_ = false;
    bool has_last_ = false;
    uint32_t last_leaf_ = 0;
    uint32_t last_sub_ = 0;
};

}  // namespace

// "CPUID" (either case), blanks and eight hex digits: whatever follows, the line must parse as data.
bool IsInstLatData(std::string_view t) {
    if (!ConsumeKeyword(t)) return false;
    const size_t before = t.size();
    SkipBlanks(t);
    if (t.size() == before || t.size() < 8) return false;
    for (size_t i = 0; i < 8; ++i)
        if (HexDigit(t[i]) < 0) return false;
    return true;
}

std::unique_ptr<FormatReader> MakeInstLatReader(Sections& sections) {
    return std::make_unique<InstLatReader>(sections);
}

}  // namespace talvex::dump_detail
