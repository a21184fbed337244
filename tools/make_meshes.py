#!/usr/bin/python3
"""Builds the demo's two mesh files, data/ziriraza.3do and data/gp2x.3do.

Run with Debian's /usr/bin/python3 (needs python3-numpy; python3-pil only for
--preview).  Everything is deterministic: rerunning rewrites both files byte
for byte.

ziriraza.3do, object 2 (scale 1024): the Moonlark emblem, a crescent moon with
a lark flying out of its hollow, a closed slab drawn with Gouraud shading in
the tunnel scene.  gp2x.3do, object 6 (scale 256): a handheld console with a
recessed screen, a thumb stick, four face buttons, two shoulder buttons and
start/select, drawn with its two light-map materials on black.

Geometry is authored in a local frame (u right, v up, w towards the viewer)
and mapped to each object's model axes when the file is written, so that the
object's fixed rotation shows it upright and facing the viewer.

Winding.  The renderer culls a face unless its projected corners run
clockwise on the screen (y grows downwards), and with the loader's flip the
face normal is (P1 - P0) x (P2 - P1), which the shading reads as facing the
viewer when it points away from him (+z).  Both say the same thing: seen from
outside the solid, the corners of a face run clockwise (in the right-handed
model frame), so that (P1 - P0) x (P2 - P1) points into the solid and the
signed volume of a closed mesh is negative.  The builders below think in the
usual outward counter-clockwise order and every face is reversed once, when
the file is written.

Face normals are computed by the demo with a 32-bit sum of squares, which
overflows once a face's cross product exceeds 46340 model units squared (an
equilateral triangle with edges of about 230 model units).  The emblem's faces
are sized against that limit; the console's model units are sixteen times
larger on the screen, and its faces stay far from it.

Face budget.  The handheld sorts, culls and sets up every face of the object
each frame, so the faces go where they show: along the outlines, over the
rounded and swelling parts whose shading reveals their steps, and round the
buttons standing on the console's front (see front_guards).  Flat areas get
the largest triangles allowed.
"""

import collections
import math
import os
import struct
import sys

import numpy as np

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")

# Stored coordinates carry this bias: stored value = coordinate + 65536.
COORD_BIAS = 65536

# Limits of the demo's mesh records and work arrays.
MAX_VERTICES = 262144
MAX_FACES = 65536
MAX_CORNER_USES = 255
# Largest cross-product squared length that the 32-bit normalisation survives.
MAX_CROSS_SQUARED = 2**31 - 1


# ---------------------------------------------------------------- 2D outlines


def signed_area(loop):
    """Twice the signed area of a closed 2D loop, positive when counter-clockwise."""
    p = np.asarray(loop, float)
    q = np.roll(p, -1, axis=0)
    return float(np.sum(p[:, 0] * q[:, 1] - q[:, 0] * p[:, 1]))


def arc(centre, radius, start, end, steps):
    """Points from angle start to end (radians, end included) on a circle."""
    cx, cy = centre
    return [
        (cx + radius * math.cos(a), cy + radius * math.sin(a))
        for a in np.linspace(start, end, steps + 1)
    ]


def circle(centre, radius, segments):
    return arc(centre, radius, 0.0, 2 * math.pi, segments)[:-1]


def rounded_rectangle(centre, half_width, half_height, radius, corner_steps):
    """Counter-clockwise rounded rectangle; radius 0 gives plain corners."""
    cx, cy = centre
    corners = [(1, 1), (-1, 1), (-1, -1), (1, -1)]
    loop = []
    for k, (sx, sy) in enumerate(corners):
        corner_centre = (cx + sx * (half_width - radius), cy + sy * (half_height - radius))
        start = k * math.pi / 2
        if radius > 0:
            loop += arc(corner_centre, radius, start, start + math.pi / 2, corner_steps)
        else:
            loop.append(corner_centre)
    # A radius equal to a half side makes neighbouring arcs meet in one point.
    return [p for k, p in enumerate(loop) if math.dist(p, loop[k - 1]) > 1e-9]


def smooth_loop(points, sharp, rounds):
    """Chaikin corner cutting of a closed loop; the points whose index is in sharp stay
    corners, every other point is replaced by two points a quarter of the way to its
    neighbours.  Returns the new loop and the indices of its corners."""
    pts = [(np.asarray(p, float), i in sharp) for i, p in enumerate(points)]
    for _ in range(rounds):
        out = []
        for k, (p, keep) in enumerate(pts):
            if keep:
                out.append((p, True))
            else:
                before, after = pts[k - 1][0], pts[(k + 1) % len(pts)][0]
                out += [(0.75 * p + 0.25 * before, False), (0.75 * p + 0.25 * after, False)]
        pts = out
    return [tuple(p) for p, _ in pts], [k for k, (_, keep) in enumerate(pts) if keep]


def adaptive_loop(loop, corners, max_length, tolerance):
    """Resamples a closed loop between consecutive corners, which are kept: steps are
    no longer than max_length and short enough where the loop bends that a chord strays
    from it by about tolerance at most (a chord of length h across a bend of curvature k
    strays by h * h * k / 8).  The steps are spread evenly over the needed density."""
    out = []
    for first, last in zip(corners, corners[1:] + [corners[0] + len(loop)]):
        chain = np.array([loop[k % len(loop)] for k in range(first, last + 1)], float)
        lengths = np.linalg.norm(np.diff(chain, axis=0), axis=1)
        along = np.concatenate([[0.0], np.cumsum(lengths)])
        headings = np.arctan2(*np.diff(chain, axis=0).T[::-1])
        turns = np.abs((np.diff(headings) + math.pi) % (2 * math.pi) - math.pi)
        # Curvature at each inner point, spread over the two segments beside it.
        bend = np.concatenate([[0.0], turns / ((lengths[:-1] + lengths[1:]) / 2), [0.0]])
        density = np.maximum(1 / max_length, np.sqrt(bend / (8 * tolerance)))
        segment_density = (density[:-1] + density[1:]) / 2
        need = np.concatenate([[0.0], np.cumsum(segment_density * lengths)])
        steps = max(1, math.ceil(need[-1] - 1e-9))
        for d in np.interp(need[-1] * np.arange(steps) / steps, need, along):
            out.append((float(np.interp(d, along, chain[:, 0])), float(np.interp(d, along, chain[:, 1]))))
    return out


def resample_loop(loop, max_length):
    """Splits every segment of a closed loop into equal pieces no longer than max_length."""
    out = []
    for k, p in enumerate(loop):
        p, q = np.asarray(p, float), np.asarray(loop[(k + 1) % len(loop)], float)
        pieces = max(1, math.ceil(np.linalg.norm(q - p) / max_length))
        out += [tuple(p + (q - p) * i / pieces) for i in range(pieces)]
    return out


def offset_loop(loop, inset):
    """Moves every point of a counter-clockwise loop inwards by inset (mitred corners)."""
    p = np.asarray(loop, float)
    before, after = p - np.roll(p, 1, axis=0), np.roll(p, -1, axis=0) - p
    left = [np.array([-d[:, 1], d[:, 0]]).T / np.linalg.norm(d, axis=1)[:, None] for d in (before, after)]
    mitre = left[0] + left[1]
    mitre /= np.linalg.norm(mitre, axis=1)[:, None]
    stretch = np.minimum(1.0 / np.maximum(np.sum(mitre * left[1], axis=1), 1e-6), 3.0)
    return [tuple(q) for q in p + mitre * (inset * stretch)[:, None]]


def point_in_loop(point, loop):
    x, y = point
    inside = False
    for k, (x0, y0) in enumerate(loop):
        x1, y1 = loop[k - 1]
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


# ---------------------------------------------------------------- triangulation


def cross2(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def segments_cross(p, q, a, b):
    """True when segments pq and ab cross at a point inside both."""
    d1, d2 = cross2(p, q, a), cross2(p, q, b)
    d3, d4 = cross2(a, b, p), cross2(a, b, q)
    return d1 * d2 < 0 and d3 * d4 < 0


def bridge_holes(points, outer, holes):
    """One weakly simple polygon (indices into points) made of the counter-clockwise
    outer loop and clockwise holes, each hole joined to it by a doubled bridge edge."""
    polygon = list(outer)
    loops = [list(outer)] + [list(h) for h in holes]
    for hole in sorted(holes, key=lambda h: -max(points[i][0] for i in h)):
        start = max(range(len(hole)), key=lambda k: points[hole[k]][0])
        h = hole[start]
        edges = [(lp[k - 1], lp[k]) for lp in loops for k in range(len(lp))]
        candidates = sorted(
            range(len(polygon)),
            key=lambda k: (points[polygon[k]][0] - points[h][0]) ** 2 + (points[polygon[k]][1] - points[h][1]) ** 2,
        )
        for k in candidates:
            o = polygon[k]
            if not any(segments_cross(points[h], points[o], points[a], points[b]) for a, b in edges):
                break
        polygon = polygon[: k + 1] + hole[start:] + hole[: start + 1] + polygon[k:]
    return polygon


def ear_clip(points, polygon):
    """Counter-clockwise triangles covering a counter-clockwise (weakly simple) polygon."""
    xy = np.asarray(points, float)
    place = {}
    # Points at the same place (the two ends of a bridge) must not block each other's ears.
    where = np.array([place.setdefault(tuple(p), len(place)) for p in points])
    remaining = list(polygon)
    triangles = []
    k = 0
    while len(remaining) > 3:
        n = len(remaining)
        rest = np.array(remaining)
        # Resume where the last ear was cut, so ears spread round the polygon.
        for step in range(n):
            i = (k + step) % n
            a, b, c = remaining[i - 1], remaining[i], remaining[(i + 1) % n]
            if cross2(xy[a], xy[b], xy[c]) <= 1e-9:
                continue
            others = xy[rest[(where[rest] != where[a]) & (where[rest] != where[b]) & (where[rest] != where[c])]]
            inside = np.ones(len(others), bool)
            for p, q in ((a, b), (b, c), (c, a)):
                inside &= (xy[q, 0] - xy[p, 0]) * (others[:, 1] - xy[p, 1]) - (xy[q, 1] - xy[p, 1]) * (others[:, 0] - xy[p, 0]) >= -1e-9
            if not inside.any():
                triangles.append((a, b, c))
                del remaining[i]
                k = i
                break
        else:
            raise ValueError("polygon cannot be triangulated")
    triangles.append(tuple(remaining))
    return triangles


def in_circumcircle(a, b, c, d):
    """True when d lies inside the circle through the counter-clockwise a, b, c."""
    m = [[p[0] - d[0], p[1] - d[1], (p[0] - d[0]) ** 2 + (p[1] - d[1]) ** 2] for p in (a, b, c)]
    det = (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
           + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))
    return det > 1e-6 * max(1.0, abs(m[0][2]) + abs(m[1][2]) + abs(m[2][2])) ** 2


class Triangulation:
    """Counter-clockwise triangles over a growing point list.  Each directed edge maps
    to the triangle that owns it; an edge owned on one side only is on the outline,
    which flips and insertions never change."""

    def __init__(self, points, triangles, clear=lambda point: False):
        """clear(point) tells whether a point lies inside the region, clear of its outline."""
        self.points, self.triangles, self.owner, self.serial, self.clear = points, {}, {}, 0, clear
        for t in triangles:
            self.add(*t)
        self.legalise([e for e in self.owner])

    def add(self, a, b, c):
        self.serial += 1
        self.triangles[self.serial] = (a, b, c)
        for e in ((a, b), (b, c), (c, a)):
            self.owner[e] = self.serial

    def remove(self, t):
        a, b, c = self.triangles.pop(t)
        for e in ((a, b), (b, c), (c, a)):
            del self.owner[e]

    def third(self, t, a, b):
        return next(i for i in self.triangles[t] if i != a and i != b)

    def legalise(self, edges):
        """Lawson flips from the given directed edges until all are locally Delaunay."""
        p = self.points
        while edges:
            a, b = edges.pop()
            t, u = self.owner.get((a, b)), self.owner.get((b, a))
            if t is None or u is None:
                continue
            c, d = self.third(t, a, b), self.third(u, b, a)
            if in_circumcircle(p[a], p[b], p[c], p[d]) and cross2(p[a], p[d], p[c]) > 0 and cross2(p[d], p[b], p[c]) > 0:
                self.remove(t)
                self.remove(u)
                self.add(a, d, c)
                self.add(d, b, c)
                edges += [(a, d), (d, b), (b, c), (c, a)]

    def locate(self, point):
        """The triangle holding point: a walk from the newest triangle, else a full search."""
        t = self.serial if self.serial in self.triangles else next(iter(self.triangles))
        for _ in range(len(self.triangles)):
            tri = self.triangles[t]
            step = next(((a, b) for a, b in zip(tri, tri[1:] + tri[:1]) if cross2(self.points[a], self.points[b], point) < 0), None)
            if step is None:
                return t
            t = self.owner.get((step[1], step[0]))
            if t is None:
                break
        return next(t for t, tri in self.triangles.items()
                    if all(cross2(self.points[a], self.points[b], point) >= 0 for a, b in zip(tri, tri[1:] + tri[:1])))

    def insert(self, point):
        """Adds an interior point, splitting the triangle that holds it."""
        t = self.locate(point)
        a, b, c = self.triangles[t]
        m = len(self.points)
        self.points.append(point)
        self.remove(t)
        for x, y in ((a, b), (b, c), (c, a)):
            self.add(x, y, m)
        self.legalise([(a, b), (b, c), (c, a)])

    def split_edge(self, a, b):
        """Adds the midpoint of an interior edge, splitting both triangles beside it."""
        t, u = self.owner[(a, b)], self.owner[(b, a)]
        c, d = self.third(t, a, b), self.third(u, b, a)
        m = len(self.points)
        self.points.append(tuple((np.asarray(self.points[a]) + np.asarray(self.points[b])) / 2))
        self.remove(t)
        self.remove(u)
        for tri in ((a, m, c), (m, b, c), (b, m, d), (m, a, d)):
            self.add(*tri)
        self.legalise([(b, c), (c, a), (a, d), (d, b)])

    def split(self, t):
        """Adds the centre of a triangle's circumcircle when it lies in the region and clear
        of the outline, which makes room evenly round it; else splits the triangle at
        the midpoint of its longest edge when that edge is interior (which splits the
        neighbour too), else at its centroid."""
        corners = self.triangles[t]
        (ax, ay), (bx, by), (cx, cy) = (self.points[i] for i in corners)
        d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
        centre = (((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) + (cx * cx + cy * cy) * (ay - by)) / d,
                  ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) + (cx * cx + cy * cy) * (bx - ax)) / d)
        if self.clear(centre):
            self.insert(centre)
            return
        a, b = max(zip(corners, corners[1:] + corners[:1]), key=lambda e: math.dist(self.points[e[0]], self.points[e[1]]))
        if (b, a) in self.owner:
            self.split_edge(a, b)
        else:
            self.insert(tuple(np.mean([self.points[i] for i in corners], axis=0)))


def distance_from(loops):
    """A function giving the distance from a point (u, v) to the nearest segment of the
    closed loops."""
    segments = [(np.asarray(lp[k - 1], float), np.asarray(lp[k], float)) for lp in loops for k in range(len(lp))]
    start = np.array([s[0] for s in segments])
    delta = np.array([s[1] - s[0] for s in segments])
    lengths = np.sum(delta * delta, axis=1)

    def distance(point):
        p = np.asarray(point, float)
        t = np.clip(np.sum((p - start) * delta, axis=1) / lengths, 0, 1)
        return float(np.min(np.linalg.norm(start + delta * t[:, None] - p, axis=1)))

    return distance


def band_points(loop, rings, spacing):
    """Points on rings parallel to a counter-clockwise loop, a lattice row apart, spread
    evenly along each ring no more than spacing apart.  Where a narrow part brings the
    loop's far side closer than the ring, the ring is broken off."""
    p = np.asarray(resample_loop(loop, spacing / 8), float)
    after = np.roll(p, -1, axis=0) - p
    inward = np.array([-after[:, 1], after[:, 0]]).T / np.linalg.norm(after, axis=1)[:, None]
    inward += np.roll(inward, 1, axis=0)
    inward /= np.linalg.norm(inward, axis=1)[:, None]
    distance = distance_from([loop])
    row = spacing * math.sqrt(0.75)
    points = []
    for k in range(1, rings + 1):
        ring = p + inward * (k * row)
        keep = [distance(q) > 0.9 * k * row and point_in_loop(q, loop) for q in ring]
        if all(keep):
            points += resample_closed(ring, spacing)
            continue
        # Each run of kept points, from just after a dropped one.
        start = keep.index(False)
        chain = []
        for j in list(range(start + 1, len(ring))) + list(range(start + 1)):
            if keep[j]:
                chain.append(ring[j])
            elif chain:
                points += resample_open(chain, spacing)
                chain = []
    return points


def resample_open(chain, spacing):
    """Points evenly spread along an open polyline, its ends included, no more than spacing apart."""
    chain = np.asarray(chain, float)
    along = np.concatenate([[0.0], np.cumsum(np.linalg.norm(np.diff(chain, axis=0), axis=1))])
    steps = max(1, math.ceil(along[-1] / spacing))
    ds = along[-1] * np.arange(steps + 1) / steps if along[-1] > 0 else [0.0]
    return [(float(np.interp(d, along, chain[:, 0])), float(np.interp(d, along, chain[:, 1]))) for d in ds]


def resample_closed(ring, spacing):
    closed = np.vstack([ring, ring[:1]])
    return resample_open(closed, spacing)[:-1]


# How a region is triangulated: the spacing of its lattice, the test every triangle must
# pass, how many rows of points follow its outer outline, and points placed before all
# others (those of them outside the region or on its outline are left out).
Grain = collections.namedtuple("Grain", "spacing fits rings extra", defaults=(0, ()))


def interior_points(outer, holes, grain):
    """Points inside the region for a triangulation at the given Grain: its extra points,
    rings of band points along the outer loop, then a triangular lattice, each point
    kept clear of the outline and of the points before it (the extra points only of the
    outline)."""
    spacing = grain.spacing
    distance = distance_from([outer] + holes)
    candidates = band_points(outer, grain.rings, spacing)
    low, high = np.min(outer, axis=0), np.max(outer, axis=0)
    for row, v in enumerate(np.arange(low[1], high[1], spacing * math.sqrt(0.75))):
        for u in np.arange(low[0] + (row % 2) * spacing / 2, high[0], spacing):
            if point_in_loop((u, v), outer) and not any(point_in_loop((u, v), h) for h in holes):
                candidates.append((float(u), float(v)))
    inside = [q for q in grain.extra if point_in_loop(q, outer) and not any(point_in_loop(q, h) for h in holes)]
    points = [tuple(q) for q in inside if distance(q) > 0.1 * spacing]
    for q in candidates:
        crowded = points and np.min(np.linalg.norm(np.asarray(points) - q, axis=1)) < 0.6 * spacing
        if distance(q) > 0.6 * spacing and not crowded:
            points.append(q)
    return points


def edge_fit(max_edge):
    """Accepts a triangle whose edges are no longer than max_edge."""
    return lambda *corners: all(math.dist(corners[k - 1], corners[k]) <= max_edge for k in range(3))


def cross_fit(max_cross, bulge):
    """Accepts a triangle whose cross product, once its corners are raised by bulge(u, v),
    is no longer than max_cross: the size the demo's face normals survive."""
    def fits(*corners):
        p = np.array([(u, v, bulge(u, v)) for u, v in corners])
        return np.linalg.norm(np.cross(p[1] - p[0], p[2] - p[1])) <= max_cross
    return fits


def triangulate(outer, holes, grain):
    """Triangulates the region inside the counter-clockwise loop outer and outside the
    counter-clockwise loops holes at the given Grain.  Returns (points, triangles): the
    points start with the outline points in the order given (outer, then each hole),
    followed by interior points; triangles run counter-clockwise, are close to
    equilateral inside, with edges of about the grain's spacing, and each satisfies the
    grain's fits (the outline's own segments must already be short enough for that)."""
    spacing = grain.spacing
    points = [tuple(p) for p in outer] + [tuple(p) for h in holes for p in h]
    first = len(outer)
    hole_indices = []
    for h in holes:
        hole_indices.append(list(range(first + len(h) - 1, first - 1, -1)))
        first += len(h)
    distance = distance_from([outer] + holes)

    def clear(p):
        return distance(p) > 0.5 * spacing and point_in_loop(p, outer) and not any(point_in_loop(p, h) for h in holes)

    mesh = Triangulation(points, ear_clip(points, bridge_holes(points, range(len(outer)), hole_indices)), clear)
    for p in interior_points(outer, holes, grain):
        mesh.insert(p)
    for _ in range(100):
        oversized = [t for t, tri in mesh.triangles.items() if not grain.fits(*(mesh.points[i] for i in tri))]
        if not oversized:
            break
        for t in oversized:
            if t in mesh.triangles:
                mesh.split(t)
    else:
        raise ValueError("triangles still too large: is the outline fine enough?")
    return mesh.points, list(mesh.triangles.values())


# ---------------------------------------------------------------- solids


class Part:
    """A named closed piece of a mesh: vertices in the local (u, v, w) frame and
    counter-clockwise faces (seen from outside) indexing them."""

    def __init__(self, name, red=False):
        self.name, self.red = name, red
        self.vertices, self.faces = [], []

    def add_vertex(self, u, v, w):
        self.vertices.append((u, v, w))
        return len(self.vertices) - 1


def add_ring(part, loop, w):
    return [part.add_vertex(u, v, w) for u, v in loop]


def add_walls(part, front_ring, back_ring, inside_out=False):
    """Quads between two rings of equal length, the first nearer the viewer; the rings
    follow a counter-clockwise loop, so the material lies inside it, or outside it
    when inside_out (the walls of a dent)."""
    n = len(front_ring)
    for k in range(n):
        a, b = front_ring[k], front_ring[(k + 1) % n]
        a2, b2 = back_ring[k], back_ring[(k + 1) % n]
        quad = [(a, a2, b2), (a, b2, b)]
        part.faces += [(t[2], t[1], t[0]) for t in quad] if inside_out else quad


def add_fan_cap(part, ring, apex, facing_front):
    """Closes a ring with triangles meeting at apex (u, v, w)."""
    centre = part.add_vertex(*apex)
    n = len(ring)
    for k in range(n):
        a, b = ring[k], ring[(k + 1) % n]
        part.faces.append((centre, a, b) if facing_front else (centre, b, a))


def add_filled_cap(part, ring, loop, hole_rings, hole_loops, w, facing_front, grain, bulge=None):
    """Closes a ring (and the holes cut into it) with a region triangulated at the given
    Grain at depth w; interior points are moved along w by bulge(u, v) when given."""
    points, triangles = triangulate(loop, hole_loops, grain)
    index = list(ring) + [i for r in hole_rings for i in r]
    for u, v in points[len(index):]:
        index.append(part.add_vertex(u, v, w + (bulge(u, v) if bulge else 0.0)))
    for a, b, c in triangles:
        part.faces.append((index[a], index[b], index[c]) if facing_front else (index[c], index[b], index[a]))


def inset_loop(loop, inset):
    return offset_loop(loop, inset) if inset else list(loop)


def profile_rings(part, loop, profile):
    """Rings of a solid swept along w: one ring per (inset, w) of the profile, front first."""
    return [add_ring(part, inset_loop(loop, inset), w) for inset, w in profile]


def add_walls_along(part, rings, inside_out=False):
    for front, back in zip(rings, rings[1:]):
        add_walls(part, front, back, inside_out)


def slab(part, outline, profile, grain, dents=(), bulge=None, back_grain=None):
    """A solid whose cross-section is outline (counter-clockwise), shrunk by each profile
    step's inset at that step's w, with caps on the first (front) and last (back) profile
    steps, triangulated at the given Grain (the back at back_grain when given).  Each
    dent (outline, profile, bulge, grain) is a pocket in the front cap: its walls follow
    its own profile into the solid and a floor closes it, shaped by the dent's own bulge
    (or flat when that is None)."""
    rings = profile_rings(part, outline, profile)
    add_walls_along(part, rings)
    hole_rings, hole_loops = [], []
    for dent_outline, dent_profile, dent_bulge, dent_grain in dents:
        dent_rings = profile_rings(part, dent_outline, dent_profile)
        add_walls_along(part, dent_rings, inside_out=True)
        floor_inset, floor_w = dent_profile[-1]
        floor = inset_loop(dent_outline, floor_inset)
        add_filled_cap(part, dent_rings[-1], floor, [], [], floor_w, True, dent_grain, dent_bulge)
        hole_rings.append(dent_rings[0])
        hole_loops.append(inset_loop(dent_outline, dent_profile[0][0]))
    front_inset, front_w = profile[0]
    back_inset, back_w = profile[-1]
    front, back = inset_loop(outline, front_inset), inset_loop(outline, back_inset)
    add_filled_cap(part, rings[0], front, hole_rings, hole_loops, front_w, True, grain, bulge)
    add_filled_cap(part, rings[-1], back, [], [], back_w, False, back_grain or grain, bulge and (lambda u, v: -bulge(u, v)))


def prism(part, outline, front_w, back_w):
    """A straight extrusion of a small convex outline, capped with fans around its centre."""
    rings = [add_ring(part, outline, front_w), add_ring(part, outline, back_w)]
    add_walls(part, *rings)
    cu, cv = np.mean(np.asarray(outline), axis=0)
    add_fan_cap(part, rings[0], (cu, cv, front_w), True)
    add_fan_cap(part, rings[1], (cu, cv, back_w), False)


def lathe(part, centre, profile, segments):
    """A solid of revolution about the w axis through centre (u, v).  profile lists
    (radius, w) from the front pole to the back pole; both poles have radius 0."""
    rings = [add_ring(part, circle(centre, r, segments), w) for r, w in profile[1:-1]]
    add_walls_along(part, rings)
    add_fan_cap(part, rings[0], (*centre, profile[0][1]), True)
    add_fan_cap(part, rings[-1], (*centre, profile[-1][1]), False)


def quarter_round(radius, front_w, back_w, steps):
    """(inset, w) profile of a slab between front_w and back_w whose edges are rounded
    with the given radius, front first.  A narrow flat step at each cap keeps the
    averaged vertex normals of the rounding from shading the flat cap."""
    front = [(radius + SUPPORT_STEP, front_w)]
    front += [(radius * (1 - math.sin(a)), front_w - radius * (1 - math.cos(a))) for a in np.linspace(0, math.pi / 2, steps + 1)]
    back = [(inset, back_w + (front_w - w)) for inset, w in reversed(front)]
    return front + back


# Width of the flat step that separates a rounded or bevelled edge from a flat face.
SUPPORT_STEP = 2.5


# ---------------------------------------------------------------- assembly and file


def assemble(parts, axes):
    """Concatenates parts in order into integer model vertices and file-wound faces.
    axes maps a local (u, v, w) to model (x, y, z).  Returns (vertices, faces, ranges)
    with ranges = [(name, red, first face, face count)]."""
    vertices, faces, ranges = [], [], []
    for part in parts:
        base = len(vertices)
        vertices += [tuple(int(round(c)) for c in axes(*p)) for p in part.vertices]
        ranges.append((part.name, part.red, len(faces), len(part.faces)))
        # Reversed once here: the file's faces run clockwise seen from outside.
        faces += [(base + c, base + b, base + a) for a, b, c in part.faces]
    return vertices, faces, ranges


def encode_3do(vertices, faces, scale):
    words = [len(vertices), 0, len(faces)]
    for v in vertices:
        words += [c * scale + COORD_BIAS for c in v]
    for f in faces:
        words += list(f)
    return struct.pack("<%di" % len(words), *words)


def decode_3do(data, scale):
    """Reads a .3do image the way the demo's loader does: V, E, F, then V biased
    vertices converted to model units (single-precision division by scale,
    truncated toward zero), E edges and F faces.  Returns (vertices, edges, faces)."""
    def word(k):
        return struct.unpack_from("<i", data, 4 * k)[0]

    v_count, e_count, f_count = word(0), word(1), word(2)
    assert 0 <= v_count <= MAX_VERTICES and 0 <= e_count and 0 < f_count <= MAX_FACES, "implausible counts"
    assert len(data) == 12 + 12 * v_count + 8 * e_count + 12 * f_count, "file length disagrees with the counts"
    ints = np.frombuffer(data, "<i4").astype(np.int64)
    raw = ints[3 : 3 + 3 * v_count].reshape(-1, 3)
    coords = ((raw - COORD_BIAS).astype(np.int32).astype(np.float32) / np.float32(scale)).astype(np.int64)
    edges = ints[3 + 3 * v_count : 3 + 3 * v_count + 2 * e_count].reshape(-1, 2)
    faces = ints[3 + 3 * v_count + 2 * e_count :].reshape(-1, 3)
    return coords, edges, faces


def components(faces, vertex_count):
    parent = list(range(vertex_count))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for a, b, c in faces:
        parent[root(b)] = root(a)
        parent[root(c)] = root(a)
    return [root(int(f[0])) for f in faces]


def validate(path, scale, min_faces):
    """Re-reads a written file and checks everything the demo relies on.  Returns the
    decoded (vertices, faces)."""
    with open(path, "rb") as f:
        vertices, edges, faces = decode_3do(f.read(), scale)
    n = len(vertices)
    assert len(faces) >= min_faces, "%s: %d faces, need %d" % (path, len(faces), min_faces)
    assert faces.min() >= 0 and faces.max() < n and (edges.size == 0 or edges.max() < n), "index out of range"
    assert np.all((faces[:, 0] != faces[:, 1]) & (faces[:, 1] != faces[:, 2]) & (faces[:, 0] != faces[:, 2])), "repeated corner"
    assert np.bincount(faces.ravel(), minlength=n).max() <= MAX_CORNER_USES, "vertex used by too many corners"
    # Closed and consistently wound: each directed edge once, and its reverse once.
    directed = {}
    for a, b, c in faces.tolist():
        for e in ((a, b), (b, c), (c, a)):
            directed[e] = directed.get(e, 0) + 1
    assert all(k == 1 and directed.get((e[1], e[0])) == 1 for e, k in directed.items()), "mesh is not closed"
    # Normals as the demo computes them: the cross product must survive 32-bit squaring.
    p0, p1, p2 = (vertices[faces[:, k]] for k in range(3))
    cross = np.cross(p1 - p0, p2 - p1)
    squared = np.sum(cross * cross, axis=1)
    assert squared.max() <= MAX_CROSS_SQUARED, "face normal overflows (%d)" % squared.max()
    degenerate = int(np.sum(squared == 0))
    # Clockwise seen from outside: every closed piece has a negative signed volume.
    volume = np.einsum("ij,ij->i", p0.astype(float), np.cross(p1, p2).astype(float)) / 6
    piece = np.array(components(faces.tolist(), n))
    for root in np.unique(piece):
        assert volume[piece == root].sum() < 0, "piece wound outwards"
    longest = max(np.linalg.norm(b - a, axis=1).max() for a, b in ((p0, p1), (p1, p2), (p2, p0)))
    print("%s: %d vertices, %d faces, %d pieces, %d degenerate faces, longest edge %.0f, largest normal square %d"
          % (os.path.basename(path), n, len(faces), len(np.unique(piece)), degenerate, longest, squared.max()))
    return vertices, faces


# ---------------------------------------------------------------- the pose of the demo


def rotation_matrix(r0, r1, r2):
    """The demo's integer rotation matrix (x, then y, then z), built in single precision."""
    f = np.float32
    r0, r1, r2 = f(r0), f(r1), f(r2)
    sa, sb, sc = np.sin(r0), np.sin(r1), np.sin(r2)
    ca, cb, cc = np.cos(r0), np.cos(r1), np.cos(r2)
    p, q = sa * sb, ca * sb
    rows = [
        [cb * cc, cc * p - ca * sc, cc * q + sa * sc],
        [cb * sc, ca * cc + sc * p, cc * (-sa) + sc * q],
        [None, cb * sa, ca * cb],
    ]
    m = np.zeros((3, 3), np.int64)
    for i in range(3):
        for j in range(3):
            m[i, j] = int(sb * f(-256.0)) if rows[i][j] is None else int(rows[i][j] * f(256.0))
    return m


def transform(vertices, rotation, position):
    """Camera coordinates (8 fraction bits) of every vertex for one pose."""
    camera = vertices @ rotation_matrix(*rotation).T
    return camera + np.array([int(np.float32(c) * np.float32(256.0)) for c in position])


def project(camera):
    """Screen points of vertices in front of the viewer (truncating division)."""
    z = np.maximum(camera[:, 2], 1)
    x = np.trunc((camera[:, 0] << 8) / z).astype(np.int64) + 160
    y = np.trunc((camera[:, 1] << 8) / z).astype(np.int64) + 120
    return np.stack([x, y], axis=1)


# Object 2: tunnel stage, scene clock 50416 .. 75624; flipped about x, spun about y.
def emblem_pose(t):
    return (3.1415169, float(np.float32(-t * 0.00048828125)), 0.0), (0.0, 1024.0, 8192.0)


# Object 6: last 3D stage, scene clock 100832 .. 126040; stood up about x, tilted about z.
def console_pose(t):
    return (1.5707585, float(np.float32(((t / 3.0) / 180.0) / -3.14151693)), 0.39268962), (0.0, 0.0, 512.0)


def check_fit(name, vertices, pose, first, last):
    """Steps the pose over a stage and reports how far the projection strays off the frame."""
    worst, frames_off, frames = (0, 0, 0, 0), 0, 0
    for t in range(first, last + 1, 40):
        camera = transform(vertices, *pose(t))
        assert camera[:, 2].min() > 0, "%s: vertex behind the viewer at %d ms" % (name, t)
        pts = project(camera)
        over = (-pts[:, 0].min(), pts[:, 0].max() - 319, -pts[:, 1].min(), pts[:, 1].max() - 239)
        worst = tuple(max(w, o) for w, o in zip(worst, over))
        frames_off += max(over) > 0
        frames += 1
    print("%s: pixels beyond left/right/top/bottom edge at worst %s; %d of %d frames touch an edge"
          % (name, worst, frames_off, frames))
    return worst


# ---------------------------------------------------------------- the emblem


EMBLEM_SCALE = 1024
# The moon and the lark are drawn in the units below and enlarged by this much.
EMBLEM_ZOOM = 1.12
# Half the slab's thickness: its walls are one quad high, thin enough that the face size
# limit lets their outline steps be as long as the caps' lattice spacing.
EMBLEM_HALF_DEPTH = 107.0
EMBLEM_PILLOW = 140.0  # how far the middle of each face swells out
EMBLEM_PILLOW_WIDTH = 500.0  # within this distance of the outline
# Seen from 8192 units away the emblem has 32 model units to a pixel, so no triangle whose
# normal the demo can compute covers more than about 22 pixels: the faces are made close
# to that size, and the caps' rows follow the outline, so that the swelling shades evenly.
EMBLEM_MAX_CROSS = 45500.0  # below 46340 by a margin for the rounding to whole units
EMBLEM_SPACING = 215.0  # lattice spacing of the caps
EMBLEM_RINGS = 20  # rows along the outline: enough to meet in the middle of the widest part
EMBLEM_TOLERANCE = 6.0  # how far the outline's chords may stray from the curves
# Model y is lifted so that the emblem sits in the middle of the frame: the pose
# moves it 1024 units down.
EMBLEM_LIFT = 1024.0

MOON_OUTER = ((-500.0, 0.0), 2750.0)
MOON_INNER = ((450.0, 420.0), 2350.0)

# The lark in flight, heading right with its near wing raised, in units of
# LARK_UNIT; every listed point is a corner kept sharp by the smoothing.
LARK_POINTS = [
    (13.0, 2.5), (11.7, 3.2), (10.9, 3.9), (10.3, 4.6), (9.9, 4.0), (8.9, 3.6),
    (7.6, 3.2), (6.7, 3.7), (6.2, 5.4), (5.0, 7.6), (3.2, 9.6), (0.6, 11.2),
    (1.5, 10.2), (-0.4, 10.0), (0.8, 9.0), (-1.2, 8.6), (0.0, 7.6), (-1.6, 7.0),
    (-0.6, 5.6), (0.2, 3.6), (-1.2, 2.0), (-4.9, 2.9), (-3.7, 1.3), (-5.0, 0.1),
    (-1.3, 0.6), (1.5, 0.0), (4.6, 0.2), (7.6, 0.8), (10.0, 1.7), (11.5, 2.2),
]
# Beak, crest, the fingered wing tip and the forked tail.
LARK_SHARP = {0, 3, 11, 12, 13, 14, 15, 16, 17, 21, 22, 23}
LARK_UNIT = 225.0
LARK_ORIGIN = (400.0, -900.0)


def crescent_outline():
    (c0, r0), (c1, r1) = MOON_OUTER, MOON_INNER
    d = math.dist(c0, c1)
    along = (r0 * r0 - r1 * r1 + d * d) / (2 * d)
    base = math.atan2(c1[1] - c0[1], c1[0] - c0[0])
    spread = math.acos(along / r0)
    tip_a, tip_b = base + spread, base - spread + 2 * math.pi
    outer = arc(c0, r0, tip_a, tip_b, 96)
    tip_b_point, tip_a_point = outer[-1], outer[0]
    inner_start = math.atan2(tip_b_point[1] - c1[1], tip_b_point[0] - c1[0])
    inner_end = math.atan2(tip_a_point[1] - c1[1], tip_a_point[0] - c1[0])
    while inner_end > inner_start:
        inner_end -= 2 * math.pi
    inner = arc(c1, r1, inner_start, inner_end, 80)
    loop = outer[:-1] + inner[:-1]
    assert signed_area(loop) > 0
    return loop, [0, len(outer) - 1]


def lark_outline():
    ou, ov = LARK_ORIGIN
    points = [(ou + LARK_UNIT * u, ov + LARK_UNIT * v) for u, v in LARK_POINTS]
    assert signed_area(points) > 0
    return smooth_loop(points, LARK_SHARP, 3)


def pillow(outline, height, width):
    """Raises a cap's interior smoothly by up to height within width of the outline."""
    distance = distance_from([outline])

    def bulge(u, v):
        x = min(distance((u, v)) / width, 1.0)
        return height * (1 - (1 - x) ** 2)

    return bulge


def emblem_parts():
    """The moon and the lark as two pillowed slabs, centred on the spin axis."""
    (moon, moon_corners), (lark, lark_corners) = crescent_outline(), lark_outline()
    apart = not any(point_in_loop(p, moon) for p in lark) and not any(point_in_loop(p, lark) for p in moon)
    assert apart, "the lark overlaps the moon"
    everything = np.array(moon + lark)
    centre = (everything.min(axis=0) + everything.max(axis=0)) / 2
    walls = [(0.0, EMBLEM_HALF_DEPTH), (0.0, -EMBLEM_HALF_DEPTH)]
    # Outline steps as long as the lattice spacing, and short enough that each wall quad's
    # two triangles stay within the limit.
    step = min(EMBLEM_MAX_CROSS / (2 * EMBLEM_HALF_DEPTH), EMBLEM_SPACING)
    parts = []
    for name, outline, corners in (("moon", moon, moon_corners), ("lark", lark, lark_corners)):
        part = Part(name)
        placed = [tuple((np.asarray(p) - centre) * EMBLEM_ZOOM) for p in outline]
        loop = adaptive_loop(placed, corners, step, EMBLEM_TOLERANCE)
        bulge = pillow(loop, EMBLEM_PILLOW, EMBLEM_PILLOW_WIDTH)
        slab(part, loop, walls, Grain(EMBLEM_SPACING, cross_fit(EMBLEM_MAX_CROSS, bulge), EMBLEM_RINGS), bulge=bulge)
        parts.append(part)
    return parts


def emblem_axes(u, v, w):
    # Upright after the flip about x: local up (v) is model +y, the front (w) model +z.
    return u, v + EMBLEM_LIFT, w


# ---------------------------------------------------------------- the console


CONSOLE_SCALE = 256
BODY_HALF_WIDTH, BODY_HALF_HEIGHT, BODY_CORNER = 176.0, 98.0, 56.0
BODY_FRONT, BODY_BACK, BODY_EDGE_RADIUS = 24.0, -24.0, 14.0
BODY_CORNER_STEPS = 6  # per quarter turn of the outline's corners
BODY_EDGE_STEPS = 2  # per quarter turn of the rounded edges
BODY_SIDE_STEP = 60.0  # longest step along the outline's straight sides
BODY_CAP_EDGE = 80.0  # longest edge of the flat front and back
SCREEN_CENTRE, SCREEN_HALF = (0.0, 12.0), (80.0, 60.0)
SCREEN_CORNER_STEPS, SCREEN_SIDE_STEP = 2, 50.0
SCREEN_DEPTH = 5.0
SCREEN_DISH = 6.0
SCREEN_DISH_WIDTH = 40.0  # the glass's rim, over which it sinks by SCREEN_DISH
GLASS_SPACING = 40.0  # spacing of the glass's points, in rows along its rim
# The console is laid out in the units above and enlarged by this much to fill the frame.
CONSOLE_ZOOM = 1.25
STICK_CENTRE, BUTTONS_CENTRE, BUTTON_SPACING = (-124.0, 26.0), (124.0, 16.0), 27.0
# The shoulder buttons sink only 6 units into the body: the less of a part lies hidden
# inside another, the less of it the far-to-near order can wrongly show.
SHOULDER_U, SHOULDER_V, SHOULDER_HALF = 104.0, 100.0, (40.0, 8.0)

# Material ranges the object table gives this file: faces 0-63 and 356-493 red.
RED_RANGES = ((0, 64), (356, 494))


def body_part():
    part = Part("body, recessed screen")
    corners = rounded_rectangle((0, 0), BODY_HALF_WIDTH, BODY_HALF_HEIGHT, BODY_CORNER, BODY_CORNER_STEPS)
    outline = resample_loop(corners, BODY_SIDE_STEP)
    screen = resample_loop(rounded_rectangle(SCREEN_CENTRE, *SCREEN_HALF, 10.0, SCREEN_CORNER_STEPS), SCREEN_SIDE_STEP)
    screen_profile = [
        (-SUPPORT_STEP, BODY_FRONT), (0.0, BODY_FRONT),
        (SCREEN_DEPTH, BODY_FRONT - SCREEN_DEPTH), (SCREEN_DEPTH + SUPPORT_STEP, BODY_FRONT - SCREEN_DEPTH),
    ]
    # The glass is dished a little, so that it catches the light unlike the flat front;
    # its rings follow the rim, so that the dish shades evenly all round.
    floor = offset_loop(screen, SCREEN_DEPTH + SUPPORT_STEP)
    glass = pillow(floor, -SCREEN_DISH, SCREEN_DISH_WIDTH)
    glass_grain = Grain(GLASS_SPACING, edge_fit(1.5 * GLASS_SPACING), 2)
    profile = quarter_round(BODY_EDGE_RADIUS, BODY_FRONT, BODY_BACK, BODY_EDGE_STEPS)
    back_grain = Grain(0.9 * BODY_CAP_EDGE, edge_fit(BODY_CAP_EDGE))
    front_grain = back_grain._replace(extra=front_guards())
    slab(part, outline, profile, front_grain, dents=[(screen, screen_profile, glass, glass_grain)], back_grain=back_grain)
    return part


def shoulder_parts():
    parts = []
    for side in (-1, 1):
        part = Part("shoulder button", red=True)
        # A rectangle with chamfered corners: one step per corner arc, eight points.
        outline = rounded_rectangle((side * SHOULDER_U, SHOULDER_V), *SHOULDER_HALF, 7.0, 1)
        prism(part, outline, 14.0, -14.0)
        parts.append(part)
    return parts


STICK_PROFILE = [(0.0, 36.0), (12.0, 39.0), (19.0, 35.0), (19.0, 18.0), (0.0, 18.0)]
STICK_SEGMENTS = 7
BUTTON_PROFILE = [(0.0, 33.0), (11.0, 33.0), (11.0, 18.0), (0.0, 18.0)]
BUTTON_SEGMENTS = 6
SMALL_BUTTON_CENTRES, SMALL_BUTTON_HALF, SMALL_BUTTON_ROUND = ((-24.0, -70.0), (24.0, -70.0)), (13.0, 5.0), 4.9
# How far round the stick and the buttons the front's triangles stay small (see front_guards).
GUARD_MARGIN = 5.0


def face_button_centres():
    cu, cv = BUTTONS_CENTRE
    return [(cu + du * BUTTON_SPACING, cv + dv * BUTTON_SPACING) for du, dv in ((0, 1), (1, 0), (0, -1), (-1, 0))]


def stick_part():
    part = Part("thumb stick", red=True)
    # Front pole dished into the knob, a rounded rim, and a base sunk into the body.
    lathe(part, STICK_CENTRE, STICK_PROFILE, STICK_SEGMENTS)
    return part


def face_button_parts():
    parts = []
    for centre in face_button_centres():
        part = Part("face button", red=True)
        lathe(part, centre, BUTTON_PROFILE, BUTTON_SEGMENTS)
        parts.append(part)
    return parts


def small_button_parts():
    parts = []
    for centre in SMALL_BUTTON_CENTRES:
        part = Part("start/select button")
        prism(part, rounded_rectangle(centre, *SMALL_BUTTON_HALF, SMALL_BUTTON_ROUND, 3), 28.0, 18.0)
        parts.append(part)
    return parts


def front_guards():
    """Points of the front just round the stick and the buttons.  The faces are drawn far
    to near by their mean depth, so a large flat face of the front, turned towards the
    viewer on one side, can count as nearer than a button standing on it and be drawn
    over it; with a ring of points round each, the front's faces under a button are no
    larger than the button and lie behind it."""
    rings = [circle(STICK_CENTRE, STICK_PROFILE[2][0] + GUARD_MARGIN, STICK_SEGMENTS)]
    rings += [circle(centre, BUTTON_PROFILE[1][0] + GUARD_MARGIN, BUTTON_SEGMENTS) for centre in face_button_centres()]
    half_u, half_v = SMALL_BUTTON_HALF
    rings += [rounded_rectangle(centre, half_u + GUARD_MARGIN, half_v + GUARD_MARGIN, SMALL_BUTTON_ROUND + GUARD_MARGIN, 1)
              for centre in SMALL_BUTTON_CENTRES]
    return [p for ring in rings for p in ring]


def runs(indices):
    """Consecutive runs (first, last) of a sorted list of face indices."""
    out = []
    for i in indices:
        if out and out[-1][1] == i - 1:
            out[-1] = (out[-1][0], i)
        else:
            out.append((i, i))
    return out


def assemble_console():
    """The console with its faces placed on the material ranges of the object table:
    shoulder buttons on the first red run, stick and face buttons on the second, and
    the grey body and start/select buttons before, between and after them."""
    red_first = shoulder_parts()
    red_second = [stick_part()] + face_button_parts()
    grey = [body_part()] + small_button_parts()
    vertices, faces, ranges = assemble(red_first + red_second + grey, console_axes)
    first_count, second_count = (sum(len(p.faces) for p in ps) for ps in (red_first, red_second))
    assert (0, first_count) == RED_RANGES[0], first_count
    assert RED_RANGES[1][1] - RED_RANGES[1][0] == second_count, second_count
    # Assembled order is red, red, grey; the grey faces are split round the second red run.
    head = RED_RANGES[1][0] - RED_RANGES[0][1]
    order = list(range(first_count))
    grey_start = first_count + second_count
    order += list(range(grey_start, grey_start + head))
    order += list(range(first_count, grey_start))
    order += list(range(grey_start + head, len(faces)))
    place = np.argsort(order)
    layout = []
    for name, red, first, count in ranges:
        for lo, hi in runs(sorted(place[first : first + count])):
            assert red == any(a <= lo and hi < b for a, b in RED_RANGES), "%s falls on the wrong material" % name
            layout.append((lo, hi, name, red))
    return vertices, [faces[i] for i in order], sorted(layout)


def console_axes(u, v, w):
    # Stood up by the quarter turn about x: local up (v) is model +z, the viewer is at model -y.
    return CONSOLE_ZOOM * u, -CONSOLE_ZOOM * w, CONSOLE_ZOOM * v


# ---------------------------------------------------------------- preview


def ramp_colours():
    """Ramp slot 6 of the demo (the tunnel scene's), for the preview."""
    stops = [(0, (15, 31, 0)), (64, (15, 63, 0)), (128, (31, 63, 15)), (192, (15, 63, 0)), (255, (15, 31, 0))]
    out = np.zeros((256, 3))
    for (i0, c0), (i1, c1) in zip(stops, stops[1:]):
        for i in range(i0, i1 + 1):
            out[i] = np.array(c0) + (np.array(c1) - np.array(c0)) * (i - i0) / (i1 - i0)
    return (out * np.array([255 / 31, 255 / 63, 255 / 31])).astype(np.uint8)


def vertex_normals(vertices, faces):
    """Face and vertex normals as the demo computes them (unit length 256, inward)."""
    p0, p1, p2 = (vertices[faces[:, k]] for k in range(3))
    def normalise(v):
        length = np.floor(np.sqrt(np.sum(v * v, axis=1).astype(float))).astype(np.int64)
        safe = np.maximum(length, 1)[:, None]
        return np.where(length[:, None] > 0, np.trunc((v << 8) / safe).astype(np.int64), 0)
    face_n = normalise(np.cross(p1 - p0, p2 - p1))
    total = np.zeros_like(vertices)
    uses = np.zeros(len(vertices), np.int64)
    for k in range(3):
        np.add.at(total, faces[:, k], face_n)
        np.add.at(uses, faces[:, k], 1)
    return normalise(np.trunc(total / np.maximum(uses, 1)[:, None]).astype(np.int64))


def render(vertices, faces, normals, rotation, position, colour_of, background):
    """One frame: painter's order by summed depth, clockwise faces only, each face
    filled with colours interpolated from per-vertex attributes."""
    frame = np.array(background, np.uint8)[None, None, :].repeat(240, 0).repeat(320, 1).copy()
    camera = transform(vertices, rotation, position)
    pts = project(camera)
    rotated = normals @ rotation_matrix(*rotation).T
    attributes = colour_of(rotated, faces)
    order = np.argsort(-(camera[faces][:, :, 2].sum(axis=1) >> 2), kind="stable")
    ys, xs = np.mgrid[0:240, 0:320]
    for f in order:
        (x0, y0), (x1, y1), (x2, y2) = pts[faces[f]]
        c = (x0 - x1) * (y2 - y1) - (x2 - x1) * (y0 - y1)
        if c >= 0:
            continue
        lo_x, hi_x = max(min(x0, x1, x2), 0), min(max(x0, x1, x2), 319)
        lo_y, hi_y = max(min(y0, y1, y2), 0), min(max(y0, y1, y2), 239)
        if lo_x > hi_x or lo_y > hi_y:
            continue
        px, py = xs[lo_y : hi_y + 1, lo_x : hi_x + 1] + 0.5, ys[lo_y : hi_y + 1, lo_x : hi_x + 1] + 0.5
        area = float((x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0))
        b1 = ((px - x0) * (y2 - y0) - (x2 - x0) * (py - y0)) / area
        b2 = ((x1 - x0) * (py - y0) - (px - x0) * (y1 - y0)) / area
        b0 = 1 - b1 - b2
        inside = (b0 >= 0) & (b1 >= 0) & (b2 >= 0)
        colours = attributes(f, b0, b1, b2)
        frame[lo_y : hi_y + 1, lo_x : hi_x + 1][inside] = colours[inside]
    return frame


def emblem_colouring(ramp):
    def colour_of(rotated, faces):
        shade = np.clip(rotated[:, 2] >> 8, 0, 255)
        def attributes(f, b0, b1, b2):
            s = shade[faces[f]]
            return ramp[np.clip((b0 * s[0] + b1 * s[1] + b2 * s[2]).astype(int), 0, 255)]
        return attributes
    return colour_of


def console_colouring(textures, red_faces):
    def colour_of(rotated, faces):
        u = np.abs((rotated[:, 0] >> 9) + 127) & 255
        v = np.abs((rotated[:, 1] >> 9) + 127) & 255
        def attributes(f, b0, b1, b2):
            uu = (b0 * u[faces[f][0]] + b1 * u[faces[f][1]] + b2 * u[faces[f][2]]).astype(int) >> 2
            vv = (b0 * v[faces[f][0]] + b1 * v[faces[f][1]] + b2 * v[faces[f][2]]).astype(int) >> 2
            return textures[1 if red_faces[f] else 0][np.clip(vv, 0, 63), np.clip(uu, 0, 63)]
        return attributes
    return colour_of


def preview(path, vertices, faces, pose, times, colour_of, background):
    from PIL import Image

    normals = vertex_normals(vertices, faces)
    frames = [render(vertices, faces, normals, *pose(t), colour_of, background) for t in times]
    columns = 3
    sheet = Image.new("RGB", (640 * columns, 480 * math.ceil(len(frames) / columns)))
    for k, frame in enumerate(frames):
        image = Image.fromarray(frame).resize((640, 480), Image.NEAREST)
        sheet.paste(image, (640 * (k % columns), 480 * (k // columns)))
    sheet.save(path)
    print("preview:", path)


# ---------------------------------------------------------------- main


def write(name, vertices, faces, scale, min_faces):
    path = os.path.join(DATA, name)
    with open(path, "wb") as f:
        f.write(encode_3do(vertices, faces, scale))
    return validate(path, scale, min_faces)


def main():
    os.makedirs(DATA, exist_ok=True)
    vertices, faces, ranges = assemble(emblem_parts(), emblem_axes)
    for name, _, first, count in ranges:
        print("  ziriraza faces %d-%d: %s" % (first, first + count - 1, name))
    emblem = write("ziriraza.3do", vertices, faces, EMBLEM_SCALE, 1)
    check_fit("ziriraza", emblem[0], emblem_pose, 50416, 75624)

    vertices, faces, layout = assemble_console()
    for lo, hi, name, red in layout:
        print("  gp2x faces %d-%d: %s (%s)" % (lo, hi, name, "red" if red else "grey"))
    console = write("gp2x.3do", vertices, faces, CONSOLE_SCALE, 494)
    check_fit("gp2x", console[0], console_pose, 100832, 126040)

    if "--preview" in sys.argv:
        from PIL import Image

        assets = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
        textures = [np.asarray(Image.open(os.path.join(assets, n)).convert("RGB")) for n in ("grey_light.png", "red_light.png")]
        preview("/tmp/ziriraza_preview.png", *emblem, emblem_pose, range(50416, 50416 + 6 * 1100, 1100),
                emblem_colouring(ramp_colours()), (20, 10, 40))
        red = np.zeros(len(console[1]), bool)
        for lo, hi in RED_RANGES:
            red[lo:hi] = True
        preview("/tmp/gp2x_preview.png", *console, console_pose, range(106580 - 1500, 106580 + 1501, 600),
                console_colouring(textures, red), (0, 0, 0))


if __name__ == "__main__":
    main()
