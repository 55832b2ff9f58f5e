#pragma once
// Leaves as the processor details read them: a leaf above the highest leaf of its bounded range
// (standard, extended, Transmeta, Centaur; kLeafRanges) reads as four zeros, whatever the processor would answer for it.
// The range tops are read once, when the reader is made; a leaf is executed when first asked for,
// and the last few answers are kept, so that one record costs each (leaf, sub-leaf) one execution
// (each traps to the hypervisor in a virtual machine). The reader lives for one record only.

#include <algorithm>
#include <array>
#include <cstdint>

#include "probe/leaves/feature_names.h"
#include "probe/platform/cpuid.h"

namespace talvex {

class LeafReader {
public:
    explicit LeafReader(const RegisterSource& source) : source_(source) {
        if (!source.HasCPUID()) return;
        has_cpuid_ = true;
        for (const LeafRange& range : kLeafRanges) {
            if (!range.bounded) continue;
            answers_[next_] = {true, range.base, 0, source.Execute(range.base, 0)};
            tops_[next_] = {range.base, answers_[next_].regs.EAX};
            ++next_;
        }
    }

    // Leaves outside the bounded ranges (the hypervisor's 0x4000xxxx) have no top here: always read.
    bool InRange(uint32_t leaf) const {
        if (!has_cpuid_) return false;
        for (const Top& t : tops_)
            if (t.base == (leaf & 0xFFFF0000u)) return leaf <= t.top;
        return true;
    }

    TCPUIDRegs Read(uint32_t leaf, uint32_t subleaf = 0) const {
        if (!InRange(leaf)) return {};
        for (const Answer& a : answers_)
            if (a.known && a.leaf == leaf && a.subleaf == subleaf) return a.regs;
        Answer& a = answers_[next_++ % answers_.size()];
        a = {true, leaf, subleaf, source_.Execute(leaf, subleaf)};
        return a.regs;
    }

    // One register of a leaf, as the feature tables name it.
    uint32_t Read(const FeatureRegister& r) const {
        return RegisterOf(Read(r.leaf, r.subleaf), static_cast<unsigned>(r.reg));
    }

private:
    struct Answer {
        bool known = false;
        uint32_t leaf = 0, subleaf = 0;
        TCPUIDRegs regs;
    };

    const RegisterSource& source_;
    mutable std::array<Answer, 16> answers_{};
    mutable size_t next_ = 0;
    bool has_cpuid_ = false;
    struct Top {
        uint32_t base = 0, top = 0;
    };
    static constexpr size_t kBounded =
        std::count_if(kLeafRanges.begin(), kLeafRanges.end(), [](const LeafRange& r) { return r.bounded; });
    std::array<Top, kBounded> tops_{};
};

}  // namespace talvex
