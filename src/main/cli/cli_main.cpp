#include <unistd.h>

#include "main/cli/cli.h"

// No C++ streams: their start-up (the locale's facets) would cost more than a replay itself.
int main(int argc, char** argv) { return talvex::cli::Run(argc, argv, STDOUT_FILENO, STDERR_FILENO); }
