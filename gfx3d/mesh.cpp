#include "gfx3d/mesh.hpp"

#include <corvane/core.hpp>
#include "gfx3d/md2_normals.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace crv {

namespace {

void message_to_debug_output(const char* text) { debug_print(DynString(text)); }

}  // namespace

void (*mesh_message)(const char* text) = message_to_debug_output;

void colour_to_rgba(std::uint32_t colour, float rgba[4]) {
    if (colour >= k_colour_reserved_white) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 1.0f;
        return;
    }
    rgba[0] = static_cast<float>(colour & 255u) / 255.0f;
    rgba[1] = static_cast<float>((colour >> 8) & 255u) / 255.0f;
    rgba[2] = static_cast<float>((colour >> 16) & 255u) / 255.0f;
    rgba[3] = 1.0f;
}

bool palette_has_colours(const GrowVector<std::uint32_t>& palette) {
    for (std::uint32_t c : palette)
        if (c < k_colour_reserved_white && c != 0x00FFFFFFu) return true;
    return false;
}

std::uint64_t mesh_load_budget(std::size_t file_size) {
    std::uint64_t budget = k_mesh_load_base + k_mesh_load_factor * static_cast<std::uint64_t>(file_size);
    return budget < k_mesh_load_limit ? budget : k_mesh_load_limit;
}

// ------------------------------------------------------------ MeshObject

MeshObject::MeshObject() = default;
MeshObject::~MeshObject() = default;

void MeshObject::clear() {
    frames.release();
    draw_buffer.release();
    palette.release();
    valid = has_tangents = has_colours = has_normals = 0;
    buffer_current = false;
    pose_a = pose_b = 0;
    pose_w = 0;
}

void MeshObject::compact_palette() {
    palette.clear();
    // The index is one byte, so the palette holds at most 256 values. Marker
    // values must always be found exactly, so room is kept for those that
    // have not been met yet; once the palette is full, a further colour is
    // given the nearest colour already in it.
    bool marker_seen[4] = {false, false, false, false};
    for (const MeshFrame& f : frames)
        for (const MeshVertex& v : f.stream)
            if (v.colour >= k_colour_reserved_white) marker_seen[v.colour - k_colour_reserved_white] = true;
    int markers_pending = 0;
    for (bool b : marker_seen) markers_pending += b ? 1 : 0;
    bool marker_stored[4] = {false, false, false, false};

    for (MeshFrame& f : frames) {
        for (MeshVertex& v : f.stream) {
            std::int32_t found = -1;
            for (std::int32_t i = 0; i < palette.size(); ++i)
                if (palette[i] == v.colour) {
                    found = i;
                    break;
                }
            if (found < 0) {
                bool special = v.colour >= k_colour_reserved_white;
                if (special || palette.size() + markers_pending < 256) {
                    found = palette.size();
                    palette.push_back(v.colour);
                    if (special && !marker_stored[v.colour - k_colour_reserved_white]) {
                        marker_stored[v.colour - k_colour_reserved_white] = true;
                        --markers_pending;
                    }
                } else {
                    std::int64_t best = -1;
                    for (std::int32_t i = 0; i < palette.size(); ++i) {
                        std::uint32_t p = palette[i];
                        if (p >= k_colour_reserved_white) continue;
                        std::int64_t d = 0;
                        for (int shift = 0; shift < 24; shift += 8) {
                            std::int64_t a = (p >> shift) & 255u, b = (v.colour >> shift) & 255u;
                            d += (a - b) * (a - b);
                        }
                        if (best < 0 || d < best) {
                            best = d;
                            found = i;
                        }
                    }
                    if (found < 0) found = 0;
                }
            }
            v.colour_index = static_cast<std::uint8_t>(found);
        }
    }
}

void MeshObject::compute_bounds() {
    for (MeshFrame& f : frames) {
        f.centre[0] = f.centre[1] = f.centre[2] = 0;
        f.radius = 0;
        std::int32_t n = f.triangles.size();
        if (n == 0) continue;
        double sum[3] = {0, 0, 0};
        for (const MeshVertex& v : f.triangles)
            for (int c = 0; c < 3; ++c) sum[c] += v.position[c];
        for (int c = 0; c < 3; ++c) f.centre[c] = static_cast<float>(sum[c] / n);
        float largest = 0;
        for (const MeshVertex& v : f.triangles) {
            float dx = v.position[0] - f.centre[0], dy = v.position[1] - f.centre[1],
                  dz = v.position[2] - f.centre[2];
            float sq = dx * dx + dy * dy + dz * dz;
            if (sq <= 1e-7f) sq = 0;
            if (sq > largest) largest = sq;
        }
        f.radius = std::sqrt(largest);
    }
}

namespace {

void normalise_in_place(float v[3]) {
    float sq = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (sq <= 1e-7f) return;
    float inv = 1.0f / std::sqrt(sq);
    v[0] *= inv;
    v[1] *= inv;
    v[2] *= inv;
}

struct Accumulator {
    float normal[3] = {0, 0, 0};
    float tangent[3] = {0, 0, 0};
    float binormal[3] = {0, 0, 0};
};

}  // namespace

void MeshObject::generate_normals(bool normals, bool smooth, bool tangents) {
    if (!has_geometry()) return;
    if (!normals && tangents && has_tangents != 0) return;
    if (!normals && !tangents) return;
    for (MeshFrame& f : frames) {
        std::int32_t n = f.stream.size();
        std::vector<std::int32_t> slot(static_cast<std::size_t>(n), -1);
        std::vector<Accumulator> acc;
        std::unordered_map<std::int64_t, std::int32_t> by_key;
        for (std::int32_t i = 0; i < n; ++i) {
            const MeshVertex& v = f.stream[i];
            if (!smooth) {
                slot[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(acc.size());
                acc.emplace_back();
                continue;
            }
            double key = std::nearbyint(static_cast<double>(v.position[0]) * 256.0 +
                                        static_cast<double>(v.position[1]) * 65536.0 +
                                        static_cast<double>(v.position[2]) * 16777216.0);
            // Keys beyond the 64-bit range all share one slot rather than
            // overflow the conversion.
            std::int64_t k = std::fabs(key) < 9.0e18 ? static_cast<std::int64_t>(key) : INT64_MIN;
            auto [it, fresh] = by_key.try_emplace(k, static_cast<std::int32_t>(acc.size()));
            if (fresh) acc.emplace_back();
            slot[static_cast<std::size_t>(i)] = it->second;
        }

        // The same walk as the expansion into triangles, except that fans
        // slide like strips.
        std::uint32_t kind = k_marker_triangles;
        std::int32_t window[3];
        int filled = 0;
        int parity = 0;
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint32_t c = f.stream[i].colour;
            if (c == k_marker_triangles || c == k_marker_strip || c == k_marker_fan) {
                kind = c;
                filled = 0;
                parity = 0;
                continue;
            }
            window[filled++] = i;
            if (filled < 3) continue;
            const MeshVertex& v0 = f.stream[window[0]];
            const MeshVertex& v1 = f.stream[window[1]];
            const MeshVertex& v2 = f.stream[window[2]];
            const float* p0 = v0.position;
            const float* p1 = v1.position;
            const float* p2 = v2.position;
            float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
            float b[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
            float fn[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
            if (kind == k_marker_strip) {
                parity ^= 1;
                if (parity == 0) fn[0] = -fn[0], fn[1] = -fn[1], fn[2] = -fn[2];
            }
            float tan[3] = {0, 0, 0}, bin[3] = {0, 0, 0};
            if (tangents) {
                for (int ax = 0; ax < 3; ++ax) {
                    float e1[3] = {p1[ax] - p0[ax], v1.uv[0] - v0.uv[0], v1.uv[1] - v0.uv[1]};
                    float e2[3] = {p2[ax] - p0[ax], v2.uv[0] - v0.uv[0], v2.uv[1] - v0.uv[1]};
                    float cx = e1[1] * e2[2] - e1[2] * e2[1];
                    float cy = e1[2] * e2[0] - e1[0] * e2[2];
                    float cz = e1[0] * e2[1] - e1[1] * e2[0];
                    if (std::fabs(cx) > 1e-5f) {
                        tan[ax] = -cy / cx;
                        bin[ax] = -cz / cx;
                    }
                }
            }
            for (std::int32_t w : window) {
                Accumulator& s = acc[static_cast<std::size_t>(slot[static_cast<std::size_t>(w)])];
                for (int c3 = 0; c3 < 3; ++c3) {
                    s.normal[c3] += fn[c3];
                    s.tangent[c3] += tan[c3];
                    s.binormal[c3] += bin[c3];
                }
            }
            if (kind == k_marker_triangles) {
                filled = 0;
            } else {
                window[0] = window[1];
                window[1] = window[2];
                filled = 2;
            }
        }

        for (Accumulator& s : acc) {
            normalise_in_place(s.normal);
            normalise_in_place(s.tangent);
            normalise_in_place(s.binormal);
        }
        for (std::int32_t i = 0; i < n; ++i) {
            MeshVertex& v = f.stream[i];
            if (is_marker(v.colour)) continue;
            const Accumulator& s = acc[static_cast<std::size_t>(slot[static_cast<std::size_t>(i)])];
            if (normals) std::memcpy(v.normal, s.normal, sizeof v.normal);
            if (tangents) {
                std::memcpy(v.tangent, s.tangent, sizeof v.tangent);
                std::memcpy(v.binormal, s.binormal, sizeof v.binormal);
            }
        }
    }
    if (normals) has_normals = 1;
    if (tangents) has_tangents = 1;
    valid = 1;
    buffer_current = false;
    rebuild_triangles();
}

namespace {

// The vertices rebuild_triangles makes of a stream: the same marker walk,
// counting only.
std::int64_t triangle_vertices(const GrowVector<MeshVertex>& stream, const GrowVector<std::uint32_t>& palette) {
    std::int64_t total = 0;
    int filled = 0;
    bool separate = true;
    for (const MeshVertex& v : stream) {
        std::uint32_t c = v.colour_index < palette.size() ? palette[v.colour_index] : v.colour;
        if (is_marker(c)) {
            separate = c == k_marker_triangles;
            filled = 0;
            continue;
        }
        if (++filled < 3) continue;
        total += 3;
        filled = separate ? 0 : 2;
    }
    return total;
}

}  // namespace

void MeshObjectX::rebuild_triangles() {
    for (MeshFrame& f : frames) {
        f.triangles.clear();
        f.neighbours.clear();
        // Exactly what the walk below makes: the growth rule's minimum, once
        // per frame, would multiply the memory of a file of many small frames.
        std::int64_t needed = triangle_vertices(f.stream, palette);
        f.triangles.reserve_exact(static_cast<std::int32_t>(needed < INT32_MAX ? needed : INT32_MAX));
        std::uint32_t kind = k_marker_triangles;
        MeshVertex window[3];
        int filled = 0;
        int parity = 0;
        for (const MeshVertex& v : f.stream) {
            std::uint32_t c = v.colour_index < palette.size() ? palette[v.colour_index] : v.colour;
            if (c == k_marker_strip) {
                kind = c;
                filled = 0;
                parity = 0;
                continue;
            }
            if (c == k_marker_triangles || c == k_marker_fan) {
                kind = c;
                filled = 0;
                continue;
            }
            window[filled++] = v;
            if (filled < 3) continue;
            f.triangles.push_back(window[0]);
            f.triangles.push_back(window[1]);
            f.triangles.push_back(window[2]);
            if (kind == k_marker_triangles) {
                filled = 0;
            } else if (kind == k_marker_fan) {
                window[1] = window[2];
                filled = 2;
            } else {
                if (parity == 0) window[0] = window[2];
                else window[1] = window[2];
                parity ^= 1;
                filled = 2;
            }
        }
    }
    draw_buffer.clear();
    if (!frames.empty()) draw_buffer = frames[0].triangles;
    pose_a = pose_b = 0;
    pose_w = 0;
    buffer_current = false;
    has_colours = palette_has_colours(palette) ? 1 : 0;
}

// ------------------------------------------------------------ reading

namespace {

void report_read_error(const char* name, bool memory) {
    mesh_message(memory ? "# malloc error\n" : "# read error\n");
    std::string line = std::string(name) + "\n";
    mesh_message(line.c_str());
}

// A bounded little-endian reader over the file's bytes.
class ByteReader {
public:
    ByteReader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t remaining() const { return n_ - pos_; }
    bool bytes(void* out, std::size_t k) {
        if (k > remaining()) return false;
        std::memcpy(out, p_ + pos_, k);
        pos_ += k;
        return true;
    }
    bool u8(std::uint8_t& v) { return bytes(&v, 1); }
    bool u32(std::uint32_t& v) {
        std::uint8_t b[4];
        if (!bytes(b, 4)) return false;
        v = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }
    bool i32(std::int32_t& v) {
        std::uint32_t u = 0;
        if (!u32(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool f32(float& v) {
        std::uint32_t u = 0;
        if (!u32(u)) return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool f64(double& v) {
        std::uint32_t lo = 0, hi = 0;
        if (!u32(lo) || !u32(hi)) return false;
        std::uint64_t u = static_cast<std::uint64_t>(hi) << 32 | lo;
        std::memcpy(&v, &u, 8);
        return true;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

// Thrown (and caught in mesh_load_bytes) when a file asks for more vertex
// memory than its budget.
struct OverBudget {};

// Vertex records a load has committed to: the frames' streams and triangle
// lists and the draw buffer (a copy of frame 0's triangles).
class VertexBudget {
public:
    explicit VertexBudget(std::size_t file_size) : left_(mesh_load_budget(file_size) / sizeof(MeshVertex)) {}
    void take(std::uint64_t records) {
        if (records > left_) throw OverBudget{};
        left_ -= records;
    }

private:
    std::uint64_t left_;
};

// Counts are checked against the bytes left before anything is allocated,
// so a damaged header cannot ask for more memory than the file could fill.
bool count_fits(const ByteReader& r, std::int32_t count, std::size_t each) {
    return count >= 0 && static_cast<std::uint64_t>(count) * each <= r.remaining();
}

bool read_binary(MeshObject& m, ByteReader& r, const char* name, VertexBudget& budget) {
    std::int32_t magic = 0;
    double version = 0;
    std::int32_t frame_count = 0, palette_count = 0, uv_count = 0;
    if (!r.i32(magic) || !r.f64(version)) return false;
    if (!(version <= k_zvd_version && version >= k_zvd_oldest_version)) {
        char text[96];
        std::snprintf(text, sizeof text, "Wrong .zvd version: %.2f. Can use 1.02-%.2f\n", version, k_zvd_version);
        mesh_message(text);
        return false;
    }
    (void)name;
    if (!r.i32(frame_count) || !r.i32(palette_count) || !r.i32(uv_count)) return false;
    bool quantised = version < k_zvd_version;
    if (!count_fits(r, palette_count, 4)) return false;
    m.palette.reserve(palette_count);
    for (std::int32_t i = 0; i < palette_count; ++i) {
        std::uint32_t c = 0;
        r.u32(c);
        m.palette.push_back(c);
    }
    if (!count_fits(r, uv_count, 8)) return false;
    std::vector<float> uv(static_cast<std::size_t>(uv_count) * 2);
    for (float& f : uv) r.f32(f);
    // Every frame takes at least its vertex count.
    if (!count_fits(r, frame_count, 4)) return false;
    m.frames.reserve(frame_count);
    const std::size_t vertex_size = quantised ? 5 : 14;
    for (std::int32_t fi = 0; fi < frame_count; ++fi) {
        m.frames.push_back(MeshFrame{});
        MeshFrame& frame = m.frames.back();
        std::int32_t count = 0;
        if (!r.i32(count)) return false;
        float offset[3] = {0, 0, 0}, scale[3] = {1, 1, 1};
        if (quantised)
            for (float* v : {offset, scale})
                for (int c = 0; c < 3; ++c)
                    if (!r.f32(v[c])) return false;
        // Each vertex takes its uv pair from the shared table: a frame with
        // more vertices than pairs does not fit the file.
        if (!count_fits(r, count, vertex_size) || count > uv_count) return false;
        budget.take(static_cast<std::uint64_t>(count));
        frame.stream.reserve_exact(count);
        for (std::int32_t i = 0; i < count; ++i) {
            MeshVertex v{};
            std::uint8_t normal_index = 0, colour_index = 0;
            if (quantised) {
                std::uint8_t q[3] = {0, 0, 0};
                r.bytes(q, 3);
                for (int c = 0; c < 3; ++c) v.position[c] = (static_cast<float>(q[c]) - offset[c]) * scale[c];
            } else {
                for (float& c : v.position) r.f32(c);
            }
            r.u8(normal_index);
            r.u8(colour_index);
            if (normal_index >= k_md2_normal_count || colour_index >= palette_count) return false;
            std::memcpy(v.normal, k_md2_normals[normal_index], sizeof v.normal);
            v.uv[0] = uv[static_cast<std::size_t>(i) * 2];
            v.uv[1] = uv[static_cast<std::size_t>(i) * 2 + 1];
            if (quantised) {
                v.uv[1] = -v.uv[1];
                std::memcpy(v.tangent, k_md2_normals[0], sizeof v.tangent);
                std::memcpy(v.binormal, k_md2_normals[0], sizeof v.binormal);
            }
            v.colour = m.palette[colour_index];
            v.colour_index = colour_index;
            colour_to_rgba(v.colour, v.rgba);
            frame.stream.push_back(v);
        }
        // The triangle list rebuild_triangles will make, and for frame 0
        // the draw buffer's copy of it.
        std::uint64_t triangles = static_cast<std::uint64_t>(triangle_vertices(frame.stream, m.palette));
        budget.take(fi == 0 ? triangles * 2 : triangles);
    }
    m.has_normals = 1;
    return true;
}

// Tokens of the text format: blank-separated, "#" comments to the end of
// the line, at most 1023 characters each.
class TokenReader {
public:
    TokenReader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool next(std::string& token) {
        token.clear();
        for (;;) {
            while (pos_ < n_ && is_space(p_[pos_])) ++pos_;
            if (pos_ < n_ && p_[pos_] == '#') {
                while (pos_ < n_ && p_[pos_] != '\n') ++pos_;
                continue;
            }
            break;
        }
        if (pos_ >= n_) return false;
        while (pos_ < n_ && !is_space(p_[pos_]) && p_[pos_] != '#') {
            if (token.size() >= 1023) return false;
            token += static_cast<char>(p_[pos_++]);
        }
        return true;
    }
    bool number(double& v) {
        std::string t;
        if (!next(t)) return false;
        char* end = nullptr;
        v = std::strtod(t.c_str(), &end);
        return end != t.c_str() && *end == 0 && std::isfinite(v);
    }
    // Truncated toward zero; out of the 32-bit range is an error.
    bool count(std::int32_t& v) {
        double d = 0;
        if (!number(d) || d <= -2147483649.0 || d >= 2147483648.0) return false;
        v = static_cast<std::int32_t>(d);
        return true;
    }
    std::size_t remaining() const { return n_ - pos_; }

private:
    static bool is_space(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

struct TextFace {
    std::uint32_t colour;
    std::vector<std::pair<std::int32_t, std::int32_t>> corners;  // vertex index, uv index
};

// A count no larger than the tokens the rest of the file could hold (each
// at least two bytes with its separator).
bool text_count_fits(const TokenReader& t, std::int32_t count, std::size_t tokens_each) {
    return count >= 0 && static_cast<std::uint64_t>(count) * tokens_each <= t.remaining() / 2 + 1;
}

bool read_text(MeshObject& m, TokenReader& t, VertexBudget& budget) {
    std::string token;
    if (!t.next(token) || token != "ZVDA") return false;
    double version = 0;
    if (!t.number(version) || version > 1.1) return false;
    bool with_normals = version >= 1.1;

    std::int32_t uv_count = 0;
    if (!t.count(uv_count) || !text_count_fits(t, uv_count, 2)) return false;
    std::vector<float> uv(static_cast<std::size_t>(uv_count) * 2);
    for (float& f : uv) {
        double d = 0;
        if (!t.number(d)) return false;
        f = static_cast<float>(d);
    }

    std::int32_t face_count = 0;
    if (!t.count(face_count) || !text_count_fits(t, face_count, 4)) return false;
    std::vector<TextFace> faces(static_cast<std::size_t>(face_count));
    for (TextFace& face : faces) {
        std::int32_t rgb[3];
        for (std::int32_t& c : rgb)
            if (!t.count(c)) return false;
        face.colour = (static_cast<std::uint32_t>(rgb[0]) & 255u) | (static_cast<std::uint32_t>(rgb[1]) & 255u) << 8 |
                      (static_cast<std::uint32_t>(rgb[2]) & 255u) << 16;
        std::int32_t corners = 0;
        if (!t.count(corners) || !text_count_fits(t, corners, 2)) return false;
        face.corners.resize(static_cast<std::size_t>(corners));
        for (auto& [vi, ui] : face.corners) {
            if (!t.count(vi) || !t.count(ui)) return false;
            if (vi < 0 || ui < 0 || (uv_count != 0 && ui >= uv_count)) return false;
        }
    }

    std::int32_t frame_count = 0;
    if (!t.count(frame_count) || !text_count_fits(t, frame_count, 1)) return false;
    // Every frame repeats all faces: a marker and the corners of each in its
    // stream, and a fan of corners - 2 triangles in its triangle list.
    std::uint64_t stream_length = 0, triangle_length = 0;
    for (const TextFace& face : faces) {
        stream_length += 1 + face.corners.size();
        if (face.corners.size() > 2) triangle_length += 3 * (face.corners.size() - 2);
    }
    if (stream_length > INT32_MAX) throw OverBudget{};
    if (frame_count > 0) budget.take(triangle_length);
    for (std::int32_t fi = 0; fi < frame_count; ++fi) budget.take(stream_length + triangle_length);
    m.frames.reserve(frame_count);
    std::vector<float> vertices;
    for (std::int32_t fi = 0; fi < frame_count; ++fi) {
        std::int32_t count = 0;
        std::size_t per_vertex = with_normals ? 6 : 3;
        if (!t.count(count) || !text_count_fits(t, count, per_vertex)) return false;
        vertices.assign(static_cast<std::size_t>(count) * per_vertex, 0.0f);
        for (float& f : vertices) {
            double d = 0;
            if (!t.number(d)) return false;
            f = static_cast<float>(d);
        }
        m.frames.push_back(MeshFrame{});
        MeshFrame& frame = m.frames.back();
        frame.stream.reserve_exact(static_cast<std::int32_t>(stream_length));
        for (const TextFace& face : faces) {
            MeshVertex marker{};
            marker.colour = k_marker_fan;
            colour_to_rgba(marker.colour, marker.rgba);
            frame.stream.push_back(marker);
            for (auto [vi, ui] : face.corners) {
                if (vi >= count) return false;
                MeshVertex v{};
                const float* src = &vertices[static_cast<std::size_t>(vi) * per_vertex];
                std::memcpy(v.position, src, sizeof v.position);
                if (with_normals) std::memcpy(v.normal, src + 3, sizeof v.normal);
                if (uv_count != 0) {
                    v.uv[0] = uv[static_cast<std::size_t>(ui) * 2];
                    v.uv[1] = -uv[static_cast<std::size_t>(ui) * 2 + 1];
                }
                v.colour = face.colour;
                colour_to_rgba(v.colour, v.rgba);
                frame.stream.push_back(v);
            }
        }
    }
    m.has_normals = with_normals ? 1 : 0;
    m.compact_palette();
    return true;
}

}  // namespace

bool mesh_load_bytes(MeshObject& object, const std::uint8_t* bytes, std::size_t size, const char* name) {
    object.clear();
    bool ok = false;
    bool out_of_memory = false;
    try {
        ByteReader header(bytes, size);
        std::int32_t magic = 0;
        VertexBudget budget(size);
        if (header.i32(magic) && is_zvd_magic(magic)) {
            ByteReader r(bytes, size);
            ok = read_binary(object, r, name, budget);
        } else {
            TokenReader t(bytes, size);
            ok = read_text(object, t, budget);
        }
    } catch (const std::bad_alloc&) {
        out_of_memory = true;
    } catch (const OverBudget&) {
        out_of_memory = true;
    }
    if (!ok) {
        object.clear();
        report_read_error(name, out_of_memory);
        return false;
    }
    object.valid = 1;
    return true;
}

bool mesh_load(MeshObject& object, const char* name) {
    object.clear();
    ResourceStream stream;
    if (!stream.open_read(name)) return false;
    std::int32_t size = stream.stream_size();
    std::vector<std::uint8_t> bytes;
    bool read_ok = size >= 0;
    if (read_ok && size > 0) {
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            mesh_message("# malloc error\n");
            mesh_message((std::string(name) + "\n").c_str());
            return false;
        }
        std::int32_t got = 0;
        read_ok = stream.read(bytes.data(), size, &got) && got == size;
    }
    stream.close();
    if (!read_ok) {
        report_read_error(name, false);
        return false;
    }
    return mesh_load_bytes(object, bytes.data(), bytes.size(), name);
}

// ------------------------------------------------------------ writing

namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put_f32(std::vector<std::uint8_t>& out, float f) {
    std::uint32_t u = 0;
    std::memcpy(&u, &f, 4);
    put_u32(out, u);
}

}  // namespace

std::vector<std::uint8_t> mesh_save_bytes(const MeshObject& m) {
    std::vector<std::uint8_t> out;
    if (m.frames.empty()) return out;
    const GrowVector<MeshVertex>& first = m.frames[0].stream;
    put_u32(out, static_cast<std::uint32_t>(k_zvd_magic));
    double version = k_zvd_version;
    std::uint64_t vb = 0;
    std::memcpy(&vb, &version, 8);
    put_u32(out, static_cast<std::uint32_t>(vb));
    put_u32(out, static_cast<std::uint32_t>(vb >> 32));
    put_u32(out, static_cast<std::uint32_t>(m.frames.size()));
    // One uv pair per vertex position, shared by every frame: frame 0's.
    // A frame longer than frame 0 (a loaded file may have one) takes the
    // pairs beyond from the first frame that reaches them, so that the file
    // still loads.
    std::int32_t uv_count = first.size();
    for (const MeshFrame& f : m.frames) uv_count = std::max(uv_count, f.stream.size());
    put_u32(out, static_cast<std::uint32_t>(m.palette.size()));
    put_u32(out, static_cast<std::uint32_t>(uv_count));
    for (std::uint32_t c : m.palette) put_u32(out, c);
    for (std::int32_t i = 0; i < uv_count; ++i) {
        const MeshFrame* owner = &m.frames[0];
        for (const MeshFrame& f : m.frames)
            if (f.stream.size() > i) {
                owner = &f;
                break;
            }
        put_f32(out, owner->stream[i].uv[0]);
        put_f32(out, owner->stream[i].uv[1]);
    }
    for (const MeshFrame& f : m.frames) {
        put_u32(out, static_cast<std::uint32_t>(f.stream.size()));
        for (const MeshVertex& v : f.stream) {
            for (float c : v.position) put_f32(out, c);
            out.push_back(nearest_normal_index(v.normal));
            out.push_back(v.colour_index);
        }
    }
    return out;
}

bool mesh_save(const MeshObject& object, const char* name) {
    if (object.frames.empty() || is_memory_name(name)) return false;
    std::vector<std::uint8_t> bytes = mesh_save_bytes(object);
    ResourceStream stream;
    if (!stream.open_write(name)) return false;
    bool ok = stream.write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream.close();
    return ok;
}

}  // namespace crv
