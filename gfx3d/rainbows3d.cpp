#include "gfx3d/rainbows3d.hpp"

#include "runtime/app_state.hpp"
#include "core/number_text.hpp"
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"
#include "runtime/log.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace crv {

namespace {

void colour_floats(std::int32_t colour, float alpha, float out[4]) {
    out[0] = static_cast<float>(colour & 255) / 255.0f;
    out[1] = static_cast<float>((colour >> 8) & 255) / 255.0f;
    out[2] = static_cast<float>((colour >> 16) & 255) / 255.0f;
    out[3] = alpha;
}

void normalise3(float v[3]) {
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len <= 0) return;
    for (int i = 0; i < 3; ++i) v[i] /= len;
}

// Two positions are the same corner when every axis agrees within 0.00001.
bool same_point(const float* a, const float* b) {
    return std::fabs(a[0] - b[0]) <= 0.00001f && std::fabs(a[1] - b[1]) <= 0.00001f &&
           std::fabs(a[2] - b[2]) <= 0.00001f;
}

// Adjacency of a triangle list: half-edges sorted by the x of their start,
// each edge P->Q matched with an edge of another triangle running Q->P (or
// P->Q, for meshes whose winding is not consistent).
void build_neighbours(const GrowVector<MeshVertex>& tris, std::vector<std::int32_t>& out) {
    std::int32_t count = tris.size() / 3;
    out.assign(static_cast<std::size_t>(count) * 3, -1);
    std::vector<std::int32_t> order(static_cast<std::size_t>(count) * 3);
    std::iota(order.begin(), order.end(), 0);
    auto start = [&](std::int32_t h) { return tris[h / 3 * 3 + h % 3].position; };
    auto end = [&](std::int32_t h) { return tris[h / 3 * 3 + (h % 3 + 1) % 3].position; };
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) { return start(a)[0] < start(b)[0]; });
    auto find_from = [&](const float* from, const float* to, std::int32_t self) -> std::int32_t {
        auto lo = std::lower_bound(order.begin(), order.end(), from[0] - 0.00001f,
                                   [&](std::int32_t h, float x) { return start(h)[0] < x; });
        for (auto it = lo; it != order.end() && start(*it)[0] <= from[0] + 0.00001f; ++it) {
            if (*it / 3 == self) continue;
            if (same_point(start(*it), from) && same_point(end(*it), to)) return *it / 3;
        }
        return -1;
    };
    for (std::int32_t h = 0; h < count * 3; ++h) {
        std::int32_t t = h / 3;
        std::int32_t n = find_from(end(h), start(h), t);
        if (n < 0) n = find_from(start(h), end(h), t);
        out[static_cast<std::size_t>(h)] = n;
    }
}

}  // namespace

Rainbows3D::Rainbows3D(OpenGLRainbows* renderer) : renderer_(renderer) {
    // The hook reaches the engine through the run-time state, so it stays
    // harmless after the engine is gone.
    if (renderer_ != nullptr) renderer_->before_viewport_change = &finish_3d_shadow_pass;
}

Rainbows3D::~Rainbows3D() {
    for (ObjectEntry& e : objects_) release_entry(e);
}

bool Rainbows3D::context_alive() const {
    // The engine outlives the renderer at program end; the context's
    // objects go with the context then.
    return renderer_ != nullptr && app_state.renderer == renderer_ && renderer_->window != nullptr;
}

void Rainbows3D::release_mesh_buffers(MeshObject& m) {
    if (m.vertex_buffer != 0 && context_alive() && renderer_->ext.glDeleteBuffersARB != nullptr) {
        GLuint name = m.vertex_buffer;
        renderer_->ext.glDeleteBuffersARB(1, &name);
    }
    m.vertex_buffer = 0;
    m.buffer_current = false;
}

void Rainbows3D::release_entry(ObjectEntry& e) {
    for (SubObject& s : e.sub_objects)
        if (s.mesh) release_mesh_buffers(*s.mesh);
    if (context_alive()) {
        renderer_->flush();
        for (WorldTexture& t : e.textures) {
            if (t.texture != 0) glDeleteTextures(1, &t.texture);
            if (t.mip_texture != 0) glDeleteTextures(1, &t.mip_texture);
        }
    }
    e = ObjectEntry{};
}

ObjectEntry* Rainbows3D::entry_for_write(std::int32_t index) {
    if (index < 0 || index >= k_object_limit) return nullptr;
    if (static_cast<std::size_t>(index) >= objects_.size()) objects_.resize(static_cast<std::size_t>(index) + 1);
    return &objects_[static_cast<std::size_t>(index)];
}

const ObjectEntry* Rainbows3D::entry(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= objects_.size()) return nullptr;
    return &objects_[static_cast<std::size_t>(index)];
}

MeshObjectX* Rainbows3D::object(std::int32_t index, std::int32_t sub) {
    if (index < 0 || static_cast<std::size_t>(index) >= objects_.size()) return nullptr;
    ObjectEntry& e = objects_[static_cast<std::size_t>(index)];
    if (sub < 0 || static_cast<std::size_t>(sub) >= e.sub_objects.size()) return nullptr;
    return e.sub_objects[static_cast<std::size_t>(sub)].mesh.get();
}

void Rainbows3D::object_free(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= objects_.size()) return;
    if (building_ == index) building_ = -1;
    release_entry(objects_[static_cast<std::size_t>(index)]);
}

// ------------------------------------------------------------ scene

void Rainbows3D::begin_3d(double near, double far, double fov) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    finish_shadow_pass();
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);

    std::int32_t vx = 0, vy = 0, vw = 0, vh = 0;
    renderer_->get_viewport(&vx, &vy, &vw, &vh);
    // The program's view is already turned for orientations 1 and 3, so
    // its width and height are the swapped physical ones.
    double aspect = vh != 0 ? static_cast<double>(vw) / vh : 1.0;
    double cone = fov + 5;
    view_cone_tangent_ = static_cast<float>(std::tan((cone > 89 ? 89 : cone) * k_degrees_to_radians));
    near_ = static_cast<float>(near);
    far_ = static_cast<float>(far);

    Mat4 projection;
    if (fov > 0) {
        double h = near * std::tan(fov / 2 * k_degrees_to_radians);
        projection = frustum(-aspect * h, aspect * h, -h, h, near, far);
    } else {
        double h = near * std::tan(-fov / 2 * k_degrees_to_radians) * 100;
        projection = ortho(-aspect * h, aspect * h, -h, h, near, far);
        view_cone_tangent_ = static_cast<float>(std::tan(89 * k_degrees_to_radians));
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    bool on_surface = renderer_->current_surface >= 0;
    if (!on_surface && renderer_->orientation != 0)
        glRotatef(-90.0f * static_cast<float>(renderer_->orientation), 0.0f, 0.0f, 1.0f);
    glMultMatrixf(projection.m);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    culling_ = 0;
    apply_culling();
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.05f);
    glColor4f(1.0f, 1.0f, 1.0f, renderer_->global_alpha);
    const GLenum off[] = {GL_FOG,          GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH,
                          GL_STENCIL_TEST, GL_NORMALIZE,    GL_LIGHTING,    GL_COLOR_MATERIAL};
    for (GLenum cap : off) glDisable(cap);
    for (int i = 0; i < 8; ++i) glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    light_bits_ = 0;
    environment_mapping_ = false;
    shadow_mode_ = 0;
    set_texture(-1, -1);
    float origin[3] = {0, 0, 0}, ahead[3] = {0, 0, -1}, up[3] = {0, 1, 0};
    view_ = look_at(origin, ahead, up);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    transform_.reset();
}

void Rainbows3D::apply_culling() {
    if (culling_ == 0) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(culling_ > 0 ? GL_CW : GL_CCW);
}

void Rainbows3D::set_culling(std::int32_t mode) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    culling_ = mode == 0 ? 0 : (mode == 1 ? 1 : (mode == -1 ? -1 : culling_));
    apply_culling();
}

std::uint32_t Rainbows3D::sprite_texture(std::int32_t sprite) const {
    if (renderer_ == nullptr || !renderer_->valid_sprite(sprite)) return 0;
    const SpriteRecord& r = renderer_->sprite(sprite);
    if (texture_variant_ != 0 && r.mip_texture != 0) return r.mip_texture;
    return r.texture;
}

void Rainbows3D::set_texture_uniforms() {
    if (renderer_->current_shader() < 0) return;
    renderer_->shader_set_int("TextureID1", 0, false);
    renderer_->shader_set_int("TextureID2", 1, false);
}

void Rainbows3D::set_texture(std::int32_t texture1, std::int32_t texture2) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    textures_[0] = texture1;
    textures_[1] = texture2;
    bind_textures(sprite_texture(texture1), sprite_texture(texture2));
    set_texture_uniforms();
}

void Rainbows3D::bind_textures(std::uint32_t unit0, std::uint32_t unit1) {
    const GlExtensions& ext = renderer_->ext;
    auto bind = [](std::uint32_t name) {
        if (name == 0) {
            glDisable(GL_TEXTURE_2D);
            return;
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    };
    if (ext.glActiveTextureARB != nullptr) {
        ext.glActiveTextureARB(GL_TEXTURE1_ARB);
        bind(unit1);
        ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    bind(unit0);
}

void Rainbows3D::set_camera(float ex, float ey, float ez, float tx, float ty, float tz, float ux, float uy,
                            float uz) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    float eye[3] = {ex, ey, ez}, target[3] = {tx, ty, tz}, up[3] = {ux, uy, uz};
    view_ = look_at(eye, target, up);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
}

void Rainbows3D::set_fog(std::int32_t colour, bool exponential, float a, float b) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    if (colour == -1) {
        glDisable(GL_FOG);
        return;
    }
    glEnable(GL_FOG);
    float c[4];
    colour_floats(colour, 1.0f, c);
    glFogfv(GL_FOG_COLOR, c);
    if (exponential) {
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, a);
    } else {
        if (a == 0 && b == 0) {
            a = near_;
            b = far_;
        }
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, a);
        glFogf(GL_FOG_END, b);
    }
}

void Rainbows3D::set_light(std::int32_t index, std::int32_t colour, float px, float py, float pz, float dx,
                           float dy, float dz, float cutoff, bool show) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    std::int32_t gl_index = index & 7;
    auto light = static_cast<GLenum>(GL_LIGHT0 + gl_index);
    if (index < 0) {
        std::int32_t mode = index == -1 ? 1 : (index == -3 ? 3 : 2);
        if (std::fabs(cutoff) >= 0.00001f) {
            shadow_colour_ = colour;
            shadow_light_[0] = px;
            shadow_light_[1] = py;
            shadow_light_[2] = pz;
        }
        if (mode == 3 && cutoff == 0) {
            finish_shadow_pass();
        } else {
            shadow_mode_ = mode;
        }
    }

    // Light positions are given in world space: they pass through the view
    // matrix as OpenGL takes them.
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    if (cutoff == 0) {
        glDisable(light);
        light_bits_ &= ~(1u << gl_index);
        if (light_bits_ == 0) {
            glDisable(GL_LIGHTING);
            glDisable(GL_COLOR_MATERIAL);
        }
    } else {
        light_bits_ |= 1u << gl_index;
        glEnable(GL_LIGHTING);
        glEnable(light);
        glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        float c[4];
        colour_floats(colour, 1.0f, c);
        const float black[4] = {0, 0, 0, 1};
        glLightfv(light, GL_DIFFUSE, c);
        glLightfv(light, GL_SPECULAR, black);
        glLightfv(light, GL_AMBIENT, black);
        float dir[3] = {dx, dy, dz};
        normalise3(dir);
        // A cut-off of 180 is a light infinitely far away shining along
        // the direction; any other above 90 a point light that shines every
        // way; 90 and below a spot (OpenGL takes spot cut-offs of 0..90).
        bool far_away = cutoff == 180;
        bool spot = cutoff <= 90;
        float pos[4] = {px, py, pz, 1.0f};
        if (far_away) {
            pos[0] = -dir[0];
            pos[1] = -dir[1];
            pos[2] = -dir[2];
            pos[3] = 0.0f;
        }
        glLightfv(light, GL_POSITION, pos);
        glLightf(light, GL_SPOT_CUTOFF, spot ? std::clamp(cutoff, 0.0f, 90.0f) : 180.0f);
        if (spot) glLightfv(light, GL_SPOT_DIRECTION, dir);
        if (show) {
            const float at[3] = {px, py, pz};
            draw_light_marker(at, dir, cutoff);
        }
    }

    if (index == -3 && cutoff != 0 && !shadow_pass_) {
        shadow_pass_ = true;
        glShadeModel(GL_FLAT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDepthMask(GL_FALSE);
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        glEnable(GL_STENCIL_TEST);
    }
}

void Rainbows3D::begin_overlay(std::int32_t colour, float width) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    float c[4];
    colour_floats(colour, 1.0f, c);
    glColor4fv(c);
    glLineWidth(width);
}

void Rainbows3D::end_overlay() { glPopAttrib(); }

void Rainbows3D::draw_light_marker(const float pos[3], const float dir[3], float cutoff) {
    begin_overlay(0x80C8FF, 1.0f);
    glPointSize(40.0f);
    glBegin(GL_POINTS);
    glVertex3fv(pos);
    glEnd();
    glPointSize(1.0f);
    if (cutoff <= 90) {
        float c[4];
        colour_floats(0x6CAAE1, 1.0f, c);
        glColor4fv(c);
        glLineWidth(3.0f);
        glBegin(GL_LINES);
        glVertex3fv(pos);
        glVertex3f(pos[0] + dir[0] * 500, pos[1] + dir[1] * 500, pos[2] + dir[2] * 500);
        glEnd();
    }
    end_overlay();
}

// ------------------------------------------------------------ building

void Rainbows3D::begin_object(std::int32_t index) {
    ObjectEntry* e = entry_for_write(index);
    if (e == nullptr) return;
    if (building_ >= 0 && building_ != index) {
        ObjectEntry* previous = entry_for_write(building_);
        if (previous != nullptr) previous->under_construction = false;
    }
    release_entry(*e);
    e->sub_objects.push_back(SubObject{std::make_unique<MeshObjectX>(), -1, -1});
    e->sub_objects[0].mesh->frames.push_back(MeshFrame{});
    e->under_construction = true;
    building_ = index;
}

void Rainbows3D::begin_primitive(std::int32_t kind) {
    MeshObjectX* m = object(building_);
    if (m == nullptr || m->frames.empty()) return;
    MeshVertex v{};
    v.colour = kind == 0 ? k_marker_triangles : (kind == 2 ? k_marker_fan : k_marker_strip);
    colour_to_rgba(v.colour, v.rgba);
    m->frames[0].stream.push_back(v);
}

void Rainbows3D::add_vertex(float x, float y, float z, float u, float v, std::int32_t colour) {
    MeshObjectX* m = object(building_);
    if (m == nullptr || m->frames.empty()) return;
    MeshVertex vx{};
    vx.position[0] = x;
    vx.position[1] = y;
    vx.position[2] = z;
    vx.uv[0] = u;
    vx.uv[1] = v;
    vx.colour = static_cast<std::uint32_t>(colour);
    colour_to_rgba(vx.colour, vx.rgba);
    m->frames[0].stream.push_back(vx);
}

void Rainbows3D::end_object() {
    if (building_ < 0) return;
    ObjectEntry& e = objects_[static_cast<std::size_t>(building_)];
    MeshObjectX* m = object(building_);
    building_ = -1;
    e.under_construction = false;
    if (m != nullptr && m->has_frames() && m->frames[0].stream.size() > 2) {
        e.built = true;
        m->compact_palette();
        if (normal_mode_ == 1) m->generate_normals(true, false, false);
        else if (normal_mode_ == 2) m->generate_normals(true, true, false);
        m->valid = 1;
        m->rebuild_triangles();
        m->compute_bounds();
    } else {
        if (m != nullptr) release_mesh_buffers(*m);
        e.built = false;
    }
}

bool Rainbows3D::save_object(std::int32_t index, const char* name) {
    MeshObjectX* m = object(index);
    return m != nullptr && mesh_save(*m, name);
}

// ------------------------------------------------------------ drawing

void Rainbows3D::pose(MeshObjectX& m, std::int32_t first, std::int32_t last, double position, bool interpolate) {
    std::int32_t a = 0, b = 0;
    double w = 0;
    if (interpolate) {
        if (position < 0 || position > 1) position = std::fabs(std::fmod(position, 1.0));
        double p = first + static_cast<double>(last - first) * position;
        std::int32_t k = to_int32(p);
        if (first < last) {
            a = k;
            b = k + 1;
            w = 1 - (p - k);
        } else if (first > last) {
            a = k + 1;
            b = k;
            w = p - k;
        } else {
            a = first;
            b = last;
        }
    } else {
        a = last;
        b = first;
        w = position;
    }
    std::int32_t top = m.frames.size() - 1;
    a = std::clamp(a, 0, top);
    b = std::clamp(b, 0, top);
    auto wf = static_cast<float>(w);
    if (m.pose_a == a && m.pose_b == b && m.pose_w == wf && m.draw_buffer.size() == m.frames[a].triangles.size())
        return;
    const GrowVector<MeshVertex>& va = m.frames[a].triangles;
    const GrowVector<MeshVertex>& vb = m.frames[b].triangles;
    m.draw_buffer = va;
    if (wf != 0) {
        std::int32_t n = std::min(va.size(), vb.size());
        for (std::int32_t i = 0; i < n; ++i) {
            MeshVertex& out = m.draw_buffer[i];
            for (int c = 0; c < 3; ++c) {
                out.position[c] = vb[i].position[c] + (va[i].position[c] - vb[i].position[c]) * wf;
                out.normal[c] = vb[i].normal[c] + (va[i].normal[c] - vb[i].normal[c]) * wf;
            }
        }
    }
    m.pose_a = a;
    m.pose_b = b;
    m.pose_w = wf;
    m.buffer_current = false;
}

void Rainbows3D::draw_object(std::int32_t index, std::int32_t first, std::int32_t last, double position,
                             bool interpolate) {
    if (renderer_ == nullptr) return;
    if (index < 0 || static_cast<std::size_t>(index) >= objects_.size()) return;
    ObjectEntry& e = objects_[static_cast<std::size_t>(index)];
    if (!e.built) return;
    renderer_->flush();
    bool lighting = light_bits_ != 0;
    bool shader = renderer_->current_shader() >= 0;
    for (SubObject& s : e.sub_objects) {
        MeshObjectX* m = s.mesh.get();
        if (m == nullptr || !m->has_geometry()) continue;
        if ((lighting || environment_mapping_) && m->has_normals == 0)
            m->generate_normals(true, normal_mode_ != 1, false);
        if (shader && m->has_tangents == 0) m->generate_normals(false, normal_mode_ != 1, true);
        pose(*m, first, last, position, interpolate);
        if (shadow_pass_) {
            draw_shadow_volume(*m, m->pose_a);
            continue;
        }
        std::uint32_t t0 = 0, t1 = 0;
        if (e.is_world) {
            auto pick = [&](std::int32_t n) -> std::uint32_t {
                if (n < 0 || static_cast<std::size_t>(n) >= e.textures.size()) return 0;
                const WorldTexture& t = e.textures[static_cast<std::size_t>(n)];
                return texture_variant_ != 0 && t.mip_texture != 0 ? t.mip_texture : t.texture;
            };
            t0 = pick(s.texture_a);
            t1 = pick(s.texture_b);
        } else {
            t0 = sprite_texture(textures_[0]);
            t1 = sprite_texture(textures_[1]);
        }
        draw_mesh(*m, t0, t1);
    }
}

void Rainbows3D::draw_mesh(MeshObjectX& m, std::uint32_t tex0, std::uint32_t tex1) {
    const GlExtensions& ext = renderer_->ext;
    std::int32_t count = m.draw_buffer.size();
    if (count == 0) return;

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    glMultMatrixf(transform_.matrix().m);

    bind_textures(tex0, tex1);
    set_texture_uniforms();

    const char* base = reinterpret_cast<const char*>(m.draw_buffer.data());
    bool use_buffer = ext.glGenBuffersARB != nullptr && ext.glBindBufferARB != nullptr &&
                      ext.glBufferDataARB != nullptr;
    if (use_buffer) {
        if (m.vertex_buffer == 0) {
            GLuint name = 0;
            ext.glGenBuffersARB(1, &name);
            m.vertex_buffer = name;
            m.buffer_current = false;
        }
        ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m.vertex_buffer);
        if (!m.buffer_current) {
            ext.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count) * sizeof(MeshVertex),
                                m.draw_buffer.data(), GL_DYNAMIC_DRAW_ARB);
            m.buffer_current = true;
        }
        base = nullptr;
    }
    const GLsizei stride = sizeof(MeshVertex);
    bool lighting = light_bits_ != 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, base);
    if (lighting || environment_mapping_) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, stride, base + 12);
    }
    if (m.has_colours != 0) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, stride, base + 76);
    }
    bool second_unit = ext.glClientActiveTextureARB != nullptr && ext.glActiveTextureARB != nullptr;
    auto texture_arrays = [&](bool on) {
        for (int unit = second_unit ? 1 : 0; unit >= 0; --unit) {
            if (second_unit) {
                ext.glClientActiveTextureARB(static_cast<GLenum>(GL_TEXTURE0_ARB + unit));
                ext.glActiveTextureARB(static_cast<GLenum>(GL_TEXTURE0_ARB + unit));
            }
            if (on) {
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
                glTexCoordPointer(2, GL_FLOAT, stride, base + 24);
                if (environment_mapping_) {
                    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
                    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
                    glEnable(GL_TEXTURE_GEN_S);
                    glEnable(GL_TEXTURE_GEN_T);
                }
            } else {
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
                glDisable(GL_TEXTURE_GEN_S);
                glDisable(GL_TEXTURE_GEN_T);
            }
        }
    };
    texture_arrays(true);

    glDrawArrays(GL_TRIANGLES, 0, count);

    texture_arrays(false);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    if (use_buffer) ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    // The colour array leaves the current colour undefined.
    glColor4f(1.0f, 1.0f, 1.0f, renderer_->global_alpha);
}

// ------------------------------------------------------------ shadows

void Rainbows3D::draw_shadow_volume(MeshObjectX& m, std::int32_t frame) {
    MeshFrame& f = m.frames[frame];
    const GrowVector<MeshVertex>& tris =
        m.draw_buffer.size() == f.triangles.size() ? m.draw_buffer : f.triangles;
    std::int32_t count = tris.size() / 3;
    if (count == 0) return;
    if (f.neighbours.size() != static_cast<std::size_t>(count) * 3) build_neighbours(f.triangles, f.neighbours);

    const Mat4& model = transform_.matrix();
    Mat4 inverse;
    invert(model, inverse);
    float light[3];
    transform_point(inverse, shadow_light_, light);

    std::vector<std::uint8_t> lit(static_cast<std::size_t>(count));
    for (std::int32_t t = 0; t < count; ++t) {
        const float* p0 = tris[t * 3].position;
        const float* p1 = tris[t * 3 + 1].position;
        const float* p2 = tris[t * 3 + 2].position;
        float a[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
        float b[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        float to_light[3];
        for (int c = 0; c < 3; ++c) to_light[c] = light[c] - (p0[c] + p1[c] + p2[c]) * 0.33333334f;
        lit[static_cast<std::size_t>(t)] = n[0] * to_light[0] + n[1] * to_light[1] + n[2] * to_light[2] >= 0;
    }

    volume_.clear();
    auto put = [&](const float* p, float w) {
        if (w == 0) {
            volume_.insert(volume_.end(), {p[0] - light[0], p[1] - light[1], p[2] - light[2], 0.0f});
        } else {
            volume_.insert(volume_.end(), {p[0], p[1], p[2], 1.0f});
        }
    };
    for (std::int32_t t = 0; t < count; ++t) {
        if (!lit[static_cast<std::size_t>(t)]) continue;
        for (int e = 0; e < 3; ++e) {
            std::int32_t n = f.neighbours[static_cast<std::size_t>(t) * 3 + e];
            if (n >= 0 && lit[static_cast<std::size_t>(n)]) continue;
            const float* p = tris[t * 3 + e].position;
            const float* q = tris[t * 3 + (e + 1) % 3].position;
            put(q, 1);
            put(p, 1);
            put(p, 0);
            put(q, 0);
        }
    }
    if (volume_.empty()) return;

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    glMultMatrixf(model.m);
    glDisable(GL_TEXTURE_2D);
    if (renderer_->ext.glActiveTextureARB != nullptr) {
        renderer_->ext.glActiveTextureARB(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        renderer_->ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    // The quads face outwards when seen clockwise.
    glFrontFace(GL_CW);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, volume_.data());
    auto vertices = static_cast<GLsizei>(volume_.size() / 4);
    glCullFace(GL_BACK);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glDrawArrays(GL_QUADS, 0, vertices);
    glCullFace(GL_FRONT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
    glDrawArrays(GL_QUADS, 0, vertices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glCullFace(GL_BACK);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void Rainbows3D::finish_shadow_pass() {
    if (!shadow_pass_ || renderer_ == nullptr) return;
    shadow_pass_ = false;
    shadow_mode_ = 0;
    renderer_->flush();
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LEQUAL);

    // Shade in 2D wherever a volume left the stencil non-zero.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float c[4];
    colour_floats(shadow_colour_, 0.5f, c);
    glColor4fv(c);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();

    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glDisable(GL_STENCIL_TEST);
    glDepthFunc(GL_LESS);
    glShadeModel(GL_SMOOTH);
    apply_culling();
    if (light_bits_ != 0) glEnable(GL_LIGHTING);
}

// ------------------------------------------------------------ picking

namespace {

void read_gl_matrices(Mat4& projection, Mat4& modelview, std::int32_t viewport[4]) {
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    for (int i = 0; i < 4; ++i) viewport[i] = v[i];
}

}  // namespace

bool Rainbows3D::world_to_screen(float x, float y, float z, float out[3]) {
    if (renderer_ == nullptr) return false;
    renderer_->flush();
    Mat4 p, m;
    std::int32_t viewport[4];
    read_gl_matrices(p, m, viewport);
    return project_to_screen(p, m, viewport, x, y, z, out);
}

bool Rainbows3D::screen_to_world(float sx, float sy, float depth, float out[3]) {
    if (renderer_ == nullptr) return false;
    renderer_->flush();
    Mat4 p, m;
    std::int32_t viewport[4];
    read_gl_matrices(p, m, viewport);
    std::int32_t w = 0, h = 0;
    renderer_->get_screen_size(&w, &h);
    return unproject_from_screen(p, m, viewport, h, sx, sy, depth, out);
}

// ------------------------------------------------------------ collision

bool Rainbows3D::sphere_hits_object(std::int32_t index, std::int32_t frame, float radius, float cx, float cy,
                                    float cz) {
    last_hit_ = -1;
    bool hit = false;
    const ObjectEntry* e = entry(index);
    float centre[3] = {cx, cy, cz};
    if (e != nullptr && e->built) {
        Mat4 inverse;
        invert(transform_.matrix(), inverse);
        float p[3];
        transform_point(inverse, centre, p);
        float r_sq = radius * radius;
        for (const SubObject& s : e->sub_objects) {
            const MeshObjectX* m = s.mesh.get();
            if (m == nullptr || frame < 0 || frame >= m->frames.size()) continue;
            const MeshFrame& f = m->frames[frame];
            const GrowVector<MeshVertex>& t = f.triangles;
            if (t.size() < 3) continue;
            float d[3] = {p[0] - f.centre[0], p[1] - f.centre[1], p[2] - f.centre[2]};
            float reach = radius + f.radius;
            if (reach * reach < d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) continue;
            const float* first = t[0].position;
            float q[3] = {p[0] - first[0], p[1] - first[1], p[2] - first[2]};
            if (r_sq >= q[0] * q[0] + q[1] * q[1] + q[2] * q[2]) {
                last_hit_ = 0;
                hit = true;
                break;
            }
            for (std::int32_t i = 0; i + 2 < t.size(); i += 3) {
                if (sphere_hits_triangle(t[i].position, t[i + 1].position, t[i + 2].position, p, radius)) {
                    last_hit_ = i;
                    hit = true;
                    break;
                }
            }
            if (hit) break;
        }
    }
    if (collision_display) draw_collision_sphere(centre, radius, hit);
    return hit;
}

bool Rainbows3D::box_hits_object(std::int32_t index, std::int32_t frame, float cx, float cy, float cz, float sx,
                                 float sy, float sz) {
    last_hit_ = -1;
    bool hit = false;
    const ObjectEntry* e = entry(index);
    float centre[3] = {cx, cy, cz};
    if (e != nullptr && e->built) {
        Mat4 inverse;
        invert(transform_.matrix(), inverse);
        float c[3];
        transform_point(inverse, centre, c);
        float axes[3][3] = {{sx / 2, 0, 0}, {0, sy / 2, 0}, {0, 0, sz / 2}};
        for (auto& a : axes) transform_direction(inverse, a, a);
        float sum[3] = {axes[0][0] + axes[1][0] + axes[2][0], axes[0][1] + axes[1][1] + axes[2][1],
                        axes[0][2] + axes[1][2] + axes[2][2]};
        // The box reaches at most the length of its summed half-axes from
        // its centre (its corner, for a rectangular box).
        float box_reach = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        for (const SubObject& s : e->sub_objects) {
            const MeshObjectX* m = s.mesh.get();
            if (m == nullptr || frame < 0 || frame >= m->frames.size()) continue;
            const MeshFrame& f = m->frames[frame];
            const GrowVector<MeshVertex>& t = f.triangles;
            if (t.size() < 3) continue;
            float d[3] = {c[0] - f.centre[0], c[1] - f.centre[1], c[2] - f.centre[2]};
            float reach = box_reach + f.radius;
            if (reach * reach < d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) continue;
            for (std::int32_t i = 0; i + 2 < t.size(); i += 3) {
                if (box_hits_triangle(t[i].position, t[i + 1].position, t[i + 2].position, c, axes)) {
                    last_hit_ = i;
                    hit = true;
                    break;
                }
            }
            if (hit) break;
        }
    }
    if (collision_display) {
        float size[3] = {sx, sy, sz};
        draw_collision_box(centre, size, hit);
    }
    return hit;
}

void Rainbows3D::draw_collision_sphere(const float centre[3], float radius, bool hit) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    begin_overlay(hit ? 0x0000FF : 0x00FF00, hit ? 5.0f : 1.0f);
    constexpr int k_segments = 24;
    for (int ring = 0; ring < 3; ++ring) {
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < k_segments; ++i) {
            float a = static_cast<float>(i) * 6.2831853f / k_segments;
            float u = std::cos(a) * radius, v = std::sin(a) * radius;
            float p[3] = {centre[0], centre[1], centre[2]};
            p[ring] += u;
            p[(ring + 1) % 3] += v;
            glVertex3fv(p);
        }
        glEnd();
    }
    end_overlay();
}

void Rainbows3D::draw_collision_box(const float centre[3], const float size[3], bool hit) {
    if (renderer_ == nullptr) return;
    renderer_->flush();
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view_.m);
    begin_overlay(hit ? 0x0000FF : 0x00FF00, hit ? 5.0f : 1.0f);
    float corner[8][3];
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c) corner[i][c] = centre[c] + ((i >> c) & 1 ? 0.5f : -0.5f) * size[c];
    glBegin(GL_LINES);
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c)
            if (((i >> c) & 1) == 0) {
                glVertex3fv(corner[i]);
                glVertex3fv(corner[i | (1 << c)]);
            }
    glEnd();
    end_overlay();
}

// ------------------------------------------------------------ forwarding

namespace {
Rainbows3D* engine() { return app_state.engine3d; }
float f(double v) { return static_cast<float>(v); }
}  // namespace

void begin_3d(double near, double far, double fov) {
    if (Rainbows3D* e = engine()) e->begin_3d(near, far, fov);
}
void set_culling(std::int32_t mode) {
    if (Rainbows3D* e = engine()) e->set_culling(mode);
}
void set_texture(std::int32_t texture1, std::int32_t texture2) {
    if (Rainbows3D* e = engine()) e->set_texture(texture1, texture2);
}
void set_texture_variant(std::int32_t variant) {
    if (Rainbows3D* e = engine()) e->set_texture_variant(variant);
}
void set_camera(double ex, double ey, double ez, double tx, double ty, double tz, double ux, double uy, double uz) {
    if (Rainbows3D* e = engine()) e->set_camera(f(ex), f(ey), f(ez), f(tx), f(ty), f(tz), f(ux), f(uy), f(uz));
}
void set_fog(std::int32_t colour, std::int32_t exponential, double a, double b) {
    if (Rainbows3D* e = engine()) e->set_fog(colour, exponential != 0, f(a), f(b));
}
void set_light(std::int32_t index, std::int32_t colour, double px, double py, double pz, double dx, double dy,
               double dz, double cutoff, std::int32_t show) {
    if (Rainbows3D* e = engine())
        e->set_light(index, colour, f(px), f(py), f(pz), f(dx), f(dy), f(dz), f(cutoff), show != 0);
}
void set_environment_mapping(std::int32_t on) {
    if (Rainbows3D* e = engine()) e->set_environment_mapping(on != 0);
}
void set_normal_mode(std::int32_t mode) {
    if (Rainbows3D* e = engine()) e->set_normal_mode(mode);
}
void set_collision_display(std::int32_t on) {
    if (Rainbows3D* e = engine()) e->collision_display = on != 0;
}
void object_reset_transform() {
    if (Rainbows3D* e = engine()) e->transform_reset();
}
void object_translate(double x, double y, double z) {
    if (Rainbows3D* e = engine()) e->transform_translate(f(x), f(y), f(z));
}
void object_rotate(double degrees, double ax, double ay, double az) {
    if (Rainbows3D* e = engine()) e->transform_rotate(f(degrees), f(ax), f(ay), f(az));
}
void object_scale(double x, double y, double z) {
    if (Rainbows3D* e = engine()) e->transform_scale(f(x), f(y), f(z));
}
void begin_object(std::int32_t index) {
    if (Rainbows3D* e = engine()) e->begin_object(index);
}
void begin_primitive(std::int32_t kind) {
    if (Rainbows3D* e = engine()) e->begin_primitive(kind);
}
void add_vertex(double x, double y, double z, double u, double v, std::int32_t colour) {
    if (Rainbows3D* e = engine()) e->add_vertex(f(x), f(y), f(z), f(u), f(v), colour);
}
void end_object() {
    if (Rainbows3D* e = engine()) e->end_object();
}
void draw_object(std::int32_t index, std::int32_t first, std::int32_t last, double position,
                 std::int32_t interpolate) {
    if (Rainbows3D* e = engine()) e->draw_object(index, first, last, position, interpolate != 0);
}
void draw_object_frame(std::int32_t index, std::int32_t frame) {
    if (Rainbows3D* e = engine()) e->draw_object_frame(index, frame);
}
bool save_object(std::int32_t index, const DynString& name) {
    Rainbows3D* e = engine();
    if (e == nullptr) return false;
    if (e->save_object(index, name.text())) return true;
    const MeshObjectX* m = e->object(index);
    const char* reason = "the file cannot be written";
    if (index < 0 || index >= k_object_limit)
        reason = "object number out of range";
    else if (m == nullptr || m->frames.empty())
        reason = "no object to save";
    else if (is_memory_name(name.text()))
        reason = "a memory file cannot be written";
    log_load_failure("save_object", name.text(), reason);
    return false;
}
bool object_load(std::int32_t index, const DynString& name) {
    Rainbows3D* e = engine();
    if (e == nullptr) return false;
    if (e->object_load(index, name.text())) return true;
    const char* reason = "not a mesh or world file it can read";
    if (index < 0 || index >= k_object_limit)
        reason = "object number out of range";
    else if (!resource_readable(name.text()))
        reason = k_reason_not_found;
    log_load_failure("object_load", name.text(), reason);
    return false;
}
void object_free(std::int32_t index) {
    if (Rainbows3D* e = engine()) e->object_free(index);
}
bool world_to_screen(double x, double y, double z, double* sx, double* sy, double* depth) {
    Rainbows3D* e = engine();
    float out[3];
    if (sx == nullptr || sy == nullptr || depth == nullptr) return false;
    if (e == nullptr || !e->world_to_screen(f(x), f(y), f(z), out)) return false;
    *sx = out[0];
    *sy = out[1];
    *depth = out[2];
    return true;
}
bool screen_to_world(double sx, double sy, double depth, double* x, double* y, double* z) {
    Rainbows3D* e = engine();
    float out[3];
    if (x == nullptr || y == nullptr || z == nullptr) return false;
    if (e == nullptr || !e->screen_to_world(f(sx), f(sy), f(depth), out)) return false;
    *x = out[0];
    *y = out[1];
    *z = out[2];
    return true;
}
bool sphere_hits_object(std::int32_t index, std::int32_t frame, double radius, double cx, double cy, double cz) {
    Rainbows3D* e = engine();
    return e != nullptr && e->sphere_hits_object(index, frame, f(radius), f(cx), f(cy), f(cz));
}
bool box_hits_object(std::int32_t index, std::int32_t frame, double cx, double cy, double cz, double sx, double sy,
                     double sz) {
    Rainbows3D* e = engine();
    return e != nullptr && e->box_hits_object(index, frame, f(cx), f(cy), f(cz), f(sx), f(sy), f(sz));
}
std::int32_t last_hit() {
    Rainbows3D* e = engine();
    return e != nullptr ? e->last_hit() : -1;
}
void finish_3d_shadow_pass() {
    if (Rainbows3D* e = engine()) e->finish_shadow_pass();
}
void reset_3d_texture_variant() {
    if (Rainbows3D* e = engine()) e->set_texture_variant(0);
}

}  // namespace crv
