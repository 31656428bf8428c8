// Test support: programs in child processes (run to the end with their
// output collected, or kept running to be read from, waited for and
// killed), temporary folders, and the names that differ between systems.
// One implementation per system (child_process_posix.cpp,
// child_process_win32.cpp). Main thread of the test program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace crv::test {

using EnvList = std::vector<std::pair<std::string, std::string>>;

// The environment variable that names the temporary folder the run-time
// uses (TMPDIR on Linux, TMP on Windows).
#ifdef _WIN32
inline constexpr const char* k_temp_variable = "TMP";
#else
inline constexpr const char* k_temp_variable = "TMPDIR";
#endif

struct ChildResult {
    int exit_code = -1;       // -1: did not exit normally (killed, crashed, timed out)
    std::string output;       // standard output; on Windows CR LF read as LF
    std::string errors;       // standard error, from run_tool only (same line ends)
    std::vector<std::string> debugger_messages;  // each message's bytes
};

// A fresh temporary folder, removed by the destructor. Its name uses "/".
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

// Runs argv with the given variables added to the environment and waits
// for it (killed after timeout_ms). With with_debugger the test program is
// the child's debugger and collects the debugger messages: on Linux through
// the socket named by CORVANE_DEBUGGER (every "BP" answered with
// answer_byte), on Windows through debug-output events. A show command of
// 0 or more is passed in the child's start-up information on Windows
// (ignored on Linux).
ChildResult run_child(const std::vector<std::string>& argv, const EnvList& env, bool with_debugger,
                      int timeout_ms = 20000, char answer_byte = 0, int show_command = -1);

// Runs a command-line tool as a user would and collects its standard
// output and standard error apart (killed after timeout_ms).
ChildResult run_tool(const std::vector<std::string>& argv, int timeout_ms = 20000);

// A program running beside the test, its standard output in a pipe. The
// destructor kills it when it still runs.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const EnvList& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    // The system's process id.
    long id() const;
    // Reads up to count bytes of standard output; fewer only at its end.
    std::string read_output(std::size_t count);
    // Waits up to timeout_ms; the exit code, -1 when it did not exit
    // normally, or nothing-yet (returns false) when it still runs.
    bool wait(int timeout_ms, int* exit_code = nullptr);
    // Ends it at once the hard way (SIGKILL, TerminateProcess) and reaps
    // it. True when it was still running.
    bool kill();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A program running in the background with extra environment variables;
// its standard output and error go to a file. Killed by the destructor when
// it still runs.
class RunningChild {
public:
    RunningChild(const std::vector<std::string>& argv, const std::string& output_file, const EnvList& env = {});
    RunningChild(const std::string& program, const std::string& output_file, const EnvList& env = {})
        : RunningChild(std::vector<std::string>{program}, output_file, env) {}
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    bool started() const { return process_ > 0; }
    // Exit code, or -1 when it did not exit in time (it is then killed).
    int wait(int timeout_ms);
    bool running();
    // What it has written so far, and a wait until that holds text.
    std::string output() const;
    bool wait_output(const std::string& text, int timeout_ms) const;

private:
    std::string output_file_;
    std::intptr_t process_ = -1;  // the pid on Linux, the process handle on Windows
    int status_ = -1;
};

}  // namespace crv::test
