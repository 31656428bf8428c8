#include "sys/resource.hpp"

#include "runtime/app_state.hpp"
#include "platform/files.hpp"
#include "platform/paths.hpp"
#include "sys/media_pack.hpp"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace crv {

namespace {

constexpr char k_memory_prefix[] = "mem://";
constexpr std::size_t k_memory_prefix_length = 6;
constexpr std::size_t k_address_field = 15;

bool same_ignoring_case(const std::string& a, const std::string& b) {
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

std::int32_t clamp_size(std::int64_t size) {
    if (size < 0) return 0;
    return size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size);
}

// Reads one hexadecimal field: blanks, then at least one digit.
bool hex_field(const char* text, std::uint64_t& value, const char** end) {
    while (*text == ' ') ++text;
    value = 0;
    const char* start = text;
    for (; *text != 0; ++text) {
        char c = *text;
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) break;
        if (value > (UINT64_MAX >> 4)) return false;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    *end = text;
    return text != start;
}

}  // namespace

bool is_memory_name(const char* name) {
    return name != nullptr && std::strncmp(name, k_memory_prefix, k_memory_prefix_length) == 0;
}

std::string memory_name(const void* address, std::int32_t count) {
    char text[64];
    std::snprintf(text, sizeof text, "mem://%8x.%8" PRIxPTR, static_cast<unsigned>(count),
                  reinterpret_cast<std::uintptr_t>(address));
    return text;
}

bool parse_memory_name(const char* name, const std::uint8_t*& address, std::int32_t& count) {
    if (!is_memory_name(name) || std::strlen(name) <= k_address_field || name[k_address_field - 1] != '.')
        return false;
    std::uint64_t n = 0, a = 0;
    const char* end = nullptr;
    if (!hex_field(name + k_memory_prefix_length, n, &end) || end != name + k_address_field - 1) return false;
    if (!hex_field(name + k_address_field, a, &end) || *end != 0) return false;
    if (n > INT32_MAX || a > UINTPTR_MAX || (a == 0 && n != 0)) return false;
    count = static_cast<std::int32_t>(n);
    address = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(a));
    return true;
}

bool ResourceStream::open_read(const char* name) {
    close();
    if (is_memory_name(name)) {
        const std::uint8_t* address = nullptr;
        std::int32_t count = 0;
        if (!parse_memory_name(name, address, count)) return false;
        // A block of no bytes still needs an address to count as open.
        static const std::uint8_t k_nothing = 0;
        memory_ = address != nullptr ? address : &k_nothing;
        size_ = count;
        return true;
    }
    handle_ = plat::file_open_read(name);
    if (handle_ == nullptr) return false;
    size_ = clamp_size(plat::file_size(handle_));
    return true;
}

bool ResourceStream::open_write(const char* name) {
    close();
    if (name == nullptr || is_memory_name(name)) return false;
    handle_ = plat::file_create(name);
    return handle_ != nullptr;
}

bool ResourceStream::open_append(const char* name) {
    close();
    if (name == nullptr || is_memory_name(name)) return false;
    handle_ = plat::file_open_append(name);
    if (handle_ == nullptr) return false;
    size_ = position_ = clamp_size(plat::file_size(handle_));
    return true;
}

bool ResourceStream::read(void* buffer, std::int32_t n, std::int32_t* got) {
    if (got != nullptr) *got = 0;
    if (n < 0) return false;
    if (handle_ != nullptr) {
        std::int64_t r = plat::file_read(handle_, buffer, n);
        if (r < 0) return false;
        position_ = clamp_size(static_cast<std::int64_t>(position_) + r);
        if (got != nullptr) *got = static_cast<std::int32_t>(r);
        return r == n;
    }
    if (memory_ == nullptr) return false;
    if (position_ < 0 || position_ > size_) return false;
    std::int32_t remaining = size_ - position_;
    if (n > remaining) n = remaining;
    if (n > 0) std::memcpy(buffer, memory_ + position_, static_cast<std::size_t>(n));
    position_ += n;
    if (got != nullptr) *got = n;
    return true;
}

bool ResourceStream::write(const void* buffer, std::int32_t n) {
    if (handle_ == nullptr || n < 0) return false;
    std::int64_t w = plat::file_write(handle_, buffer, n);
    if (w > 0) {
        position_ = clamp_size(static_cast<std::int64_t>(position_) + w);
        if (position_ > size_) size_ = position_;
    }
    return w == n;
}

bool ResourceStream::seek(std::int64_t offset, bool from_end) {
    if (!is_open()) return false;
    std::int64_t target = from_end ? static_cast<std::int64_t>(size_) + offset : offset;
    if (target < 0 || target > INT32_MAX) return false;
    if (handle_ != nullptr && plat::file_seek(handle_, target, plat::SeekFrom::start) < 0) return false;
    position_ = static_cast<std::int32_t>(target);
    return true;
}

std::int32_t ResourceStream::stream_size() const {
    if (handle_ != nullptr) return clamp_size(plat::file_size(handle_));
    return memory_ != nullptr ? size_ : 0;
}

void ResourceStream::close() {
    if (handle_ != nullptr) plat::file_close(handle_);
    handle_ = nullptr;
    memory_ = nullptr;
    size_ = 0;
    position_ = 0;
    owned_.reset();
}

void ResourcePack::set_pack_name(const std::string& name) {
    release();
    pack_name = name;
    available = true;
}

void ResourcePack::release() {
    held_buffer.reset();
    if (!temp_name.empty()) {
        plat::file_remove(temp_name.c_str());
        temp_name.clear();
    }
}

bool resolve_resource(ResourcePack* pack, const char* name, std::string& out_name, bool want_memory) {
    if (pack != nullptr) pack->release();
    out_name.clear();
    if (name == nullptr || *name == 0) return false;
    out_name = name;
    // A memory name denotes bytes that are there; it is never looked for on
    // disk or in the pack.
    if (is_memory_name(name) || plat::path_kind(name) == plat::PathKind::file) return true;
    if (pack == nullptr || !pack->available) return false;
    if (pack->pack_name.empty()) {
        pack->available = false;
        return false;
    }

    std::string wanted = out_name;
    std::size_t slash = wanted.find_last_of("/\\");
    if (slash != std::string::npos) wanted.erase(0, slash + 1);
    out_name.clear();

    ResourceStream stream;
    if (!stream.open_read(pack->pack_name.c_str())) return false;
    PackEntry found;
    bool matched = false;
    PackStatus status = pack_scan(stream, [&](const PackEntry& entry) {
        if (!same_ignoring_case(entry.name, wanted)) return false;
        found = entry;
        matched = true;
        return true;
    });
    if (status == PackStatus::not_a_pack) {
        pack->available = false;
        return false;
    }
    if (!matched) return false;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0;
    bool decoded = pack_decode(stream, found, bytes, size);
    stream.close();
    if (!decoded) return false;

    if (want_memory) {
        pack->held_buffer = std::move(bytes);
        out_name = memory_name(pack->held_buffer.get(), static_cast<std::int32_t>(size));
        return true;
    }
    // The letters keep extractions of different entries apart; they come
    // from the entry's position in the pack, counted from its start.
    std::string temp = plat::temp_folder() + "sbx";
    temp += static_cast<char>('A' + (found.data_offset % 256) % 26);
    temp += static_cast<char>('A' + (found.stored_size % 256) % 26);
    temp += found.name;
    plat::File* file = plat::file_create(temp.c_str());
    if (file == nullptr) return false;
    bool written = plat::file_write(file, bytes.get(), size) == static_cast<std::int64_t>(size);
    plat::file_close(file);
    if (!written) {
        plat::file_remove(temp.c_str());
        return false;
    }
    pack->temp_name = temp;
    out_name = temp;
    return true;
}

bool resolve_data_name(ResourcePack* pack, const char* name, std::string& out_name, bool want_memory) {
    if (is_memory_name(name)) {
        if (pack != nullptr) pack->release();
        out_name.clear();
        return false;
    }
    return resolve_resource(pack, name, out_name, want_memory);
}

bool resource_readable(const char* name) {
    std::string resolved;
    if (name == nullptr || !resolve_resource(general_pack(), name, resolved, true)) return false;
    ResourceStream stream;
    return stream.open_read(resolved.c_str());
}

bool load_resource(const char* name, std::string& bytes) {
    bytes.clear();
    std::string resolved;
    if (!resolve_resource(general_pack(), name, resolved, true)) return false;
    ResourceStream stream;
    if (!stream.open_read(resolved.c_str())) return false;
    bytes.resize(static_cast<std::size_t>(stream.size()));
    std::int32_t got = 0;
    stream.read(bytes.data(), stream.size(), &got);
    bytes.resize(static_cast<std::size_t>(got));
    return true;
}

ResourcePack* general_pack() { return app_state.packs[0]; }
ResourcePack* video_pack() { return app_state.packs[1]; }

}  // namespace crv
