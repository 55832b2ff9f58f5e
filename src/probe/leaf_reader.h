#pragma once
// Leaves as the processor details read them: a leaf above the highest leaf of its range (standard,
// extended, Transmeta, Centaur) reads as four zeros, whatever the processor would answer for it.
// The range tops are read once, when the reader is made; every leaf is executed when asked for.

#include <cstdint>

#include "probe/cpuid.h"

namespace talvex {

class LeafReader {
public:
    explicit LeafReader(const RegisterSource& source) : source_(source) {
        if (!source.HasCPUID()) return;
        has_cpuid_ = true;
        tops_[0] = source.Execute(kStandardBase, 0).EAX;
        tops_[1] = source.Execute(kExtendedBase, 0).EAX;
        tops_[2] = source.Execute(kTransmetaBase, 0).EAX;
        tops_[3] = source.Execute(kCentaurBase, 0).EAX;
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
        return InRange(leaf) ? source_.Execute(leaf, subleaf) : TCPUIDRegs{};
    }

private:
    const RegisterSource& source_;
    bool has_cpuid_ = false;
    uint32_t tops_[4] = {};
};

}  // namespace talvex
