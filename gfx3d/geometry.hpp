// The 3D engine's maths, free of OpenGL: 4 x 4 matrices in OpenGL's
// column-major order, the look-at, frustum and orthographic matrices, the
// object transform (matrices, translation, rotations, scale) with its
// composition, projection to the screen and back, and the sphere-triangle
// and box-triangle tests of collision. Pure functions and values; any
// thread.
#pragma once

#include <cstdint>
#include <vector>

namespace crv {

constexpr float k_degrees_to_radians = 0.017453292f;

struct Mat4 {
    float m[16];  // column-major: element (row r, column c) at m[c * 4 + r]
    static Mat4 identity();
    float& at(int row, int column) { return m[column * 4 + row]; }
    float at(int row, int column) const { return m[column * 4 + row]; }
};

Mat4 operator*(const Mat4& a, const Mat4& b);
// a * (x, y, z, w)
void transform(const Mat4& a, const float in[4], float out[4]);
void transform_point(const Mat4& a, const float in[3], float out[3]);  // w = 1, no division
void transform_direction(const Mat4& a, const float in[3], float out[3]);  // w = 0
// False, with out = identity, when a is singular.
bool invert(const Mat4& a, Mat4& out);

Mat4 look_at(const float eye[3], const float target[3], const float up[3]);
Mat4 frustum(double left, double right, double bottom, double top, double near, double far);
Mat4 ortho(double left, double right, double bottom, double top, double near, double far);
Mat4 translation(float x, float y, float z);
Mat4 scaling(float x, float y, float z);
// A rotation by angle degrees about the axis: the exact axis matrix for a
// pure x, y or z axis (the component's sign gives the direction), the
// axis-angle matrix of the normalised axis otherwise. False (and identity)
// when the axis is 0.0001 long or shorter.
bool rotation(float degrees, float ax, float ay, float az, Mat4& out);

// The object transform: composed lazily, each change clears the valid flag.
class ObjectTransform {
public:
    void reset();
    void multiply(const Mat4& m);
    void set_translation(float x, float y, float z);
    void rotate(float degrees, float ax, float ay, float az);
    void set_scale(float x, float y, float z);
    // The listed matrices in order, then the translation (when not zero),
    // then the rotations from the last given to the first, then the scale
    // (when not 1, 1, 1); each factor multiplied on the right.
    const Mat4& matrix();
    bool valid() const { return valid_; }

private:
    struct Rotation {
        float degrees, ax, ay, az;
    };
    std::vector<Mat4> matrices_;
    float translation_[3] = {0, 0, 0};
    std::vector<Rotation> rotations_;
    float scale_[3] = {1, 1, 1};
    Mat4 composed_ = Mat4::identity();
    bool valid_ = true;
};

// Projection through P * M and the viewport (x0, y0, w, h), with y from
// the top of a screen h high. False when the clip w is 0.
bool project_to_screen(const Mat4& projection, const Mat4& modelview, const std::int32_t viewport[4], float x,
                       float y, float z, float out[3]);
// The inverse: screen y is first flipped to screen_height - 1 - y. False
// when the resulting w is 0.
bool unproject_from_screen(const Mat4& projection, const Mat4& modelview, const std::int32_t viewport[4],
                           std::int32_t screen_height, float sx, float sy, float depth, float out[3]);

// Sphere (centre p, radius r) against triangle a, b, c.
bool sphere_hits_triangle(const float a[3], const float b[3], const float c[3], const float p[3], float r);
// A box given by its centre and three half-axes (a parallelepiped once
// brought into object space) against triangle a, b, c: separating-axis
// test. Touching counts as a hit.
bool box_hits_triangle(const float a[3], const float b[3], const float c[3], const float centre[3],
                       const float half_axes[3][3]);

}  // namespace crv
