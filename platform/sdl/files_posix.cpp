#include "platform/files.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace crv::plat {

struct File {
    int fd = -1;
};

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string with_forward_slashes(const char* name) {
    std::string path = name != nullptr ? name : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string join(const std::string& folder, const std::string& leaf) {
    if (folder.empty()) return leaf;
    if (folder.back() == '/') return folder + leaf;
    return folder + "/" + leaf;
}

// The entry of folder whose name equals leaf ignoring case; the smallest
// such name when several do, so that the choice does not depend on the
// order the system lists them in.
bool find_ignoring_case(const std::string& folder, const std::string& leaf, std::string& found) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool any = false;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (!same_ignoring_case(name, leaf)) continue;
        if (!any || name < std::string_view(found)) found.assign(name);
        any = true;
    }
    ::closedir(dir);
    return any;
}

File* wrap(int fd) {
    if (fd < 0) return nullptr;
    return new File{fd};
}

}  // namespace

std::string system_path(const char* name, bool for_create) {
    std::string path = with_forward_slashes(name);
    if (path.empty() || exists(path)) return path;
    std::string result = path[0] == '/' ? "/" : "";
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(pos, end - pos);
        bool last = path.find_first_not_of('/', end) == std::string::npos;
        pos = end + 1;
        if (part.empty()) continue;
        std::string candidate = join(result, part);
        if (part == "." || part == ".." || exists(candidate)) {
            result = candidate;
            continue;
        }
        std::string found;
        if (find_ignoring_case(result, part, found)) {
            result = join(result, found);
            continue;
        }
        if (for_create && last) return join(result, part) + (path.back() == '/' ? "/" : "");
        return path;
    }
    if (path.back() == '/' && (result.empty() || result.back() != '/')) result += '/';
    return result;
}

PathKind path_kind(const char* name) {
    std::string path = system_path(name, false);
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::missing;
    return S_ISDIR(st.st_mode) ? PathKind::directory : PathKind::file;
}

File* file_open_read(const char* name) {
    std::string path = system_path(name, false);
    if (path.empty()) return nullptr;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return wrap(fd);
}

File* file_create(const char* name) {
    std::string path = system_path(name, true);
    if (path.empty()) return nullptr;
    ::unlink(path.c_str());
    return wrap(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

File* file_open_append(const char* name) {
    std::string path = system_path(name, true);
    if (path.empty()) return nullptr;
    File* file = wrap(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (file != nullptr && ::lseek(file->fd, 0, SEEK_END) < 0) {
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
        ssize_t n = ::read(file->fd, out + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done > 0 ? done : -1;
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
        ssize_t n = ::write(file->fd, in + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done > 0 ? done : -1;
        done += n;
    }
    return done;
}

std::int64_t file_seek(File* file, std::int64_t offset, SeekFrom from) {
    if (file == nullptr) return -1;
    int whence = from == SeekFrom::start ? SEEK_SET : from == SeekFrom::current ? SEEK_CUR : SEEK_END;
    off_t result = ::lseek(file->fd, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

std::int64_t file_size(File* file) {
    struct stat st;
    if (file == nullptr || ::fstat(file->fd, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

void file_close(File* file) {
    if (file == nullptr) return;
    ::close(file->fd);
    delete file;
}

bool file_remove(const char* name) {
    std::string path = system_path(name, false);
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool dir_make(const char* name) {
    std::string path = system_path(name, true);
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool dir_make_all(const char* name) {
    std::string path = system_path(name, true);
    if (path.empty()) return false;
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') continue;
        std::string prefix = path.substr(0, pos);
        struct stat st;
        if (::stat(prefix.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return false;
            continue;
        }
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string current_dir() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool change_dir(const char* name) {
    std::string path = system_path(name, false);
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

bool list_dir(const char* name, std::vector<DirEntry>& entries) {
    entries.clear();
    std::string folder = system_path(name, false);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = ::readdir(dir)) {
        DirEntry e;
        e.name = entry->d_name;
        if (entry->d_type == DT_DIR) {
            e.is_directory = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            e.is_directory = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    return true;
}

namespace {

constexpr std::string_view k_save_suffix = ".crvsave";

// ".<name>.<pid>.crvsave" beside the file; the name part is shortened so
// that the whole stays within the system's limit for one component.
std::string save_temp_prefix(const std::string& leaf) {
    std::string prefix = ".";
    prefix.append(leaf, 0, 200);
    prefix += '.';
    return prefix;
}

void remove_stale_saves(const std::string& folder, const std::string& leaf) {
    std::string prefix = save_temp_prefix(leaf);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    pid_t self = ::getpid();
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name.size() <= prefix.size() + k_save_suffix.size() || name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - k_save_suffix.size()) != k_save_suffix)
            continue;
        std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - k_save_suffix.size());
        if (digits.empty() || digits.size() > 10 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        long pid = std::strtol(std::string(digits).c_str(), nullptr, 10);
        // A save of another live process may be under way; its own process
        // cleans up after it.
        bool stale = pid == self || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
        if (stale) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void sync_folder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool file_replace_contents(const char* name, const void* bytes, std::size_t count) {
    std::string path = system_path(name, true);
    if (path.empty() || path.back() == '/') return false;
    // Replacing a symbolic link replaces the file it points to.
    struct stat st;
    bool had_file = ::lstat(path.c_str(), &st) == 0;
    if (had_file && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real != nullptr) {
            path = real;
            std::free(real);
        }
        had_file = ::stat(path.c_str(), &st) == 0;
    }
    if (had_file && S_ISDIR(st.st_mode)) return false;
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    remove_stale_saves(folder, leaf);

    std::string temp = folder + "/" + save_temp_prefix(leaf) + std::to_string(::getpid()) + std::string(k_save_suffix);
    ::unlink(temp.c_str());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    File file{fd};
    bool ok = file_write(&file, bytes, static_cast<std::int64_t>(count)) == static_cast<std::int64_t>(count);
    // The new file keeps the old one's permissions; failing that is no
    // reason to lose the save.
    if (ok && had_file) (void)::fchmod(fd, st.st_mode & 07777);
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    sync_folder(folder);
    return true;
}

}  // namespace crv::plat
