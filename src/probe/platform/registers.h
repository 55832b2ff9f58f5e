#pragma once
// The one door to the processor: a source that executes one CPUID leaf for one sub-leaf.
// The hardware and a replayed dump are the two real sources; tests add their own.

#include <cstdint>

namespace talvex {

// The four registers one CPUID execution leaves, in this order.
struct TCPUIDRegs {
    uint32_t EAX = 0;
    uint32_t EBX = 0;
    uint32_t ECX = 0;
    uint32_t EDX = 0;

    friend bool operator==(const TCPUIDRegs&, const TCPUIDRegs&) = default;
};

// Register `index` of `r`: 0 EAX, 1 EBX, 2 ECX, 3 EDX.
constexpr uint32_t RegisterOf(const TCPUIDRegs& r, unsigned index) {
    switch (index) {
    case 0: return r.EAX;
    case 1: return r.EBX;
    case 2: return r.ECX;
    default: return r.EDX;
    }
}

class RegisterSource {
public:
    virtual ~RegisterSource() = default;
    // False when the processor has no CPUID instruction (the ID flag cannot be toggled).
    virtual bool HasCPUID() const = 0;
    virtual TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const = 0;
};

// Executes the instruction on the processor the calling thread runs on.
class HardwareSource final : public RegisterSource {
public:
    bool HasCPUID() const override;
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override;
};

}  // namespace talvex
