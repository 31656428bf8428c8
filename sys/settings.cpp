#include "sys/settings.hpp"

#include "platform/files.hpp"
#include "sys/resource.hpp"
#include "sys/settings_text.hpp"
#include "sys/sys_lifecycle.hpp"

#include <string>
#include <utility>
#include <vector>

namespace crv {

namespace {

struct SettingsStore {
    std::vector<SettingsSection> sections;
    std::string file_name;
    bool modified = false;
};

SettingsStore& store() {
    static SettingsStore* s = [] {
        auto* created = new SettingsStore;
        register_held_files_exit_handler();
        return created;
    }();
    return *s;
}

SettingsSection* find_section(const char* name) {
    for (SettingsSection& s : store().sections)
        if (same_settings_name(s.name, name)) return &s;
    return nullptr;
}

}  // namespace

void settings_save() {
    SettingsStore& s = store();
    if (!s.modified || s.file_name.empty() || is_memory_name(s.file_name.c_str())) return;
    std::string text;
    for (const SettingsSection& section : s.sections) {
        text += "[" + section.name + "]\r\n";
        for (const SettingsPair& pair : section.pairs) text += pair.key + "=" + pair.value + "\r\n";
    }
    if (plat::file_replace_contents(s.file_name.c_str(), text.data(), text.size())) s.modified = false;
}

void settings_open(const DynString& name) {
    settings_save();
    SettingsStore& s = store();
    s.sections.clear();
    s.file_name.clear();
    s.modified = false;
    if (name.empty()) return;
    std::string bytes;
    if (load_resource(name.text(), bytes)) s.sections = parse_settings_text(bytes);
    s.file_name = name.text();
}

DynString settings_get(const DynString& section, const DynString& key, const DynString& default_value) {
    SettingsSection* found = find_section(section.text());
    if (found != nullptr)
        for (const SettingsPair& pair : found->pairs)
            if (same_settings_name(pair.key, key.text())) return DynString(pair.value.c_str());
    return default_value;
}

void settings_put(const DynString& section_name, const DynString& key, const DynString& value) {
    SettingsStore& s = store();
    SettingsSection* section = find_section(section_name.text());
    if (key.empty()) {
        if (section == nullptr) return;
        // The last section takes the deleted one's place.
        if (section != &s.sections.back()) *section = std::move(s.sections.back());
        s.sections.pop_back();
        s.modified = true;
        return;
    }
    if (section != nullptr) {
        for (SettingsPair& pair : section->pairs) {
            if (!same_settings_name(pair.key, key.text())) continue;
            if (value.empty()) {
                if (&pair != &section->pairs.back()) pair = std::move(section->pairs.back());
                section->pairs.pop_back();
            } else {
                pair.value = value.text();
            }
            s.modified = true;
            return;
        }
    }
    // An empty value for a missing key changes nothing, and leaves no empty
    // section behind.
    if (value.empty()) return;
    if (section == nullptr) {
        s.sections.push_back({section_name.text(), {}});
        section = &s.sections.back();
    }
    section->pairs.push_back({key.text(), value.text()});
    s.modified = true;
}

}  // namespace crv
