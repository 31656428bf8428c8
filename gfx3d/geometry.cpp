#include "gfx3d/geometry.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace crv {

namespace {

float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
void cross(const float a[3], const float b[3], float out[3]) {
    float x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
void sub(const float a[3], const float b[3], float out[3]) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}
void normalise_if_long(float v[3]) {
    float sq = dot(v, v);
    if (sq <= 1e-7f) return;
    float inv = 1.0f / std::sqrt(sq);
    for (int i = 0; i < 3; ++i) v[i] *= inv;
}

}  // namespace

Mat4 Mat4::identity() {
    Mat4 r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.at(row, k) * b.at(k, c);
            r.at(row, c) = s;
        }
    return r;
}

void transform(const Mat4& a, const float in[4], float out[4]) {
    float r[4];
    for (int row = 0; row < 4; ++row)
        r[row] = a.at(row, 0) * in[0] + a.at(row, 1) * in[1] + a.at(row, 2) * in[2] + a.at(row, 3) * in[3];
    std::memcpy(out, r, sizeof r);
}

void transform_point(const Mat4& a, const float in[3], float out[3]) {
    float v[4] = {in[0], in[1], in[2], 1.0f}, r[4];
    transform(a, v, r);
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}

void transform_direction(const Mat4& a, const float in[3], float out[3]) {
    float v[4] = {in[0], in[1], in[2], 0.0f}, r[4];
    transform(a, v, r);
    out[0] = r[0];
    out[1] = r[1];
    out[2] = r[2];
}

bool invert(const Mat4& a, Mat4& out) {
    // Cofactor expansion in double precision.
    double m[16], inv[16];
    for (int i = 0; i < 16; ++i) m[i] = a.m[i];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det)) {
        out = Mat4::identity();
        return false;
    }
    for (int i = 0; i < 16; ++i) out.m[i] = static_cast<float>(inv[i] / det);
    return true;
}

Mat4 look_at(const float eye[3], const float target[3], const float up[3]) {
    float f[3], s[3], u[3];
    sub(eye, target, f);
    float len = std::sqrt(dot(f, f));
    if (len != 0) for (float& c : f) c /= len;
    cross(up, f, s);
    len = std::sqrt(dot(s, s));
    if (len != 0) for (float& c : s) c /= len;
    cross(f, s, u);
    len = std::sqrt(dot(u, u));
    if (len != 0) for (float& c : u) c /= len;
    Mat4 r = Mat4::identity();
    for (int c = 0; c < 3; ++c) {
        r.at(0, c) = s[c];
        r.at(1, c) = u[c];
        r.at(2, c) = f[c];
    }
    r.at(0, 3) = -dot(s, eye);
    r.at(1, 3) = -dot(u, eye);
    r.at(2, 3) = -dot(f, eye);
    return r;
}

Mat4 frustum(double l, double r, double b, double t, double n, double f) {
    Mat4 m{};
    m.at(0, 0) = static_cast<float>(2 * n / (r - l));
    m.at(0, 2) = static_cast<float>((r + l) / (r - l));
    m.at(1, 1) = static_cast<float>(2 * n / (t - b));
    m.at(1, 2) = static_cast<float>((t + b) / (t - b));
    m.at(2, 2) = static_cast<float>(-(f + n) / (f - n));
    m.at(2, 3) = static_cast<float>(-2 * f * n / (f - n));
    m.at(3, 2) = -1.0f;
    return m;
}

Mat4 ortho(double l, double r, double b, double t, double n, double f) {
    Mat4 m = Mat4::identity();
    m.at(0, 0) = static_cast<float>(2 / (r - l));
    m.at(1, 1) = static_cast<float>(2 / (t - b));
    m.at(2, 2) = static_cast<float>(-2 / (f - n));
    m.at(0, 3) = static_cast<float>(-(r + l) / (r - l));
    m.at(1, 3) = static_cast<float>(-(t + b) / (t - b));
    m.at(2, 3) = static_cast<float>(-(f + n) / (f - n));
    return m;
}

Mat4 translation(float x, float y, float z) {
    Mat4 m = Mat4::identity();
    m.at(0, 3) = x;
    m.at(1, 3) = y;
    m.at(2, 3) = z;
    return m;
}

Mat4 scaling(float x, float y, float z) {
    Mat4 m = Mat4::identity();
    m.at(0, 0) = x;
    m.at(1, 1) = y;
    m.at(2, 2) = z;
    return m;
}

bool rotation(float degrees, float ax, float ay, float az, Mat4& out) {
    out = Mat4::identity();
    float a = degrees * k_degrees_to_radians;
    float c = std::cos(a), s = std::sin(a);
    // A pure axis: the exact matrix, turning the other way for a negative
    // component.
    int zeros = (ax == 0 ? 1 : 0) + (ay == 0 ? 1 : 0) + (az == 0 ? 1 : 0);
    if (zeros == 2) {
        float sign = (ax + ay + az) < 0 ? -1.0f : 1.0f;
        s *= sign;
        if (ax != 0) {
            out.at(1, 1) = c, out.at(1, 2) = -s, out.at(2, 1) = s, out.at(2, 2) = c;
        } else if (ay != 0) {
            out.at(0, 0) = c, out.at(0, 2) = s, out.at(2, 0) = -s, out.at(2, 2) = c;
        } else {
            out.at(0, 0) = c, out.at(0, 1) = -s, out.at(1, 0) = s, out.at(1, 1) = c;
        }
        return true;
    }
    float len = std::sqrt(ax * ax + ay * ay + az * az);
    if (len <= 0.0001f) return false;
    float x = ax / len, y = ay / len, z = az / len, t = 1 - c;
    out.at(0, 0) = t * x * x + c;
    out.at(0, 1) = t * x * y - s * z;
    out.at(0, 2) = t * x * z + s * y;
    out.at(1, 0) = t * x * y + s * z;
    out.at(1, 1) = t * y * y + c;
    out.at(1, 2) = t * y * z - s * x;
    out.at(2, 0) = t * x * z - s * y;
    out.at(2, 1) = t * y * z + s * x;
    out.at(2, 2) = t * z * z + c;
    return true;
}

// ------------------------------------------------------------ transform

void ObjectTransform::reset() {
    matrices_.clear();
    rotations_.clear();
    translation_[0] = translation_[1] = translation_[2] = 0;
    scale_[0] = scale_[1] = scale_[2] = 1;
    valid_ = false;
}

void ObjectTransform::multiply(const Mat4& m) {
    matrices_.push_back(m);
    valid_ = false;
}

void ObjectTransform::set_translation(float x, float y, float z) {
    translation_[0] = x;
    translation_[1] = y;
    translation_[2] = z;
    valid_ = false;
}

void ObjectTransform::rotate(float degrees, float ax, float ay, float az) {
    rotations_.push_back({degrees, ax, ay, az});
    valid_ = false;
}

void ObjectTransform::set_scale(float x, float y, float z) {
    scale_[0] = x;
    scale_[1] = y;
    scale_[2] = z;
    valid_ = false;
}

const Mat4& ObjectTransform::matrix() {
    if (valid_) return composed_;
    Mat4 m = Mat4::identity();
    for (const Mat4& f : matrices_) m = m * f;
    if (translation_[0] != 0 || translation_[1] != 0 || translation_[2] != 0)
        m = m * translation(translation_[0], translation_[1], translation_[2]);
    for (auto it = rotations_.rbegin(); it != rotations_.rend(); ++it) {
        Mat4 r;
        if (rotation(it->degrees, it->ax, it->ay, it->az, r)) m = m * r;
    }
    if (scale_[0] != 1 || scale_[1] != 1 || scale_[2] != 1) m = m * scaling(scale_[0], scale_[1], scale_[2]);
    composed_ = m;
    valid_ = true;
    return composed_;
}

// ------------------------------------------------------------ picking

bool project_to_screen(const Mat4& projection, const Mat4& modelview, const std::int32_t viewport[4], float x,
                       float y, float z, float out[3]) {
    float in[4] = {x, y, z, 1.0f}, c[4];
    transform(projection * modelview, in, c);
    if (c[3] == 0.0f) return false;
    float nx = c[0] / c[3], ny = c[1] / c[3], nz = c[2] / c[3];
    float w = static_cast<float>(viewport[2]), h = static_cast<float>(viewport[3]);
    out[0] = static_cast<float>(viewport[0]) + (nx + 1) * w / 2;
    out[1] = h - (static_cast<float>(viewport[1]) + h * (ny + 1) / 2);
    out[2] = (nz + 1) / 2;
    return true;
}

bool unproject_from_screen(const Mat4& projection, const Mat4& modelview, const std::int32_t viewport[4],
                           std::int32_t screen_height, float sx, float sy, float depth, float out[3]) {
    float flipped = static_cast<float>(screen_height) - 1.0f - sy;
    Mat4 inverse;
    invert(projection * modelview, inverse);  // identity when singular
    float in[4] = {2 * (sx - static_cast<float>(viewport[0])) / static_cast<float>(viewport[2]) - 1,
                   2 * (flipped - static_cast<float>(viewport[1])) / static_cast<float>(viewport[3]) - 1,
                   2 * depth - 1, 1.0f};
    float r[4];
    transform(inverse, in, r);
    if (r[3] == 0.0f) return false;
    out[0] = r[0] / r[3];
    out[1] = r[1] / r[3];
    out[2] = r[2] / r[3];
    return true;
}

// ------------------------------------------------------------ collision

namespace {

// Squared distance from p to the closest point of segment a-b.
float segment_distance_sq(const float a[3], const float b[3], const float p[3]) {
    float ab[3], ap[3];
    sub(b, a, ab);
    sub(p, a, ap);
    float len_sq = dot(ab, ab);
    float t = len_sq > 0 ? std::clamp(dot(ap, ab) / len_sq, 0.0f, 1.0f) : 0.0f;
    float q[3] = {a[0] + ab[0] * t - p[0], a[1] + ab[1] * t - p[1], a[2] + ab[2] * t - p[2]};
    return dot(q, q);
}

}  // namespace

bool sphere_hits_triangle(const float a[3], const float b[3], const float c[3], const float p[3], float r) {
    float ca[3], ba[3], n[3];
    sub(c, a, ca);
    sub(b, a, ba);
    cross(ca, ba, n);
    normalise_if_long(n);
    float d = dot(n, p) - dot(n, a);
    if (std::fabs(d) >= r) return false;
    float q[3] = {p[0] - n[0] * d, p[1] - n[1] * d, p[2] - n[2] * d};
    const float* corners[3] = {a, b, c};
    double angle_sum = 0;
    for (int i = 0; i < 3; ++i) {
        float u[3], v[3];
        sub(corners[i], q, u);
        sub(corners[(i + 1) % 3], q, v);
        double lengths = std::sqrt(static_cast<double>(dot(u, u))) * std::sqrt(static_cast<double>(dot(v, v)));
        if (lengths <= 1e-8) continue;
        angle_sum += std::acos(std::clamp(static_cast<double>(dot(u, v)) / lengths, -1.0, 1.0));
    }
    if (angle_sum >= 6.2203536) return true;
    float r_sq = r * r;
    return segment_distance_sq(a, b, p) <= r_sq || segment_distance_sq(b, c, p) <= r_sq ||
           segment_distance_sq(c, a, p) <= r_sq;
}

bool box_hits_triangle(const float a[3], const float b[3], const float c[3], const float centre[3],
                       const float half_axes[3][3]) {
    // Work relative to the box centre.
    float v[3][3];
    sub(a, centre, v[0]);
    sub(b, centre, v[1]);
    sub(c, centre, v[2]);
    float edges[3][3];
    sub(v[1], v[0], edges[0]);
    sub(v[2], v[1], edges[1]);
    sub(v[0], v[2], edges[2]);

    // An axis separates when the triangle's projection lies wholly beyond
    // the box's projection radius (the sum of the half-axes' projections).
    auto separates = [&](const float axis[3]) {
        float len_sq = dot(axis, axis);
        if (len_sq <= 1e-12f) return false;  // parallel edges: no axis
        float p0 = dot(v[0], axis), p1 = dot(v[1], axis), p2 = dot(v[2], axis);
        float lo = std::min({p0, p1, p2}), hi = std::max({p0, p1, p2});
        float radius = std::fabs(dot(half_axes[0], axis)) + std::fabs(dot(half_axes[1], axis)) +
                       std::fabs(dot(half_axes[2], axis));
        // A small relative margin keeps exact touching a hit despite rounding.
        float margin = 1e-6f * (radius + std::max(std::fabs(lo), std::fabs(hi)));
        return lo > radius + margin || hi < -radius - margin;
    };

    float axis[3];
    // The box's face normals (for a rectangular box these are its axes).
    for (int i = 0; i < 3; ++i) {
        cross(half_axes[(i + 1) % 3], half_axes[(i + 2) % 3], axis);
        if (separates(axis)) return false;
    }
    // The triangle's normal.
    cross(edges[0], edges[1], axis);
    if (separates(axis)) return false;
    // Box edge directions crossed with the triangle's edges.
    for (int h = 0; h < 3; ++h)
        for (const auto& e : edges) {
            cross(half_axes[h], e, axis);
            if (separates(axis)) return false;
        }
    return true;
}

}  // namespace crv
