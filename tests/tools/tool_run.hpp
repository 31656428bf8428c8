// What the tool tests share: run_tool (from the test support) runs a tool as
// a user does, and shown gives its command line for failure messages.
#pragma once

#include "tests/support/child_process.hpp"

#include <string>
#include <vector>

namespace crv::test {

inline std::string shown(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv) line += (line.empty() ? "" : " ") + a;
    return line;
}

}  // namespace crv::test
