"""The capture tool's frames for every millisecond of a window of scene time, and the search for
the ones a screen dump of the board shows."""

import os
import subprocess
import tempfile

import numpy as np

import pictures

# The scene clock at which each stage ends: stage k draws every frame up to and including
# STAGE_ENDS[k] ms; the demo ends after stage 6.
STAGE_ENDS = [13152, 25756, 50416, 75624, 100832, 126040, 150152]
GROUND_ROWS = 180  # stage 0 repaints rows 0..179 with the ground; rows below keep older frames
# Pixels of a stage 0 dump that neither its capture frame nor the ground explain, allowed in a
# match (a frame of another scene time leaves thousands). In rows 180..239 they are pixels the
# grid left open, where the board and the capture keep different older frames (a few dozen are
# seen); above them, ground that the grid of every capture frame with the same phase covers.
UNEXPLAINED_ALLOWED = 200


def stage_span(stage):
    """First and last scene time (ms) a stage draws."""
    return (0 if stage == 0 else STAGE_ENDS[stage - 1] + 1), STAGE_ENDS[stage]


def capture_frames(capture, data_dir, scene_times, work):
    """The capture tool's frames at SCENE_TIMES (non-decreasing, all in one stage): yields
    (scene time, frame) one at a time as the tool writes them. The capture's clock starts at 0
    and passes one frame beyond each earlier stage's end first, since the timeline moves on by
    one stage a frame."""
    stage = next(k for k, end in enumerate(STAGE_ENDS) if scene_times[0] <= end)
    lead_in = [end + 1 for end in STAGE_ENDS[:stage]]
    with tempfile.NamedTemporaryFile('w', dir=work, suffix='.ticks', delete=False) as f:
        f.write(''.join(f'{t}\n' for t in lead_in + list(scene_times)))
        ticks_path = f.name
    tool = subprocess.Popen([capture, '--data', data_dir, '--ticks', ticks_path, '--raw', '-'],
                            stdout=subprocess.PIPE)
    try:
        for k in range(len(lead_in) + len(scene_times)):
            data = tool.stdout.read(pictures.FRAME_BYTES)
            if len(data) != pictures.FRAME_BYTES:
                raise RuntimeError(f'{capture} stopped after {k} of '
                                   f'{len(lead_in) + len(scene_times)} frames')
            if k >= len(lead_in):
                yield scene_times[k - len(lead_in)], pictures.frame_from_raw(data)
    finally:
        tool.stdout.close()
        tool.kill()
        tool.wait()
        os.unlink(ticks_path)


# Stage 0's ground scrolls one texel of its 128 each 16 ms of the tick counter: a phase of
# 0..127, repeating every 2048 ms.
PHASE_MS, PHASES = 16, 128


def times_of_phase(phase):
    """Scene times of stage 0 that show the ground at PHASE, one in each period of 2048 ms."""
    return list(range(phase * PHASE_MS + PHASE_MS // 2, STAGE_ENDS[0] + 1, PHASE_MS * PHASES))


def ground_explained(dumps, capture, data_dir, work):
    """Stage 0's frames draw the ground from the tick counter and the grid over it from the
    scene clock. On the board the two differ by the length of start-up; in the capture tool they
    are the same. So where the board shows ground, the capture frame of the same scene time
    shows it at another phase. For each dump: the pixels of its rows 0..179 that show the ground
    at the dump's phase (the phase whose frame agrees with the dump in the most pixels), found
    in any of the capture frames with that phase: their grids lie elsewhere, so together they
    show the ground wherever the grid may leave it open."""
    top = slice(0, GROUND_ROWS)
    first_times = [times_of_phase(phase)[0] for phase in range(PHASES)]
    samples = [frame[top] for _, frame in capture_frames(capture, data_dir, first_times, work)]
    explained = []
    for dump in dumps:
        phase = max(range(PHASES), key=lambda p: np.count_nonzero(samples[p] == dump[top]))
        frames = capture_frames(capture, data_dir, times_of_phase(phase), work)
        explained.append(np.logical_or.reduce([frame[top] == dump[top] for _, frame in frames]))
    return explained


def unexplained_pixels(dump, frame, explained):
    """Pixels of the dump that FRAME does not give, nor, in rows 0..179, the ground (EXPLAINED)."""
    top = slice(0, GROUND_ROWS)
    return np.count_nonzero(~((dump[top] == frame[top]) | explained)) + \
        np.count_nonzero(dump[GROUND_ROWS:] != frame[GROUND_ROWS:])


def find_scene_times(stage, dumps, window, capture, data_dir, work):
    """For each dump of STAGE: the scene times within WINDOW (first, last ms, clipped to the
    stage) whose capture frame it shows, empty for a dump that shows none (a frame caught half
    drawn), and the fewest pixels left unexplained by a matching frame (0 but in stage 0)."""
    first, last = stage_span(stage)
    times = list(range(max(first, window[0]), min(last, window[1]) + 1))
    if stage == 0:
        explained = ground_explained(dumps, capture, data_dir, work)
        difference = lambda n, frame: unexplained_pixels(dumps[n], frame, explained[n])
        allowed = UNEXPLAINED_ALLOWED
    else:
        difference = lambda n, frame: 0 if np.array_equal(dumps[n], frame) else 1
        allowed = 0
    found = [([], None) for _ in dumps]
    for t, frame in capture_frames(capture, data_dir, times, work) if times else []:
        for n, (matched, fewest) in enumerate(found):
            pixels = difference(n, frame)
            if pixels <= allowed:
                matched.append(t)
                found[n] = (matched, pixels if fewest is None else min(fewest, pixels))
    return found
