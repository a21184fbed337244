// A broken mesh file stops the demo and the capture tool with one line naming the file and the
// problem, exit status 1, and no output file left behind. One test per row of the bad-input
// table in the README.
#include "tests/bad_input.hpp"
#include "tests/mesh_files.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> OUTPUTS = {"sums.txt", "frames.raw", "music.wav", "shots"};

// Both programs started on the data folder dir stop at once with exactly `problem` after
// their names; the capture tool, asked for every kind of output file, leaves none.
void expect_both_stop(const std::string& dir, const std::string& problem,
                      const std::vector<std::string>& wrapper = {}) {
    const ProcessResult demo = run_demo(dir, -1, wrapper);
    EXPECT_FALSE(demo.timed_out);
    EXPECT_EQ(demo.status, 1);
    EXPECT_EQ(demo.err, "moonlark: " + problem + "\n");

    const ProcessResult capture = run_capture(
        dir,
        {"--checksums", OUTPUTS[0], "--raw", OUTPUTS[1], "--wav", OUTPUTS[2], "--png", OUTPUTS[3]},
        wrapper);
    EXPECT_EQ(capture.status, 1);
    EXPECT_EQ(capture.out, "");
    EXPECT_EQ(capture.err, "moonlark-capture: " + problem + "\n");
    for (const std::string& name : OUTPUTS)
        EXPECT_FALSE(exists(dir + "/" + name)) << name;
    fs::remove_all(dir);
}

// The data folder with its console mesh replaced by these integers.
std::string folder_with_console(const std::vector<int32_t>& values) {
    const std::string dir = copy_of_data_folder();
    write_int32s(dir + "/gp2x.3do", values);
    return dir;
}

// The worked example's one triangle: header 3, 0, 1, three vertices, one face (60 bytes).
const std::vector<int32_t> TRIANGLE = {3,     0,     1,     65536, 65536, 65536, 75776, 65536,
                                       65536, 65536, 75776, 65536, 0,     1,     2};

TEST(BadMesh, MissingFile) {
    const std::string dir = copy_of_data_folder();
    fs::remove(dir + "/ziriraza.3do");
    expect_both_stop(dir, "./ziriraza.3do: cannot open: No such file or directory");
}

TEST(BadMesh, EmptyFile) {
    expect_both_stop(folder_with_console({}), "./gp2x.3do: is shorter than its 12-byte header");
}

TEST(BadMesh, TruncatedInEachSection) {
    std::vector<int32_t> with_edge = TRIANGLE; // one edge between the vertices and the face
    with_edge[1] = 1;
    with_edge.insert(with_edge.begin() + 12, {0, 1});
    const struct {
        size_t values;
        const char* problem;
    } cuts[] = {{2, "is shorter than its 12-byte header"},
                {7, "ends after 28 bytes, but its header needs 68"},  // in the vertices
                {13, "ends after 52 bytes, but its header needs 68"}, // in the edges
                {16, "ends after 64 bytes, but its header needs 68"}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.problem);
        const std::vector<int32_t> values(with_edge.begin(), with_edge.begin() + cut.values);
        expect_both_stop(folder_with_console(values), std::string("./gp2x.3do: ") + cut.problem);
    }
}

TEST(BadMesh, Folder) {
    const std::string dir = copy_of_data_folder();
    fs::remove(dir + "/gp2x.3do");
    fs::create_directory(dir + "/gp2x.3do");
    expect_both_stop(dir, "./gp2x.3do: cannot read: Is a directory");
}

// Root reads any file: then both programs run as the user nobody, in a folder it may use.
TEST(BadMesh, UnreadableFile) {
    const std::string dir = copy_of_data_folder();
    chmod((dir + "/gp2x.3do").c_str(), 0);
    std::vector<std::string> wrapper;
    if (geteuid() == 0) {
        if (!exists("/usr/bin/setpriv")) GTEST_SKIP() << "running as root without setpriv";
        chmod(dir.c_str(), 0777);
        wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    expect_both_stop(dir, "./gp2x.3do: cannot open: Permission denied", wrapper);
}

TEST(BadMesh, NegativeCounts) {
    expect_both_stop(folder_with_console({0, -2, 0}),
                     "./gp2x.3do: declares -2 edges, a negative count");
}

TEST(BadMesh, HugeCounts) {
    expect_both_stop(folder_with_console({262145, 0, 0}),
                     "./gp2x.3do: declares 262145 vertices, more than the 262144 it may have");
    // Edges have no limit of their own: the file ends long before they do.
    std::vector<int32_t> edges = TRIANGLE;
    edges[1] = INT32_MAX;
    expect_both_stop(folder_with_console(edges),
                     "./gp2x.3do: ends after 60 bytes, but its header needs 17179869236");
}

TEST(BadMesh, OutOfRangeVertex) {
    std::vector<int32_t> values = TRIANGLE;
    values[14] = 3;
    expect_both_stop(folder_with_console(values),
                     "./gp2x.3do: face 0 names vertex 3, but the file has 3 vertices");
}

TEST(BadMesh, ConsoleWithTooFewFaces) {
    expect_both_stop(folder_with_console(separate_triangles(493)),
                     "./gp2x.3do: has 493 faces, fewer than the 494 it needs");
}

} // namespace
