#pragma once
// A 16-bit stereo PCM WAV file written as the capture goes; sizes are filled in at the end.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct WavFile {
    std::FILE* file = nullptr;
    std::string path;
    uint32_t rate = 0;
    uint64_t data_bytes = 0;
};

// Returns false (after printing why) when the file cannot be created.
bool wav_open(WavFile& wav, const std::string& path, uint32_t rate);

void wav_append(WavFile& wav, const std::vector<uint8_t>& samples);

// Writes the final sizes and closes; false (after printing why) on any write error.
bool wav_close(WavFile& wav);
