#pragma once
// Where the tests find the tree's data and the programs the build made. The build writes them into
// one source file of its own (built_paths.cpp, in the build folder) instead of every compile
// command, so that a clone elsewhere compiles to the same objects and a compiler cache gives them
// back.

namespace talvex::testing::built {
extern const char* const kDumpsDir;          // tests/data/cpuid-dumps
extern const char* const kMachinesDir;       // tests/data/machines
extern const char* const kExtraMachinesDir;  // TALVEX_EXTRA_MACHINES_DIR, "" when not given
extern const char* const kTestsDir;          // tests/
extern const char* const kReportExe;         // talvex-report
extern const char* const kExe;               // talvex, "" without the window
}  // namespace talvex::testing::built

#define TALVEX_DUMPS_DIR (::talvex::testing::built::kDumpsDir)
#define TALVEX_MACHINES_DIR (::talvex::testing::built::kMachinesDir)
#define TALVEX_EXTRA_MACHINES_DIR (::talvex::testing::built::kExtraMachinesDir)
#define TALVEX_TESTS_DIR (::talvex::testing::built::kTestsDir)
#define TALVEX_REPORT_EXE (::talvex::testing::built::kReportExe)
#define TALVEX_EXE (::talvex::testing::built::kExe)
