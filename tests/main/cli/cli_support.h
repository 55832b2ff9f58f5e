#pragma once
// Runs the built talvex-report through the shell, as a user would, and keeps what it wrote.

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "probe/platform/platform.h"
#include "support/files.h"

namespace talvex::testing {

struct Result {
    int status = -1;
    std::string out, err;
};

// The processors this process may run on, numbered from 0 as `taskset` numbers them.
inline std::vector<unsigned> AllowedProcessors() { return LinuxPlatform().ThreadAffinity(); }

// Runs `prefix talvex-report args...` (each argument single-quoted, so it arrives as written) with
// `stdin_text` as standard input. `prefix` is shell text such as "taskset -c 0".
inline Result Exec(const std::vector<std::string>& args, const std::string& stdin_text = "",
                   const std::string& prefix = "") {
    TempDir dir;
    std::string cmd = prefix + " " + TALVEX_REPORT_EXE;
    for (const std::string& a : args) cmd += " '" + a + "'";
    Spill(dir / "in", stdin_text);
    cmd += " <" + (dir / "in").string() + " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir / "out"), Slurp(dir / "err")};
}

}  // namespace talvex::testing
