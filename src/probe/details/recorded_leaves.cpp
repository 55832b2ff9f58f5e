#include "probe/details/recorded_leaves.h"

#include <algorithm>

namespace talvex {

std::vector<DecodedLeaf> DecodeRecordedLeaves(const DumpProcessor& processor) {
    // Sorted once: the context's few leaves are looked up in the same list the decoding walks.
    const std::vector<DumpLeaf> sorted = SortedLeaves(processor);
    const FieldContext context = ReadFieldContext([&](uint32_t leaf) {
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), leaf,
                                         [](const DumpLeaf& l, uint32_t key) { return l.leaf < key; });
        return it != sorted.end() && it->leaf == leaf && it->subleaf == 0 ? it->regs : TCPUIDRegs{};
    });
    std::vector<DecodedLeaf> leaves;
    leaves.reserve(sorted.size());
    for (const DumpLeaf& l : sorted) leaves.push_back(DecodeLeaf(context, l.leaf, l.subleaf, l.regs));
    return leaves;
}

}  // namespace talvex
