// crvmesh: makes zvd meshes from Wavefront OBJ files and shows what a zvd
// file holds.
//
//   crvmesh convert [--smooth] OUT.zvd IN.obj [IN2.obj ...]
//       Each OBJ file becomes one animation frame (all frames must have the
//       same faces). Positions, texture coordinates (v upwards, as OpenGL
//       takes them) and normals are read; every face becomes a triangle
//       fan, turned clockwise as the 3D engine's front faces are. Without
//       normals in the file they are computed, per face or (--smooth)
//       shared by vertices in the same place.
//   crvmesh info FILE.zvd
//       Prints the header, every frame's vertex and triangle counts and
//       bounds, and the palette.
//
//   crvmesh --help | --version
//
// Exit code 0 on success, 1 when a file cannot be read, converted or
// written (the message on standard error names the file and the reason), 2
// on wrong usage (the usage goes to standard error; --help writes it to
// standard output).
#include "gfx3d/mesh.hpp"
#include "sys/resource.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using crv::MeshFrame;
using crv::MeshObjectX;
using crv::MeshVertex;

struct ObjCorner {
    int v = -1, vt = -1, vn = -1;
};

struct ObjFile {
    std::vector<float> positions, uvs, normals;  // 3, 2, 3 floats each
    std::vector<std::vector<ObjCorner>> faces;
};

// OBJ indexes are 1-based; negative ones count back from the end.
bool resolve_index(const std::string& text, std::size_t count, int& out) {
    if (text.empty()) return true;
    char* end = nullptr;
    long i = std::strtol(text.c_str(), &end, 10);
    if (*end != 0 || i == 0) return false;
    long resolved = i > 0 ? i - 1 : static_cast<long>(count) + i;
    if (resolved < 0 || resolved >= static_cast<long>(count)) return false;
    out = static_cast<int>(resolved);
    return true;
}

bool read_obj(const char* path, ObjFile& obj, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = std::string(path) + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream s(line);
        std::string kind;
        if (!(s >> kind) || kind[0] == '#') continue;
        auto fail = [&](const char* what) {
            error = std::string(path) + ":" + std::to_string(number) + ": " + what;
            return false;
        };
        if (kind == "v" || kind == "vn") {
            float x = 0, y = 0, z = 0;
            if (!(s >> x >> y >> z)) return fail("three numbers expected");
            auto& into = kind == "v" ? obj.positions : obj.normals;
            into.insert(into.end(), {x, y, z});
        } else if (kind == "vt") {
            float u = 0, v = 0;
            if (!(s >> u)) return fail("a texture coordinate expected");
            s >> v;
            obj.uvs.insert(obj.uvs.end(), {u, v});
        } else if (kind == "f") {
            std::vector<ObjCorner> face;
            std::string corner;
            while (s >> corner) {
                ObjCorner c;
                std::string parts[3];
                std::size_t part = 0;
                for (char ch : corner) {
                    if (ch == '/') {
                        if (++part > 2) return fail("a corner has more than three parts");
                    } else {
                        parts[part] += ch;
                    }
                }
                if (parts[0].empty() || !resolve_index(parts[0], obj.positions.size() / 3, c.v))
                    return fail("a position index is out of range");
                if (!resolve_index(parts[1], obj.uvs.size() / 2, c.vt))
                    return fail("a texture coordinate index is out of range");
                if (!resolve_index(parts[2], obj.normals.size() / 3, c.vn))
                    return fail("a normal index is out of range");
                face.push_back(c);
            }
            if (face.size() < 3) return fail("a face needs three corners");
            obj.faces.push_back(std::move(face));
        }
    }
    if (obj.faces.empty()) {
        error = std::string(path) + ": no faces";
        return false;
    }
    return true;
}

void append_frame(MeshObjectX& mesh, const ObjFile& obj, bool& all_normals) {
    mesh.frames.push_back(MeshFrame{});
    MeshFrame& frame = mesh.frames.back();
    for (const auto& face : obj.faces) {
        MeshVertex marker{};
        marker.colour = crv::k_marker_fan;
        crv::colour_to_rgba(marker.colour, marker.rgba);
        frame.stream.push_back(marker);
        // OBJ faces run counter-clockwise seen from the front; the engine's
        // front faces run clockwise. The fan keeps its first corner.
        for (std::size_t k = 0; k < face.size(); ++k) {
            const ObjCorner& c = face[k == 0 ? 0 : face.size() - k];
            MeshVertex v{};
            for (int i = 0; i < 3; ++i) v.position[i] = obj.positions[static_cast<std::size_t>(c.v) * 3 + i];
            if (c.vt >= 0) {
                v.uv[0] = obj.uvs[static_cast<std::size_t>(c.vt) * 2];
                v.uv[1] = obj.uvs[static_cast<std::size_t>(c.vt) * 2 + 1];
            }
            if (c.vn >= 0) {
                for (int i = 0; i < 3; ++i) v.normal[i] = obj.normals[static_cast<std::size_t>(c.vn) * 3 + i];
            } else {
                all_normals = false;
            }
            v.colour = 0x00FFFFFF;
            crv::colour_to_rgba(v.colour, v.rgba);
            frame.stream.push_back(v);
        }
    }
}

// Prints the usage; 2, the exit status of wrong usage.
int usage(std::FILE* to) {
    std::fputs("usage: crvmesh convert [--smooth] OUT.zvd IN.obj [IN2.obj ...]\n"
               "       crvmesh info FILE.zvd\n"
               "       crvmesh --help | --version\n",
               to);
    return 2;
}

int convert(int argc, char** argv) {
    bool smooth = false;
    int i = 0;
    if (i < argc && std::strcmp(argv[i], "--smooth") == 0) {
        smooth = true;
        ++i;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "crvmesh convert: an output file and at least one OBJ file are needed\n");
        return usage(stderr);
    }
    const char* out = argv[i++];
    MeshObjectX mesh;
    bool all_normals = true;
    for (; i < argc; ++i) {
        ObjFile obj;
        std::string error;
        if (!read_obj(argv[i], obj, error)) {
            std::fprintf(stderr, "crvmesh: %s\n", error.c_str());
            return 1;
        }
        append_frame(mesh, obj, all_normals);
        if (mesh.frames.back().stream.size() != mesh.frames[0].stream.size()) {
            std::fprintf(stderr, "crvmesh: %s: its faces differ from the first file's\n", argv[i]);
            return 1;
        }
    }
    mesh.compact_palette();
    if (!all_normals) mesh.generate_normals(true, smooth, false);
    mesh.rebuild_triangles();
    errno = 0;
    if (!crv::mesh_save(mesh, out)) {
        // The system's reason when the file could not be opened or written.
        const char* reason = errno != 0 ? std::strerror(errno) : "the mesh cannot be stored";
        std::fprintf(stderr, "crvmesh: %s: cannot be written: %s\n", out, reason);
        return 1;
    }
    std::printf("%s: %d frames, %d vertices, %d triangles a frame\n", out, mesh.frames.size(),
                mesh.frames[0].stream.size(), mesh.frames[0].triangles.size() / 3);
    return 0;
}

int info(const char* path) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "crvmesh: %s: cannot be read: %s\n", path, std::strerror(errno));
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    MeshObjectX mesh;
    std::string messages;
    static std::string* sink = &messages;
    crv::mesh_message = [](const char* text) { *sink += text; };
    if (!crv::mesh_load_bytes(mesh, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), path)) {
        // The loader's own lines ("# read error", the name, ...) made one
        // reason, without the file's name it repeats.
        std::string reason;
        std::istringstream lines(messages);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("# ", 0) == 0) line.erase(0, 2);
            if (line.empty() || line == path) continue;
            reason += (reason.empty() ? "" : "; ") + line;
        }
        std::fprintf(stderr, "crvmesh: %s: not a mesh it can read (%s)\n", path,
                     reason.empty() ? "unknown format" : reason.c_str());
        return 1;
    }
    std::int32_t magic = 0;
    double version = 0;
    bool binary = bytes.size() >= 12;
    if (binary) {
        std::memcpy(&magic, bytes.data(), 4);
        std::memcpy(&version, bytes.data() + 4, 8);
        binary = crv::is_zvd_magic(magic);
    }
    if (binary) std::printf("format: zvd binary, version %.2f\n", version);
    else std::printf("format: ZVDA text\n");
    mesh.rebuild_triangles();
    mesh.compute_bounds();
    std::printf("frames: %d\n", mesh.frames.size());
    for (std::int32_t f = 0; f < mesh.frames.size(); ++f) {
        const MeshFrame& frame = mesh.frames[f];
        std::printf("frame %d: %d vertices, %d triangles, centre (%g, %g, %g), radius %g\n", f, frame.stream.size(),
                    frame.triangles.size() / 3, static_cast<double>(frame.centre[0]),
                    static_cast<double>(frame.centre[1]), static_cast<double>(frame.centre[2]),
                    static_cast<double>(frame.radius));
    }
    std::printf("palette: %d entries\n", mesh.palette.size());
    for (std::int32_t i = 0; i < mesh.palette.size(); ++i) {
        std::uint32_t c = mesh.palette[i];
        const char* note = c == crv::k_marker_triangles ? " (triangles)"
                           : c == crv::k_marker_strip   ? " (strip)"
                           : c == crv::k_marker_fan     ? " (fan)"
                           : c == crv::k_colour_reserved_white ? " (white)"
                                                               : "";
        std::printf("  %3d: 0x%08X%s\n", i, c, note);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("crvmesh %s\n", CRV_VERSION);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) return convert(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
    return usage(stderr);
}
