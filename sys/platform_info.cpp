#include "sys/platform_info.hpp"

#include "platform/files.hpp"
#include "platform/paths.hpp"
#include "platform/process.hpp"
#include "platform/system_info.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

namespace crv {

namespace {

SysFrameHooks& hooks() {
    static SysFrameHooks h;
    return h;
}

ProgramBuildInfo& build_info() {
    static ProgramBuildInfo info{__DATE__ " " __TIME__, "00000000", "000.000"};
    return info;
}

constexpr std::uint32_t k_initial_serial = 16390125;
constexpr std::uint32_t k_serial_mask = 0x5e31a7c4;

struct LanguageCode {
    int id;
    char code[3];
};

// Stored upper case; Greek is "EL" and English outside the United States
// "EN", both answered with their own codes below.
constexpr LanguageCode k_language_codes[] = {
    {1025, "AR"}, {2049, "AR"}, {3073, "AR"}, {4097, "AR"}, {5121, "AR"}, {6145, "AR"}, {7169, "AR"},
    {8193, "AR"}, {9217, "AR"}, {10241, "AR"}, {11265, "AR"}, {12289, "AR"}, {13313, "AR"}, {14337, "AR"},
    {15361, "AR"}, {16385, "AR"}, {1026, "BG"}, {1027, "CA"}, {1028, "CH"}, {2052, "CH"}, {1029, "CS"},
    {1030, "DA"}, {1031, "DE"}, {2055, "DE"}, {3079, "DE"}, {4103, "DE"}, {5127, "DE"}, {1032, "EL"},
    {1033, "UK"}, {1058, "UK"}, {1034, "ES"}, {2058, "ES"}, {3082, "ES"}, {4106, "ES"}, {5130, "ES"},
    {6154, "ES"}, {7178, "ES"}, {8202, "ES"}, {9226, "ES"}, {10250, "ES"}, {11274, "ES"}, {12298, "ES"},
    {13322, "ES"}, {14346, "ES"}, {15370, "ES"}, {16394, "ES"}, {17418, "ES"}, {18442, "ES"}, {19466, "ES"},
    {20490, "ES"}, {1035, "FI"}, {1036, "FR"}, {2060, "FR"}, {3084, "FR"}, {4108, "FR"}, {5132, "FR"},
    {6156, "FR"}, {1037, "HE"}, {1038, "HU"}, {1039, "IS"}, {1040, "IT"}, {2064, "IT"}, {1041, "JP"},
    {1042, "KO"}, {1043, "NL"}, {2067, "NL"}, {1044, "NO"}, {2068, "NO"}, {1045, "PL"}, {1046, "PT"},
    {2070, "PT"}, {1048, "RO"}, {1049, "RU"}, {1050, "HR"}, {1051, "SK"}, {1052, "SQ"}, {1053, "SV"},
    {2077, "SV"}, {1054, "TH"}, {1055, "TR"}, {1056, "UR"}, {2080, "UR"}, {1057, "IN"}, {1059, "BE"},
    {1093, "BE"}, {1060, "SL"}, {1061, "ET"}, {1062, "LV"}, {1063, "LT"}, {2087, "LT"}, {1065, "FA"},
    {1066, "VI"}, {1067, "HY"}, {1068, "AZ"}, {2092, "AZ"}, {1069, "EU"}, {1071, "MK"}, {1078, "AF"},
    {1079, "KA"}, {1099, "KA"}, {1080, "FO"}, {1081, "HI"}, {1086, "MS"}, {2110, "MS"}, {1087, "KK"},
    {1088, "KY"}, {1089, "SW"}, {1091, "UZ"}, {2115, "UZ"}, {1092, "TT"}, {1094, "PA"}, {1095, "GU"},
    {1096, "OR"}, {1097, "TA"}, {1098, "TE"}, {1100, "MA"}, {1102, "MA"}, {1101, "AS"}, {1103, "SA"},
    {1104, "MO"}, {1110, "GL"}, {1111, "KN"}, {1114, "SY"}, {1125, "DI"}, {2057, "EN"}, {3081, "EN"},
    {4105, "EN"}, {5129, "EN"}, {6153, "EN"}, {7177, "EN"}, {8201, "EN"}, {9225, "EN"}, {10249, "EN"},
    {11273, "EN"}, {12297, "EN"}, {13321, "EN"}, {2074, "SR"}, {3098, "SR"}, {3076, "ZH"}, {4100, "ZH"},
    {5124, "ZH"},
};

DynString slashes_forward(std::string text) {
    for (char& c : text)
        if (c == '\\') c = '/';
    return DynString(text.c_str());
}

DynString machine_id() {
    std::uint32_t id = 0;
    return machine_id_for(plat::root_filesystem_id(id) ? &id : nullptr);
}

DynString time_text(const plat::CalendarTime& t) {
    return format_time_text(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

DynString app_data_folder() {
    std::string base = plat::local_data_folder();
    if (base.empty()) return DynString("NO_DATA");
    std::string folder = base + "/Corvane";
    if (plat::path_kind(folder.c_str()) != plat::PathKind::directory) plat::dir_make_all(folder.c_str());
    return slashes_forward(folder);
}

DynString temp_text() {
    std::string temp = plat::env_get("TEMP");
    if (!temp.empty()) return DynString(temp.c_str());
    // Without TEMP, the folder temporary files go to, as TEMP would name it.
    temp = plat::temp_folder();
    if (temp.size() > 1 && temp.back() == '/') temp.pop_back();
    return DynString(temp.c_str());
}

}  // namespace

DynString machine_id_for(const std::uint32_t* volume_id) {
    std::uint32_t serial = volume_id != nullptr ? *volume_id : k_initial_serial;
    serial ^= k_serial_mask;
    static const char digits[] = "0123456789ABCDEF";
    char text[9];
    for (int i = 0; i < 4; ++i) {
        unsigned byte = (serial >> (8 * i)) & 0xff;
        text[2 * i] = digits[byte >> 4];
        text[2 * i + 1] = digits[byte & 15];
    }
    text[8] = 0;
    return DynString(text);
}

void set_sys_frame_hooks(const SysFrameHooks& h) { hooks() = h; }

void set_program_build_info(const ProgramBuildInfo& info) {
    ProgramBuildInfo& current = build_info();
    if (info.compiled != nullptr) current.compiled = info.compiled;
    if (info.host_id != nullptr) current.host_id = info.host_id;
    if (info.version != nullptr) current.version = info.version;
}

DynString locale_code(int language_id) {
    const char* code = "us";
    for (const LanguageCode& row : k_language_codes) {
        if (row.id != language_id) continue;
        code = row.code;
        break;
    }
    std::string answer(code);
    if (answer == "EL") answer = "gr";
    if (answer == "EN") answer = "us";
    for (char& c : answer)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return DynString(answer.substr(0, 2).c_str());
}

DynString format_time_text(int year, int month, int day, int hour, int minute, int second) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return DynString(text);
}

DynString platform_info(const DynString& key_text) {
    std::string original(key_text.text());
    std::string key = original;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (key.empty()) return DynString("WIN32");
    if (key == "DEVICE") return DynString("DESKTOP");
    if (key.compare(0, 6, "GLEXT:") == 0) {
        bool (*query)(const char*) = hooks().gl_entry_point_exists;
        return DynString(query != nullptr && query(original.c_str() + 6) ? "1" : "0");
    }
    if (key == "ID") return machine_id();
    if (key == "TIME") return time_text(plat::local_time_now());
    if (key == "UTCTIME") return time_text(plat::utc_time_now());
    if (key == "BATTERY") {
        int percent = plat::battery_percent();
        if (percent < 0 || percent > 100) percent = 100;
        return DynString(percent);
    }
    if (key == "COMPILED") return DynString(build_info().compiled);
    if (key == "HOSTID") return DynString(build_info().host_id);
    if (key == "VERSION") return DynString(build_info().version);
    if (key == "LOCALE") return locale_code(plat::ui_language_id());
    if (key == "DOCUMENTS") {
        std::string folder = plat::documents_folder();
        return folder.empty() ? DynString("NO_DATA") : slashes_forward(folder);
    }
    if (key == "APPDATA") return app_data_folder();
    if (key == "TEMP") return temp_text();
    return DynString("NO_DATA");
}

DynString env_get(const DynString& name) {
    if (name.empty()) {
        DynString all;
        for (const std::string& entry : plat::env_entries()) {
            all += entry.c_str();
            all += "\n";
        }
        return all;
    }
    return DynString(plat::env_get(name.text()).c_str());
}

void env_set(const DynString& name, const DynString& value) { plat::env_set(name.text(), value.text()); }

int run_program(const DynString& command, double wait, double show, double& exit_code) {
    exit_code = 0;
    // The system's show commands are 0 to 11; anything else starts the
    // program the default way.
    int show_command = show >= 0 && show < 12 ? static_cast<int>(show) : plat::k_show_default;
    if (hooks().before_run_program != nullptr) hooks().before_run_program();
    int status = 0;
    bool waiting = wait != 0 && !std::isnan(wait);
    bool started = plat::start_process(command.text(), waiting, &status, show_command);
    if (started && waiting) exit_code = status;
    if (hooks().after_run_program != nullptr) hooks().after_run_program();
    return started ? 1 : 0;
}

void shell_open(const DynString& target) {
    if (hooks().before_shell_open != nullptr) hooks().before_shell_open();
    plat::open_with_default_application(target.text());
    if (hooks().after_shell_open != nullptr) hooks().after_shell_open();
}

void sleep_ms(double milliseconds) {
    if (!(milliseconds > 0)) return;
    if (milliseconds > 2147483647.0) milliseconds = 2147483647.0;
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds));
}

}  // namespace crv
