#include "platform/system_info.hpp"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <pwd.h>
#include <string_view>
#include <sys/statvfs.h>
#include <unistd.h>

extern char** environ;

namespace crv::plat {

bool root_filesystem_id(std::uint32_t& id) {
    struct statvfs info;
    if (::statvfs("/", &info) != 0) return false;
    id = static_cast<std::uint32_t>(info.f_fsid);
    return true;
}

namespace {

std::string read_first_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != 0) return home;
    passwd entry;
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return std::string();
}

}  // namespace

int ui_language_id() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != 0) return language_id_of_locale(value);
    }
    return 1033;
}

int battery_percent(const char* power_supply_folder) {
    std::string folder = power_supply_folder != nullptr ? power_supply_folder : "";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return -1;
    long total = 0;
    int count = 0;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string device = folder + "/" + entry->d_name;
        if (read_first_line(device + "/type") != "Battery") continue;
        std::string capacity = read_first_line(device + "/capacity");
        if (capacity.empty()) continue;
        char* end = nullptr;
        long value = std::strtol(capacity.c_str(), &end, 10);
        if (end == capacity.c_str() || value < 0) continue;
        total += value > 100 ? 100 : value;
        ++count;
    }
    ::closedir(dir);
    return count == 0 ? -1 : static_cast<int>(total / count);
}

std::string documents_folder() {
    std::string home = home_folder();
    if (home.empty()) return std::string();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string config_home = (config != nullptr && *config == '/') ? config : home + "/.config";
    std::ifstream in(config_home + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::size_t close = line.find('"', key.size());
        if (close == std::string::npos) break;
        std::string value = line.substr(key.size(), close - key.size());
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
        break;
    }
    return home + "/Documents";
}

std::string local_data_folder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data == '/') return data;
    std::string home = home_folder();
    if (home.empty()) return std::string();
    return home + "/.local/share";
}

namespace {

CalendarTime from_tm(const std::tm& t) {
    CalendarTime c;
    c.year = t.tm_year + 1900;
    c.month = t.tm_mon + 1;
    c.day = t.tm_mday;
    c.hour = t.tm_hour;
    c.minute = t.tm_min;
    c.second = t.tm_sec;
    return c;
}

}  // namespace

CalendarTime local_time_now() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    ::tzset();
    ::localtime_r(&now, &t);
    return from_tm(t);
}

CalendarTime utc_time_now() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    ::gmtime_r(&now, &t);
    return from_tm(t);
}

std::string env_get(const char* name) {
    const char* value = name != nullptr ? std::getenv(name) : nullptr;
    return value != nullptr ? value : "";
}

void env_set(const char* name, const char* value) {
    if (name == nullptr || *name == 0 || std::strchr(name, '=') != nullptr) return;
    if (value == nullptr || *value == 0)
        ::unsetenv(name);
    else
        ::setenv(name, value, 1);
}

std::vector<std::string> env_entries() {
    std::vector<std::string> entries;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) entries.emplace_back(*e);
    return entries;
}

}  // namespace crv::plat
