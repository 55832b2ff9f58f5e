#pragma once
// The vendors by the vendor text of leaf 0, and the hypervisors by theirs: one table each for the window's naming, the processor
// details and the microarchitecture table. Each text is compared whole and exactly.

#include <array>
#include <cstdint>
#include <string_view>

namespace talvex {

// Texts that name one maker but are answered differently keep apart: the window's naming knows
// neither AMD's early samples nor Transmeta's early text nor Zhaoxin's.
enum class Vendor : uint8_t {
    Unknown,
    Intel,
    AMD,
    AMDSample,
    Hygon,
    UMC,
    Cyrix,
    NexGen,
    Centaur,
    Zhaoxin,
    Rise,
    Transmeta,
    TransmetaEarly,
    SiS,
    NSC,
    Compaq,
    Connectix,
    DMP
};

struct VendorKey {
    std::string_view text;
    Vendor vendor;
};

// clang-format off
inline constexpr auto kVendorKeys = std::to_array<VendorKey>({
    // text             vendor
    {"GenuineIntel",    Vendor::Intel},
    {"AuthenticAMD",    Vendor::AMD},
    {"AMDisbetter!",    Vendor::AMDSample},
    {"AMD ISBETTER",    Vendor::AMDSample},
    {"HygonGenuine",    Vendor::Hygon},
    {"UMC UMC UMC ",    Vendor::UMC},
    {"CyrixInstead",    Vendor::Cyrix},
    {"NexGenDriven",    Vendor::NexGen},
    {"CentaurHauls",    Vendor::Centaur},
    {"  Shanghai  ",    Vendor::Zhaoxin},
    {"RiseRiseRise",    Vendor::Rise},
    {"GenuineTMx86",    Vendor::Transmeta},
    {"TransmetaCPU",    Vendor::TransmetaEarly},
    {"SiS SiS SiS ",    Vendor::SiS},
    {"Geode by NSC",    Vendor::NSC},
    {"Compaq FX!32",    Vendor::Compaq},
    {"ConnectixCPU",    Vendor::Connectix},
    {"Vortex86 SoC",    Vendor::DMP},
});
// clang-format on

constexpr Vendor VendorOf(std::string_view text) {
    for (const VendorKey& k : kVendorKeys)
        if (k.text == text) return k.vendor;
    return Vendor::Unknown;
}

// AMD's and Hygon's processors share AMD's leaves (0x8000001D, 0x8000001E, 0x80000026).
constexpr bool IsAmdOrHygon(Vendor vendor) { return vendor == Vendor::AMD || vendor == Vendor::Hygon; }

// Whose leaves a hypervisor answers from 0x40000001 on, for the field table's rows of that range.
enum class HypervisorInterface : uint8_t { KVM, HyperV, Xen, VMware, Other };

// Hypervisors by the vendor text of leaf 0x40000000 (EBX, ECX, EDX up to the first zero byte).
struct HypervisorVendor {
    std::string_view vendor;
    const char* name;
    HypervisorInterface leaves;
};
// clang-format off
inline constexpr HypervisorVendor kHypervisorVendors[] = {
    // vendor text        name                        leaves from 0x40000001
    {"KVMKVMKVM",         "KVM",                      HypervisorInterface::KVM},
    {"Linux KVM Hv",      "KVM (Hyper-V interface)",  HypervisorInterface::HyperV},
    {"Microsoft Hv",      "Microsoft Hyper-V",        HypervisorInterface::HyperV},
    {"VMwareVMware",      "VMware",                   HypervisorInterface::VMware},
    {"XenVMMXenVMM",      "Xen",                      HypervisorInterface::Xen},
    {"TCGTCGTCGTCG",      "QEMU TCG",                 HypervisorInterface::Other},
    {"VBoxVBoxVBox",      "VirtualBox",               HypervisorInterface::Other},
    {"bhyve bhyve ",      "bhyve",                    HypervisorInterface::Other},
    {"ACRNACRNACRN",      "ACRN",                     HypervisorInterface::Other},
    {" lrpepyh  vr",      "Parallels",                HypervisorInterface::Other},
    {"prl hyperv  ",      "Parallels",                HypervisorInterface::Other},
    {"QNXQVMBSQG",        "QNX Hypervisor",           HypervisorInterface::Other},
    {"Jailhouse",         "Jailhouse",                HypervisorInterface::Other},
    {"HAXMHAXMHAXM",      "Intel HAXM",               HypervisorInterface::Other},
    {"EVMMEVMMEVMM",      "Intel KGT",                HypervisorInterface::Other},
};
// clang-format on

// The hypervisor's name for its vendor text; nullptr when the text is not known.
constexpr const char* HypervisorName(std::string_view vendor) {
    for (const HypervisorVendor& h : kHypervisorVendors)
        if (h.vendor == vendor) return h.name;
    return nullptr;
}

}  // namespace talvex
