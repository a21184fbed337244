#include "shell/music.hpp"

#include <mikmod.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t BYTES_PER_SAMPLE_FRAME = 4; // 16-bit stereo

bool started = false;       // the library is initialised
MODULE* module = nullptr;   // the module playing, or none
std::string module_problem; // why there is no module, "" while there is one
uint64_t mixed = 0;         // sample frames pulled so far
std::vector<int16_t> buffer;

// The library keeps one list of drivers and one of loaders for the process, and registering a
// loader twice would link it to itself: once each, on the first start.
void register_drivers_and_loaders(MusicOutput output) {
    static bool registered = false;
    if (registered) return;
    registered = true;
    if (output == MusicOutput::DEVICE)
        MikMod_RegisterAllDrivers();
    else
        MikMod_RegisterDriver(&drv_nos); // mixes in software, writes nowhere: we pull the mix
    MikMod_RegisterAllLoaders();
}

// The module with the demo's settings: MUSIC_VOICES voices, no hidden patterns. Without one,
// module_problem says why.
MODULE* load_module() {
    if (MODULE* loaded = Player_Load(MUSIC_FILE, MUSIC_VOICES, 0)) return loaded;
    const std::string reason = MikMod_strerror(MikMod_errno);
    if (std::FILE* readable = std::fopen(MUSIC_FILE, "rb")) {
        std::fclose(readable);
        module_problem =
            std::string(MUSIC_FILE) + ": not a module the music library reads (" + reason + ")";
    } else {
        module_problem = std::string(MUSIC_FILE) + ": cannot open: " + std::strerror(errno);
    }
    return nullptr;
}

void append_le(const int16_t* samples, size_t count, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < count; ++i) {
        const auto value = static_cast<uint16_t>(samples[i]);
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    }
}

} // namespace

std::string start_music(MusicOutput output) {
    register_drivers_and_loaders(output);
    md_mode |= DMODE_SOFT_MUSIC;
    if (output == MusicOutput::PULLED) md_mode |= DMODE_16BITS | DMODE_STEREO;
    if (MikMod_Init("") != 0) return MikMod_strerror(MikMod_errno);
    // Finding no device at all (the handheld's build has OSS alone), the library settles on its
    // no-sound driver, which plays to nowhere: that is no sound device either.
    if (output == MusicOutput::DEVICE && md_driver == &drv_nos) {
        MikMod_Exit();
        return MikMod_strerror(MMERR_DETECTING_DEVICE);
    }
    started = true;
    mixed = 0;
    module_problem.clear();
    module = load_module();
    if (module) Player_Start(module);
    return "";
}

const std::string& music_module_problem() {
    return module_problem;
}

void advance_music() {
    if (module && Player_Active()) MikMod_Update();
}

uint32_t music_rate() {
    return md_mixfreq;
}

void mix_music_until(uint64_t end, std::vector<uint8_t>& out) {
    if (end <= mixed) return;
    const size_t frames = static_cast<size_t>(end - mixed);
    buffer.assign(frames * 2, 0);
    if (module && Player_Active())
        VC_WriteBytes(reinterpret_cast<SBYTE*>(buffer.data()),
                      static_cast<ULONG>(frames * BYTES_PER_SAMPLE_FRAME));
    append_le(buffer.data(), buffer.size(), out);
    mixed = end;
}

int32_t music_position() {
    if (!module || !Player_Active()) return -1;
    return Player_GetOrder() * 256 + Player_GetRow();
}

void stop_music() {
    if (!started) return;
    Player_Stop();
    Player_Free(module);
    module = nullptr;
    MikMod_Exit();
    started = false;
}
