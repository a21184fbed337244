// A broken mesh file stops start-up with one line naming the file and the problem.
#include "tests/mesh_files.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A data folder with a good emblem and a console mesh too small for its material ranges.
std::string folder_with_small_console() {
    const std::string dir = make_temp_dir();
    write_int32s(dir + "/ziriraza.3do", separate_triangles(2));
    write_int32s(dir + "/gp2x.3do", separate_triangles(493));
    return dir;
}

const std::string PROBLEM = "./gp2x.3do: has 493 faces, fewer than the 494 it needs\n";

TEST(BadMesh, CaptureExitsWithOneLine) {
    const std::string dir = folder_with_small_console();
    const ProcessResult r = run_process({CAPTURE_BIN, "--data", dir, "--checksums", "-"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "moonlark-capture: " + PROBLEM);
    std::filesystem::remove_all(dir);
}

TEST(BadMesh, DemoExitsWithOneLine) {
    const std::string dir = folder_with_small_console();
    std::filesystem::remove(dir + "/ziriraza.3do");
    const ProcessResult r = run_process({DEMO_BIN}, dir, -1, 20000);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "moonlark: ./ziriraza.3do: cannot open: No such file or directory\n");
    std::filesystem::remove_all(dir);
}

} // namespace
