// Features of machines, merged across vendors where one feature has two bits.
#include "probe/fleet/features.h"

namespace talvex {

MachineFeatureSet MachineFeaturesOf(const FeatureSet& names) {
    MachineFeatureSet set;
    for (size_t f = 0; f < kMachineFeatures.size(); ++f) {
        const MachineFeature& m = kMachineFeatures[f];
        set[f] = names[m.rows[0]] || (m.count > 1 && names[m.rows[1]]);
    }
    return set;
}

std::string MachineFeatureName(size_t feature, const FeatureSet& names) {
    const MachineFeature& m = kMachineFeatures[feature];
    bool any = false;
    for (size_t k = 0; k < m.count; ++k) any = any || names[m.rows[k]];
    std::string out;
    for (size_t k = 0; k < m.count; ++k) {
        if (any && !names[m.rows[k]]) continue;
        if (!out.empty()) out += '/';
        out += kFeatureNames[m.rows[k]].name.view();
    }
    return out;
}

}  // namespace talvex
