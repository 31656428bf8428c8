// The debugger channel as a Windows debugger sees it: debug-output strings,
// the program held inside each one until the debugger continues, its memory
// writable meanwhile.
#include "platform/paths.hpp"
#include "platform/process.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace crv {
namespace {

struct DebugRun {
    std::vector<std::string> messages;
    DWORD exit_code = 0xFFFFFFFF;
};

std::wstring child_command() {
    std::string self = plat::executable_path();
    std::string child = self.substr(0, self.rfind('/') + 1) + PLATFORM_CHILD;
    return L"\"" + std::wstring(child.begin(), child.end()) + L"\" debug";
}

// Runs the child under this process as its debugger; every break is
// answered by writing `answer` into the int the break names.
DebugRun run_debugged(int answer) {
    DebugRun run;
    std::wstring line = child_command();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return run;
    }
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 20000)) {
            ADD_FAILURE() << "no debug event";
            TerminateProcess(info.hProcess, 99);
            break;
        }
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const OUTPUT_DEBUG_STRING_INFO& s = event.u.DebugString;
            std::string text(s.nDebugStringLength, '\0');
            SIZE_T read = 0;
            ReadProcessMemory(info.hProcess, s.lpDebugStringData, text.data(), text.size(), &read);
            text.resize(read);
            while (!text.empty() && text.back() == '\0') text.pop_back();
            run.messages.push_back(text);
            if (text.rfind("BP", 0) == 0) {
                auto address = static_cast<std::uintptr_t>(std::strtoull(text.c_str() + 2, nullptr, 16));
                WriteProcessMemory(info.hProcess, reinterpret_cast<void*>(address), &answer, sizeof answer, nullptr);
            }
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile != nullptr) {
            CloseHandle(event.u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && event.u.CreateProcessInfo.hFile != nullptr) {
            CloseHandle(event.u.CreateProcessInfo.hFile);
        }
        const bool done = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        if (done) run.exit_code = event.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        if (done) break;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return run;
}

TEST(PlatformDebugChannel, TextsAndBreaksReachTheDebuggerWhichWritesMemory) {
    DebugRun run = run_debugged(42);
    ASSERT_EQ(run.messages.size(), 2u);
    EXPECT_EQ(run.messages[0], "TXhello");
    EXPECT_EQ(run.messages[1].rfind("BP", 0), 0u);
    EXPECT_EQ(run.exit_code, 42u);
}

TEST(PlatformDebugChannel, WithoutADebuggerNothingIsSent) {
    std::wstring line = child_command();
    std::string narrow(line.begin(), line.end());
    int code = -1;
    ASSERT_TRUE(plat::start_process(narrow.c_str(), true, &code));
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace crv
