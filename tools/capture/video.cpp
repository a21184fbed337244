#include "tools/capture/video.hpp"

#include "tools/capture/partial_file.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

constexpr int VIDEO_CHILD_FD = 3;
constexpr int AUDIO_CHILD_FD = 4;
constexpr int PIPE_BYTES = 1 << 20; // several frames in flight, so neither pipe starves ffmpeg
// ffmpeg opens its inputs one after the other and would read seconds of each before starting;
// the capture writes both streams in step, so it must start from a single packet of each.

// H.264 by x264, in the 4:2:0 chroma players expect. ffmpeg's defaults are the medium preset
// at constant quality 23. The default here is as sharp in much less time, in a larger file (the
// README's "The demo as a video" has the measurements): the superfast preset, with the
// macroblock-tree rate control over a 10-frame lookahead that this preset leaves out, tuned
// for animation (the frames are large flat areas with sharp edges), at quality 20. A preset the
// user names is x264's own with ffmpeg's other defaults: medium gives what ffmpeg alone gives,
// the slower ones smaller files still.
void add_h264_arguments(std::vector<std::string>& args, const std::string& preset) {
    args.insert(args.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset"});
    if (!preset.empty())
        args.push_back(preset);
    else
        args.insert(args.end(), {"superfast", "-x264-params", "mbtree=1:rc-lookahead=10", "-tune",
                                 "animation", "-crf", "20"});
}

std::vector<std::string> ffmpeg_arguments(const std::string& path, const VideoSettings& settings,
                                          uint32_t audio_rate) {
    const std::string fps = std::to_string(settings.fps);
    const std::string scale = std::to_string(settings.scale);
    std::vector<std::string> args = {"ffmpeg",
                                     "-hide_banner",
                                     "-loglevel",
                                     "error",
                                     "-nostdin",
                                     "-y",
                                     "-f",
                                     "rawvideo",
                                     "-pixel_format",
                                     "rgb565le",
                                     "-video_size",
                                     "320x240",
                                     "-framerate",
                                     fps,
                                     "-thread_queue_size",
                                     "512",
                                     "-probesize",
                                     "32",
                                     "-i",
                                     "pipe:" + std::to_string(VIDEO_CHILD_FD),
                                     "-f",
                                     "s16le",
                                     "-sample_rate",
                                     std::to_string(audio_rate),
                                     "-channels",
                                     "2",
                                     "-thread_queue_size",
                                     "512",
                                     "-probesize",
                                     "32",
                                     "-analyzeduration",
                                     "0",
                                     "-i",
                                     "pipe:" + std::to_string(AUDIO_CHILD_FD),
                                     "-vf",
                                     "scale=iw*" + scale + ":ih*" + scale + ":flags=neighbor"};
    if (is_h264_video(path)) add_h264_arguments(args, settings.preset);
    args.push_back(path);
    return args;
}

// A pipe whose ends close on exec, its read end above ffmpeg's descriptors 3 and 4: placing
// one read end there must not overwrite the other (without standard descriptors, a new pipe can
// be given 3).
bool open_pipe(int ends[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    const int read_end = fcntl(ends[0], F_DUPFD_CLOEXEC, AUDIO_CHILD_FD + 1);
    close(ends[0]);
    ends[0] = read_end;
    return read_end >= 0;
}

// Starts ffmpeg with the read ends at its descriptors 3 and 4; 0 or the error number.
int spawn_ffmpeg(pid_t& pid, const std::vector<std::string>& args, int video_read, int audio_read) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_read, VIDEO_CHILD_FD);
    posix_spawn_file_actions_adddup2(&actions, audio_read, AUDIO_CHILD_FD);
    const int error = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

void write_all(VideoEncoder& video, int fd, const uint8_t* bytes, size_t size) {
    while (size > 0 && !video.failed) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            video.failed = true;
            break;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

} // namespace

bool is_h264_video(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return ext == ".mp4" || ext == ".m4v" || ext == ".mov" || ext == ".mkv";
}

bool program_on_path(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool video_start(VideoEncoder& video, const std::string& path, const VideoSettings& settings,
                 uint32_t audio_rate) {
    video.path = path;
    int video_pipe[2], audio_pipe[2];
    if (!open_pipe(video_pipe) || !open_pipe(audio_pipe)) {
        std::perror("moonlark-capture: pipe");
        return false;
    }
    pid_t pid = -1;
    const int error = spawn_ffmpeg(pid, ffmpeg_arguments(path, settings, audio_rate), video_pipe[0],
                                   audio_pipe[0]);
    close(video_pipe[0]);
    close(audio_pipe[0]);
    video.video_fd = video_pipe[1];
    video.audio_fd = audio_pipe[1];
    if (error != 0) {
        std::fprintf(stderr,
                     "moonlark-capture: ffmpeg could not encode '%s' (ffmpeg did not start: %s)\n",
                     path.c_str(), std::strerror(error));
        return false;
    }
    video.pid = pid;
    fcntl(video.video_fd, F_SETPIPE_SZ, PIPE_BYTES);
    fcntl(video.audio_fd, F_SETPIPE_SZ, PIPE_BYTES);
    return true;
}

void video_write(VideoEncoder& video, const uint8_t* frame_le, size_t frame_bytes,
                 const std::vector<uint8_t>& audio) {
    write_all(video, video.video_fd, frame_le, frame_bytes);
    write_all(video, video.audio_fd, audio.data(), audio.size());
}

bool video_finish(VideoEncoder& video) {
    close(video.video_fd);
    close(video.audio_fd);
    int status = 0;
    const bool waited = video.pid > 0 && waitpid(video.pid, &status, 0) == video.pid;
    if (waited && !video.failed && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    std::fprintf(stderr, "moonlark-capture: ffmpeg could not encode '%s'\n", video.path.c_str());
    remove_partial_file(video.path);
    return false;
}

void video_abandon(VideoEncoder& video) {
    close(video.video_fd);
    close(video.audio_fd);
    if (video.pid > 0) waitpid(video.pid, nullptr, 0);
    video.pid = -1;
    remove_partial_file(video.path);
}
