// A processor whose every register comes from the fuzzer's bytes: the naming, the caches, the data
// load, the five flag panels and the report must finish, and the report stay within its bound; the
// processor details must stay bounded and their text and JSON valid UTF-8 without a raw control byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "main/report/details_json.h"
#include "main/report/details_text.h"
#include "main/report/load_data.h"
#include "main/report/output_text.h"
#include "main/report/report.h"
#include "probe/details/details.h"
#include "probe/platform/cpuid.h"
#include "probe/tables/cache.h"
#include "probe/tables/flags.h"
#include "probe/tables/naming.h"
#include "support/fakes.h"

namespace {

using talvex::TCPUIDRegs;

// Leaves are answered from a pool of bytes; the base leaves of the four ranges report highest
// leaves taken from the head of the input, biased towards the interesting edges.
class FuzzSource final : public talvex::RegisterSource {
public:
    FuzzSource(const uint8_t* data, size_t size) {
        auto take32 = [&](uint32_t fallback) {
            if (size < 4) return fallback;
            uint32_t v;
            std::memcpy(&v, data, 4);
            data += 4;
            size -= 4;
            return v;
        };
        has_cpuid_ = size == 0 || (data[0] & 1u) == 0;
        if (size > 0) {
            mode_ = data[0];
            ++data;
            --size;
        }
        const uint32_t bases[4] = {0x00000000, 0x80000000, 0x80860000, 0xC0000000};
        for (int i = 0; i < 4; ++i) {
            const uint32_t raw = take32(0);
            // Half the time a small distance above the base, otherwise the raw value.
            tops_[i] = ((mode_ >> (i + 1)) & 1u) ? bases[i] + (raw & 0x3F) : raw;
        }
        pool_.assign(data, data + size);
    }

    bool HasCPUID() const override { return has_cpuid_; }

    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        TCPUIDRegs r = Pool(leaf, subleaf);
        if (leaf == 0x00000000) r.EAX = tops_[0];
        if (leaf == 0x80000000) r.EAX = tops_[1];
        if (leaf == 0x80860000) r.EAX = tops_[2];
        if (leaf == 0xC0000000) r.EAX = tops_[3];
        return r;
    }

private:
    // Sub-leaf 0 answers as before sub-leaves were fuzzed, so the existing corpus keeps its meaning.
    TCPUIDRegs Pool(uint32_t leaf, uint32_t subleaf) const {
        TCPUIDRegs r;
        if (pool_.empty()) return r;
        uint32_t* regs[] = {&r.EAX, &r.EBX, &r.ECX, &r.EDX};
        const size_t start =
            (static_cast<size_t>(leaf) * 2654435761u + static_cast<size_t>(subleaf) * 40503u) % pool_.size();
        for (size_t i = 0; i < 16; ++i)
            *regs[i / 4] |= static_cast<uint32_t>(pool_[(start + i) % pool_.size()]) << (8 * (i % 4));
        return r;
    }

    bool has_cpuid_ = true;
    uint8_t mode_ = 0;
    uint32_t tops_[4] = {};
    std::vector<uint8_t> pool_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSource source(data, size);
    talvex::testing::FakePlatform os;
    os.live_clock = false;
    const talvex::Probe probe{source, os};

    (void)talvex::GetProcessorName(probe);
    talvex::TCacheInfo caches;
    talvex::GetCacheInfo(probe, caches);
    talvex::RecordingSink sink;
    talvex::LoadData(probe, sink, ".");
    for (const auto& reg : talvex::kFlagRegisters) (void)talvex::ReadFlagRegister(probe, reg.id);

    std::string report;
    talvex::BuildReport(probe, report, ".");
    // Fixed lines (name, clock, caches, vendor, signature, extended, summary, heading) are a few
    // hundred bytes; each range dumps at most kMaxLeavesPerRange leaves of five short lines.
    const size_t leaf_bytes = 5 * 16;
    const size_t bound = 4096 + 4 * talvex::kMaxLeavesPerRange * leaf_bytes;
    if (report.size() > bound) __builtin_trap();

    // Two processors of the same registers: the per-processor table and the cache sharing run too.
    const std::vector<talvex::ProcessorDetails> details{
        talvex::GetProcessorDetails(probe, talvex::ProcessorNumber(0)),
        talvex::GetProcessorDetails(probe, talvex::ProcessorNumber(1))};
    if (details[0].caches.size() > talvex::kMaxCaches) __builtin_trap();
    const talvex::CacheSharing sharing(details);
    for (size_t i = 0; i < details[0].caches.size(); ++i)
        if (sharing.Of(0, i).size() > 2) __builtin_trap();
    const std::string text = talvex::DetailsText(details);
    const std::string json = talvex::DetailsJson(details);
    if (!talvex::IsValidUtf8(text) || !talvex::IsValidUtf8(json)) __builtin_trap();
    for (const std::string* out : {&text, &json})
        for (char c : *out)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n') __builtin_trap();
    return 0;
}
