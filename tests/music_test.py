#!/usr/bin/python3
"""Listens to the demo's music as the demo mixes it and checks what a listener would notice.

    music_test.py [--run-with EMULATOR] CAPTURE_BIN DATA_DIR

Renders data/moonlark.mod through the capture tool's --wav (libmikmod at its default settings,
the demo's mixer), then measures: integrated loudness and true peak (ffmpeg's ebur128 filter),
the balance of left and right, the share of energy under 120 Hz, the loudness of each stage of
the timeline, the fade at the end, clicks of the bass, and when and how long the crash that
opens each section sounds. For the last two it renders copies of the module in which every
sample but the bass, or but the crash, is silent: the notes, tempo and effects stay, so each
sounds exactly as in the whole mix, and a note that cuts another on its channel still cuts it.
Prints every figure; exits 1 when one misses its goal.
"""

import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

import numpy as np

# Stage changes of the demo's timeline (s), and the end of the demo.
STAGES = (0.0, 13.152, 25.756, 50.416, 75.624, 100.832, 126.040)
DEMO_END = 150.152

# The mix does not depend on the frame rate: the capture advances the mixer by sample frames,
# so a slow frame rate gives the same music as 60 fps in a fraction of the drawing time.
FPS = "10"
RATE = 44100
WINDOW = 220 / RATE  # s (5 ms): level windows, short enough to see a click or a cut

# Module layout (ProTracker "M.K."): 20-byte title, 31 sample headers of 30 bytes (name 22,
# length in words 2, finetune, volume, loop start and length in words), song length, restart
# byte, 128-entry order table, "M.K.", the 64-row patterns of 1024 bytes, the sample data.
SAMPLE_HEADERS = 20
SAMPLE_HEADER_SIZE = 30
ORDER_TABLE = SAMPLE_HEADERS + 31 * SAMPLE_HEADER_SIZE + 2
PATTERNS = ORDER_TABLE + 128 + 4
PATTERN_SIZE = 1024


def sample_layout(module):
    """[(name, offset of its data, length in bytes)] of the 31 sample slots."""
    pattern_count = max(module[ORDER_TABLE:ORDER_TABLE + 128]) + 1
    offset = PATTERNS + pattern_count * PATTERN_SIZE
    layout = []
    for slot in range(31):
        header = module[SAMPLE_HEADERS + slot * SAMPLE_HEADER_SIZE:][:SAMPLE_HEADER_SIZE]
        name = header[:22].rstrip(b"\0").decode("latin-1")
        length = 2 * struct.unpack(">H", header[22:24])[0]
        layout.append((name, offset, length))
        offset += length
    return layout


def keep_samples(module, keep):
    """The module with the data of every sample whose name does not start with keep set to 0."""
    out = bytearray(module)
    for name, offset, length in sample_layout(module):
        if not name.startswith(keep):
            out[offset:offset + length] = bytes(length)
    return bytes(out)


class Renderer:
    """Renders copies of the module through the capture tool, each from a data folder of its
    own beside links to the demo's meshes (the capture tool reads them too)."""

    def __init__(self, run_with, capture, data_dir, work):
        self.command = run_with + [capture, "--fps", FPS]
        self.data_dir = os.path.abspath(data_dir)
        self.work = work

    def start(self, name, module):
        """Starts the capture tool's --wav of module; returns the process and the WAV's path."""
        folder = os.path.join(self.work, name)
        os.mkdir(folder)
        for mesh in ("ziriraza.3do", "gp2x.3do"):
            os.symlink(os.path.join(self.data_dir, mesh), os.path.join(folder, mesh))
        with open(os.path.join(folder, "moonlark.mod"), "wb") as f:
            f.write(module)
        wav = os.path.join(folder, "music.wav")
        command = self.command + ["--data", folder, "--wav", wav]
        return subprocess.Popen(command, stdout=subprocess.DEVNULL), wav


def finish(render):
    """The render's samples as (samples, 2) floats in -1..1, and the WAV's path."""
    process, wav = render
    if process.wait() != 0:
        raise subprocess.CalledProcessError(process.returncode, process.args)
    return read_wav(wav), wav


def read_wav(path):
    """The 16-bit stereo samples of a WAV file as (samples, 2) floats."""
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while data[at:at + 4] != b"data":
        at += 8 + struct.unpack("<I", data[at + 4:at + 8])[0]
    size = struct.unpack("<I", data[at + 4:at + 8])[0]
    pcm = np.frombuffer(data[at + 8:at + 8 + size], dtype="<i2")
    return pcm.reshape(-1, 2) / 32768.0


def ebur128(wav, start=0.0, duration=None, peak=False):
    """Integrated loudness in LUFS of wav from start for duration s, and with peak its true
    peak in dBTP (which takes ffmpeg four times as long)."""
    span = ["-ss", f"{start:.3f}"] + ([] if duration is None else ["-t", f"{duration:.3f}"])
    result = subprocess.run(["ffmpeg", "-hide_banner", "-nostats"] + span +
                            ["-i", wav, "-af", f"ebur128=peak={'true' if peak else 'none'}:"
                             "framelog=verbose", "-f", "null", "-"],
                            check=True, capture_output=True, text=True)
    summary = result.stderr[result.stderr.rindex("Summary:"):]
    loudness = float(re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary).group(1))
    if not peak:
        return loudness
    return loudness, float(re.search(r"Peak:\s+(-?[\d.]+|-inf) dBFS", summary).group(1))


def db(power):
    return 10.0 * np.log10(np.maximum(power, 1e-20))


def window_levels(signal):
    """Mean power in dB of consecutive WINDOW-long pieces of a mono signal."""
    size = round(WINDOW * RATE)
    count = len(signal) // size
    return db(np.mean(signal[:count * size].reshape(count, size) ** 2, axis=1))


def fft_size(count):
    """A power of two of at least count samples: the transform of a length with large prime
    factors takes many times as long."""
    return 1 << (count - 1).bit_length()


def high_passed(signal, cutoff):
    size = fft_size(len(signal))
    spectrum = np.fft.rfft(signal, size)
    spectrum[np.fft.rfftfreq(size, 1.0 / RATE) < cutoff] = 0.0
    return np.fft.irfft(spectrum, size)[:len(signal)]


def low_share(mix, cutoff):
    """Share of the mix's energy (both channels) below cutoff Hz."""
    size = fft_size(len(mix))
    power = sum(np.abs(np.fft.rfft(mix[:, c], size)) ** 2 for c in range(2))
    below = np.fft.rfftfreq(size, 1.0 / RATE) < cutoff
    return power[below].sum() / power.sum()


def onsets(levels, floor_db=-50.0, jump_db=15.0):
    """Times (s) of the windows whose level rises jump_db above the window before, above floor."""
    rises = np.nonzero((levels[1:] > floor_db) & (levels[1:] - levels[:-1] > jump_db))[0] + 1
    return rises * WINDOW


def ring_time(levels, onset, drop_db=30.0):
    """How long (s) the sound starting at onset stays within drop_db of its peak."""
    first = int(round(onset / WINDOW))
    peak = levels[first:first + 10].max()
    quiet = np.nonzero(levels[first:] < peak - drop_db)[0]
    return (quiet[0] if len(quiet) else len(levels) - first) * WINDOW


class Checks:
    def __init__(self):
        self.failed = []

    def expect(self, name, value, ok, goal):
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {value} (goal: {goal})")
        if not ok:
            self.failed.append(name)


def check_mix(checks, mix, wav):
    loudness, peak = ebur128(wav, peak=True)
    checks.expect("integrated loudness", f"{loudness:.1f} LUFS", abs(loudness + 14.0) <= 1.0,
                  "-14 +- 1 LUFS")
    checks.expect("true peak", f"{peak:.1f} dBTP", peak <= -1.0, "at most -1 dBTP")
    left, right = (db(np.mean(mix[:, c] ** 2)) for c in range(2))
    checks.expect("left - right", f"{left - right:+.2f} dB", abs(left - right) <= 1.0,
                  "within 1 dB")
    share = low_share(mix, 120.0)
    checks.expect("energy under 120 Hz", f"{100 * share:.1f} %", share <= 0.35, "at most 35 %")


def check_arc(checks, wav):
    bounds = STAGES + (DEMO_END,)
    stage = [ebur128(wav, a, b - a) for a, b in zip(bounds, bounds[1:])]
    print("     stage loudness (LUFS): " + ", ".join(f"{s}: {v:.1f}" for s, v in enumerate(stage)))
    checks.expect("breakdown (stage 4) below stages 3 and 6",
                  f"{min(stage[3], stage[6]) - stage[4]:.1f} LU",
                  min(stage[3], stage[6]) - stage[4] >= 3.0, "at least 3 LU")
    checks.expect("climax (stage 6) the loudest", f"{stage[6] - max(stage[:6]):+.1f} LU",
                  stage[6] > max(stage[:6]), "louder than every other stage")
    opening, closing = ebur128(wav, 0.0, 4.0), ebur128(wav, STAGES[1] - 4.0, 4.0)
    checks.expect("intro builds (its last 4 s over its first 4 s)", f"{closing - opening:+.1f} LU",
                  closing - opening >= 6.0, "at least 6 LU")


def check_ending(checks, mix):
    """The music plays to the last bars, then fades to digital silence before the demo ends."""
    levels = window_levels(mix.mean(axis=1))
    playing = levels[int((DEMO_END - 10.0) / WINDOW):int((DEMO_END - 6.0) / WINDOW)].mean()
    checks.expect("6 to 10 s before the end", f"{playing:.1f} dBFS", playing > -30.0,
                  "still playing, above -30 dBFS")
    tail = mix[int((DEMO_END - 0.1) * RATE):int(DEMO_END * RATE)]
    silent = not tail.any()
    checks.expect("the demo's last 100 ms", "silent" if silent else
                  f"{db(np.max(tail ** 2)):.1f} dBFS at most", silent, "digital silence")


def check_bass(checks, bass):
    signal = bass.sum(axis=1)
    sounding = window_levels(signal) > -60.0
    high = window_levels(high_passed(signal, 3000.0))[sounding]
    spread = np.percentile(high, 99) - np.median(high)
    checks.expect("bass above 3 kHz: 99th percentile over median", f"{spread:.1f} dB",
                  spread <= 12.0, "at most 12 dB (no clicks)")
    voiced = 1.0 - low_share(bass, 120.0)
    checks.expect("bass energy above 120 Hz", f"{100 * voiced:.0f} %", voiced >= 0.3,
                  "at least 30 % (heard on a small speaker)")


def check_crashes(checks, crash):
    levels = window_levels(crash.sum(axis=1))
    heard = onsets(levels)
    for stage, start in enumerate(STAGES[1:], start=1):
        near = heard[np.abs(heard - start) <= 0.1]
        checks.expect(f"stage {stage} section start", "none" if not len(near) else
                      f"{1000 * (near[0] - start):+.0f} ms", len(near) > 0,
                      "a crash within 100 ms of the stage change")
        if len(near):
            ring = ring_time(levels, near[0])
            checks.expect(f"stage {stage} crash rings", f"{ring:.2f} s", ring >= 1.0,
                          "at least 1 s within 30 dB of its peak")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run-with", default="", help="emulator that runs the capture tool")
    parser.add_argument("capture")
    parser.add_argument("data_dir")
    args = parser.parse_args()
    with open(os.path.join(args.data_dir, "moonlark.mod"), "rb") as f:
        module = f.read()
    checks = Checks()
    with tempfile.TemporaryDirectory() as work:
        renderer = Renderer(args.run_with.split(), args.capture, args.data_dir, work)
        renders = [renderer.start("mix", module),
                   renderer.start("bass", keep_samples(module, "bass")),
                   renderer.start("crash", keep_samples(module, "crash"))]
        mix, wav = finish(renders[0])
        check_mix(checks, mix, wav)
        check_arc(checks, wav)
        check_ending(checks, mix)
        check_bass(checks, finish(renders[1])[0])
        check_crashes(checks, finish(renders[2])[0])
    if checks.failed:
        print("missed: " + ", ".join(checks.failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
