#pragma once
// Runs another program and keeps what it writes to standard output: no shell, the arguments passed as
// they are, standard input empty, standard error discarded, messages in the C locale. A program that
// does not end within the time allowed, or writes more than it may, is killed with its children.

#include <chrono>
#include <string>
#include <vector>

namespace talvex {

struct ProgramRun {
    bool ran = false;   // it started and ended by itself
    int status = -1;    // its exit status when it ran; -1 when a signal ended it
    std::string out;    // its standard output
    std::string error;  // why it did not run: "cannot run gcc: No such file or directory"
};

// `program` is looked up in PATH unless it holds a '/'.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit = std::chrono::seconds(20), size_t max_out = 16u << 20);

}  // namespace talvex
