#include "sys/foreign.hpp"
#include "tests/sys/sys_test_util.hpp"

namespace crv {
namespace {

using test::run_child;
using test::TempDir;

int counts[3];
void first() { ++counts[0]; }
void second() { ++counts[1]; }
void shadowed() { ++counts[2]; }

TEST(CallByName, FindsExactNamesInTableOrder) {
    const CallByNameEntry table[] = {
        {first, "First"}, {second, "Second"}, {shadowed, "First"}, {nullptr, "Hidden"}, {shadowed, "Hidden"},
    };
    set_call_by_name_table(table);
    EXPECT_EQ(call_by_name("First"), 1);
    EXPECT_EQ(call_by_name("Second"), 1);
    EXPECT_EQ(call_by_name("first"), 0);  // case matters
    EXPECT_EQ(call_by_name("Hidden"), 0);  // beyond the end of the table
    EXPECT_EQ(call_by_name(""), 0);
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[1], 1);
    EXPECT_EQ(counts[2], 0);
    EXPECT_EQ(find_by_name("Second"), &second);
    EXPECT_EQ(find_by_name("Third"), nullptr);
    set_call_by_name_table(nullptr);
    EXPECT_EQ(call_by_name("First"), 0);
}

TEST(CallByName, TheFrameCallbacksReachTheGameAndMissingOnesAreReported) {
    TempDir tmp;
    test::ChildResult r = run_child({SYS_CHILD, "callbacks"}, {{test::k_temp_variable, tmp.path()}}, true);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "1 0 0 0 0 pauses=1\n");
    const std::vector<std::string> expected = {
        "TXCALLBYNAME \"CRV_ON_RESUME\" *** failed ***\n",
        "TXCALLBYNAME \"crv_on_pause\" *** failed ***\n",
    };
    EXPECT_EQ(r.debugger_messages, expected);
}

TEST(ForeignBinding, BindsFromRealLibrariesAndReportsWhatIsMissing) {
    TempDir tmp;
    test::ChildResult r = run_child({SYS_CHILD, "foreign", FOREIGN_LIBRARY}, {{test::k_temp_variable, tmp.path()}}, true);
    EXPECT_EQ(r.exit_code, 0);
    // The math library is loaded once for its two declarations, whatever their case.
    EXPECT_EQ(r.output, "add=5 cos=1 sin=0 nulls=111 modules=2\n");
    const std::vector<std::string> messages = {
        "TXDECLARE module not found: libcrv-missing.so\n",
        "TXDECLARE module not found: libcrv-missing.so\n",
        "TXDECLARE entry not found: no_such_entry\n",
    };
    EXPECT_EQ(r.debugger_messages, messages);
    EXPECT_EQ(tmp.read("ErrorLog.txt"),
              "Start new log...\nDelay load DLLs\n"
              "DECLARE module not found: libcrv-missing.so\nDECLARE module not found: libcrv-missing.so\n"
              "DECLARE entry not found: no_such_entry\n");
}

TEST(ForeignBinding, NothingDeclaredLogsNothing) {
    TempDir tmp;
    test::ScopedEnv temp(test::k_temp_variable, tmp.path().c_str());
    foreign_release_all();
    EXPECT_FALSE(foreign_has_declarations());
    foreign_bind_all();
    EXPECT_FALSE(test::exists(tmp.file("ErrorLog.txt")));

    double (*floor_of)(double) = reinterpret_cast<double (*)(double)>(1);
    foreign_declare(MATH_LIBRARY, "floor", floor_of);
    EXPECT_EQ(floor_of, nullptr);  // null until bound
    EXPECT_TRUE(foreign_has_declarations());
    foreign_bind_all();
    ASSERT_NE(floor_of, nullptr);
    EXPECT_EQ(floor_of(2.5), 2.0);
    EXPECT_EQ(tmp.read("ErrorLog.txt"), "Delay load DLLs\n");
    foreign_release_all();
    EXPECT_EQ(foreign_module_count(), 0);
}

}  // namespace
}  // namespace crv
