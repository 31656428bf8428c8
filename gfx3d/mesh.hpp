// Mesh objects: the animation frames of a 3D object, each a stream of
// vertices in which marker vertices start separate triangles, strips or
// fans; the colour palette; the expansion of each frame into a plain
// triangle list; bounds, normals and tangents; and the zvd file formats
// (binary, read and written, and the "ZVDA" text format, read only).
// A MeshObject owns all of its vectors; it is cleared by mesh_load and by
// its destructor. Main thread only (the loaders report through the debug
// output). Files come from users and the network: a load checks every
// count, index and size against the file's length and rejects a file that
// does not fit ("# read error"), leaving the object empty; it never reads
// past the data. Only memory exhaustion throws (std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace crv {

// Palette values that are no colour but start a primitive.
constexpr std::uint32_t k_marker_triangles = 0xFFFFFFFFu;
constexpr std::uint32_t k_marker_strip = 0xFFFFFFFEu;
constexpr std::uint32_t k_marker_fan = 0xFFFFFFFDu;
// White, and no marker.
constexpr std::uint32_t k_colour_reserved_white = 0xFFFFFFFCu;
// The binary magic, as written. Files of other tools may carry the
// second value instead (the format was published with both); reading
// accepts either.
constexpr std::int32_t k_zvd_magic = 0x00C6B317;
constexpr std::int32_t k_zvd_magic_alternate = 0x00C6B717;
inline bool is_zvd_magic(std::int32_t v) { return v == k_zvd_magic || v == k_zvd_magic_alternate; }
// What a loaded file may make the loader allocate for its vertices (the
// frames' streams and triangle lists and the draw buffer): at most
// k_mesh_load_base bytes plus k_mesh_load_factor per byte of file, and
// never above k_mesh_load_limit. Real files need well under the factor
// (a dense quantised strip: about 130 bytes per byte); a larger demand is
// refused as an allocation failure ("# malloc error"). The mesh fuzz
// target's memory limits (scripts/fuzz.sh) are worked out from these.
constexpr std::uint64_t k_mesh_load_base = 1u << 20;
constexpr std::uint64_t k_mesh_load_factor = 160;
constexpr std::uint64_t k_mesh_load_limit = 256u << 20;
std::uint64_t mesh_load_budget(std::size_t file_size);
constexpr double k_zvd_version = 2.0;
constexpr double k_zvd_oldest_version = 1.02;

inline bool is_marker(std::uint32_t colour) { return colour >= k_marker_fan; }

// A vector that grows by a fixed step above a minimum capacity. Elements
// are default-constructed when the vector grows into them.
template <typename T>
class GrowVector {
public:
    GrowVector() = default;
    GrowVector(std::int32_t step, std::int32_t minimum) : step_(step), minimum_(minimum) {}
    GrowVector(const GrowVector& o) : step_(o.step_), minimum_(o.minimum_) { assign(o); }
    GrowVector& operator=(const GrowVector& o) {
        if (this != &o) assign(o);
        return *this;
    }
    GrowVector(GrowVector&& o) noexcept { swap(o); }
    GrowVector& operator=(GrowVector&& o) noexcept {
        swap(o);
        return *this;
    }

    std::int32_t size() const { return count_; }
    std::int32_t capacity() const { return capacity_; }
    bool empty() const { return count_ == 0; }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T& operator[](std::int32_t i) { return data_[static_cast<std::size_t>(i)]; }
    const T& operator[](std::int32_t i) const { return data_[static_cast<std::size_t>(i)]; }
    T* begin() { return data_.get(); }
    T* end() { return data_.get() + count_; }
    const T* begin() const { return data_.get(); }
    const T* end() const { return data_.get() + count_; }
    T& back() { return data_[static_cast<std::size_t>(count_ - 1)]; }

    void push_back(const T& v) {
        if (count_ == capacity_) {
            T copy = v;  // v may live in the block that growing frees
            grow(count_ + 1);
            data_[static_cast<std::size_t>(count_++)] = std::move(copy);
            return;
        }
        data_[static_cast<std::size_t>(count_++)] = v;
    }
    // Room for n elements: the minimum capacity if that suffices, else the
    // next step above n.
    void reserve(std::int32_t n) {
        if (n > capacity_) grow(n);
    }
    // Room for exactly n elements (no minimum, no step): for sizes known in
    // advance, such as a loaded frame's vertex count.
    void reserve_exact(std::int32_t n) {
        if (n > capacity_) grow_to(n);
    }
    void resize(std::int32_t n) {
        reserve(n);
        for (std::int32_t i = count_; i < n; ++i) data_[static_cast<std::size_t>(i)] = T{};
        count_ = n;
    }
    void clear() { count_ = 0; }
    void release() {
        data_.reset();
        count_ = capacity_ = 0;
    }

private:
    void grow(std::int32_t needed) { grow_to(needed <= minimum_ ? minimum_ : step_ * (needed / step_ + 1)); }
    void grow_to(std::int32_t cap) {
        std::unique_ptr<T[]> fresh(new T[static_cast<std::size_t>(cap)]);
        for (std::int32_t i = 0; i < count_; ++i)
            fresh[static_cast<std::size_t>(i)] = std::move(data_[static_cast<std::size_t>(i)]);
        data_ = std::move(fresh);
        capacity_ = cap;
    }
    void assign(const GrowVector& o) {
        count_ = 0;
        reserve(o.count_);
        for (std::int32_t i = 0; i < o.count_; ++i) data_[static_cast<std::size_t>(i)] = o.data_[i];
        count_ = o.count_;
    }
    void swap(GrowVector& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(count_, o.count_);
        std::swap(capacity_, o.capacity_);
        std::swap(step_, o.step_);
        std::swap(minimum_, o.minimum_);
    }

    std::unique_ptr<T[]> data_;
    std::int32_t count_ = 0;
    std::int32_t capacity_ = 0;
    std::int32_t step_ = 128;
    std::int32_t minimum_ = 512;
};

struct MeshVertex {
    float position[3];
    float normal[3];
    float uv[2];
    std::uint32_t reserved[3];
    float tangent[3];
    float binormal[3];
    std::uint32_t colour;  // palette value, or a marker
    std::uint8_t colour_index;
    std::uint8_t spare[3];
    float rgba[4];
};
static_assert(sizeof(MeshVertex) == 92, "the vertex is also the array stride handed to OpenGL");
static_assert(offsetof(MeshVertex, normal) == 12 && offsetof(MeshVertex, uv) == 24 &&
              offsetof(MeshVertex, tangent) == 44 && offsetof(MeshVertex, binormal) == 56 &&
              offsetof(MeshVertex, rgba) == 76);

// rgba of a palette value: 1.0 throughout for the reserved white and the
// markers.
void colour_to_rgba(std::uint32_t colour, float rgba[4]);

struct MeshFrame {
    GrowVector<MeshVertex> stream;     // markers included
    GrowVector<MeshVertex> triangles;  // three per triangle
    float radius = 0;
    float centre[3] = {0, 0, 0};
    // Shadow-volume adjacency of the triangle list: for edge e of triangle
    // t, neighbours[t * 3 + e] is the neighbouring triangle or -1. Built on
    // demand, dropped whenever the triangle list is rebuilt.
    std::vector<std::int32_t> neighbours;
};

class MeshObject {
public:
    MeshObject();
    virtual ~MeshObject();
    MeshObject(const MeshObject&) = default;
    MeshObject& operator=(const MeshObject&) = default;

    // Expands every frame's stream into its triangle list; nothing here.
    virtual void rebuild_triangles() {}

    // Frees every vector and resets the flags.
    void clear();
    void compact_palette();
    void compute_bounds();
    void generate_normals(bool normals, bool smooth, bool tangents);
    bool has_frames() const { return !frames.empty(); }
    // At least one frame and a first frame with vertices.
    bool has_geometry() const { return !frames.empty() && !frames[0].stream.empty(); }

    GrowVector<MeshFrame> frames{1, 1};
    GrowVector<MeshVertex> draw_buffer;
    GrowVector<std::uint32_t> palette;
    std::int32_t valid = 0;
    std::int32_t has_tangents = 0;
    std::int32_t has_colours = 0;
    // Whether the vertices carry normals (read from a file or generated).
    std::int32_t has_normals = 0;

    // Drawing state kept by the 3D engine: its vertex buffer (0: none) and
    // the pose the draw buffer holds.
    std::uint32_t vertex_buffer = 0;
    bool buffer_current = false;
    std::int32_t pose_a = 0;
    std::int32_t pose_b = 0;
    float pose_w = 0;
};

class MeshObjectX : public MeshObject {
public:
    void rebuild_triangles() override;
};

// The has-colours rule: any palette value below the reserved white other
// than 0x00FFFFFF.
bool palette_has_colours(const GrowVector<std::uint32_t>& palette);

// Reads a zvd file (binary or text, by its first four bytes) into the
// object, which is cleared first. Every frame's stream is sized exactly to
// its vertices, and a file whose vertices and triangles would exceed
// mesh_load_budget is refused before they are allocated. False without a message when the name
// cannot be opened; false with the messages of a failed read otherwise.
bool mesh_load(MeshObject& object, const char* name);
// Parses zvd bytes already in memory; name only labels the messages.
bool mesh_load_bytes(MeshObject& object, const std::uint8_t* bytes, std::size_t size, const char* name);
// Writes the binary format, version 2.0. False when the object has no
// frames, the name is a memory name or the file cannot be written.
bool mesh_save(const MeshObject& object, const char* name);
// The binary file as bytes (what mesh_save writes).
std::vector<std::uint8_t> mesh_save_bytes(const MeshObject& object);

// Where the loaders' messages go (each text complete with its line feed);
// the debug output unless replaced.
extern void (*mesh_message)(const char* text);

}  // namespace crv
