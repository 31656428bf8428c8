#include <corvane/sys.hpp>

#include <corvane/core.hpp>
#include "core/number_text.hpp"
#include "platform/files.hpp"
#include "sys/resource.hpp"
#include "sys/sys_lifecycle.hpp"

#include <array>
#include <cstring>
#include <string>

namespace crv {

namespace {

struct LineFile {
    std::string name;
    std::array<std::string, k_line_slots> lines;
    int last_index = 0;
    bool dirty = false;
};

LineFile& held() {
    static LineFile* file = [] {
        auto* created = new LineFile;
        register_held_files_exit_handler();
        return created;
    }();
    return *file;
}

// A slot holds one line of the file: a longer line is cut at the slot's
// size and the rest of it skipped, so that slot i stays line i.
void fill_slots(LineFile& f, const std::string& text) {
    std::size_t pos = 0;
    int index = 0;
    while (pos < text.size() && index < k_line_slots) {
        std::size_t end = text.find('\n', pos);
        bool ended = end != std::string::npos;
        if (!ended) end = text.size();
        std::size_t length = end - pos;
        if (ended && length > 0 && text[end - 1] == '\r') --length;
        std::string line = text.substr(pos, length);
        line.resize(std::strlen(line.c_str()));  // a slot is a terminated text
        if (line.size() > static_cast<std::size_t>(k_line_slot_bytes)) line.resize(k_line_slot_bytes);
        f.lines[static_cast<std::size_t>(index)] = std::move(line);
        f.last_index = index;
        ++index;
        pos = end + 1;
    }
}

// 0 when the file is selected with its lines, 3 when it was not found.
int select_file(const char* name) {
    LineFile& f = held();
    if (f.name == name) return 0;
    line_file_save();
    for (std::string& line : f.lines) line.clear();
    f.dirty = false;
    f.last_index = 0;
    f.name = name;
    std::string bytes;
    if (!load_resource(name, bytes)) {
        set_error(3);
        return 3;
    }
    fill_slots(f, bytes);
    return 0;
}

}  // namespace

void line_file_save() {
    LineFile& f = held();
    if (f.name.empty() || !f.dirty || is_memory_name(f.name.c_str())) return;
    std::string text;
    for (int i = 0; i <= f.last_index; ++i) text += f.lines[static_cast<std::size_t>(i)] + "\r\n";
    if (plat::file_replace_contents(f.name.c_str(), text.data(), text.size())) f.dirty = false;
}

int line_read_text(const DynString& file, double index, DynString& target) {
    std::int32_t i = to_int32(index);
    if (i < 0 || i >= k_line_slots) {
        target = "NO_DATA";
        set_error(7);
        return 7;
    }
    int selected = select_file(file.text());
    if (selected != 0) {
        target = "NO_FILE";
        return selected;
    }
    std::string line = held().lines[static_cast<std::size_t>(i)];
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 31) line.pop_back();
    target = line.empty() ? "NO_DATA" : line.c_str();
    return 0;
}

double line_read_double(const DynString& file, double index) {
    DynString text;
    line_read_text(file, index, text);
    return parse_double(text.text());
}

int line_read_int(const DynString& file, double index) {
    DynString text;
    line_read_text(file, index, text);
    return parse_int(text.text());
}

int line_write_text(const DynString& file, double index, const DynString& text) {
    std::int32_t i = to_int32(index);
    if (i < 0 || i >= k_line_slots) {
        set_error(7);
        return 7;
    }
    select_file(file.text());
    LineFile& f = held();
    std::string line(text.text());
    if (line.size() > static_cast<std::size_t>(k_line_slot_bytes)) line.resize(k_line_slot_bytes);
    f.lines[static_cast<std::size_t>(i)] = std::move(line);
    if (f.last_index < i) f.last_index = i;
    f.dirty = true;
    return 0;
}

int line_write_double(const DynString& file, double index, double value) {
    return line_write_text(file, index, DynString(value));
}

}  // namespace crv
