#include "gfx3d/md2_normals.hpp"
#include "gfx3d/mesh.hpp"
#include "tests/gfx3d/mesh_fixtures.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

namespace crv {
namespace {

using test::Messages;

TEST(NormalTable, PublishedEndsUnitLengthAndNearestIsItself) {
    EXPECT_FLOAT_EQ(k_md2_normals[0][0], -0.525731f);
    EXPECT_FLOAT_EQ(k_md2_normals[0][1], 0.0f);
    EXPECT_FLOAT_EQ(k_md2_normals[0][2], 0.850651f);
    EXPECT_FLOAT_EQ(k_md2_normals[161][0], -0.688191f);
    EXPECT_FLOAT_EQ(k_md2_normals[161][1], -0.587785f);
    EXPECT_FLOAT_EQ(k_md2_normals[161][2], -0.425325f);
    for (int i = 0; i < k_md2_normal_count; ++i) {
        const float* n = k_md2_normals[i];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << i;
        EXPECT_EQ(nearest_normal_index(n), i);
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(n[0] == k_md2_normals[j][0] && n[1] == k_md2_normals[j][1] && n[2] == k_md2_normals[j][2])
                << i << " repeats " << j;
    }
    // Unnormalised vectors find the same entry; a zero vector finds one too.
    const float up[3] = {0, 0, 7};
    EXPECT_EQ(nearest_normal_index(up), 5);
    const float zero[3] = {0, 0, 0};
    EXPECT_LT(nearest_normal_index(zero), k_md2_normal_count);
}

TEST(GrowVector, CapacityFollowsMinimumThenStep) {
    GrowVector<std::uint32_t> v;
    v.push_back(1);
    EXPECT_EQ(v.capacity(), 512);
    for (std::uint32_t i = 1; i < 512; ++i) v.push_back(i);
    EXPECT_EQ(v.capacity(), 512);
    v.push_back(0);
    EXPECT_EQ(v.capacity(), 128 * (513 / 128 + 1));
    GrowVector<std::uint32_t> frames(1, 1);
    frames.push_back(1);
    frames.push_back(2);
    EXPECT_EQ(frames.capacity(), 3);  // step x (needed / step + 1)
    GrowVector<std::uint32_t> copy = v;
    EXPECT_EQ(copy.size(), 513);
    EXPECT_EQ(copy[511], 511u);
}

TEST(Rgba, ColoursMarkersAndReservedWhite) {
    float c[4];
    colour_to_rgba(0x00336699u, c);
    EXPECT_FLOAT_EQ(c[0], 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(c[1], 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(c[2], 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(c[3], 1.0f);
    for (std::uint32_t special : {0xFFFFFFFCu, 0xFFFFFFFDu, 0xFFFFFFFFu}) {
        colour_to_rgba(special, c);
        EXPECT_EQ(c[0] + c[1] + c[2] + c[3], 4.0f);
    }
}

// Triangles of frame 0 as letters: each stream vertex is named by its x.
std::string triangles_of(const MeshObjectX& m) {
    std::string out;
    const auto& t = m.frames[0].triangles;
    for (std::int32_t i = 0; i < t.size(); ++i) {
        if (i % 3 == 0 && i > 0) out += ' ';
        out += static_cast<char>('A' + static_cast<int>(t[i].position[0]));
    }
    return out;
}

TEST(Expansion, FansStripsAndSeparateTriangles) {
    struct Case {
        const char* stream;  // letters are vertices, t/s/f markers
        const char* triangles;
    };
    const Case cases[] = {
        {"fABCD", "ABC ACD"},
        {"tABCDEF", "ABC DEF"},
        {"sABCDE", "ABC CBD CDE"},
        {"ABCDEF", "ABC DEF"},          // before any marker: separate
        {"ABCDEfFGHI", "ABC FGH FHI"},  // D, E left over; the fan restarts the window
        {"sABCsDEF", "ABC DEF"},
        {"fAB", ""},
    };
    for (const Case& c : cases) {
        MeshObjectX m = test::mesh_from_letters(c.stream);
        m.rebuild_triangles();
        EXPECT_EQ(triangles_of(m), c.triangles) << c.stream;
        EXPECT_EQ(m.draw_buffer.size(), m.frames[0].triangles.size());
    }
}

TEST(Expansion, HasColoursRule) {
    struct Case {
        std::vector<std::uint32_t> colours;
        int has_colours;
    };
    const Case cases[] = {
        {{k_marker_fan, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}, 0},
        {{k_marker_strip, k_colour_reserved_white, 0x00FFFFFF, 0x00FFFFFF}, 0},
        {{k_marker_fan, 0x00FFFFFF, 0x000000FF, 0x00FFFFFF}, 1},
        {{0x00000000, 0x00000000, 0x00000000}, 1},
    };
    for (const Case& c : cases) {
        MeshObjectX m;
        m.frames.push_back(MeshFrame{});
        for (std::uint32_t colour : c.colours) {
            MeshVertex v{};
            v.colour = colour;
            m.frames[0].stream.push_back(v);
        }
        m.compact_palette();
        m.rebuild_triangles();
        EXPECT_EQ(m.has_colours, c.has_colours);
    }
}

TEST(Palette, CompactionIndexesEveryVertexAndKeepsMarkersExact) {
    MeshObjectX m;
    m.frames.push_back(MeshFrame{});
    auto add = [&](std::uint32_t colour) {
        MeshVertex v{};
        v.colour = colour;
        m.frames[0].stream.push_back(v);
    };
    // 300 distinct colours, then markers that first appear after them.
    for (std::uint32_t i = 0; i < 300; ++i) add(i * 3);
    add(k_marker_fan);
    add(k_marker_strip);
    add(k_marker_triangles);
    m.compact_palette();
    EXPECT_LE(m.palette.size(), 256);
    for (const MeshVertex& v : m.frames[0].stream) {
        ASSERT_LT(v.colour_index, m.palette.size());
        if (is_marker(v.colour)) {
            EXPECT_EQ(m.palette[v.colour_index], v.colour);
        }
    }
    // The first colours keep their own entries.
    EXPECT_EQ(m.palette[m.frames[0].stream[10].colour_index], 30u);
    // A colour past the limit gets the nearest entry.
    std::uint32_t late = m.palette[m.frames[0].stream[299].colour_index];
    EXPECT_LT(static_cast<int>(late & 255) - static_cast<int>((299 * 3) & 255), 8);
}

TEST(Bounds, CentreRadiusAndEmptyFrames) {
    MeshObjectX m = test::mesh_from_letters("tABC");
    m.frames.push_back(MeshFrame{});
    m.rebuild_triangles();
    m.compute_bounds();
    // A, B, C are at x = 0, 1, 2 on y = z = 0.
    EXPECT_FLOAT_EQ(m.frames[0].centre[0], 1.0f);
    EXPECT_FLOAT_EQ(m.frames[0].radius, 1.0f);
    EXPECT_EQ(m.frames[1].radius, 0.0f);
    EXPECT_EQ(m.frames[1].centre[0], 0.0f);
}

TEST(Normals, FlatSmoothStripParityAndTangents) {
    // Two triangles of a roof meeting at the ridge x = 0.
    MeshObjectX m;
    m.frames.push_back(MeshFrame{});
    auto add = [&](float x, float y, float z, float u, float v, std::uint32_t colour = 0x00FFFFFF) {
        MeshVertex vx{};
        vx.position[0] = x, vx.position[1] = y, vx.position[2] = z;
        vx.uv[0] = u, vx.uv[1] = v;
        vx.colour = colour;
        m.frames[0].stream.push_back(vx);
    };
    add(0, 0, 0, 0, 0, k_marker_triangles);
    add(0, 1, 0, 0, 0);
    add(0, 1, 1, 0, 1);
    add(-1, 0, 0, 1, 0);  // left slope
    add(0, 1, 0, 0, 0);
    add(1, 0, 0, 1, 0);
    add(0, 1, 1, 0, 1);  // right slope
    m.compact_palette();
    m.generate_normals(true, false, false);
    const MeshVertex* s = m.frames[0].stream.data();
    // Clockwise front faces: the left slope faces up-left, the right up-right.
    EXPECT_NEAR(s[1].normal[0], -0.70710677f, 1e-5f);
    EXPECT_NEAR(s[1].normal[1], 0.70710677f, 1e-5f);
    EXPECT_NEAR(s[4].normal[0], 0.70710677f, 1e-5f);
    EXPECT_EQ(m.has_normals, 1);
    EXPECT_EQ(m.valid, 1);
    EXPECT_EQ(m.frames[0].triangles.size(), 6);  // rebuilt

    m.generate_normals(true, true, false);
    // The shared ridge vertices now point straight up.
    EXPECT_NEAR(s[1].normal[0], 0.0f, 1e-5f);
    EXPECT_NEAR(s[1].normal[1], 1.0f, 1e-5f);
    EXPECT_NEAR(s[3].normal[0], -0.70710677f, 1e-5f);  // not shared

    // u grows along x on the right slope: tangent x is positive there.
    m.generate_normals(false, false, true);
    EXPECT_EQ(m.has_tangents, 1);
    EXPECT_GT(s[5].tangent[0], 0.5f);
    EXPECT_NEAR(s[1].normal[1], 1.0f, 1e-5f);  // normals untouched

    // A strip's second triangle has the opposite stream order; its normal
    // is flipped back so both face the same way.
    MeshObjectX strip = test::mesh_from_letters("sABCD");
    strip.frames[0].stream[3].position[1] = 1;  // C above the line
    strip.frames[0].stream[4].position[1] = 1;  // D too
    strip.generate_normals(true, false, false);
    const MeshVertex* t = strip.frames[0].stream.data();
    EXPECT_NEAR(t[1].normal[2], t[4].normal[2], 1e-5f);
    EXPECT_NEAR(std::fabs(t[1].normal[2]), 1.0f, 1e-5f);
}

TEST(Zvd, BinaryRoundTrip) {
    MeshObjectX m = test::two_frame_mesh();
    std::vector<std::uint8_t> bytes = mesh_save_bytes(m);
    MeshObjectX back;
    ASSERT_TRUE(mesh_load_bytes(back, bytes.data(), bytes.size(), "x.zvd"));
    ASSERT_EQ(back.frames.size(), m.frames.size());
    ASSERT_EQ(back.palette.size(), m.palette.size());
    for (std::int32_t i = 0; i < m.palette.size(); ++i) EXPECT_EQ(back.palette[i], m.palette[i]);
    for (std::int32_t f = 0; f < m.frames.size(); ++f) {
        ASSERT_EQ(back.frames[f].stream.size(), m.frames[f].stream.size());
        for (std::int32_t i = 0; i < m.frames[f].stream.size(); ++i) {
            const MeshVertex& a = m.frames[f].stream[i];
            const MeshVertex& b = back.frames[f].stream[i];
            for (int c = 0; c < 3; ++c) EXPECT_EQ(a.position[c], b.position[c]);
            EXPECT_EQ(a.uv[0], b.uv[0]);
            EXPECT_EQ(a.uv[1], b.uv[1]);  // version 2.0 keeps the sign
            EXPECT_EQ(a.colour, b.colour);
            EXPECT_EQ(a.colour_index, b.colour_index);
            const float* t = k_md2_normals[nearest_normal_index(a.normal)];
            for (int c = 0; c < 3; ++c) EXPECT_EQ(b.normal[c], t[c]);
        }
    }
    EXPECT_EQ(back.valid, 1);
    back.rebuild_triangles();
    EXPECT_EQ(back.frames[1].triangles.size(), m.frames[1].stream.size() - 1);
}

TEST(Zvd, SaveAndLoadThroughFiles) {
    test::TempDir dir;
    std::string path = dir.path() + "/cube.zvd";
    MeshObjectX m = test::two_frame_mesh();
    ASSERT_TRUE(mesh_save(m, path.c_str()));
    MeshObjectX back;
    ASSERT_TRUE(mesh_load(back, path.c_str()));
    EXPECT_EQ(back.frames.size(), 2);
    // A memory name, an empty object and a folder that does not exist fail.
    EXPECT_FALSE(mesh_save(m, "mem://       4.12345678"));
    EXPECT_FALSE(mesh_save(MeshObjectX{}, (dir.path() + "/empty.zvd").c_str()));
    EXPECT_FALSE(mesh_save(m, (dir.path() + "/no/such/folder.zvd").c_str()));
    // A name that cannot be opened fails silently.
    Messages messages;
    EXPECT_FALSE(mesh_load(back, (dir.path() + "/missing.zvd").c_str()));
    EXPECT_EQ(messages.text, "");
    EXPECT_FALSE(back.has_frames());
}

TEST(Zvd, QuantisedFilesFlipVAndSetTangents) {
    test::ZvdWriter w(1.5, 1, 2, 3);
    w.palette({k_marker_triangles, 0x00112233});
    w.uv({{0.25f, 0.5f}, {0.75f, 1.0f}, {0.0f, 0.125f}});
    w.frame_quantised({1, 2, 3}, {0.5f, 2, 1}, {{{0, 0, 0}, 0, 0}, {{3, 4, 5}, 5, 1}, {{255, 1, 1}, 161, 1}});
    MeshObjectX m;
    ASSERT_TRUE(mesh_load_bytes(m, w.bytes.data(), w.bytes.size(), "q.zvd"));
    const MeshVertex* v = m.frames[0].stream.data();
    EXPECT_FLOAT_EQ(v[1].position[0], (3 - 1) * 0.5f);
    EXPECT_FLOAT_EQ(v[1].position[1], (4 - 2) * 2.0f);
    EXPECT_FLOAT_EQ(v[1].position[2], (5 - 3) * 1.0f);
    EXPECT_FLOAT_EQ(v[1].uv[0], 0.75f);
    EXPECT_FLOAT_EQ(v[1].uv[1], -1.0f);
    EXPECT_FLOAT_EQ(v[1].normal[2], 1.0f);  // entry 5
    EXPECT_FLOAT_EQ(v[2].normal[0], -0.688191f);
    EXPECT_FLOAT_EQ(v[1].tangent[0], -0.525731f);
    EXPECT_FLOAT_EQ(v[1].binormal[2], 0.850651f);
    EXPECT_EQ(v[1].colour, 0x00112233u);
    EXPECT_FLOAT_EQ(v[1].rgba[0], 0x33 / 255.0f);
}

TEST(Zvd, VersionLimits) {
    struct Case {
        double version;
        bool loads;
    };
    const Case cases[] = {{2.0, true}, {1.02, true}, {1.5, true}, {2.01, false}, {1.01, false}, {0, false}};
    for (const Case& c : cases) {
        test::ZvdWriter w(c.version, 1, 1, 3);
        w.palette({0x00FFFFFF});
        w.uv({{0, 0}, {0, 0}, {0, 0}});
        if (c.version >= 2.0) w.frame({{{0, 0, 0}, 0, 0}, {{1, 0, 0}, 0, 0}, {{0, 1, 0}, 0, 0}});
        else w.frame_quantised({0, 0, 0}, {1, 1, 1}, {{{0, 0, 0}, 0, 0}, {{1, 0, 0}, 0, 0}, {{0, 1, 0}, 0, 0}});
        MeshObjectX m;
        Messages messages;
        EXPECT_EQ(mesh_load_bytes(m, w.bytes.data(), w.bytes.size(), "v.zvd"), c.loads) << c.version;
        if (!c.loads) {
            char expected[128];
            std::snprintf(expected, sizeof expected,
                          "Wrong .zvd version: %.2f. Can use 1.02-2.00\n# read error\nv.zvd\n", c.version);
            EXPECT_EQ(messages.text, expected);
        }
    }
}

TEST(Zvd, TextFormat) {
    const char* v11 =
        "ZVDA 1.1  # a square as one face\n"
        "2  0.5 0.25  1 1\n"
        "1  255 128 0 4  0 0  1 1  2 0  3 1\n"
        "1  4\n"
        "0 0 0  0 0 1\n1 0 0  0 0 1\n1 1 0  0 0 1\n0 1 0  0 0 1\n";
    MeshObjectX m;
    ASSERT_TRUE(mesh_load_bytes(m, reinterpret_cast<const std::uint8_t*>(v11), std::strlen(v11), "t.zvd"));
    ASSERT_EQ(m.frames.size(), 1);
    ASSERT_EQ(m.frames[0].stream.size(), 5);
    const MeshVertex* v = m.frames[0].stream.data();
    EXPECT_EQ(v[0].colour, k_marker_fan);
    EXPECT_FLOAT_EQ(v[0].rgba[0], 1.0f);
    EXPECT_EQ(v[1].colour, 0x000080FFu);
    EXPECT_FLOAT_EQ(v[2].uv[0], 1.0f);
    EXPECT_FLOAT_EQ(v[2].uv[1], -1.0f);
    EXPECT_FLOAT_EQ(v[3].position[1], 1.0f);
    EXPECT_FLOAT_EQ(v[3].normal[2], 1.0f);
    EXPECT_EQ(m.palette.size(), 2);  // compacted: the marker and the colour
    EXPECT_EQ(m.palette[v[1].colour_index], 0x000080FFu);
    m.rebuild_triangles();
    EXPECT_EQ(m.frames[0].triangles.size(), 6);

    // Version 1.0 has no normals in its vertex lists.
    const char* v10 = "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0";
    ASSERT_TRUE(mesh_load_bytes(m, reinterpret_cast<const std::uint8_t*>(v10), std::strlen(v10), "t.zvd"));
    EXPECT_EQ(m.has_normals, 0);
    EXPECT_FLOAT_EQ(m.frames[0].stream[2].position[0], 1.0f);
    EXPECT_FLOAT_EQ(m.frames[0].stream[2].normal[2], 0.0f);
    EXPECT_FLOAT_EQ(m.frames[0].stream[3].uv[1], 0.0f);
}

TEST(Zvd, TextFormatRefusals) {
    const char* cases[] = {
        "ZVDA 1.2 0 0 0",                                   // too new
        "ZVDB 1.0 0 0 0",                                   // not the text format
        "",                                                 // empty
        "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 1 2 0 0 0 1 0 0",            // vertex index 2 of 2
        "ZVDA 1.0 1 0 0 1 1 2 3 3 0 0 1 0 2 1 1 3 0 0 0 1 0 0 0 1 0",  // uv index 1 of 1
        "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1",        // truncated
        "ZVDA 1.0 2000000000 0",                            // count beyond the file
        "ZVDA 1.0 0 1 1 2 3 -1",                            // negative corner count
        "ZVDA 1.0 0 1 1 2 3 1 0 x 1",                       // not a number
    };
    for (const char* text : cases) {
        MeshObjectX m;
        Messages messages;
        EXPECT_FALSE(mesh_load_bytes(m, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text), "bad.zvd"))
            << text;
        EXPECT_EQ(messages.text, "# read error\nbad.zvd\n") << text;
        EXPECT_FALSE(m.has_frames());
    }
    // A token longer than 1023 characters is refused.
    std::string long_token = "ZVDA 1.0 " + std::string(1100, '1');
    MeshObjectX m;
    Messages messages;
    EXPECT_FALSE(mesh_load_bytes(m, reinterpret_cast<const std::uint8_t*>(long_token.data()), long_token.size(), "l"));
}

TEST(Zvd, DamagedBinaryFilesAreRejected) {
    MeshObjectX good = test::two_frame_mesh();
    std::vector<std::uint8_t> bytes = mesh_save_bytes(good);
    // Every truncation fails cleanly.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        MeshObjectX m;
        Messages messages;
        EXPECT_FALSE(mesh_load_bytes(m, bytes.data(), n, "cut.zvd")) << n;
        EXPECT_FALSE(m.has_frames());
    }
    // Header fields and per-vertex indexes that do not fit.
    struct Patch {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        int width;
    };
    const std::size_t frame0 = test::frame_offset(good, 0);
    const Patch patches[] = {
        {"frame count huge", 12, 0x7FFFFFFF, 4},
        {"frame count negative", 12, 0xFFFFFFFF, 4},
        {"palette count huge", 16, 0x40000000, 4},
        {"palette count negative", 16, 0x80000000, 4},
        {"uv count huge", 20, 0x10000000, 4},
        {"uv count below the vertex count", 20, 2, 4},
        {"vertex count huge", frame0, 0x7FFFFFF0, 4},
        {"vertex count negative", frame0, 0xFFFFFFFE, 4},
        {"normal index beyond the table", frame0 + 4 + 12, 162, 1},
        {"colour index beyond the palette", frame0 + 4 + 13, 200, 1},
    };
    for (const Patch& p : patches) {
        std::vector<std::uint8_t> damaged = bytes;
        for (int i = 0; i < p.width; ++i) damaged[p.offset + i] = static_cast<std::uint8_t>(p.value >> (8 * i));
        MeshObjectX m;
        Messages messages;
        EXPECT_FALSE(mesh_load_bytes(m, damaged.data(), damaged.size(), "bad.zvd")) << p.what;
        EXPECT_EQ(messages.text, "# read error\nbad.zvd\n") << p.what;
        EXPECT_FALSE(m.has_frames()) << p.what;
    }
}

// Both published values of the binary magic load; the writer keeps the
// first.
TEST(Zvd, BothMagicValuesLoad) {
    std::vector<std::uint8_t> bytes = mesh_save_bytes(test::two_frame_mesh());
    ASSERT_GE(bytes.size(), 4u);
    std::int32_t written = 0;
    std::memcpy(&written, bytes.data(), 4);
    EXPECT_EQ(written, 0x00C6B317);
    for (std::int32_t magic : {0x00C6B317, 0x00C6B717, 13022999}) {
        std::memcpy(bytes.data(), &magic, 4);
        MeshObjectX m;
        ASSERT_TRUE(mesh_load_bytes(m, bytes.data(), bytes.size(), "m.zvd")) << std::hex << magic;
        EXPECT_EQ(m.frames.size(), 2) << std::hex << magic;
        EXPECT_EQ(m.frames[1].stream.size(), 7) << std::hex << magic;
    }
    // One bit off either value is no binary file (and no text one).
    std::int32_t other = 0x00C6B327;
    std::memcpy(bytes.data(), &other, 4);
    Messages messages;
    MeshObjectX m;
    EXPECT_FALSE(mesh_load_bytes(m, bytes.data(), bytes.size(), "m.zvd"));
}

// The bytes the vertex vectors of a loaded mesh hold, triangles rebuilt.
std::uint64_t vertex_memory(const MeshObject& m) {
    std::uint64_t records = static_cast<std::uint64_t>(m.draw_buffer.capacity());
    for (const MeshFrame& f : m.frames)
        records += static_cast<std::uint64_t>(f.stream.capacity()) + static_cast<std::uint64_t>(f.triangles.capacity());
    return records * sizeof(MeshVertex);
}

// What a file can make the loader allocate is bounded by its size: small
// frames no longer take the growth rule's minimum each, and a file whose
// faces repeated over its frames would need more than its budget is
// refused as an allocation failure.
TEST(Zvd, LoadedMemoryIsBoundedByTheFileSize) {
    // 2,000 one-triangle frames, text and binary.
    std::string text = "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 2000";
    for (int i = 0; i < 2000; ++i) text += " 3 0 0 0 1 0 0 0 1 0";
    test::ZvdWriter binary(2.0, 2000, 2, 3);
    binary.palette({k_marker_triangles, 0x00FFFFFF});
    binary.uv({{0, 0}, {1, 0}, {0, 1}});
    for (int i = 0; i < 2000; ++i) binary.frame({{{0, 0, 0}, 0, 1}, {{1, 0, 0}, 0, 1}, {{0, 1, 0}, 0, 1}});
    std::vector<std::uint8_t> text_bytes(text.begin(), text.end());
    for (std::vector<std::uint8_t>* bytes : {&text_bytes, &binary.bytes}) {
        MeshObjectX m;
        ASSERT_TRUE(mesh_load_bytes(m, bytes->data(), bytes->size(), "many.zvd"));
        m.rebuild_triangles();
        ASSERT_EQ(m.frames.size(), 2000);
        EXPECT_EQ(m.frames[1999].triangles.size(), 3);
        EXPECT_LE(vertex_memory(m), mesh_load_budget(bytes->size())) << bytes->size();
    }

    // One fan of 1,000 corners repeated over 200 frames: 800,000 vertex
    // records from a file of a few kilobytes.
    std::string fan = "ZVDA 1.0 0 1 1 2 3 1000";
    for (int i = 0; i < 1000; ++i) fan += " 0 0";
    fan += " 200";
    for (int i = 0; i < 200; ++i) fan += " 1 0 0 0";
    Messages messages;
    MeshObjectX m;
    EXPECT_FALSE(mesh_load_bytes(m, reinterpret_cast<const std::uint8_t*>(fan.data()), fan.size(), "fan.zvd"));
    EXPECT_EQ(messages.text, "# malloc error\nfan.zvd\n");
    EXPECT_FALSE(m.has_frames());
    EXPECT_EQ(mesh_load_budget(std::size_t{1} << 40), k_mesh_load_limit);
}

// A loaded file whose later frames are longer than frame 0 saves to a file
// that loads again with the same frames and uv.
TEST(Zvd, SavedFramesLongerThanFrameZeroLoadAgain) {
    test::ZvdWriter w(2.0, 2, 1, 3);
    w.palette({0x00FFFFFF});
    w.uv({{0.25f, 0.5f}, {1, 0}, {0, 1}});
    w.frame({{{0, 0, 0}, 0, 0}});
    w.frame({{{1, 0, 0}, 0, 0}, {{2, 0, 0}, 0, 0}, {{3, 0, 0}, 0, 0}});
    MeshObjectX m;
    ASSERT_TRUE(mesh_load_bytes(m, w.bytes.data(), w.bytes.size(), "w.zvd"));
    std::vector<std::uint8_t> saved = mesh_save_bytes(m);
    MeshObjectX again;
    ASSERT_TRUE(mesh_load_bytes(again, saved.data(), saved.size(), "saved.zvd"));
    ASSERT_EQ(again.frames.size(), 2);
    ASSERT_EQ(again.frames[1].stream.size(), 3);
    EXPECT_FLOAT_EQ(again.frames[0].stream[0].uv[1], 0.5f);
    EXPECT_FLOAT_EQ(again.frames[1].stream[2].uv[1], 1.0f);
    EXPECT_FLOAT_EQ(again.frames[1].stream[2].position[0], 3.0f);
}

}  // namespace
}  // namespace crv
