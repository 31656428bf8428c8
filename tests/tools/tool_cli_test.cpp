// The command-line manners every tool shares: --help on standard output
// with exit 0, --version, wrong usage on standard error with exit 2, and
// failures that name the file and the reason with exit 1.
#include "tests/tools/tool_run.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace crv {
namespace {

struct Tool {
    const char* name;
    const char* path;
};
const Tool k_tools[] = {{"crvpack", CRVPACK}, {"crvmesh", CRVMESH}, {"crvfont", CRVFONT}};

TEST(ToolManners, HelpAndVersionGoToStandardOutput) {
    for (const Tool& t : k_tools) {
        for (const char* help : {"--help", "-h"}) {
            const test::ChildResult r = test::run_tool({t.path, help});
            EXPECT_EQ(r.exit_code, 0) << t.name << " " << help;
            EXPECT_EQ(r.output.rfind(std::string("usage: ") + t.name + " ", 0), 0u) << t.name << ": " << r.output;
            EXPECT_EQ(r.errors, "") << t.name;
        }
        const test::ChildResult r = test::run_tool({t.path, "--version"});
        EXPECT_EQ(r.exit_code, 0) << t.name;
        EXPECT_EQ(r.output, std::string(t.name) + " " + CRV_VERSION + "\n");
        EXPECT_EQ(r.errors, "") << t.name;
    }
}

TEST(ToolManners, WrongUsageShowsTheUsageOnStandardErrorAndExits2) {
    test::TempDir dir;
    const std::string file = dir.file("f");
    std::ofstream(file) << "x";
    struct Case {
        const char* tool;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {CRVPACK, {}},
        {CRVPACK, {"unknown", file}},
        {CRVPACK, {"list", file, "more"}},
        {CRVMESH, {}},
        {CRVMESH, {"info"}},
        {CRVMESH, {"info", file, "more"}},
        {CRVMESH, {"convert", file}},
        {CRVMESH, {"--bogus"}},
        {CRVFONT, {}},
        {CRVFONT, {file, "16"}},
        {CRVFONT, {file, "16", file, "extra"}},
        {CRVFONT, {file, "sixteen", file}},
        {CRVFONT, {file, "3", file}},
        {CRVFONT, {file, "257", file}},
        {CRVFONT, {file, "16", file, "--bold"}},
        {CRVFONT, {file, "16", file, "--outline"}},
        {CRVFONT, {file, "16", file, "--outline", "17"}},
        {CRVFONT, {file, "16", file, "--outline", "-1"}},
        {CRVFONT, {file, "16", file, "--chars"}},
        {CRVFONT, {file, "16", file, "--chars", "126-32"}},
        {CRVFONT, {file, "16", file, "--chars", "32-256"}},
        {CRVFONT, {file, "16", file, "--chars", "32,,40"}},
        {CRVFONT, {file, "16", file, "--chars", "a-z"}},
        {CRVFONT, {file, "16", file, "--chars=0x20-"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{c.tool};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const test::ChildResult r = test::run_tool(argv);
        const std::string shown = test::shown(argv);
        EXPECT_EQ(r.exit_code, 2) << shown;
        EXPECT_EQ(r.output, "") << shown;
        EXPECT_NE(r.errors.find("usage: "), std::string::npos) << shown << ": " << r.errors;
    }
}

TEST(ToolManners, FailuresNameTheFileAndTheReason) {
    test::TempDir dir;
    const std::string missing = dir.file("missing.bin");
    const std::string junk = dir.file("junk.bin");
    std::ofstream(junk) << "not what any of the tools reads";
    const std::string nowhere = dir.file("no-such-folder/out.bin");
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        std::string file, reason;
    };
    const Case cases[] = {
        {CRVPACK, {"list", missing}, missing, "No such file or directory"},
        {CRVPACK, {"list", junk}, junk, "holds no pack"},
        {CRVPACK, {"create", dir.file("p"), missing}, missing, "No such file or directory"},
        {CRVPACK, {"create", nowhere, junk}, nowhere, "No such file or directory"},
        {CRVPACK, {"strip", dir.path()}, dir.path(), "not a regular file"},
        {CRVMESH, {"info", missing}, missing, "No such file or directory"},
        {CRVMESH, {"info", junk}, junk, "not a mesh"},
        {CRVMESH, {"convert", dir.file("o.zvd"), missing}, missing, "No such file or directory"},
        {CRVMESH, {"convert", dir.file("o.zvd"), junk}, junk, "no faces"},
        {CRVFONT, {missing, "16", dir.file("o.png")}, missing, "No such file or directory"},
        {CRVFONT, {junk, "16", dir.file("o.png")}, junk, "not a font"},
        {CRVFONT, {dir.path(), "16", dir.file("o.png")}, dir.path(), "not a font"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{c.tool};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const test::ChildResult r = test::run_tool(argv);
        const std::string shown = test::shown(argv);
        EXPECT_EQ(r.exit_code, 1) << shown;
        EXPECT_NE(r.errors.find(c.file + ": "), std::string::npos) << shown << ": " << r.errors;
        EXPECT_NE(r.errors.find(c.reason), std::string::npos) << shown << ": " << r.errors;
        EXPECT_EQ(r.errors.find("usage: "), std::string::npos) << shown << ": " << r.errors;
    }
    EXPECT_FALSE(std::ifstream(dir.file("o.png")).good());
    EXPECT_FALSE(std::ifstream(dir.file("o.zvd")).good());
    EXPECT_FALSE(std::ifstream(dir.file("p")).good());
}

}  // namespace
}  // namespace crv
