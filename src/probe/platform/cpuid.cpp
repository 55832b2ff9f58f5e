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

InlineText<48> RegisterText(std::initializer_list<uint32_t> regs, TextEnd end) {
    const size_t piece = static_cast<size_t>(end);
    char bytes[48];
    size_t n = 0, index = 0;
    bool ended = false;  // the current piece met its zero byte
    for (uint32_t reg : regs) {
        if (index++ % piece == 0) ended = false;
        for (unsigned i = 0; i < 4 && !ended && n < sizeof bytes; ++i) {
            const char c = static_cast<char>((reg >> (8 * i)) & 0xFFu);
            ended = c == '\0';
            if (!ended) bytes[n++] = c;
        }
    }
    return InlineText<48>(std::string_view(bytes, n));
}

std::string VendorText(const TCPUIDRegs& leaf0) {
    return std::string(RegisterText({leaf0.EBX, leaf0.EDX, leaf0.ECX}, TextEnd::Register).view());
}

std::string QueryVendorText(const Probe& probe) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, 0, r) != kCPUIDOk) return "Unknown";
    return VendorText(r);
}

std::optional<std::string> QueryBrandText(const Probe& probe) {
    TCPUIDRegs r;
    if (ReadCPUID(probe, kExtendedBase, r) != kCPUIDOk || r.EAX < 0x80000004) return std::nullopt;
    TCPUIDRegs b[3];
    for (uint32_t i = 0; i < 3; ++i) ReadCPUID(probe, 0x80000002 + i, b[i]);
    return std::string(RegisterText({b[0].EAX, b[0].EBX, b[0].ECX, b[0].EDX, b[1].EAX, b[1].EBX, b[1].ECX,
                                     b[1].EDX, b[2].EAX, b[2].EBX, b[2].ECX, b[2].EDX},
                                    TextEnd::Leaf)
                           .view());
}

}  // namespace talvex
