#include "probe/uarch.h"

namespace talvex {

std::optional<UarchName> IdentifyMicroarchitecture(const UarchQuery&) { return std::nullopt; }

}  // namespace talvex
