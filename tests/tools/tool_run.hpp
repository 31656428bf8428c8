// Running a command-line tool as a user does, with its standard output and
// standard error kept apart.
#pragma once

#include "tests/support/child_process.hpp"

#include <string>
#include <vector>

namespace crv::test {

struct ToolResult {
    int exit_code = -1;  // -1: did not exit normally
    std::string out, err;
};

// Runs argv (argv[0] a path) and waits for it.
ToolResult run_tool(const std::vector<std::string>& argv);

// The command line for failure messages.
std::string shown(const std::vector<std::string>& argv);

}  // namespace crv::test
