#include <corvane/sys.hpp>

#include <corvane/core.hpp>
#include "platform/files.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace crv {

namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// _stricmp order; equal names in different case fall back to byte order so
// that the listing does not depend on the order the system reports them.
bool less_ignoring_case(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = fold(static_cast<unsigned char>(a[i])), y = fold(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

bool file_exists(const DynString& name) { return plat::path_kind(name.text()) == plat::PathKind::file; }

bool dir_exists(const DynString& name) { return plat::path_kind(name.text()) == plat::PathKind::directory; }

bool file_delete(const DynString& name) { return plat::file_remove(name.text()); }

bool dir_create(const DynString& name) { return plat::dir_make(name.text()); }

bool file_copy(const DynString& source, const DynString& target) {
    ResourceStream in;
    if (!in.open_read(source.text())) {
        set_error(3);
        return false;
    }
    ResourceStream out;
    if (is_memory_name(target.text()) || !out.open_write(target.text())) {
        set_error(3);
        return false;
    }
    std::int32_t remaining = in.stream_size();
    char piece[4096];
    while (remaining > 0) {
        std::int32_t n = remaining < 4096 ? remaining : 4096;
        if (!in.read(piece, n) || !out.write(piece, n)) {
            in.close();
            out.close();
            plat::file_remove(target.text());
            set_error(3);
            return false;
        }
        remaining -= n;
    }
    return true;
}

std::int64_t file_size(const DynString& name) {
    ResourceStream s;
    if (!s.open_read(name.text())) {
        set_error(3);
        return 0;
    }
    return s.stream_size();
}

DynString dir_current() {
    std::string folder = plat::current_dir();
    std::replace(folder.begin(), folder.end(), '\\', '/');
    if (folder.empty() || folder.back() != '/') folder += '/';
    return DynString(folder.c_str());
}

int dir_change(const DynString& name) {
    if (plat::change_dir(name.text())) return 1;
    set_error(3);
    return 0;
}

std::int64_t dir_list(const DynString& pattern, DynArray<DynString>& names) {
    std::vector<plat::DirEntry> entries;
    plat::list_dir(".", entries);
    std::vector<std::string> folders, files;
    for (plat::DirEntry& e : entries) {
        if (e.is_directory)
            folders.push_back(std::move(e.name));
        else if (wildcard_match(pattern, DynString(e.name.c_str())))
            files.push_back(std::move(e.name));
    }
    std::sort(folders.begin(), folders.end(), less_ignoring_case);
    std::sort(files.begin(), files.end(), less_ignoring_case);
    std::size_t total = folders.size() + files.size();
    names.set_dimensions(static_cast<int>(std::min<std::size_t>(total, 0x7fffffff)));
    int i = 0;
    for (const std::string& n : folders) names(i++) = n.c_str();
    for (const std::string& n : files) names(i++) = n.c_str();
    return static_cast<std::int64_t>(folders.size()) * 65536 + static_cast<std::int64_t>(files.size());
}

bool wildcard_match(const DynString& pattern_text, const DynString& name_text) {
    const char* pattern = pattern_text.text();
    const char* name = name_text.text();
    const std::size_t plen = pattern_text.length(), nlen = name_text.length();
    if (pattern_text == "*.*") return true;
    std::size_t p = 0, n = 0;
    std::size_t resume_pattern = 0, resume_name = 0;
    bool star_seen = false;
    while (n < nlen) {
        if (p < plen && pattern[p] == '*') {
            while (p < plen && pattern[p] == '*') ++p;
            if (p == plen) return true;
            star_seen = true;
            resume_pattern = p;
            resume_name = n;
            continue;
        }
        if (p < plen) {
            unsigned char pc = static_cast<unsigned char>(pattern[p]), nc = static_cast<unsigned char>(name[n]);
            bool same = pc == '?' ? nc != '.' : fold(pc) == fold(nc);
            if (same) {
                ++p;
                ++n;
                continue;
            }
        }
        if (!star_seen) return false;
        n = ++resume_name;
        p = resume_pattern;
    }
    while (p < plen && pattern[p] == '*') ++p;
    return p == plen;
}

}  // namespace crv
