#include "tools/capture/music.hpp"

#include "shell/music_file.hpp"

#include <mikmod.h>

namespace {

constexpr uint32_t BYTES_PER_SAMPLE_FRAME = 4; // 16-bit stereo

MODULE* module = nullptr;
std::string module_problem; // why there is no module, "" while there is one
uint64_t mixed = 0;         // sample frames produced so far
std::vector<int16_t> buffer;

void append_le(const int16_t* samples, size_t count, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < count; ++i) {
        const auto value = static_cast<uint16_t>(samples[i]);
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    }
}

} // namespace

uint32_t music_rate() {
    return md_mixfreq;
}

std::string start_music(const char* module_file) {
    MikMod_RegisterDriver(&drv_nos); // mixes in software, writes nowhere: we pull the samples
    MikMod_RegisterAllLoaders();
    md_mode |= DMODE_SOFT_MUSIC | DMODE_16BITS | DMODE_STEREO;
    if (MikMod_Init("") != 0)
        return std::string("cannot start the music mixer: ") + MikMod_strerror(MikMod_errno);
    module = load_music_module(module_file, module_problem);
    if (module) Player_Start(module);
    return "";
}

std::string music_module_problem() {
    return module_problem;
}

void mix_music_until(uint64_t end, std::vector<uint8_t>& out) {
    if (end <= mixed) return;
    const size_t frames = static_cast<size_t>(end - mixed);
    buffer.assign(frames * 2, 0);
    if (module && Player_Active()) {
        VC_WriteBytes(reinterpret_cast<SBYTE*>(buffer.data()),
                      static_cast<ULONG>(frames * BYTES_PER_SAMPLE_FRAME));
    }
    append_le(buffer.data(), buffer.size(), out);
    mixed = end;
}

void stop_music() {
    Player_Stop();
    Player_Free(module);
    module = nullptr;
    MikMod_Exit();
}
