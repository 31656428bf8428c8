// Child processes on Windows: CreateProcess with one command line quoted
// the way the child's run-time splits it, standard output through a pipe,
// and the debugger channel through the debug interface (the test program
// starts the child as its debuggee and reads the debug-output strings).
#include "tests/support/child_process.hpp"

#include "platform/win32/win32_api.hpp"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <fstream>
#include <iterator>

namespace crv::test {

namespace {


bool same_name(const std::wstring& entry, const std::wstring& name) {
    if (entry.size() <= name.size() || entry[name.size()] != L'=') return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::towupper(entry[i]) != std::towupper(name[i])) return false;
    return true;
}

// The current environment with the given variables set and
// CORVANE_DEBUGGER removed, as a block for CreateProcess.
std::wstring environment_block(const EnvList& env) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p != 0; p += std::wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(block);
    }
    auto remove = [&](const std::wstring& name) {
        std::erase_if(entries, [&](const std::wstring& e) { return same_name(e, name); });
    };
    remove(L"CORVANE_DEBUGGER");
    for (const auto& [name, value] : env) {
        remove(crv::plat::win32::widen(name));
        entries.push_back(crv::plat::win32::widen(name) + L"=" + crv::plat::win32::widen(value));
    }
    std::wstring out;
    for (const auto& e : entries) out += e + L'\0';
    out += L'\0';
    return out;
}

int exit_code_of(DWORD code) {
    // Exception codes (access violation, abort by the system...) are not
    // exits of the program's own choosing.
    return code >= 0xC0000000u ? -1 : static_cast<int>(code);
}

struct Started {
    PROCESS_INFORMATION info{};
    HANDLE out = nullptr;  // read end of the child's standard output
};

// With errors, standard error goes into a pipe of its own (read end in
// *errors); otherwise it is the test program's.
bool start(const std::vector<std::string>& argv, const EnvList& env, DWORD flags, Started& started,
           HANDLE* errors = nullptr, int show_command = -1) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE write_end = nullptr;
    if (!CreatePipe(&started.out, &write_end, &inherit, 0)) return false;
    SetHandleInformation(started.out, HANDLE_FLAG_INHERIT, 0);
    HANDLE error_end = nullptr;
    if (errors != nullptr) {
        if (!CreatePipe(errors, &error_end, &inherit, 0)) {
            CloseHandle(started.out);
            CloseHandle(write_end);
            return false;
        }
        SetHandleInformation(*errors, HANDLE_FLAG_INHERIT, 0);
    } else {
        DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &error_end, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    }
    std::wstring line = crv::plat::win32::command_line(argv);
    std::wstring block = environment_block(env);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (show_command >= 0) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show_command);
    }
    startup.hStdInput = nullptr;
    startup.hStdOutput = write_end;
    startup.hStdError = error_end;
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags | CREATE_UNICODE_ENVIRONMENT,
                             block.data(), nullptr, &startup, &started.info);
    CloseHandle(write_end);
    if (error_end != nullptr) CloseHandle(error_end);
    if (!ok) {
        CloseHandle(started.out);
        started.out = nullptr;
        if (errors != nullptr) CloseHandle(*errors);
        return false;
    }
    return true;
}

// Reads what the pipe holds without waiting; false once the writers are
// gone and it is empty.
bool drain(HANDLE pipe, std::string& into) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) return false;
        into.append(buffer, got);
    }
}

std::string lf_lines(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// One debug event: collects debug-output strings, closes the handles the
// event hands over, and says how to continue.
DWORD handle_debug_event(const DEBUG_EVENT& event, HANDLE process, std::vector<std::string>& messages) {
    switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& s = event.u.DebugString;
            std::string text(s.nDebugStringLength, '\0');
            SIZE_T read = 0;
            ReadProcessMemory(process, s.lpDebugStringData, text.data(), text.size(), &read);
            text.resize(read);
            while (!text.empty() && text.back() == '\0') text.pop_back();
            messages.push_back(std::move(text));
            return DBG_CONTINUE;
        }
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
            return DBG_CONTINUE;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
            return DBG_CONTINUE;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's initial break is ours; every other exception
            // (C++ exceptions among them) goes to the program's handlers.
            return event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT
                       ? DBG_CONTINUE
                       : DBG_EXCEPTION_NOT_HANDLED;
        default:
            return DBG_CONTINUE;
    }
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, const EnvList& env, bool with_debugger, int timeout_ms,
                      char /*answer_byte*/, int show_command) {
    // A break is answered by continuing the debug event: the program's
    // wait ends when its OutputDebugString call returns.
    ChildResult result;
    Started child;
    if (!start(argv, env, with_debugger ? DEBUG_ONLY_THIS_PROCESS : 0, child, nullptr, show_command)) return result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string output;
    bool exited = false;
    DWORD code = 0;
    while (!exited && std::chrono::steady_clock::now() < deadline) {
        drain(child.out, output);
        if (with_debugger) {
            DEBUG_EVENT event{};
            if (!WaitForDebugEvent(&event, 10)) continue;
            DWORD how = handle_debug_event(event, child.info.hProcess, result.debugger_messages);
            if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
                exited = true;
                code = event.u.ExitProcess.dwExitCode;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, how);
        } else if (WaitForSingleObject(child.info.hProcess, 10) == WAIT_OBJECT_0) {
            exited = GetExitCodeProcess(child.info.hProcess, &code) != 0;
        }
    }
    if (exited) {
        WaitForSingleObject(child.info.hProcess, INFINITE);
        result.exit_code = exit_code_of(code);
    } else {
        TerminateProcess(child.info.hProcess, 1);
        if (with_debugger) DebugActiveProcessStop(child.info.dwProcessId);
        WaitForSingleObject(child.info.hProcess, INFINITE);
    }
    drain(child.out, output);
    result.output = lf_lines(std::move(output));
    CloseHandle(child.out);
    CloseHandle(child.info.hThread);
    CloseHandle(child.info.hProcess);
    return result;
}

ChildResult run_tool(const std::vector<std::string>& argv, int timeout_ms) {
    ChildResult result;
    Started child;
    HANDLE errors = nullptr;
    if (!start(argv, {}, 0, child, &errors)) return result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string output, error_output;
    bool exited = false;
    while (!exited && std::chrono::steady_clock::now() < deadline) {
        drain(child.out, output);
        drain(errors, error_output);
        exited = WaitForSingleObject(child.info.hProcess, 10) == WAIT_OBJECT_0;
    }
    DWORD code = 0;
    if (exited) {
        GetExitCodeProcess(child.info.hProcess, &code);
        result.exit_code = exit_code_of(code);
    } else {
        TerminateProcess(child.info.hProcess, 1);
        WaitForSingleObject(child.info.hProcess, INFINITE);
    }
    drain(child.out, output);
    drain(errors, error_output);
    result.output = lf_lines(std::move(output));
    result.errors = lf_lines(std::move(error_output));
    CloseHandle(errors);
    CloseHandle(child.out);
    CloseHandle(child.info.hThread);
    CloseHandle(child.info.hProcess);
    return result;
}

struct ChildProcess::State {
    Started child;
    bool started = false;
    bool reaped = false;
    int exit_code = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const EnvList& env) : state_(new State) {
    state_->started = start(argv, env, 0, state_->child);
}

ChildProcess::~ChildProcess() {
    kill();
    if (state_->started) {
        CloseHandle(state_->child.out);
        CloseHandle(state_->child.info.hThread);
        CloseHandle(state_->child.info.hProcess);
    }
}

bool ChildProcess::started() const { return state_->started; }

long ChildProcess::id() const { return state_->started ? static_cast<long>(state_->child.info.dwProcessId) : -1; }

std::string ChildProcess::read_output(std::size_t count) {
    std::string text;
    while (state_->started && text.size() < count) {
        char buffer[4096];
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min(sizeof buffer, count - text.size()));
        if (!ReadFile(state_->child.out, buffer, want, &got, nullptr) || got == 0) break;
        text.append(buffer, got);
    }
    return text;
}

bool ChildProcess::wait(int timeout_ms, int* exit_code) {
    if (!state_->started) return false;
    if (!state_->reaped) {
        if (WaitForSingleObject(state_->child.info.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        GetExitCodeProcess(state_->child.info.hProcess, &code);
        state_->reaped = true;
        state_->exit_code = exit_code_of(code);
    }
    if (exit_code != nullptr) *exit_code = state_->exit_code;
    return true;
}

bool ChildProcess::kill() {
    if (!state_->started || state_->reaped) return false;
    bool was_running = WaitForSingleObject(state_->child.info.hProcess, 0) == WAIT_TIMEOUT;
    DWORD code = 0;
    if (was_running) {
        TerminateProcess(state_->child.info.hProcess, 1);
        WaitForSingleObject(state_->child.info.hProcess, INFINITE);
    } else {
        GetExitCodeProcess(state_->child.info.hProcess, &code);
    }
    state_->reaped = true;
    state_->exit_code = was_running ? -1 : exit_code_of(code);
    return was_running;
}

// Standard output and error share one handle of the file, as they share
// one open file on Linux.
RunningChild::RunningChild(const std::vector<std::string>& argv, const std::string& output_file,
                           const EnvList& env)
    : output_file_(output_file) {
    if (argv.empty()) return;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(plat::win32::widen(output_file).c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    std::wstring line = plat::win32::command_line(argv);
    std::wstring block = environment_block(env);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                       nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    }
    CloseHandle(out);
}

RunningChild::~RunningChild() {
    if (process_ <= 0) return;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (running()) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    CloseHandle(process);
}

bool RunningChild::running() {
    if (process_ <= 0 || status_ != -1) return false;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return true;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    const int exit_code = exit_code_of(code);
    status_ = exit_code < 0 ? 1000 : exit_code;
    return false;
}

int RunningChild::wait(int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            HANDLE process = reinterpret_cast<HANDLE>(process_);
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
            status_ = -2;
            return -1;
        }
        Sleep(20);
    }
    return status_ == 1000 ? -1 : status_;
}

// Text-mode output ends its lines with CR LF; read as LF, as on Linux.
std::string RunningChild::output() const {
    std::ifstream in(output_file_, std::ios::binary);
    return lf_lines(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

bool RunningChild::wait_output(const std::string& text, int timeout_ms) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (output().find(text) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(50);
    }
}

}  // namespace crv::test
