#!/bin/sh
# The demo's fullscreen switch on a real X display: a virtual one (Xvfb) with a window manager
# (openbox), since X alone has no fullscreen state to switch to. Keys are pressed with xdotool,
# which also reads the window's size back:
#  - F11 and Alt+Enter each take the 960x720 window to the screen's size and back;
#  - in fullscreen the picture fills the screen's width, 4:3, with black bars above and below,
#    and no cursor shows (the pointer is moved into a bar and the screenshot draws it);
#  - MOONLARK_FULLSCREEN=1 opens it at the screen's size, and F11 leaves for the window;
#  - Escape still ends the demo with status 0.
# Usage: tests/fullscreen_x11_test.sh DEMO DATA_DIR [SHOT_DIR]
# With SHOT_DIR, the screen is saved there as window.png and fullscreen.png.
set -eu

demo=$(realpath "${1:?usage: $0 DEMO DATA_DIR [SHOT_DIR]}")
data=${2:?usage: $0 DEMO DATA_DIR [SHOT_DIR]}
shots=${3:-}
for tool in Xvfb openbox xdotool xprop ffmpeg; do
    command -v "$tool" >/dev/null ||
        { echo "$tool is missing: scripts/install-deps.sh installs it" >&2; exit 1; }
done

# A 5:4 screen, so the 4:3 picture leaves bars: 1280x960 between two bars of 32 rows.
SCREEN_W=1280
SCREEN_H=1024
BAR=32
WINDOW=960x720 # the demo's 320x240 scaled 3 times, as it does by itself on a desktop
TIMEOUT_TENTHS=300

tmp=$(mktemp -d)
xvfb_pid=""
wm_pid=""
demo_pid=""
cleanup() {
    for pid in $demo_pid $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Whether the process has ended: gone, or a zombie left for wait to collect.
ended() {
    ! [ -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat"
}

# Runs "$@" every tenth of a second until it succeeds; false when it has not within 30 s.
wait_until() {
    tenths=0
    until "$@"; do
        tenths=$((tenths + 1))
        [ "$tenths" -lt "$TIMEOUT_TENTHS" ] || return 1
        sleep 0.1
    done
}

# The virtual display, on a display number no other X server uses (Xvfb picks it and writes it).
Xvfb -displayfd 3 -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -nolisten tcp 3>"$tmp/display" \
    2>"$tmp/xvfb.log" &
xvfb_pid=$!
# The number is written whole, with its newline, once the server takes connections; the test
# still waits for the display to answer before it starts anything on it.
wait_until grep -q '^[0-9][0-9]*$' "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
DISPLAY=:$(cat "$tmp/display")
export DISPLAY
wait_until sh -c 'xprop -root >/dev/null 2>&1' || fail "the display :$DISPLAY does not answer"
# The window manager with its default settings, whatever the user's own openbox settings are;
# started again should it end before it manages the screen (once seen on a loaded machine).
wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"
}
wm_running_or_ended() {
    wm_running || ended "$wm_pid"
}
start_wm() {
    XDG_CONFIG_HOME=$tmp XDG_CACHE_HOME=$tmp openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
    wm_pid=$!
    wait_until wm_running_or_ended && wm_running
}
start_wm || start_wm || start_wm || fail "openbox did not start: $(cat "$tmp/openbox.log")"

# Starts the demo from the data folder on this display, in a window unless the words of the
# environment given say otherwise.
start_demo() {
    (cd "$data" && exec env -u WAYLAND_DISPLAY -u MOONLARK_FULLSCREEN -u SDL12COMPAT_WINDOW_SCALING \
        SDL_VIDEODRIVER=x11 "$@" "$demo" >"$tmp/demo.log" 2>&1) &
    demo_pid=$!
    wait_until window_or_end && ! ended "$demo_pid" ||
        fail "the demo showed no window: $(cat "$tmp/demo.log")"
    timeout 30 xdotool windowactivate --sync "$window" || fail "the window cannot be activated"
}
window_or_end() {
    window=$(xdotool search --onlyvisible --pid "$demo_pid" 2>/dev/null | head -n 1)
    [ -n "$window" ] || ended "$demo_pid"
}
window_size() {
    xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p; s/^HEIGHT=//p' |
        paste -s -d x
}
has_size() {
    [ "$(window_size)" = "$1" ]
}
# Presses the keys $1 and waits until the window has the size $2.
press_and_expect() {
    xdotool key "$1"
    wait_until has_size "$2" || fail "after $1 the window is $(window_size), not $2"
}

# The whole screen, with the pointer drawn where it shows, as ffmpeg's output options "$@" say.
screenshot() {
    ffmpeg -loglevel error -f x11grab -video_size "${SCREEN_W}x${SCREEN_H}" -i "$DISPLAY" \
        -frames:v 1 -y "$@"
}
# Bytes other than 0 in COUNT bytes of the screenshot from OFFSET on.
lit_bytes() {
    tail -c +$(($1 + 1)) "$tmp/screen.gray" | head -c "$2" | tr -d '\000' | wc -c
}
picture_in_bars() {
    screenshot -f rawvideo -pix_fmt gray "$tmp/screen.gray" # a byte per pixel, row by row
    [ "$(lit_bytes 0 $((SCREEN_W * BAR)))" -eq 0 ] &&
        [ "$(lit_bytes $((SCREEN_W * (SCREEN_H - BAR))) $((SCREEN_W * BAR)))" -eq 0 ] &&
        [ "$(lit_bytes $((SCREEN_W * BAR)) $((SCREEN_W * (SCREEN_H - 2 * BAR))))" -gt 0 ]
}
save_shot() {
    [ -z "$shots" ] && return 0
    mkdir -p "$shots"
    screenshot "$shots/$1"
}
# Escape ends the demo; it must leave with status 0.
quit_demo() {
    xdotool key Escape
    wait_until ended "$demo_pid" || fail "the demo did not end on Escape"
    status=0
    wait "$demo_pid" || status=$?
    demo_pid=""
    [ "$status" -eq 0 ] || fail "the demo ended with status $status: $(cat "$tmp/demo.log")"
}

start_demo
wait_until has_size "$WINDOW" || fail "the window is $(window_size), not $WINDOW"
save_shot window.png
press_and_expect F11 "${SCREEN_W}x${SCREEN_H}"
xdotool mousemove 4 4
wait_until picture_in_bars || fail "fullscreen shows no 4:3 picture between black bars, or a cursor"
save_shot fullscreen.png
press_and_expect F11 "$WINDOW"
press_and_expect alt+Return "${SCREEN_W}x${SCREEN_H}"
press_and_expect alt+Return "$WINDOW"
quit_demo
echo "F11 and Alt+Enter: $WINDOW -> ${SCREEN_W}x${SCREEN_H} -> $WINDOW"

start_demo MOONLARK_FULLSCREEN=1
wait_until has_size "${SCREEN_W}x${SCREEN_H}" ||
    fail "with MOONLARK_FULLSCREEN=1 the window is $(window_size)"
press_and_expect F11 "$WINDOW"
quit_demo
echo "MOONLARK_FULLSCREEN=1: ${SCREEN_W}x${SCREEN_H}, then F11: $WINDOW"
