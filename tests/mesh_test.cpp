// Integer vector maths and the normal passes of the mesh model.
#include "render3d/mesh.hpp"

#include <gtest/gtest.h>

// Found by argument lookup when a check fails.
static std::ostream& operator<<(std::ostream& out, Vec3 v) {
    return out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

namespace {

Face triangle(int32_t a, int32_t b, int32_t c) {
    Face face{};
    face.corners[0].vertex = a;
    face.corners[1].vertex = b;
    face.corners[2].vertex = c;
    return face;
}

Mesh mesh_of(std::vector<Vertex> vertices, std::vector<Face> faces) {
    Mesh mesh;
    mesh.vertex_count = static_cast<int32_t>(vertices.size());
    mesh.face_count = static_cast<int32_t>(faces.size());
    mesh.vertices = std::move(vertices);
    mesh.faces = std::move(faces);
    mesh_face_normals(mesh, 1);
    mesh_vertex_normals(mesh);
    return mesh;
}

TEST(VecNormalise, ScalesToLength256WithTheTruncatedLength) {
    EXPECT_EQ(vec_normalise({0, 0, 0}), (Vec3{0, 0, 0}));
    EXPECT_EQ(vec_normalise({3, 4, 0}), (Vec3{153, 204, 0}));
    EXPECT_EQ(vec_normalise({-3, -4, 0}), (Vec3{-153, -204, 0}));
    EXPECT_EQ(vec_normalise({1, 1, 1}), (Vec3{256, 256, 256})); // length 1.73 truncates to 1
    EXPECT_EQ(vec_normalise({0, 0, 1000}), (Vec3{0, 0, 256}));
}

// The sum of squares wraps to 32 bits: past 2^31 it is negative and gives no length (zero),
// past 2^32 it comes back small and gives a wrong, long result, as 32-bit hardware does.
TEST(VecNormalise, SumOfSquaresWrapsTo32Bits) {
    EXPECT_EQ(vec_normalise({50000, 0, 0}), (Vec3{0, 0, 0}));
    EXPECT_EQ(vec_normalise({70000, 0, 0}), (Vec3{728, 0, 0})); // 4.9e9 wraps to 605032704
    EXPECT_EQ(vec_normalise({40000, 0, 0}), (Vec3{256, 0, 0}));
}

TEST(VecCross, RightHandedAndWrapping) {
    EXPECT_EQ(vec_cross({1, 0, 0}, {0, 1, 0}), (Vec3{0, 0, 1}));
    EXPECT_EQ(vec_cross({0, 1, 0}, {1, 0, 0}), (Vec3{0, 0, -1}));
    EXPECT_EQ(vec_cross({65536, 0, 0}, {0, 65536, 0}), (Vec3{0, 0, 0})); // 2^32 wraps to 0
    EXPECT_EQ(vec_negate({1, -2, 0}), (Vec3{-1, 2, 0}));
}

TEST(FaceNormals, FlipChoosesTheSide) {
    Mesh mesh = mesh_of({{0, 0, 0, 0}, {10, 0, 0, 0}, {0, 10, 0, 0}}, {triangle(0, 1, 2)});
    EXPECT_EQ(mesh.face_normals[0], (Vec3{0, 0, 256}));
    mesh_face_normals(mesh, 0);
    EXPECT_EQ(mesh.face_normals[0], (Vec3{0, 0, -256}));
    mesh_reverse_winding(mesh);
    mesh_face_normals(mesh, 1);
    EXPECT_EQ(mesh.face_normals[0], (Vec3{0, 0, -256}));
}

TEST(VertexNormals, MeanOfTheFacesNamingTheVertex) {
    // Face 0 faces +z, face 1 faces +x; vertices 0 and 2 belong to both, vertex 4 to none.
    const Mesh mesh =
        mesh_of({{0, 0, 0, 0}, {10, 0, 0, 0}, {0, 10, 0, 0}, {0, 10, 10, 0}, {5, 5, 5, 0}},
                {triangle(0, 1, 2), triangle(0, 2, 3)});
    EXPECT_EQ(mesh.face_normals[1], (Vec3{256, 0, 0}));
    EXPECT_EQ(mesh.vertex_normals[0], (Vec3{181, 0, 181})); // (128, 0, 128) with L = 181
    EXPECT_EQ(mesh.vertex_normals[2], (Vec3{181, 0, 181}));
    EXPECT_EQ(mesh.vertex_normals[1], (Vec3{0, 0, 256}));
    EXPECT_EQ(mesh.vertex_normals[3], (Vec3{256, 0, 0}));
    EXPECT_EQ(mesh.vertex_normals[4], (Vec3{0, 0, 0}));
}

// A collinear face has a zero normal but still counts as a use: vertex 0's sum (153, 204, 0)
// is halved to (76, 102, 0) before normalising, which gives (153, 205, 0), not (153, 204, 0).
TEST(VertexNormals, CollinearFaceCountsAsAUse) {
    const Mesh mesh =
        mesh_of({{0, 0, 0, 0}, {0, 0, 5, 0}, {4, -3, 5, 0}, {1, 1, 1, 0}, {2, 2, 2, 0}},
                {triangle(0, 1, 2), triangle(0, 3, 4)});
    EXPECT_EQ(mesh.face_normals[0], (Vec3{153, 204, 0}));
    EXPECT_EQ(mesh.face_normals[1], (Vec3{0, 0, 0}));
    EXPECT_EQ(mesh.vertex_normals[0], (Vec3{153, 205, 0}));
    EXPECT_EQ(mesh.vertex_normals[1], (Vec3{153, 204, 0}));
    EXPECT_EQ(mesh.vertex_normals[3], (Vec3{0, 0, 0}));
}

// The use counts are scratch shared by every mesh: a second mesh starts from zero.
TEST(VertexNormals, UseCountsStartAfreshForEachMesh) {
    const Mesh first = mesh_of({{0, 0, 0, 0}, {10, 0, 0, 0}, {0, 10, 0, 0}},
                               {triangle(0, 1, 2), triangle(0, 1, 2), triangle(0, 1, 2)});
    const Mesh second =
        mesh_of({{0, 0, 0, 0}, {0, 0, 5, 0}, {4, -3, 5, 0}, {1, 1, 1, 0}, {2, 2, 2, 0}},
                {triangle(0, 1, 2), triangle(0, 3, 4)});
    EXPECT_EQ(first.vertex_normals[0], (Vec3{0, 0, 256}));
    EXPECT_EQ(second.vertex_normals[0], (Vec3{153, 205, 0}));
}

} // namespace
