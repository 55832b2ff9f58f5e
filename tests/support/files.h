#pragma once
// Files the tests write and read back, in a directory of their own that goes with the test, and
// commands they run for their output.

#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/paths.h"

namespace talvex::testing {

// Throws, naming the file and the reason, when it cannot be read: a missing data file must fail
// the test that needs it, not pass as empty.
inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error(p.string() + ": " + std::strerror(errno));
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Spill(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A fresh directory under the system's temporary one, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "talvex-test-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        if (made == nullptr) throw std::runtime_error("cannot make a directory like " + pattern);
        path_ = made;
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Standard output of a shell command and its exit status; `status` -1 when it could not run.
struct Output {
    std::string text;
    int status = -1;
};

inline Output RunCommand(const std::string& command) {
    Output out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.text.append(buf, n);
    const int status = pclose(p);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

}  // namespace talvex::testing
