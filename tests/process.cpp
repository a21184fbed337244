#include "tests/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

std::vector<std::string> emulator_words([[maybe_unused]] const std::string& program) {
    std::vector<std::string> words;
#ifdef TARGET_EMULATOR
    if (program.rfind(TARGET_BIN_DIR "/", 0) == 0) {
        std::istringstream in(TARGET_EMULATOR);
        for (std::string word; in >> word;)
            words.push_back(word);
    }
#endif
    return words;
}

namespace {

using Clock = std::chrono::steady_clock;

// Starts argv (under the emulator its program needs) in folder cwd, its standard output and
// error going to out_fd and err_fd; 0 or the error number.
int spawn_child(pid_t& pid, const std::vector<std::string>& argv, const std::string& cwd,
                int out_fd, int err_fd) {
    std::vector<std::string> words = emulator_words(argv[0]);
    words.insert(words.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (const std::string& a : words)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// Reads whatever is ready on the open pipes; closes a pipe at its end (fd set to -1).
void read_pipes(int fds[2], std::string* texts[2], int wait_ms) {
    pollfd polls[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
    if (poll(polls, 2, wait_ms) <= 0) return;
    for (int i = 0; i < 2; ++i) {
        if (fds[i] < 0 || !(polls[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[65536];
        const ssize_t n = read(fds[i], buffer, sizeof buffer);
        if (n > 0) {
            texts[i]->append(buffer, static_cast<size_t>(n));
        } else {
            close(fds[i]);
            fds[i] = -1;
        }
    }
}

int status_of(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    return 128 + WTERMSIG(wait_status);
}

} // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          int term_after_ms, int timeout_ms) {
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return {};
    pid_t pid = -1;
    const int error = spawn_child(pid, argv, cwd, out_pipe[1], err_pipe[1]);
    close(out_pipe[1]);
    close(err_pipe[1]);

    ProcessResult result;
    if (error != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        result.err = "cannot start " + argv[0] + " in '" + cwd + "': " + std::strerror(error);
        return result;
    }
    int fds[2] = {out_pipe[0], err_pipe[0]};
    std::string* texts[2] = {&result.out, &result.err};
    const Clock::time_point start = Clock::now();
    bool termed = term_after_ms < 0;
    Clock::time_point deadline =
        start + std::chrono::milliseconds(timeout_ms + (termed ? 0 : term_after_ms));
    int wait_status = 0;
    while (waitpid(pid, &wait_status, WNOHANG) == 0) {
        read_pipes(fds, texts, 10);
        const Clock::time_point now = Clock::now();
        if (!termed && now >= start + std::chrono::milliseconds(term_after_ms)) {
            kill(pid, SIGTERM);
            termed = true;
            deadline = now + std::chrono::milliseconds(timeout_ms);
        }
        if (now >= deadline && !result.timed_out) {
            result.timed_out = true;
            kill(pid, SIGKILL);
        }
    }
    while (fds[0] >= 0 || fds[1] >= 0)
        read_pipes(fds, texts, 100);
    result.status = status_of(wait_status);
    return result;
}

std::string make_temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "moonlark-test-XXXXXX");
    return mkdtemp(pattern.data()) ? pattern : std::string();
}
