// Another program, run with posix_spawnp in a process group of its own, so that a time-out ends the
// compiler's own children (cc1) with it. Its end is watched through a pidfd beside its output, so that
// neither an output closed early nor one a child keeps open makes the wait outlast the limit; where
// pidfd_open is refused (an old seccomp profile), the end is looked for between short polls instead.
#include "probe/platform/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace talvex {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// How often the end is looked for without a pidfd.
constexpr milliseconds kPollSlice{10};

// The caller's environment with LC_ALL=C, so that what the program writes is not translated.
std::vector<std::string> CLocaleEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        if (strncmp(*e, "LC_ALL=", 7) != 0) env.emplace_back(*e);
    env.emplace_back("LC_ALL=C");
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (std::string& t : texts) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// Whether `pid` has ended, leaving it to be reaped (so that its number, and its process group's, stay
// taken until then).
bool Ended(pid_t pid) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) < 0)
        if (errno != EINTR) return true;
    return info.si_pid == pid;
}

// The program's output and its end, watched until one of them says it is over.
class Watch {
public:
    Watch(pid_t pid, int out, size_t max_out) : pid_(pid), out_(out), max_out_(max_out) {
#ifdef SYS_pidfd_open
        pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
    }
    ~Watch() {
        if (out_ >= 0) close(out_);
        if (pidfd_ >= 0) close(pidfd_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    enum class End { Exited, TimedOut, TooMuch };

    End Until(Clock::time_point deadline, std::string& text) {
        for (;;) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return End::TimedOut;
            pollfd fds[2];
            nfds_t n = 0;
            if (out_ >= 0) fds[n++] = {out_, POLLIN, 0};
            if (pidfd_ >= 0) fds[n++] = {pidfd_, POLLIN, 0};
            const milliseconds wait = pidfd_ >= 0 ? left : std::min(left, kPollSlice);
            if (poll(fds, n, static_cast<int>(wait.count())) < 0 && errno != EINTR) return End::TimedOut;
            if (out_ >= 0 && fds[0].revents != 0 && !Read(text, false)) return End::TooMuch;
            if (Ended(pid_)) return Read(text, true) ? End::Exited : End::TooMuch;
        }
    }

private:
    // One read (`drain`: all that is there, without waiting); false past the bound.
    bool Read(std::string& text, bool drain) {
        if (out_ < 0) return true;
        if (drain) fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
        char buffer[65536];
        do {
            const ssize_t got = read(out_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (got == 0 || errno != EAGAIN) {
                    close(out_);
                    out_ = -1;
                }
                return true;
            }
            text.append(buffer, static_cast<size_t>(got));
            if (text.size() > max_out_) return false;
        } while (drain);
        return true;
    }

    pid_t pid_;
    int out_;
    int pidfd_ = -1;
    size_t max_out_;
};

}  // namespace

std::string DurationText(milliseconds time) {
    if (time.count() % 1000 == 0) return std::to_string(time.count() / 1000) + " s";
    return std::to_string(time.count()) + " ms";
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, milliseconds limit,
                      size_t max_out) {
    ProgramRun run;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        run.error = "cannot run " + program + ": " + strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);

    std::vector<std::string> argv_text{program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<std::string> env_text = CLocaleEnvironment();
    std::vector<char*> argv = Pointers(argv_text), envp = Pointers(env_text);
    pid_t pid = -1;
    const auto deadline = Clock::now() + limit;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        run.error = "cannot run " + program + ": " + strerror(spawned);
        return run;
    }

    Watch::End end;
    {
        Watch watch(pid, pipe_fds[0], max_out);
        end = watch.Until(deadline, run.out);
    }
    // Whatever it left running goes with it. It is not reaped yet, so the group's number is still its.
    kill(-pid, SIGKILL);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (end != Watch::End::Exited) {
        run.out.clear();
        run.timed_out = end == Watch::End::TimedOut;
        run.error = end == Watch::End::TimedOut
                        ? program + " did not end within " + DurationText(limit)
                        : program + " wrote more than " + std::to_string(max_out) + " bytes";
        return run;
    }
    run.ran = true;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

}  // namespace talvex
