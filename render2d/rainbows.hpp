// OpenGLRainbows: the one 2D renderer and graphics-state object. It owns the
// game window and its OpenGL context (created by the application frame),
// the render state every drawing operation shares (colour key, global
// alpha, blending, smoothing, orientation, viewport, clearing), the
// primitives and the vertex batch, the sprite table with its textures and
// collision masks, the background slots, the bitmap fonts, the off-screen
// surfaces and the shader programs. Created at start-up, destroyed at
// program end (the destructor deletes every texture before the context
// goes); reached through app_state.renderer. Main thread only. Loading and
// saving record the last-error code (3 for a file that cannot be read or
// written); drawing never reports an error, and sprite, font, surface and
// shader numbers out of range are ignored.
//
// Drawing is batched (batch.cpp): consecutive lines and points go into one
// line list; consecutive sprites, animation frames, glyphs, rectangles and
// textured vertex batches without vertex colours that share texture and
// state go into one vertex array, turned and zoomed
// on the CPU with the same float operations the matrix path would make, so
// every pixel is the one a call-at-a-time drawing gives. Texture binding,
// filters, wrap mode and client arrays are remembered and set only when
// they change. Anything outside this class that talks to OpenGL (3D,
// read-back, video, the buffer swap) must call flush() first: it draws
// what is pending, disables the client arrays and forgets the remembered
// state, since the other user may change it.
// The game's drawing functions (corvane/render2d.hpp) forward to the
// renderer and do nothing while it does not exist.
#pragma once

#include <corvane/render2d.hpp>

#include "render2d/gl_api.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace crv {

namespace plat {
struct Window;
}

struct DecodedImage;

// Sprite numbers 0..65536; the last 32 below 65536 hold the font images and
// the one below them the window contents saved by an emulated surface.
constexpr std::int32_t k_font_sprite_base = 65504;
constexpr std::int32_t k_saved_window_sprite = 65503;
constexpr std::int32_t k_background_count = 8;
constexpr std::int32_t k_background_tiles = 8;  // per side

struct SpriteRecord {
    GLuint texture = 0;
    GLuint mip_texture = 0;
    float s_extent = 1.0f;  // image width / texture width
    float t_extent = 1.0f;
    std::int16_t texture_width = -1;
    std::int16_t texture_height = -1;
    std::int16_t image_width = 0;
    std::int16_t image_height = 0;
    std::int16_t frame_width = 0;  // 0: not an animation strip
    std::int16_t frame_height = 0;
};

struct GlyphRecord {
    std::uint8_t left = 0;     // first lit column inside the cell
    std::uint8_t advance = 0;  // proportional advance in pixels
    float s0 = 0;
    float s1 = 0;
};

struct SurfaceRecord {
    GLuint framebuffer = 0;  // 0: emulated through the window
    GLuint depth_buffer = 0;
    GLint saved_binding = 0;
    std::int32_t width = 0;  // framebuffer size (the sprite's texture size)
    std::int32_t height = 0;
    std::int32_t sprite = -1;
    std::int32_t saved_orientation = 0;
};

struct BackgroundSlot {
    static constexpr int k_tiles = k_background_tiles * k_background_tiles;
    GLuint texture[k_tiles] = {};  // index column * 8 + row
    std::int16_t texture_width[k_tiles] = {};
    std::int16_t texture_height[k_tiles] = {};
    std::int16_t tile_width[k_tiles] = {};
    std::int16_t tile_height[k_tiles] = {};
    std::uint8_t columns = 0;  // 0: empty
    std::uint8_t rows = 0;
};

struct ShaderSlot {
    GLhandleARB program = 0;
    GLhandleARB vertex = 0;
    GLhandleARB fragment = 0;
};

class OpenGLRainbows {
public:
    OpenGLRainbows();
    virtual ~OpenGLRainbows();
    OpenGLRainbows(const OpenGLRainbows&) = delete;
    OpenGLRainbows& operator=(const OpenGLRainbows&) = delete;

    // --- window and context (written by the application frame) ---
    plat::Window* window = nullptr;
    std::int32_t width = 0;   // physical client size in pixels
    std::int32_t height = 0;
    std::int32_t colour_depth = 0;
    bool full_screen_active = false;
    std::int32_t multisample_request = 0;
    double frame_interval = 0;  // ms
    double frame_deadline = 0;  // clock_ms value
    GlExtensions ext;

    // --- render state ---
    float global_alpha = 1.0f;
    bool clear_every_frame = true;
    bool depth_clear_pending = true;
    bool bgra_supported = false;
    std::int32_t current_surface = -1;  // off-screen surface drawn to, -1: window
    bool smoothing = true;
    std::int32_t orientation = 0;
    std::int32_t colour_key = k_default_colour_key;
    std::int32_t font_colour_key = 0;

    // --- state operations ---
    void set_clear_colour(std::int32_t colour);  // -1: no clearing
    void set_alpha_mode(float mode);
    void set_smoothing(std::int32_t flag);
    void set_colour_key(std::int32_t colour);
    void set_orientation(std::int32_t orientation);
    void set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    void get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h) const;
    // (H, W) under orientations 1 and 3.
    void get_screen_size(std::int32_t* w, std::int32_t* h) const;

    // Program view to physical pixel, and directions likewise.
    void map_point(std::int32_t x, std::int32_t y, std::int32_t* px, std::int32_t* py) const;
    void unmap_point(std::int32_t px, std::int32_t py, std::int32_t* x, std::int32_t* y) const;
    void map_vector(double dx, double dy, double* px, double* py) const;

    // --- primitives ---
    void draw_point(std::int32_t x, std::int32_t y, std::int32_t colour);
    // Includes both end pixels.
    void draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t colour);
    void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t colour);
    std::int32_t read_pixel(std::int32_t x, std::int32_t y);

    // --- vertex batch ---
    void poly_begin(std::int32_t sprite, std::int32_t mode);
    void poly_vertex(float x, float y, float tx, float ty, std::int32_t colour);
    void poly_new_strip();
    void poly_end();
    std::int32_t batch_vertex_count() const { return batch_count_; }
    std::int32_t batch_capacity() const { return batch_capacity_; }

    // --- sprites (sprites.cpp) ---
    bool valid_sprite(std::int32_t n) const { return n >= 0 && n < k_sprite_count; }
    bool drawable_sprite(std::int32_t n) const;
    const SpriteRecord& sprite(std::int32_t n) const { return sprites_[static_cast<std::size_t>(n)]; }
    // Texturing on unit 0 with the sprite's texture, wrap repeat; negative
    // (or out of range): texturing off.
    void bind_sprite(std::int32_t n);
    void free_sprite(std::int32_t n);
    // The image as sprite n's texture (and mip texture, except for font
    // slots, which are stored raw). False, with the sprite empty, when the
    // image is empty or cannot be uploaded.
    bool upload_sprite(std::int32_t n, const DecodedImage& image, bool normal_map);
    void sprite_load(const char* name, std::int32_t n);
    void anim_load(const char* name, std::int32_t n, std::int32_t frame_w, std::int32_t frame_h);
    void sprite_load_normal_map(const char* name, std::int32_t n);
    bool sprite_from_pixels(std::int32_t n, const DynArray<std::int32_t>& pixels, std::int32_t w, std::int32_t h);
    bool sprite_to_pixels(DynArray<std::int32_t>& pixels, std::int32_t n);
    bool image_load_pixels(const char* name, std::int32_t* w, std::int32_t* h, DynArray<std::int32_t>& pixels);
    void background_load(const char* name);
    void sprite_get_size(std::int32_t n, std::int32_t* w, std::int32_t* h) const;
    GLuint sprite_get_texture(std::int32_t n) const;
    std::int32_t sprite_free_slot() const;
    void anim_set_frame_size(std::int32_t n, std::int32_t frame_w, std::int32_t frame_h);
    void sprite_draw(std::int32_t n, std::int32_t x, std::int32_t y);
    void sprite_draw_stretched(std::int32_t n, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    void sprite_draw_zoomed(std::int32_t n, std::int32_t x, std::int32_t y, float zoom_x, float zoom_y);
    void sprite_draw_rotated(std::int32_t n, std::int32_t x, std::int32_t y, float angle);
    void sprite_draw_rotozoom(std::int32_t n, std::int32_t x, std::int32_t y, float angle, float zoom);
    void anim_draw(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y);
    void anim_draw_stretched(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y, std::int32_t w,
                             std::int32_t h);
    void anim_draw_rotozoom(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y, float angle,
                            float zoom);
    bool sprite_collide(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t b, std::int32_t xb,
                        std::int32_t yb);
    bool anim_collide(std::int32_t a, std::int32_t frame_a, std::int32_t xa, std::int32_t ya, std::int32_t b,
                      std::int32_t frame_b, std::int32_t xb, std::int32_t yb);
    void free_collision_mask(std::int32_t n);
    // Background slots: slot 0 is drawn by frame presentation; the text
    // input line borrows slot 3.
    const BackgroundSlot& background(std::int32_t slot) const { return backgrounds_[slot]; }
    void release_background(std::int32_t slot);
    void draw_background(std::int32_t slot);
    // Every sprite, background and surface object (before the context goes).
    void release_all_textures();
    // The driver's maximum texture side (read when the context is made).
    std::int32_t max_texture_size = 1024;

    // --- fonts (fonts.cpp) ---
    void font_install_builtin(std::int32_t slot);
    void font_load(const char* name, std::int32_t slot);
    void font_select(std::int32_t slot);
    std::int32_t current_font() const { return current_font_; }
    // Prints bytes [text, text + length) at (x, y) with the current font.
    void text_print(const char* text, std::int32_t length, float x, float y, bool proportional, float z = 0);
    std::int32_t text_width(const char* text, std::int32_t length, bool proportional) const;
    void font_get_size(std::int32_t* w, std::int32_t* h) const;
    std::int32_t font_free_slot() const;
    const GlyphRecord& glyph(std::int32_t slot, std::int32_t k) const { return glyphs_[slot][k]; }
    // Start-up: the first default font file found goes into slot 0.
    void load_default_font();

    // --- off-screen surfaces, grabbing, saving (surfaces.cpp) ---
    // Context set-up: decides between framebuffer objects and emulation.
    void init_surface_support();
    bool fbo_supported = false;
    // Alpha bits of the window's framebuffer; -1 until first needed.
    std::int32_t framebuffer_alpha_bits = -1;
    void surface_create(std::int32_t s, std::int32_t n, std::int32_t w, std::int32_t h);
    void surface_use(std::int32_t s);
    const SurfaceRecord& surface(std::int32_t s) const { return surfaces_[s]; }
    void sprite_grab(std::int32_t n, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    void background_from_screen(std::int32_t slot = 0);
    bool screenshot_save(const char* name);
    bool sprite_save(const char* name, std::int32_t n);
    // The sprite's image as RGBA rows top-down; false for an empty sprite.
    bool read_sprite_pixels(std::int32_t n, std::vector<std::uint8_t>& rgba);

    // --- shaders (shaders.cpp) ---
    bool shader_load(std::int32_t slot, const char* vertex_file, const char* fragment_file);
    void shader_use(std::int32_t slot);
    void shader_set_float(const char* name, float value);
    // The texture-unit uniforms pass report = false: their absence is silent.
    void shader_set_int(const char* name, std::int32_t value, bool report);
    void shader_set_attrib(const char* name, float value);
    std::int32_t current_shader() const { return current_shader_; }
    const ShaderSlot& shader_slot(std::int32_t slot) const { return shaders_[slot]; }
    // Where shader messages go (each text followed by a line break); the
    // debug output unless replaced.
    void (*shader_message)(const char* text) = nullptr;
    // Called before the viewport changes: the 3D engine, which sits above
    // this renderer, ends a pending shadow pass there. Null: nothing to do.
    void (*before_viewport_change)() = nullptr;

    // --- frame ---
    // Sends batched drawing to OpenGL, leaves the client arrays disabled and
    // forgets the remembered GL state (see the top of this file).
    void flush();
    // Tests only: with batching off every drawing call reaches OpenGL at
    // once by the plain path (matrix stack for turned sprites, one draw call
    // per sprite, glyph string, rectangle, line and point), the reference
    // the batched pictures are compared with.
    void set_batching(bool on);
    bool batching() const { return batching_; }
    // After a swap: background, or clearing as the two flags say.
    void prepare_next_frame();
    // The state every frame starts from: opaque, no blending, alpha test on,
    // smoothing on, the whole screen as viewport.
    void reset_frame_state();
    // The 2D state that set_viewport establishes, and the GL set-up of a
    // fresh context.
    void reset_2d_state();
    // The texture upload every texture of the renderer goes through (sprites,
    // background tiles, the 3D engine's world textures): the rectangle x0, y0,
    // w x h of the image (w or h 0: to the image's edge), cut to the largest
    // texture side, into a power-of-two texture of at least 16 texels a side,
    // rows bottom-up, edges bled under transparent texels unless raw, and a
    // mip-mapped second texture when mip_texture is given. Replaces the
    // textures already named there. Returns the texture size in *tw, *th;
    // false when the rectangle is empty or the driver refused.
    bool upload_texture(GLuint* texture, const DecodedImage& image, std::int32_t x0, std::int32_t y0,
                        std::int32_t w, std::int32_t h, bool raw, bool normal_map, GLuint* mip_texture,
                        std::int32_t* tw, std::int32_t* th);

private:
    // Kinds of the pending quad batch; quads of one kind share how they are
    // drawn (see batch.cpp).
    enum class QuadKind : std::uint8_t { none, textured, turned, filled };
    struct QuadVertex {
        float x, y, s, t;
        std::uint8_t rgba[4];
    };
    static_assert(sizeof(QuadVertex) == 20);
    // Remembered texture parameters of a sprite's texture, valid while
    // generation matches gl_generation_.
    struct TextureParams {
        std::uint32_t generation = 0;
        GLint filter = 0;
        GLint wrap = 0;
    };
    // Sends the pending lines or quads (without forgetting GL state).
    void flush_batch();
    void draw_pending_quads();
    void draw_pending_lines();
    // Forgets every remembered GL state.
    void invalidate_gl_cache();
    // Cached state setters.
    void set_client_arrays(bool vertex, bool texcoord, bool colour);
    void set_texturing(bool on);
    void bind_texture(GLuint texture);
    void set_sprite_wrap(std::int32_t n, GLint wrap);
    void set_sprite_filter(std::int32_t n, GLint filter);
    // Starts or continues a quad batch of this kind, texture and wrap mode
    // (sprite -1: untextured); flushes what is pending when it differs.
    // Returns room for `count` quads (4 vertices each).
    QuadVertex* add_quads(QuadKind kind, std::int32_t sprite, GLint wrap, std::int32_t count, bool glyphs);
    // Makes room for `count` more quads (keeping the pending ones).
    void grow_quads(std::size_t count);
    // The matrices the turned quads are transformed with; false when they
    // are not the plain 2D ones (then turned sprites take the matrix path).
    bool load_turn_matrices();
    void sprite_quad(std::int32_t n, const float (&quad)[4][4], bool clamp);
    // A texture rectangle: s across, t up from the bottom edge.
    struct TexRect {
        float s0 = 0, t0 = 0, s1 = 0, t1 = 0;
    };
    void upright_quad(std::int32_t n, float x0, float y0, float x1, float y1, const TexRect& tex, bool clamp);
    // The texture rectangle of an animation frame; false when the sprite
    // cannot be drawn or has no frame size.
    bool frame_texture(std::int32_t n, std::int32_t frame, TexRect* tex) const;
    // poly_end of a textured batch without vertex colours: its triangles
    // join the pending sprites when it would be drawn with their texture
    // and state; false (nothing done) when it must be drawn on its own.
    bool join_poly_batch();
    void sprite_draw_rotozoom_direct(std::int32_t n, std::int32_t x, std::int32_t y, float angle, float zoom);
    void text_print_direct(const char* text, std::int32_t length, float x, float y, bool proportional, float z);

    struct LineVertex {
        float x, y;
        std::uint8_t rgba[4];
    };
    struct BatchVertex {
        float x, y, s, t;
        std::uint8_t rgba[4];
    };
    static_assert(sizeof(BatchVertex) == 20);

    std::uint8_t primitive_alpha(std::int32_t colour) const;
    // Sets both filters of the bound texture from the smoothing flag.
    void apply_smoothing();
    // The 4-vertex quad routine: x, y, s, t per vertex, one triangle fan,
    // wrap clamped to the edge; texture coordinates only with a sprite bound.
    void draw_quad(const float (&quad)[4][4]);
    // A fan of 4 vertices with the wrap mode left as bound (repeat).
    void draw_plain_quad(const float (&quad)[4][4]);
    // The frame rectangle of an animation strip: column and row offsets in
    // pixels; false when the sprite has no frame size.
    bool frame_origin(std::int32_t n, std::int32_t frame, bool at_least_one_column, std::int32_t* fx,
                      std::int32_t* fy) const;
    bool collide_rects(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t ox_a, std::int32_t oy_a,
                       std::int32_t wa, std::int32_t ha, std::int32_t b, std::int32_t xb, std::int32_t yb,
                       std::int32_t ox_b, std::int32_t oy_b, std::int32_t wb, std::int32_t hb);
    bool make_collision_mask(std::int32_t n);
    bool load_into_sprite(const char* name, std::int32_t n, bool normal_map);
    void measure_font(std::int32_t slot, const DecodedImage& image);
    // A surface with a framebuffer object is the drawing target.
    bool drawing_to_framebuffer_object() const;
    // The drawing colour key as the framebuffer stores it (a probe pixel
    // drawn and read back), black for key 0.
    std::int32_t colour_key_as_stored();
    void shader_report(const char* text);

    std::vector<SpriteRecord> sprites_ = std::vector<SpriteRecord>(k_sprite_count);
    std::vector<std::unique_ptr<std::uint8_t[]>> masks_ =
        std::vector<std::unique_ptr<std::uint8_t[]>>(k_sprite_count);
    BackgroundSlot backgrounds_[k_background_count];
    GlyphRecord glyphs_[k_font_count][256];
    std::int32_t current_font_ = 0;
    std::int32_t bound_sprite_ = -1;
    std::vector<float> text_vertices_;
    SurfaceRecord surfaces_[k_surface_count];
    std::vector<std::uint8_t> readback_;
    bool grab_keyed_ = true;  // off while an emulated surface saves the window
    ShaderSlot shaders_[k_shader_count];
    std::int32_t current_shader_ = -1;
    bool shader_support_reported_ = false;
    void begin_pixel_exact(std::int32_t colour);
    void end_pixel_exact();
    void grow_batch(std::int32_t needed);

    std::int32_t viewport_[4] = {0, 0, 0, 0};
    std::vector<LineVertex> pending_lines_;
    BatchVertex* batch_ = nullptr;
    std::int32_t batch_count_ = 0;
    std::int32_t batch_capacity_ = 0;
    std::int32_t batch_mode_ = 0;
    std::int32_t batch_sprite_ = -1;
    float batch_inv_width_ = 1.0f;
    float batch_inv_height_ = 1.0f;
    float batch_image_height_ = 0.0f;
    bool batch_colours_ = false;
    bool batch_join_pending_ = false;

    // Quad batch and remembered GL state (batch.cpp).
    bool batching_ = true;
    QuadKind quad_kind_ = QuadKind::none;
    std::int32_t quad_sprite_ = -1;
    GLint quad_wrap_ = 0;
    GLint quad_filter_ = 0;
    bool quad_glyphs_ = false;  // strip-ordered triangles (glyphs), else fans
    // Pending quads: quad_count_ of quad_capacity_ (4 vertices each), left
    // uninitialised until written. The two index lists are built once, for
    // the most quads one draw call takes (16-bit indices: 16384 quads), so
    // adding a quad writes only its vertices.
    std::unique_ptr<QuadVertex[]> quads_;
    std::size_t quad_count_ = 0;
    std::size_t quad_capacity_ = 0;
    std::vector<GLushort> fan_indices_;
    std::vector<GLushort> strip_indices_;
    std::uint32_t gl_generation_ = 1;
    bool gl_known_ = false;      // the remembered values below hold
    bool texturing_on_ = false;  // GL_TEXTURE_2D on unit 0
    GLuint bound_texture_ = 0;
    std::uint8_t client_arrays_ = 0;  // bits: vertex, texcoord, colour
    bool turn_known_ = false;
    bool turn_usable_ = false;
    float projection_[16] = {};
    std::vector<TextureParams> texture_params_ = std::vector<TextureParams>(k_sprite_count);
};

}  // namespace crv
