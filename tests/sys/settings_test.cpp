#include "sys/settings.hpp"
#include "tests/sys/sys_test_util.hpp"

#include <filesystem>

namespace crv {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

class SettingsTest : public ::testing::Test {
protected:
    ~SettingsTest() override { settings_open(""); }
    std::string open(const std::string& name, const std::string& content) {
        std::string path = tmp.file(name);
        write_file(path, content);
        settings_open(path.c_str());
        return path;
    }
    TempDir tmp;
};

TEST_F(SettingsTest, ReadingRules) {
    open("a.ini",
         "  [Video]\r\n"
         "width = 640\r\n"
         "; depth=32\r\n"
         "[Empty]\r\n"
         "[Audio]\n"
         "\tvolume\t=\t 7  \r\n"
         "name=abc  \r\n"
         "no equals here\n"
         "=orphan value\n"
         "url=http://x/?a=b\n"
         "[My Settings]\n"
         "k=v\n"
         "[ Spaced ]\n"
         "s=1\n"
         "[Video]\n"
         "width=800\n"
         "height=480");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"Video", "width", "640"},   {"VIDEO", "WIDTH", "640"},          // the first of two sections
        {"Video", "depth", "<none>"}, {"Audio", "volume", "7  "},         // trailing blanks stay
        {"Audio", "name", "abc  "},   {"Audio", "url", "http://x/?a=b"},
        {"Audio", "no", "<none>"},    {"Audio", "", "<none>"},
        {"My", "k", "v"},             {"My Settings", "k", "<none>"},    // names stop at a blank
        {"Spaced", "s", "1"},         {"Empty", "x", "<none>"},
        {"Video", "height", "<none>"}, {"Missing", "width", "<none>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(settings_get(c.section, c.key, "<none>"), c.value) << c.section << "/" << c.key;
}

TEST_F(SettingsTest, PutsDeletesAndSavesInOrder) {
    std::string path = open("b.ini", "top=level\n[One]\na=1\nb=2\nc=3\n[Two]\nx=1\n[Three]\ny=1\n");
    settings_put("one", "B", "");            // the last pair takes its place
    settings_put("One", "missing", "");      // nothing to delete: no change
    settings_put("ONE", "a", "one");         // stored spelling stays
    settings_put("Four", "z", "");           // no empty section appears
    settings_put("", "", "");                // the unnamed section goes; the last takes its place
    settings_put("Two", "", "ignored");      // an empty key deletes the whole section
    settings_put("New", "k", "v");
    settings_save();
    EXPECT_EQ(read_file(path), "[Three]\r\ny=1\r\n[One]\r\na=one\r\nc=3\r\n[New]\r\nk=v\r\n");

    // Saving again without a change leaves the file alone.
    write_file(path, "changed behind our back");
    settings_save();
    EXPECT_EQ(read_file(path), "changed behind our back");
}

TEST_F(SettingsTest, DeletingTheFirstOfThreeSectionsReordersThem) {
    std::string path = open("c.ini", "[first]\na=1\n[second]\nb=2\n[third]\nc=3\n");
    settings_put("first", "", "");
    settings_save();
    EXPECT_EQ(read_file(path), "[third]\r\nc=3\r\n[second]\r\nb=2\r\n");
}

TEST_F(SettingsTest, OpeningAnotherFileSavesTheChangedOne) {
    std::string first = open("first.ini", "[s]\nk=1\n");
    std::string missing = tmp.file("new.ini");
    settings_put("s", "k", "2");
    settings_open(missing.c_str());  // saves first.ini, starts empty
    EXPECT_EQ(read_file(first), "[s]\r\nk=2\r\n");
    EXPECT_EQ(settings_get("s", "k", "none"), "none");
    EXPECT_FALSE(test::exists(missing));
    settings_put("s", "k", "3");
    settings_open("");
    EXPECT_EQ(read_file(missing), "[s]\r\nk=3\r\n");
    settings_put("s", "k", "4");  // no file held: nothing to save to
    settings_save();
}

TEST_F(SettingsTest, PackedFilesAreReadFromThePackAndSavedToDisk) {
    std::string pack = tmp.file("game.pak");
    write_file(pack, test::pack_text({{"options.ini", "[Video]\nwidth=1024\n"}}));
    test::ScopedPacks packs(pack);
    test::ScopedCurrentDir here(tmp.path());
    settings_open("cfg/options.ini");
    EXPECT_EQ(settings_get("video", "width", "none"), "1024");
    test::make_folder(tmp.file("cfg"));
    settings_put("Video", "height", "768");
    settings_open("");
    EXPECT_EQ(read_file(tmp.file("cfg/options.ini")), "[Video]\r\nwidth=1024\r\nheight=768\r\n");

    std::string mem_content = "[m]\nk=v\n";
    std::string mem = memory_name(mem_content.data(), static_cast<std::int32_t>(mem_content.size()));
    settings_open(mem.c_str());
    EXPECT_EQ(settings_get("m", "k", ""), "v");
    settings_put("m", "k", "w");
    settings_save();  // a memory name is never written
    EXPECT_EQ(mem_content, "[m]\nk=v\n");
}

TEST_F(SettingsTest, SavesReplaceTheFileAndClearStaleTemporaries) {
    std::string path = open("keep.ini", "[s]\nk=1\n");
    const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read;
    std::filesystem::permissions(path, mode);
    // The temporary file of a save whose process died.
    long dead = 0;
    {
        test::ChildProcess child({SYS_CHILD});
        ASSERT_TRUE(child.wait(20000));
        dead = child.id();
    }
    std::string stale = tmp.file(".keep.ini." + std::to_string(dead) + ".crvsave");
    write_file(stale, "half a sa");
    settings_put("s", "k", "2");
    settings_save();
    EXPECT_EQ(read_file(path), "[s]\r\nk=2\r\n");
    EXPECT_EQ(test::folder_names(tmp.path()), std::vector<std::string>{"keep.ini"});
    // The permissions stay (on Windows they are only the read-only flag,
    // which a save refuses to override).
    const auto kept = std::filesystem::status(path).permissions();
#ifdef _WIN32
    EXPECT_NE(kept & std::filesystem::perms::owner_write, std::filesystem::perms::none);
#else
    EXPECT_EQ(kept & std::filesystem::perms::all, mode);
#endif

    // A save that fails keeps the changes for the next attempt.
    std::string later = tmp.file("later/x.ini");
    settings_open(later.c_str());
    settings_put("s", "k", "kept");
    settings_save();
    EXPECT_FALSE(test::exists(later));
    test::make_folder(tmp.file("later"));
    settings_save();
    EXPECT_EQ(read_file(later), "[s]\r\nk=kept\r\n");
}

}  // namespace
}  // namespace crv
