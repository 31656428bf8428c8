#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/paths.hpp"
#include "tests/platform/platform_test_util.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace crv {
namespace {

using test::PlatformTempDir;
using test::read_all;

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<plat::DirEntry> entries;
    EXPECT_TRUE(plat::list_dir(folder.c_str(), entries));
    std::vector<std::string> names;
    for (const plat::DirEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

void write_file(const std::string& name, const std::string& text) {
    plat::File* f = plat::file_create(name.c_str());
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(plat::file_write(f, text.data(), static_cast<std::int64_t>(text.size())),
              static_cast<std::int64_t>(text.size()));
    plat::file_close(f);
}

TEST(PlatformFiles, ReadWriteSeekAndAppendThroughEitherSeparator) {
    PlatformTempDir dir;
    std::string name = dir.path() + "\\data.bin";
    write_file(name, "an old and longer text");
    write_file(name, "hello world");  // creating again starts empty

    plat::File* f = plat::file_open_read((dir.path() + "/data.bin").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat::file_size(f), 11);
    EXPECT_EQ(plat::file_seek(f, -5, plat::SeekFrom::end), 6);
    EXPECT_EQ(plat::file_seek(f, -7, plat::SeekFrom::current), -1);  // before the start: refused, pointer kept
    char buffer[16] = {};
    EXPECT_EQ(plat::file_read(f, buffer, 16), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(plat::file_read(f, buffer, 16), 0);
    plat::file_close(f);

    plat::File* a = plat::file_open_append(name.c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(plat::file_write(a, "!", 1), 1);
    plat::file_close(a);
    EXPECT_EQ(read_all(name), "hello world!");
    EXPECT_EQ(plat::file_open_read(dir.path().c_str()), nullptr);  // a folder is no file

    // Creating replaces a read-only file like any other.
    std::filesystem::permissions(PlatformTempDir::to_fs(dir.file("data.bin")), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    write_file(name, "new");
    EXPECT_EQ(read_all(name), "new");
}

TEST(PlatformFiles, FoldersListAndUtf8NamesRoundTrip) {
    PlatformTempDir dir;
    const std::string leaf = "caf\xc3\xa9 \xe2\x98\x83.txt";
    write_file(dir.file(leaf), "x");
    ASSERT_TRUE(plat::dir_make_all((dir.path() + "/sub\\deeper/deepest").c_str()));
    EXPECT_FALSE(plat::dir_make(dir.file("sub").c_str()));
    EXPECT_EQ(plat::path_kind(dir.file(leaf).c_str()), plat::PathKind::file);
    EXPECT_EQ(plat::path_kind(dir.file("sub/deeper/deepest").c_str()), plat::PathKind::directory);

    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{".", "..", leaf, "sub"}));
    std::vector<plat::DirEntry> entries;
    ASSERT_TRUE(plat::list_dir(dir.path().c_str(), entries));
    for (const plat::DirEntry& e : entries) EXPECT_EQ(e.is_directory, e.name != leaf) << e.name;
    EXPECT_FALSE(plat::list_dir(dir.file("missing").c_str(), entries));

    EXPECT_TRUE(plat::file_remove(dir.file(leaf).c_str()));
    EXPECT_EQ(plat::path_kind(dir.file(leaf).c_str()), plat::PathKind::missing);
    EXPECT_FALSE(plat::file_remove(dir.file(leaf).c_str()));
}

TEST(PlatformFiles, CurrentFolderHasNoFinalSeparator) {
    PlatformTempDir dir;
    write_file(dir.file("marker"), "m");
    const std::string before = plat::current_dir();
    ASSERT_TRUE(plat::change_dir(dir.path().c_str()));
    const std::string here = plat::current_dir();
    // A save named without a folder goes through the current one.
    const bool saved = plat::file_replace_contents("relative.dat", "r", 1);
    EXPECT_TRUE(plat::change_dir(before.c_str()));
    EXPECT_TRUE(saved);
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{".", "..", "marker", "relative.dat"}));
    ASSERT_FALSE(here.empty());
    EXPECT_NE(here.back(), '/');
    EXPECT_EQ(here.find('\\'), std::string::npos);
    EXPECT_EQ(plat::path_kind((here + "/marker").c_str()), plat::PathKind::file);
}

TEST(PlatformFiles, ReplaceContentsSwapsWholeFilesAndClearsStaleSaves) {
    PlatformTempDir dir;
    const std::string name = dir.file("save.dat");
    write_file(name, "old bytes");
    // Left by a save that was killed; that process is gone.
    write_file(dir.file(".save.dat.4294967.crvsave"), "half");
    // Another file's leftovers are not this save's business.
    write_file(dir.file(".other.dat.4294967.crvsave"), "keep");

    ASSERT_TRUE(plat::file_replace_contents(name.c_str(), "new", 3));
    EXPECT_EQ(read_all(name), "new");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{".", "..", ".other.dat.4294967.crvsave", "save.dat"}));

    ASSERT_TRUE(plat::file_replace_contents(dir.file("fresh.dat").c_str(), "", 0));
    EXPECT_EQ(plat::path_kind(dir.file("fresh.dat").c_str()), plat::PathKind::file);

    ASSERT_TRUE(plat::dir_make(dir.file("folder").c_str()));
    EXPECT_FALSE(plat::file_replace_contents(dir.file("folder").c_str(), "x", 1));
    EXPECT_EQ(plat::path_kind(dir.file("folder").c_str()), plat::PathKind::directory);
    EXPECT_FALSE(plat::file_replace_contents(dir.file("missing/x.dat").c_str(), "x", 1));
}

TEST(PlatformPaths, TempFolderAndOwnProgram) {
    const std::string temp = plat::temp_folder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_EQ(plat::path_kind(temp.c_str()), plat::PathKind::directory);
    const std::string self = plat::executable_path();
    EXPECT_NE(self.find("platform_tests"), std::string::npos) << self;
    EXPECT_EQ(plat::path_kind(self.c_str()), plat::PathKind::file);
    EXPECT_NE(plat::command_line().find("platform_tests"), std::string::npos);
}

TEST(PlatformClock, CountersAdvanceAcrossASleep) {
    const std::uint64_t frequency = plat::counter_frequency();
    ASSERT_GT(frequency, 0u);
    const std::uint64_t start = plat::counter_ticks();
    const std::uint32_t start_ms = plat::tick_count_ms();
    plat::sleep_ms(40);
    // Lower bounds only: a busy machine may sleep much longer.
    EXPECT_GE((plat::counter_ticks() - start) * 1000 / frequency, 30u);
    // The tick count is a coarse clock: it moves in steps (about 16 ms on
    // Windows; under Wine its server moves it, later still when the machine
    // is busy), so right after the sleep it may lag the counter by a step or
    // more. It must still catch up, within any sane time.
    const std::uint64_t deadline = start + 30 * frequency;
    while (plat::tick_count_ms() - start_ms < 40u && plat::counter_ticks() < deadline) plat::sleep_ms(5);
    EXPECT_GE(plat::tick_count_ms() - start_ms, 40u);
}

}  // namespace
}  // namespace crv
