// The demo in a browser page, built with emscripten (web/CMakeLists.txt).
//
// main() puts the title picture on the canvas; the page then asks for a click, because a page
// may start sound only after a gesture, and the click calls web_play(): start-up as the demo
// does it (title, tables, clock, music), then one frame per animation frame of the browser.
// When the timeline ends, or on Escape, the page shows its closing screen, which offers to play
// again. The page's test mode calls web_test() instead: the capture tool's virtual clock, no
// music, and each frame's checksum handed to the page.
#include "assets/pictures.hpp"
#include "core/frame.hpp"
#include "core/platform.hpp"
#include "shell/engine.hpp"
#include "shell/music.hpp"
#include "web/crc32.hpp"

#include <SDL/SDL.h>
#include <emscripten.h>

#include <cstring>
#include <string>

namespace {

constexpr uint32_t TEST_FPS = 60;    // the virtual clock of the test mode, as the capture tool's
constexpr double TEST_SLICE_MS = 25; // ms of test frames per turn of the page's event loop

SDL_Surface* screen = nullptr; // 32-bit: the browser's SDL gives no 16-bit surfaces
alignas(FRAME_ALIGNMENT)
    uint16_t frame[FRAME_PIXELS]; // the engine's RGB565 frame; persists between frames
uint32_t canvas_colour[65536];    // RGB565 -> the canvas pixel, see build_canvas_colours
bool virtual_clock = false;       // test mode: frame k sees floor(k * 1000 / 60) ms
uint32_t frame_number = 0;        // frames drawn in the current play

// The page's side (web/shell.html): a frame's checksum in test mode, the end of a play, or a
// start-up failure to show instead of the demo.
EM_JS(void, page_frame_checksum, (uint32_t k, int32_t clock, int32_t state, uint32_t crc),
      { Module.onFrameChecksum(k, clock, state, crc >>> 0); });
EM_JS(void, page_demo_ended, (), { Module.onDemoEnded(); });
EM_JS(void, page_failed, (const char* message), { Module.onFailed(UTF8ToString(message)); });

// Each RGB565 value as the canvas's R, G, B, A bytes in memory order (WebAssembly is
// little-endian), channels widened by repeating their top bits as the capture tool's PNGs do.
void build_canvas_colours() {
    for (uint32_t p = 0; p < 65536; ++p) {
        const Rgb888 c = rgb888_of_rgb565(static_cast<uint16_t>(p));
        canvas_colour[p] = c.red | c.green << 8 | c.blue << 16 | 0xFF000000u;
    }
}

// The browser's SDL copies the surface to the canvas on unlock; its SDL_Flip does nothing.
void present() {
    SDL_LockSurface(screen);
    auto* row = static_cast<uint8_t*>(screen->pixels);
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y, row += screen->pitch) {
        auto* pixels = reinterpret_cast<uint32_t*>(row);
        for (int32_t x = 0; x < FRAME_WIDTH; ++x)
            pixels[x] = canvas_colour[frame[y * FRAME_WIDTH + x]];
    }
    SDL_UnlockSurface(screen);
}

void show_title() {
    std::memcpy(frame, title_picture, sizeof frame);
    present();
}

// The closing picture is stored bottom row first.
void show_closing() {
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        std::memcpy(frame + y * FRAME_WIDTH, closing_picture + (FRAME_HEIGHT - 1 - y) * FRAME_WIDTH,
                    FRAME_PITCH);
    present();
}

// Escape ends the play early; every other event changes nothing.
void drain_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) quit_flag = 1;
}

// Where the demo hands over to the launcher, the page shows its closing screen.
void end_play() {
    emscripten_cancel_main_loop();
    stop_music();
    show_closing();
    page_demo_ended();
}

// One iteration of the demo's frame loop.
void play_frame() {
    run_timeline();
    present();
    ++frame_number;
    advance_music();
    drain_events();
    if (quit_flag != 0) end_play();
}

// Test frames for one slice of time, then back to the page so it stays responsive.
void test_frames() {
    const double slice_end = emscripten_get_now() + TEST_SLICE_MS;
    while (quit_flag == 0 && emscripten_get_now() < slice_end) {
        const int32_t state = timeline_state;
        run_timeline();
        present();
        page_frame_checksum(frame_number, scene_clock, state, crc32_of_frame(frame, FRAME_PIXELS));
        ++frame_number;
    }
    if (quit_flag != 0) end_play();
}

// The keys pressed while no play ran (an Escape on the title or the closing screen) belong to
// no play: left in the queue, they would end the next one at its first frame.
void discard_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
}

// Start-up of a play with the title picture in the frame; false (and the page told why) when
// a mesh file is missing or malformed.
bool start_up(bool with_virtual_clock) {
    virtual_clock = with_virtual_clock;
    frame_number = 0;
    discard_events();
    show_title();
    const std::string error = start_up_engine();
    if (!error.empty()) {
        page_failed(error.c_str());
        return false;
    }
    start_timeline(platform_ticks());
    return true;
}

} // namespace

uint32_t platform_ticks() {
    return virtual_clock ? frame_number * 1000 / TEST_FPS : SDL_GetTicks();
}

uint16_t* platform_frame() {
    return frame;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_play() {
    // Music is optional, as in the demo: without audio or without the module the page plays
    // silently on the same clock.
    if (!start_up(false)) return;
    start_music(MusicOutput::DEVICE);
    emscripten_set_main_loop(play_frame, 0, 0);
}

EMSCRIPTEN_KEEPALIVE void web_test() {
    if (start_up(true)) emscripten_set_main_loop(test_frames, 0, 0);
}

// Frames drawn since the current play started: the page's frame-rate figure.
EMSCRIPTEN_KEEPALIVE uint32_t web_frames_drawn() {
    return frame_number;
}

// Where the music is: order * 256 + row, or -1 when nothing plays.
EMSCRIPTEN_KEEPALIVE int32_t web_music_position() {
    return music_position();
}

} // extern "C"

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0 ||
        !(screen = SDL_SetVideoMode(FRAME_WIDTH, FRAME_HEIGHT, 32, SDL_SWSURFACE))) {
        page_failed(SDL_GetError());
        return 1;
    }
    build_canvas_colours();
    show_title();
    return 0;
}
