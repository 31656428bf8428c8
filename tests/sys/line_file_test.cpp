#include <corvane/sys.hpp>
#include "tests/sys/sys_test_util.hpp"


namespace crv {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

class LineFileTest : public ::testing::Test {
protected:
    // Selecting a name nobody uses saves and lets go of the held file.
    ~LineFileTest() override {
        DynString unused;
        line_read_text(tmp.file("none").c_str(), 0, unused);
    }
    DynString path(const char* name) { return DynString(tmp.file(name).c_str()); }
    TempDir tmp;
};

TEST_F(LineFileTest, ReadsLinesByIndex) {
    write_file(tmp.file("abc.txt"), "a\r\nb\nc\n   \nend\t\r\n\n\x01\x02\n");
    struct Case {
        double index;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "a"},  {1, 0, "b"},         {2, 0, "c"},         {2.9, 0, "c"},  {3, 0, "   "},
        {4, 0, "end"}, {5, 0, "NO_DATA"},  {6, 0, "NO_DATA"},  {7, 0, "NO_DATA"}, {255, 0, "NO_DATA"},
        {256, 7, "NO_DATA"}, {-1, 7, "NO_DATA"},
    };
    for (const Case& c : cases) {
        DynString target("old");
        set_error(0);
        EXPECT_EQ(line_read_text(path("abc.txt"), c.index, target), c.result) << c.index;
        EXPECT_EQ(target, c.text) << c.index;
        EXPECT_EQ(last_error_code(), c.result) << c.index;
    }
    write_file(tmp.file("numbers.txt"), "12.5\n-7\nx\n");
    EXPECT_EQ(line_read_double(path("numbers.txt"), 0), 12.5);
    EXPECT_EQ(line_read_int(path("numbers.txt"), 1), -7);
    EXPECT_EQ(line_read_int(path("numbers.txt"), 2), 0);
}

TEST_F(LineFileTest, AMissingFileAnswersNoFileOnceThenNoData) {
    DynString target;
    set_error(0);
    EXPECT_EQ(line_read_text(path("missing.txt"), 0, target), 3);
    EXPECT_EQ(target, "NO_FILE");
    EXPECT_EQ(last_error_code(), 3);
    EXPECT_EQ(line_read_text(path("missing.txt"), 0, target), 0);
    EXPECT_EQ(target, "NO_DATA");
    EXPECT_EQ(line_read_double(path("missing2.txt"), 0), 0);
}

TEST_F(LineFileTest, WritingThenSwitchingSavesTheLines) {
    EXPECT_EQ(line_write_text(path("new.txt"), 5, "sixth"), 0);
    EXPECT_EQ(line_write_double(path("new.txt"), 2, 0.5), 0);
    EXPECT_EQ(line_write_text(path("new.txt"), 256, "x"), 7);
    EXPECT_EQ(line_write_text(path("new.txt"), -1, "x"), 7);
    EXPECT_FALSE(test::exists(tmp.file("new.txt")));
    DynString target;
    line_read_text(path("other.txt"), 0, target);  // the switch saves
    EXPECT_EQ(read_file(tmp.file("new.txt")), "\r\n\r\n0.5\r\n\r\n\r\nsixth\r\n");

    // Alternating names reloads each time and saves a changed file first.
    write_file(tmp.file("one.txt"), "1\n");
    write_file(tmp.file("two.txt"), "2\n");
    line_write_text(path("one.txt"), 1, "one more");
    EXPECT_EQ(line_read_text(path("two.txt"), 0, target), 0);
    EXPECT_EQ(target, "2");
    EXPECT_EQ(read_file(tmp.file("one.txt")), "1\r\none more\r\n");
    write_file(tmp.file("one.txt"), "changed on disk\n");
    EXPECT_EQ(line_read_text(path("one.txt"), 0, target), 0);
    EXPECT_EQ(target, "changed on disk");
    EXPECT_EQ(read_file(tmp.file("two.txt")), "2\n");  // unchanged: not rewritten
}

TEST_F(LineFileTest, LongLinesAndLongFilesStayInTheirSlots) {
    std::string content = std::string(1500, 'x') + "\nsecond\n";
    for (int i = 2; i < 300; ++i) content += "line" + std::to_string(i) + "\n";
    write_file(tmp.file("long.txt"), content);
    DynString target;
    EXPECT_EQ(line_read_text(path("long.txt"), 0, target), 0);
    EXPECT_EQ(std::string(target.text()), std::string(1023, 'x'));
    EXPECT_EQ(line_read_text(path("long.txt"), 1, target), 0);
    EXPECT_EQ(target, "second");
    EXPECT_EQ(line_read_text(path("long.txt"), 255, target), 0);
    EXPECT_EQ(target, "line255");

    EXPECT_EQ(line_write_text(path("w.txt"), 0, DynString(std::string(5000, 'y').c_str())), 0);
    EXPECT_EQ(line_write_text(path("w.txt"), 1, "next"), 0);
    EXPECT_EQ(line_read_text(path("w.txt"), 1, target), 0);
    EXPECT_EQ(target, "next");
    line_read_text(path("other.txt"), 0, target);
    EXPECT_EQ(read_file(tmp.file("w.txt")), std::string(1023, 'y') + "\r\nnext\r\n");
}

TEST_F(LineFileTest, PackedFilesAreReadFromThePack) {
    std::string pack = tmp.file("game.pak");
    write_file(pack, test::pack_text({{"scores.txt", "100\n200\n"}}));
    test::ScopedPacks packs(pack);
    test::ScopedCurrentDir here(tmp.path());
    EXPECT_EQ(line_read_int("data/scores.txt", 1), 200);
    line_write_text("data/scores.txt", 2, "300");
    test::make_folder(tmp.file("data"));
    line_file_save();
    EXPECT_EQ(read_file(tmp.file("data/scores.txt")), "100\r\n200\r\n300\r\n");
}

}  // namespace
}  // namespace crv
