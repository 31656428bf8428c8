// Test helpers of the 3D engine's tests: small meshes, a writer of zvd
// bytes field by field, and a capture of the loaders' messages.
#pragma once

#include "gfx3d/md2_normals.hpp"
#include "gfx3d/mesh.hpp"

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace crv::test {

// Collects the mesh loaders' messages while it lives.
struct Messages {
    static inline std::string* sink = nullptr;
    std::string text;
    void (*saved)(const char*);
    Messages() : saved(mesh_message) {
        sink = &text;
        mesh_message = [](const char* t) { *sink += t; };
    }
    ~Messages() {
        mesh_message = saved;
        sink = nullptr;
    }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;
};

// Frame 0 from letters: 'A'.. are vertices at x = letter index (white),
// 't', 's', 'f' markers of separate triangles, strips and fans.
inline MeshObjectX mesh_from_letters(const char* text) {
    MeshObjectX m;
    m.frames.push_back(MeshFrame{});
    for (const char* p = text; *p != 0; ++p) {
        MeshVertex v{};
        switch (*p) {
            case 't': v.colour = k_marker_triangles; break;
            case 's': v.colour = k_marker_strip; break;
            case 'f': v.colour = k_marker_fan; break;
            default:
                v.colour = 0x00FFFFFF;
                v.position[0] = static_cast<float>(*p - 'A');
        }
        colour_to_rgba(v.colour, v.rgba);
        m.frames[0].stream.push_back(v);
    }
    m.compact_palette();
    return m;
}

// Two frames of two separate triangles each, with colours, uv and normals.
inline MeshObjectX two_frame_mesh() {
    MeshObjectX m;
    for (int f = 0; f < 2; ++f) {
        m.frames.push_back(MeshFrame{});
        MeshVertex marker{};
        marker.colour = k_marker_triangles;
        m.frames[f].stream.push_back(marker);
        for (int i = 0; i < 6; ++i) {
            MeshVertex v{};
            v.position[0] = static_cast<float>(i) * 0.5f + static_cast<float>(f);
            v.position[1] = static_cast<float>(i % 3) - 1.25f;
            v.position[2] = -static_cast<float>(i) / 3.0f;
            v.normal[0] = static_cast<float>(i) - 2.5f;
            v.normal[1] = 1.0f;
            v.normal[2] = static_cast<float>(f) * 0.5f;
            v.uv[0] = static_cast<float>(i) * 0.125f;
            v.uv[1] = -static_cast<float>(i) * 0.25f;
            v.colour = i % 2 == 0 ? 0x000000FFu : 0x00FFFFFFu;
            colour_to_rgba(v.colour, v.rgba);
            m.frames[f].stream.push_back(v);
        }
    }
    m.compact_palette();
    return m;
}

// Where frame f starts in the bytes mesh_save_bytes makes of m.
inline std::size_t frame_offset(const MeshObject& m, int f) {
    std::size_t at = 24 + 4 * static_cast<std::size_t>(m.palette.size()) +
                     8 * static_cast<std::size_t>(m.frames[0].stream.size());
    for (int i = 0; i < f; ++i) at += 4 + 14 * static_cast<std::size_t>(m.frames[i].stream.size());
    return at;
}

struct ZvdWriter {
    struct Vertex {
        std::array<float, 3> position;
        std::uint8_t normal, colour;
    };
    struct Quantised {
        std::array<std::uint8_t, 3> q;
        std::uint8_t normal, colour;
    };
    std::vector<std::uint8_t> bytes;

    ZvdWriter(double version, std::int32_t frames, std::int32_t palette_count, std::int32_t uv_count) {
        i32(k_zvd_magic);
        raw(&version, 8);
        i32(frames);
        i32(palette_count);
        i32(uv_count);
    }
    void raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void i32(std::int32_t v) { raw(&v, 4); }
    void f32(float v) { raw(&v, 4); }
    void palette(std::initializer_list<std::uint32_t> colours) {
        for (std::uint32_t c : colours) raw(&c, 4);
    }
    void uv(std::initializer_list<std::array<float, 2>> pairs) {
        for (auto& p : pairs) f32(p[0]), f32(p[1]);
    }
    void frame(std::initializer_list<Vertex> vertices) {
        i32(static_cast<std::int32_t>(vertices.size()));
        for (const Vertex& v : vertices) {
            for (float c : v.position) f32(c);
            bytes.push_back(v.normal);
            bytes.push_back(v.colour);
        }
    }
    void frame_quantised(std::array<float, 3> offset, std::array<float, 3> scale,
                         std::initializer_list<Quantised> vertices) {
        i32(static_cast<std::int32_t>(vertices.size()));
        for (float c : offset) f32(c);
        for (float c : scale) f32(c);
        for (const Quantised& v : vertices) {
            raw(v.q.data(), 3);
            bytes.push_back(v.normal);
            bytes.push_back(v.colour);
        }
    }
};

}  // namespace crv::test
