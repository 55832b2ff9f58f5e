#include "probe/details/recorded_leaves.h"

namespace talvex {

std::vector<DecodedLeaf> DecodeRecordedLeaves(const DumpProcessor& processor) {
    const ReplaySource source(processor);
    const FieldContext context = ReadFieldContext([&](uint32_t leaf) { return source.Execute(leaf, 0); });
    std::vector<DecodedLeaf> leaves;
    for (const DumpLeaf& l : SortedLeaves(processor))
        leaves.push_back(DecodeLeaf(context, l.leaf, l.subleaf, l.regs));
    return leaves;
}

}  // namespace talvex
