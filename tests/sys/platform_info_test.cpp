#include "platform/system_info.hpp"
#include "sys/platform_info.hpp"
#include "tests/sys/sys_test_util.hpp"

#include <cerrno>
#include <chrono>
#include <set>
#include <thread>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace crv {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::write_file;

TEST(PlatformInfo, FixedAnswersAndKeyCase) {
    EXPECT_EQ(platform_info(""), "WIN32");
    EXPECT_EQ(platform_info("device"), "DESKTOP");
    EXPECT_EQ(platform_info("no such key"), "NO_DATA");
    EXPECT_EQ(platform_info("GLEXT"), "NO_DATA");
    set_program_build_info({"Aug  7 2011 09:05:03", "1a2b3c4d", "000.001"});
    EXPECT_EQ(platform_info("Compiled"), "Aug  7 2011 09:05:03");
    EXPECT_EQ(platform_info("hostid"), "1a2b3c4d");
    EXPECT_EQ(platform_info("VERSION"), "000.001");
}

TEST(PlatformInfo, LocaleFollowsTheLanguageTable) {
    struct Case {
        int id;
        const char* code;
    };
    const Case ids[] = {{1033, "uk"}, {2057, "us"}, {3079, "de"}, {1032, "gr"}, {1047, "us"}, {1041, "jp"},
                        {3082, "es"}, {1058, "uk"}, {2052, "ch"}, {3076, "zh"}, {3098, "sr"}, {0, "us"}};
    for (const Case& c : ids) EXPECT_EQ(locale_code(c.id), c.code) << c.id;

    struct LocaleCase {
        const char* lc_all;
        const char* lang;
        const char* code;
    };
    const LocaleCase locales[] = {
        {nullptr, "en_US.UTF-8", "uk"}, {nullptr, "en_GB.UTF-8", "us"}, {nullptr, "de_AT.UTF-8@euro", "de"},
        {nullptr, "el_GR", "gr"},       {nullptr, "rm_CH.UTF-8", "us"}, {nullptr, "es_ES.UTF-8", "es"},
        {nullptr, "sr_RS@latin", "sr"}, {nullptr, "C", "uk"},           {nullptr, nullptr, "uk"},
        {"fr_CA.UTF-8", "de_DE", "fr"}, {"", "ja_JP.UTF-8", "jp"},      {nullptr, "xx_YY", "us"},
    };
    ScopedEnv messages("LC_MESSAGES", nullptr);
    for (const LocaleCase& c : locales) {
        ScopedEnv all("LC_ALL", c.lc_all);
        ScopedEnv lang("LANG", c.lang);
        EXPECT_EQ(platform_info("LOCALE"), c.code) << (c.lang ? c.lang : "unset");
        EXPECT_EQ(platform_info("locale"), c.code);
    }
    EXPECT_EQ(plat::language_id_of_locale("de_AT.UTF-8"), 3079);
    EXPECT_EQ(plat::language_id_of_locale("en_GB"), 2057);
}

TEST(PlatformInfo, TimeIdAndBattery) {
    EXPECT_EQ(format_time_text(2011, 8, 7, 9, 5, 3), "2011-08-07 09:05:03");
    {
        ScopedEnv tz("TZ", "UTC");
        DynString before = platform_info("UTCTIME");
        DynString local = platform_info("time");
        DynString after = platform_info("UTCTIME");
        EXPECT_TRUE(local == before || local == after) << local.text();
        EXPECT_EQ(local.length(), 19u);
    }

    // The machine id: eight upper-case hexadecimal digits, the same at
    // every call, taken from the file system's id.
    DynString id = platform_info("ID");
    EXPECT_EQ(id.length(), 8u);
    EXPECT_EQ(std::string(id.text()).find_first_not_of("0123456789ABCDEF"), std::string::npos) << id.text();
    EXPECT_EQ(platform_info("id"), id);
    std::uint32_t volume = 0;
    ASSERT_TRUE(plat::root_filesystem_id(volume));
    EXPECT_EQ(machine_id_for(&volume), id);

    DynString battery = platform_info("BATTERY");
    EXPECT_GE(battery.to_int(), 0);
    EXPECT_LE(battery.to_int(), 100);
}

TEST(PlatformInfo, BatteriesOfThePowerSupplyFolderAreAveraged) {
    TempDir supply;
    EXPECT_EQ(plat::battery_percent(supply.path().c_str()), -1);
    for (auto [device, type, capacity] : {std::tuple{"AC", "Mains", "0"}, std::tuple{"BAT0", "Battery", "40"},
                                          std::tuple{"BAT1", "Battery", "61"}}) {
        test::make_folder(supply.file(device));
        write_file(supply.file(std::string(device) + "/type"), std::string(type) + "\n");
        write_file(supply.file(std::string(device) + "/capacity"), std::string(capacity) + "\n");
    }
    EXPECT_EQ(plat::battery_percent(supply.path().c_str()), 50);
    EXPECT_EQ(plat::battery_percent((supply.path() + "/none").c_str()), -1);
}

TEST(PlatformInfo, MachineIdsOfDifferentVolumesDiffer) {
    // Two digits per byte of the volume id, lowest byte first: a change in
    // one byte changes that byte's two digits and no others.
    const std::uint32_t volumes[] = {0, 1, 0x100, 0x10000, 0x1000000, 0xffffffff, 0x12345678, 16390125};
    std::set<std::string> seen;
    for (std::uint32_t volume : volumes) {
        std::string text = machine_id_for(&volume).text();
        EXPECT_TRUE(seen.insert(text).second) << "two volumes share " << text;
        for (int byte = 0; byte < 4; ++byte) {
            std::uint32_t other = volume ^ (0x5aU << (8 * byte));
            std::string changed = machine_id_for(&other).text();
            for (int digit = 0; digit < 8; ++digit)
                EXPECT_EQ(changed[digit] != text[digit], digit / 2 == byte) << volume << " byte " << byte;
        }
    }
    // Without a volume id the answer is still a valid, fixed id.
    EXPECT_EQ(machine_id_for(nullptr), machine_id_for(nullptr));
    EXPECT_EQ(machine_id_for(nullptr).length(), 8u);
}

std::string asked_for;

TEST(PlatformInfo, GlExtensionsGoThroughTheFrameHook) {
    EXPECT_EQ(platform_info("GLEXT:glGenBuffersARB"), "0");
    SysFrameHooks hooks;
    hooks.gl_entry_point_exists = [](const char* name) {
        asked_for = name;
        return std::string(name) == "glGenBuffersARB";
    };
    set_sys_frame_hooks(hooks);
    EXPECT_EQ(platform_info("glext:glGenBuffersARB"), "1");
    EXPECT_EQ(asked_for, "glGenBuffersARB");  // in the case the program wrote it
    EXPECT_EQ(platform_info("GLEXT:"), "0");
    EXPECT_EQ(asked_for, "");
    set_sys_frame_hooks(SysFrameHooks{});
}

TEST(PlatformInfo, Folders) {
    TempDir home;
    ScopedEnv home_env("HOME", home.path().c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(platform_info("DOCUMENTS"), (home.path() + "/Documents").c_str());
    test::make_folder(home.file(".config"));
    write_file(home.file(".config/user-dirs.dirs"), "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    EXPECT_EQ(platform_info("documents"), (home.path() + "/Papers").c_str());

    EXPECT_EQ(platform_info("APPDATA"), (home.path() + "/.local/share/Corvane").c_str());
    EXPECT_TRUE(test::exists(home.file(".local/share/Corvane")));
    ScopedEnv data_home("XDG_DATA_HOME", home.file("data").c_str());
    EXPECT_EQ(platform_info("APPDATA"), (home.path() + "/data/Corvane").c_str());
}

TEST(PlatformInfo, FoldersUseForwardSlashesAndTheApplicationFolderIsMade) {
    // On Linux the folders are made under a home of the test's own; on
    // Windows they are the user's (an empty Corvane folder may stay).
    TempDir home;
    ScopedEnv home_env("HOME", home.path().c_str());
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    // (TEMP is the variable as the system set it: on Windows with "\\".)
    for (const char* key : {"DOCUMENTS", "APPDATA"}) {
        std::string folder = platform_info(key).text();
        EXPECT_NE(folder, "NO_DATA") << key;
        EXPECT_EQ(folder.find('\\'), std::string::npos) << key << ": " << folder;
    }
    std::string app_data = platform_info("APPDATA").text();
    EXPECT_EQ(app_data.substr(app_data.size() - 8), "/Corvane");
    EXPECT_TRUE(test::exists(app_data));
}

TEST(PlatformInfo, TempIsTheTempVariableElseTheTemporaryFolder) {
    TempDir home;
    {
        ScopedEnv temp("TEMP", "/some/temp");
        EXPECT_EQ(platform_info("TEMP"), "/some/temp");
    }
    ScopedEnv temp("TEMP", nullptr);
    ScopedEnv tmpdir(test::k_temp_variable, home.path().c_str());
    EXPECT_EQ(platform_info("TEMP"), home.path().c_str());
}

TEST(Environment, GetSetAndTheWholeEnvironment) {
    ScopedEnv clean("CRV_TEST_VARIABLE", nullptr);
    EXPECT_EQ(env_get("CRV_TEST_VARIABLE"), "");
    env_set("CRV_TEST_VARIABLE", "a value=with equals");
    EXPECT_EQ(env_get("CRV_TEST_VARIABLE"), "a value=with equals");
    std::string all = env_get("").text();
    EXPECT_NE(all.find("CRV_TEST_VARIABLE=a value=with equals\n"), std::string::npos);
    EXPECT_EQ(all.back(), '\n');
    env_set("CRV_TEST_VARIABLE", "");
    EXPECT_EQ(std::getenv("CRV_TEST_VARIABLE"), nullptr);
}

int before_calls = 0, after_calls = 0;

TEST(RunProgram, StartsWaitsAndReportsTheExitCode) {
    SysFrameHooks hooks;
    hooks.before_run_program = [] { ++before_calls; };
    hooks.after_run_program = [] { ++after_calls; };
    set_sys_frame_hooks(hooks);
    double code = -1;
    const std::string child = SYS_CHILD;
    EXPECT_EQ(run_program((child + " exit 3").c_str(), 1, 1, code), 1);
    EXPECT_EQ(code, 3);
    code = -1;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_program((child + " sleep-exit 5").c_str(), 0, 0, code), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));  // did not wait
    EXPECT_EQ(code, 0);
    EXPECT_EQ(run_program("/no/such/program", 1, 1, code), 0);
    EXPECT_EQ(run_program("", 1, 1, code), 0);
    EXPECT_EQ(before_calls, 4);
    EXPECT_EQ(after_calls, 4);
    set_sys_frame_hooks(SysFrameHooks{});
}

#ifndef _WIN32
// Windows has no zombies: a program's end needs no one to wait for it.
TEST(RunProgram, AProgramNotWaitedForLeavesNoChildBehind) {
    // Nothing of ours is left to reap: neither the program still running
    // nor, once it has ended, a zombie. (The program is not our child.)
    double code = -1;
    EXPECT_EQ(run_program("/no/such/program", 0, 0, code), 0);
    EXPECT_EQ(run_program((std::string(SYS_CHILD) + " exit 42").c_str(), 0, 0, code), 1);
    for (int waited = 0; waited < 10000; waited += 20) {
        int status = 0;
        pid_t child = ::waitpid(-1, &status, WNOHANG);
        if (child < 0) {
            EXPECT_EQ(errno, ECHILD);
            return;
        }
        ASSERT_EQ(child, 0) << "a child ended with status " << status << " and was left unreaped";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "a child is still running";
}
#endif

}  // namespace
}  // namespace crv
