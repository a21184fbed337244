#!/usr/bin/python3
"""Writes the seed corpora of the two fuzz targets: small hand-made edge cases.

    tests/fuzz/mesh_file/*.3do       bytes of a mesh file (fuzz_mesh_file)
    tests/fuzz/fill_triangle/*.bin   colour rule and three corners (fuzz_fill_triangle)

The shipped meshes in data/ join the mesh seeds when `make fuzz` runs; they are not
copied here. Every seed is also replayed on its own before each fuzzing run, so the seeds
named after a finding are its regression inputs. Deterministic: rerunning rewrites every
file byte for byte. Run with Debian's /usr/bin/python3; needs nothing else.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BIAS = 65536  # a stored coordinate is the coordinate + 65536
INT_MIN, INT_MAX = -(2**31), 2**31 - 1


def int32s(values):
    return b"".join(struct.pack("<i", v) for v in values)


# ------------------------------------------------------------------ mesh files


def mesh(vertices, faces, edges=(), counts=None):
    """A .3do file; counts overrides the header (V, E, F) for inconsistent files."""
    header = counts or (len(vertices), len(edges), len(faces))
    values = list(header)
    for x, y, z in vertices:
        values += [x + BIAS, y + BIAS, z + BIAS]
    for edge in edges:
        values += list(edge)
    for face in faces:
        values += list(face)
    return int32s(values)


TRIANGLE_VERTICES = [(0, 0, 0), (10240, 0, 0), (0, 10240, 0)]
TRIANGLE = mesh(TRIANGLE_VERTICES, [(0, 1, 2)])


def separate_triangles(count, size=2560):
    """count triangles side by side, three vertices each."""
    vertices, faces = [], []
    for f in range(count):
        x = f * 256
        vertices += [(x, 0, 0), (x + size, 0, 0), (x, size, 0)]
        faces.append((3 * f, 3 * f + 1, 3 * f + 2))
    return mesh(vertices, faces)


def fan(face_count):
    """face_count faces all naming vertices 0, 1 and 2."""
    return mesh(TRIANGLE_VERTICES, [(0, 1, 2)] * face_count)


def mesh_seeds():
    with_edges = mesh(TRIANGLE_VERTICES, [(0, 1, 2)], edges=[(0, 1), (2, 0)])
    return {
        "empty": b"",
        "header_only": int32s([0, 0, 0]),
        "short_header": int32s([3, 0]),
        "triangle": TRIANGLE,
        "triangle_with_edges": with_edges,
        "trailing_bytes": TRIANGLE + int32s([-7, 1, 2]),
        "ends_in_vertices": TRIANGLE[:30],
        "ends_in_edges": with_edges[: 12 + 36 + 4],
        "ends_in_faces": TRIANGLE[:-4],
        "negative_vertices": int32s([-1, 0, 0]),
        "negative_edges": int32s([0, -2, 0]),
        "negative_faces": int32s([0, 0, INT_MIN]),
        "too_many_vertices": int32s([262145, 0, 0]),
        "too_many_faces": int32s([3, 0, 65537]),
        "huge_edge_count": int32s([0, INT_MAX, 0, 0, 1]),
        "largest_counts_short_file": int32s([262144, 0, 65536]),
        "face_names_missing_vertex": mesh(TRIANGLE_VERTICES, [(0, 1, 3)]),
        "face_names_negative_vertex": mesh(TRIANGLE_VERTICES, [(0, -1, 2)]),
        "edge_names_missing_vertex": mesh(TRIANGLE_VERTICES, [(0, 1, 2)], edges=[(0, 3)]),
        "vertex_of_255_faces": fan(255),
        "vertex_of_256_faces": fan(256),
        "degenerate_faces": mesh(TRIANGLE_VERTICES, [(0, 0, 0), (0, 1, 1), (2, 1, 2)]),
        # Stored values at the ends of the 32-bit range: the bias wraps, edges are huge.
        "extreme_coordinates": int32s(
            [4, 0, 2, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN, 0, INT_MAX, -1,
             -1, 0, INT_MIN, 0, 1, 2, 1, 2, 3]
        ),
        # Far behind the viewer of both objects, and far to the side.
        "behind_the_viewer": mesh([(0, 0, -2**24), (2**20, 0, -2**24), (0, 2**20, 2**24)],
                                  [(0, 1, 2), (2, 1, 0)]),
        "console_493_faces": separate_triangles(493),
        "console_494_faces": separate_triangles(494),
        "console_large_faces": separate_triangles(494, size=40000),
    }


# ------------------------------------------------------------- triangle fills

RAMP = 0  # colour rule byte: 0 the shade ramp, 1 + s a texture of shift s


def texture(shift):
    return 1 + shift


def triangle(rule, corners):
    """corners: three (x, y, a0, a1)."""
    return bytes([rule]) + int32s([v for corner in corners for v in corner])


def fill_seeds():
    env = [(10, 10, 0, 0), (74, 10, 255, 0), (10, 74, 0, 255)]
    seeds = {
        # The worked examples of the filler's rows and columns.
        "right_triangle_top": triangle(RAMP, [(10, 10, 0, 0), (20, 10, 0, 0), (10, 20, 0, 0)]),
        "right_triangle_bottom": triangle(RAMP, [(10, 10, 0, 0), (20, 20, 0, 0), (10, 20, 0, 0)]),
        "shade_ramp": triangle(RAMP, [(0, 0, 0, 0), (100, 0, 255, 0), (0, 100, 0, 0)]),
        "environment_shift_2": triangle(texture(2), env),
        "environment_reversed": triangle(texture(2), env[::-1]),
        "environment_shift_3": triangle(texture(3), env),
        "one_scanline": triangle(RAMP, [(0, 50, 0, 0), (300, 50, 255, 0), (150, 50, 9, 0)]),
        # Corners far outside the frame: rows and spans beyond the reciprocal table.
        "far_outside": triangle(RAMP, [(-100000, -100000, 0, 0), (100000, 50, 255, 0),
                                       (50, 100000, 128, 0)]),
        "taller_than_table": triangle(RAMP, [(160, -3000, 0, 0), (170, 3000, 255, 0),
                                             (-5, 120, 30, 0)]),
        "wider_than_table": triangle(texture(2), [(-5000, 100, 0, 0), (5000, 101, 255, 255),
                                                  (0, 140, 0, 255)]),
        "full_range": triangle(texture(2), [(INT_MIN, INT_MIN, INT_MIN, INT_MAX),
                                            (INT_MAX, 0, INT_MAX, INT_MIN),
                                            (0, INT_MAX, 0, 0)]),
        # A y range that wraps: the bottom minus the top overflows 32 bits.
        "wrapping_height": triangle(RAMP, [(0, INT_MIN, 0, 0), (319, INT_MAX, 255, 0),
                                           (100, 120, 0, 0)]),
        # Attributes changing by 128 or more per step: slope products wrap.
        "steep_attributes": triangle(texture(2), [(100, 100, 0, 0), (101, 101, 255, 255),
                                                  (100, 239, 255, 0)]),
        "arbitrary_attributes": triangle(RAMP, [(10, 10, INT_MAX, 0), (300, 30, INT_MIN, 0),
                                                (40, 230, -1, 0)]),
    }
    for shift in range(9):
        seeds["screen_crossing_shift_%d" % shift] = triangle(
            texture(shift), [(-40, -30, 0, 0), (360, 20, 255, 60), (100, 270, 30, 255)])
    return seeds


def write_all(folder, extension, seeds):
    path = os.path.join(HERE, folder)
    os.makedirs(path, exist_ok=True)
    for name, data in sorted(seeds.items()):
        with open(os.path.join(path, name + extension), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write_all("mesh_file", ".3do", mesh_seeds())
    write_all("fill_triangle", ".bin", fill_seeds())
