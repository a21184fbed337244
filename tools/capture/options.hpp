#pragma once
// Command line of moonlark-capture.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CaptureOptions {
    uint32_t fps = 60;           // frame k sees ticks floor(k * 1000 / fps)
    std::vector<uint32_t> ticks; // with --ticks: frame k sees ticks[k] instead
    bool ticks_from_file = false;
    std::optional<int32_t> until; // stop after the first frame whose clock reaches it
    std::string checksums;        // "" none, "-" standard output
    std::string png_dir;          // "" none
    std::vector<int32_t> png_at;  // empty: every frame
    std::string raw;              // "" none, "-" standard output
    std::string data_dir;         // where the demo's data files are
    std::string wav;              // "" none
    std::string video;            // "" none
    uint32_t scale = 3;           // video pixels per frame pixel, each way
    std::string preset;           // x264 preset of an H.264 video; "" the quick default
};

// Parses argv into options. On --help prints the usage and exits 0; on a bad option prints
// an error naming it and exits 2.
CaptureOptions parse_capture_options(int argc, char** argv, const std::string& default_data_dir);
