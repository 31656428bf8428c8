// Test support: run a program in a child process with extra environment
// variables, optionally with a listening debugger socket that collects the
// messages the child sends.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace crv::test {

struct ChildResult {
    int exit_code = -1;       // -1: did not exit normally
    std::string output;       // standard output
    std::vector<std::string> debugger_messages;  // each message's bytes
};

// A fresh temporary folder, removed by the destructor.
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

// Runs argv with the given variables added to the environment. With
// with_debugger, CORVANE_DEBUGGER names a socket whose messages are
// collected (the debugger answers every "BP" with answer_byte).
ChildResult run_child(const std::vector<std::string>& argv,
                      const std::vector<std::pair<std::string, std::string>>& env,
                      bool with_debugger, int timeout_ms = 20000, char answer_byte = 0);

}  // namespace crv::test
