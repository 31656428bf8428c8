// Rendering tests on a real window: the 3D state that begin_3d and the
// light, fog and camera operations leave in OpenGL, and small scenes
// compared with golden images (tests/gfx3d/golden; regenerate them with
// CRV_UPDATE_GOLDEN=1) and checked for what they must show.
#include "app/app_state.hpp"
#include "gfx3d/rainbows3d.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "sys/resource.hpp"
#include "tests/gfx3d/mesh_fixtures.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace crv {
namespace {

constexpr int k_width = 80;
constexpr int k_height = 60;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top-down
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    int brightness(int x, int y) const { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2]; }
};

Picture capture(OpenGLRainbows& r) {
    r.flush();
    Picture p;
    p.width = r.width;
    p.height = r.height;
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    std::vector<std::uint8_t> rows(p.rgb.size());
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    std::size_t row = static_cast<std::size_t>(p.width) * 3;
    for (int y = 0; y < p.height; ++y)
        std::copy_n(&rows[(p.height - 1 - y) * row], row, &p.rgb[static_cast<std::size_t>(y) * row]);
    return p;
}

bool read_ppm(const std::string& path, Picture& p) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(in >> magic >> p.width >> p.height >> max) || magic != "P6") return false;
    in.get();
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size())));
}

void write_ppm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width << " " << p.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
}

// Software rasterisers differ in the last bit here and there: a pixel may
// be off by a little, and a few edge pixels by more.
void expect_golden(const Picture& got, const std::string& name) {
    std::string path = std::string(CRV_GFX3D_GOLDEN_DIR) + "/" + name + ".ppm";
    const char* update = std::getenv("CRV_UPDATE_GOLDEN");
    if (update != nullptr && *update != 0 && *update != '0') {
        write_ppm(path, got);
        return;
    }
    Picture want;
    ASSERT_TRUE(read_ppm(path, want)) << "no golden image " << path << " (CRV_UPDATE_GOLDEN=1 makes it)";
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    int different = 0;
    for (std::size_t i = 0; i < got.rgb.size(); i += 3) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(got.rgb[i + c] - want.rgb[i + c]));
        if (d > 12) ++different;
    }
    int allowed = got.width * got.height / 100;
    if (different > allowed) {
        write_ppm(std::string(::testing::TempDir()) + "/" + name + "_got.ppm", got);
        ADD_FAILURE() << name << ": " << different << " pixels differ from the golden image";
    }
}

class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        renderer_ = &test::gl_renderer(k_width, k_height);
        r().set_orientation(0);
        r().set_clear_colour(0);
        r().reset_frame_state();
        engine_ = std::make_unique<Rainbows3D>(renderer_);
        app_state.engine3d = engine_.get();
    }
    void TearDown() override {
        app_state.engine3d = nullptr;
        engine_.reset();
        r().set_orientation(0);
        r().reset_frame_state();
    }
    OpenGLRainbows& r() { return *renderer_; }
    Rainbows3D& e() { return *engine_; }

    // A checkerboard of two colours into sprite n.
    void checker_sprite(std::int32_t n, std::uint32_t a, std::uint32_t b) {
        DecodedImage image;
        ASSERT_TRUE(image.prepare(16, 16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                std::uint32_t c = ((x / 4 + y / 4) % 2) != 0 ? a : b;
                std::uint8_t* p = image.row(y) + x * 4;
                p[0] = static_cast<std::uint8_t>(c), p[1] = static_cast<std::uint8_t>(c >> 8);
                p[2] = static_cast<std::uint8_t>(c >> 16), p[3] = 255;
            }
        ASSERT_TRUE(r().upload_sprite(n, image, false));
    }

    // An axis-aligned box of the given half sizes, faces wound clockwise as
    // seen from outside, uv 0..1 on every face.
    void box_object(std::int32_t index, float hx, float hy, float hz, std::int32_t colour = 0xFFFFFF) {
        e().begin_object(index);
        // Each face: its four corners clockwise from outside.
        const float faces[6][4][3] = {
            {{1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}},      // +z
            {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},  // -z
            {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},      // +x
            {{-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}},  // -x
            {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},      // +y
            {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}},  // -y
        };
        const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        for (const auto& face : faces) {
            e().begin_primitive(2);
            for (int i = 0; i < 4; ++i)
                e().add_vertex(face[i][0] * hx, face[i][1] * hy, face[i][2] * hz, uv[i][0], uv[i][1], colour);
        }
        e().end_object();
    }

    // A flat square grid in y = 0 (n x n cells of the given side), facing
    // up, as strips: lighting is computed per vertex, so a spot needs them.
    void plane_object(std::int32_t index, float half, int n, std::int32_t colour = 0xFFFFFF) {
        e().begin_object(index);
        float cell = 2 * half / static_cast<float>(n);
        for (int row = 0; row < n; ++row) {
            e().begin_primitive(1);
            float z0 = -half + cell * static_cast<float>(row), z1 = z0 + cell;
            for (int i = 0; i <= n; ++i) {
                float x = -half + cell * static_cast<float>(i);
                e().add_vertex(x, 0, z1, 0, 0, colour);
                e().add_vertex(x, 0, z0, 0, 0, colour);
            }
        }
        e().end_object();
    }

    OpenGLRainbows* renderer_ = nullptr;
    std::unique_ptr<Rainbows3D> engine_;
};

TEST_F(Scene, Begin3dProjectionAndState) {
    e().begin_3d(1, 100, 45);
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    // h = near * tan(22.5 degrees) = 0.41421: the top row scale is near / h.
    EXPECT_NEAR(p[5], 1 / 0.41421356f, 1e-4f);
    EXPECT_NEAR(p[0], p[5] * k_height / k_width, 1e-4f);
    EXPECT_NEAR(e().view_cone_tangent(), std::tan(50 * k_degrees_to_radians), 1e-5f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);

    // A negative fov is orthographic (w row 0 0 0 1) with the widest cone.
    e().begin_3d(1, 100, -10);
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_EQ(p[3], 0.0f);
    EXPECT_EQ(p[15], 1.0f);
    EXPECT_NEAR(p[5], 1 / (std::tan(5 * k_degrees_to_radians) * 100), 1e-5f);
    EXPECT_NEAR(e().view_cone_tangent(), std::tan(89 * k_degrees_to_radians), 1e-3f);
    // fov + 5 above 89 also takes tan(89).
    e().begin_3d(1, 100, 120);
    EXPECT_NEAR(e().view_cone_tangent(), std::tan(89 * k_degrees_to_radians), 1e-3f);

    // Culling modes.
    e().set_culling(1);
    GLint front = 0;
    glGetIntegerv(GL_FRONT_FACE, &front);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(front, GL_CW);
    e().set_culling(-1);
    glGetIntegerv(GL_FRONT_FACE, &front);
    EXPECT_EQ(front, GL_CCW);
    e().set_culling(0);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(Scene, FogAndLightState) {
    e().begin_3d(2, 50, 60);
    e().set_fog(0x102030, false, 0, 0);
    float start = 0, end = 0;
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_EQ(start, 2.0f);
    EXPECT_EQ(end, 50.0f);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    e().set_fog(0x102030, true, 0.25f, 0);
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_EXP);
    e().set_fog(-1, false, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_FOG));

    float pos[4], cutoff = 0;
    e().set_light(0, 0xFFFFFF, 1, 2, 3, 0, 0, -2, 180, false);
    glGetLightfv(GL_LIGHT0, GL_POSITION, pos);
    EXPECT_EQ(pos[3], 0.0f);  // directional, towards -direction
    EXPECT_NEAR(pos[2], 1.0f, 1e-6f);
    e().set_light(9, 0xFFFFFF, 1, 2, 3, 0, 0, -1, 120, false);  // light 1
    glGetLightfv(GL_LIGHT1, GL_POSITION, pos);
    glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_EQ(pos[3], 1.0f);
    EXPECT_EQ(cutoff, 180.0f);
    e().set_light(2, 0xFFFFFF, 1, 2, 3, 0, 0, -1, 30, false);
    glGetLightfv(GL_LIGHT2, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_EQ(cutoff, 30.0f);
    EXPECT_EQ(e().light_bits(), 0x7u);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    for (std::int32_t i : {0, 1, 2}) e().set_light(i, 0, 0, 0, 0, 0, 0, 0, 0, false);
    EXPECT_EQ(e().light_bits(), 0u);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    // Shadow lights: -1 and -2 set modes 1 and 2; -3 starts a pass that a
    // cut-off of 0, the viewport hook or the next begin_3d ends.
    e().set_light(-1, 0, 0, 5, 0, 0, -1, 0, 120, false);
    EXPECT_EQ(e().shadow_mode(), 1);
    EXPECT_FALSE(e().shadow_pass_active());
    e().set_light(-2, 0, 0, 5, 0, 0, -1, 0, 120, false);
    EXPECT_EQ(e().shadow_mode(), 2);
    e().set_light(-3, 0, 0, 5, 0, 0, -1, 0, 120, false);
    EXPECT_TRUE(e().shadow_pass_active());
    EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
    finish_3d_shadow_pass();
    EXPECT_FALSE(e().shadow_pass_active());
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    GLboolean writes[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, writes);
    EXPECT_TRUE(writes[0] && writes[3]);

    // The texture variant is reset by the frame's hook.
    e().set_texture_variant(1);
    reset_3d_texture_variant();
    EXPECT_EQ(e().texture_variant(), 0);
}

TEST_F(Scene, PickingReadsTheCurrentMatrices) {
    e().begin_3d(1, 100, 45);
    e().set_camera(0, 0, 10, 0, 0, 0, 0, 1, 0);
    float s[3];
    EXPECT_FALSE(e().world_to_screen(0, 0, 10, s));  // the camera position
    ASSERT_TRUE(e().world_to_screen(0, 0, 0, s));
    EXPECT_NEAR(s[0], k_width / 2.0f, 1e-3f);
    EXPECT_NEAR(s[1], k_height / 2.0f, 1e-3f);
    float w[3];
    ASSERT_TRUE(e().screen_to_world(s[0], s[1] - 1, s[2], w));  // one row off: the flip
    EXPECT_NEAR(w[0], 0, 1e-3f);
    EXPECT_NEAR(w[2], 0, 1e-3f);
}

TEST_F(Scene, TexturedLitCube) {
    checker_sprite(1, 0x2060E0, 0xF0F0F0);
    e().set_normal_mode(1);
    box_object(0, 1, 1, 1);
    e().begin_3d(1, 100, 45);
    e().set_culling(1);
    e().set_camera(3, 2.5f, 4, 0, 0, 0, 0, 1, 0);
    e().set_light(0, 0xFFFFFF, 0, 0, 0, -0.5f, -1, -0.8f, 180, false);
    e().set_texture(1, -1);
    e().draw_object_frame(0, 0);
    Picture p = capture(r());
    // Background around, and the three visible faces lit differently.
    EXPECT_EQ(p.brightness(1, 1), 0);
    int top = p.brightness(40, 16), front = p.brightness(34, 38), side = p.brightness(52, 34);
    EXPECT_GT(top, 0);
    EXPECT_GT(front, 0);
    EXPECT_GT(side, 0);
    EXPECT_NE(top, front);
    // The texture's orange squares show (0x2060E0: red E0, blue 20).
    bool orange = false;
    for (int x = 20; x < 60; ++x)
        if (p.at(x, 38)[0] > p.at(x, 38)[2] + 60) orange = true;
    EXPECT_TRUE(orange);
    expect_golden(p, "textured_lit_cube");
}

TEST_F(Scene, LinearFogFadesDistantParts) {
    plane_object(0, 10, 8, 0xFFFFFF);
    auto draw = [&](bool fog) {
        r().set_clear_colour(0);
        e().begin_3d(1, 100, 45);
        e().set_camera(0, 2, 8, 0, 0, -4, 0, 1, 0);
        if (fog) e().set_fog(0x0000FF, false, 4, 14);
        e().draw_object_frame(0, 0);
        return capture(r());
    };
    Picture clear = draw(false), fogged = draw(true);
    // Near rows stay white, far rows turn towards the fog's red.
    const std::uint8_t* near_px = fogged.at(40, 58);
    const std::uint8_t* far_px = fogged.at(40, 27);
    EXPECT_GT(near_px[1], 150);
    EXPECT_GT(far_px[0], 200);
    EXPECT_LT(far_px[1], near_px[1]);
    EXPECT_GT(clear.at(40, 27)[1], 200);
    expect_golden(fogged, "fog");
}

TEST_F(Scene, SpotLightLightsOnlyItsCone) {
    e().set_normal_mode(2);
    plane_object(0, 6, 24, 0xFFFFFF);
    e().begin_3d(1, 100, 45);
    e().set_camera(0, 9, 6, 0, 0, 0, 0, 1, 0);
    e().set_light(0, 0xFFFFFF, 0, 4, 0, 0, -1, 0, 25, false);
    e().draw_object_frame(0, 0);
    Picture p = capture(r());
    int centre = p.brightness(40, 30);
    EXPECT_GT(centre, 300);
    EXPECT_LT(p.brightness(5, 55), centre / 4);
    EXPECT_LT(p.brightness(75, 55), centre / 4);
    expect_golden(p, "spot_light");
}

TEST_F(Scene, RotatedScreenTurnsThePicture) {
    // A red block above the centre of the view: on a screen turned by 90
    // degrees the view's top lies at the window's right.
    box_object(0, 0.5f, 0.5f, 0.5f, 0x0000FF);
    for (std::int32_t orientation : {0, 1}) {
        r().set_orientation(orientation);
        r().set_clear_colour(0);
        e().begin_3d(1, 100, 45);
        e().set_camera(0, 0, 8, 0, 0, 0, 0, 1, 0);
        e().transform_reset();
        e().transform_translate(0, 1.5f, 0);
        e().draw_object_frame(0, 0);
        Picture p = capture(r());
        long sx = 0, sy = 0, n = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (p.at(x, y)[0] > 128) sx += x, sy += y, ++n;
        ASSERT_GT(n, 0) << orientation;
        if (orientation == 0) {
            EXPECT_NEAR(static_cast<double>(sx) / n, k_width / 2.0, 2);
            EXPECT_LT(static_cast<double>(sy) / n, k_height / 2.0 - 5);
        } else {
            EXPECT_GT(static_cast<double>(sx) / n, k_width / 2.0 + 5);
            EXPECT_NEAR(static_cast<double>(sy) / n, k_height / 2.0, 2);
            // The block stays square: the aspect follows the turned view.
            int wide = 0, high = 0;
            for (int x = 0; x < p.width; ++x) wide += p.at(x, k_height / 2)[0] > 128;
            for (int y = 0; y < p.height; ++y) high += p.at(static_cast<int>(sx / n), y)[0] > 128;
            EXPECT_NEAR(wide, high, 2);
            expect_golden(p, "rotated_screen");
        }
    }
}

TEST_F(Scene, AnimationHalfWayBetweenTwoFrames) {
    // Two frames of a green square: at x = -2 and at x = +2. The file path
    // is part of the test: the object comes from zvd bytes in memory.
    MeshObjectX m;
    for (float x : {-2.0f, 2.0f}) {
        m.frames.push_back(MeshFrame{});
        MeshVertex marker{};
        marker.colour = k_marker_fan;
        m.frames.back().stream.push_back(marker);
        const float corners[4][2] = {{-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}};
        for (auto& c : corners) {
            MeshVertex v{};
            v.position[0] = x + c[0];
            v.position[1] = c[1];
            v.colour = 0x00FF00;
            v.normal[2] = 1;
            m.frames.back().stream.push_back(v);
        }
    }
    m.compact_palette();
    std::vector<std::uint8_t> bytes = mesh_save_bytes(m);
    std::string name = memory_name(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(e().object_load(0, name.c_str()));

    auto centre_x = [&](std::int32_t first, std::int32_t last, double position, bool interpolate) {
        r().set_clear_colour(0);
        e().begin_3d(1, 100, 45);
        e().set_camera(0, 0, 8, 0, 0, 0, 0, 1, 0);
        e().draw_object(0, first, last, position, interpolate);
        Picture p = capture(r());
        long sx = 0, n = 0;
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, k_height / 2)[1] > 128) sx += x, ++n;
        return n > 0 ? static_cast<double>(sx) / n : -1.0;
    };
    double left = centre_x(0, 0, 0, false), right = centre_x(1, 1, 0, false);
    EXPECT_LT(left, k_width / 2.0 - 10);
    EXPECT_GT(right, k_width / 2.0 + 10);
    EXPECT_NEAR(centre_x(0, 1, 0.5, true), k_width / 2.0, 1.5);
    EXPECT_NEAR(centre_x(1, 0, 0.5, true), k_width / 2.0, 1.5);
    EXPECT_NEAR(centre_x(0, 1, 0.5, false), k_width / 2.0, 1.5);
    // Positions outside 0..1 wrap; frames beyond the last are clamped.
    EXPECT_NEAR(centre_x(0, 1, 1.5, true), k_width / 2.0, 1.5);
    EXPECT_NEAR(centre_x(7, 9, 0, false), right, 0.5);
    r().set_clear_colour(0);
    e().begin_3d(1, 100, 45);
    e().set_camera(0, 0, 8, 0, 0, 0, 0, 1, 0);
    e().draw_object(0, 0, 1, 0.5, true);
    expect_golden(capture(r()), "animation_half_way");
}

TEST_F(Scene, StencilShadowOfABoxOnAPlane) {
    e().set_normal_mode(1);
    plane_object(0, 6, 12, 0xFFFFFF);
    box_object(1, 0.75f, 0.75f, 0.75f, 0x00C0FF);
    e().begin_3d(1, 100, 45);
    e().set_culling(1);
    e().set_camera(0, 8, 9, 0, 0, 0, 0, 1, 0);
    e().set_light(0, 0xFFFFFF, 0, 0, 0, 0.3f, -1, 0.2f, 180, false);
    e().draw_object_frame(0, 0);
    e().transform_translate(0, 1.5f, 0);
    e().draw_object_frame(1, 0);
    Picture lit = capture(r());

    // The shadow pass: only the box casts.
    e().set_light(-3, 0x000000, -1.5f, 7, -1, 0, -1, 0, 120, false);
    e().draw_object_frame(1, 0);
    e().set_light(-3, 0x000000, 0, 0, 0, 0, 0, 0, 0, false);
    EXPECT_FALSE(e().shadow_pass_active());
    Picture shaded = capture(r());

    // The light is up and to the left behind the box: the shadow falls on
    // the plane to the right of and in front of the box's foot.
    int darkened = 0, lightened = 0;
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            int before = lit.brightness(x, y), after = shaded.brightness(x, y);
            if (after < before - 60) ++darkened;
            if (after > before) ++lightened;
        }
    EXPECT_GT(darkened, 40);
    EXPECT_EQ(lightened, 0);
    // Far corners of the plane stay lit.
    EXPECT_EQ(shaded.brightness(3, 57), lit.brightness(3, 57));
    EXPECT_EQ(shaded.brightness(76, 57), lit.brightness(76, 57));
    // The stencil is clean afterwards.
    GLubyte stencil = 1;
    glReadPixels(40, 30, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
    EXPECT_EQ(stencil, 0);
    expect_golden(shaded, "stencil_shadow");
}

TEST_F(Scene, CollisionDisplayDrawsTheTestedShapes) {
    box_object(0, 1, 1, 1);
    auto count = [&](bool hit_test, int channel) {
        r().set_clear_colour(0);
        e().begin_3d(1, 100, 45);
        e().set_camera(0, 0, 10, 0, 0, 0, 0, 1, 0);
        bool hit = hit_test ? e().sphere_hits_object(0, 0, 0.5f, 1, 0, 0)
                            : e().box_hits_object(0, 0, 3, 0, 0, 1, 1, 1);
        EXPECT_EQ(hit, hit_test);
        Picture p = capture(r());
        int n = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (p.at(x, y)[channel] > 200 && p.brightness(x, y) < 300) ++n;
        return n;
    };
    e().collision_display = true;
    EXPECT_GT(count(true, 0), 20);   // red, wide lines: a hit
    EXPECT_GT(count(false, 1), 10);  // green: a miss
    e().collision_display = false;
    EXPECT_EQ(count(true, 0), 0);
}

TEST(Example, SceneRunsHeadlessAndShowsItsObjects) {
    test::TempDir dir;
    test::ChildResult r = test::run_child({CRV_SCENE3D, "12"},
                                          {{"CORVANE_AUTOMATION", "1"},
                                           {"TMPDIR", dir.path()},
                                           {"CORVANE_CAPTURE_FRAMES", dir.path() + ":10"}},
                                          false, 40000);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    Picture p;
    ASSERT_TRUE(read_ppm(dir.file("frame_10.ppm"), p));
    ASSERT_EQ(p.width, 640);
    // Floor, cube, shadow and background make for many colours; the cube's
    // blue texture shows near the middle of the picture.
    std::vector<bool> seen(1 << 15);
    int colours = 0, blue = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const std::uint8_t* c = p.at(x, y);
            int key = (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | (c[2] >> 3);
            if (!seen[static_cast<std::size_t>(key)]) seen[static_cast<std::size_t>(key)] = true, ++colours;
            if (x > 200 && x < 440 && y > 100 && y < 340 && c[2] > c[0] + 80) ++blue;
        }
    EXPECT_GT(colours, 50);
    EXPECT_GT(blue, 500);
}

}  // namespace
}  // namespace crv
