// Rainbows3D: the 3D engine. It draws mesh objects with OpenGL on top of the
// 2D renderer's context and owns the object table (single meshes and
// worlds of sub-objects with their own textures), the object under
// construction, the camera and projection, the object transform, the eight
// lights, fog, environment mapping and the stencil shadow pass; it answers
// picking and collision questions and loads objects and world files.
// Created at start-up bound to the renderer and destroyed after it (the
// destructor frees every object, and its OpenGL resources while the
// renderer's context still exists). Reached through app_state.engine3d.
// Main thread only. Bad object numbers draw nothing and test false; loads
// report through their results and the debug output. The game's 3D
// functions (corvane/gfx3d.hpp) forward to app_state.engine3d and do
// nothing (or answer false) while it does not exist.
//
// Every OpenGL call here is preceded by the renderer's flush(), because
// the renderer merges consecutive 2D primitives into one draw call.
#pragma once

#include <corvane/gfx3d.hpp>

#include "gfx3d/geometry.hpp"
#include "gfx3d/mesh.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace crv {

class OpenGLRainbows;

// A texture of a world's own list: plain and mip-mapped (0: empty).
struct WorldTexture {
    std::uint32_t texture = 0;
    std::uint32_t mip_texture = 0;
};

struct SubObject {
    std::unique_ptr<MeshObjectX> mesh;
    // World sub-objects: indexes into the entry's texture list, -1 none.
    std::int32_t texture_a = -1;
    std::int32_t texture_b = -1;
};

struct ObjectEntry {
    std::vector<SubObject> sub_objects;
    std::vector<WorldTexture> textures;
    bool built = false;
    bool under_construction = false;
    bool is_world = false;
};

class Rainbows3D {
public:
    explicit Rainbows3D(OpenGLRainbows* renderer);
    virtual ~Rainbows3D();
    Rainbows3D(const Rainbows3D&) = delete;
    Rainbows3D& operator=(const Rainbows3D&) = delete;

    // --- scene ---
    void begin_3d(double near, double far, double fov);
    // 0: no culling; 1: cull back faces, front faces clockwise; -1: cull
    // back faces, front faces counter-clockwise.
    void set_culling(std::int32_t mode);
    // Sprite numbers for texture units 0 and 1 (-1: none).
    void set_texture(std::int32_t texture1, std::int32_t texture2);
    // 0: the sprites' plain textures; 1: their mip-mapped ones. Frame
    // presentation sets it back to 0.
    void set_texture_variant(std::int32_t variant) { texture_variant_ = variant; }
    std::int32_t texture_variant() const { return texture_variant_; }
    void set_camera(float ex, float ey, float ez, float tx, float ty, float tz, float ux, float uy, float uz);
    // colour -1: fog off. Linear fog with a and b both 0 runs from the near
    // to the far plane.
    void set_fog(std::int32_t colour, bool exponential, float a, float b);
    // Cut-off 0: off; 180: directional; above 90: point; else spot.
    // Negative indexes set the shadow light (-3 starts a shadow pass, and
    // with cut-off 0 ends it).
    void set_light(std::int32_t index, std::int32_t colour, float px, float py, float pz, float dx, float dy,
                   float dz, float cutoff, bool show);
    void set_environment_mapping(bool on) { environment_mapping_ = on; }
    // How end_object makes normals: 1 flat, 2 smoothed, other modes none.
    void set_normal_mode(std::int32_t mode) { normal_mode_ = mode; }
    std::int32_t normal_mode() const { return normal_mode_; }

    // --- object transform ---
    void transform_reset() { transform_.reset(); }
    void transform_translate(float x, float y, float z) { transform_.set_translation(x, y, z); }
    void transform_rotate(float degrees, float ax, float ay, float az) { transform_.rotate(degrees, ax, ay, az); }
    void transform_scale(float x, float y, float z) { transform_.set_scale(x, y, z); }
    void transform_multiply(const Mat4& m) { transform_.multiply(m); }
    const Mat4& model_matrix() { return transform_.matrix(); }

    // --- building objects ---
    // Replaces entry index by an empty object with one frame and makes it
    // the object under construction.
    void begin_object(std::int32_t index);
    // kind 0: separate triangles; 2: fan; others: strip.
    void begin_primitive(std::int32_t kind);
    void add_vertex(float x, float y, float z, float u, float v, std::int32_t colour);
    void end_object();
    std::int32_t object_under_construction() const { return building_; }

    // --- drawing ---
    void draw_object(std::int32_t index, std::int32_t first, std::int32_t last, double position, bool interpolate);
    void draw_object_frame(std::int32_t index, std::int32_t frame) { draw_object(index, frame, frame, 0, false); }
    bool save_object(std::int32_t index, const char* name);

    // --- stencil shadows ---
    // Ends a pending shadow pass: shades where the volumes marked the
    // stencil buffer and restores the 3D state. Nothing without a pass.
    void finish_shadow_pass();
    bool shadow_pass_active() const { return shadow_pass_; }
    std::int32_t shadow_mode() const { return shadow_mode_; }

    // --- picking and collision ---
    bool world_to_screen(float x, float y, float z, float out[3]);
    bool screen_to_world(float sx, float sy, float depth, float out[3]);
    bool sphere_hits_object(std::int32_t index, std::int32_t frame, float radius, float cx, float cy, float cz);
    bool box_hits_object(std::int32_t index, std::int32_t frame, float cx, float cy, float cz, float sx, float sy,
                         float sz);
    // First vertex (in the frame's triangle list) of the last hit triangle;
    // -1 after a miss.
    std::int32_t last_hit() const { return last_hit_; }
    bool collision_display = false;

    // --- loading ---
    bool object_load(std::int32_t index, const char* name);
    bool world_load(std::int32_t index, const char* name, std::int32_t colour_key);
    // Frees the entry's objects and textures.
    void object_free(std::int32_t index);

    // --- inspection ---
    const ObjectEntry* entry(std::int32_t index) const;
    MeshObjectX* object(std::int32_t index, std::int32_t sub = 0);
    std::uint32_t light_bits() const { return light_bits_; }
    float view_cone_tangent() const { return view_cone_tangent_; }
    const Mat4& view_matrix() const { return view_; }
    float near_plane() const { return near_; }
    float far_plane() const { return far_; }

private:
    ObjectEntry* entry_for_write(std::int32_t index);
    void release_entry(ObjectEntry& e);
    void release_mesh_buffers(MeshObject& m);
    bool context_alive() const;
    void bind_textures(std::uint32_t unit0, std::uint32_t unit1);
    std::uint32_t sprite_texture(std::int32_t sprite) const;
    void set_texture_uniforms();
    void pose(MeshObjectX& m, std::int32_t first, std::int32_t last, double position, bool interpolate);
    void draw_mesh(MeshObjectX& m, std::uint32_t tex0, std::uint32_t tex1);
    void draw_shadow_volume(MeshObjectX& m, std::int32_t frame);
    void draw_light_marker(const float pos[3], const float dir[3], float cutoff);
    void draw_collision_sphere(const float centre[3], float radius, bool hit);
    void draw_collision_box(const float centre[3], const float size[3], bool hit);
    void begin_overlay(std::int32_t colour, float width);
    void end_overlay();
    void apply_culling();

    OpenGLRainbows* renderer_;
    std::vector<ObjectEntry> objects_;
    std::int32_t building_ = -1;

    float near_ = 1;
    float far_ = 1000;
    float view_cone_tangent_ = 1;
    Mat4 view_ = Mat4::identity();
    ObjectTransform transform_;

    std::uint32_t light_bits_ = 0;
    bool environment_mapping_ = false;
    std::int32_t culling_ = 0;
    std::int32_t normal_mode_ = 0;
    std::int32_t textures_[2] = {-1, -1};
    std::int32_t texture_variant_ = 0;

    std::int32_t shadow_mode_ = 0;
    bool shadow_pass_ = false;
    std::int32_t shadow_colour_ = 0;
    float shadow_light_[3] = {0, 0, 0};
    std::vector<float> volume_;  // scratch: extruded quads, 4 floats a vertex

    std::int32_t last_hit_ = -1;
};

// Hooks for the rest of the run-time. finish_3d_shadow_pass ends a pending
// shadow pass (frame presentation, and the renderer before it changes the
// viewport or the orientation); reset_3d_texture_variant is part of the
// per-frame state reset. Both do nothing without the engine.
void finish_3d_shadow_pass();
void reset_3d_texture_variant();

}  // namespace crv
