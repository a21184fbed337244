#include "tools/capture/data_dir.hpp"

#include <filesystem>

namespace fs = std::filesystem;

std::string default_data_dir() {
    std::error_code error;
    const fs::path tool = fs::read_symlink("/proc/self/exe", error);
    if (error) return MOONLARK_DATA_DIR;
    const fs::path folder = tool.parent_path();
    if (fs::equivalent(folder, MOONLARK_DATA_DIR, error)) return MOONLARK_DATA_DIR;
    return (folder / MOONLARK_INSTALLED_DATA).lexically_normal().string();
}
