// Started by the process tests: writes its arguments, one per line, and the
// value of CRV_CHILD_ENV to the file named by its first argument, then exits
// with the number given as its second argument.
#include "platform/files.hpp"
#include "platform/system_info.hpp"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 100;
    std::string report;
    for (int i = 3; i < argc; ++i) report += std::string(argv[i]) + "\n";
    report += "env=" + crv::plat::env_get("CRV_CHILD_ENV") + "\n";
    if (!crv::plat::file_replace_contents(argv[1], report.data(), report.size())) return 101;
    return std::atoi(argv[2]);
}
