#include "sys/settings.hpp"

#include "platform/files.hpp"
#include "sys/resource.hpp"
#include "sys/sys_lifecycle.hpp"

#include <string>
#include <utility>
#include <vector>

namespace crv {

namespace {

struct SettingsPair {
    std::string key;
    std::string value;
};

struct SettingsSection {
    std::string name;
    std::vector<SettingsPair> pairs;
};

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

bool equal_ignoring_case(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

SettingsSection* find_section(const char* name) {
    for (SettingsSection& s : store().sections)
        if (equal_ignoring_case(s.name, name)) return &s;
    return nullptr;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool ends_name(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '='; }

void parse(const std::string& text, std::vector<SettingsSection>& sections) {
    std::string pending_name;
    bool pending = true;  // pairs before any header form a section with no name
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::size_t p = pos;
        pos = end + 1;
        while (p < end && (is_blank(text[p]) || text[p] == '\r')) ++p;
        if (p >= end || text[p] == ';') continue;
        if (text[p] == '[') {
            ++p;
            while (p < end && is_blank(text[p])) ++p;
            std::size_t start = p;
            while (p < end && !ends_name(text[p])) ++p;
            pending_name = text.substr(start, p - start);
            if (!pending_name.empty() && pending_name.back() == ']') pending_name.pop_back();
            pending = true;
            continue;
        }
        std::size_t start = p;
        while (p < end && !ends_name(text[p])) ++p;
        std::string key = text.substr(start, p - start);
        while (p < end && is_blank(text[p])) ++p;
        if (key.empty() || p >= end || text[p] != '=') continue;
        ++p;
        while (p < end && is_blank(text[p])) ++p;
        std::size_t value_end = end;
        while (value_end > p && static_cast<unsigned char>(text[value_end - 1]) <= 31) --value_end;
        if (pending) {
            sections.push_back({pending_name, {}});
            pending = false;
        }
        sections.back().pairs.push_back({std::move(key), text.substr(p, value_end - p)});
    }
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
    if (load_resource(name.text(), bytes)) parse(bytes, s.sections);
    s.file_name = name.text();
}

DynString settings_get(const DynString& section, const DynString& key, const DynString& default_value) {
    SettingsSection* found = find_section(section.text());
    if (found != nullptr)
        for (const SettingsPair& pair : found->pairs)
            if (equal_ignoring_case(pair.key, key.text())) return DynString(pair.value.c_str());
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
            if (!equal_ignoring_case(pair.key, key.text())) continue;
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
