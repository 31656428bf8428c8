// Writes the seed corpora of the fuzz targets (corpus/<target>/) from the
// same small fixtures the unit tests build, using the run-time's own writers
// where it has them. Run by hand when the fixtures change:
//   build/bin/fuzz_make_corpus tests/fuzz/corpus
#include "gfx3d/mesh.hpp"
#include "render2d/image.hpp"
#include "sys/media_pack.hpp"
#include "tests/gfx3d/mesh_fixtures.hpp"
#include "tests/render2d/jpeg_fixtures.hpp"
#include "tests/sound/wave_files.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path root;

void put(const char* target, const char* name, const Bytes& bytes) {
    fs::create_directories(root / target);
    std::ofstream out(root / target / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void put_text(const char* target, const char* name, const std::string& text) {
    put(target, name, Bytes(text.begin(), text.end()));
}

Bytes read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// An image written by the run-time's writer, read back as bytes.
Bytes image_file(const char* extension, std::int32_t w, std::int32_t h, bool transparent) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = transparent && i % 8 == 3 ? 0 : 255;
    fs::path p = fs::temp_directory_path() / (std::string("crv_corpus") + extension);
    crv::write_image_file(p.string().c_str(), rgba.data(), w, h);
    Bytes b = read(p);
    fs::remove(p);
    return b;
}

// A BMP of the given depth with a palette where it needs one.
Bytes bmp(std::uint16_t bits, std::int32_t w, std::int32_t h, std::uint32_t compression = 0) {
    using crv::test::put16;
    using crv::test::put32;
    std::uint32_t palette = bits <= 8 ? (1u << bits) * 4 : 0;
    std::uint32_t row = ((static_cast<std::uint32_t>(w) * bits + 31) / 32) * 4;
    std::uint32_t pixels = row * static_cast<std::uint32_t>(h < 0 ? -h : h);
    Bytes b{'B', 'M'};
    put32(b, 54 + palette + pixels);
    put32(b, 0);
    put32(b, 54 + palette);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(w));
    put32(b, static_cast<std::uint32_t>(h));
    put16(b, 1);
    put16(b, bits);
    put32(b, compression);
    put32(b, pixels);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (std::uint32_t i = 0; i < palette; ++i) b.push_back(static_cast<std::uint8_t>(i * 5));
    for (std::uint32_t i = 0; i < pixels; ++i) b.push_back(static_cast<std::uint8_t>(i * 13 + 1));
    return b;
}

void images() {
    put("bmp", "24bit", image_file(".bmp", 5, 3, false));
    put("bmp", "8bit", bmp(8, 3, 2));
    put("bmp", "4bit", bmp(4, 5, 2));
    put("bmp", "1bit", bmp(1, 9, 2));
    put("bmp", "32bit_topdown", bmp(32, 2, -2));
    put("bmp", "16bit", bmp(16, 3, 2));
    put("png", "rgba", image_file(".png", 5, 3, true));
    put("png", "opaque", image_file(".png", 1, 1, false));
    Bytes small_jpeg = image_file(".jpg", 8, 8, false);
    put("jpeg", "small", small_jpeg);
    put("jpeg", "odd", image_file(".jpg", 3, 5, false));
    // Scans the decoder must give up on, and a large size declared over a
    // small scan (refused by the size ratio before anything is allocated).
    Bytes detailed = image_file(".jpg", 32, 24, false);
    put("jpeg", "early_marker", crv::test::jpeg_ended_by_marker(detailed));
    put("jpeg", "corrupt_scan", crv::test::jpeg_with_corrupt_scan(detailed));
    put("jpeg", "declared_4096", crv::test::jpeg_declaring(small_jpeg, 4096, 4096));
#ifdef C_ARITH_CODING_SUPPORTED
    // The arithmetic decoder: one small enough to decode, one refused.
    put("jpeg", "arithmetic", crv::test::flat_arithmetic_jpeg(64, 48));
    put("jpeg", "arithmetic_4096", crv::test::flat_arithmetic_jpeg(4096, 4096));
#endif
}

void waves() {
    using namespace crv::test;
    put("wave", "mono16", wave_file(sine(32, 440, 22050, 8000)));
    put("wave", "stereo16", wave_file(sine(32, 440, 22050, 8000), 2, 44100));
    FmtFields eight;
    eight.bits = 8;
    put("wave", "mono8_list", riff({chunk("fmt ", fmt_body(eight)), chunk("LIST", Bytes{'I', 'N', 'F', 'O'}),
                                    chunk("data", Bytes{128, 130, 126, 128})}));
    FmtFields extensible;
    extensible.tag = 0xFFFE;
    extensible.size = 40;
    Bytes ext_body = fmt_body(extensible);
    put16(ext_body, 0);
    ext_body[16] = 22;
    const std::uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext_body.resize(40);
    std::memcpy(ext_body.data() + 24, guid, 16);
    put("wave", "extensible", riff({chunk("fmt ", ext_body), chunk("data", pcm16({1, 2, 3, 4}))}));
}

void meshes() {
    using namespace crv;
    MeshObjectX two = test::two_frame_mesh();
    put("mesh", "binary_v2", mesh_save_bytes(two));
    test::ZvdWriter q(1.5, 1, 2, 3);
    q.palette({k_marker_strip, 0x00FF00FF});
    q.uv({{0, 0}, {1, 0}, {0, 1}});
    q.frame_quantised({1, 1, 1}, {0.5f, 0.5f, 0.5f}, {{{0, 0, 0}, 0, 0}, {{2, 0, 0}, 5, 1}, {{0, 2, 0}, 161, 1}});
    put("mesh", "binary_v15", q.bytes);
    MeshObjectX strip = test::mesh_from_letters("ABCsDEFGfHIJK");
    put("mesh", "binary_markers", mesh_save_bytes(strip));
    put_text("mesh", "text_v11",
             "ZVDA 1.1  # a square as one face\n"
             "2  0.5 0.25  1 1\n"
             "1  255 128 0 4  0 0  1 1  2 0  3 1\n"
             "1  4\n"
             "0 0 0  0 0 1\n1 0 0  0 0 1\n1 1 0  0 0 1\n0 1 0  0 0 1\n");
    // Many small frames, so that runs start near the sizes where a loader's
    // memory per frame adds up.
    std::string many = "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 600";
    for (int i = 0; i < 600; ++i) many += " 3 0 0 0 1 0 0 0 1 0";
    put_text("mesh", "text_many_frames", many);
    test::ZvdWriter frames(2.0, 600, 2, 3);
    frames.palette({k_marker_fan, 0x00FFFFFF});
    frames.uv({{0, 0}, {1, 0}, {0, 1}});
    for (int i = 0; i < 600; ++i) frames.frame({{{0, 0, 0}, 0, 0}, {{1, 0, 0}, 0, 1}, {{0, 1, 0}, 0, 1}});
    put("mesh", "binary_many_frames", frames.bytes);
    put_text("mesh", "text_v10_two_frames", "ZVDA 1.0 0 2 1 2 3 3 0 0 1 0 2 0 9 9 9 3 0 1 2 0 2 0 2 "
                                            "3 0 0 0 1 0 0 0 1 0 3 0 0 1 1 0 1 0 1 1");
}

void worlds() {
    put_text("world", "example",
             ";ZVW world\r\n[textures]\r\ncount=2\r\n1=t.png\r\n2=t.bmp\r\n[objects]\r\ncount=1\r\n1=m.zvd\r\n"
             "1ta=2\r\n");
    put_text("world", "two_objects", ";ZVW\n[objects]\ncount=2\n1=m.zvd\n2=missing.zvd\n2tb=1\n");
    put_text("world", "empty", ";ZVW\n");
    put_text("world", "mesh_not_world", "ZVDA 1.0 0 1 1 2 3 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0");
}

void settings_and_lines() {
    put_text("settings", "sections", "[Game]\r\nname=Veltrack\r\nlevel = 3\r\n; a comment\r\n[Sound]\r\nvolume=80\r\n");
    put_text("settings", "no_header", "key=value\n[ spaced ]\nx=1\n[empty]\n=novalue\n[t\n");
    put_text("line_file", "numbers", "1\r\n2.5\r\n-3e2\r\nfour\r\n\r\nlast");
    put_text("line_file", "long_line", std::string(1100, 'x') + "\nshort\n");
}

void channels() {
    // Twelve operation bytes, then the channel's content.
    Bytes ops{4, 7, 0, 1, 2, 3, 5, 6, 8, 11, 9, 10};
    Bytes content{5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0xFF, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (char c : std::string("line one\r\n3.25\n42\n")) content.push_back(static_cast<std::uint8_t>(c));
    Bytes all = ops;
    all.insert(all.end(), content.begin(), content.end());
    put("channels", "mixed", all);
    put("channels", "lines", Bytes{8, 8, 9, 10, 12, 8, 13, 13, 13, 13, 13, 13, 'a', '\n', 'b', '\r', '\n', '7'});
}

void shaders() {
    put_text("shader", "vertex", "void main() {\n    gl_Position = ftransform();\n}\n");
    put_text("shader", "fragment", "uniform sampler2D t;\nvoid main() { gl_FragColor = texture2D(t, gl_TexCoord[0].st); }\n");
}

void http() {
    put_text("http_header", "ok", std::string("\x03") + "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nbody");
    put_text("http_header", "bare_lf", std::string("\x00", 1) + "HTTP/1.0 404 Not Found\n\nmissing");
    put_text("http_header", "cr_between", std::string("\x0f") + "HTTP/1.0 200 OK\n\r\r\nrest");
    put_text("http_header", "content_length",
             std::string("\x05") + "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nhello, world");
    put_text("http_header", "length_list",
             std::string("\x02") + "HTTP/1.0 200 OK\r\ncontent-length: 7, 7\r\nContent-Length:\t7 \r\n\r\n1234567");
    put_text("http_header", "length_conflict",
             std::string("\x09") + "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 6x\r\n\r\n12345");
    put_text("http_header", "chunked",
             std::string("\x07") + "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n" +
                 "10\r\n0123456789abcdef\r\n0\r\n\r\n");
    // Header sections over their limit: a small one chosen by the first
    // byte, and the downloads' own.
    put_text("http_header", "long_header",
             std::string("\x43") + "HTTP/1.0 200 OK\r\nX-Padding: " + std::string(100, 'p') + "\r\n\r\n");
    std::string endless = "\x0b" + std::string("HTTP/1.0 200 OK\r\n");
    while (endless.size() < 66 * 1024) endless += "X-Padding: " + std::string(1000, 'p') + "\r\n";
    put_text("http_header", "over_limit", endless + "\r\n");
}

void lobby() {
    auto frame = [](Bytes& out, std::uint8_t command, std::uint16_t receiver, std::uint16_t sender,
                    const std::string& body) {
        out.push_back(command);
        crv::test::put16(out, static_cast<std::uint32_t>(body.size()));
        crv::test::put16(out, receiver);
        crv::test::put16(out, sender);
        out.insert(out.end(), body.begin(), body.end());
    };
    // To a host: hello, announce a player, a message to everyone, remove.
    Bytes to_host{3};
    frame(to_host, 104, 0, 0, "");
    std::string announce(4 + 4 + 128, '\0');
    announce[0] = 7;
    announce.replace(8, 6, "player");
    frame(to_host, 1, 0, 0, announce);
    frame(to_host, 3, 0xFFFF, 101, "hello all");
    frame(to_host, 4, 0, 101, "");
    put("lobby_frames", "to_host", to_host);
    // To a joiner: the answers of the host.
    Bytes to_joiner{0};
    frame(to_joiner, 104, 0, 0, std::string("\x01\x00", 2));
    frame(to_joiner, 2, 0, 0, std::string("\x07\x00\x00\x00\x65\x00", 6));
    frame(to_joiner, 3, 101, 102, "hi");
    frame(to_joiner, 101, 0, 0, std::string("\x02\x00", 2));
    put("lobby_frames", "to_joiner", to_joiner);
    // To a peer past its limits: ids, then players refused (id 0).
    Bytes refused{2};
    frame(refused, 104, 0, 0, std::string("\x01\x00", 2));
    frame(refused, 2, 101, 0, "");
    frame(refused, 2, 102, 0, "");
    for (int i = 0; i < 4; ++i) frame(refused, 2, 0, 0, "");
    put("lobby_frames", "refused", refused);
    // To a host from a peer taking ids: announcements in a row, and the
    // removals of those it got.
    Bytes taking_ids{5};
    for (int i = 0; i < 6; ++i) frame(taking_ids, 1, 0, 0, announce);
    for (std::uint16_t id = 101; id < 106; ++id) frame(taking_ids, 4, 0, id, "");
    put("lobby_frames", "taking_ids", taking_ids);
}

void packs() {
    std::vector<crv::PackSource> sources = {
        {"font.png", image_file(".png", 2, 2, true)},
        {"level.txt", Bytes{';', 'Z', 'V', 'W', '\n'}},
        {"empty.bin", {}},
    };
    std::string repeated(300, 'a');
    sources.push_back({"Repeated.TXT", Bytes(repeated.begin(), repeated.end())});
    Bytes pack;
    std::string error;
    if (!crv::pack_build(sources, pack, error)) std::fprintf(stderr, "pack: %s\n", error.c_str());
    put("pack", "four_entries", pack);
    // The same appended to other bytes, as a pack follows a program.
    Bytes appended(64, 0x90);
    appended.insert(appended.end(), pack.begin(), pack.end());
    put("pack", "appended", appended);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[1];
    images();
    waves();
    meshes();
    worlds();
    settings_and_lines();
    channels();
    shaders();
    http();
    lobby();
    packs();
    return 0;
}
