#include "probe/platform/processor_number.h"

namespace talvex {

std::vector<ProcessorNumber> OsProcessors(const std::vector<unsigned>& os_numbers) {
    std::vector<ProcessorNumber> processors;
    processors.reserve(os_numbers.size());
    for (unsigned k : os_numbers) processors.emplace_back(k);
    return processors;
}

std::string ProcessorList(std::span<const ProcessorNumber> processors) {
    std::string out;
    for (size_t i = 0; i < processors.size();) {
        size_t j = i;
        while (j + 1 < processors.size() && processors[j + 1].os() == processors[j].os() + 1) ++j;
        if (!out.empty()) out += ',';
        out += Decimal(processors[i].counted());
        if (j > i) out += '-' + Decimal(processors[j].counted());
        i = j + 1;
    }
    return out;
}

}  // namespace talvex
