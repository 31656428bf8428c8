/// @defgroup render2d 2D drawing
/// 2D drawing: render state, primitives and vertex batches, sprites
/// (images, animation strips, collision), bitmap fonts, off-screen
/// surfaces, screenshots and shaders; colours and pixel arrays
/// (corvane/colour.hpp).
///
/// Coordinates are pixels of the current target (the window or an
/// off-screen surface), origin top-left, y downward, relative to the
/// viewport. Colours are R + G*256 + B*65536 (crv::rgb); a primitive drawn
/// in the colour key is invisible. Angles are degrees, positive turning
/// counter-clockwise on the screen. Sprites are numbered 0..65536, of which
/// 65503..65535 are the run-time's own (65504 + f holds font f's image);
/// fonts 0..31, surfaces 0..31, shader slots 0..254.
///
/// **Images** are BMP (uncompressed), PNG or JPEG files. The colour key
/// (crv::set_colour_key, default 0x8000FF) makes the pixels of exactly
/// that colour transparent in BMP files and in PNG files without
/// transparency of their own (RGB or palette). A PNG with an alpha
/// channel or a transparency chunk keeps its own alpha, partly transparent
/// pixels included, and is not keyed; grey PNGs and JPEG files are never
/// keyed. PNG samples of 16 bits are reduced to 8; a grey PNG with an
/// alpha channel cannot be read.
///
/// **Lifetime:** the renderer, with its sprites, fonts and surfaces, exists
/// from start-up to program end; every function here does nothing (or
/// answers 0, false or empty) before and after. Present the picture with
/// crv::present_frame (corvane/app.hpp).
///
/// **Threads:** main thread only.
///
/// **Failures:** loading and saving set the last-error code (0 on success,
/// 3 when the file cannot be read or written) and, where they return one,
/// answer false; drawing never fails, and sprite, font, surface and shader
/// numbers out of range are ignored.
///
/// **Examples:** @ref example_hello (a rectangle and text),
/// @ref example_scene3d (sprites made from pixel arrays, 2D text over 3D),
/// @ref example_veltrack (a road drawn line by line, every frame),
/// @ref example_surfaces (an off-screen surface shown through a fragment
/// shader), @ref example_pathfind (a map of filled rectangles and lines),
/// @ref example_arcade (animation strips loaded from PNG files, pixel-exact
/// collision, two bitmap fonts made with crvfont).

/// @file
/// Render state, primitives, sprites, fonts, surfaces and shaders: see
/// @ref render2d.
#pragma once

#include <corvane/colour.hpp>
#include <corvane/dyn_array.hpp>
#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup render2d
/// @{

/// The size of the sprite table: sprite numbers run from 0 to k_sprite_count - 1.
constexpr std::int32_t k_sprite_count = 65537;
/// Font slots run from 0 to k_font_count - 1.
constexpr std::int32_t k_font_count = 32;
/// Off-screen surfaces run from 0 to k_surface_count - 1.
constexpr std::int32_t k_surface_count = 32;
/// Shader slots run from 0 to k_shader_count - 1.
constexpr std::int32_t k_shader_count = 255;

/// @name Render state
/// @{

/// The colour the picture is cleared to after each frame (and now); -1
/// keeps the picture, so drawing accumulates. Drops the background image.
void set_clear_colour(std::int32_t colour);
/// How drawing blends: 0 opaque (the default), where only the colour key
/// is see-through; > 0 additive; < 0 translucent. The magnitude, limited
/// to 1, is the alpha everything is drawn with.
void set_alpha_mode(double mode);
/// Sprite filtering: non-zero, sprites are filtered smoothly when scaled or turned (the
/// default); 0: nearest pixel.
void set_smoothing(std::int32_t flag);
/// The transparent colour of images loaded from now on (and of primitives
/// drawn from now on); default 0x8000FF.
void set_colour_key(std::int32_t colour);
/// Turns the picture by orientation x 90 degrees (limited to 0..3); the
/// program's view then has width and height swapped under 1 and 3. Resets
/// the viewport.
void set_orientation(std::int32_t orientation);
/// The current orientation 0..3.
std::int32_t get_orientation();
/// Limits drawing to a rectangle of the target, which becomes the origin;
/// a width or height <= 0 means the whole target.
void set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
/// The current viewport into *x, *y, *w, *h.
void get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h);
/// The screen size as the program sees it (swapped under orientations 1, 3).
void get_screen_size(std::int32_t* w, std::int32_t* h);
/// Whether the driver takes BGRA pixel data.
bool bgra_supported();
/// @}

/// @name Primitives
/// @{

/// Draws one pixel.
void draw_point(std::int32_t x, std::int32_t y, std::int32_t colour);
/// Draws a one-pixel line, both end pixels included.
void draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t colour);
/// Draws a filled rectangle of w x h pixels with its top-left corner at (x, y).
void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t colour);
/// The colour of a pixel of the picture drawn so far (top byte 0).
std::int32_t read_pixel(std::int32_t x, std::int32_t y);
/// @}

/// @name Vertex batches: poly_begin, any poly_vertex and poly_new_strip, poly_end
/// @{

/// Starts a batch textured with a sprite (negative: untextured). mode 0:
/// triangle fan; 1: separate triangles; 2: triangle strip; other modes draw
/// nothing.
void poly_begin(std::int32_t sprite, std::int32_t mode);
/// Adds a vertex at (x, y) with texture position (tx, ty) in the sprite's
/// pixels (outside the image the texture repeats) and a colour.
void poly_vertex(double x, double y, double tx, double ty, std::int32_t colour);
/// In strip mode, starts a new strip joined to the previous one by
/// invisible triangles.
void poly_new_strip();
/// Draws the batch and ends it.
void poly_end();
/// @}

/// @name Sprites
/// @{

/// Loads a BMP, PNG or JPEG image (disk first, then the media pack) into a
/// sprite; pixels of the colour key become transparent, and a PNG's own
/// alpha is kept (see @ref render2d "Images"). Error code 3 when it cannot
/// be read. The sprite keeps the frame size it had (none for a slot never
/// given one): anim_load or anim_set_frame_size give it one.
void sprite_load(const DynString& name, std::int32_t sprite);
/// sprite_load, with the image cut into frames of frame_w x frame_h, left to
/// right and top to bottom.
void anim_load(const DynString& name, std::int32_t sprite, std::int32_t frame_w, std::int32_t frame_h);
/// Loads an image as a normal map (no colour key) for shaders.
void sprite_load_normal_map(const DynString& name, std::int32_t sprite);
/// Makes a sprite of w x h pixels from an array of w * h elements (format:
/// corvane/colour.hpp, alpha in the top byte). False, with the sprite
/// empty, when the sizes do not match the array.
bool sprite_from_pixels(std::int32_t sprite, const DynArray<std::int32_t>& pixels, std::int32_t w, std::int32_t h);
/// Copies the sprite's pixels into an array of width * height elements (format:
/// corvane/colour.hpp, alpha in the top byte). False for an empty sprite.
bool sprite_to_pixels(DynArray<std::int32_t>& pixels, std::int32_t sprite);
/// Reads an image file into an array (format: corvane/colour.hpp; pixels of
/// the colour key give 0) and its size into *w, *h, without making a
/// sprite. False and error code 3 when it cannot be read.
bool image_load_pixels(const DynString& name, std::int32_t* w, std::int32_t* h, DynArray<std::int32_t>& pixels);
/// Loads an image as the background, drawn instead of clearing each frame.
void background_load(const DynString& name);
/// The sprite's image size into *w, *h; 0 x 0 for an empty sprite or a
/// number out of range.
void sprite_get_size(std::int32_t sprite, std::int32_t* w, std::int32_t* h);
/// sprite_get_size into doubles.
void sprite_get_size(std::int32_t sprite, double* w, double* h);
/// The sprite's OpenGL texture name (0: none), for a game's own OpenGL.
std::int32_t sprite_get_texture(std::int32_t sprite);
/// The lowest empty sprite number, or -1.
std::int32_t sprite_free_slot();
/// Cuts a loaded sprite into frames of frame_w x frame_h.
void anim_set_frame_size(std::int32_t sprite, std::int32_t frame_w, std::int32_t frame_h);
/// Draws the sprite with its top-left corner at (x, y).
void sprite_draw(std::int32_t sprite, std::int32_t x, std::int32_t y);
/// Draws the sprite scaled to w x h; a negative w or h mirrors it, drawn
/// to the left of or above (x, y).
void sprite_draw_stretched(std::int32_t sprite, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
/// Draws the sprite scaled by zoom_x and zoom_y about its centre. A
/// negative zoom mirrors it in place: zoom_x < 0 left to right, zoom_y < 0
/// upside down.
void sprite_draw_zoomed(std::int32_t sprite, std::int32_t x, std::int32_t y, double zoom_x, double zoom_y);
/// Draws the sprite turned by angle degrees about its centre.
void sprite_draw_rotated(std::int32_t sprite, std::int32_t x, std::int32_t y, double angle);
/// Draws the sprite turned about its centre and scaled by zoom; a negative
/// zoom mirrors both ways, which is a further half turn.
void sprite_draw_rotozoom(std::int32_t sprite, std::int32_t x, std::int32_t y, double angle, double zoom);
/// Draws frame number frame (counted left to right, then down).
void anim_draw(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y);
/// Draws a frame scaled to w x h.
void anim_draw_stretched(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y, std::int32_t w,
                         std::int32_t h);
/// Draws a frame turned about its centre and scaled by zoom.
void anim_draw_rotozoom(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y, double angle,
                        double zoom);
/// True when non-transparent pixels of sprite a at (xa, ya) and sprite b at
/// (xb, yb) overlap. The images are tested as sprite_draw draws them:
/// turning and zooming are not taken into account.
bool sprite_collide(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t b, std::int32_t xb,
                    std::int32_t yb);
/// sprite_collide for two animation frames. Both sprites need a frame size
/// (anim_load or anim_set_frame_size): a sprite without one, such as an
/// image loaded with sprite_load into a slot never given a frame size,
/// never collides here; test whole images with sprite_collide.
bool anim_collide(std::int32_t a, std::int32_t frame_a, std::int32_t xa, std::int32_t ya, std::int32_t b,
                  std::int32_t frame_b, std::int32_t xb, std::int32_t yb);
/// @}

/// @name Fonts and text (a font image holds 16 glyph cells per row)
/// @{

/// Loads a font image into a slot; pixels of the colour key are
/// transparent. Error code 3 when it cannot be read.
void font_load(const DynString& name, std::int32_t slot);
/// Makes slot the font text_print uses.
void font_select(std::int32_t slot);
/// Prints the text with the current font, the top-left corner of its first
/// glyph at (x, y); proportional non-zero: each glyph advances by its own
/// width, else by the cell width.
void text_print(const DynString& text, double x, double y, std::int32_t proportional);
/// The width in pixels text_print would advance.
std::int32_t text_width(const DynString& text, std::int32_t proportional);
/// The current font's cell size into *w, *h.
void font_get_size(std::int32_t* w, std::int32_t* h);
/// font_get_size into doubles.
void font_get_size(double* w, double* h);
/// The lowest empty font slot, or -1.
std::int32_t font_free_slot();
/// @}

/// @name Off-screen surfaces, grabbing and saving
/// @{

/// Makes surface number surface, w x h pixels, whose picture is the given
/// sprite.
void surface_create(std::int32_t surface, std::int32_t sprite, std::int32_t w, std::int32_t h);
/// Draws into a surface from now on; negative: into the window again.
void surface_use(std::int32_t surface);
/// Copies a w x h rectangle of the picture at (x, y) into a sprite.
void sprite_grab(std::int32_t sprite, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
/// Makes the current picture the background (drawn instead of clearing).
void background_from_screen();
/// Saves the picture drawn so far in this frame, not the one on screen:
/// present_frame starts a new picture (cleared, or the background), so
/// call it after drawing and before present_frame. ".png", ".jpg" or else BMP by the name's extension.
/// False and error code 3 when it cannot be written.
bool screenshot_save(const DynString& name);
/// Saves a sprite's image as screenshot_save does. BMP has no alpha: its
/// pixels that are not fully opaque are saved in the default colour key
/// 0x8000FF, so that loading the file with that key makes them
/// transparent again.
bool sprite_save(const DynString& name, std::int32_t sprite);
/// @}

/// @name Shaders (GLSL; messages go to the debug output)
/// @{

/// Compiles and links a vertex and a fragment shader file into a slot.
/// False when a file is missing or the driver rejects them.
bool shader_load(std::int32_t slot, const DynString& vertex_file, const DynString& fragment_file);
/// Draws with the slot's program from now on; any other number returns to
/// fixed-function drawing.
void shader_use(std::int32_t slot);
/// Sets a float uniform of the current program.
void shader_set_float(const DynString& name, double value);
/// @}

/// @}

}  // namespace crv
