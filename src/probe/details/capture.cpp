// The complete capture. Which sub-leaves a leaf has comes from the enumeration rule published
// with the leaf (Intel's CPUID reference for leaves 4, 7, 0xB, 0xD, 0xF, 0x10, 0x12, 0x14, 0x17,
// 0x18, 0x1B, 0x1D, 0x1E, 0x1F, 0x20, 0x23, 0x24; AMD's CPUID appendix for 0x8000001D, 0x80000020,
// 0x80000026), written as one table; a leaf not in it has sub-leaf 0 alone. Every decision is taken from answers already recorded,
// so each (leaf, sub-leaf) is executed exactly once.
#include "probe/details/capture.h"

#include <algorithm>
#include <array>

#include "probe/platform/cpuid.h"

namespace talvex {

namespace {

enum class Reg : uint8_t { EAX, EBX, ECX, EDX };

enum class Rule : uint8_t {
    MaxInSub0,   // sub-leaves 0 .. the field of sub-leaf 0
    UntilZero,   // from `first` on, until the field is 0 (that sub-leaf recorded: it ends the list);
                 // the sub-leaves below `first` always
    BitsOfSub0,  // sub-leaf 0, then sub-leaf i for each bit i (1..31) set in the field of sub-leaf 0
    XSave,       // 0xD: 0, 1, then each state component i (2..63) set in sub-leaf 0 EDX:EAX (user
                 // states) or sub-leaf 1 EDX:ECX (supervisor states)
};

struct LeafRule {
    uint32_t leaf;
    Rule rule;
    Reg reg;  // the field: register and bits
    uint8_t high, low;
    uint8_t first;  // UntilZero: sub-leaves recorded before the field is looked at
};

// clang-format off
// Sorted by leaf. The field names what it holds.
constexpr std::array kLeafRules = {
    //       leaf        rule              register  bits   first
    LeafRule{0x00000004, Rule::UntilZero,  Reg::EAX, 4,  0,  0},  // cache type
    LeafRule{0x00000007, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x0000000B, Rule::UntilZero,  Reg::ECX, 15, 8,  0},  // level type
    LeafRule{0x0000000D, Rule::XSave,      Reg::EAX, 31, 0,  0},  // state components
    LeafRule{0x0000000F, Rule::BitsOfSub0, Reg::EDX, 31, 0,  0},  // monitored resource types
    LeafRule{0x00000010, Rule::BitsOfSub0, Reg::EBX, 31, 0,  0},  // allocated resource types
    LeafRule{0x00000012, Rule::UntilZero,  Reg::EAX, 3,  0,  2},  // EPC section type, from sub-leaf 2
    LeafRule{0x00000014, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x00000017, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest SoC ID sub-leaf
    LeafRule{0x00000018, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x0000001B, Rule::UntilZero,  Reg::EAX, 11, 0,  0},  // PCONFIG sub-leaf type
    LeafRule{0x0000001D, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest palette
    LeafRule{0x0000001E, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x0000001F, Rule::UntilZero,  Reg::ECX, 15, 8,  0},  // level type
    LeafRule{0x00000020, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x00000023, Rule::BitsOfSub0, Reg::EAX, 31, 0,  0},  // valid sub-leaves
    LeafRule{0x00000024, Rule::MaxInSub0,  Reg::EAX, 31, 0,  0},  // highest sub-leaf
    LeafRule{0x8000001D, Rule::UntilZero,  Reg::EAX, 4,  0,  0},  // cache type
    LeafRule{0x80000020, Rule::BitsOfSub0, Reg::EBX, 31, 0,  0},  // QoS extensions present
    LeafRule{0x80000026, Rule::UntilZero,  Reg::ECX, 15, 8,  0},  // level type
};
// clang-format on

static_assert(std::is_sorted(kLeafRules.begin(), kLeafRules.end(),
                             [](const LeafRule& a, const LeafRule& b) { return a.leaf < b.leaf; }));

const LeafRule* RuleOf(uint32_t leaf) {
    auto it = std::lower_bound(kLeafRules.begin(), kLeafRules.end(), leaf,
                               [](const LeafRule& r, uint32_t l) { return r.leaf < l; });
    return it != kLeafRules.end() && it->leaf == leaf ? &*it : nullptr;
}

// Sub-leaf i for each bit i from `from` up set in `bits`, within the bound.
template <typename Record>
void Bitmap(uint32_t leaf, uint64_t bits, uint32_t from, Record& record) {
    for (uint32_t i = from; i < kCaptureSubLeavesPerLeaf && i < 64; ++i)
        if ((bits >> i) & 1u) record(leaf, i);
}

// The sub-leaves above 0 that the rule of `leaf` asks for, sub-leaf 0 having answered `sub0`, each
// asked of record(leaf, i) in turn, which gives its answer.
template <typename Record>
void EnumerateSubLeaves(uint32_t leaf, const TCPUIDRegs& sub0, Record record) {
    const LeafRule* rule = RuleOf(leaf);
    if (rule == nullptr) return;
    const auto field = [rule](const TCPUIDRegs& r) {
        return Bits(RegisterOf(r, static_cast<unsigned>(rule->reg)), rule->high, rule->low);
    };
    switch (rule->rule) {
    case Rule::MaxInSub0: {
        const uint32_t last = std::min(field(sub0), kCaptureSubLeavesPerLeaf - 1);
        for (uint32_t i = 1; i <= last; ++i) record(leaf, i);
        break;
    }
    case Rule::UntilZero: {
        if (rule->first == 0 && field(sub0) == 0) break;
        for (uint32_t i = 1; i < kCaptureSubLeavesPerLeaf; ++i) {
            const TCPUIDRegs r = record(leaf, i);
            if (i >= rule->first && field(r) == 0) break;
        }
        break;
    }
    case Rule::BitsOfSub0: Bitmap(leaf, field(sub0), 1, record); break;
    case Rule::XSave: {
        const TCPUIDRegs sub1 = record(leaf, 1);
        const uint64_t user = (uint64_t{sub0.EDX} << 32) | sub0.EAX;
        const uint64_t supervisor = (uint64_t{sub1.EDX} << 32) | sub1.ECX;
        Bitmap(leaf, user | supervisor, 2, record);
        break;
    }
    }
}

class Capture {
public:
    Capture(const RegisterSource& source, DumpProcessor& out) : source_(source), out_(out) {}

    TCPUIDRegs Record(uint32_t leaf, uint32_t subleaf) {
        const TCPUIDRegs r = source_.Execute(leaf, subleaf);
        out_.leaves.push_back(DumpLeaf{leaf, subleaf, r});
        return r;
    }

    // The leaf with all its sub-leaves, sub-leaf 0 already executed as `sub0`.
    void SubLeaves(uint32_t leaf, const TCPUIDRegs& sub0) {
        EnumerateSubLeaves(leaf, sub0, [this](uint32_t l, uint32_t i) { return Record(l, i); });
    }

private:
    const RegisterSource& source_;
    DumpProcessor& out_;
};

// The vendor registers of a hypervisor window hold text: not all zero.
bool NamesVendor(const TCPUIDRegs& base) { return (base.EBX | base.ECX | base.EDX) != 0; }

}  // namespace

DumpProcessor CaptureProcessor(const RegisterSource& source) {
    DumpProcessor out;
    if (!source.HasCPUID()) return out;
    out.leaves.reserve(160);
    Capture capture(source, out);
    bool hypervisor = false;
    for (const LeafRange& range : kLeafRanges) {
        if (range.presence != RangePresence::Always && !hypervisor) continue;
        const TCPUIDRegs head = capture.Record(range.base, 0);
        if (range.presence == RangePresence::HypervisorVendor && !NamesVendor(head)) continue;
        const uint32_t count = LeavesRead(range.base, head.EAX);
        capture.SubLeaves(range.base, head);
        for (uint32_t i = 1; i < count; ++i) {
            const uint32_t leaf = range.base + i;
            const TCPUIDRegs regs = capture.Record(leaf, 0);
            capture.SubLeaves(leaf, regs);
            if (leaf == 1) hypervisor = BitSet(regs.ECX, 31);
        }
    }
    return out;
}

namespace {

// Puts the thread's affinity back as found, however the capture ends.
class AffinityGuard {
public:
    explicit AffinityGuard(Platform& platform) : platform_(platform), original_(platform.ThreadAffinity()) {}
    ~AffinityGuard() {
        if (!original_.empty()) platform_.SetThreadAffinity(original_);
    }
    AffinityGuard(const AffinityGuard&) = delete;
    AffinityGuard& operator=(const AffinityGuard&) = delete;

private:
    Platform& platform_;
    const std::vector<unsigned> original_;
};

}  // namespace

std::vector<ProcessorCapture> CaptureProcessors(Platform& platform, const RegisterSource& source,
                                                const std::vector<unsigned>& processors) {
    std::vector<ProcessorCapture> out;
    out.reserve(processors.size());
    const AffinityGuard guard(platform);
    for (unsigned k : processors) {
        ProcessorCapture& c = out.emplace_back();
        c.processor = ProcessorNumber(k);
        c.status = RunPinned(platform, c.processor, [&] { c.dump = CaptureProcessor(source); });
        if (c.status != PinStatus::Stayed) c.dump = DumpProcessor{};
    }
    return out;
}

bool LacksSubLeaves(const ReplaySource& recorded, uint32_t leaf) {
    uint32_t missing = 0;  // the first sub-leaf asked for and not recorded; 0 for none
    EnumerateSubLeaves(leaf, recorded.Execute(leaf, 0), [&](uint32_t l, uint32_t i) {
        if (missing == 0 && !recorded.Recorded(l, i)) missing = i;
        return recorded.Execute(l, i);
    });
    if (missing == 0) return false;
    // A list that ends with a zero field: listings leave that last sub-leaf out, and a replay answers
    // it with zeros alike. Only a list cut off before its first further sub-leaf is known to lack one.
    const LeafRule* rule = RuleOf(leaf);
    return rule->rule != Rule::UntilZero || missing <= std::max<uint32_t>(rule->first, 1);
}

}  // namespace talvex
