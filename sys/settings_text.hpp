// The text of a settings file as sections of key/value pairs: "[section]"
// headers and "key=value" lines; blank lines and lines starting with ";"
// are skipped, as are lines without "=" or without a key; pairs before any
// header form a section with no name. A header opens a section only once a
// pair follows it. Parsing never fails: whatever does not fit the form is
// skipped. Used by the settings store and by the 3D world files, which
// share the format. Pure functions, any thread.
#pragma once

#include <string>
#include <vector>

namespace crv {

struct SettingsPair {
    std::string key;
    std::string value;  // trailing control characters removed
};

struct SettingsSection {
    std::string name;
    std::vector<SettingsPair> pairs;
};

std::vector<SettingsSection> parse_settings_text(const std::string& text);

// Section and key names match ignoring ASCII case.
bool same_settings_name(const std::string& a, const char* b);

}  // namespace crv
