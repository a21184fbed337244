#pragma once
// Loading the music module, shared by the demo and the capture tool (both link libmikmod).
#include <mikmod.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

// The module, read from the current folder.
inline constexpr const char* MUSIC_FILE = "moonlark.mod";

// Loads the module with the demo's settings: 64 voices, no hidden patterns. Without a module
// returns nullptr and sets problem to one line naming the file and the reason.
inline MODULE* load_music_module(const char* file, std::string& problem) {
    if (MODULE* module = Player_Load(file, 64, 0)) return module;
    const std::string reason = MikMod_strerror(MikMod_errno);
    std::FILE* readable = std::fopen(file, "rb");
    if (!readable) {
        problem = std::string(file) + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    std::fclose(readable);
    problem = std::string(file) + ": not a module the music library reads (" + reason + ")";
    return nullptr;
}
