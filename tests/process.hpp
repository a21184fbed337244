#pragma once
// Runs the project's programs from the end-to-end tests.
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1; // exit status, or 128 + signal number
    bool timed_out = false;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs argv[0] with its arguments in folder cwd ("" for the current one). When term_after_ms
// is not negative, sends SIGTERM that long after the start. The process is killed, and
// timed_out set, when it has not ended timeout_ms after the start (or after the SIGTERM). One
// that cannot be started has status -1, and err says why.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& cwd,
                          int term_after_ms = -1, int timeout_ms = 600000);

// The words that start a program: in a cross build whose tests run under a user-mode emulator,
// the build's own programs (in TARGET_BIN_DIR) are foreign binaries too and need the same
// emulator (TARGET_EMULATOR, words separated by spaces). Host programs start directly. Used by
// run_process, and by tests that start the build's programs through a host program (env).
std::vector<std::string> emulator_words(const std::string& program);

// A fresh empty folder under the system's temporary folder.
std::string make_temp_dir();
