#include "platform/files.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/win32/win32_api.hpp"

// The Windows file systems ignore case already, so names need no search of
// their own; "/" and "\" both work at the wide calls. Files are opened with
// every sharing mode so that, as on the other backend, an open file can be
// read, written, renamed and deleted by others.

namespace crv::plat {

using win32::narrow_path;
using win32::widen;

struct File {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

constexpr DWORD k_share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string with_forward_slashes(const char* name) {
    std::string path = name != nullptr ? name : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

DWORD attributes(const std::string& path) { return GetFileAttributesW(widen(path).c_str()); }

File* open_handle(const std::string& path, DWORD access, DWORD disposition) {
    if (path.empty()) return nullptr;
    HANDLE h = CreateFileW(widen(path).c_str(), access, k_share_all, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return new File{h};
}

// The length of the root a name starts with: "C:", "C:/", "//server/share/" or "/".
std::size_t root_length(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '/' ? 3 : 2;
    if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
        std::size_t server_end = path.find('/', 2);
        if (server_end == std::string::npos) return path.size();
        std::size_t share_end = path.find('/', server_end + 1);
        return share_end == std::string::npos ? path.size() : share_end + 1;
    }
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

// folder + "/" + leaf, where "C:" and "/" need no separator of their own.
std::string join(const std::string& folder, const std::string& leaf) {
    if (folder.empty()) return leaf;
    if (folder.back() == '/' || (folder.size() == 2 && folder[1] == ':')) return folder + leaf;
    return folder + "/" + leaf;
}

}  // namespace

std::string system_path(const char* name, bool for_create) {
    (void)for_create;
    return with_forward_slashes(name);
}

PathKind path_kind(const char* name) {
    std::string path = system_path(name, false);
    if (path.empty()) return PathKind::missing;
    DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
    return (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::directory : PathKind::file;
}

File* file_open_read(const char* name) {
    std::string path = system_path(name, false);
    if (path.empty()) return nullptr;
    DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0) return nullptr;
    return open_handle(path, GENERIC_READ, OPEN_EXISTING);
}

File* file_create(const char* name) {
    std::string path = system_path(name, true);
    if (path.empty()) return nullptr;
    DWORD a = attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES) {
        if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) return nullptr;
        // As on other systems, a read-only file is replaced like any other.
        if ((a & FILE_ATTRIBUTE_READONLY) != 0)
            SetFileAttributesW(widen(path).c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        // A link is removed rather than followed; when it cannot be, the
        // name is refused.
        if (!DeleteFileW(widen(path).c_str()) && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return nullptr;
    }
    // A file still open elsewhere is only marked for deletion and keeps its
    // name until closed: truncating it in place is then the closest match.
    File* file = open_handle(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    if (file == nullptr && GetLastError() != ERROR_PATH_NOT_FOUND)
        file = open_handle(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    return file;
}

File* file_open_append(const char* name) {
    std::string path = system_path(name, true);
    File* file = open_handle(path, GENERIC_WRITE, OPEN_ALWAYS);
    if (file != nullptr && file_seek(file, 0, SeekFrom::end) < 0) {
        file_close(file);
        return nullptr;
    }
    return file;
}

std::int64_t file_read(File* file, void* buffer, std::int64_t count) {
    if (file == nullptr || count < 0) return -1;
    std::int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 1 << 30));
        DWORD n = 0;
        if (!ReadFile(file->handle, out + done, chunk, &n, nullptr)) return done > 0 ? done : -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

std::int64_t file_write(File* file, const void* buffer, std::int64_t count) {
    if (file == nullptr || count < 0) return -1;
    std::int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 1 << 30));
        DWORD n = 0;
        if (!WriteFile(file->handle, in + done, chunk, &n, nullptr) || n == 0) return done > 0 ? done : -1;
        done += n;
    }
    return done;
}

std::int64_t file_seek(File* file, std::int64_t offset, SeekFrom from) {
    if (file == nullptr) return -1;
    LARGE_INTEGER current{};
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file->handle, zero, &current, FILE_CURRENT)) return -1;
    std::int64_t base = 0;
    if (from == SeekFrom::current) base = current.QuadPart;
    if (from == SeekFrom::end) {
        base = file_size(file);
        if (base < 0) return -1;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return -1;
    LARGE_INTEGER target{};
    target.QuadPart = base + offset;
    LARGE_INTEGER result{};
    if (!SetFilePointerEx(file->handle, target, &result, FILE_BEGIN)) return -1;
    return result.QuadPart;
}

std::int64_t file_size(File* file) {
    LARGE_INTEGER size{};
    if (file == nullptr || !GetFileSizeEx(file->handle, &size)) return -1;
    return size.QuadPart;
}

void file_close(File* file) {
    if (file == nullptr) return;
    CloseHandle(file->handle);
    delete file;
}

bool file_remove(const char* name) {
    std::string path = system_path(name, false);
    return !path.empty() && DeleteFileW(widen(path).c_str()) != 0;
}

bool dir_make(const char* name) {
    std::string path = system_path(name, true);
    return !path.empty() && CreateDirectoryW(widen(path).c_str(), nullptr) != 0;
}

bool dir_make_all(const char* name) {
    std::string path = system_path(name, true);
    if (path.empty()) return false;
    for (std::size_t pos = std::max<std::size_t>(root_length(path), 1); pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        if (prefix.empty() || prefix.back() == '/') continue;
        DWORD a = attributes(prefix);
        if (a != INVALID_FILE_ATTRIBUTES) {
            if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
            continue;
        }
        if (!CreateDirectoryW(widen(prefix).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

std::string current_dir() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return std::string();
    std::wstring buffer(size, L'\0');
    DWORD n = GetCurrentDirectoryW(size, buffer.data());
    if (n == 0 || n >= size) return std::string();
    buffer.resize(n);
    std::string path = narrow_path(buffer);
    // "C:/" keeps its slash: without it the name means the drive's own
    // current folder.
    if (path.size() > root_length(path) && path.back() == '/') path.pop_back();
    return path;
}

bool change_dir(const char* name) {
    std::string path = system_path(name, false);
    return !path.empty() && SetCurrentDirectoryW(widen(path).c_str()) != 0;
}

bool list_dir(const char* name, std::vector<DirEntry>& entries) {
    entries.clear();
    std::string folder = system_path(name, false);
    if (folder.empty()) folder = ".";
    if (folder.back() != '/' && folder.back() != ':') folder += '/';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(widen(folder + "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still lists; only a missing one fails.
        DWORD a = attributes(folder);
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    } else {
        do {
            DirEntry e;
            e.name = win32::narrow(data.cFileName);
            e.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entries.push_back(std::move(e));
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    // The root of a drive lists no "." and "..", which callers count on.
    for (const char* dot : {"..", "."}) {
        bool listed = std::any_of(entries.begin(), entries.end(), [dot](const DirEntry& e) { return e.name == dot; });
        if (!listed) entries.insert(entries.begin(), DirEntry{dot, true});
    }
    return true;
}

namespace {

constexpr std::string_view k_save_suffix = ".crvsave";

std::string save_temp_prefix(const std::string& leaf) { return "." + leaf.substr(0, 200) + "."; }

bool process_alive(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

void remove_stale_saves(const std::string& folder, const std::string& leaf) {
    std::string prefix = save_temp_prefix(leaf);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(widen(join(folder, prefix + "*" + std::string(k_save_suffix))).c_str(),
                                   FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return;
    const DWORD self = GetCurrentProcessId();
    do {
        std::string name = win32::narrow(data.cFileName);
        if (name.size() <= prefix.size() + k_save_suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - k_save_suffix.size(), k_save_suffix.size(), k_save_suffix) != 0)
            continue;
        std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - k_save_suffix.size());
        if (digits.empty() || digits.size() > 10 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        unsigned long long pid = std::strtoull(digits.c_str(), nullptr, 10);
        // A save of another live process may be under way; its own process
        // cleans up after it.
        if (pid > 0xFFFFFFFFull) continue;
        if (pid == self || !process_alive(static_cast<DWORD>(pid)))
            DeleteFileW(widen(join(folder, name)).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

}  // namespace

bool file_replace_contents(const char* name, const void* bytes, std::size_t count) {
    std::string path = system_path(name, true);
    if (path.empty() || path.back() == '/') return false;
    DWORD a = attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    std::size_t slash = path.rfind('/');
    std::size_t root = root_length(path);
    std::string folder;
    std::string leaf;
    if (slash == std::string::npos) {
        folder = root == 2 ? path.substr(0, 2) : ".";
        leaf = path.substr(root == 2 ? 2 : 0);
    } else {
        folder = path.substr(0, slash + 1 == root ? root : slash);
        leaf = path.substr(slash + 1);
    }
    if (leaf.empty()) return false;
    remove_stale_saves(folder, leaf);

    std::string temp =
        join(folder, save_temp_prefix(leaf) + std::to_string(GetCurrentProcessId()) + std::string(k_save_suffix));
    std::wstring wide_temp = widen(temp);
    DeleteFileW(wide_temp.c_str());
    HANDLE h = CreateFileW(wide_temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    File file{h};
    bool ok = file_write(&file, bytes, static_cast<std::int64_t>(count)) == static_cast<std::int64_t>(count);
    if (ok) ok = FlushFileBuffers(h) != 0;
    if (!CloseHandle(h)) ok = false;
    // rename() will not replace an existing file here; MoveFileEx does, and
    // with write-through it returns only once the new name is on the disk.
    if (ok)
        ok = MoveFileExW(wide_temp.c_str(), widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
             0;
    if (!ok) {
        DeleteFileW(wide_temp.c_str());
        return false;
    }
    return true;
}

}  // namespace crv::plat
