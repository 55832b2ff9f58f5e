// Reader for Talvex's own report: the leaf dump after "***CPUID Register Data***", five lines a
// leaf ("00000000h", "EAX: 0000000D", "EBX: ...", "ECX: ...", "EDX: ..."), every leaf for
// sub-leaf 0. Of the report lines before the marker, the name and the cache sizes are kept with the
// processor ("CPU Name: ...", "L2 Cache  : 1280KB"; a line of another form is passed over); a line
// that is not a leaf ends the dump, and the next marker (a further report in the same file) starts
// the next processor.
#include "probe/dump/dump_reader.h"

namespace talvex::dump_detail {

namespace {

// The size after a cache label: decimal digits and the unit; nothing for another form.
std::optional<uint32_t> SizeOf(std::string_view value, std::string_view unit) {
    const std::optional<uint32_t> size = TakeDecimal(value, UINT32_MAX);
    if (!size || value != unit) return std::nullopt;
    return size;
}

// Takes a report line before the marker into `lines`; false when it is none of the kept ones.
bool TakeHeaderLine(std::string_view t, ReportedLines& lines) {
    if (ConsumePrefix(t, kReportNameLabel)) {
        lines.name = std::string(t);
        return true;
    }
    const struct {
        std::string_view label, unit;
        uint32_t ReportedLines::*size;
    } kSizes[] = {
        {kReportL1ILabel, kReportKB, &ReportedLines::l1i},
        {kReportTraceLabel, kReportKuops, &ReportedLines::trace},
        {kReportL1DLabel, kReportKB, &ReportedLines::l1d},
        {kReportL2Label, kReportKB, &ReportedLines::l2},
        {kReportL3Label, kReportKB, &ReportedLines::l3},
    };
    for (const auto& s : kSizes) {
        std::string_view value = t;
        if (!ConsumePrefix(value, s.label)) continue;
        const std::optional<uint32_t> size = SizeOf(value, s.unit);
        if (size) lines.*s.size = *size;
        return size.has_value();
    }
    return false;
}

bool LooksLikeRegister(std::string_view t) {
    for (std::string_view name : kReportRegisterLabels)
        if (t.starts_with(name.substr(0, 4))) return true;
    return false;
}

// "0000000Dh": eight hex digits and "h".
std::optional<uint32_t> ParseLeafLine(std::string_view t) {
    auto leaf = TakeRegister(t);
    if (!leaf || t != kReportLeafEnd) return std::nullopt;
    return leaf;
}

// Eight hex digits and an "h", or something that only a damaged leaf line would look like.
bool LooksLikeLeaf(std::string_view t) { return t.ends_with(kReportLeafEnd) && t.size() <= 12; }

class ReportReader final : public FormatReader {
public:
    explicit ReportReader(Sections& sections) : sections_(sections) {}

    void Line(std::string_view raw, long number) override {
        const std::string_view t = Trim(raw);
        if (t == kReportDumpMarker) {
            if (next_reg_ != 0) sections_.Fail(number, "leaf cut short");
            sections_.Open();
            if (head_) sections_.SetReported(std::move(*head_));
            head_.reset();
            in_dump_ = true;
            return;
        }
        if (!in_dump_) {
            ReportedLines lines = head_.value_or(ReportedLines{});
            if (TakeHeaderLine(t, lines)) head_ = std::move(lines);
            return;
        }
        if (next_reg_ != 0) {
            std::string_view s = t;
            const std::string_view label = kReportRegisterLabels[static_cast<size_t>(next_reg_ - 1)];
            if (!ConsumePrefix(s, label))
                sections_.Fail(number, "expected " + std::string(label.substr(0, 3)));
            auto v = TakeRegister(s);
            if (!v || !s.empty()) sections_.Fail(number, "register is not 8 hex digits");
            uint32_t* regs[] = {&regs_.EAX, &regs_.EBX, &regs_.ECX, &regs_.EDX};
            *regs[next_reg_ - 1] = *v;
            if (++next_reg_ > 4) {
                sections_.Add(leaf_, 0, regs_, leaf_line_);
                next_reg_ = 0;
            }
            return;
        }
        if (t.empty()) return;
        if (auto leaf = ParseLeafLine(t)) {
            leaf_ = *leaf;
            leaf_line_ = number;
            regs_ = TCPUIDRegs{};
            next_reg_ = 1;
            return;
        }
        if (LooksLikeLeaf(t) || LooksLikeRegister(t)) sections_.Fail(number, "malformed leaf line");
        in_dump_ = false;  // the text after the dump
    }

    void Finish(long last_line) override {
        if (next_reg_ != 0) sections_.Fail(last_line, "leaf cut short");
    }

private:
    Sections& sections_;
    bool in_dump_ = false;
    std::optional<ReportedLines> head_;  // the lines before the next marker
    int next_reg_ = 0;                   // 1..4: the register line expected next; 0: a leaf line
    uint32_t leaf_ = 0;
    long leaf_line_ = 0;
    TCPUIDRegs regs_;
};

}  // namespace

bool IsReportHeaderLine(std::string_view trimmed) {
    ReportedLines lines;
    return TakeHeaderLine(trimmed, lines);
}

std::unique_ptr<FormatReader> MakeReportReader(Sections& sections) {
    return std::make_unique<ReportReader>(sections);
}

}  // namespace talvex::dump_detail
