#include "sys/media_pack.hpp"
#include "sys/resource.hpp"
#include "tests/sys/sys_test_util.hpp"

#include <cstring>
#include <random>

namespace crv {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

TEST(MemoryName, FormatsAndParsesCountThenAddress) {
    const char bytes[10] = {};
    std::string name = memory_name(bytes, 10);
    EXPECT_EQ(name.substr(0, 15), "mem://       a.");
    const std::uint8_t* address = nullptr;
    std::int32_t count = 0;
    ASSERT_TRUE(parse_memory_name(name.c_str(), address, count));
    EXPECT_EQ(address, reinterpret_cast<const std::uint8_t*>(bytes));
    EXPECT_EQ(count, 10);

    struct Case {
        const char* name;
        bool valid;
        std::int32_t count;
    };
    const Case cases[] = {
        {"mem://      a0.12345678", true, 160},
        {"mem://       0.       0", true, 0},
        {"mem://       5.       0", false, 0},   // bytes without an address
        {"mem://ffffffff.12345678", false, 0},   // beyond the 32-bit count
        {"mem://       a,12345678", false, 0},
        {"mem://       a.", false, 0},
        {"mem://       a.1234zz", false, 0},
        {"mem://", false, 0},
        {"MEM://       a.12345678", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_memory_name(c.name, address, count), c.valid) << c.name;
        if (c.valid) {
            EXPECT_EQ(count, c.count) << c.name;
        }
    }
}

TEST(ResourceStream, MemoryStreamsShrinkReadsAndNeverTouchTheDisk) {
    const char bytes[] = "0123456789";
    std::string name = memory_name(bytes, 10);
    ResourceStream s;
    ASSERT_TRUE(s.open_read(name.c_str()));
    EXPECT_TRUE(s.is_memory());
    EXPECT_EQ(s.stream_size(), 10);
    char out[8];
    std::int32_t got = -1;
    for (int expected : {4, 4, 2, 0}) {
        EXPECT_TRUE(s.read(out, 4, &got));
        EXPECT_EQ(got, expected);
    }
    EXPECT_TRUE(s.seek(-3, true));
    EXPECT_EQ(s.position(), 7);
    EXPECT_FALSE(s.seek(-11, true));  // before the start: refused, nothing moves
    EXPECT_EQ(s.position(), 7);
    EXPECT_TRUE(s.seek(12, false));
    EXPECT_FALSE(s.read(out, 1, &got));  // beyond the end
    EXPECT_FALSE(s.write(out, 1));

    ResourceStream w;
    EXPECT_FALSE(w.open_write(name.c_str()));
    EXPECT_FALSE(w.open_read("mem://garbage"));
}

TEST(ResourceStream, DiskStreamsReadWriteSeekAndGrow) {
    TempDir tmp;
    std::string path = tmp.file("data.bin");
    ResourceStream s;
    ASSERT_TRUE(s.open_write(path.c_str()));
    ASSERT_TRUE(s.write("abcdefghij", 10));
    EXPECT_EQ(s.stream_size(), 10);
    s.close();
    EXPECT_FALSE(s.is_open());
    ASSERT_TRUE(s.open_read((tmp.path() + "\\DATA.BIN").c_str()));  // backslash and case both accepted
    EXPECT_EQ(s.size(), 10);
    char out[4] = {};
    EXPECT_TRUE(s.seek(-4, true));
    EXPECT_TRUE(s.read(out, 4));
    EXPECT_EQ(std::string(out, 4), "ghij");
    EXPECT_FALSE(s.read(out, 1));  // a disk read needs every byte
    EXPECT_FALSE(s.open_read(tmp.file("missing").c_str()));
    EXPECT_FALSE(s.open_read(tmp.path().c_str()));  // a folder is no file
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        pack_file = tmp.file("game.pak");
        write_file(pack_file, test::pack_text({{"font.png", "packed font"},
                                               {"readme.txt", std::string(5000, 'r')},
                                               {"empty.dat", ""}}));
        pack.set_pack_name(pack_file);
    }

    std::string resolved_bytes(const char* name) {
        std::string out;
        if (!resolve_resource(&pack, name, out, true)) return "<none>";
        ResourceStream s;
        if (!s.open_read(out.c_str())) return "<unopenable>";
        std::string bytes(static_cast<std::size_t>(s.size()), '\0');
        s.read(bytes.data(), s.size());
        return bytes;
    }

    TempDir tmp;
    std::string pack_file;
    ResourcePack pack;
};

TEST_F(PackTest, DiskFirstThenPackByBaseNameIgnoringCase) {
    test::ScopedCurrentDir here(tmp.path());
    EXPECT_EQ(resolved_bytes("data/Images/FONT.PNG"), "packed font");
    EXPECT_EQ(resolved_bytes("readme.txt"), std::string(5000, 'r'));
    EXPECT_EQ(resolved_bytes("EMPTY.DAT"), "");
    EXPECT_EQ(resolved_bytes("nothing.txt"), "<none>");
    EXPECT_EQ(resolved_bytes(""), "<none>");
    write_file(tmp.file("font.png"), "disk font");
    EXPECT_EQ(resolved_bytes("font.png"), "disk font");
    std::string out;
    EXPECT_TRUE(resolve_resource(&pack, "font.png", out, true));
    EXPECT_EQ(out, "font.png");  // the disk name, as given
    EXPECT_TRUE(pack.available);
}

TEST_F(PackTest, TemporaryFilesAreNamedByEntryAndDeletedByTheNextResolution) {
    test::ScopedEnv temp_dir(test::k_temp_variable, tmp.path().c_str());
    ResourceStream stream;
    ASSERT_TRUE(stream.open_read(pack_file.c_str()));
    PackEntry font;
    pack_scan(stream, [&](const PackEntry& e) {
        font = e;
        return e.name == "font.png";
    });
    std::string expected = tmp.path() + "/sbx" + static_cast<char>('A' + (font.data_offset % 256) % 26) +
                           static_cast<char>('A' + (font.stored_size % 256) % 26) + "font.png";
    std::string first;
    ASSERT_TRUE(resolve_resource(&pack, "font.png", first, false));
    EXPECT_EQ(first, expected);
    EXPECT_EQ(pack.temp_name, expected);
    EXPECT_EQ(read_file(first), "packed font");
    std::string second;
    ASSERT_TRUE(resolve_resource(&pack, "readme.txt", second, false));
    EXPECT_FALSE(test::exists(first));
    EXPECT_EQ(read_file(second), std::string(5000, 'r'));
    pack.release();
    EXPECT_FALSE(test::exists(second));
}

TEST_F(PackTest, AFileWithoutTrailerMakesTheContextUnavailableUntilRenamed) {
    std::string plain = tmp.file("plain.bin");
    write_file(plain, "just some bytes, no trailer");
    pack.set_pack_name(plain);
    EXPECT_EQ(resolved_bytes("font.png"), "<none>");
    EXPECT_FALSE(pack.available);
    // Even once the file turns into a pack, the context does not look again.
    write_file(plain, read_file(pack_file));
    EXPECT_EQ(resolved_bytes("font.png"), "<none>");
    pack.set_pack_name(plain);
    EXPECT_EQ(resolved_bytes("font.png"), "packed font");

    pack.set_pack_name("");
    EXPECT_EQ(resolved_bytes("font.png"), "<none>");
    EXPECT_FALSE(pack.available);
    std::string out;
    EXPECT_FALSE(resolve_resource(nullptr, "font.png", out, true));
}

// Little-endian int32 into a byte string at an offset.
void put32(std::string& bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
}

TEST_F(PackTest, OffsetsCountFromTheStartOrBackFromTheEnd) {
    // The entry's data from a pack of one file, placed by hand in a pack of
    // 5000 bytes whose directory offset is -100.
    std::string one = test::pack_text({{"a.txt", "hello"}});
    ResourceStream s;
    std::string name = memory_name(one.data(), static_cast<std::int32_t>(one.size()));
    ASSERT_TRUE(s.open_read(name.c_str()));
    PackEntry entry;
    pack_scan(s, [&](const PackEntry& e) { return entry = e, true; });
    std::string data = one.substr(static_cast<std::size_t>(entry.data_offset), static_cast<std::size_t>(entry.stored_size));

    std::string made(5000, '\0');
    made.replace(100, data.size(), data);
    std::string directory = std::string(1, '\5') + "a.txt" + std::string(8, '\0') + std::string(1, '\0');
    put32(directory, 6, 100);
    put32(directory, 10, static_cast<std::int32_t>(data.size()));
    made.replace(4900, directory.size(), directory);
    made.replace(4993, 3, "sbX");
    put32(made, 4996, -100);
    write_file(pack_file, made);
    pack.set_pack_name(pack_file);
    EXPECT_EQ(resolved_bytes("a.txt"), "hello");
}

TEST_F(PackTest, DamagedPacksAreRefusedWithoutReadingOutsideOrOverAllocating) {
    const std::string good = test::pack_text({{"a.txt", std::string(300, 'x') + "tail"}});
    ResourceStream s;
    std::string name = memory_name(good.data(), static_cast<std::int32_t>(good.size()));
    ASSERT_TRUE(s.open_read(name.c_str()));
    PackEntry entry;
    pack_scan(s, [&](const PackEntry& e) { return entry = e, true; });
    const std::size_t size = good.size();
    const std::size_t directory = size - 7 - 1 - (1 + 5 + 8);
    const std::size_t data = static_cast<std::size_t>(entry.data_offset);

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const Case cases[] = {
        {"directory beyond the end", [&](std::string& p) { put32(p, size - 4, 1 << 30); }},
        {"directory inside the trailer", [&](std::string& p) { put32(p, size - 4, -7); }},
        {"directory before the start", [&](std::string& p) { put32(p, size - 4, -(1 << 30)); }},
        {"name longer than the directory", [&](std::string& p) { p[directory] = static_cast<char>(250); }},
        {"data beyond the end", [&](std::string& p) { put32(p, directory + 6, 1 << 30); }},
        {"data in the trailer", [&](std::string& p) { put32(p, directory + 6, -5); }},
        {"stored size past the end", [&](std::string& p) { put32(p, directory + 10, 0x7fffffff); }},
        {"stored size negative", [&](std::string& p) { put32(p, directory + 10, -20); }},
        {"stored size below the length field", [&](std::string& p) { put32(p, directory + 10, 3); }},
        {"declared length huge", [&](std::string& p) { put32(p, data, 0x7fffffff); }},
        {"declared length beyond what the data can give", [&](std::string& p) { put32(p, data, 200000); }},
        {"declared length one more", [&](std::string& p) { put32(p, data, 305); }},
        {"declared length one less", [&](std::string& p) { put32(p, data, 303); }},
        {"compressed bytes garbage", [&](std::string& p) { std::memset(&p[data + 4], 0xff, 8); }},
        {"truncated to the trailer", [&](std::string& p) { p = p.substr(size - 7); }},
        {"shorter than a trailer", [&](std::string& p) { p = "sbX"; }},
    };
    EXPECT_EQ(resolved_bytes("a.txt"), "<none>");  // the fixture's pack has no a.txt
    for (const Case& c : cases) {
        std::string damaged = good;
        c.damage(damaged);
        write_file(pack_file, damaged);
        pack.set_pack_name(pack_file);
        EXPECT_EQ(resolved_bytes("a.txt"), "<none>") << c.what;
    }
    write_file(pack_file, good);
    pack.set_pack_name(pack_file);
    EXPECT_EQ(resolved_bytes("a.txt"), std::string(300, 'x') + "tail");
}

TEST_F(PackTest, RandomlyDamagedPacksNeverCrash) {
    const std::string good = test::pack_text({{"a.txt", "some text that compresses some text that compresses"},
                                              {"b.bin", std::string(2000, '\x07')}});
    std::mt19937 random(12345);
    for (int round = 0; round < 1000; ++round) {
        std::string damaged = good;
        for (int flips = 1 + round % 3; flips > 0; --flips)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        // A pack context may name bytes in memory as its pack.
        pack.set_pack_name(memory_name(damaged.data(), static_cast<std::int32_t>(damaged.size())));
        resolved_bytes("a.txt");
        resolved_bytes("b.bin");
    }
}

TEST(PackBuild, RefusesNamesThePackCannotHold) {
    std::vector<std::uint8_t> out;
    std::string error;
    const std::vector<std::vector<PackSource>> refused = {
        {{"", {}}},
        {{std::string(256, 'n'), {}}},
        {{"dir/a.txt", {}}},
        {{"dir\\a.txt", {}}},
        {{"a.txt", {}}, {"A.TXT", {}}},
    };
    for (const auto& sources : refused) {
        EXPECT_FALSE(pack_build(sources, out, error)) << sources[0].name;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(pack_build({{std::string(255, 'n'), {1, 2, 3}}}, out, error));
}

}  // namespace
}  // namespace crv
