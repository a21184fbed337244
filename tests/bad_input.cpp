#include "tests/bad_input.hpp"

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

std::string copy_of_data_folder() {
    const std::string dir = make_temp_dir();
    for (const char* name : {"ziriraza.3do", "gp2x.3do", "moonlark.mod"})
        fs::copy_file(fs::path(DATA_DIR) / name, fs::path(dir) / name);
    return dir;
}

namespace {

// The wrapper, then the program (under the cross build's emulator, which the wrapper could
// not know to use) and its arguments.
std::vector<std::string> wrapped(std::vector<std::string> command,
                                 const std::vector<std::string>& argv) {
    if (command.empty()) return argv;
    const std::vector<std::string> emulator = emulator_words(argv[0]);
    command.insert(command.end(), emulator.begin(), emulator.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

} // namespace

ProcessResult run_demo(const std::string& dir, int term_after_ms,
                       const std::vector<std::string>& wrapper) {
    return run_process(wrapped(wrapper, {DEMO_BIN}), dir, term_after_ms, 20000);
}

ProcessResult run_capture(const std::string& dir, const std::vector<std::string>& args,
                          const std::vector<std::string>& wrapper) {
    std::vector<std::string> argv = {CAPTURE_BIN, "--data", dir};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(wrapped(wrapper, argv), dir, -1, 60000);
}

bool exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}
