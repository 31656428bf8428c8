// Held files at program end, saves interrupted by a kill or a full disk,
// and a game executable reading from the pack appended to it.
#include "tests/sys/sys_test_util.hpp"

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

namespace crv {
namespace {

using test::read_file;
using test::run_child;
using test::TempDir;
using test::write_file;

TEST(ProgramEnd, HeldFilesAreWrittenOnEveryWayOfEnding) {
    for (const char* how : {"end", "fatal", "callback", "return"}) {
        TempDir tmp;
        test::ChildResult r = run_child({SYS_CHILD, how, tmp.path()}, {{test::k_temp_variable, tmp.path()}}, false);
        EXPECT_EQ(r.exit_code, 0) << how;
        EXPECT_EQ(read_file(tmp.file("s.ini")), "[Game]\r\nscore=42\r\n") << how;
        EXPECT_EQ(read_file(tmp.file("l.txt")), "\r\n\r\nthird\r\n") << how;
    }
}

// The exact file a save of this generation writes (see sys_child).
std::string generation_text(int generation) {
    std::string sections[10];
    std::string value = std::to_string(generation) + std::string(400, 'p');
    for (int i = 0; i < 3000; ++i) sections[i % 10] += "key" + std::to_string(i) + "=" + value + "\r\n";
    std::string text;
    for (int s = 0; s < 10; ++s) text += "[S" + std::to_string(s) + "]\r\n" + sections[s];
    return text + "[end]\r\nok=" + std::to_string(generation) + "\r\n";
}

bool is_whole_generation(const std::string& text) {
    std::size_t at = text.rfind("ok=");
    if (at == std::string::npos) return false;
    return text == generation_text(std::atoi(text.c_str() + at + 3));
}

std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> names = test::folder_names(folder);
    std::erase_if(names, [](const std::string& n) { return n == "save.ini" || n == "ErrorLog.txt"; });
    return names;
}

TEST(ProgramEnd, KillingASaveLeavesTheOldOrTheNewFileWhole) {
    TempDir tmp;
    std::string file = tmp.file("save.ini");
    std::mt19937 random(2024);
    int kills = 0;
    for (int round = 0; round < 12; ++round) {
        test::ChildProcess child({SYS_CHILD, "save-loop", file});
        ASSERT_TRUE(child.started());
        ASSERT_EQ(child.read_output(6).size(), 6u);  // "saved\n": one save done
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
        kills += child.kill();  // SIGKILL, TerminateProcess: no chance to clean up
        std::string text = read_file(file);
        EXPECT_TRUE(is_whole_generation(text)) << "round " << round << ": " << text.size() << " bytes";
    }
    EXPECT_EQ(kills, 12);
    // The next save removes what the killed saves left behind.
    test::ChildResult r = run_child({SYS_CHILD, "end", tmp.path()}, {{test::k_temp_variable, tmp.path()}}, false);
    EXPECT_EQ(r.exit_code, 0);
    std::vector<std::string> rest = leftovers(tmp.path());
    std::erase_if(rest, [](const std::string& n) { return n == "s.ini" || n == "l.txt"; });
    // Stale saves of save.ini go when save.ini is saved next.
    for (const std::string& n : rest) EXPECT_EQ(n.rfind(".save.ini.", 0), 0u) << n;
}

// Windows has no per-process limit on file size, the only way to fill the
// disk under a save without filling a real disk.
#ifndef _WIN32
TEST(ProgramEnd, AFullDiskLeavesTheOldFileAndNoTemporary) {
    TempDir tmp;
    std::string file = tmp.file("save.ini");
    std::string old = "[end]\r\nok=1\r\n";
    write_file(file, old);
    test::ChildResult r = run_child({SYS_CHILD, "full-disk", file}, {{test::k_temp_variable, tmp.path()}}, false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "tried\n");
    EXPECT_EQ(read_file(file), old);
    EXPECT_TRUE(leftovers(tmp.path()).empty());
}
#endif

TEST(ProgramEnd, AGameFindsItsFilesInThePackAppendedToItself) {
    TempDir tmp;
    std::string game = tmp.file("game" + std::filesystem::path(SYS_CHILD).extension().string());
    std::filesystem::copy_file(SYS_CHILD, game);
    TempDir media;
    write_file(media.file("readme.txt"), "packed readme\nsecond\n");
    write_file(media.file("config.ini"), "[Video]\nwidth=640\n");
    write_file(media.file("lines.txt"), "zero\npacked line\n");
    const std::vector<std::string> command = {CRVPACK, "append", game, media.file("readme.txt"),
                                              media.file("config.ini"), media.file("lines.txt")};
    ASSERT_EQ(run_child(command, {}, false).exit_code, 0);
    // Appending again replaces the pack rather than stacking a second one.
    ASSERT_EQ(run_child(command, {}, false).exit_code, 0);

    test::ChildResult r = run_child({game, "pack"}, {{test::k_temp_variable, tmp.path()}}, false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "channel=packed readme\nsetting=640\nline=packed line\nexit\n");
    // The settings file came from the pack and was saved beside the game.
    EXPECT_EQ(read_file(tmp.file("config.ini")), "[Video]\r\nwidth=640\r\nheight=480\r\n");

    std::filesystem::create_directory(tmp.file("data"));
    write_file(tmp.file("data/readme.txt"), "disk readme\n");
    write_file(tmp.file("config.ini"), "[Video]\nwidth=1920\n");
    write_file(tmp.file("lines.txt"), "zero\ndisk line\n");
    r = run_child({game, "pack"}, {{test::k_temp_variable, tmp.path()}}, false);
    EXPECT_EQ(r.output, "channel=disk readme\nsetting=1920\nline=disk line\nexit\n");
}

}  // namespace
}  // namespace crv
