#include "runtime/log.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace crv {
namespace {

struct FatalCase {
    const char* name;
    int code;
    std::vector<std::string> messages;
};

TEST(Termination, FatalPathsReportRecordAndEndCleanly) {
    const FatalCase cases[] = {
        {"bounds", 9, {"TXbounds: [ 121]\n", "TXaccess: [ 121]\n"}},
        {"bounds2d", 9, {"TXbounds: [  10][   3]\n", "TXaccess: [   2][   3]\n"}},
        {"append2d", 8, {}},
        {"data", 20, {}},
        {"assert", 21, {"TXAssertion: Value = 0\n"}},
        {"end", 0, {}},
    };
    for (const FatalCase& c : cases) {
        test::TempDir tmp;
        test::ChildResult r = test::run_child({FATAL_CHILD, c.name}, {{test::k_temp_variable, tmp.path()}}, true);
        EXPECT_EQ(r.exit_code, 0) << c.name;
        EXPECT_EQ(r.output, "exit\n") << c.name;
        EXPECT_EQ(r.debugger_messages, c.messages) << c.name;
        // error_line is the current line when set_error ran; a plain end never set it.
        std::string error_line = c.code == 0 ? "0" : "42";
        std::string expected_log = "Start new log...\n-End On Line\n" + std::to_string(c.code) + "\n" +
                                   error_line + "\n42\n3\n";
        EXPECT_EQ(tmp.read("ErrorLog.txt"), expected_log) << c.name;
    }
}

TEST(Termination, WithoutADebuggerNothingIsSent) {
    test::TempDir tmp;
    test::ChildResult r = test::run_child({FATAL_CHILD, "bounds"}, {{test::k_temp_variable, tmp.path()}}, false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.debugger_messages.empty());
    EXPECT_NE(tmp.read("ErrorLog.txt").find("-End On Line\n9\n42\n42\n3\n"), std::string::npos);
}

TEST(DebugLog, AppendsTextsAndSurvivesAMissingFolder) {
    test::TempDir tmp;
    test::ScopedEnv temp_folder(test::k_temp_variable, tmp.path().c_str());
    log_write("stale\n");
    log_start_fresh();
    log_write("one\n");
    log_write(nullptr);
    log_write("");
    log_write("two\n");
    // A DynString is written whole, a zero byte included; an empty one
    // writes nothing.
    DynString counted("three");
    counted += '\0';
    counted += "four\n";
    log_write(counted);
    log_write(DynString());
    EXPECT_EQ(tmp.read("ErrorLog.txt"), std::string("Start new log...\none\nNULLtwo\nthree") + '\0' + "four\n");
    test::set_env(test::k_temp_variable, (tmp.path() + "/missing").c_str());
    log_write("lost\n");  // five silent attempts, then dropped
}

}  // namespace
}  // namespace crv
