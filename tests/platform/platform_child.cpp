// Started by the platform tests.
//   platform_child REPORT CODE ARGS...: writes ARGS, one per line, and the
//     value of CRV_CHILD_ENV to the file REPORT, then exits with CODE.
//   platform_child show: exits with the show command it was started with.
//   platform_child debug: sends "TXhello" and a break naming an int over the
//     debugger channel, then exits with the int's value (a debugger writes
//     it during the break; without one it stays 0, or 1 when the channel
//     claims a debugger but the break returns without an answer).
#include "platform/debug_channel.hpp"
#include "platform/files.hpp"
#include "platform/process.hpp"
#include "platform/system_info.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int debugged_run() {
    volatile int answer = 0;
    if (!crv::plat::debugger_connect_from_environment()) return 0;
    crv::plat::debugger_send("TXhello", 7);
    char text[40];
    std::snprintf(text, sizeof text, "BP%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&answer)));
    crv::plat::debugger_send(text, std::strlen(text));
    if (crv::plat::debugger_wait_answer() < 0) return 1;
    return answer;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "debug") == 0) return debugged_run();
    if (argc == 2 && std::strcmp(argv[1], "show") == 0) return crv::plat::startup_show_command();
    if (argc < 3) return 100;
    std::string report;
    for (int i = 3; i < argc; ++i) report += std::string(argv[i]) + "\n";
    report += "env=" + crv::plat::env_get("CRV_CHILD_ENV") + "\n";
    if (!crv::plat::file_replace_contents(argv[1], report.data(), report.size())) return 101;
    return std::atoi(argv[2]);
}
