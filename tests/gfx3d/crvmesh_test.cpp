#include "gfx3d/mesh.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace crv {
namespace {

// A unit quad with texture coordinates and normals, and the same quad
// lifted by 1 for a second frame.
std::string quad_obj(float lift, bool with_normals) {
    std::string y = std::to_string(lift);
    std::string s = "# quad\nmtllib none.mtl\no quad\n";
    s += "v 0 " + y + " 0\nv 1 " + y + " 0\nv 1 " + y + " -1\nv 0 " + y + " -1\n";
    s += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    if (with_normals) {
        s += "vn 0 1 0\nf 1/1/1 2/2/1 3/3/1 4/4/-1\n";
    } else {
        s += "s off\nf 1/1 2/2 3/3 -1/-1\n";
    }
    return s;
}

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(Crvmesh, ConvertsObjFilesIntoFramesAndPrintsThem) {
    test::TempDir dir;
    write(dir.file("a.obj"), quad_obj(0, true));
    write(dir.file("b.obj"), quad_obj(1, true));
    test::ChildResult r = test::run_child({CRV_CRVMESH, "convert", dir.file("q.zvd"), dir.file("a.obj"), dir.file("b.obj")}, {}, false);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    MeshObjectX m;
    ASSERT_TRUE(mesh_load(m, dir.file("q.zvd").c_str()));
    ASSERT_EQ(m.frames.size(), 2);
    ASSERT_EQ(m.frames[0].stream.size(), 5);  // the fan marker and four corners
    const MeshVertex* v = m.frames[0].stream.data();
    EXPECT_EQ(v[0].colour, k_marker_fan);
    // The first corner stays, the others run the other way round.
    EXPECT_FLOAT_EQ(v[1].position[0], 0);
    EXPECT_FLOAT_EQ(v[2].position[2], -1);
    EXPECT_FLOAT_EQ(v[2].position[0], 0);
    EXPECT_FLOAT_EQ(v[2].uv[1], 1);
    EXPECT_FLOAT_EQ(v[2].normal[1], 1);
    EXPECT_FLOAT_EQ(m.frames[1].stream[1].position[1], 1);
    // Clockwise as seen from above: the computed normal points up as well.
    MeshObjectX flat = m;
    flat.generate_normals(true, false, false);
    EXPECT_NEAR(flat.frames[0].stream[1].normal[1], 1.0f, 1e-5f);

    r = test::run_child({CRV_CRVMESH, "info", dir.file("q.zvd")}, {}, false);
    ASSERT_EQ(r.exit_code, 0);
    EXPECT_NE(r.output.find("format: zvd binary, version 2.00"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("frame 1: 5 vertices, 2 triangles, centre (0.5, 1, -0.5)"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("0xFFFFFFFD (fan)"), std::string::npos) << r.output;
}

TEST(Crvmesh, ComputesMissingNormalsAndRefusesBadInput) {
    test::TempDir dir;
    write(dir.file("a.obj"), quad_obj(0, false));
    test::ChildResult r = test::run_child({CRV_CRVMESH, "convert", dir.file("n.zvd"), dir.file("a.obj")}, {}, false);
    ASSERT_EQ(r.exit_code, 0);
    MeshObjectX m;
    ASSERT_TRUE(mesh_load(m, dir.file("n.zvd").c_str()));
    EXPECT_NEAR(m.frames[0].stream[3].normal[1], 1.0f, 1e-5f);

    write(dir.file("bad.obj"), "v 0 0 0\nv 1 0 0\nf 1 2 3\n");
    write(dir.file("tri.obj"), "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
    write(dir.file("bad.zvd"), "ZVDA 1.0 7");
    // Bad input fails with 1; wrong usage is 2.
    const std::vector<std::pair<std::vector<std::string>, int>> refused = {
        {{"convert", dir.file("x.zvd"), dir.file("bad.obj")}, 1},                     // index out of range
        {{"convert", dir.file("x.zvd"), dir.file("a.obj"), dir.file("tri.obj")}, 1},  // faces differ
        {{"convert", dir.file("x.zvd"), dir.file("missing.obj")}, 1},
        {{"convert", dir.file("x.zvd")}, 2},
        {{"info", dir.file("bad.zvd")}, 1},
        {{"info", dir.file("missing.zvd")}, 1},
        {{"unknown"}, 2},
    };
    for (const auto& [args, code] : refused) {
        std::vector<std::string> argv{CRV_CRVMESH};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(test::run_child(argv, {}, false).exit_code, code) << args[0];
    }
}

}  // namespace
}  // namespace crv
