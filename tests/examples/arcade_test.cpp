// The arcade example, run as a player gets it: the executable alone in a
// folder, every picture, sound, font and the music coming from the pack on
// its end. Fire held down scores points; the score lands in the table of
// the settings file (read at start, best five kept); the game goes on
// without a sound device or a controller; and an inactive window pauses
// it until the player carries on.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <corvane/sys.hpp>

#ifdef _WIN32
#include "platform/win32/win32_api.hpp"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace crv {
namespace {

// A folder holding only a copy of the packed executable and a temporary
// folder for the debug log and the pictures. The settings go to a data
// folder of the test's own on Linux (XDG_DATA_HOME); Windows names the
// user's application data folder itself, so there the table found in it is
// kept aside and put back at the end.
struct ArcadeFolder {
    test::TempDir dir;
    std::string program;
#ifdef _WIN32
    std::string scores = std::string(platform_info("APPDATA").text()) + "/arcade_scores.ini";
    std::optional<std::string> kept;
#else
    std::string scores = dir.file("data/Corvane/arcade_scores.ini");
#endif

    explicit ArcadeFolder(const std::string& name = "arcade")
        : program(dir.file(name + std::filesystem::path(CRV_EXAMPLE_ARCADE).extension().string())) {
        std::filesystem::copy_file(CRV_EXAMPLE_ARCADE, program);
        std::filesystem::create_directories(dir.file("tmp"));
#ifdef _WIN32
        if (std::filesystem::exists(scores)) kept = test::read_whole(scores);
        std::filesystem::remove(scores);
#else
        std::filesystem::create_directories(dir.file("data/Corvane"));
#endif
    }
    ~ArcadeFolder() {
#ifdef _WIN32
        std::filesystem::remove(scores);
        if (kept) std::ofstream(scores, std::ios::binary) << *kept;
#endif
    }
    test::EnvList env(const std::string& capture_frames = "") const {
        test::EnvList e = {{"CORVANE_AUTOMATION", "1"},
                           {test::k_temp_variable, dir.file("tmp")},
                           {"XDG_DATA_HOME", dir.file("data")}};
        if (!capture_frames.empty()) e.push_back({"CORVANE_CAPTURE_FRAMES", dir.file("tmp") + ":" + capture_frames});
        return e;
    }
    std::string log() const { return test::read_whole(dir.file("tmp/ErrorLog.txt")); }
};

#ifdef _WIN32
// Under Wine, where the Windows tests run, Wine's settings for programs of
// one file name turn its audio drivers off for them: they find no sound
// device. The destructor removes the settings.
class NoAudioDrivers {
public:
    explicit NoAudioDrivers(const std::string& program_file_name)
        : key_(L"Software\\Wine\\AppDefaults\\" + plat::win32::widen(program_file_name)) {
        HKEY overrides = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &overrides, nullptr) != ERROR_SUCCESS)
            return;
        for (const wchar_t* driver : {L"winealsa.drv", L"winepulse.drv", L"wineoss.drv"})
            RegSetValueExW(overrides, driver, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
        RegCloseKey(overrides);
    }
    ~NoAudioDrivers() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    NoAudioDrivers(const NoAudioDrivers&) = delete;
    NoAudioDrivers& operator=(const NoAudioDrivers&) = delete;

private:
    std::wstring key_;
};
#endif

int final_score(const std::string& output) {
    static const std::regex line("game over, score (\\d+)");
    std::smatch m;
    return std::regex_search(output, m, line) ? std::stoi(m[1]) : -1;
}

// The ship's grey-blue hull at the bottom of the picture, and the score's
// white letters at the top left.
int ship_pixels(const test::Picture& p) {
    return p.count(200, 360, 440, 470, [](const std::uint8_t* c) {
        return c[2] > 120 && c[2] > c[0] + 15 && c[1] > 100 && std::abs(c[0] - c[1]) < 40;
    });
}
int score_text_pixels(const test::Picture& p) {
    return p.count(0, 0, 200, 40, [](const std::uint8_t* c) { return c[0] + c[1] + c[2] > 600; });
}

void key_down(std::uint64_t window, const std::string& key) {
    test::host_xdotool("keydown --window " + test::x_window_id(window) + " " + key);
}
// Released without a window too: the game may have ended meanwhile.
void key_up(std::uint64_t window, const std::string& key) {
    if (test::host_xdotool("keyup --window " + test::x_window_id(window) + " " + key) != 0)
        test::host_xdotool("keyup " + key);
}

TEST(ArcadeExample, PlaysFromItsPackAndKeepsTheBestFiveScores) {
    ArcadeFolder folder;
    // A table from an earlier game, out of order and with a gap: the game
    // reads it at start and keeps the best five, best first.
    {
        std::ofstream table(folder.scores);
        table << "[scores]\nname1=AAA\nscore1=10\nname2=BBB\nscore2=40\nname4=DDD\nscore4=30\n"
                 "name3=CCC\nscore3=20\nname5=EEE\nscore5=15\nlast_name=AAA\n";
    }
    // OpenAL's silent output is a sound device on every machine (as is the
    // silent device Wine plays to in the Windows stage), so the sounds are
    // read from the pack and loaded here too.
    test::EnvList env = folder.env("540");
    env.push_back({"ALSOFT_DRIVERS", "null"});
    test::RunningChild game({folder.program, "600", "TST"}, folder.dir.file("out.txt"), env);
    ASSERT_TRUE(game.started());
    std::uint64_t window = test::find_window("Corvane arcade", 20000);
    ASSERT_NE(window, 0u) << game.output();
    ASSERT_TRUE(game.wait_output("game started", 10000)) << game.output();
    test::focus_window(window);
    // Fire held down, the ship where it starts: the first rock falls
    // straight at it.
    key_down(window, "space");
    const bool scored = game.wait_output("rock destroyed", 60000);
    const int exit_code = game.wait(60000);
    key_up(window, "space");
    const std::string out = game.output();
    ASSERT_EQ(exit_code, 0) << out;
    EXPECT_TRUE(scored) << out;
    EXPECT_NE(out.find("shot\n"), std::string::npos) << out;

    // Everything came from the pack: no picture is missing, the sounds
    // loaded, the music was found, and no load failed for want of a file.
    EXPECT_EQ(out.find("missing"), std::string::npos) << out;
    EXPECT_NE(out.find("sound on"), std::string::npos) << out;
    EXPECT_NE(out.find("music found"), std::string::npos) << out;
    EXPECT_EQ(folder.log().find("not found"), std::string::npos) << folder.log();
    // The music went to the player as a temporary file, gone at the end.
    for (const auto& entry : std::filesystem::directory_iterator(folder.dir.file("tmp")))
        EXPECT_EQ(entry.path().extension(), entry.path().filename() == "ErrorLog.txt" ? ".txt" : ".ppm")
            << entry.path();

    test::Picture p;
    ASSERT_TRUE(test::read_ppm(folder.dir.file("tmp/frame_540.ppm"), p));
    ASSERT_EQ(p.width, 640);
    ASSERT_EQ(p.height, 480);
    EXPECT_GT(ship_pixels(p), 300);
    EXPECT_GT(score_text_pixels(p), 150);

    // The frame count ended the game: its score went into the table under
    // the name from the command line, the lowest fell out.
    const int score = final_score(out);
    ASSERT_GT(score, 0) << out;
    std::vector<std::pair<std::string, int>> expected = {{"BBB", 40}, {"DDD", 30}, {"CCC", 20}, {"EEE", 15},
                                                         {"AAA", 10}};
    auto at = std::find_if(expected.begin(), expected.end(), [&](const auto& e) { return score > e.second; });
    expected.insert(at, {"TST", score});
    expected.resize(5);
    const std::string table = test::read_whole(folder.scores);
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_NE(table.find("name" + n + "=" + expected[i].first + "\r\n"), std::string::npos) << table;
        EXPECT_NE(table.find("score" + n + "=" + std::to_string(expected[i].second) + "\r\n"), std::string::npos)
            << table;
    }
    EXPECT_NE(table.find("last_name=TST"), std::string::npos) << table;
}

TEST(ArcadeExample, RunsSilentlyWithoutASoundDeviceOrController) {
    ArcadeFolder folder("arcade_silent");
    test::EnvList env = folder.env("150");
    // No sound device at all: OpenAL with no output it knows; on Windows no
    // audio driver for the game. The virtual display has no controller.
#ifdef _WIN32
    NoAudioDrivers silent(std::filesystem::path(folder.program).filename().string());
#else
    env.push_back({"ALSOFT_DRIVERS", "no-such-output"});
#endif
    test::ChildResult run = test::run_child({folder.program, "160"}, env, false, 60000);
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("no sound"), std::string::npos) << run.output;
    EXPECT_NE(folder.log().find("no sound device"), std::string::npos) << folder.log();
    test::Picture p;
    ASSERT_TRUE(test::read_ppm(folder.dir.file("tmp/frame_150.ppm"), p));
    EXPECT_GT(ship_pixels(p), 300);
    // Without a score nothing goes into the table.
    EXPECT_EQ(final_score(run.output), 0) << run.output;
    EXPECT_EQ(test::read_whole(folder.scores).find("name1"), std::string::npos);
}

TEST(ArcadeExample, AnInactiveWindowPausesUntilThePlayerCarriesOn) {
    ArcadeFolder folder;
    test::RunningChild game(folder.program, folder.dir.file("out.txt"), folder.env());
    std::uint64_t window = test::find_window("Corvane arcade", 20000);
    ASSERT_NE(window, 0u) << game.output();
    ASSERT_TRUE(game.wait_output("game started", 10000)) << game.output();
    test::focus_window(window);

    test::FocusThief thief;
    thief.take_focus();
    EXPECT_TRUE(game.wait_output("window inactive: paused", 10000)) << game.output();
    EXPECT_TRUE(test::wait_for([&] { return test::window_title(window) == "Corvane arcade <pause>"; }, 10000));
    test::focus_window(window);
    EXPECT_TRUE(game.wait_output("window active again", 10000)) << game.output();
    // Back in front, the game waits for the player: P carries on.
    test::press_keys(window, "p");
    EXPECT_TRUE(game.wait_output("carrying on", 10000)) << game.output();
    test::press_keys(window, "Escape");
    EXPECT_EQ(game.wait(20000), 0) << game.output();
}

}  // namespace
}  // namespace crv
