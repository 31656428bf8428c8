#include "sys/settings_text.hpp"

#include <utility>

namespace crv {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool ends_name(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '='; }

}  // namespace

bool same_settings_name(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

std::vector<SettingsSection> parse_settings_text(const std::string& text) {
    std::vector<SettingsSection> sections;
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
    return sections;
}

}  // namespace crv
