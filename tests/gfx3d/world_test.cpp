#include "gfx3d/rainbows3d.hpp"
#include "render2d/image.hpp"
#include "sys/resource.hpp"
#include "tests/gfx3d/mesh_fixtures.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace crv {
namespace {

void write_text(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void write_mesh(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_TRUE(mesh_save(test::two_frame_mesh(), path.c_str()));
}

void write_images(const std::string& folder) {
    std::vector<std::uint8_t> rgba(4 * 4 * 4, 255);
    ASSERT_TRUE(write_png((folder + "/a.png").c_str(), rgba.data(), 4, 4));
    ASSERT_TRUE(write_bmp((folder + "/b.bmp").c_str(), rgba.data(), 4, 4));
}

const char* k_example_world =
    ";ZVW world\r\n"
    "[textures]\r\ncount=2\r\n1=a.png\r\n2=b.bmp\r\n"
    "[objects]\r\ncount=1\r\n1=mesh.zvd\r\n1ta=2\r\n";

TEST(World, ExampleFileGivesOneSubObjectWithItsTextureNumbers) {
    test::TempDir dir;
    write_images(dir.path());
    write_mesh(dir.file("mesh.zvd"));
    write_text(dir.file("world.txt"), k_example_world);
    Rainbows3D engine(nullptr);
    ASSERT_TRUE(engine.object_load(3, dir.file("world.txt").c_str()));
    const ObjectEntry* e = engine.entry(3);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->built);
    EXPECT_TRUE(e->is_world);
    EXPECT_EQ(e->textures.size(), 2u);
    ASSERT_EQ(e->sub_objects.size(), 1u);
    EXPECT_EQ(e->sub_objects[0].texture_a, 1);
    EXPECT_EQ(e->sub_objects[0].texture_b, 0);
    const MeshObjectX& m = *e->sub_objects[0].mesh;
    EXPECT_EQ(m.frames.size(), 2);
    EXPECT_EQ(m.frames[0].triangles.size(), 6);
    EXPECT_GT(m.frames[0].radius, 0.0f);
    // The world collides like any object.
    const MeshVertex& v = m.frames[0].triangles[0];
    EXPECT_TRUE(engine.sphere_hits_object(3, 0, 0.01f, v.position[0], v.position[1], v.position[2]));

    // Loading something else into the entry replaces the world.
    ASSERT_TRUE(engine.object_load(3, dir.file("mesh.zvd").c_str()));
    EXPECT_FALSE(engine.entry(3)->is_world);
    EXPECT_TRUE(engine.entry(3)->textures.empty());
    EXPECT_EQ(engine.entry(3)->sub_objects.size(), 1u);
}

TEST(World, ListedFilesComeFromTheWorldFilesFolder) {
    test::TempDir dir;
    write_mesh(dir.file("levels/mesh.zvd"));
    const char* world = ";ZVW\n[objects]\ncount=2\n1=mesh.zvd\n2=missing.zvd\n2tb=1\n";
    write_text(dir.file("levels/one.txt"), world);
    write_text(dir.file("one.txt"), world);
    Rainbows3D engine(nullptr);

    ASSERT_TRUE(engine.object_load(0, dir.file("levels/one.txt").c_str()));
    ASSERT_EQ(engine.entry(0)->sub_objects.size(), 2u);
    EXPECT_TRUE(engine.entry(0)->sub_objects[0].mesh->has_frames());
    // A missing mesh leaves its sub-object without frames; still true.
    EXPECT_FALSE(engine.entry(0)->sub_objects[1].mesh->has_frames());
    EXPECT_EQ(engine.entry(0)->sub_objects[1].texture_b, 0);

    // Without a separator the files are looked for in the current folder.
    std::string saved = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path());
    bool loaded = engine.object_load(1, "one.txt");
    bool mesh_found = loaded && engine.entry(1)->sub_objects[0].mesh->has_frames();
    std::filesystem::current_path(dir.file("levels"));
    bool loaded_here = engine.object_load(2, "one.txt");
    bool mesh_here = loaded_here && engine.entry(2)->sub_objects[0].mesh->has_frames();
    std::filesystem::current_path(saved);
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(mesh_found);  // no mesh.zvd beside the top one.txt
    EXPECT_TRUE(loaded_here);
    EXPECT_TRUE(mesh_here);
}

TEST(World, EmptyWorldsAndEmptyMeshes) {
    test::TempDir dir;
    write_text(dir.file("empty.txt"), ";ZVW");
    Rainbows3D engine(nullptr);
    ASSERT_TRUE(engine.object_load(7, dir.file("empty.txt").c_str()));
    EXPECT_TRUE(engine.entry(7)->sub_objects.empty());
    EXPECT_TRUE(engine.entry(7)->textures.empty());
    EXPECT_FALSE(engine.sphere_hits_object(7, 0, 1000, 0, 0, 0));

    // A zvd whose frames hold no vertices loads as false, leaving the
    // entry empty.
    test::ZvdWriter w(2.0, 2, 1, 0);
    w.palette({0x00FFFFFF});
    w.frame({});
    w.frame({});
    std::ofstream(dir.file("hollow.zvd"), std::ios::binary)
        .write(reinterpret_cast<const char*>(w.bytes.data()), static_cast<std::streamsize>(w.bytes.size()));
    ASSERT_TRUE(engine.object_load(8, dir.file("empty.txt").c_str()));
    EXPECT_FALSE(engine.object_load(8, dir.file("hollow.zvd").c_str()));
    EXPECT_FALSE(engine.entry(8)->built);
    EXPECT_TRUE(engine.entry(8)->sub_objects.empty());
    EXPECT_FALSE(engine.entry(8)->is_world);

    // Names that cannot be opened fail at once.
    EXPECT_FALSE(engine.object_load(9, dir.file("nothing.zvd").c_str()));
    EXPECT_FALSE(engine.object_load(-1, dir.file("empty.txt").c_str()));
}

TEST(World, MeshesLoadFromMemoryNames) {
    std::vector<std::uint8_t> bytes = mesh_save_bytes(test::two_frame_mesh());
    std::string name = memory_name(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    Rainbows3D engine(nullptr);
    ASSERT_TRUE(engine.object_load(0, name.c_str()));
    EXPECT_EQ(engine.object(0)->frames.size(), 2);
    test::TempDir dir;
    EXPECT_TRUE(engine.save_object(0, dir.file("copy.zvd").c_str()));
    EXPECT_FALSE(engine.save_object(0, name.c_str()));
    EXPECT_FALSE(engine.save_object(1, dir.file("none.zvd").c_str()));
}

// A world file is data: a name it lists is a file name, never an address,
// whether the world sits in the current folder or is itself read from
// memory (whose name has no folder to put in front).
TEST(World, ListedNamesAreNeverMemoryNames) {
    std::vector<std::uint8_t> mesh = mesh_save_bytes(test::two_frame_mesh());
    std::string real = memory_name(mesh.data(), static_cast<std::int32_t>(mesh.size()));
    std::vector<std::uint8_t> rgba(4 * 4 * 4, 255);
    test::TempDir dir;
    ASSERT_TRUE(write_bmp(dir.file("t.bmp").c_str(), rgba.data(), 4, 4));
    std::string image_bytes;
    {
        std::ifstream in(dir.file("t.bmp"), std::ios::binary);
        image_bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string image = memory_name(image_bytes.data(), static_cast<std::int32_t>(image_bytes.size()));
    // The listed names: a live mesh and image in memory, and an address
    // that would crash a reader.
    std::string listing = ";ZVW\n[textures]\ncount=2\n1=" + image + "\n2=mem://       1.1\n[objects]\ncount=2\n1=" +
                          real + "\n2=mem://       1.1\n";
    write_text(dir.file("w.txt"), listing);
    // The same through the world's own memory name: its "mem://" prefix
    // followed by a listed "<count>.<address>" would spell a memory name.
    // (The count field padded with zeros: a value cannot begin with blanks.)
    std::string tail = real.substr(6);
    for (std::size_t i = 0; i < 8; ++i)
        if (tail[i] == ' ') tail[i] = '0';
    std::string from_memory = ";ZVW\n[objects]\ncount=1\n1=" + tail + "\n";
    std::string world_name = memory_name(from_memory.data(), static_cast<std::int32_t>(from_memory.size()));

    Rainbows3D engine(nullptr);
    std::string saved = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path());
    bool loaded = engine.object_load(0, "w.txt");
    std::filesystem::current_path(saved);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(engine.entry(0)->sub_objects.size(), 2u);
    for (const SubObject& s : engine.entry(0)->sub_objects) EXPECT_FALSE(s.mesh->has_frames());
    ASSERT_TRUE(engine.object_load(1, world_name.c_str()));
    ASSERT_EQ(engine.entry(1)->sub_objects.size(), 1u);
    EXPECT_FALSE(engine.entry(1)->sub_objects[0].mesh->has_frames());

    // A game's own memory name still loads, and resolve_data_name refuses
    // what resolve_resource would hand out.
    EXPECT_TRUE(engine.object_load(2, real.c_str()));
    std::string out = "x";
    EXPECT_TRUE(resolve_resource(nullptr, real.c_str(), out, true));
    EXPECT_FALSE(resolve_data_name(nullptr, real.c_str(), out, true));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(resolve_data_name(nullptr, dir.file("t.bmp").c_str(), out, true));
}

}  // namespace
}  // namespace crv
