// Veltrack under crvdbg: breakpoints once per frame, variables read and
// changed while it waits, quit.
#include "tests/game/road_model.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace crv {
namespace {

TEST(VeltrackDebugger, BreakpointsVariablesAndQuit) {
    test::TempDir tmp;
    std::string script = tmp.file("script.txt");
    std::FILE* f = std::fopen(script.c_str(), "w");
    std::fputs("where\n"
               "break 0 101\n"
               "c\n"
               "p TexOffset\np SegY\np NextStretch_Str\np ZMap\np ZMap 8\n"
               "c\n"
               "p TexOffset\np SegY\n"
               "set SegY 60\n"
               "c\n"
               "p SegY\n"
               "q\n",
               f);
    std::fclose(f);
    // Game frame k is presentation 5 + k (the screen-mode change shows five).
    test::ChildResult r = test::run_child(
        {CRVDBG, "--script", script, "--tx-log", tmp.file("tx.log"), VELTRACK},
        {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CORVANE_CAPTURE_FRAMES", tmp.path() + ":8"}},
        false, 60000);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    const char* expected[] = {
        "stopped at file 0 line 32\n(crvdbg) file 0 line 32\n",
        "stopped at file 0 line 101\n(crvdbg) TexOffset = 100\n(crvdbg) SegY = 120\n"
        "(crvdbg) NextStretch_Str = \"Straight\"\n(crvdbg) ZMap = array[121]\n(crvdbg) ZMap[8] = 100\n",
        "stopped at file 0 line 101\n(crvdbg) TexOffset = 10\n(crvdbg) SegY = 119\n(crvdbg) SegY = 60\n",
        "stopped at file 0 line 101\n(crvdbg) SegY = 59\n",
        "program ended with exit code 0\n",
    };
    for (const char* part : expected) EXPECT_NE(r.output.find(part), std::string::npos) << part << "\n---\n" << r.output;

    // Frame 3 was drawn with the boundary the debugger moved (60, less one).
    test::Picture drawn = test::read_ppm(tmp.file("frame_8.ppm"));
    std::string where;
    EXPECT_EQ(test::count_differences(drawn, test::road_picture(20, 59, true, false), &where), 0) << where;

    std::string log = tmp.read("ErrorLog.txt");
    EXPECT_NE(log.find("-End On Line\n0\n"), std::string::npos) << log;
    // Every frame's "319" reached the debugger as one time-stamped text.
    std::string tx = tmp.read("tx.log");
    std::erase(tx, '\r');  // a text file: its lines end in CR LF on Windows
    EXPECT_GE(std::count(tx.begin(), tx.end(), '\n'), 3);
    EXPECT_NE(tx.find(" 319\n"), std::string::npos);
}

}  // namespace
}  // namespace crv
