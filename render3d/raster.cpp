#include "render3d/raster.hpp"

#include "render3d/raster_internal.hpp"

#include "assets/pictures.hpp"
#include "core/frame.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/face_order.hpp"
#include "render3d/transform.hpp"

#include <algorithm>

// The texture fill's row loop of raster_arm.S, on 32-bit ARM cores running ARM code.
#if defined(__arm__) && !defined(__thumb__)
#define MOONLARK_ARM_ROWS 1
#include <cstddef>
#endif

int32_t fill_mode = FILL_GOURAUD;
EnvironmentCoordinate environment_coordinates[MESH_MAX_VERTICES];

namespace {

// The violet light map as the environment fill's fixed texture: 64 x 64 texels.
const Texture VIOLET_LIGHT{2, violet_light_map};

// One edge of a triangle while it is walked down the scanlines.
template <int N> struct EdgeWalk {
    int32_t at[N + 1];    // x in 24.8, then the attributes x 256, at the current scanline
    int32_t slope[N + 1]; // their change per scanline
};

// The edge from `top` to `bottom`, at top's scanline. A flat edge does not move.
template <int N> EdgeWalk<N> edge_walk(const FillVertex& top, const FillVertex& bottom) {
    const int32_t dy = wrap_sub(bottom.y, top.y);
    EdgeWalk<N> edge;
    for (int k = 0; k <= N; ++k) {
        const int32_t from = k == 0 ? top.x : top.a[k - 1];
        const int32_t to = k == 0 ? bottom.x : bottom.a[k - 1];
        edge.at[k] = from << 8;
        edge.slope[k] = dy == 0 ? 0 : slope(wrap_sub(to, from) << 8, reciprocal(dy));
    }
    return edge;
}

// Moves the edge down by `scanlines`, a count taken modulo 2^32 (the sums wrap all the same).
template <int N> void advance(EdgeWalk<N>& edge, uint32_t scanlines) {
    for (int k = 0; k <= N; ++k)
        edge.at[k] = wrap_add(edge.at[k], wrap_mul(edge.slope[k], static_cast<int32_t>(scanlines)));
}

// Colour rule of the Gouraud fill: attribute 0 is the shade.
struct RampRule {
    const uint16_t* ramp;
    // Writes `count` pixels (at most a frame row), the shade advancing by `slope` after each.
    void fill(uint16_t* out, int32_t count, const int32_t (&value)[1],
              const int32_t (&slope)[1]) const {
        // A span's slope is a 32-bit product shifted right by 16, so |slope| <= 32768 and a
        // row's shades move by less than 2^24: from a shade in 0..65535 the last one is
        // reached without wrapping, and if it is in 0..65535 too, so is every shade between,
        // where ramp_index's clamp has nothing to do.
        const int32_t shade = value[0];
        if (static_cast<uint32_t>(shade) <= 65535 &&
            static_cast<uint32_t>(shade + slope[0] * (count - 1)) <= 65535)
            fill_run(out, count, shade, slope[0], [](int32_t s) { return (s >> 7) & ~1; });
        else
            fill_run(out, count, shade, slope[0], [](int32_t s) { return 2 * ramp_index(s); });
    }
    // `offset` gives the byte offset of a shade's ramp entry.
    template <class Offset>
    void fill_run(uint16_t* out, int32_t count, int32_t shade, int32_t slope, Offset offset) const {
#pragma GCC unroll 2
        for (int32_t x = 0; x < count; ++x) {
            out[x] = colour_at(ramp, offset(shade));
            shade = wrap_add(shade, slope);
        }
    }
};

// Colour rule of the textured fills: attributes 0 and 1 are u and v. texel_index's shifts and
// masks, prepared once per triangle.
struct TextureRule {
    const uint16_t* pixels;
    int32_t shift;     // 8 + the texture's shift: from u or v (value x 256) to a texel
    int32_t mask;      // texels per side - 1
    int32_t side_bits; // log2 of the texels per side
    explicit TextureRule(const Texture& texture)
        : pixels(texture.pixels), shift(8 + texture.shift), mask((1 << (8 - texture.shift)) - 1),
          side_bits(8 - texture.shift) {}
    // Writes `count` pixels, u and v advancing by their slopes after each.
    void fill(uint16_t* out, int32_t count, const int32_t (&value)[2],
              const int32_t (&slope)[2]) const {
        int32_t u = value[0], v = value[1];
        for (int32_t x = 0; x < count; ++x) {
            out[x] = pixels[((v >> shift) & mask) << side_bits | ((u >> shift) & mask)];
            u = wrap_add(u, slope[0]);
            v = wrap_add(v, slope[1]);
        }
    }
};

// TextureRule for textures of 64 x 64 texels (shift 2), the size of every light map: the
// column is bits 10..15 of u and the row bits 10..15 of v. Kept shifted left by 16, u and v
// have those bits on top, where the carries of their sums are the same and nothing wraps into
// them from above; the byte offset of the texel is then two masks of shifts.
struct LightMapRule {
    const uint16_t* pixels;
    void fill(uint16_t* out, int32_t count, const int32_t (&value)[2],
              const int32_t (&slope)[2]) const {
        uint32_t u = static_cast<uint32_t>(value[0]) << 16;
        uint32_t v = static_cast<uint32_t>(value[1]) << 16;
        const uint32_t du = static_cast<uint32_t>(slope[0]) << 16;
        const uint32_t dv = static_cast<uint32_t>(slope[1]) << 16;
        for (int32_t x = 0; x < count; ++x) {
            out[x] = colour_at(pixels, (v >> 19 & 0x1F80) | (u >> 25 & 0x7E));
            u += du;
            v += dv;
        }
    }
};

// Fills the span between the two edges into `row`. The pixel left + j takes the attributes
// A_left + (j + 1) * slope: they advance before each pixel, and the right end is excluded.
// Only the columns inside the frame are visited; the attributes start where they would be.
template <int N, class Rule>
[[gnu::always_inline]] inline void fill_span(const EdgeWalk<N>& a, const EdgeWalk<N>& b,
                                             uint16_t* row, const Rule& rule) {
    const int32_t xa = a.at[0] >> 8, xb = b.at[0] >> 8; // within -2^23 .. 2^23
    if (xa == xb) return;
    const bool a_left = xa < xb;
    const int32_t left = a_left ? xa : xb, right = a_left ? xb : xa;
    const int32_t first = std::max(left, 0), end = std::min(right, FRAME_WIDTH);
    if (first >= end) return;
    const EdgeWalk<N>& l = a_left ? a : b;
    const EdgeWalk<N>& r = a_left ? b : a;
    const int32_t width_reciprocal = reciprocal(right - left);
    int32_t step[N], value[N];
    for (int k = 0; k < N; ++k) {
        step[k] = slope(wrap_sub(r.at[k + 1], l.at[k + 1]), width_reciprocal);
        value[k] = wrap_add(l.at[k + 1], wrap_mul(step[k], first - left + 1));
    }
    rule.fill(row + first, end - first, value, step);
}

// Fills `rows` frame rows from `row` on between the two edges, which are at the scanline of
// the row above the first; both move down a scanline after each row.
template <int N, class Rule>
[[gnu::noinline]] void fill_rows(EdgeWalk<N> short_edge, EdgeWalk<N> long_edge, uint16_t* row,
                                 int32_t rows, const Rule& rule) {
    for (; rows > 0; --rows, row += FRAME_WIDTH) {
        fill_span(short_edge, long_edge, row, rule);
        for (int k = 0; k <= N; ++k) {
            short_edge.at[k] = wrap_add(short_edge.at[k], short_edge.slope[k]);
            long_edge.at[k] = wrap_add(long_edge.at[k], long_edge.slope[k]);
        }
    }
}

// Rows of a triangle part between a left and a right edge that stay inside the frame's
// columns and never cross, at the scanline of the row above the first: the state of the row
// loop, which needs neither fill_rows's choice of sides nor its clipping. The right edge's
// attributes are kept as their difference from the left edge's ("across"), which changes by
// the difference of their slopes. The ARM row loop (raster_arm.S) reads it at fixed offsets.
template <int N> struct InsideRows {
    int32_t left[N], across[N];             // attributes x 256
    int32_t x_left, x_right;                // 24.8
    int32_t left_slope[N], across_slope[N]; // per scanline
    int32_t x_left_slope, x_right_slope;
    uint16_t* row;
    int32_t rows;
    const uint16_t* colours;    // the texels, for the ARM row loop
    const int32_t* reciprocals; // 65536 / n at [n]
};

template <int N>
InsideRows<N> inside_rows(const EdgeWalk<N>& left, const EdgeWalk<N>& right, uint16_t* row,
                          int32_t rows) {
    InsideRows<N> job;
    for (int k = 0; k < N; ++k) {
        job.left[k] = left.at[k + 1];
        job.across[k] = wrap_sub(right.at[k + 1], left.at[k + 1]);
        job.left_slope[k] = left.slope[k + 1];
        job.across_slope[k] = wrap_sub(right.slope[k + 1], left.slope[k + 1]);
    }
    job.x_left = left.at[0];
    job.x_right = right.at[0];
    job.x_left_slope = left.slope[0];
    job.x_right_slope = right.slope[0];
    job.row = row;
    job.rows = rows;
    job.reciprocals = reciprocal_table + 2048;
    return job;
}

template <int N, class Rule> void fill_inside_rows(InsideRows<N> job, const Rule& rule) {
    for (; job.rows > 0; --job.rows, job.row += FRAME_WIDTH) {
        const int32_t first = job.x_left >> 8, width = (job.x_right >> 8) - first; // 0..319
        if (width > 0) {
            int32_t step[N], value[N];
            for (int k = 0; k < N; ++k) {
                step[k] = slope(job.across[k], job.reciprocals[width]);
                value[k] = wrap_add(job.left[k], step[k]);
            }
            rule.fill(job.row + first, width, value, step);
        }
        job.x_left = wrap_add(job.x_left, job.x_left_slope);
        job.x_right = wrap_add(job.x_right, job.x_right_slope);
        for (int k = 0; k < N; ++k) {
            job.left[k] = wrap_add(job.left[k], job.left_slope[k]);
            job.across[k] = wrap_add(job.across[k], job.across_slope[k]);
        }
    }
}

#if MOONLARK_ARM_ROWS
// The texture fill's rows drawn by the ARM row loop: offsets the assembly relies on.
static_assert(offsetof(InsideRows<2>, x_left) == 16 && offsetof(InsideRows<2>, left_slope) == 24 &&
              offsetof(InsideRows<2>, row) == 48 && offsetof(InsideRows<2>, reciprocals) == 60);
static_assert(FRAME_PITCH == 640);
extern "C" void fill_inside_rows_light_map_arm(InsideRows<2>* rows);

void fill_inside_rows(InsideRows<2> job, const LightMapRule& rule) {
    job.colours = rule.pixels;
    fill_inside_rows_light_map_arm(&job);
}
#endif

// Which edge is on the left in every one of `rows` rows, where both edges stay inside the
// frame's columns: +1 the first edge (or the two meet), -1 the second, 0 when that does not
// hold. Edges move linearly, so their first and last rows tell. Int is a type in which the
// last positions cannot overflow.
template <class Int, int N>
int32_t inside_side(const EdgeWalk<N>& a, const EdgeWalk<N>& b, int32_t rows) {
    const Int a_first = a.at[0], b_first = b.at[0];
    const Int a_last = a_first + Int{a.slope[0]} * (rows - 1);
    const Int b_last = b_first + Int{b.slope[0]} * (rows - 1);
    constexpr Int END = Int{FRAME_WIDTH} << 8;
    for (const Int x : {a_first, b_first, a_last, b_last})
        if (x < 0 || x >= END) return 0;
    if (a_first <= b_first && a_last <= b_last) return 1;
    if (a_first >= b_first && a_last >= b_last) return -1;
    return 0;
}

// Fills `rows` frame rows from `row` on between the long and the short edge, which are at the
// scanline of the row above the first.
template <class Int, int N, class Rule>
[[gnu::always_inline]] inline void fill_rows_of_part(const EdgeWalk<N>& long_edge,
                                                     const EdgeWalk<N>& short_edge, uint16_t* row,
                                                     int32_t rows, const Rule& rule) {
    switch (inside_side<Int>(short_edge, long_edge, rows)) {
    case 1:
        return fill_inside_rows(inside_rows(short_edge, long_edge, row, rows), rule);
    case -1:
        return fill_inside_rows(inside_rows(long_edge, short_edge, row, rows), rule);
    default:
        return fill_rows(short_edge, long_edge, row, rows, rule);
    }
}

// Fills scanlines y_first .. y_end - 1 between the long and the short edge, both at
// y_first's scanline. Scanline y lands in frame row y + 1; rows outside the frame are skipped
// by moving both edges past them at once. Int is a type in which the row numbers and the
// edges' positions cannot overflow.
template <class Int, int N, class Rule>
[[gnu::always_inline]] inline void fill_part(const EdgeWalk<N>& long_edge,
                                             const EdgeWalk<N>& short_edge, int32_t y_first,
                                             int32_t y_end, const Rule& rule, uint16_t* frame) {
    const PixelRange rows = clip_to(Int{y_first} + 1, Int{y_end} + 1, ALL_ROWS);
    if (rows.first >= rows.end) return;
    uint16_t* row = frame + rows.first * FRAME_WIDTH;
    const int32_t count = rows.end - rows.first;
    const uint32_t skipped = static_cast<uint32_t>(rows.first) - 1 - static_cast<uint32_t>(y_first);
    if (skipped == 0) return fill_rows_of_part<Int>(long_edge, short_edge, row, count, rule);
    EdgeWalk<N> long_below = long_edge, short_below = short_edge;
    advance(long_below, skipped);
    advance(short_below, skipped);
    fill_rows_of_part<Int>(long_below, short_below, row, count, rule);
}

// Whether a corner lies within 2^14 pixels of the frame's origin, as every corner of an
// object on the screen does. With three such corners, row numbers and edge positions (24.8)
// after up to 2^15 rows of slopes below 2^15 stay far inside 32 bits.
bool tame(const FillVertex& corner) {
    constexpr uint32_t REACH = 1 << 14;
    return static_cast<uint32_t>(corner.x) + REACH <= 2 * REACH &&
           static_cast<uint32_t>(corner.y) + REACH <= 2 * REACH;
}

// Fills the upper part of the triangle T, M, B (by ascending y) between edges TM and TB, then
// the lower part between MB and TB; a part without rows is passed over. Int as for fill_part.
template <class Int, int N, class Rule>
[[gnu::always_inline]] inline void fill_parts(const FillVertex& t, const FillVertex& m,
                                              const FillVertex& b, const Rule& rule,
                                              uint16_t* frame) {
    EdgeWalk<N> long_edge = edge_walk<N>(t, b);
    if (m.y != t.y) {
        fill_part<Int>(long_edge, edge_walk<N>(t, m), t.y, m.y, rule, frame);
        advance(long_edge, static_cast<uint32_t>(m.y) - static_cast<uint32_t>(t.y));
    }
    if (m.y != b.y) fill_part<Int>(long_edge, edge_walk<N>(m, b), m.y, b.y, rule, frame);
}

// Fills the triangle with N interpolated attributes, coloured by `rule`. No half-pixel
// offsets: scanline y(T) starts and ends at x(T) and stays empty.
template <int N, class Rule>
void fill_by_rule(const FillVertex& c0, const FillVertex& c1, const FillVertex& c2,
                  const Rule& rule, uint16_t* frame) {
    // Insertion sort by y: corners on the same row keep their stored order.
    const FillVertex* v[3] = {&c0, &c1, &c2};
    if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
    if (v[2]->y < v[1]->y) {
        std::swap(v[1], v[2]);
        if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
    }
    const FillVertex &t = *v[0], &m = *v[1], &b = *v[2];
    if (t.y == b.y) return; // one scanline, every span empty
    if (tame(t) && tame(m) && tame(b)) return fill_parts<int32_t, N>(t, m, b, rule, frame);
    fill_parts<int64_t, N>(t, m, b, rule, frame);
}

// The corners of this draw call's faces by vertex: projected position and attributes (the
// shade, or the environment coordinates), gathered once per vertex rather than per corner.
FillVertex fill_vertices[MESH_MAX_VERTICES];

void gather_shaded_corners(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.vertex_count; ++i) {
        const ProjectedPoint& p = projected_points[i];
        fill_vertices[i] = {p.x, p.y, {p.shade, p.shade}}; // the second attribute is not read
    }
}

void gather_textured_corners(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.vertex_count; ++i) {
        const ProjectedPoint& p = projected_points[i];
        const EnvironmentCoordinate& e = environment_coordinates[i];
        fill_vertices[i] = {p.x, p.y, {e.u, e.v}};
    }
}

// Keys and sorts all faces of the Mesh: face_order then lists them far to near.
void order_faces(const Mesh& mesh) {
    build_depth_keys(mesh);
    sort_faces(0, mesh.face_count - 1, depth_keys);
}

// The texture of a face's Material, or none when the Material holds no texture.
const Texture* material_texture(const Mesh& mesh, const Face& face) {
    const Material& material = mesh.materials[face.material];
    return material.type == MATERIAL_TEXTURE ? &material.textures[0] : nullptr;
}

// One draw call's faces, ordered far to near in face_order, and how they are filled.
struct FaceFill {
    const Mesh* mesh;
    bool culled;          // faces turned away are skipped
    const uint16_t* ramp; // the Gouraud fill's ramp; none for the texture fills
    bool by_material;     // texture fills: each face's Material, else the violet light map
    uint16_t* frame;
};

// Fills the faces in drawing order; with `cull`, the faces turned away are skipped.
void fill_faces(const FaceFill& fill) {
    const Mesh& mesh = *fill.mesh;
    for (int32_t k = 0; k < mesh.face_count; ++k) {
        const FaceCorners& f = face_corners[face_order[k]];
        const FillVertex& c0 = fill_vertices[f.vertex[0]];
        const FillVertex& c1 = fill_vertices[f.vertex[1]];
        const FillVertex& c2 = fill_vertices[f.vertex[2]];
        if (fill.culled && !faces_viewer(c0, c1, c2)) continue;
        if (fill.ramp) {
            fill_triangle(c0, c1, c2, fill.ramp, fill.frame);
            continue;
        }
        const Texture* texture =
            fill.by_material ? material_texture(mesh, mesh.faces[face_order[k]]) : &VIOLET_LIGHT;
        if (texture) fill_triangle(c0, c1, c2, *texture, fill.frame);
    }
}

void draw_gouraud(const Mesh& mesh, const uint16_t* ramp, uint16_t* frame) {
    rotate_vertex_normals(mesh);
    compute_vertex_shades(mesh);
    order_faces(mesh);
    gather_shaded_corners(mesh);
    fill_faces({&mesh, true, ramp, false, frame});
}

// Environment-mapped faces: every face from the violet light map, or, by_material, only the
// faces turned to the viewer, each from its own Material's texture.
void draw_environment_mapped(const Mesh& mesh, bool by_material, uint16_t* frame) {
    rotate_vertex_normals(mesh);
    order_faces(mesh);
    compute_environment_coordinates(mesh);
    gather_textured_corners(mesh);
    fill_faces({&mesh, by_material, nullptr, by_material, frame});
}

} // namespace

EnvironmentCoordinate environment_coordinate(Vec3 rotated_normal) {
    auto fold = [](int32_t n) {
        const int32_t c = (n >> 9) + 127;
        return (c < 0 ? -c : c) & 255;
    };
    return {fold(rotated_normal.x), fold(rotated_normal.y)};
}

void compute_environment_coordinates(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.vertex_count; ++i)
        environment_coordinates[i] = environment_coordinate(rotated_vertex_normals[i]);
}

int32_t reciprocal(int32_t n) {
    if (n >= -2048 && n <= 2047) return reciprocal_table[n + 2048];
    return 65536 / n;
}

int32_t ramp_index(int32_t shade) {
    return std::clamp(shade >> 8, 0, 255);
}

int32_t texel_index(int32_t u, int32_t v, int32_t shift) {
    const int32_t side_bits = 8 - shift;
    const int32_t mask = (1 << side_bits) - 1;
    const int32_t row = ((v >> 8) >> shift) & mask;
    const int32_t column = ((u >> 8) >> shift) & mask;
    return (row << side_bits) + column;
}

void fill_triangle(const FillVertex& c0, const FillVertex& c1, const FillVertex& c2,
                   const uint16_t* ramp, uint16_t* frame) {
    fill_by_rule<1>(c0, c1, c2, RampRule{ramp}, frame);
}

void fill_triangle(const FillVertex& c0, const FillVertex& c1, const FillVertex& c2,
                   const Texture& texture, uint16_t* frame) {
    if (texture.shift == 2) return fill_by_rule<2>(c0, c1, c2, LightMapRule{texture.pixels}, frame);
    fill_by_rule<2>(c0, c1, c2, TextureRule(texture), frame);
}

void draw_mesh(const Mesh& mesh, int32_t ramp_slot_number, uint16_t* frame) {
    if (fill_mode == FILL_GOURAUD)
        draw_gouraud(mesh, ramp_slot(ramp_slot_number), frame);
    else if (fill_mode == FILL_ENVIRONMENT)
        draw_environment_mapped(mesh, false, frame);
}

void draw_mesh_by_material(const Mesh& mesh, uint16_t* frame) {
    draw_environment_mapped(mesh, true, frame);
}
