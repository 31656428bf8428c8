// A small game program for the tests that need a process of their own:
// program end with held files, saves interrupted by a kill or a full disk,
// the call-by-name table and foreign binding seen through the debugger
// channel and the log, and reading from a pack appended to this very
// executable; or it just exits with a given code, at once or after a
// pause. The first argument picks what it does.
#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "app/termination.hpp"
#include "platform/debug_channel.hpp"
#include "sys/channels.hpp"
#include "sys/foreign.hpp"
#include <corvane/sys.hpp>
#include "sys/settings.hpp"
#include "sys/sys_lifecycle.hpp"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

int pauses = 0;

void on_pause() { ++pauses; }
void end_now() { crv::end_program(); }

// Registered the way a game registers its named subroutines.
const crv::CallByNameEntry call_table[] = {
    {on_pause, "CRV_ON_PAUSE"},
    {end_now, "CRV_END_NOW"},
    {nullptr, nullptr},
};
crv::CallByNameTable call_table_registration(call_table);

void say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Every save writes the same keys with one generation number, so that a
// reader can tell a whole file from a torn one.
// The values are long so that a save takes many pages of writing.
void put_generation(int generation, int keys) {
    crv::DynString value(generation);
    crv::DynString long_value = value + std::string(400, 'p').c_str();
    for (int i = 0; i < keys; ++i)
        crv::settings_put(crv::DynString("S") + (i % 10), crv::DynString("key") + i, long_value);
    crv::settings_put("end", "ok", value);
}

int ways_of_ending(const std::string& how, const std::string& folder) {
    crv::settings_open(crv::DynString((folder + "/s.ini").c_str()));
    crv::settings_put("Game", "score", "42");
    crv::line_write_text(crv::DynString((folder + "/l.txt").c_str()), 2, "third");
    if (how == "end") crv::end_program();
    if (how == "fatal") crv::channel_read_int(0);  // nothing open: fatal
    if (how == "callback") crv::call_by_name("CRV_END_NOW");
    return 0;  // "return": a plain return from main
}

int save_loop(const std::string& file) {
    crv::settings_open(file.c_str());
    for (int generation = 1;; ++generation) {
        put_generation(generation, 3000);
        crv::settings_save();
        if (generation == 1) say("saved\n");
    }
}

#ifndef _WIN32
int full_disk(const std::string& file) {
    crv::settings_open(file.c_str());
    put_generation(2, 3000);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    crv::settings_save();
    say("tried\n");
    return 0;
}
#endif

int callbacks() {
    crv::plat::debugger_connect_from_environment();
    std::string results;
    for (const char* name : {"CRV_ON_PAUSE", "CRV_ON_RESUME", "CRV_ON_QUIT", "CRV_WIN32_MSG", "crv_on_pause"})
        results += std::to_string(crv::call_by_name(name)) + " ";
    say(results + "pauses=" + std::to_string(pauses) + "\n");
    return 0;
}

int (*add)(int, int) = nullptr;
double (*cosine)(double) = nullptr;
double (*sine)(double) = nullptr;
void (*missing1)() = nullptr;
void (*missing2)() = nullptr;
void (*no_entry)() = nullptr;

int foreign(const std::string& library) {
    crv::plat::debugger_connect_from_environment();
    crv::log_start_fresh();
    crv::foreign_declare(library.c_str(), "crv_test_add", add);
    crv::foreign_declare(MATH_LIBRARY, "cos", cosine);
    crv::foreign_declare(MATH_LIBRARY_UPPER_CASE, "sin", sine);
    crv::foreign_declare("libcrv-missing.so", "first", missing1);
    crv::foreign_declare("libcrv-missing.so", "second", missing2);
    crv::foreign_declare(library.c_str(), "no_such_entry", no_entry);
    crv::foreign_bind_all();
    char line[200];
    std::snprintf(line, sizeof line, "add=%d cos=%g sin=%g nulls=%d%d%d modules=%d\n", add ? add(2, 3) : -1,
                  cosine ? cosine(0) : -1, sine ? sine(0) : -1, missing1 == nullptr, missing2 == nullptr,
                  no_entry == nullptr, crv::foreign_module_count());
    say(line);
    crv::foreign_release_all();
    return 0;
}

// Everything below is looked up beside the executable first, then in the
// pack appended to it.
int from_pack() {
    crv::enter_executable_folder();
    crv::pack_contexts_create();
    std::string out;
    if (crv::channel_open(0, "data/readme.txt", 1)) {
        crv::DynString line;
        crv::channel_read_line(0, line);
        out += std::string("channel=") + line.text() + "\n";
    } else {
        out += "channel=missing\n";
    }
    crv::settings_open("config.ini");
    out += std::string("setting=") + crv::settings_get("Video", "width", "none").text() + "\n";
    crv::DynString text;
    crv::line_read_text("lines.txt", 1, text);
    out += std::string("line=") + text.text() + "\n";
    crv::settings_put("Video", "height", "480");
    say(out);
    crv::end_program();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string what = argv[1];
    std::string arg = argc > 2 ? argv[2] : "";
    if (what == "end" || what == "fatal" || what == "callback" || what == "return") return ways_of_ending(what, arg);
    if (what == "save-loop") return save_loop(arg);
#ifndef _WIN32
    if (what == "full-disk") return full_disk(arg);
#endif
    if (what == "callbacks") return callbacks();
    if (what == "foreign") return foreign(arg);
    if (what == "pack") return from_pack();
    if (what == "exit") return std::atoi(arg.c_str());
    if (what == "sleep-exit") {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return std::atoi(arg.c_str());
    }
    return 2;
}
