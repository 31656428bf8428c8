#include "sys/channels.hpp"
#include "tests/sys/sys_test_util.hpp"

#include <cmath>
#include <cstring>

namespace crv {
namespace {

using test::TempDir;
using test::write_file;

class ChannelTest : public ::testing::Test {
protected:
    ~ChannelTest() override { channels_close_all(); }
    std::string file(const char* name) { return tmp.file(name); }
    TempDir tmp;
};

TEST_F(ChannelTest, TypedValuesRoundTripWithTheirWidths) {
    struct Case {
        const char* what;
        void (*write)(double, double);
        double value;
        double (*read)();
        double expected;
        int bytes;
    };
    const Case cases[] = {
        {"byte -2 as signed", channel_write_byte, -2, [] { return double(channel_read_byte(0)); }, -2, 1},
        {"byte -2 as unsigned", channel_write_byte, -2, [] { return double(channel_read_ubyte(0)); }, 254, 1},
        {"short 65537 keeps its low bits", channel_write_short, 65537, [] { return double(channel_read_ushort(0)); }, 1, 2},
        {"short 65535 as signed", channel_write_short, 65535, [] { return double(channel_read_short(0)); }, -1, 2},
        {"short 65535 as unsigned", channel_write_short, 65535, [] { return double(channel_read_ushort(0)); }, 65535, 2},
        {"int -123456", channel_write_int, -123456, [] { return double(channel_read_int(0)); }, -123456, 4},
        {"int 4294967295 is the bits of -1", channel_write_int, 4294967295.0, [] { return double(channel_read_int(0)); }, -1, 4},
        {"int truncates toward zero", channel_write_int, -7.9, [] { return double(channel_read_int(0)); }, -7, 4},
        {"float narrows", channel_write_float, 0.1, [] { return channel_read_float(0); }, double(0.1f), 4},
        {"float overflow is infinite", channel_write_float, 1e300, [] { return channel_read_float(0); }, INFINITY, 4},
        {"double", channel_write_double, -1234.5678e-9, [] { return channel_read_double(0); }, -1234.5678e-9, 8},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(channel_open(0, file("values.bin").c_str(), 0)) << c.what;
        c.write(0, c.value);
        channel_close(0);
        EXPECT_EQ(test::read_file(file("values.bin")).size(), static_cast<std::size_t>(c.bytes)) << c.what;
        ASSERT_TRUE(channel_open(0, file("values.bin").c_str(), 1)) << c.what;
        EXPECT_EQ(c.read(), c.expected) << c.what;
        EXPECT_TRUE(channel_eof(0)) << c.what;
    }
}

TEST_F(ChannelTest, TextsAndLines) {
    ASSERT_TRUE(channel_open(1, file("t.txt").c_str(), 0));
    channel_write_text(1, "abc");
    channel_write_line(1, "");
    channel_write_text(1, "");
    channel_write_line(1, "def");
    channel_close(1);
    EXPECT_EQ(test::read_file(file("t.txt")), "abc\r\ndef\r\n");
    ASSERT_TRUE(channel_open(1, file("t.txt").c_str(), -1));  // append
    channel_write_line(1, "12.5");
    channel_write_line(1, "  -42xyz");
    channel_close(1);

    ASSERT_TRUE(channel_open(1, file("t.txt").c_str(), 1));
    DynString line;
    channel_read_line(1, line);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(line.length(), 3u);
    channel_read_line(1, line);
    EXPECT_EQ(line, "def");
    EXPECT_EQ(channel_read_line_double(1), 12.5);
    EXPECT_EQ(channel_read_line_int(1), -42);
    EXPECT_TRUE(channel_eof(1));

    write_file(file("raw.bin"), std::string("A\0B\0C", 5) + "\n\n");
    ASSERT_TRUE(channel_open(1, file("raw.bin").c_str(), 1));
    DynString raw;
    channel_read_bytes(1, raw, 5);
    EXPECT_EQ(raw.length(), 5u);
    EXPECT_EQ(std::memcmp(raw.text(), "A\0B\0C", 5), 0);
    channel_read_bytes(1, raw, 0);
    EXPECT_EQ(raw.length(), 0u);
    channel_read_line(1, line);
    EXPECT_EQ(line, "");  // a line feed alone
    EXPECT_EQ(channel_tell(1), 6);
}

TEST_F(ChannelTest, LongLinesComeInPiecesOf1024) {
    write_file(file("long.txt"), std::string(1030, 'a') + "\r\n" + std::string(1024, 'b') + "\n" + "end");
    for (const char* name : {"long.txt", "mem"}) {
        std::string content = test::read_file(file("long.txt"));
        std::string opened = std::strcmp(name, "mem") == 0
                                 ? memory_name(content.data(), static_cast<std::int32_t>(content.size()))
                                 : file(name);
        ASSERT_TRUE(channel_open(2, opened.c_str(), 1));
        DynString line;
        channel_read_line(2, line);
        EXPECT_EQ(std::string(line.text()), std::string(1024, 'a')) << name;
        channel_read_line(2, line);
        EXPECT_EQ(line, "aaaaaa") << name;
        channel_read_line(2, line);
        EXPECT_EQ(std::string(line.text()), std::string(1024, 'b')) << name;  // exactly 1024: one piece
        channel_read_line(2, line);
        EXPECT_EQ(line, "end") << name;
        EXPECT_TRUE(channel_eof(2)) << name;
    }
}

TEST_F(ChannelTest, SeekTellEofAndFreeSlots) {
    write_file(file("ten.bin"), "0123456789");
    write_file(file("empty.bin"), "");
    ASSERT_TRUE(channel_open(3, file("empty.bin").c_str(), 1));
    EXPECT_TRUE(channel_eof(3));
    ASSERT_TRUE(channel_open(3, file("ten.bin").c_str(), 1));
    EXPECT_FALSE(channel_eof(3));
    channel_seek(3, -4, -1);
    EXPECT_EQ(channel_tell(3), 6);
    EXPECT_EQ(channel_read_ubyte(3), '6');
    channel_seek(3, -3, 1);
    EXPECT_EQ(channel_tell(3), 4);
    EXPECT_EQ(channel_read_ubyte(3), '4');
    channel_seek(3, -100, 0);  // before the start: nothing moves
    EXPECT_EQ(channel_tell(3), 5);
    channel_seek(3, 2, 0);
    EXPECT_EQ(channel_read_ubyte(3), '2');

    EXPECT_EQ(channel_free_slot(), 0);
    std::string content = "memory";
    std::string mem = memory_name(content.data(), 6);
    ASSERT_TRUE(channel_open(0, mem.c_str(), 1));
    EXPECT_EQ(channel_free_slot(), 0);  // a memory channel holds no disk file
    for (int c = 0; c < k_channel_count; ++c) ASSERT_TRUE(channel_open(c, file("ten.bin").c_str(), 1));
    EXPECT_EQ(channel_free_slot(), -1);
    channel_close(5);
    channel_close(5);
    EXPECT_EQ(channel_free_slot(), 5);
}

TEST_F(ChannelTest, OpeningFailuresAreReportedNotFatal) {
    set_error(99);
    EXPECT_FALSE(channel_open(8, file("x").c_str(), 0));
    EXPECT_EQ(last_error_code(), 7);
    EXPECT_FALSE(channel_open(-1, file("x").c_str(), 0));
    EXPECT_EQ(last_error_code(), 7);
    EXPECT_FALSE(channel_open(0, file("missing.txt").c_str(), 1));
    EXPECT_EQ(last_error_code(), 3);
    std::string content = "abc";
    std::string mem = memory_name(content.data(), 3);
    EXPECT_FALSE(channel_open(0, mem.c_str(), 0));
    EXPECT_EQ(last_error_code(), 3);
    EXPECT_FALSE(channel_open(0, mem.c_str(), -1));
    EXPECT_FALSE(channel_open(0, tmp.file("no/such/folder/x").c_str(), 0));
    EXPECT_TRUE(channel_open(0, file("made.txt").c_str(), 0));
    EXPECT_EQ(last_error_code(), 0);
}

TEST_F(ChannelTest, MemoryChannelsReadZerosPastTheirEnd) {
    const unsigned char bytes[] = {1, 2, 3, 4, 5, 6};
    std::string mem = memory_name(bytes, 6);
    ASSERT_TRUE(channel_open(4, mem.c_str(), 1));
    EXPECT_EQ(channel_read_int(4), 0x04030201);
    EXPECT_EQ(channel_read_int(4), 0x0605);  // two bytes left: the low bytes, zeros above
    EXPECT_EQ(channel_read_int(4), 0);
    EXPECT_EQ(channel_read_double(4), 0.0);
    channel_seek(4, 4, 0);
    DynString text;
    channel_read_bytes(4, text, 5);
    EXPECT_EQ(text.length(), 5u);
    EXPECT_EQ(std::memcmp(text.text(), "\5\6\0\0\0", 5), 0);
}

TEST_F(ChannelTest, FilesOnlyInThePackOutliveLaterResolutions) {
    std::string pack = file("game.pak");
    write_file(pack, test::pack_text({{"first.txt", "first line\nsecond line\n"}, {"other.txt", "other"}}));
    test::ScopedPacks packs(pack);
    test::ScopedCurrentDir here(tmp.path());
    ASSERT_TRUE(channel_open(0, "data/first.txt", 1));
    DynString line;
    channel_read_line(0, line);
    EXPECT_EQ(line, "first line");
    // Another resolution on the same pack context releases its buffer; the
    // open channel still owns the bytes it reads.
    ASSERT_TRUE(channel_open(1, "other.txt", 1));
    std::string out;
    resolve_resource(general_pack(), "other.txt", out, true);
    channel_read_line(0, line);
    EXPECT_EQ(line, "second line");
    write_file(file("first.txt"), "from disk\n");
    ASSERT_TRUE(channel_open(0, "first.txt", 1));
    channel_read_line(0, line);
    EXPECT_EQ(line, "from disk");
}

TEST_F(ChannelTest, FailuresOnOpenChannelsEndTheProgram) {
    write_file(file("lines.txt"), "abc\r\ndef");
    write_file(file("ten.bin"), "0123456789");
    std::string lines = file("lines.txt"), ten = file("ten.bin");
    EXPECT_FATAL(channel_read_int(8), 7);
    EXPECT_FATAL(channel_close(-1), 7);
    EXPECT_FATAL(channel_read_byte(0), 3);  // nothing open
    EXPECT_FATAL(channel_write_byte(0, 1), 3);
    EXPECT_FATAL(
        {
            DynString line;
            channel_open(0, lines.c_str(), 1);
            channel_read_line(0, line);
            channel_read_line(0, line);
            if (line == "def") channel_read_line(0, line);
        },
        3);
    EXPECT_FATAL(
        {
            channel_open(0, ten.c_str(), 1);
            channel_seek(0, 8, 0);
            channel_read_int(0);
        },
        3);
    // A count far beyond the file fails before anything is allocated for it.
    EXPECT_FATAL(
        {
            DynString text;
            channel_open(0, ten.c_str(), 1);
            channel_read_bytes(0, text, 2147483647.0);
        },
        3);
    EXPECT_FATAL(
        {
            std::string content = "mem";
            channel_open(0, memory_name(content.data(), 3).c_str(), 1);
            channel_write_int(0, 1);
        },
        3);
    EXPECT_FATAL(
        {
            std::string content = "a\n";
            DynString line;
            channel_open(0, memory_name(content.data(), 2).c_str(), 1);
            channel_read_line(0, line);
            channel_read_line(0, line);
        },
        3);
}

}  // namespace
}  // namespace crv
