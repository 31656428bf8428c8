#include "tools/crvdbg/debuggee.hpp"

#include "platform/win32/win32_api.hpp"

#include <cwchar>

namespace crvdbg {

namespace {

std::string system_message(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (text != nullptr) {
        int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        out.assign(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
        LocalFree(text);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(code) : out;
}

}  // namespace

// The debug event that carried the last message stays pending (the program
// waits inside OutputDebugString) until the next message is asked for or
// the break is resumed.
struct Debuggee::State {
    PROCESS_INFORMATION info{};
    bool started = false;
    bool ended = false;
    bool pending = false;
    DEBUG_EVENT event{};
    DWORD exit_code = 1;

    void continue_pending() {
        if (!pending) return;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        pending = false;
    }
};

Debuggee::Debuggee() : state_(new State) {}

Debuggee::~Debuggee() {
    State& s = *state_;
    if (!s.started) return;
    if (!s.ended) {
        TerminateProcess(s.info.hProcess, 1);
        s.continue_pending();
        DebugActiveProcessStop(s.info.dwProcessId);
    }
    CloseHandle(s.info.hThread);
    CloseHandle(s.info.hProcess);
}

bool Debuggee::start(const std::vector<std::string>& argv, std::string* error) {
    std::wstring line = crv::plat::win32::command_line(argv);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &state_->info)) {
        *error = argv[0] + ": " + system_message(GetLastError());
        return false;
    }
    state_->started = true;
    return true;
}

bool Debuggee::next_message(std::string* message) {
    State& s = *state_;
    s.continue_pending();
    while (s.started && !s.ended) {
        DEBUG_EVENT& event = s.event;
        if (!WaitForDebugEvent(&event, INFINITE)) return false;
        DWORD how = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT: {
                const OUTPUT_DEBUG_STRING_INFO& text = event.u.DebugString;
                message->assign(text.nDebugStringLength, '\0');
                SIZE_T got = 0;
                ReadProcessMemory(s.info.hProcess, text.lpDebugStringData, message->data(), message->size(), &got);
                message->resize(got);
                while (!message->empty() && message->back() == '\0') message->pop_back();
                s.pending = true;
                return true;
            }
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT:
                // The loader's first break is the debugger's; every other
                // exception (C++ exceptions among them) is the program's.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    how = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                s.exit_code = event.u.ExitProcess.dwExitCode;
                s.ended = true;
                break;
            default:
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, how);
    }
    return false;
}

void Debuggee::resume_break() { state_->continue_pending(); }

bool Debuggee::attached() const { return state_->started; }

bool Debuggee::read(std::uint64_t address, void* out, std::size_t n) const {
    SIZE_T got = 0;
    return ReadProcessMemory(state_->info.hProcess, reinterpret_cast<const void*>(address), out, n, &got) != 0 &&
           got == n;
}

bool Debuggee::write(std::uint64_t address, const void* data, std::size_t n) const {
    SIZE_T put = 0;
    return WriteProcessMemory(state_->info.hProcess, reinterpret_cast<void*>(address), data, n, &put) != 0 && put == n;
}

void Debuggee::kill() {
    if (state_->started && !state_->ended) TerminateProcess(state_->info.hProcess, 1);
}

int Debuggee::wait_end() {
    State& s = *state_;
    if (!s.started) return 1;
    // The remaining events up to the end.
    std::string ignored;
    while (next_message(&ignored)) {
    }
    WaitForSingleObject(s.info.hProcess, INFINITE);
    return static_cast<int>(s.exit_code);
}

}  // namespace crvdbg
