// The .3do loader: decoding, section order, and the files it refuses.
#include "render3d/mesh_file.hpp"
#include "tests/mesh_files.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class MeshFile : public ::testing::Test {
  protected:
    void SetUp() override { dir = make_temp_dir(); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Writes the integers as a file and loads it; returns the loader's message.
    std::string load(const std::vector<int32_t>& values, Mesh& mesh, float scale = 1024.0f) {
        write_int32s(path(), values);
        return mesh_load_3do(path().c_str(), mesh, 1, scale);
    }
    // The message the loader gives for the file, with the file's name taken off the front.
    std::string problem(const std::vector<int32_t>& values) {
        Mesh mesh;
        const std::string message = load(values, mesh);
        EXPECT_EQ(message.rfind(path() + ": ", 0), 0u) << message;
        EXPECT_EQ(mesh.vertex_count, 0);
        EXPECT_TRUE(mesh.vertices.empty() && mesh.faces.empty() && mesh.face_normals.empty());
        return message.substr(std::min(message.size(), path().size() + 2));
    }
    std::string path() const { return dir + "/test.3do"; }

    std::string dir;
};

// The worked example's header 3, 0, 1: one triangle, no edges, 60 bytes.
const std::vector<int32_t> TRIANGLE = {3,     0,     1,     65536, 65536, 65536, 75776, 65536,
                                       65536, 65536, 75776, 65536, 0,     1,     2};

TEST_F(MeshFile, DecodesBiasedCoordinatesTruncatingTowardZero) {
    Mesh mesh;
    ASSERT_EQ(load({4, 0, 0, 65536, 66560, 64000, 0, 65536, 65536, 65836, 65236, 0, 0, 0, 0}, mesh),
              "");
    EXPECT_EQ(mesh.vertices[0].x, 0);
    EXPECT_EQ(mesh.vertices[0].y, 1);  // 1024 / 1024
    EXPECT_EQ(mesh.vertices[0].z, -1); // -1536 / 1024 = -1.5
    EXPECT_EQ(mesh.vertices[1].x, -64);
    for (const Vertex& v : mesh.vertices)
        EXPECT_EQ(v.tag, -1);

    ASSERT_EQ(load({4, 0, 0, 65536, 66560, 64000, 0, 65536, 65536, 65836, 65236, 0, 0, 0, 0}, mesh,
                   256.0f),
              "");
    EXPECT_EQ(mesh.vertices[1].x, -256);
    EXPECT_EQ(mesh.vertices[2].x, 1);  // 300 / 256
    EXPECT_EQ(mesh.vertices[2].y, -1); // -300 / 256
    EXPECT_EQ(mesh.vertices[3].x, -256);
}

// A quotient beyond the 32-bit range saturates. Converted plainly, coordinate 2^31 - 1 at scale 1
// came out as INT32_MIN on x86-64 and INT32_MAX on 32-bit ARM.
TEST_F(MeshFile, CoordinatesBeyondTheIntegerRangeSaturate) {
    const int32_t largest = INT32_MIN + 65535;  // coordinate 2^31 - 1, 2^31 as a float
    const int32_t smallest = 65536 + INT32_MIN; // coordinate -2^31
    Mesh mesh;
    ASSERT_EQ(load({1, 0, 0, largest, smallest, 65536}, mesh, 1.0f), "");
    EXPECT_EQ(mesh.vertices[0].x, INT32_MAX);
    EXPECT_EQ(mesh.vertices[0].y, INT32_MIN);
    ASSERT_EQ(load({1, 0, 0, largest, smallest, 65536}, mesh, 0.5f), "");
    EXPECT_EQ(mesh.vertices[0].x, INT32_MAX);
    EXPECT_EQ(mesh.vertices[0].y, INT32_MIN);
    EXPECT_EQ(mesh.vertices[0].z, 0);
}

TEST_F(MeshFile, HeaderOrderIsVerticesEdgesFaces) {
    Mesh mesh;
    ASSERT_EQ(load(TRIANGLE, mesh), "");
    EXPECT_EQ(mesh.vertex_count, 3);
    EXPECT_EQ(mesh.edge_count, 0);
    EXPECT_EQ(mesh.face_count, 1);
    EXPECT_EQ(std::filesystem::file_size(path()), 60u);
    EXPECT_EQ(mesh.faces[0].corners[2].vertex, 2);
    EXPECT_EQ(mesh.face_normals[0], (Vec3{0, 0, 256}));
    EXPECT_EQ(mesh.vertex_normals[1], (Vec3{0, 0, 256}));

    // Two edges sit between the vertices and the faces; bytes after the last face are ignored.
    std::vector<int32_t> with_edges = TRIANGLE;
    with_edges[1] = 2;
    const std::vector<int32_t> edges = {0, 1, 2, 0};
    with_edges.insert(with_edges.begin() + 12, edges.begin(), edges.end());
    with_edges.push_back(-7);
    ASSERT_EQ(load(with_edges, mesh), "");
    ASSERT_EQ(mesh.edge_count, 2);
    EXPECT_EQ(mesh.edges[1].from, 2);
    EXPECT_EQ(mesh.edges[1].to, 0);
    EXPECT_EQ(mesh.edges[0].colour, 0x00FFFFFFu);
    EXPECT_EQ(mesh.faces[0].corners[0].vertex, 0);
    EXPECT_EQ(mesh.faces[0].corners[1].vertex, 1);
}

TEST_F(MeshFile, LeavesMaterialsAndPoseToTheCaller) {
    Mesh mesh;
    mesh.materials.resize(2);
    mesh.position[2] = 512.0f;
    ASSERT_EQ(load(TRIANGLE, mesh), "");
    EXPECT_EQ(mesh.materials.size(), 2u);
    EXPECT_EQ(mesh.position[2], 512.0f);
}

TEST_F(MeshFile, RefusesMissingAndShortFiles) {
    Mesh mesh;
    EXPECT_EQ(mesh_load_3do((dir + "/absent.3do").c_str(), mesh, 1, 1024.0f),
              dir + "/absent.3do: cannot open: No such file or directory");
    EXPECT_EQ(mesh_load_3do(dir.c_str(), mesh, 1, 1024.0f), dir + ": cannot read: Is a directory");
    EXPECT_EQ(problem({}), "is shorter than its 12-byte header");
    EXPECT_EQ(problem({3, 0}), "is shorter than its 12-byte header");
    std::vector<int32_t> short_file = TRIANGLE;
    short_file.pop_back();
    EXPECT_EQ(problem(short_file), "ends after 56 bytes, but its header needs 60");
    // A count far beyond the file's length allocates nothing large before the file runs out.
    EXPECT_EQ(problem({3, INT32_MAX, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}),
              "ends after 60 bytes, but its header needs 17179869236");
}

TEST_F(MeshFile, RefusesNegativeAndOversizedCounts) {
    EXPECT_EQ(problem({-1, 0, 0}), "declares -1 vertices, a negative count");
    EXPECT_EQ(problem({0, -2, 0}), "declares -2 edges, a negative count");
    EXPECT_EQ(problem({0, 0, INT32_MIN}), "declares -2147483648 faces, a negative count");
    EXPECT_EQ(problem({262145, 0, 0}),
              "declares 262145 vertices, more than the 262144 it may have");
    EXPECT_EQ(problem({3, 0, 65537}), "declares 65537 faces, more than the 65536 it may have");
}

TEST_F(MeshFile, RefusesIndicesOutsideTheVertices) {
    std::vector<int32_t> bad_face = TRIANGLE;
    bad_face[14] = 3;
    EXPECT_EQ(problem(bad_face), "face 0 names vertex 3, but the file has 3 vertices");
    bad_face[14] = -1;
    EXPECT_EQ(problem(bad_face), "face 0 names vertex -1, but the file has 3 vertices");

    std::vector<int32_t> bad_edge = TRIANGLE;
    bad_edge[1] = 2;
    const std::vector<int32_t> edges = {0, 1, 2, 3};
    bad_edge.insert(bad_edge.begin() + 12, edges.begin(), edges.end());
    EXPECT_EQ(problem(bad_edge), "edge 1 names vertex 3, but the file has 3 vertices");
}

// The vertex normal pass counts a vertex's corners in 8 bits.
TEST_F(MeshFile, RefusesAVertexOfMoreThan255Faces) {
    std::vector<int32_t> fan = {3,     0,     0,     65536, 65536, 65536,
                                75776, 65536, 65536, 65536, 75776, 65536};
    for (int32_t faces = 255; faces <= 256; ++faces) {
        fan[2] = faces;
        fan.resize(12);
        for (int32_t f = 0; f < faces; ++f)
            fan.insert(fan.end(), {0, 1, 2});
        Mesh mesh;
        const std::string message = load(fan, mesh);
        if (faces == 255)
            EXPECT_EQ(message, "");
        else
            EXPECT_EQ(message, path() + ": vertex 0 is a corner of more than 255 faces");
    }
}

} // namespace
