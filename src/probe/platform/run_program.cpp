// Another program, run with posix_spawnp in a process group of its own, so that a time-out ends the
// compiler's own children (cc1) with it.
#include "probe/platform/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace talvex {

namespace {

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

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit, size_t max_out) {
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
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        run.error = "cannot run " + program + ": " + strerror(spawned);
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{pipe_fds[0], POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            killed = true;
            run.error = program + " did not end within " + std::to_string(limit.count() / 1000) + " s";
            break;
        }
        const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.out.append(buffer, static_cast<size_t>(n));
        if (run.out.size() > max_out) {
            killed = true;
            run.error = program + " wrote more than " + std::to_string(max_out) + " bytes";
            break;
        }
    }
    close(pipe_fds[0]);
    if (killed) kill(-pid, SIGKILL);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (killed) {
        run.out.clear();
        return run;
    }
    run.ran = true;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

}  // namespace talvex
