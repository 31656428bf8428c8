#include "platform/dynlib.hpp"
#include "platform/process.hpp"
#include "platform/system_info.hpp"
#include "tests/platform/platform_test_util.hpp"

#include <corvane/sys.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace crv {
namespace {

using test::PlatformTempDir;
using test::read_all;

// Programs and libraries built for the tests lie beside the test program.
std::string beside_this_program(const char* leaf) {
    std::string self = plat::executable_path();
    return self.substr(0, self.rfind('/') + 1) + leaf;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

TEST(PlatformProcess, WaitsForTheExitCodeAndSplitsArguments) {
    PlatformTempDir dir;
    const std::string report = dir.file("report.txt");
    plat::env_set("CRV_CHILD_ENV", "inherited \xc3\xa9");
    const std::string line = quoted(beside_this_program(PLATFORM_CHILD)) + " " + quoted(report) +
                             " 7 plain \"two words\" say\\\"hi\\\"";
    int code = -1;
    ASSERT_TRUE(plat::start_process(line.c_str(), true, &code));
    plat::env_set("CRV_CHILD_ENV", "");
    EXPECT_EQ(code, 7);
    EXPECT_EQ(read_all(report), "plain\ntwo words\nsay\"hi\"\nenv=inherited \xc3\xa9\n");
}

// The show command a game passes reaches the program's start-up
// information on Windows (which the program's first window obeys); on
// Linux there is none and every program reports the default.
TEST(PlatformProcess, TheShowCommandReachesTheProgram) {
    const std::string line = quoted(beside_this_program(PLATFORM_CHILD)) + " show";
    const struct {
        double show;
        int windows;
    } cases[] = {{0, 0}, {1, 1}, {7, 7}, {10, 10}, {2.5, 2}, {-1, 10}, {12, 10}};
    for (const auto& c : cases) {
        double code = -1;
        ASSERT_EQ(run_program(DynString(line.c_str()), 1, c.show, code), 1);
#ifdef _WIN32
        EXPECT_EQ(code, c.windows) << "show " << c.show;
#else
        EXPECT_EQ(code, plat::k_show_default) << "show " << c.show;
#endif
    }
}

TEST(PlatformProcess, StartsWithoutWaitingAndRefusesMissingPrograms) {
    PlatformTempDir dir;
    const std::string report = dir.file("report.txt");
    const std::string line = quoted(beside_this_program(PLATFORM_CHILD)) + " " + quoted(report) + " 0 alone";
    ASSERT_TRUE(plat::start_process(line.c_str(), false, nullptr));
    for (int i = 0; i < 500 && plat::path_kind(report.c_str()) != plat::PathKind::file; ++i) plat::sleep_ms(20);
    EXPECT_EQ(read_all(report), "alone\nenv=\n");

    int code = 5;
    EXPECT_FALSE(plat::start_process(dir.file("no_such_program").c_str(), true, &code));
    EXPECT_FALSE(plat::start_process("   ", true, &code));
    EXPECT_EQ(code, 0);
}

TEST(PlatformLibrary, FindsExportsAndFailsQuietly) {
    plat::Library* library = plat::library_open(beside_this_program(PLATFORM_TEST_LIBRARY).c_str());
    ASSERT_NE(library, nullptr);
    auto* add = reinterpret_cast<int (*)(int, int)>(plat::library_symbol(library, "crv_test_add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(plat::library_symbol(library, "crv_no_such_export"), nullptr);
    plat::library_close(library);
    EXPECT_EQ(plat::library_open(beside_this_program("no_such_library.dll").c_str()), nullptr);
}

TEST(PlatformEnvironment, SetGetListAndRemove) {
    plat::env_set("CRV_PLATFORM_TEST", "v\xc3\xa4lue=1");
    EXPECT_EQ(plat::env_get("CRV_PLATFORM_TEST"), "v\xc3\xa4lue=1");
    auto entries = plat::env_entries();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "CRV_PLATFORM_TEST=v\xc3\xa4lue=1"), 1);
    plat::env_set("CRV_PLATFORM_TEST", "");
    EXPECT_EQ(plat::env_get("CRV_PLATFORM_TEST"), "");
    entries = plat::env_entries();
    EXPECT_TRUE(std::none_of(entries.begin(), entries.end(),
                             [](const std::string& e) { return e.rfind("CRV_PLATFORM_TEST=", 0) == 0; }));
    plat::env_set("BAD=NAME", "x");
    EXPECT_EQ(plat::env_get("BAD"), "");
}

}  // namespace
}  // namespace crv
