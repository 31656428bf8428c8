#include "platform/system_info.hpp"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/win32/win32_api.hpp"

#include <shlobj.h>

namespace crv::plat {

bool root_filesystem_id(std::uint32_t& id) {
    DWORD serial = 0;
    if (!GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return false;
    id = serial;
    return true;
}

// Windows reports the power state itself; the folder only matters on Linux.
int battery_percent(const char* power_supply_folder) {
    (void)power_supply_folder;
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status)) return -1;
    constexpr BYTE k_no_battery = 128;
    constexpr BYTE k_unknown = 255;
    if (status.BatteryFlag == k_unknown || (status.BatteryFlag & k_no_battery) != 0) return -1;
    if (status.BatteryLifePercent == k_unknown) return -1;
    return status.BatteryLifePercent > 100 ? 100 : status.BatteryLifePercent;
}

int ui_language_id() { return GetUserDefaultUILanguage(); }

namespace {

std::string shell_folder(int id) {
    wchar_t buffer[MAX_PATH];
    if (SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        return std::string();
    return win32::narrow_path(buffer);
}

CalendarTime from_system_time(const SYSTEMTIME& t) {
    CalendarTime c;
    c.year = t.wYear;
    c.month = t.wMonth;
    c.day = t.wDay;
    c.hour = t.wHour;
    c.minute = t.wMinute;
    c.second = t.wSecond;
    return c;
}

}  // namespace

std::string documents_folder() { return shell_folder(CSIDL_PERSONAL); }

std::string local_data_folder() { return shell_folder(CSIDL_LOCAL_APPDATA); }

CalendarTime local_time_now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return from_system_time(t);
}

CalendarTime utc_time_now() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    return from_system_time(t);
}

// The C run-time keeps its own copy of the environment beside the system's.
// Reads go to the system's, which every change through the C run-time
// (putenv, _wputenv) also updates and which started programs inherit;
// changes go through _wputenv so that getenv in portable code sees them too.
std::string env_get(const char* name) {
    if (name == nullptr || *name == 0) return std::string();
    std::wstring wide_name = win32::widen(name);
    std::wstring value(256, L'\0');
    for (;;) {
        DWORD n = GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return std::string();
        if (n < value.size()) {
            value.resize(n);
            return win32::narrow(value);
        }
        value.resize(n);
    }
}

void env_set(const char* name, const char* value) {
    if (name == nullptr || *name == 0 || std::strchr(name, '=') != nullptr) return;
    // "name=" removes the variable.
    std::wstring entry = win32::widen(name) + L"=" + win32::widen(value != nullptr ? value : "");
    _wputenv(entry.c_str());
}

std::vector<std::string> env_entries() {
    std::vector<std::string> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (block == nullptr) return entries;
    for (const wchar_t* e = block; *e != 0; e += std::wcslen(e) + 1) {
        // "=C:=C:\games": the system's per-drive folders, not variables.
        if (*e == L'=') continue;
        entries.push_back(win32::narrow(e));
    }
    FreeEnvironmentStringsW(block);
    return entries;
}

}  // namespace crv::plat
