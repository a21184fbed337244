#pragma once
// The music: one tracker module, read from the current folder and played by libmikmod with its
// default settings and software mixing of music on. The demo and the web page play it on the
// sound device and advance it once a frame; the capture tool pulls the mix sample by sample,
// so that it follows the virtual clock instead of a sound card. Optional everywhere: without a
// device or without the module the program goes on silently.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* MUSIC_FILE = "moonlark.mod";
inline constexpr int32_t MUSIC_VOICES = 64; // voices the module may use

enum class MusicOutput {
    DEVICE, // the library's own drivers, the first that opens a device
    PULLED, // no device: mix_music_until hands over the mix, 16-bit stereo
};

// Starts the library (its drivers and loaders are registered once per process) and the module.
// Returns "" when the library has started, else its error; then nothing plays and the other
// calls do nothing. A missing or unreadable module is not an error: see music_module_problem.
std::string start_music(MusicOutput output);

// After start_music: "" while the module plays, else one line naming the file and why it does
// not.
const std::string& music_module_problem();

// With a device, once a frame: the library mixes and writes the next part of the music, while
// the module has not ended.
void advance_music();

// Sample frames per second of the mix (the library's default mixing rate).
uint32_t music_rate();

// Pulled: appends the mix up to sample frame `end` (counted from the start of the music) to out,
// as 16-bit little-endian stereo; silence once the module has ended or without one.
void mix_music_until(uint64_t end, std::vector<uint8_t>& out);

// Where the module is: order * 256 + row, or -1 when it does not play.
int32_t music_position();

// Stops the module and the library; another start_music may follow.
void stop_music();
