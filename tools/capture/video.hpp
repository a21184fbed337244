#pragma once
// Frames and music encoded into a video file by the ffmpeg program, fed through two pipes.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct VideoEncoder {
    pid_t pid = -1;
    int video_fd = -1; // RGB565 little-endian frames, 320x240
    int audio_fd = -1; // 16-bit little-endian stereo samples
    std::string path;
    bool failed = false;
};

struct VideoSettings {
    uint32_t fps = 60;
    uint32_t scale = 3; // video pixels per frame pixel, each way
    std::string preset; // x264 preset of an H.264 video; "" the quick default
};

// Whether the file name's extension makes an H.264 video: .mp4, .m4v, .mov or .mkv. Other
// extensions get what ffmpeg picks for them.
bool is_h264_video(const std::string& path);

// Whether a program of that name is on the PATH.
bool program_on_path(const char* name);

// Starts ffmpeg writing path; frames are scaled with nearest-neighbour sampling. Returns false
// (after printing why) when it cannot be started.
bool video_start(VideoEncoder& video, const std::string& path, const VideoSettings& settings,
                 uint32_t audio_rate);

// Sends one frame and the music that plays during it.
void video_write(VideoEncoder& video, const uint8_t* frame_le, size_t frame_bytes,
                 const std::vector<uint8_t>& audio);

// Ends the streams and waits for ffmpeg. On any failure prints why, removes the partial
// file and returns false.
bool video_finish(VideoEncoder& video);

// Ends the streams, waits for ffmpeg and removes the partial file: the capture failed.
void video_abandon(VideoEncoder& video);
