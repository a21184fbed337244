#include "tools/capture/wav_writer.hpp"

#include <cerrno>
#include <cstring>

namespace {

constexpr uint16_t CHANNELS = 2;
constexpr uint16_t BYTES_PER_SAMPLE = 2;
constexpr uint32_t HEADER_BYTES = 44;

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void write_header(const WavFile& wav) {
    uint8_t h[HEADER_BYTES];
    const auto data = static_cast<uint32_t>(wav.data_bytes);
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, HEADER_BYTES - 8 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1); // PCM
    put16(h + 22, CHANNELS);
    put32(h + 24, wav.rate);
    put32(h + 28, wav.rate * CHANNELS * BYTES_PER_SAMPLE);
    put16(h + 32, CHANNELS * BYTES_PER_SAMPLE);
    put16(h + 34, 8 * BYTES_PER_SAMPLE);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
    std::fwrite(h, 1, HEADER_BYTES, wav.file);
}

} // namespace

bool wav_open(WavFile& wav, const std::string& path, uint32_t rate) {
    wav.path = path;
    wav.rate = rate;
    wav.file = std::fopen(path.c_str(), "wb");
    if (!wav.file) {
        std::fprintf(stderr, "moonlark-capture: cannot write '%s': %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    write_header(wav);
    return true;
}

void wav_append(WavFile& wav, const std::vector<uint8_t>& samples) {
    std::fwrite(samples.data(), 1, samples.size(), wav.file);
    wav.data_bytes += samples.size();
}

bool wav_close(WavFile& wav) {
    const bool rewound = std::fseek(wav.file, 0, SEEK_SET) == 0;
    if (rewound) write_header(wav);
    const bool ok = rewound && std::ferror(wav.file) == 0;
    if (std::fclose(wav.file) == 0 && ok) return true;
    std::fprintf(stderr, "moonlark-capture: error writing '%s'\n", wav.path.c_str());
    return false;
}
