// Reader for the `cpuid -r` text layout:
//   CPU 0:
//      0x00000000 0x00: eax=0x0000000d ebx=0x756e6547 ecx=0x6c65746e edx=0x49656e69
// with `#` comments and blank lines between.
#include "probe/dump/dump.h"

#include <cctype>
#include <fstream>
#include <optional>
#include <string_view>

namespace talvex {

DumpError::DumpError(const std::string& file, long line, const std::string& what)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + what), file_(file), line_(line) {}

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool ConsumePrefix(std::string_view& s, std::string_view prefix) {
    if (s.substr(0, prefix.size()) != prefix) return false;
    s.remove_prefix(prefix.size());
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "0x" and 1..8 hex digits.
std::optional<uint32_t> TakeHex(std::string_view& s, size_t max_digits = 8) {
    if (!ConsumePrefix(s, "0x")) return std::nullopt;
    uint32_t v = 0;
    size_t n = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (n == max_digits) return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(HexDigit(s[n]));
        ++n;
    }
    if (n == 0) return std::nullopt;
    s.remove_prefix(n);
    return v;
}

void SkipBlanks(std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
}

std::optional<DumpLeaf> ParseDataLine(std::string_view s) {
    DumpLeaf d;
    auto leaf = TakeHex(s);
    if (!leaf) return std::nullopt;
    SkipBlanks(s);
    auto sub = TakeHex(s);
    if (!sub || !ConsumePrefix(s, ":")) return std::nullopt;
    d.leaf = *leaf;
    d.subleaf = *sub;
    uint32_t* regs[] = {&d.regs.EAX, &d.regs.EBX, &d.regs.ECX, &d.regs.EDX};
    const char* names[] = {"eax=", "ebx=", "ecx=", "edx="};
    for (int i = 0; i < 4; ++i) {
        SkipBlanks(s);
        if (!ConsumePrefix(s, names[i])) return std::nullopt;
        auto v = TakeHex(s);
        if (!v) return std::nullopt;
        *regs[i] = *v;
    }
    if (!Trim(s).empty()) return std::nullopt;
    return d;
}

bool IsSectionHeader(std::string_view s) {
    if (!ConsumePrefix(s, "CPU")) return false;
    SkipBlanks(s);
    while (!s.empty() && std::isdigit(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s == ":";
}

}  // namespace

std::vector<DumpProcessor> ReadDump(std::istream& in, const std::string& file) {
    std::vector<DumpProcessor> cpus;
    std::map<std::pair<uint32_t, uint32_t>, TCPUIDRegs> seen;
    std::string raw;
    long lineno = 0;
    while (std::getline(in, raw)) {
        ++lineno;
        std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') continue;
        if (IsSectionHeader(line)) {
            cpus.emplace_back();
            seen.clear();
            continue;
        }
        auto leaf = ParseDataLine(line);
        if (!leaf) throw DumpError(file, lineno, "not a line of a CPUID dump");
        if (cpus.empty()) cpus.emplace_back();  // data before any header: one processor
        auto [it, inserted] = seen.try_emplace({leaf->leaf, leaf->subleaf}, leaf->regs);
        if (!inserted && !(it->second == leaf->regs))
            throw DumpError(file, lineno, "leaf repeated with different values");
        if (inserted) cpus.back().leaves.push_back(*leaf);
    }
    if (in.bad()) throw DumpError(file, lineno, "read error");
    std::erase_if(cpus, [](const DumpProcessor& p) { return p.leaves.empty(); });
    if (cpus.empty()) throw DumpError(file, lineno, "no CPUID data");
    return cpus;
}

std::vector<DumpProcessor> ReadDumpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DumpError(path, 0, "cannot open");
    return ReadDump(in, path);
}

ReplaySource::ReplaySource(const DumpProcessor& processor) {
    for (const DumpLeaf& d : processor.leaves) leaves_.try_emplace({d.leaf, d.subleaf}, d.regs);
}

TCPUIDRegs ReplaySource::Execute(uint32_t leaf, uint32_t subleaf) const {
    auto it = leaves_.find({leaf, subleaf});
    return it == leaves_.end() ? TCPUIDRegs{} : it->second;
}

}  // namespace talvex
