#include "shell/shell.hpp"

#include "assets/pictures.hpp"
#include "core/platform.hpp"
#include "shell/engine.hpp"
#include "shell/music.hpp"
#include "shell/window.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* LAUNCHER_DIR = "/usr/gp2x";
constexpr const char* LAUNCHER = "/usr/gp2x/gp2xmenu";

SDL_Surface* screen = nullptr;
SDL_Joystick* joystick = nullptr;
SDL_Event event;

// The engine draws here when the surface's rows are not FRAME_PITCH bytes apart; copied row by
// row.
alignas(FRAME_ALIGNMENT) uint16_t own_frame[FRAME_PIXELS];
uint16_t* current_frame = own_frame;

// Replaces the process with the launcher. Returns only when it cannot be executed, and then
// in the directory the demo was started from, so the data files are still found.
void exec_launcher() {
    const int here = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    [[maybe_unused]] const int moved = chdir(LAUNCHER_DIR);
    execl(LAUNCHER, LAUNCHER, static_cast<char*>(nullptr));
    if (here < 0) return;
    [[maybe_unused]] const int back = fchdir(here);
    close(here);
}

bool direct_frame() {
    return screen->pitch == FRAME_PITCH;
}

void lock_frame() {
    SDL_LockSurface(screen);
    current_frame = direct_frame() ? static_cast<uint16_t*>(screen->pixels) : own_frame;
}

void unlock_and_present() {
    if (!direct_frame()) {
        const size_t row_bytes = std::min<size_t>(screen->pitch, FRAME_PITCH);
        auto* pixels = static_cast<uint8_t*>(screen->pixels);
        for (int y = 0; y < FRAME_HEIGHT; ++y)
            std::memcpy(pixels + y * screen->pitch, own_frame + y * FRAME_WIDTH, row_bytes);
    }
    SDL_UnlockSurface(screen);
    SDL_Flip(screen);
}

// Runs `start` with standard error sent to /dev/null. While SDL and libmikmod probe for a
// display and a sound device, the libraries they try (Wayland, ALSA, ...) print their own
// diagnostics there, a dozen lines when there is none; the demo says what matters in one.
template <class Start> auto with_probe_messages_hidden(Start start) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    const auto result = start();
    if (saved >= 0) dup2(saved, STDERR_FILENO);
    for (const int fd : {saved, null})
        if (fd >= 0) close(fd);
    return result;
}

void play_silently(const std::string& problem) {
    std::fprintf(stderr, "moonlark: %s; playing without music\n", problem.c_str());
}

// Music is optional: without a sound device or without the module the demo runs silently,
// after one line saying why.
void start_device_music() {
    const std::string error =
        with_probe_messages_hidden([] { return start_music(MusicOutput::DEVICE); });
    if (!error.empty())
        play_silently("no sound device (" + error + ")");
    else if (!music_module_problem().empty())
        play_silently(music_module_problem());
}

// Without a display SDL falls back by itself to its offscreen driver, a screen nobody sees;
// the offscreen driver counts only when the user chose it (SDL_VIDEODRIVER).
bool offscreen_fallback() {
    char name[32];
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    return !(chosen && *chosen) && SDL_VideoDriverName(name, sizeof name) &&
           std::strcmp(name, "offscreen") == 0;
}

// Initialises SDL's video and joystick; false, with SDL's error set, when that fails or there
// is no display.
bool init_video() {
    const auto init = [] { return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK); };
    if (with_probe_messages_hidden(init) < 0) return false;
    if (!offscreen_fallback()) return true;
    SDL_SetError("no display found (SDL fell back to its offscreen driver)");
    return false;
}

bool screen_failed(const char* what) {
    std::fprintf(stderr, "moonlark: %s: %s\n", what, SDL_GetError());
    SDL_Quit();
    return false;
}

} // namespace

uint32_t platform_ticks() {
    return SDL_GetTicks();
}

uint16_t* platform_frame() {
    return current_frame;
}

void handle_event(const SDL_Event& e) {
    const bool quit_button = e.type == SDL_JOYBUTTONDOWN && e.jbutton.button == QUIT_BUTTON;
    const bool escape = e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE;
    if (quit_button || escape || e.type == SDL_QUIT) quit_flag = 1;
    handle_window_key(e);
}

void drain_events() {
    while (SDL_PollEvent(&event))
        handle_event(event);
}

bool open_screen_and_joypad() {
    prepare_window();
    if (!init_video()) {
        exec_launcher();
        return screen_failed("cannot initialise the screen");
    }
    screen = SDL_SetVideoMode(FRAME_WIDTH, FRAME_HEIGHT, 16, 0);
    if (!screen) {
        exec_launcher();
        return screen_failed("cannot open the 320x240 16-bit screen");
    }
    start_window();
    joystick = SDL_JoystickOpen(0);
    if (!joystick) exec_launcher(); // on a desktop: no joypad, no launcher, go on without
    return true;
}

void show_title() {
    lock_frame();
    std::memcpy(current_frame, title_picture, sizeof title_picture);
    unlock_and_present();
}

void run_frame() {
    lock_frame();
    run_timeline();
    unlock_and_present();
    advance_music();
    drain_events(); // always to the end, also once the quit flag is set
}

int run_demo() {
    if (!open_screen_and_joypad()) return 1;
    SDL_ShowCursor(0);
    show_title();
    if (const std::string error = start_up_engine(); !error.empty()) {
        std::fprintf(stderr, "moonlark: %s\n", error.c_str());
        SDL_Quit();
        return 1;
    }
    start_timeline(SDL_GetTicks());
    start_device_music();
    while (quit_flag == 0)
        run_frame();
    SDL_Quit();
    stop_music();
    exec_launcher();
    return 0;
}
