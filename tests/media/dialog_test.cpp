// The file dialogs driven as a user would drive them (xdotool), and the
// console window read back from the terminal that shows it.
#include "app/dialogs.hpp"

#include "runtime/app_state.hpp"
#include "platform/files.hpp"
#include "platform/window.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace crv {
namespace {

// Works the dialog titled title once it is up: keys to press first, a
// text to type, keys to press last (keys as xdotool names them).
std::thread drive_dialog(const std::string& title, const std::string& first, const std::string& text,
                         const std::string& keys) {
    return std::thread([=] {
        // A loaded machine can take long to start the dialog program; the
        // test's own time limit ends a dialog that never shows.
        const std::uint64_t window = test::find_window(title, 60000);
        if (window == 0) return;
        const std::string id = std::to_string(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        test::shell("xdotool windowfocus --sync " + id + " 2>/dev/null");
        if (!first.empty()) {
            test::shell("xdotool key " + first + " 2>/dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        if (!text.empty()) {
            test::shell("xdotool type --delay 15 '" + text + "' 2>/dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        test::shell("xdotool key " + keys + " 2>/dev/null");
    });
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        renderer_ = &test::gl_renderer(320, 240);
        start_dir_ = plat::current_dir();
        ASSERT_TRUE(plat::change_dir(dir_.path().c_str()));
    }
    void TearDown() override { plat::change_dir(start_dir_.c_str()); }

    OpenGLRainbows* renderer_ = nullptr;
    test::TempDir dir_;
    std::string start_dir_;
};

TEST_F(FileDialogTest, OpenReturnsTheChosenFileAndTheWindowComesBack) {
    std::ofstream(dir_.file("level one.txt")) << "x";
    std::thread user = drive_dialog("Open", "ctrl+l", dir_.file("level one.txt"), "Return");
    const DynString chosen = file_dialog(1, "Text files|*.txt|All files|*.*");
    user.join();
    EXPECT_EQ(std::string(chosen.text()), dir_.file("level one.txt"));
    EXPECT_EQ(plat::current_dir(), dir_.path());
    EXPECT_TRUE(plat::window_visible(renderer_->window));
}

TEST_F(FileDialogTest, SaveReturnsANewNameWithForwardSlashes) {
    // A backslash in the typed name is a separator to the game.
    std::thread user = drive_dialog("Save As", "", dir_.path() + "/saved\\game 1.sav", "Return");
    const DynString chosen = file_dialog(0, "Saved games|*.sav");
    user.join();
    EXPECT_EQ(std::string(chosen.text()), dir_.path() + "/saved/game 1.sav");
    EXPECT_EQ(plat::current_dir(), dir_.path());
}

TEST_F(FileDialogTest, CancelGivesNoFile) {
    std::thread user = drive_dialog("Open", "", "", "Escape");
    const DynString chosen = file_dialog(1, "");
    user.join();
    EXPECT_EQ(std::string(chosen.text()), "NO_FILE");
    EXPECT_EQ(plat::current_dir(), dir_.path());
    EXPECT_TRUE(plat::window_visible(renderer_->window));
}

TEST(Console, StandardOutputAppearsInTheTerminalAndTypedLinesComeIn) {
    test::TempDir dir;
    // The terminal prints its screen to a file when asked to ("ESC [ i").
    const std::string resources = dir.file("xterm.res");
    std::ofstream(resources) << "XTerm*printerCommand: cat > " << dir.file("screen.txt") << "\n"
                             << "XTerm*printAttributes: 0\n"
                             << "XTerm*printerAutoClose: true\n";
    test::RunningChild child(CONSOLE_CHILD, dir.file("child.txt"),
                             {{"XENVIRONMENT", resources}, {"CONSOLE_RESULT", dir.file("typed.txt")}});
    const std::uint64_t console = test::find_window("Console", 15000);
    ASSERT_NE(console, 0u) << dir.read("child.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    test::shell("xdotool windowfocus --sync " + std::to_string(console) + " 2>/dev/null");
    test::shell("xdotool type --delay 15 'typed line' 2>/dev/null");
    test::shell("xdotool key Return 2>/dev/null");
    EXPECT_EQ(child.wait(15000), 0) << dir.read("child.txt");
    EXPECT_EQ(dir.read("typed.txt"), "typed line\n");
    const std::string screen = dir.read("screen.txt");
    EXPECT_NE(screen.find("written to standard output"), std::string::npos) << screen;
    EXPECT_NE(screen.find("typed line"), std::string::npos) << screen;  // echoed as typed
}

}  // namespace
}  // namespace crv
