#pragma once
// The demo's music as libmikmod's software mixer plays it, pulled sample by sample so that it
// follows the capture's virtual clock instead of a sound card.
#include <cstdint>
#include <string>
#include <vector>

// Sample frames per second of the mix (the library's default mixing rate); 16-bit stereo.
uint32_t music_rate();

// Starts the mixer without a sound device and the module from the current folder. Returns an
// error message, or "" on success; a missing module is not an error (the mix is silent).
std::string start_music(const char* module_file);

// After start_music: "" when the module plays, else one line naming the file and why not.
std::string music_module_problem();

// Appends the mix up to sample frame `end` (counted from the start of the music) to out,
// as 16-bit little-endian stereo; silence once the module has ended.
void mix_music_until(uint64_t end, std::vector<uint8_t>& out);

void stop_music();
