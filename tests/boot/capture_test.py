#!/usr/bin/python3
"""Checks of the boot test's own tools, run before the board boots: the PNG files it writes read
back as the same frames, and the search for a dump's scene time finds a capture frame's own
time and rejects frames a little earlier or later, in stage 0 (with its ground rule) as in the
others. Usage: capture_test.py CAPTURE DATA_DIR"""

import os
import sys
import tempfile
import unittest

import numpy as np

import capture
import pictures

CAPTURE, DATA = None, None


def frame_at(work, scene_time):
    return next(frame for _, frame in capture.capture_frames(CAPTURE, DATA, [scene_time], work))


class Pictures(unittest.TestCase):
    def test_png_files_keep_every_rgb565_value(self):
        frame = np.random.default_rng(1).integers(0, 65536, (240, 320), dtype=np.uint16)
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, 'frame.png')
            pictures.write_png(path, frame)
            np.testing.assert_array_equal(pictures.read_png(path), frame)


class SceneTimes(unittest.TestCase):
    def find(self, dump, window, stage):
        with tempfile.TemporaryDirectory() as work:
            [(times, fewest)] = capture.find_scene_times(stage, [dump], window, CAPTURE, DATA,
                                                         work)
        return times, fewest

    def check_stage(self, stage, at):
        with tempfile.TemporaryDirectory() as work:
            dump = frame_at(work, at)
        times, fewest = self.find(dump, (at - 1000, at + 1000), stage)
        self.assertIn(at, times)
        self.assertEqual(fewest, 0)
        # The objects move: frames 100 ms away look different.
        self.assertTrue(all(abs(t - at) < 100 for t in times), times)
        self.assertEqual(self.find(dump, (at + 100, at + 1000), stage), ([], None))

    def test_an_exactly_compared_stage(self):
        self.check_stage(3, 63100)

    def test_stage_zero_with_its_ground(self):
        self.check_stage(0, 6100)

    def test_a_frame_of_another_stage_matches_nothing(self):
        with tempfile.TemporaryDirectory() as work:
            dump = frame_at(work, 30000)
        self.assertEqual(self.find(dump, (5000, 7000), 0), ([], None))


if __name__ == '__main__':
    CAPTURE, DATA = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
