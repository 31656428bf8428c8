// crvdbg's side of the debugger channel: the program being debugged, started
// by crvdbg, the messages it sends and its memory. One implementation per
// system: debuggee_posix.cpp (a Unix-domain socket named by
// CORVANE_DEBUGGER; memory through process_vm_readv/writev) and
// debuggee_win32.cpp (the program started as a debuggee; messages are its
// debug-output strings; memory through Read/WriteProcessMemory). crvdbg's
// main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace crvdbg {

class Debuggee {
public:
    Debuggee();
    ~Debuggee();  // ends the program when it still runs
    Debuggee(const Debuggee&) = delete;
    Debuggee& operator=(const Debuggee&) = delete;

    // Starts argv (the program and its arguments). False with the reason
    // when it cannot be started.
    bool start(const std::vector<std::string>& argv, std::string* error);
    // The next message of the program: "TX" + text, or "BP" + the debug
    // record's address in hex, after which the program waits until
    // resume_break. False once the program has ended or left the channel.
    bool next_message(std::string* message);
    void resume_break();
    // Whether the program ever attached to the channel (on Windows it is
    // attached from its start).
    bool attached() const;

    bool read(std::uint64_t address, void* out, std::size_t n) const;
    bool write(std::uint64_t address, const void* data, std::size_t n) const;

    // Ends the program at once.
    void kill();
    // Waits for the program's end: its exit code (128 + the signal when a
    // signal ended it on Linux).
    int wait_end();

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace crvdbg
