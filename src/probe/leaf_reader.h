#pragma once
// Leaves as the processor details read them: a leaf above the highest leaf of its range (standard,
// extended, Transmeta, Centaur) reads as four zeros, whatever the processor would answer for it.
// The range tops are read once, when the reader is made; a leaf is executed when first asked for,
// and the last few answers are kept, so that one record costs each (leaf, sub-leaf) one execution
// (each traps to the hypervisor in a virtual machine). The reader lives for one record only.

#include <array>
#include <cstdint>

#include "probe/cpuid.h"

namespace talvex {

class LeafReader {
public:
    explicit LeafReader(const RegisterSource& source) : source_(source) {
        if (!source.HasCPUID()) return;
        has_cpuid_ = true;
        const uint32_t bases[4] = {kStandardBase, kExtendedBase, kTransmetaBase, kCentaurBase};
        for (size_t i = 0; i < 4; ++i) {
            answers_[i] = {true, bases[i], 0, source.Execute(bases[i], 0)};
            tops_[i] = answers_[i].regs.EAX;
        }
        next_ = 4;
    }

    // Leaves outside the four ranges (the hypervisor's 0x4000xxxx) have no top here: always read.
    bool InRange(uint32_t leaf) const {
        if (!has_cpuid_) return false;
        switch (leaf & 0xFFFF0000u) {
        case kStandardBase: return leaf <= tops_[0];
        case kExtendedBase: return leaf <= tops_[1];
        case kTransmetaBase: return leaf <= tops_[2];
        case kCentaurBase: return leaf <= tops_[3];
        default: return true;
        }
    }

    TCPUIDRegs Read(uint32_t leaf, uint32_t subleaf = 0) const {
        if (!InRange(leaf)) return {};
        for (const Answer& a : answers_)
            if (a.known && a.leaf == leaf && a.subleaf == subleaf) return a.regs;
        Answer& a = answers_[next_++ % answers_.size()];
        a = {true, leaf, subleaf, source_.Execute(leaf, subleaf)};
        return a.regs;
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
    uint32_t tops_[4] = {};
};

}  // namespace talvex
