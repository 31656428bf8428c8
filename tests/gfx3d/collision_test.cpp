#include "gfx3d/geometry.hpp"
#include "gfx3d/rainbows3d.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace crv {
namespace {

void expect_point(const float* got, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(got[0], x, tolerance);
    EXPECT_NEAR(got[1], y, tolerance);
    EXPECT_NEAR(got[2], z, tolerance);
}

TEST(Transform, RotationsApplyInTheOrderGiven) {
    ObjectTransform t;
    t.rotate(90, 0, 0, 1);
    t.rotate(90, 1, 0, 0);
    float p[3] = {1, 0, 0}, out[3];
    transform_point(t.matrix(), p, out);
    expect_point(out, 0, 0, 1);

    // Scale first, then the rotations, then the translation; a listed
    // matrix comes before all of them.
    t.reset();
    t.set_scale(2, 1, 1);
    t.rotate(90, 0, 0, 1);
    t.set_translation(10, 0, 0);
    transform_point(t.matrix(), p, out);
    expect_point(out, 10, 2, 0);
    t.multiply(translation(0, 0, 5));
    transform_point(t.matrix(), p, out);
    expect_point(out, 10, 2, 5);

    // A negative axis turns the other way; an oblique axis uses the
    // axis-angle matrix; a vanishing axis is skipped.
    Mat4 r;
    ASSERT_TRUE(rotation(90, 0, 0, -3, r));
    transform_point(r, p, out);
    expect_point(out, 0, -1, 0);
    ASSERT_TRUE(rotation(120, 1, 1, 1, r));
    transform_point(r, p, out);
    expect_point(out, 0, 1, 0);
    EXPECT_FALSE(rotation(90, 0.00005f, 0.00005f, 0, r));
    t.reset();
    t.rotate(45, 0.00005f, 0.00005f, 0);
    transform_point(t.matrix(), p, out);
    expect_point(out, 1, 0, 0);
}

TEST(Transform, InverseAndLookAt) {
    ObjectTransform t;
    t.set_translation(1, 2, 3);
    t.rotate(30, 0, 1, 0);
    t.set_scale(2, 2, 2);
    Mat4 inv;
    ASSERT_TRUE(invert(t.matrix(), inv));
    Mat4 product = t.matrix() * inv;
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], Mat4::identity().m[i], 1e-5f);
    Mat4 singular = scaling(1, 0, 1);
    EXPECT_FALSE(invert(singular, inv));
    EXPECT_EQ(inv.m[0], 1.0f);

    // The default camera looks down -z from the origin: identity.
    float eye[3] = {0, 0, 0}, ahead[3] = {0, 0, -1}, up[3] = {0, 1, 0};
    Mat4 view = look_at(eye, ahead, up);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(view.m[i], Mat4::identity().m[i], 1e-6f);
    // A camera at (0, 0, 5) looking at the origin sees it 5 ahead.
    float eye2[3] = {0, 0, 5}, origin[3] = {0, 0, 0}, out[3];
    transform_point(look_at(eye2, origin, up), origin, out);
    expect_point(out, 0, 0, -5);
}

TEST(Picking, ProjectUnprojectAndTheCameraPosition) {
    Mat4 p = frustum(-0.5, 0.5, -0.5, 0.5, 1, 100);
    float eye[3] = {0, 0, 10}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    Mat4 m = look_at(eye, target, up);
    const std::int32_t viewport[4] = {0, 0, 200, 100};
    float s[3];
    ASSERT_TRUE(project_to_screen(p, m, viewport, 0, 0, 0, s));
    EXPECT_NEAR(s[0], 100, 1e-3f);
    EXPECT_NEAR(s[1], 50, 1e-3f);
    EXPECT_GT(s[2], 0.5f);
    EXPECT_LT(s[2], 1.0f);
    // The camera position has clip w 0.
    EXPECT_FALSE(project_to_screen(p, m, viewport, 0, 0, 10, s));

    // Unprojecting a projected point gives it back (the flip takes one
    // row off: screen y is counted from the top of a screen h high).
    ASSERT_TRUE(project_to_screen(p, m, viewport, 1, 2, -3, s));
    float w[3];
    ASSERT_TRUE(unproject_from_screen(p, m, viewport, 101, s[0], s[1], s[2], w));
    expect_point(w, 1, 2, -3, 2e-3f);
}

TEST(SphereTriangle, PlaneEdgesAndCorners) {
    const float a[3] = {0, 0, 0}, b[3] = {0, 1, 0}, c[3] = {1, 0, 0};
    struct Case {
        const char* what;
        float p[3];
        float r;
        bool hit;
    };
    const Case cases[] = {
        {"centre on the plane inside", {0.25f, 0.25f, 0}, 0.1f, true},
        {"above the inside, reaching the plane", {0.25f, 0.25f, 0.5f}, 0.6f, true},
        {"above the inside, not reaching", {0.25f, 0.25f, 0.5f}, 0.5f, false},
        {"touching only the corner", {-3, -4, 0}, 5, true},
        {"just short of the corner", {-3, -4, 0}, 4.99f, false},
        {"beside an edge, reaching it", {1, 1, 0.1f}, 0.75f, true},
        {"beside an edge, short of it", {1, 1, 0.1f}, 0.6f, false},
        {"far away", {5, 5, 5}, 1, false},
    };
    for (const Case& k : cases) EXPECT_EQ(sphere_hits_triangle(a, b, c, k.p, k.r), k.hit) << k.what;
}

TEST(BoxTriangle, SeparatingAxes) {
    const float a[3] = {0, 0, 0}, b[3] = {0, 2, 0}, c[3] = {2, 0, 0};
    const float unit[3][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}};
    struct Case {
        const char* what;
        float centre[3];
        bool hit;
    };
    const Case cases[] = {
        {"around a corner", {0, 0, 0}, true},
        {"on the face", {0.5f, 0.5f, 0.3f}, true},
        {"above the face", {0.5f, 0.5f, 0.6f}, false},
        {"touching the face", {0.5f, 0.5f, 0.5f}, true},
        {"beyond the long edge, inside its bounding box", {1.6f, 1.6f, 0}, false},
        {"across the long edge", {1.3f, 1.3f, 0}, true},
        {"left of the triangle", {-0.6f, 1, 0}, false},
    };
    for (const Case& k : cases) EXPECT_EQ(box_hits_triangle(a, b, c, k.centre, unit), k.hit) << k.what;

    // Only an axis crossing a box edge with a triangle edge separates this
    // triangle from the box (no face normal does); moved closer, it hits.
    const float t1[3] = {0.8f, 0.8f, 0.1f}, t2[3] = {0, 0.5f, 0.9f}, t3[3] = {-0.2f, 0.6f, 1.1f};
    const float origin[3] = {0, 0, 0}, closer[3] = {0.15f, 0.15f, 0.15f};
    EXPECT_FALSE(box_hits_triangle(t1, t2, t3, origin, unit));
    EXPECT_TRUE(box_hits_triangle(t1, t2, t3, closer, unit));
}

// A unit square in the z = 0 plane (two triangles) as object 1, with a
// second frame moved to z = 10.
class Collision : public ::testing::Test {
protected:
    void SetUp() override {
        engine.begin_object(1);
        engine.begin_primitive(0);
        const float square[6][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 0}, {0, 1}, {1, 1}};
        for (auto& v : square) engine.add_vertex(v[0], v[1], 0, 0, 0, 0xFFFFFF);
        MeshObjectX* m = engine.object(1);
        m->frames.push_back(m->frames[0]);
        for (MeshVertex& v : m->frames[1].stream) v.position[2] = 10;
        engine.end_object();
    }
    Rainbows3D engine{nullptr};
};

TEST_F(Collision, Spheres) {
    struct Case {
        const char* what;
        std::int32_t frame;
        float r, x, y, z;
        bool hit;
        std::int32_t last_hit;
    };
    const Case cases[] = {
        {"centre on the plane inside", 0, 0.01f, 0.75f, 0.75f, 0, true, 3},
        {"centre on the first vertex", 0, 0.01f, 0, 0, 0, true, 0},
        {"above the plane", 0, 0.5f, 0.5f, 0.5f, 0.6f, false, -1},
        {"touching the far corner only", 0, 5, 4, 5, 0, true, 3},
        {"frame 1 is elsewhere", 1, 0.1f, 0.75f, 0.75f, 0, false, -1},
        {"frame 1 where it is", 1, 0.1f, 0.75f, 0.75f, 10, true, 3},
        {"a frame beyond the last", 2, 100, 0.5f, 0.5f, 0, false, -1},
        {"a negative frame", -1, 100, 0.5f, 0.5f, 0, false, -1},
        {"far away", 0, 1, 50, 50, 50, false, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(engine.sphere_hits_object(1, c.frame, c.r, c.x, c.y, c.z), c.hit) << c.what;
        EXPECT_EQ(engine.last_hit(), c.last_hit) << c.what;
    }
    EXPECT_FALSE(engine.sphere_hits_object(2, 0, 100, 0, 0, 0));  // no object
    EXPECT_FALSE(engine.sphere_hits_object(-5, 0, 100, 0, 0, 0));

    // The query is brought into object space: moved by 5 along x.
    engine.transform_translate(5, 0, 0);
    EXPECT_FALSE(engine.sphere_hits_object(1, 0, 0.01f, 0.75f, 0.75f, 0));
    EXPECT_TRUE(engine.sphere_hits_object(1, 0, 0.01f, 5.75f, 0.75f, 0));
}

TEST_F(Collision, Boxes) {
    EXPECT_TRUE(engine.box_hits_object(1, 0, 0.5f, 0.5f, 0.2f, 0.2f, 0.2f, 0.5f));
    EXPECT_FALSE(engine.box_hits_object(1, 0, 0.5f, 0.5f, 0.3f, 0.2f, 0.2f, 0.5f));
    EXPECT_FALSE(engine.box_hits_object(1, 5, 0.5f, 0.5f, 0, 1, 1, 1));
    // A flat box lying on the plane, beside the square, touching its edge.
    EXPECT_TRUE(engine.box_hits_object(1, 0, 1.5f, 0.5f, 0, 1, 1, 0));
    EXPECT_EQ(engine.last_hit(), 0);  // the first triangle's corner (1, 0)
    // Scaled objects: the box shrinks with the object's inverse.
    engine.transform_scale(10, 10, 10);
    EXPECT_TRUE(engine.box_hits_object(1, 0, 9.5f, 9.5f, 2.5f, 1, 1, 6));
    EXPECT_FALSE(engine.box_hits_object(1, 0, 9.5f, 9.5f, 3.5f, 1, 1, 6));
}

TEST_F(Collision, LargeBoxesReachingTheObjectAreNotRejectedEarly) {
    // The square's bounding sphere has radius 0.707 around (0.5, 0.5, 0).
    // A box of half-size 1 x 1 x 0 centred 1.8 away along the diagonal
    // overlaps the square's corner, though the squared box reach (2) plus
    // the squared radius (0.5) is below the squared distance (3.24).
    float d = 1.8f / std::sqrt(2.0f);
    EXPECT_TRUE(engine.box_hits_object(1, 0, 0.5f + d, 0.5f + d, 0, 2, 2, 0));
}

TEST(Building, TooFewVerticesLeaveTheEntryUnbuilt) {
    Rainbows3D engine(nullptr);
    engine.begin_object(4);
    EXPECT_EQ(engine.object_under_construction(), 4);
    engine.begin_primitive(2);
    engine.add_vertex(0, 0, 0, 0, 0, 0xFFFFFF);
    engine.add_vertex(1, 0, 0, 0, 0, 0xFFFFFF);
    engine.end_object();  // marker + 2 vertices: 3 entries but no triangle
    EXPECT_EQ(engine.object_under_construction(), -1);
    EXPECT_TRUE(engine.entry(4)->built);

    engine.begin_object(5);
    engine.add_vertex(0, 0, 0, 0, 0, 0xFFFFFF);
    engine.add_vertex(1, 0, 0, 0, 0, 0xFFFFFF);
    engine.end_object();
    EXPECT_FALSE(engine.entry(5)->built);
    EXPECT_FALSE(engine.sphere_hits_object(5, 0, 100, 0, 0, 0));

    // Outside construction, vertices go nowhere; bad numbers are ignored.
    engine.add_vertex(0, 0, 0, 0, 0, 0);
    engine.begin_object(-1);
    engine.begin_object(k_object_limit);
    EXPECT_EQ(engine.object_under_construction(), -1);
    EXPECT_EQ(engine.entry(k_object_limit), nullptr);

    // Normal modes: 1 flat, 2 smooth, others none.
    for (std::int32_t mode : {0, 1, 2}) {
        engine.set_normal_mode(mode);
        engine.begin_object(6);
        engine.begin_primitive(1);
        engine.add_vertex(0, 0, 0, 0, 0, 0x00FF00);
        engine.add_vertex(1, 0, 0, 1, 0, 0x00FF00);
        engine.add_vertex(0, 1, 0, 0, 1, 0x00FF00);
        engine.end_object();
        MeshObjectX* m = engine.object(6);
        EXPECT_EQ(m->has_normals, mode == 0 ? 0 : 1);
        EXPECT_EQ(m->has_colours, 1);
        EXPECT_EQ(m->frames[0].triangles.size(), 3);
        EXPECT_GT(m->frames[0].radius, 0.5f);
        if (mode != 0) {
            EXPECT_NEAR(std::fabs(m->frames[0].stream[1].normal[2]), 1.0f, 1e-6f);
        }
    }
}

}  // namespace
}  // namespace crv
