// Rendering tests on a real window: the 3D state that begin_3d and the
// light, fog and camera operations leave in OpenGL, and small scenes
// compared with golden images (tests/gfx3d/golden; regenerate them with
// CRV_UPDATE_GOLDEN=1) and checked for what they must show.
#include "runtime/app_state.hpp"
#include "gfx3d/rainbows3d.hpp"
#include "platform/window.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "sys/resource.hpp"
#include "tests/gfx3d/mesh_fixtures.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/picture.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

using test::Picture;

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

// The rasteriser is deterministic on one machine; other processors may
// round a colour differently by a level or two, and an edge pixel (one
// whose neighbourhood in the golden image holds a sharp step) may fall the
// other way. Anything more is a difference.
constexpr int k_level_tolerance = 3;
constexpr int k_edge_pixels_allowed = 6;

bool golden_edge(const Picture& p, int x, int y) {
    const int centre = p.brightness(x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < p.width && ny < p.height && std::abs(p.brightness(nx, ny) - centre) > 96)
                return true;
        }
    return false;
}

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
    int inner = 0, edge = 0;
    std::string where;
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x) {
            int d = 0;
            for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(got.at(x, y)[c] - want.at(x, y)[c]));
            if (d <= k_level_tolerance) continue;
            ++(golden_edge(want, x, y) ? edge : inner);
            if (where.size() < 200) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    if (inner > 0 || edge > k_edge_pixels_allowed) {
        write_ppm(std::string(::testing::TempDir()) + "/" + name + "_got.ppm", got);
        ADD_FAILURE() << name << ": " << inner << " inner and " << edge
                      << " edge pixels differ from the golden image:" << where;
    }
}

// ---- What a picture must show, worked out from the scene alone: a
// pinhole camera as set_camera and begin_3d describe it (look-at, vertical
// field of view, the picture's aspect), in double precision, without the
// engine's matrices.

struct V3 {
    double x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 unit(V3 a) { return a * (1 / std::sqrt(dot(a, a))); }

struct Pt {
    double x, y;
};

struct Camera {
    Camera(V3 eye_at, V3 target, V3 up_hint, double fov_degrees, double view_width, double view_height)
        : eye(eye_at), back(unit(eye_at - target)), width(view_width), height(view_height) {
        side = unit(cross(up_hint, back));
        up = cross(back, side);
        tan_half = std::tan(fov_degrees / 2 * 3.14159265358979 / 180);
        aspect = width / height;
    }
    // Picture position (x right, y down; a pixel's centre at + 0.5).
    Pt project(V3 p) const {
        const V3 d = p - eye;
        const double depth = -dot(d, back);
        return {(dot(d, side) / (depth * tan_half * aspect) + 1) / 2 * width,
                (1 - dot(d, up) / (depth * tan_half)) / 2 * height};
    }
    // Where the ray through a picture position meets the ground (y = 0).
    bool ground(Pt s, V3& hit) const {
        const V3 dir = side * ((s.x / width * 2 - 1) * tan_half * aspect) + up * ((1 - s.y / height * 2) * tan_half) -
                       back;
        if (dir.y * eye.y >= 0) return false;
        hit = eye + dir * (-eye.y / dir.y);
        return true;
    }
    // Distance in front of the eye along the view direction.
    double depth(V3 p) const { return -dot(p - eye, back); }

    V3 eye, back, side{}, up{};
    double tan_half = 0, aspect = 1, width, height;
};

// A convex outline in picture coordinates.
class Outline {
public:
    explicit Outline(std::vector<Pt> points) {
        std::sort(points.begin(), points.end(), [](Pt a, Pt b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
        auto turn = [](Pt o, Pt a, Pt b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); };
        std::vector<Pt> hull(2 * points.size());
        std::size_t k = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
            hull[k++] = points[i];
        }
        for (std::size_t i = points.size() - 1, t = k + 1; i > 0; --i) {
            while (k >= t && turn(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) --k;
            hull[k++] = points[i - 1];
        }
        hull.resize(k - 1);
        corners_ = hull;
    }
    // How far the pixel's centre lies inside the outline (negative:
    // outside; then at least that far away).
    double clearance(int x, int y) const {
        const Pt p{x + 0.5, y + 0.5};
        double least = 1e9;
        for (std::size_t i = 0; i < corners_.size(); ++i) {
            const Pt a = corners_[i], b = corners_[(i + 1) % corners_.size()];
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            least = std::min(least, ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / length);
        }
        return least;
    }

private:
    std::vector<Pt> corners_;
};

Outline projected(const Camera& camera, const std::vector<V3>& points) {
    std::vector<Pt> on_screen;
    for (const V3& p : points) on_screen.push_back(camera.project(p));
    return Outline(on_screen);
}

std::vector<V3> box_corners(V3 centre, V3 half) {
    std::vector<V3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back(centre + V3{(i & 1) != 0 ? half.x : -half.x, (i & 2) != 0 ? half.y : -half.y,
                                      (i & 4) != 0 ? half.z : -half.z});
    return corners;
}

// Pixels clearly inside an outline (by a pixel or more) must pass `inside`,
// pixels clearly outside must pass `outside`; the ones along the outline
// are left to the rasteriser. Reports the first offenders.
template <typename Inside, typename Outside>
void expect_regions(const Picture& p, const Outline& outline, Inside inside, Outside outside, const char* what) {
    int in = 0, out = 0, wrong = 0;
    std::string where;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double c = outline.clearance(x, y);
            bool ok = true;
            if (c >= 1) ++in, ok = inside(x, y);
            if (c <= -1) ++out, ok = outside(x, y);
            if (!ok && ++wrong <= 8) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_GT(in, 0) << what << ": nothing clearly inside";
    EXPECT_GT(out, 0) << what << ": nothing clearly outside";
    EXPECT_EQ(wrong, 0) << what << ":" << where;
}

// Whether a pixel shows a square of the ground (|x|, |z| < half): +1 when
// its centre and the points a pixel away all fall inside, -1 when they all
// miss it, 0 on the edge.
int on_square(const Camera& camera, int x, int y, double half, V3* hit = nullptr) {
    int inside = 0;
    const Pt offsets[5] = {{0.5, 0.5}, {-0.5, 0.5}, {1.5, 0.5}, {0.5, -0.5}, {0.5, 1.5}};
    for (const Pt& o : offsets) {
        V3 g{};
        if (camera.ground({x + o.x, y + o.y}, g) && std::abs(g.x) < half && std::abs(g.z) < half) ++inside;
    }
    if (hit != nullptr) camera.ground({x + 0.5, y + 0.5}, *hit);
    return inside == 5 ? 1 : inside == 0 ? -1 : 0;
}

class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        renderer_ = &test::gl_renderer(k_width, k_height);
        // The window was resized from its start-up size: its back buffer
        // must already have the new size, with nothing cut off.

        ASSERT_TRUE(back_buffer_filled()) << "the back buffer never reached " << k_width << "x" << k_height;
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

    bool back_buffer_filled() {
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        std::uint8_t corner[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(k_width - 1, k_height - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
        return corner[0] == 255 && corner[1] == 255 && corner[2] == 255;
    }

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
    const Camera camera({3, 2.5, 4}, {0, 0, 0}, {0, 1, 0}, 45, k_width, k_height);
    expect_regions(
        p, projected(camera, box_corners({0, 0, 0}, {1, 1, 1})), [&](int x, int y) { return p.brightness(x, y) > 0; },
        [&](int x, int y) { return p.brightness(x, y) == 0; }, "cube");
    // Each visible face is lit by how squarely it meets the light (n . -d
    // over |d|: top 1, front 0.8, right 0.5). The ambient light adds the
    // same to all three, so the differences keep the light's own ratio.
    // A face's brightest pixel is one of the texture's white squares.
    auto brightest = [&](const std::vector<V3>& corners) {
        const Outline face = projected(camera, corners);
        int best = 0;
        for (int y = 0; y < k_height; ++y)
            for (int x = 0; x < k_width; ++x)
                if (face.clearance(x, y) >= 1) best = std::max(best, p.brightness(x, y));
        return best;
    };
    const int top = brightest({{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}});
    const int front = brightest({{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}});
    const int right = brightest({{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}});
    EXPECT_GT(top, front);
    EXPECT_GT(front, right);
    EXPECT_GT(right, 0);
    EXPECT_NEAR(static_cast<double>(top - right) / (front - right), (1 - 0.5) / (0.8 - 0.5), 0.15)
        << top << " " << front << " " << right;
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
    // Every pixel of the plane mixes its white with the fog's red by the
    // distance d along the view: f = (14 - d) / (14 - 4) of white.
    const Camera camera({0, 2, 8}, {0, 0, -4}, {0, 1, 0}, 45, k_width, k_height);
    int plane = 0, clear_fog = 0, white_rows = 0, red_rows = 0, wrong = 0;
    std::string where;
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            V3 hit{};
            const int on = on_square(camera, x, y, 10, &hit);
            const std::uint8_t *c = fogged.at(x, y), *w = clear.at(x, y);
            bool ok = true;
            if (on < 0) ok = fogged.brightness(x, y) == 0 && clear.brightness(x, y) == 0;
            if (on > 0) {
                ++plane;
                const double f = std::clamp((14 - camera.depth(hit)) / 10, 0.0, 1.0);
                const int g = static_cast<int>(std::lround(255 * f));
                ok = c[0] == 255 && std::abs(c[1] - g) <= 3 && std::abs(c[2] - g) <= 3 && w[0] == 255 &&
                     w[1] == 255 && w[2] == 255;
                if (x == k_width / 2) f >= 1 ? ++white_rows : f <= 0 ? ++red_rows : ++clear_fog;
            }
            if (!ok && ++wrong <= 8) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_EQ(wrong, 0) << where;
    EXPECT_GT(plane, k_width * k_height / 3);
    // The picture holds all three: plain white, a blend, and all fog.
    EXPECT_GT(white_rows, 0);
    EXPECT_GT(clear_fog, 10);
    EXPECT_GT(red_rows, 0);
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
    // The cone meets the plane in a circle of radius 4 tan 25 degrees about
    // the origin. Light is computed at the grid's vertices (0.5 apart): a
    // cell whose corners all lie inside the circle is lit all over, one
    // whose corners all lie outside has only the ambient light. Beyond the
    // plane's edges the picture is black.
    const double radius = 4 * std::tan(25 * 3.14159265358979 / 180);
    auto cell = [&](double gx, double gz) {
        const double x0 = std::floor(gx / 0.5) * 0.5, z0 = std::floor(gz / 0.5) * 0.5;
        int inside = 0;
        for (double cx : {x0, x0 + 0.5})
            for (double cz : {z0, z0 + 0.5}) inside += std::hypot(cx, cz) < radius ? 1 : 0;
        return inside == 4 ? 1 : inside == 0 ? -1 : 0;
    };
    const Camera camera({0, 9, 6}, {0, 0, 0}, {0, 1, 0}, 45, k_width, k_height);
    int lit = 0, unlit = 0, wrong = 0;
    std::string where;
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            V3 hit{};
            const int on = on_square(camera, x, y, 6, &hit);
            const int b = p.brightness(x, y);
            bool ok = true;
            if (on < 0) ok = b == 0;
            if (on > 0) {
                // The cells a pixel could show, give or take a tenth.
                const int state = cell(hit.x, hit.z);
                bool sure = state != 0;
                for (double dx : {-0.1, 0.1})
                    for (double dz : {-0.1, 0.1}) sure = sure && cell(hit.x + dx, hit.z + dz) == state;
                if (sure && state > 0) ++lit, ok = b > 3 * 200;
                if (sure && state < 0) ++unlit, ok = b > 0 && b < 3 * 50;
            }
            if (!ok && ++wrong <= 8) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_EQ(wrong, 0) << where;
    EXPECT_GT(lit, 40);
    EXPECT_GT(unlit, 400);
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
        // The block's outline in the view, which for the turned screen is
        // 60 wide and 80 high with its top at the window's right (so the
        // aspect follows the turned view: the block, taller than wide in
        // the view as its underside shows, lies wider than high).
        const bool turned = orientation == 1;
        const Camera camera({0, 0, 8}, {0, 0, 0}, {0, 1, 0}, 45, turned ? k_height : k_width,
                            turned ? k_width : k_height);
        std::vector<Pt> outline;
        for (const V3& corner : box_corners({0, 1.5, 0}, {0.5, 0.5, 0.5})) {
            const Pt v = camera.project(corner);
            outline.push_back(turned ? Pt{k_width - v.y, v.x} : v);
        }
        expect_regions(
            p, Outline(outline),
            [&](int x, int y) { return p.at(x, y)[0] == 255 && p.at(x, y)[1] == 0 && p.at(x, y)[2] == 0; },
            [&](int x, int y) { return p.brightness(x, y) == 0; }, turned ? "turned" : "upright");
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
    const Picture half = capture(r());
    // Half way, the square's corners lie at +-0.5 about the origin.
    const Camera camera({0, 0, 8}, {0, 0, 0}, {0, 1, 0}, 45, k_width, k_height);
    expect_regions(
        half, projected(camera, {{-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0.5, 0.5, 0}, {-0.5, 0.5, 0}}),
        [&](int x, int y) { return half.at(x, y)[0] == 0 && half.at(x, y)[1] == 255 && half.at(x, y)[2] == 0; },
        [&](int x, int y) { return half.brightness(x, y) == 0; }, "square");
    expect_golden(half, "animation_half_way");
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

    // From the scene alone. The directional light (0.3, -1, 0.2) meets
    // the plane squarely everywhere (one colour) and the box's top, while
    // the box's front (+z) faces away from it and has only ambient light.
    const Camera camera({0, 8, 9}, {0, 0, 0}, {0, 1, 0}, 45, k_width, k_height);
    const std::vector<V3> box = box_corners({0, 1.5, 0}, {0.75, 0.75, 0.75});
    const Outline box_outline = projected(camera, box);
    expect_regions(
        lit, projected(camera, {{-0.75, 2.25, -0.75}, {0.75, 2.25, -0.75}, {0.75, 2.25, 0.75}, {-0.75, 2.25, 0.75}}),
        [&](int x, int y) { return lit.at(x, y)[0] > 200 && lit.at(x, y)[1] > 150 && lit.at(x, y)[2] < 30; },
        [](int, int) { return true; }, "lit top");
    expect_regions(
        lit, projected(camera, {{-0.75, 0.75, 0.75}, {0.75, 0.75, 0.75}, {0.75, 2.25, 0.75}, {-0.75, 2.25, 0.75}}),
        [&](int x, int y) { return lit.brightness(x, y) < 3 * 30; }, [](int, int) { return true; }, "dark front");
    // The shadow light (-1.5, 7, -1) throws the box onto the plane: the
    // shade covers exactly the box's corners projected from the light,
    // halving the plane's colour there and leaving it alone elsewhere.
    const V3 light{-1.5, 7, -1};
    std::vector<V3> cast;
    for (const V3& c : box) cast.push_back(light + (c - light) * (light.y / (light.y - c.y)));
    const Outline shadow = projected(camera, cast);
    const std::uint8_t* plane_colour = nullptr;
    int in_shade = 0, in_light = 0, wrong = 0;
    std::string where;
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            if (on_square(camera, x, y, 6) <= 0 || box_outline.clearance(x, y) > -1) continue;
            const std::uint8_t *before = lit.at(x, y), *after = shaded.at(x, y);
            if (plane_colour == nullptr) plane_colour = before;
            bool ok = std::equal(before, before + 3, plane_colour);
            const double c = shadow.clearance(x, y);
            if (c >= 1) {
                ++in_shade;
                for (int k = 0; k < 3; ++k) ok = ok && std::abs(after[k] - before[k] / 2.0) <= 2;
            } else if (c <= -1) {
                ++in_light;
                ok = ok && std::equal(before, before + 3, after);
            }
            if (!ok && ++wrong <= 8) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    EXPECT_EQ(wrong, 0) << where;
    EXPECT_GT(in_shade, 40);
    EXPECT_GT(in_light, 1000);
    ASSERT_NE(plane_colour, nullptr);
    EXPECT_GT(plane_colour[0], 200);

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

TEST_F(Scene, FailedObjectLoadsSayWhyInTheLog) {
    test::TempDir dir;
    test::ScopedEnv temp(test::k_temp_variable, dir.path().c_str());
    const std::string junk = dir.file("junk.zvd");
    std::ofstream(junk, std::ios::binary) << "not a mesh";
    const std::string missing = dir.file("missing.zvd");
    EXPECT_FALSE(crv::object_load(1, junk.c_str()));
    EXPECT_FALSE(crv::object_load(1, missing.c_str()));
    EXPECT_FALSE(crv::object_load(k_object_limit, junk.c_str()));
    EXPECT_EQ(dir.read("ErrorLog.txt"), "object_load \"" + junk + "\": not a mesh or world file it can read\n" +
                                            "object_load \"" + missing + "\": file not found\n" +
                                            "object_load \"" + junk + "\": object number out of range\n");
}

TEST_F(Scene, FailedSavesSayWhyInTheLog) {
    test::TempDir dir;
    test::ScopedEnv temp(test::k_temp_variable, dir.path().c_str());
    box_object(2, 1, 1, 1);
    const std::string unwritable = dir.file("no-such-folder/out.zvd");
    EXPECT_FALSE(crv::save_object(2, unwritable.c_str()));
    EXPECT_FALSE(crv::save_object(2, "mem://out.zvd"));
    EXPECT_FALSE(crv::save_object(3, dir.file("empty.zvd").c_str()));
    EXPECT_FALSE(crv::save_object(k_object_limit, dir.file("range.zvd").c_str()));
    EXPECT_EQ(dir.read("ErrorLog.txt"), "save_object \"" + unwritable + "\": the file cannot be written\n" +
                                            "save_object \"mem://out.zvd\": a memory file cannot be written\n" +
                                            "save_object \"" + dir.file("empty.zvd") + "\": no object to save\n" +
                                            "save_object \"" + dir.file("range.zvd") + "\": object number out of range\n");
    EXPECT_TRUE(crv::save_object(2, dir.file("ok.zvd").c_str()));
    double a = 0, b = 0;
    EXPECT_FALSE(crv::world_to_screen(0, 0, 0, &a, &b, nullptr));
    EXPECT_FALSE(crv::screen_to_world(0, 0, 0.5, nullptr, &a, &b));
}

TEST(Example, SceneRunsHeadlessAndShowsItsObjects) {
    test::TempDir dir;
    test::ChildResult r = test::run_child({CRV_SCENE3D, "12"},
                                          {{"CORVANE_AUTOMATION", "1"},
                                           {test::k_temp_variable, dir.path()},
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
