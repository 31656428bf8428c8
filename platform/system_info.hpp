// Facts about the machine and the user's session: the file-system id, the
// battery, the user-interface language, the standard folders, clocks in
// calendar form and the process environment. Pure queries except env_set;
// unknown facts come back as the "absent" value each function names.
// Game thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crv::plat {

// The 32-bit id of the file system holding "/"; false when it cannot be read.
bool root_filesystem_id(std::uint32_t& id);

// Mean charge of the batteries listed under the power-supply folder, in
// percent; -1 when there is no battery.
int battery_percent(const char* power_supply_folder = "/sys/class/power_supply");

// The user-interface language as a Windows language identifier (LANGID):
// taken from LC_ALL, LC_MESSAGES or LANG, the first that is set. "C",
// "POSIX" and an unset locale count as English (United States), 1033;
// languages without an identifier give 0.
int ui_language_id();
int language_id_of_locale(const char* locale);

// The user's documents folder (XDG user folder, else ~/Documents) and the
// base folder for per-user application data ($XDG_DATA_HOME, else
// ~/.local/share); empty when the home folder is unknown.
std::string documents_folder();
std::string local_data_folder();

struct CalendarTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
CalendarTime local_time_now();
CalendarTime utc_time_now();

// Empty when the variable is not set.
std::string env_get(const char* name);
// An empty value removes the variable.
void env_set(const char* name, const char* value);
// Every "name=value" entry of the environment in the process's order.
std::vector<std::string> env_entries();

}  // namespace crv::plat
