#pragma once
// Every leaf a processor's record holds, decoded field by field through the field table: the leaves
// in ascending order of leaf and sub-leaf, as a replay answers them.

#include <vector>

#include "probe/dump/dump.h"
#include "probe/leaves/fields.h"

namespace talvex {

std::vector<DecodedLeaf> DecodeRecordedLeaves(const DumpProcessor& processor);

}  // namespace talvex
