// The system's file dialogs driven as a user would drive them (key presses
// sent to the focused dialog), and the console a program opens, read back
// through the console's own screen buffer and typed into through its input
// queue.
#include "app/dialogs.hpp"

#include "runtime/app_state.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/window.hpp"
#include "platform/win32/win32_api.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace crv {
namespace {

bool have_display() { return std::getenv("DISPLAY") != nullptr; }

std::wstring backslashed(const std::string& path) { return plat::win32::widen_path(path); }

void press(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

void type(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT input[2] = {};
        for (int i = 0; i < 2; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wScan = c;
            input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, input, sizeof input[0]);
        Sleep(10);
    }
}

// Typed with the keys of the keyboard layout (a console reads keys, not
// characters sent on their own).
void type_keys(const std::wstring& text) {
    for (wchar_t c : text) {
        const SHORT key = VkKeyScanW(c);
        if (key == -1) continue;
        const bool shift = (key & 0x100) != 0;
        if (shift) press(VK_SHIFT, true);
        press(static_cast<WORD>(key & 0xff), true);
        press(static_cast<WORD>(key & 0xff), false);
        if (shift) press(VK_SHIFT, false);
        Sleep(10);
    }
}

// What the user saw and did while the dialog was up.
struct DialogSeen {
    bool found = false;
    bool game_window_hidden = false;
    std::vector<std::string> filters;  // the entries of the file type list
};

// Works the dialog titled title once it is up: a text typed into the name
// field (which has the focus), then a key. With filters, the file type
// list is read once the dialog has filled it.
std::thread drive_dialog(const wchar_t* title, std::wstring text, WORD key, HWND game, bool filters, DialogSeen* seen) {
    return std::thread([=] {
        HWND dialog = nullptr;
        // A loaded machine can take long to show the dialog; the test's own
        // time limit ends one that never shows.
        for (int waited = 0; dialog == nullptr && waited < 60000; waited += 50) {
            Sleep(50);
            dialog = FindWindowW(L"#32770", title);
        }
        if (dialog == nullptr) return;
        seen->found = true;
        seen->game_window_hidden = IsWindowVisible(game) == 0;
        // The file type list of the explorer-style dialog.
        HWND types = nullptr;
        LRESULT count = 0;
        for (int waited = 0; filters && count <= 0 && waited < 5000; waited += 50) {
            types = GetDlgItem(dialog, 0x470);
            count = types != nullptr ? SendMessageW(types, CB_GETCOUNT, 0, 0) : 0;
            if (count <= 0) Sleep(50);
        }
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t entry[256] = {};
            if (SendMessageW(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 255) {
                SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
            }
            seen->filters.push_back(plat::win32::narrow(entry));
        }
        Sleep(300);
        SetForegroundWindow(dialog);
        type(text);
        Sleep(200);
        press(key, true);
        press(key, false);
    });
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_display()) GTEST_SKIP() << "the dialogs are windows: they need an X display under Wine";
        renderer_ = &test::gl_renderer(320, 240);
        start_dir_ = plat::current_dir();
        ASSERT_TRUE(plat::change_dir(dir_.path().c_str()));
    }
    void TearDown() override {
        if (!start_dir_.empty()) plat::change_dir(start_dir_.c_str());
    }
    HWND game() {
        return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(plat::window_native_id(renderer_->window)));
    }

    OpenGLRainbows* renderer_ = nullptr;
    test::TempDir dir_;
    std::string start_dir_;
};

TEST_F(FileDialogTest, OpenOffersTheFiltersAndReturnsTheChosenFile) {
    std::ofstream(dir_.file("level one.txt")) << "x";
    DialogSeen seen;
    std::thread user = drive_dialog(L"Open", backslashed(dir_.file("level one.txt")), VK_RETURN, game(), true, &seen);
    const DynString chosen = file_dialog(1, "Text files|*.txt|All files|*.*");
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.game_window_hidden);
    EXPECT_EQ(seen.filters, (std::vector<std::string>{"Text files", "All files"}));
    EXPECT_EQ(std::string(chosen.text()), dir_.file("level one.txt"));
    EXPECT_EQ(plat::current_dir(), dir_.path());
    EXPECT_TRUE(plat::window_visible(renderer_->window));
}

TEST_F(FileDialogTest, SaveReturnsANewNameWithForwardSlashes) {
    // The dialog answers with "\" between the names; the game gets "/".
    ASSERT_TRUE(plat::dir_make(dir_.file("saved").c_str()));
    DialogSeen seen;
    std::thread user = drive_dialog(L"Save As", backslashed(dir_.file("saved/game 1.sav")), VK_RETURN, game(), true, &seen);
    const DynString chosen = file_dialog(0, "Saved games|*.sav");
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.filters, std::vector<std::string>{"Saved games"});
    EXPECT_EQ(std::string(chosen.text()), dir_.file("saved/game 1.sav"));
    EXPECT_EQ(plat::current_dir(), dir_.path());
}

TEST_F(FileDialogTest, CancelGivesNoFile) {
    DialogSeen seen;
    std::thread user = drive_dialog(L"Open", L"", VK_ESCAPE, game(), false, &seen);
    const DynString chosen = file_dialog(1, "");
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(std::string(chosen.text()), "NO_FILE");
    EXPECT_EQ(plat::current_dir(), dir_.path());
    EXPECT_TRUE(plat::window_visible(renderer_->window));
}

TEST(Console, StandardOutputAppearsInTheConsoleAndTypedLinesComeIn) {
    if (!have_display()) GTEST_SKIP() << "the console window needs an X display under Wine";
    test::TempDir dir;
    test::ScopedEnv result("CONSOLE_RESULT", dir.file("typed.txt").c_str());
    test::ScopedEnv screen("CONSOLE_SCREEN", dir.file("screen.txt").c_str());
    // Started without a console of its own, so that it opens one.
    std::wstring line = plat::win32::command_line({CONSOLE_CHILD});
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                               &startup, &child));
    HWND console = nullptr;
    for (int waited = 0; console == nullptr && waited < 15000; waited += 50) {
        Sleep(50);
        console = FindWindowW(nullptr, L"Console");
    }
    if (console != nullptr) {
        Sleep(300);
        SetForegroundWindow(console);
        type_keys(L"typed line");
        press(VK_RETURN, true);
        press(VK_RETURN, false);
    }
    if (WaitForSingleObject(child.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    ASSERT_NE(console, nullptr) << "no console window";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(dir.read("typed.txt"), "typed line\n");
    const std::string shown = dir.read("screen.txt");
    EXPECT_NE(shown.find("written to standard output"), std::string::npos) << shown;
    EXPECT_NE(shown.find("typed line"), std::string::npos) << shown;  // echoed as typed
}

}  // namespace
}  // namespace crv
