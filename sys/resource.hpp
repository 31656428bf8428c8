// Resource streams and the media pack. A ResourceStream is an open disk file
// or a window onto bytes in memory named "mem://<count>.<address>"; a
// ResourcePack is a pack context that finds files missing from disk inside
// the media pack (a pack appended to a file, found by its trailer) and hands
// each one out as a memory name or a temporary file.
// A pack context holds one extraction at a time: the next resolution on the
// same context releases the previous buffer or deletes the previous
// temporary file. Streams and contexts belong to the game thread.
// Nothing here reports errors; failures are the return values, and the
// callers record the error codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace crv {

namespace plat {
struct File;
}

// "mem://" + count and address in hexadecimal: the count right-aligned in
// 8 characters, a point, the address right-aligned in at least 8.
std::string memory_name(const void* address, std::int32_t count);
// False unless the name is a well-formed memory name.
bool parse_memory_name(const char* name, const std::uint8_t*& address, std::int32_t& count);
bool is_memory_name(const char* name);

class ResourceStream {
public:
    ResourceStream() = default;
    ResourceStream(const ResourceStream&) = delete;
    ResourceStream& operator=(const ResourceStream&) = delete;
    ~ResourceStream() { close(); }

    // A memory name never touches the disk.
    bool open_read(const char* name);
    // Deletes any file of the name and creates it anew; refused for memory names.
    bool open_write(const char* name);
    // Creates the file when missing; the stream starts at its end.
    bool open_append(const char* name);

    // Disk: succeeds only when all n bytes arrive. Memory: n shrinks to what
    // remains; fails only when the position lies outside the bytes.
    // *got receives the bytes delivered.
    bool read(void* buffer, std::int32_t n, std::int32_t* got = nullptr);
    // Disk streams only; position (and size, when passed) move with it.
    bool write(const void* buffer, std::int32_t n);
    // position = offset, or size + offset. A target before the start or
    // beyond the 32-bit range is refused and nothing moves.
    bool seek(std::int64_t offset, bool from_end);
    // Memory: the count of the name. Disk: the file's current size.
    std::int32_t stream_size() const;
    void close();

    // The bytes behind a memory stream live as long as the stream.
    void keep_alive(std::unique_ptr<std::uint8_t[]> bytes) { owned_ = std::move(bytes); }

    bool is_open() const { return handle_ != nullptr || memory_ != nullptr; }
    bool is_disk() const { return handle_ != nullptr; }
    bool is_memory() const { return memory_ != nullptr; }
    std::int32_t size() const { return size_; }
    std::int32_t position() const { return position_; }

private:
    plat::File* handle_ = nullptr;
    const std::uint8_t* memory_ = nullptr;
    std::int32_t size_ = 0;
    std::int32_t position_ = 0;
    std::unique_ptr<std::uint8_t[]> owned_;
};

class ResourcePack {
public:
    ResourcePack() = default;
    ResourcePack(const ResourcePack&) = delete;
    ResourcePack& operator=(const ResourcePack&) = delete;
    ~ResourcePack() { release(); }

    // Releases what the context holds and makes it searchable again.
    void set_pack_name(const std::string& name);
    // Frees the held buffer, or deletes the temporary file.
    void release();
    // Hands the last extraction's buffer to the caller (for a stream that
    // stays open past the next resolution).
    std::unique_ptr<std::uint8_t[]> take_held_buffer() { return std::move(held_buffer); }

    bool available = true;
    std::string pack_name;
    std::string temp_name;
    std::unique_ptr<std::uint8_t[]> held_buffer;
};

// Finds name on disk (which always wins) or, by its base name ignoring
// case, in the pack; out_name receives what open_read should open. A null
// pack searches the disk only.
bool resolve_resource(ResourcePack* pack, const char* name, std::string& out_name, bool want_memory);

// resolve_resource for a name read from a data file (a world file's list,
// anything the game did not build itself): such a name is text from a file,
// never an address, so a memory name is refused (false, out_name empty).
bool resolve_data_name(ResourcePack* pack, const char* name, std::string& out_name, bool want_memory);

// The whole content of a file found as resolve_resource finds it on the
// general pack context. False when neither the disk nor the pack has it.
bool load_resource(const char* name, std::string& bytes);

// Whether name can be opened for reading as the loaders open it (the disk,
// then the general pack). Tells "file not found" apart from a file whose
// contents a loader refused.
bool resource_readable(const char* name);
constexpr const char* k_reason_not_found = "file not found";

// The two pack contexts of the process (null until the frame creates them):
// the general one of every loader, and the one of video playback.
ResourcePack* general_pack();
ResourcePack* video_pack();

}  // namespace crv
