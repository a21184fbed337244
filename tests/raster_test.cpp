#include "render3d/raster_internal.hpp"

#include "assets/pictures.hpp"
#include "core/frame.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/transform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace {

constexpr uint16_t UNWRITTEN = 0x0821; // no ramp entry or texel used here has this colour

class Raster : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        build_all_ramps();
        build_effect_tables();
    }
    void SetUp() override { std::fill(frame.begin(), frame.end(), UNWRITTEN); }

    uint16_t at(int32_t row, int32_t column) const { return frame[row * 320 + column]; }
    bool written(int32_t row, int32_t column) const { return at(row, column) != UNWRITTEN; }
    // Every pixel is written exactly when `inside(row, column)` says so.
    template <class Inside> void expect_coverage(Inside inside) const {
        for (int32_t r = 0; r < 240; ++r)
            for (int32_t c = 0; c < 320; ++c)
                ASSERT_EQ(written(r, c), inside(r, c)) << "row " << r << " column " << c;
    }

    std::vector<uint16_t> frame = std::vector<uint16_t>(FRAME_PIXELS);
};

// Ramp entry i is i, so a pixel shows the ramp index it took.
std::vector<uint16_t> identity_ramp() {
    std::vector<uint16_t> ramp(256);
    for (int32_t i = 0; i < 256; ++i)
        ramp[i] = static_cast<uint16_t>(i);
    return ramp;
}

// Texel i is i, so a pixel shows the texel index it took.
std::vector<uint16_t> numbered_texels(int32_t side) {
    std::vector<uint16_t> texels(side * side);
    for (int32_t i = 0; i < side * side; ++i)
        texels[i] = static_cast<uint16_t>(i);
    return texels;
}

TEST_F(Raster, FlatTopTriangleStartsOneRowDown) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {{10, 10, {0, 0}}, {20, 10, {0, 0}}, {10, 20, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    expect_coverage(
        [](int32_t r, int32_t c) { return r >= 11 && r <= 20 && c >= 10 && c <= 30 - r; });
}

TEST_F(Raster, FlatBottomTriangleReachesItsSlopeLate) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {{10, 10, {0, 0}}, {20, 20, {0, 0}}, {10, 20, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    expect_coverage(
        [](int32_t r, int32_t c) { return r >= 13 && r <= 20 && c >= 10 && c <= r - 3; });
}

TEST_F(Raster, ShadesAdvanceBeforeEachPixel) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {{0, 0, {0, 0}}, {100, 0, {255, 0}}, {0, 100, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    EXPECT_EQ(at(1, 0), 2); // 652 >> 8
    EXPECT_EQ(at(1, 99), 254);
    EXPECT_FALSE(written(1, 100));
    EXPECT_FALSE(written(0, 0));
    EXPECT_TRUE(written(100, 0));
    EXPECT_FALSE(written(100, 1));
}

TEST_F(Raster, FlatTriangleFillsNothing) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {{10, 50, {0, 0}}, {200, 50, {0, 0}}, {100, 50, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    expect_coverage([](int32_t, int32_t) { return false; });
}

TEST_F(Raster, EnvironmentTexelsFollowTheCoordinates) {
    const auto texels = numbered_texels(64);
    const Texture texture{2, texels.data()};
    const FillVertex corners[3] = {{10, 10, {0, 0}}, {74, 10, {255, 0}}, {10, 74, {0, 255}}};
    fill_triangle(corners[0], corners[1], corners[2], texture, frame.data());
    for (int32_t c = 10; c <= 73; ++c)
        EXPECT_EQ(at(11, c), c - 10) << "column " << c;
    EXPECT_FALSE(written(11, 74));
    for (int32_t c = 10; c <= 72; ++c)
        EXPECT_LT(at(12, c), 64) << "column " << c;
    EXPECT_FALSE(written(12, 73));
    EXPECT_EQ(at(13, 10), 64);
    EXPECT_TRUE(written(74, 10));
    EXPECT_FALSE(written(74, 11));

    // The other winding fills the same pixels with the same texels.
    const std::vector<uint16_t> first = frame;
    std::fill(frame.begin(), frame.end(), UNWRITTEN);
    const FillVertex reversed[3] = {corners[2], corners[1], corners[0]};
    fill_triangle(reversed[0], reversed[1], reversed[2], texture, frame.data());
    EXPECT_EQ(frame, first);
}

TEST_F(Raster, SmallerTexturesTakeTheirOwnTexelSize) {
    const auto texels = numbered_texels(32);
    const Texture texture{3, texels.data()};
    const FillVertex corners[3] = {{10, 10, {0, 0}}, {74, 10, {255, 0}}, {10, 74, {0, 255}}};
    fill_triangle(corners[0], corners[1], corners[2], texture, frame.data());
    for (int32_t c = 10; c <= 73; ++c)
        EXPECT_EQ(at(11, c), (c - 10) / 2) << "column " << c;
}

TEST_F(Raster, TrianglesCrossingTheBordersAreCutPixelByPixel) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {{-40, -30, {0, 0}}, {400, 100, {0, 0}}, {100, 300, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    EXPECT_TRUE(written(0, 0));
    EXPECT_TRUE(written(120, 319));
    EXPECT_TRUE(written(239, 110));
}

// A row millions of pixels below the frame never lands in it: 13421773 x 320 wraps to 64 in
// 32 bits, which would put that row on row 0.
TEST_F(Raster, RowsFarOffTheFrameDoNotWrapIntoIt) {
    const auto ramp = identity_ramp();
    const FillVertex corners[3] = {
        {0, 13421772, {0, 0}}, {300, 13421772, {0, 0}}, {0, 13421790, {0, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame.data());
    expect_coverage([](int32_t, int32_t) { return false; });
}

// The per-pixel rule, written the slow way: every scanline and every pixel of every span is
// walked, and only pixels inside the frame are written.
template <int N, class Rule>
void reference_fill(const FillVertex (&corners)[3], const Rule& rule, uint16_t* frame) {
    auto R = [](int32_t n) {
        return n >= -2048 && n < 2048 ? reciprocal_table[n + 2048] : 65536 / n;
    };
    auto q = [](const FillVertex& v, int k) { return k == 0 ? v.x : v.a[k - 1]; };
    const FillVertex* v[3] = {&corners[0], &corners[1], &corners[2]};
    std::stable_sort(v, v + 3,
                     [](const FillVertex* a, const FillVertex* b) { return a->y < b->y; });
    auto slopes = [&](const FillVertex& s, const FillVertex& e, int32_t* out) {
        const int32_t dy = wrap_sub(e.y, s.y);
        for (int k = 0; k <= N; ++k)
            out[k] = dy == 0 ? 0 : wrap_mul(wrap_sub(q(e, k), q(s, k)) << 8, R(dy)) >> 16;
    };
    int32_t tm[N + 1], mb[N + 1], tb[N + 1], xs[N + 1], xl[N + 1];
    slopes(*v[0], *v[1], tm);
    slopes(*v[1], *v[2], mb);
    slopes(*v[0], *v[2], tb);
    for (int k = 0; k <= N; ++k)
        xs[k] = xl[k] = q(*v[0], k) << 8;
    auto span = [&](int64_t y) {
        const int32_t a = xs[0] >> 8, b = xl[0] >> 8;
        if (a == b) return;
        const int32_t* l = a < b ? xs : xl;
        const int32_t* r = a < b ? xl : xs;
        int32_t d[N], run[N];
        for (int k = 0; k < N; ++k) {
            d[k] = wrap_mul(wrap_sub(r[k + 1], l[k + 1]), R((r[0] >> 8) - (l[0] >> 8))) >> 16;
            run[k] = l[k + 1];
        }
        for (int32_t x = l[0] >> 8; x < (r[0] >> 8); ++x) {
            for (int k = 0; k < N; ++k)
                run[k] = wrap_add(run[k], d[k]);
            if (x >= 0 && x < 320 && y + 1 >= 0 && y + 1 < 240)
                frame[(y + 1) * 320 + x] = rule(run);
        }
    };
    auto walk = [&](int64_t from, int64_t to, const int32_t* short_slope) {
        for (int64_t y = from; y < to; ++y) {
            span(y);
            for (int k = 0; k <= N; ++k) {
                xs[k] = wrap_add(xs[k], short_slope[k]);
                xl[k] = wrap_add(xl[k], tb[k]);
            }
        }
    };
    walk(v[0]->y, v[1]->y, tm);
    for (int k = 0; k <= N; ++k)
        xs[k] = q(*v[1], k) << 8;
    walk(v[1]->y, v[2]->y, mb);
}

// Fills the triangle in the given mode and with the per-pixel rule, and compares the frames.
class RasterAgainstReference : public Raster {
  protected:
    // The fill under test, in either mode.
    void fill(const FillVertex (&corners)[3], bool textured, uint16_t* out) {
        if (textured)
            fill_triangle(corners[0], corners[1], corners[2], texture, out);
        else
            fill_triangle(corners[0], corners[1], corners[2], ramp.data(), out);
    }
    void expect_same_pixels(const FillVertex (&corners)[3], bool textured) {
        std::fill(frame.begin(), frame.end(), UNWRITTEN);
        std::fill(expected.begin(), expected.end(), UNWRITTEN);
        fill(corners, textured, frame.data());
        if (!textured)
            reference_fill<1>(
                corners, [&](const int32_t* a) { return ramp[ramp_index(a[0])]; }, expected.data());
        else
            reference_fill<2>(
                corners, [&](const int32_t* a) { return texels[texel_index(a[0], a[1], 2)]; },
                expected.data());
        ASSERT_EQ(frame, expected);
    }
    // Corners up to `reach` pixels beyond the frame on every side, attributes within 0..255.
    void random_corners(int32_t reach, FillVertex (&corners)[3]) {
        for (FillVertex& c : corners)
            c = {coordinate(-reach, 320 + reach),
                 coordinate(-reach, 240 + reach),
                 {coordinate(0, 255), coordinate(0, 255)}};
    }
    int32_t coordinate(int32_t low, int32_t high) {
        return low + static_cast<int32_t>(random() % static_cast<uint32_t>(high - low + 1));
    }

    const std::vector<uint16_t> ramp = identity_ramp();
    const std::vector<uint16_t> texels = numbered_texels(64);
    const Texture texture{2, texels.data()};
    std::vector<uint16_t> expected = std::vector<uint16_t>(FRAME_PIXELS);
    std::mt19937 random{11};
};

TEST_F(RasterAgainstReference, ClippedFillsMatchThePerPixelRule) {
    for (int trial = 0; trial < 300; ++trial) {
        // Mostly near the frame; some taller or wider than the reciprocal table reaches.
        FillVertex corners[3];
        random_corners(trial % 10 == 0 ? 2600 : 400, corners);
        ASSERT_NO_FATAL_FAILURE(expect_same_pixels(corners, trial % 2 == 1)) << "trial " << trial;
    }
}

// Spans are filled in groups of pixels on some processors: spans of every width up to a few
// groups, starting and ending on both sides of the frame's left and right columns, with
// shades that run far past both ends of the ramp.
TEST_F(RasterAgainstReference, SpansOfEveryWidthMatchThePerPixelRule) {
    const int32_t starts[] = {-70, -33, -1, 0, 1, 100, 250, 287, 288, 289, 318, 319};
    for (int32_t x : starts)
        for (int32_t width = 1; width <= 70; ++width) {
            // A right-angled triangle: its rows hold every width from `width` down to 1.
            const int32_t low = width % 3 == 0 ? -3000 : 0, high = width % 3 == 0 ? 3000 : 255;
            const FillVertex corners[3] = {
                {x, 5, {coordinate(low, high), coordinate(0, 255)}},
                {x + width, 5, {coordinate(low, high), coordinate(0, 255)}},
                {x, 5 + width, {coordinate(low, high), coordinate(0, 255)}}};
            ASSERT_NO_FATAL_FAILURE(expect_same_pixels(corners, width % 2 == 0))
                << "start " << x << " width " << width;
        }
}

// Wider and taller than the reciprocal table reaches, with slope products that wrap.
TEST_F(RasterAgainstReference, HugeTrianglesMatchThePerPixelRule) {
    const FillVertex corners[3] = {
        {-3000, -2500, {0, 255}}, {3000, 120, {255, 0}}, {400, 2900, {-70000, 3000}}};
    ASSERT_NO_FATAL_FAILURE(expect_same_pixels(corners, false));
    ASSERT_NO_FATAL_FAILURE(expect_same_pixels(corners, true));
}

TEST_F(Raster, HugeTrianglesStayInsideTheFrame) {
    const auto ramp = identity_ramp();
    std::vector<uint16_t> guarded(3 * FRAME_PIXELS, UNWRITTEN);
    const FillVertex corners[3] = {
        {-2000000000, -2000000000, {0, 0}}, {2000000000, 5, {255, 0}}, {7, 2000000000, {128, 0}}};
    fill_triangle(corners[0], corners[1], corners[2], ramp.data(), guarded.data() + FRAME_PIXELS);
    for (size_t i = 0; i < FRAME_PIXELS; ++i) {
        ASSERT_EQ(guarded[i], UNWRITTEN) << i;
        ASSERT_EQ(guarded[2 * FRAME_PIXELS + i], UNWRITTEN) << i;
    }
}

TEST(FixedChoices, ReciprocalBeyondTheTableIsComputedDirectly) {
    build_effect_tables();
    EXPECT_EQ(reciprocal(10), 6553);
    EXPECT_EQ(reciprocal(2047), 32);
    EXPECT_EQ(reciprocal(-2048), -32);
    EXPECT_EQ(reciprocal(2048), 32);
    EXPECT_EQ(reciprocal(3000), 21);
    EXPECT_EQ(reciprocal(-3000), -21);
    EXPECT_EQ(reciprocal(70000), 0);
}

TEST(FixedChoices, FrameTest) {
    auto same = [](PixelRange a, PixelRange b) { return a.first == b.first && a.end == b.end; };
    EXPECT_TRUE(same(clip_to(-5, 400, {0, 320}), {0, 320}));
    EXPECT_TRUE(same(clip_to(10, 20, ALL_ROWS), {10, 20}));
    EXPECT_TRUE(same(clip_to(239, 241, ALL_ROWS), {239, 240}));
    EXPECT_TRUE(same(clip_to(-10, 0, ALL_ROWS), {0, 0}));
    // The row whose unsigned index r x 320 + x would wrap into the frame lies outside it.
    EXPECT_EQ(clip_to(13421773, 13421774, ALL_ROWS).first,
              clip_to(13421773, 13421774, ALL_ROWS).end);
    EXPECT_EQ(clip_to(int64_t{1} << 40, (int64_t{1} << 40) + 5, {0, 320}).end, 320);
    // A band of rows: nothing outside it, an empty range where the rows miss it.
    EXPECT_TRUE(same(clip_to(10, 200, {120, 240}), {120, 200}));
    EXPECT_TRUE(same(clip_to(10, 100, {120, 240}), {120, 120}));
    EXPECT_TRUE(same(clip_to(150, 200, {0, 120}), {120, 120}));
}

TEST(FixedChoices, ShadesOutsideTheRampClampToItsEnds) {
    EXPECT_EQ(ramp_index(652), 2);
    EXPECT_EQ(ramp_index(-1), 0);
    EXPECT_EQ(ramp_index(255 * 256 + 255), 255);
    EXPECT_EQ(ramp_index(300 * 256), 255);
    EXPECT_EQ(ramp_index(-2000000000), 0);
}

TEST(FixedChoices, TexelsOutsideTheTextureAreMaskedToItsSide) {
    EXPECT_EQ(texel_index(255 * 256, 0, 2), 63);
    EXPECT_EQ(texel_index(4 * 256, 0, 2), 1);
    EXPECT_EQ(texel_index(0, 255 * 256, 2), 63 * 64);
    EXPECT_EQ(texel_index(-1, 0, 2), 63);              // column -1
    EXPECT_EQ(texel_index(0, -1, 2), 63 * 64);         // row -1
    EXPECT_EQ(texel_index(300 * 256, 0, 2), 11);       // column 75
    EXPECT_EQ(texel_index(0, 5 * 256 * 8, 3), 5 * 32); // row 5 of a 32-texel side
}

TEST(Cull, OnlyClockwiseFacesFaceTheViewer) {
    const ProjectedPoint a{10, 10, 0}, b{20, 10, 0}, c{10, 20, 0}, d{30, 10, 0};
    EXPECT_TRUE(faces_viewer(a, b, c));
    EXPECT_FALSE(faces_viewer(c, b, a));
    EXPECT_FALSE(faces_viewer(a, b, d)); // zero area
}

TEST(EnvironmentCoordinates, FoldTheNormalIntoTheTexture) {
    auto same = [](EnvironmentCoordinate e, int32_t u, int32_t v) { return e.u == u && e.v == v; };
    EXPECT_TRUE(same(environment_coordinate({65536, 0, 0}), 255, 127));
    EXPECT_TRUE(same(environment_coordinate({0, -65536, 0}), 127, 1));
    EXPECT_TRUE(same(environment_coordinate({0, 0, 65536}), 127, 127));
    EXPECT_EQ(texel_index(127 * 256, 127 * 256, 2), 31 * 64 + 31);
}

// A Mesh whose vertex i projects onto frame point points[i] (identity pose, depth 256 model
// units), normals straight along +z, faces listing their corner vertices.
Mesh flat_mesh(const std::vector<std::array<int32_t, 2>>& points,
               const std::vector<std::array<int32_t, 3>>& faces) {
    Mesh mesh;
    mesh.vertex_count = static_cast<int32_t>(points.size());
    for (const auto& p : points)
        mesh.vertices.push_back({p[0] - 160, p[1] - 120, 256, 0});
    mesh.vertex_normals.assign(points.size(), Vec3{0, 0, 256});
    mesh.face_count = static_cast<int32_t>(faces.size());
    for (const auto& f : faces) {
        Face face{};
        for (int c = 0; c < 3; ++c)
            face.corners[c].vertex = f[c];
        mesh.faces.push_back(face);
    }
    transform_vertices(mesh);
    translate_and_project(mesh);
    return mesh;
}

TEST_F(Raster, GouraudFillCullsFacesTurnedAwayAndEnvironmentFillDoesNot) {
    // A clockwise face, the same shape counter-clockwise further right, and a flat one.
    const Mesh mesh = flat_mesh({{10, 10}, {20, 10}, {10, 20}, {110, 10}, {120, 10}, {110, 20}},
                                {{0, 1, 2}, {5, 4, 3}, {0, 1, 1}});
    fill_mode = FILL_GOURAUD;
    draw_mesh(mesh, 1, frame.data());
    EXPECT_EQ(at(12, 12), ramp_slot(1)[255]);
    EXPECT_FALSE(written(12, 112));
    fill_mode = FILL_ENVIRONMENT;
    draw_mesh(mesh, 1, frame.data());
    EXPECT_EQ(at(12, 112), violet_light_map[31 * 64 + 31]); // normal along z: u = v = 127
}

TEST_F(Raster, MaterialFillTakesEachFacesTexture) {
    const std::vector<uint16_t> grey(64 * 64, 0x1111), red(64 * 64, 0x2222);
    // Faces 0 and 1 cover the same pixels at the same depth; face 2 runs counter-clockwise.
    Mesh mesh = flat_mesh({{10, 10}, {74, 10}, {10, 74}, {110, 10}, {174, 10}, {110, 74}},
                          {{0, 1, 2}, {0, 1, 2}, {5, 4, 3}});
    mesh.materials.resize(2);
    for (int m = 0; m < 2; ++m) {
        mesh.materials[m].type = MATERIAL_TEXTURE;
        mesh.materials[m].texture_count = 1;
        mesh.materials[m].textures = {Texture{2, m == 0 ? grey.data() : red.data()}};
    }
    mesh.faces[0].material = 1;
    mesh.faces[1].material = 0;
    mesh.faces[2].material = 0;
    draw_mesh_by_material(mesh, frame.data());
    // Two equal keys sort to 1, 0: face 0 is drawn last and stays on top.
    EXPECT_EQ(at(20, 20), 0x2222);
    EXPECT_FALSE(written(20, 120));
}

} // namespace
