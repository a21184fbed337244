#!/usr/bin/python3
"""Boots the handheld package on an emulated ARM board (qemu-system-arm -M versatilepb, a Linux
kernel, the package unpacked in an initramfs as a user copies it) and checks what the demo does
there, from screen dumps, the serial console and the sound the board played:

  play        the title picture while the tables are built; screen dumps of every stage but
              the fourth (its ripples draw random numbers, so its frames depend on how many
              came before) equal to the capture tool's frames; sound played through OSS; the
              demo ends by itself when the timeline does, and the launcher runs;
  no-sound    without /dev/dsp: a line saying the demo plays without music, silence, and
              joypad button 8 ending the demo (button 7 does not) before the launcher runs;
  no-joypad,
  no-screen   without the joypad or without /dev/fb0: the launcher runs at once.

Finding the scene time of a dump. The guest's clock runs in real time, but the host cannot see
where the scene clock starts. The board shows the title picture until the tables are built; the
scene clock starts between the last dump that still shows the title and the first that does
not (the dumps are taken as fast as qemu answers, a few tens of milliseconds apart). From that
origin a dump taken at host time h shows a frame begun at a scene time near h - origin: the
capture tool's frames for every millisecond of a window from 1.5 s before to 1 s after are
compared with it (stage 0 allowing for its ground, see capture.ground_explained). The surface is
the visible framebuffer, so a dump may catch a frame half drawn: each stage is dumped several
times and at least one dump must match.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

import board
import capture
import pictures

# Scene times (ms) at which each stage's dumps are taken, well inside it.
DUMP_AT = {0: 6000, 1: 19000, 2: 38000, 3: 63000, 4: 88000, 5: 113000, 6: 138000}
COMPARED_STAGES = [0, 1, 2, 3, 5, 6]
DUMPS_PER_STAGE = 6
DUMP_SPACING = 0.07  # s between the dumps of one stage
WINDOW_BEFORE, WINDOW_AFTER = 1500, 1000  # ms around a dump's estimated scene time
DEMO_LENGTH = capture.STAGE_ENDS[-1] / 1000
LAUNCHER_LINE = 'gp2xmenu: started as /usr/gp2x/gp2xmenu with 0 more arguments, in /usr/gp2x'
ENDED_LINE = "init: the demo's process ended with status 0"


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


class StartUp:
    """What the dumps of the board's start-up showed: the dump equal to the title picture, and
    the host times between which the scene clock started."""

    def __init__(self, title_dump, origin_earliest, origin_latest):
        self.title_dump = title_dump
        self.origin_earliest = origin_earliest
        self.origin_latest = origin_latest


def watch_start_up(demo, title, timeout=60):
    """Dumps the screen until it has shown the title picture and then another frame."""
    deadline = time.monotonic() + timeout
    title_seen = None
    while time.monotonic() < deadline:
        frame, before, after = demo.screen()
        is_title = frame is not None and np.array_equal(frame, title)
        if is_title:
            title_seen = (frame, before)
        elif title_seen:
            return StartUp(title_seen[0], title_seen[1], after)
        time.sleep(0.01)
    raise TestFailure('the board never showed the title picture and then a frame of the demo'
                      if not title_seen else 'the board showed the title picture for over '
                      f'{timeout} s')


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def dump_stages(demo, start):
    """Dumps each stage DUMPS_PER_STAGE times from its DUMP_AT time on: for each stage a list of
    (frame, earliest and latest scene time the dump may show in ms, host time of the dump)."""
    dumps = {}
    for stage, at in DUMP_AT.items():
        sleep_until(start.origin_earliest + at / 1000)
        dumps[stage] = []
        for _ in range(DUMPS_PER_STAGE):
            frame, before, after = demo.screen()
            check(frame is not None, f'the screen left 320 x 240 in stage {stage}')
            earliest = int((before - start.origin_latest) * 1000) - WINDOW_BEFORE
            latest = int((after - start.origin_earliest) * 1000) + WINDOW_AFTER
            dumps[stage].append((frame, earliest, latest, before))
            time.sleep(DUMP_SPACING)
    return dumps


def sound_seconds(path):
    """Seconds of the WAV file whose samples are not all silent, and its loudest sample."""
    with wave.open(path) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        check(w.getsampwidth() == 2, f'{path}: not 16-bit sound')
        samples = np.frombuffer(w.readframes(w.getnframes()), dtype='<i2')
    if samples.size == 0:
        return 0, 0
    per_second = rate * channels
    seconds = samples[:samples.size // per_second * per_second].reshape(-1, per_second)
    loud = np.count_nonzero(np.abs(seconds.astype(np.int32)).max(axis=1) > 256)
    return loud, int(np.abs(samples.astype(np.int32)).max())


def run_play(args, title, work):
    demo = board.Board('play', work, args.kernel, args.initramfs)
    try:
        demo.wait_for_line(r'^init: starting ', 60)
        start = watch_start_up(demo, title)
        dumps = dump_stages(demo, start)
        _, launcher_at = demo.wait_for_line('^gp2xmenu: ', DEMO_LENGTH + 30)
        demo.wait_for_line(f'^{ENDED_LINE}$', 10)
        demo.wait_until_off(20)
        lines = demo.serial_lines()
    finally:
        demo.close()
    for stage, stage_dumps in dumps.items():
        for n, dump in enumerate(stage_dumps):
            pictures.write_png(os.path.join(demo.work, f'stage{stage}-dump{n}.png'), dump[0])
    check(LAUNCHER_LINE in lines, f'the launcher was started otherwise: {lines}')
    check(not any(line.startswith('moonlark:') for line in lines),
          f'the demo complained: {[l for l in lines if l.startswith("moonlark:")]}')
    ran = launcher_at - start.origin_latest
    check(abs(ran - DEMO_LENGTH) < 3,
          f'the launcher started {ran:.1f} s after the scene clock, not {DEMO_LENGTH} s')
    loud, peak = sound_seconds(demo.wav_path)
    check(loud >= DEMO_LENGTH - 10, f'only {loud} s of the board\'s sound are not silent')
    return start, dumps, {'ran': ran, 'loud': loud, 'peak': peak}


def compare_stages(args, dumps, work):
    """For each compared stage, the scene times each of its dumps matched."""
    found = {}
    for stage in COMPARED_STAGES:
        window = (min(d[1] for d in dumps[stage]), max(d[2] for d in dumps[stage]))
        found[stage] = capture.find_scene_times(stage, [d[0] for d in dumps[stage]], window,
                                                args.capture, args.data, work)
        check(any(times for times, _ in found[stage]),
              f'stage {stage}: none of {len(dumps[stage])} dumps equals a frame of the capture '
              f'tool between {window[0]} and {window[1]} ms')
    return found


def run_no_sound(args, title, work):
    """Without /dev/dsp: one line, then silent play; button 7 changes nothing, button 8 ends
    the demo and the launcher runs."""
    demo = board.Board('no-sound', work, args.kernel, args.initramfs)
    try:
        demo.wait_for_line(r'^init: starting ', 60)
        watch_start_up(demo, title)
        demo.wait_for_line("^joypad: its buttons follow the keyboard's digits$", 60)
        demo.press_key('7')
        demo.wait_for_line('^joypad: button 7 ', 5)
        time.sleep(1)
        check(not demo.has_line('^gp2xmenu: '), 'button 7 ended the demo')
        first, _, _ = demo.screen()
        time.sleep(0.3)
        second, _, _ = demo.screen()
        check(not np.array_equal(first, second), 'the demo stopped drawing after button 7')
        demo.press_key('8')
        _, pressed = demo.wait_for_line('^joypad: button 8 ', 5)
        _, launched = demo.wait_for_line('^gp2xmenu: ', 5)
        demo.wait_for_line(f'^{ENDED_LINE}$', 10)
        demo.wait_until_off(20)
        lines = demo.serial_lines()
    finally:
        demo.close()
    check(LAUNCHER_LINE in lines, f'the launcher was started otherwise: {lines}')
    check('moonlark: no sound device (Sound device not detected); playing without music'
          in lines, f'no line saying the demo plays without music: {lines}')
    loud, peak = sound_seconds(demo.wav_path)
    check(peak == 0, f'the board played sound without /dev/dsp (peak {peak})')
    return lines, launched - pressed


def run_to_launcher(args, scenario, work):
    """Without the joypad or the screen: the launcher runs at once."""
    demo = board.Board(scenario, work, args.kernel, args.initramfs)
    try:
        demo.wait_for_line('^gp2xmenu: ', 60)
        demo.wait_for_line(f'^{ENDED_LINE}$', 10)
        demo.wait_until_off(20)
        lines = demo.serial_lines()
    finally:
        demo.close()
    check(LAUNCHER_LINE in lines, f'{scenario}: the launcher was started otherwise: {lines}')
    return lines


def save_shots(args, start, dumps, found, title, work):
    """The title dump, and per stage one dump with the capture tool's matching frame, as PNG
    files in args.shots."""
    os.makedirs(args.shots, exist_ok=True)
    pictures.write_png(os.path.join(args.shots, 'title-board.png'), start.title_dump)
    pictures.write_png(os.path.join(args.shots, 'title-picture.png'), title)
    for stage, stage_dumps in dumps.items():
        matched = [n for n, (times, _) in enumerate(found.get(stage, [])) if times]
        n = matched[0] if matched else 0
        pictures.write_png(os.path.join(args.shots, f'stage{stage}-board.png'),
                           stage_dumps[n][0])
        if not matched:
            continue
        at = found[stage][n][0][0]
        lead_in = [end + 1 for end in capture.STAGE_ENDS[:stage]]
        png_dir = tempfile.mkdtemp(dir=work)
        ticks = os.path.join(png_dir, 'ticks')
        with open(ticks, 'w') as f:
            f.write(''.join(f'{t}\n' for t in lead_in + [at]))
        subprocess.run([args.capture, '--data', args.data, '--ticks', ticks, '--png', png_dir],
                       check=True)
        shutil.move(os.path.join(png_dir, f'frame_{len(lead_in):05d}.png'),
                    os.path.join(args.shots, f'stage{stage}-capture-{at}ms.png'))
        shutil.rmtree(png_dir)


def describe_matches(start, dumps, found):
    """Per stage: dumps matched of those taken, the scene times, how far each lies from the
    estimate made from the start-up's origin, and pixels left unexplained."""
    lines = []
    for stage in COMPARED_STAGES:
        matched = [(n, times, fewest) for n, (times, fewest) in enumerate(found[stage]) if times]
        lags = [times[0] - int((dumps[stage][n][3] - start.origin_earliest) * 1000)
                for n, times, _ in matched]
        spans = ', '.join(f'{t[0]}' if len(t) == 1 else f'{t[0]}-{t[-1]}' for _, t, _ in matched)
        unexplained = max(fewest for _, _, fewest in matched)
        lines.append(f'stage {stage}: {len(matched)} of {len(dumps[stage])} dumps equal capture '
                     f'frames at {spans} ms ({min(lags):+d}..{max(lags):+d} ms from the '
                     f'estimate' + (f', at most {unexplained} pixels unexplained)'
                                    if stage == 0 else ')'))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--kernel', required=True, help='folder with zImage, versatile-pb.dtb')
    parser.add_argument('--initramfs', required=True)
    parser.add_argument('--capture', required=True, help="the desktop build's moonlark-capture")
    parser.add_argument('--data', required=True, help="the capture tool's data folder")
    parser.add_argument('--title', required=True, help='the title picture, assets/title.png')
    parser.add_argument('--work', help='folder for the run files (default: a temporary one)')
    parser.add_argument('--shots', help='folder to write screen dumps and capture frames to')
    args = parser.parse_args()
    title = pictures.read_png(args.title)
    work = args.work or tempfile.mkdtemp(prefix='moonlark-boot-')
    os.makedirs(work, exist_ok=True)
    began = time.monotonic()
    try:
        report = []
        for scenario in ('no-joypad', 'no-screen'):
            lines = run_to_launcher(args, scenario, work)
            report.append(f'{scenario}: ' + ' | '.join(lines))
        lines, delay = run_no_sound(args, title, work)
        report.append('no-sound: ' + ' | '.join(lines))
        report.append(f'no-sound: the launcher started {delay * 1000:.0f} ms after button 8')
        start, dumps, play = run_play(args, title, work)
        report.append(f"play: the launcher started {play['ran']:.2f} s after the scene clock; "
                      f"{play['loud']} s of sound, peak {play['peak']}")
        found = compare_stages(args, dumps, work)
        report += describe_matches(start, dumps, found)
        if args.shots:
            save_shots(args, start, dumps, found, title, work)
    except (TestFailure, board.BoardError) as failure:
        print(f'boot test: {failure}\n(run files in {work})', file=sys.stderr)
        return 1
    print('\n'.join(report))
    print(f'boot test: passed in {time.monotonic() - began:.0f} s')
    if not args.work:
        shutil.rmtree(work)
    return 0


if __name__ == '__main__':
    sys.exit(main())
