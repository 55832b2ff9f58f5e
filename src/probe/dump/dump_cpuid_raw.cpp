// Reader for the `cpuid -r` layout:
//   CPU 0:
//      0x00000000 0x00: eax=0x0000000d ebx=0x756e6547 ecx=0x6c65746e edx=0x49656e69
// with `#` comments and blank lines between. Each "CPU n:" starts a processor.
#include "probe/dump/dump_reader.h"

namespace talvex::dump_detail {

namespace {

// "0x" and 1..8 hex digits.
std::optional<uint32_t> TakePrefixedHex(std::string_view& s) {
    if (!ConsumePrefix(s, "0x")) return std::nullopt;
    return TakeHex(s, 1, 8);
}

std::optional<DumpLeaf> ParseDataLine(std::string_view s) {
    DumpLeaf d;
    auto leaf = TakePrefixedHex(s);
    if (!leaf) return std::nullopt;
    SkipBlanks(s);
    auto sub = TakePrefixedHex(s);
    if (!sub || !ConsumePrefix(s, ":")) return std::nullopt;
    d.leaf = *leaf;
    d.subleaf = *sub;
    uint32_t* regs[] = {&d.regs.EAX, &d.regs.EBX, &d.regs.ECX, &d.regs.EDX};
    for (size_t i = 0; i < 4; ++i) {
        SkipBlanks(s);
        if (!ConsumePrefix(s, kCpuidRawRegisterLabels[i])) return std::nullopt;
        auto v = TakeRegister(s);
        if (!v) return std::nullopt;
        *regs[i] = *v;
    }
    if (!Trim(s).empty()) return std::nullopt;
    return d;
}

class CpuidRawReader final : public FormatReader {
public:
    explicit CpuidRawReader(Sections& sections) : sections_(sections) {}

    void Line(std::string_view raw, long number) override {
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') return;
        if (IsCpuidRawHeader(line)) {
            sections_.Open();
            return;
        }
        auto leaf = ParseDataLine(line);
        if (!leaf) sections_.Fail(number, "not a line of a cpuid -r dump");
        sections_.Add(leaf->leaf, leaf->subleaf, leaf->regs, number);
    }
    void Finish(long) override {}

private:
    Sections& sections_;
};

}  // namespace

bool IsCpuidRawHeader(std::string_view s) {
    if (!ConsumePrefix(s, kCpuidRawHeaderWord)) return false;
    SkipBlanks(s);
    return TakeDecimal(s, 0xFFFFFFFFu) && s == kCpuidRawHeaderEnd;
}

bool IsCpuidRawData(std::string_view s) { return s.starts_with("0x") && s.find("eax=") != s.npos; }

std::unique_ptr<FormatReader> MakeCpuidRawReader(Sections& sections) {
    return std::make_unique<CpuidRawReader>(sections);
}

}  // namespace talvex::dump_detail
