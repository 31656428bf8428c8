/// @defgroup gfx3d 3D drawing
/// 3D drawing: mesh objects in a table of numbered entries, built vertex by
/// vertex or loaded from zvd mesh files and world files, drawn with a
/// camera, up to eight lights, fog, environment mapping and stencil
/// shadows; picking and collision against them.
///
/// A frame of 3D starts with crv::begin_3d; 2D drawing after it goes on
/// top once crv::set_viewport (corvane/render2d.hpp) has restored the 2D
/// state. Angles are degrees; colours are R + G*256 + B*65536; textures are
/// sprite numbers (@ref render2d), -1 for none. Objects are numbered 0 ..
/// k_object_limit - 1 and live until crv::object_free, a rebuild or a
/// reload of their number, or program end. `crvmesh` turns Wavefront OBJ
/// files into zvd meshes.
///
/// **Threads:** main thread only.
///
/// **Failures:** everything does nothing (or answers false, -1) before
/// start-up and after program end; bad object numbers draw nothing and
/// test false; crv::object_load answers false, sends the parser's messages
/// to the debugger and writes the reason to the debug log, and so does a
/// failed crv::save_object. No function here sets the last-error code.
///
/// **Examples:** @ref example_scene3d (objects built vertex by vertex,
/// lights, a stencil shadow).

/// @file
/// The 3D scene, objects, drawing, loading, picking and collision: see
/// @ref gfx3d.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup gfx3d
/// @{

/// Object numbers run from 0 to k_object_limit - 1.
constexpr std::int32_t k_object_limit = 65536;

/// @name Scene
/// @{

/// Starts 3D drawing: clears the depth buffer, sets a perspective
/// projection of fov degrees (fov <= 0: orthographic) between the near and
/// far planes, and resets the 3D state (culling off).
void begin_3d(double near, double far, double fov);
/// Which faces are culled: 0 none; 1 back faces, front faces clockwise; -1: cull back
/// faces, front faces counter-clockwise. Other values count as 0.
void set_culling(std::int32_t mode);
/// The sprites used as textures on units 0 and 1 (-1: none).
void set_texture(std::int32_t texture1, std::int32_t texture2);
/// Which texture of the sprites draws: 0 the plain one, 1 the mip-mapped one. Each frame
/// starts with 0.
void set_texture_variant(std::int32_t variant);
/// Places the camera at the eye, looking at the target, with up as the
/// upward direction.
void set_camera(double ex, double ey, double ez, double tx, double ty, double tz, double ux, double uy, double uz);
/// Fog in a colour (-1: fog off): exponential non-zero with density a, else
/// linear from a to b (both 0: from the near to the far plane).
void set_fog(std::int32_t colour, std::int32_t exponential, double a, double b);
/// Sets light index (0..7) to a colour at position p with direction d. cutoff 0
/// switches it off; 180 makes a directional light along d; above 90 a point
/// light at p; else a spot light of that cone. show non-zero also draws the
/// light. A negative index sets the shadow light: -3 starts a stencil
/// shadow pass for the objects drawn next (colour: the shadow's), and -3
/// with cutoff 0 ends it.
void set_light(std::int32_t index, std::int32_t colour, double px, double py, double pz, double dx, double dy,
               double dz, double cutoff, std::int32_t show);
/// Turns sphere-mapped environment texturing on (non-zero) or off.
void set_environment_mapping(std::int32_t on);
/// How end_object makes normals: 1 flat, 2 smoothed, other modes none.
void set_normal_mode(std::int32_t mode);
/// Non-zero: the collision tests draw the sphere or box they test.
void set_collision_display(std::int32_t on);
/// @}

/// @name Object transform (applied to the objects drawn next)
/// @{

/// Clears the transform: the objects drawn next stand where they were built.
void object_reset_transform();
/// Moves objects by (x, y, z).
void object_translate(double x, double y, double z);
/// Adds a turn by degrees about the axis (ax, ay, az).
void object_rotate(double degrees, double ax, double ay, double az);
/// Scales objects by (x, y, z).
void object_scale(double x, double y, double z);
/// @}

/// @name Building objects
/// @{

/// Replaces object index by an empty one that the next calls build.
void begin_object(std::int32_t index);
/// Starts a primitive: kind 0 separate triangles, 2 a fan, others a strip.
void begin_primitive(std::int32_t kind);
/// Adds a vertex at (x, y, z) with texture position (u, v) (1 = the whole
/// texture) and a colour.
void add_vertex(double x, double y, double z, double u, double v, std::int32_t colour);
/// Finishes the object under construction (normals as set_normal_mode says).
void end_object();
/// @}

/// @name Drawing, saving, loading
/// @{

/// Draws an object between animation frames first and last at position
/// 0..1 (interpolate non-zero: blended, else the nearer frame).
void draw_object(std::int32_t index, std::int32_t first, std::int32_t last, double position, std::int32_t interpolate);
/// Draws one animation frame of an object.
void draw_object_frame(std::int32_t index, std::int32_t frame);
/// Saves an object as a zvd mesh file; false for an empty or bad object
/// number, a "mem://" name or a file that cannot be written.
bool save_object(std::int32_t index, const DynString& name);
/// Loads a zvd mesh or world file (disk first, then the media pack) into
/// object index, replacing what it held; false when it cannot be read.
bool object_load(std::int32_t index, const DynString& name);
/// Frees an object and its textures.
void object_free(std::int32_t index);
/// @}

/// @name Picking and collision
/// @{

/// The screen position and depth (0..1) of a world point under the current
/// camera; false when it cannot be projected (or before start-up) or an
/// output pointer is null, leaving the outputs alone.
bool world_to_screen(double x, double y, double z, double* sx, double* sy, double* depth);
/// The world point at a screen position and depth 0..1; false when it
/// cannot be unprojected (or before start-up) or an output pointer is null,
/// leaving the outputs alone.
bool screen_to_world(double sx, double sy, double depth, double* x, double* y, double* z);
/// True when a sphere (radius, centre) touches any triangle of the
/// object's frame.
bool sphere_hits_object(std::int32_t index, std::int32_t frame, double radius, double cx, double cy, double cz);
/// True when an axis-aligned box (centre, size) touches any triangle of the
/// object's frame.
bool box_hits_object(std::int32_t index, std::int32_t frame, double cx, double cy, double cz, double sx, double sy,
                     double sz);
/// The first vertex of the triangle the last collision test hit; -1 after
/// a miss.
std::int32_t last_hit();
/// @}

/// @}

}  // namespace crv
