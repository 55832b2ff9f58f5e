#include "probe/platform/cpuid.h"

namespace talvex {

int ReadCPUID(const Probe& probe, uint32_t leaf, TCPUIDRegs& regs) {
    if (!probe.source.HasCPUID()) return kCPUIDMissing;
    const TCPUIDRegs leaf0 = probe.source.Execute(0, 0);
    // Signed on purpose: leaves from 0x80000000 up are negative and never refused here.
    if (static_cast<int32_t>(leaf) > static_cast<int32_t>(leaf0.EAX)) return kCPUIDBeyondMax;
    // Sub-leaf 0 for every leaf, so leaves that take a sub-leaf in ECX answer their first one.
    regs = leaf == 0 ? leaf0 : probe.source.Execute(leaf, 0);
    return kCPUIDOk;
}

bool HasTimeStampCounter(const Probe& probe) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0, r) != kCPUIDOk || r.EAX == 0) return false;
    if (ReadCPUID(probe, 1, r) != kCPUIDOk) return false;
    return BitSet(r.EDX, 4);
}

uint32_t GetLogicalProcessorCount(const Probe& probe) {
    const TCPUIDRegs r = probe.source.HasCPUID() ? probe.source.Execute(1, 0) : TCPUIDRegs{};
    return BitSet(r.EDX, 28) ? Bits(r.EBX, 23, 16) : 0;
}

bool HasFrequencyControl(const Probe& probe) {
    const TCPUIDRegs r = probe.source.HasCPUID() ? probe.source.Execute(0x80000007, 0) : TCPUIDRegs{};
    return BitSet(r.EDX, 1);
}

bool RangePresent(const Probe& probe, uint32_t base) {
    TCPUIDRegs r;
    return ReadCPUID(probe, base, r) == kCPUIDOk && r.EAX > base;
}

uint32_t RangeTop(const Probe& probe, uint32_t base) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, base, r) == kCPUIDOk && r.EAX > base) return r.EAX;
    return base;
}

namespace {
void AppendRegister(std::string& out, uint32_t reg) {
    for (unsigned i = 0; i < 4; ++i) {
        const char c = static_cast<char>((reg >> (8 * i)) & 0xFFu);
        if (c == '\0') return;
        out.push_back(c);
    }
}
}  // namespace

std::string VendorText(const TCPUIDRegs& leaf0) {
    std::string text;
    AppendRegister(text, leaf0.EBX);
    AppendRegister(text, leaf0.EDX);
    AppendRegister(text, leaf0.ECX);
    return text;
}

std::string QueryVendorText(const Probe& probe) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0, r) != kCPUIDOk) return "Unknown";
    return VendorText(r);
}

std::string BrandPiece(const TCPUIDRegs& regs) {
    // The 16 bytes are one string: the first zero byte ends the whole piece.
    std::string piece;
    for (uint32_t reg : {regs.EAX, regs.EBX, regs.ECX, regs.EDX}) {
        for (unsigned i = 0; i < 4; ++i) {
            const char c = static_cast<char>((reg >> (8 * i)) & 0xFFu);
            if (c == '\0') return piece;
            piece.push_back(c);
        }
    }
    return piece;
}

std::string QueryBrandText(const Probe& probe) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0x80000000, r) != kCPUIDOk || r.EAX < 0x80000004) return {};
    std::string text;
    for (uint32_t leaf = 0x80000002; leaf <= 0x80000004; ++leaf) {
        TCPUIDRegs b;
        ReadCPUID(probe, leaf, b);
        text += BrandPiece(b);
    }
    return text;
}

}  // namespace talvex
