#include "probe/cpuid.h"
