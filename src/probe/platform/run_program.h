#pragma once
// Runs another program and keeps what it writes to standard output: no shell, the arguments passed as
// they are, standard input empty, standard error discarded, messages in the C locale. The run ends
// within the time allowed whatever the program does: one that does not end, closes its output and
// goes on, or writes more than it may is killed, and so is anything it leaves running.

#include <chrono>
#include <string>
#include <vector>

namespace talvex {

struct ProgramRun {
    bool ran = false;        // it started and ended by itself within the time allowed
    bool timed_out = false;  // it was killed at the end of the time allowed
    int status = -1;         // its exit status when it ran; -1 when a signal ended it
    std::string out;         // its standard output
    std::string error;       // why it did not run: "cannot run gcc: No such file or directory"
};

// `program` is looked up in PATH unless it holds a '/'.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit = std::chrono::seconds(20), size_t max_out = 16u << 20);

// A time as RunProgram's messages give it: "20 s", "1.5 s", "300 ms".
std::string DurationText(std::chrono::milliseconds time);

}  // namespace talvex
