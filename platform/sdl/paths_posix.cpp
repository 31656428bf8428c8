#include "platform/paths.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <climits>

namespace crv::plat {

std::string temp_folder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = (env != nullptr && *env != 0) ? env : "/tmp/";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string executable_path() {
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string command_line() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        std::string arg = raw.substr(start, end - start);
        if (!line.empty()) line += ' ';
        if (arg.find_first_of(" \t") != std::string::npos || arg.empty())
            line += '"' + arg + '"';
        else
            line += arg;
        start = end + 1;
    }
    return line;
}

bool change_directory(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

}  // namespace crv::plat
