// Files and directories as the run-time sees them. Names come from game
// programs: "\" counts as a separator like "/", and a name that is not found
// as written is looked up ignoring ASCII case, one path component at a time,
// because games are often written against a case-insensitive file system.
// File is an open file with its own read/write pointer, owned by whoever
// opened it until file_close. Failures are reported by the return values
// (null, false, -1); nothing here records error codes. Game thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crv::plat {

struct File;

enum class PathKind { missing, file, directory };
enum class SeekFrom { start, current, end };

// The name the system should see. Existing objects are found ignoring case;
// with for_create the last component may be missing and stays as written
// (its folders are still looked up ignoring case).
std::string system_path(const char* name, bool for_create);

PathKind path_kind(const char* name);

// Opens an existing file for reading.
File* file_open_read(const char* name);
// Deletes any file of that name and creates a new one for reading and
// writing. Refuses to follow a symbolic link left in the name's place.
File* file_create(const char* name);
// Opens for writing, creating the file when missing; the pointer is at the end.
File* file_open_append(const char* name);
// Bytes transferred (fewer at the end of the file), or -1 on error.
std::int64_t file_read(File* file, void* buffer, std::int64_t count);
std::int64_t file_write(File* file, const void* buffer, std::int64_t count);
// The new pointer, or -1 when the target is negative or the seek fails
// (the pointer then stays where it was).
std::int64_t file_seek(File* file, std::int64_t offset, SeekFrom from);
// Current size in bytes, -1 on error.
std::int64_t file_size(File* file);
void file_close(File* file);

bool file_remove(const char* name);
// One folder; its parent must exist.
bool dir_make(const char* name);
// Folders and all missing parents.
bool dir_make_all(const char* name);
// The current folder with "/" separators, no final "/" (except for "/").
std::string current_dir();
bool change_dir(const char* name);

struct DirEntry {
    std::string name;
    bool is_directory = false;  // symbolic links to folders count as folders
};
// Every entry of the folder, "." and ".." included, in the system's order.
bool list_dir(const char* name, std::vector<DirEntry>& entries);

// Replaces the file's content so that, whatever happens meanwhile (a full
// disk, the process killed), the file afterwards holds either its old bytes
// or all of the new ones: the bytes go to a temporary file in the same
// folder, reach the disk, and the temporary file is renamed over the old
// one. Temporary files that an earlier, interrupted save of the same name
// left behind are removed. False when the new content could not be stored;
// the old file is then untouched.
bool file_replace_contents(const char* name, const void* bytes, std::size_t count);

}  // namespace crv::plat
