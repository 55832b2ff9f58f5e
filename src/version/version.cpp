#include "version/build_version.h"
