// crvpack and the run-time's pack reading against a pack written here byte
// by byte from the pack layout (trailer, directory, entries of a length and
// an LZO1X stream), not by the code's own writer, and packs made by the
// tool read back by a reader of this file's own.
#include "sys/resource.hpp"
#include "sys/sys_lifecycle.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace crv {
namespace {

using Bytes = std::string;

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

void put32(Bytes& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

std::int32_t get32(const Bytes& in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

// An LZO1X stream that stores the bytes as they are: one literal run
// (a first byte of 17 + n for up to 238 bytes; otherwise 0, a 0 per 255
// and the rest of n - 18) and the end marker, a distance-0 match.
Bytes lzo_stored(const Bytes& bytes) {
    Bytes out;
    const std::size_t n = bytes.size();
    if (n > 0 && n <= 238) {
        out += static_cast<char>(17 + n);
    } else if (n > 238) {
        out += '\0';
        std::size_t rest = n - 18;
        for (; rest > 255; rest -= 255) out += '\0';
        out += static_cast<char>(rest);
    }
    out += bytes;
    out += Bytes("\x11\0\0", 3);
    return out;
}

// The same through the LZO library's own compressor.
Bytes lzo_compressed(const Bytes& bytes) {
    EXPECT_EQ(lzo_init(), LZO_E_OK);
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS), out(bytes.size() + bytes.size() / 16 + 64 + 3);
    lzo_uint length = 0;
    EXPECT_EQ(lzo1x_1_compress(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data(),
                               &length, work.data()),
              LZO_E_OK);
    return Bytes(reinterpret_cast<const char*>(out.data()), length);
}

// The fixture: a host file (say a game's executable) of 64 bytes with a
// pack after it. The directory comes first and is found through a
// positive offset; entry data follows, placed by positive offsets (from the
// start of the file) and negative ones (back from its end).
struct Entry {
    std::string name;
    Bytes content;
    Bytes stream;  // LZO1X
    bool from_end;
    std::int32_t offset = 0;  // where the data starts in the file
    std::int32_t stored() const { return static_cast<std::int32_t>(4 + stream.size()); }
};

struct Fixture {
    Bytes host;
    std::vector<Entry> entries;
    Bytes file;
    std::int32_t directory = 0;
};

Bytes readme_text() {
    Bytes text;
    for (int line = 1; text.size() < 600; ++line) text += "Line " + std::to_string(line) + " of the notes.\n";
    return text.substr(0, 600);
}

Bytes levels_text() {
    Bytes text;
    for (int level = 0; level < 200; ++level) text += "level=" + std::to_string(level % 7) + " tiles=0000000\n";
    return text;
}

Fixture make_fixture() {
    Fixture f;
    f.host = Bytes("\x7f" "ELF fake game executable\n") + Bytes(38, '\x90');
    // font.png's data at 300 with 27 stored bytes (4 + 23: 19 bytes stored
    // as they are); readme.txt longer than one short literal run;
    // levels.dat compressed for real; empty.txt of no bytes.
    f.entries = {{"font.png", "packed font image!!", lzo_stored("packed font image!!"), false},
                 {"readme.txt", readme_text(), lzo_stored(readme_text()), true},
                 {"levels.dat", levels_text(), lzo_compressed(levels_text()), true},
                 {"empty.txt", "", lzo_stored(""), false}};
    EXPECT_EQ(f.entries[0].stored(), 27);
    EXPECT_LT(f.entries[2].stream.size(), f.entries[2].content.size() / 4);  // matches, not literals

    f.directory = static_cast<std::int32_t>(f.host.size());
    std::size_t directory_size = 1;
    for (const Entry& e : f.entries) directory_size += 1 + e.name.size() + 8;
    std::int32_t at = 300;
    EXPECT_LT(f.host.size() + directory_size, 300u);
    Bytes data;
    for (Entry& e : f.entries) {
        e.offset = at;
        put32(data, static_cast<std::int32_t>(e.content.size()));
        data += e.stream;
        at += e.stored();
    }
    const std::int32_t total = at + 7;

    f.file = f.host;
    for (const Entry& e : f.entries) {
        f.file += static_cast<char>(e.name.size());
        f.file += e.name;
        put32(f.file, e.from_end ? e.offset - total : e.offset);
        put32(f.file, e.stored());
    }
    f.file += '\0';
    f.file.resize(300, '\0');
    f.file += data;
    f.file += "sbX";
    put32(f.file, f.directory);
    EXPECT_EQ(f.file.size(), static_cast<std::size_t>(total));
    return f;
}

// Reads a pack by the layout alone: name -> content, in directory order.
std::vector<std::pair<std::string, Bytes>> read_pack(const Bytes& pack) {
    std::vector<std::pair<std::string, Bytes>> found;
    const auto size = static_cast<std::int64_t>(pack.size());
    if (size < 7 || pack.compare(pack.size() - 7, 3, "sbX") != 0) return found;
    auto place = [size](std::int32_t offset) { return offset < 0 ? size + offset : offset; };
    std::int64_t p = place(get32(pack, pack.size() - 4));
    while (p >= 0 && p < size - 7 && pack[static_cast<std::size_t>(p)] != '\0') {
        const auto at = static_cast<std::size_t>(p);
        const std::size_t length = static_cast<unsigned char>(pack[at]);
        const std::string name = pack.substr(at + 1, length);
        const std::int64_t data = place(get32(pack, at + 1 + length));
        const std::int32_t stored = get32(pack, at + 1 + length + 4);
        p += 1 + static_cast<std::int64_t>(length) + 8;
        if (data < 0 || stored < 4 || data + stored > size) return {};
        const auto declared = static_cast<std::uint32_t>(get32(pack, static_cast<std::size_t>(data)));
        std::vector<unsigned char> out(declared + 1);
        lzo_uint out_length = declared;
        const int r = lzo1x_decompress_safe(reinterpret_cast<const unsigned char*>(pack.data() + data + 4),
                                            static_cast<lzo_uint>(stored - 4), out.data(), &out_length, nullptr);
        if (r != LZO_E_OK || out_length != declared) return {};
        found.emplace_back(name, Bytes(reinterpret_cast<const char*>(out.data()), out_length));
    }
    return found;
}

test::ChildResult crvpack(const std::vector<std::string>& args) {
    std::vector<std::string> argv{CRVPACK};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::run_child(argv, {}, false);
}

class PackFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fixture_ = make_fixture();
        pack_ = dir_.file("game");
        write_file(pack_, fixture_.file);
    }

    test::TempDir dir_;
    Fixture fixture_;
    std::string pack_;
};

TEST_F(PackFixture, TheFixtureFollowsTheLayout) {
    // The reader of this file agrees with the writer of this file; the
    // tests below hold the tool and the run-time to both.
    const auto entries = read_pack(fixture_.file);
    ASSERT_EQ(entries.size(), fixture_.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].first, fixture_.entries[i].name);
        EXPECT_EQ(entries[i].second, fixture_.entries[i].content);
    }
}

TEST_F(PackFixture, TheRunTimeFindsEachEntryByBaseNameIgnoringCase) {
    ResourcePack pack;
    pack.set_pack_name(pack_);
    for (const Entry& e : fixture_.entries) {
        for (const std::string& asked : {e.name, "data/Media/" + e.name, "C:\\GAME\\" + e.name}) {
            std::string upper = asked;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (const std::string& name : {asked, upper}) {
                std::string out;
                ASSERT_TRUE(resolve_resource(&pack, name.c_str(), out, true)) << name;
                ASSERT_TRUE(is_memory_name(out.c_str())) << out;
                ResourceStream s;
                ASSERT_TRUE(s.open_read(out.c_str()));
                Bytes got(static_cast<std::size_t>(s.size()), '\0');
                std::int32_t n = 0;
                EXPECT_TRUE(s.read(got.data(), s.size(), &n));
                EXPECT_EQ(got, e.content) << name;
            }
        }
    }
    std::string out;
    EXPECT_FALSE(resolve_resource(&pack, "font.pn", out, true));
    EXPECT_FALSE(resolve_resource(&pack, "missing.png", out, true));
    EXPECT_TRUE(pack.available);

    // A file on disk comes first.
    const std::string disk = dir_.file("readme.txt");
    write_file(disk, "from disk");
    ASSERT_TRUE(resolve_resource(&pack, disk.c_str(), out, true));
    EXPECT_EQ(out, disk);
}

TEST_F(PackFixture, TheRunTimeUnpacksIntoANamedTemporaryFile) {
    const std::string temp = dir_.file("temp");
    ASSERT_TRUE(std::filesystem::create_directory(temp));
    test::ScopedEnv temp_folder(test::k_temp_variable, temp.c_str());
    {
        ResourcePack pack;
        pack.set_pack_name(pack_);
        std::string first, second;
        // Data at 300 with 27 stored bytes: "sbx", 'A' + 300 % 256 % 26,
        // 'A' + 27 % 26, the entry's name.
        ASSERT_TRUE(resolve_resource(&pack, "images/Font.PNG", first, false));
        EXPECT_EQ(first, temp + "/sbxSBfont.png");
        EXPECT_EQ(read_file(first), "packed font image!!");
        ASSERT_TRUE(resolve_resource(&pack, "levels.dat", second, false));
        EXPECT_FALSE(exists(first));
        EXPECT_EQ(read_file(second), levels_text());
        pack.release();
        EXPECT_FALSE(exists(second));
    }
}

TEST_F(PackFixture, LoadersReadThroughTheGeneralPackContext) {
    pack_contexts_create(DynString(pack_.c_str()));
    Bytes bytes;
    EXPECT_TRUE(load_resource("levels.dat", bytes));
    EXPECT_EQ(bytes, levels_text());
    EXPECT_TRUE(load_resource("EMPTY.TXT", bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_FALSE(load_resource("nothing.dat", bytes));
    pack_contexts_release();
}

TEST_F(PackFixture, ListShowsStoredAndDecodedSizesInDirectoryOrder) {
    test::ChildResult r = crvpack({"list", pack_});
    EXPECT_EQ(r.exit_code, 0);
    std::string expected;
    for (const Entry& e : fixture_.entries) {
        char line[400];
        std::snprintf(line, sizeof line, "%10d %10zu  %s\n", e.stored(), e.content.size(), e.name.c_str());
        expected += line;
    }
    EXPECT_EQ(r.output, expected);

    // A file without a pack, and a missing file.
    write_file(dir_.file("plain"), fixture_.host);
    EXPECT_EQ(crvpack({"list", dir_.file("plain")}).exit_code, 1);
    EXPECT_EQ(crvpack({"list", dir_.file("missing")}).exit_code, 1);
}

TEST_F(PackFixture, ExtractWritesOneEntryAsItWasPacked) {
    for (const Entry& e : fixture_.entries) {
        const std::string out = dir_.file("out-" + e.name);
        EXPECT_EQ(crvpack({"extract", pack_, e.name, out}).exit_code, 0) << e.name;
        EXPECT_TRUE(exists(out)) << e.name;
        EXPECT_EQ(read_file(out), e.content) << e.name;
    }
    // Without an output name the entry's own name, in the current folder.
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    test::ChildResult r = test::run_child({CRVPACK, "extract", "game", "font.png"}, {}, false);
    std::filesystem::current_path(here);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(read_file(dir_.file("font.png")), "packed font image!!");

    EXPECT_EQ(crvpack({"extract", pack_, "missing.png", dir_.file("missing.png")}).exit_code, 1);
    EXPECT_FALSE(exists(dir_.file("missing.png")));
}

TEST_F(PackFixture, DamagedEntriesAreReportedNotWritten) {
    // Two bytes of levels.dat's compressed stream changed: it no longer
    // decodes to its declared length.
    Bytes damaged = fixture_.file;
    const Entry& levels = fixture_.entries[2];
    damaged[static_cast<std::size_t>(levels.offset) + 4 + levels.stream.size() / 2] ^= 0x40;
    damaged[static_cast<std::size_t>(levels.offset) + 5] = '\x7f';
    write_file(pack_, damaged);
    test::ChildResult r = crvpack({"list", pack_});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.output.find("damaged  levels.dat\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("27         19  font.png\n"), std::string::npos) << r.output;
    EXPECT_EQ(crvpack({"extract", pack_, "levels.dat", dir_.file("levels.dat")}).exit_code, 1);
    EXPECT_FALSE(exists(dir_.file("levels.dat")));
    EXPECT_EQ(crvpack({"extract", pack_, "font.png", dir_.file("font.png")}).exit_code, 0);

    ResourcePack pack;
    pack.set_pack_name(pack_);
    std::string out;
    EXPECT_FALSE(resolve_resource(&pack, "levels.dat", out, true));
    EXPECT_TRUE(resolve_resource(&pack, "font.png", out, true));
}

TEST_F(PackFixture, StripLeavesTheHostFile) {
    // The directory lies before the data here: the pack starts where the
    // lowest of its offsets points.
    EXPECT_EQ(crvpack({"strip", pack_}).exit_code, 0);
    EXPECT_EQ(read_file(pack_), fixture_.host);
    // Nothing more to strip: the file stays as it is.
    EXPECT_EQ(crvpack({"strip", pack_}).exit_code, 0);
    EXPECT_EQ(read_file(pack_), fixture_.host);
    EXPECT_NE(crvpack({"strip", dir_.file("missing")}).exit_code, 0);
    EXPECT_FALSE(exists(dir_.file("missing")));

    // What append adds, strip takes away.
    const std::string file = dir_.file("notes.txt");
    write_file(file, "notes");
    EXPECT_EQ(crvpack({"append", pack_, file}).exit_code, 0);
    EXPECT_EQ(read_pack(read_file(pack_)), (std::vector<std::pair<std::string, Bytes>>{{"notes.txt", "notes"}}));
    EXPECT_EQ(read_file(pack_).substr(0, fixture_.host.size()), fixture_.host);
    EXPECT_EQ(crvpack({"strip", pack_}).exit_code, 0);
    EXPECT_EQ(read_file(pack_), fixture_.host);
}

TEST_F(PackFixture, CreateWritesAPackThatFollowsTheLayout) {
    std::vector<std::string> args{"create", dir_.file("new.pack")};
    ASSERT_EQ(std::system(("mkdir " + dir_.file("media")).c_str()), 0);
    for (const Entry& e : fixture_.entries) {
        write_file(dir_.file("media/" + e.name), e.content);
        args.push_back(dir_.file("media/" + e.name));
    }
    EXPECT_EQ(crvpack(args).exit_code, 0);
    const Bytes made = read_file(dir_.file("new.pack"));
    const auto entries = read_pack(made);
    ASSERT_EQ(entries.size(), fixture_.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].first, fixture_.entries[i].name);  // base names
        EXPECT_EQ(entries[i].second, fixture_.entries[i].content);
    }
    // Compressed, not stored.
    EXPECT_LT(made.size(), readme_text().size() + levels_text().size() / 2);

    // Creating anew replaces the file; the run-time reads the result.
    EXPECT_EQ(crvpack({"create", dir_.file("new.pack"), dir_.file("media/levels.dat")}).exit_code, 0);
    ASSERT_EQ(read_pack(read_file(dir_.file("new.pack"))).size(), 1u);
    ResourcePack pack;
    pack.set_pack_name(dir_.file("new.pack"));
    std::string out;
    ASSERT_TRUE(resolve_resource(&pack, "LEVELS.DAT", out, true));
    ResourceStream s;
    ASSERT_TRUE(s.open_read(out.c_str()));
    EXPECT_EQ(s.size(), static_cast<std::int32_t>(levels_text().size()));
}

TEST(Crvpack, RefusesWhatItCannotDo) {
    test::TempDir dir;
    write_file(dir.file("a.txt"), "a");
    write_file(dir.file("A.TXT"), "A");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
    };
    const Case cases[] = {
        {{}, 2},
        {{"create"}, 2},
        {{"unknown", dir.file("x")}, 2},
        {{"list", dir.file("x"), "more"}, 2},
        {{"extract", dir.file("x")}, 2},
        {{"strip", dir.file("x"), "more"}, 2},
        {{"create", dir.file("p"), dir.file("missing.txt")}, 1},
        {{"create", dir.file("p"), dir.file("a.txt"), dir.file("A.TXT")}, 1},  // one name ignoring case
        {{"append", dir.file("no such target"), dir.file("a.txt")}, 1},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += " " + a;
        EXPECT_EQ(crvpack(c.args).exit_code, c.exit_code) << shown;
    }
    EXPECT_FALSE(exists(dir.file("p")));
    EXPECT_FALSE(exists(dir.file("no such target")));
}

}  // namespace
}  // namespace crv
