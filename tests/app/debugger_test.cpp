// Stepping through a program with a nested routine under crvdbg, and the
// hook's own rules without a debugger.
#include "app/debugger.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace crv {
namespace {

// The lines at which crvdbg reported stops, in order.
std::vector<int> stops(const std::string& output) {
    std::vector<int> lines;
    std::regex stop("stopped at file 0 line ([0-9]+)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), stop); it != std::sregex_iterator(); ++it)
        lines.push_back(std::stoi((*it)[1]));
    return lines;
}

test::ChildResult run_script(const test::TempDir& tmp, const std::string& script) {
    std::string path = tmp.file("script.txt");
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(script.c_str(), f);
    std::fclose(f);
    return test::run_child({CRVDBG, "--script", path, DEBUG_CHILD}, {{test::k_temp_variable, tmp.path()}}, false);
}

TEST(Debugger, StepOverIntoAndOutFollowTheCallDepth) {
    struct Case { const char* script; std::vector<int> lines; };
    const Case cases[] = {
        {"s\ns\nc\n", {10, 11, 12}},          // step over passes inner
        {"s\ni\ni\nc\n", {10, 11, 20, 21}},   // step into enters it
        {"s\ni\no\nc\n", {10, 11, 20, 12}},   // step out leaves it
        {"break 0 21\nc\nc\n", {10, 21}},     // run to a breakpoint
        {"break 0 21\nclear 0 21\nc\n", {10}},
    };
    for (const Case& c : cases) {
        test::TempDir tmp;
        test::ChildResult r = run_script(tmp, c.script);
        EXPECT_EQ(r.exit_code, 0) << c.script << r.output;
        EXPECT_EQ(stops(r.output), c.lines) << c.script << r.output;
        EXPECT_NE(r.output.find("done\n"), std::string::npos) << "the debug text reaches the debugger";
    }
}

TEST(Debugger, VariablesAndQuit) {
    test::TempDir tmp;
    test::ChildResult r = run_script(tmp, "s\np x\nset x 7.5\np x\ni\nvars\nq\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.output.find("x = 1\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("x = 7.5\n"), std::string::npos);
    EXPECT_NE(r.output.find("local y = 0\n"), std::string::npos);
    EXPECT_EQ(r.output.find("done\n"), std::string::npos) << "quit ends before the last statement";
    EXPECT_NE(tmp.read("ErrorLog.txt").find("-End On Line\n0\n"), std::string::npos);
}

// The manners of a command-line tool: help and version on standard output,
// usage mistakes answered on standard error with exit code 2, failures
// naming the file and the reason.
TEST(Debugger, CommandLine) {
    test::TempDir tmp;
    const std::string missing = tmp.file("missing.txt");
    const struct {
        std::vector<std::string> args;
        int code;
        std::string output;  // the start of standard output
        std::string errors;  // a part of standard error
    } cases[] = {
        {{"--help"}, 0, "usage: crvdbg", ""},
        {{"-h"}, 0, "usage: crvdbg", ""},
        {{"--version"}, 0, "crvdbg (Corvane) " CRV_VERSION "\n", ""},
        {{}, 2, "", "usage: crvdbg"},
        {{"--bogus", DEBUG_CHILD}, 2, "", "unknown option --bogus"},
        {{"--script"}, 2, "", "--script needs a file name"},
        {{"--script", missing, DEBUG_CHILD}, 1, "", missing + ": "},
        {{"--tx-log", tmp.file("no/such/folder/tx.log"), DEBUG_CHILD}, 1, "", "no/such/folder/tx.log: "},
        {{missing}, 1, "", "cannot start " + missing + ": "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {CRVDBG};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ChildResult r = test::run_tool(argv);
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r.exit_code, c.code) << what;
        EXPECT_EQ(r.output.substr(0, c.output.size()), c.output) << what;
        if (c.output.empty()) {
            EXPECT_EQ(r.output, "") << what;
        }
        if (c.errors.empty()) {
            EXPECT_EQ(r.errors, "") << what;
        } else {
            EXPECT_NE(r.errors.find(c.errors), std::string::npos) << what << ": " << r.errors;
        }
        if (c.code == 1) {
            // A reason follows the file's name.
            EXPECT_GT(r.errors.size(), r.errors.find(c.errors) + c.errors.size() + 2) << what << ": " << r.errors;
        }
    }
}

TEST(Debugger, WithoutADebuggerTheFirstStopTurnsIntoSteppingOver) {
    DebugInfo& record = debug_info();
    EXPECT_EQ(record.break_request, 1000);
    DebugCall call;
    debug_line_hook(0, 5, nullptr);
    EXPECT_EQ(record.break_request, 0);
    EXPECT_EQ(record.command, 1);
    EXPECT_EQ(debug_step_depth(), 1);
    EXPECT_EQ(record.line, 5);
    // A negative command other than step-out leaves everything as it is.
    record.command = -5;
    record.break_request = 3;
    debug_line_hook(0, 6, nullptr);
    EXPECT_EQ(record.command, -5);
    EXPECT_EQ(record.break_request, 3);
    record.command = 100;
    record.break_request = 1;
    debug_line_hook(0, 7, nullptr);
    EXPECT_EQ(record.command, 0);
    EXPECT_EQ(debug_step_depth(), 0);
}

}  // namespace
}  // namespace crv
