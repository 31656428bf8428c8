// Shader programs over the ARB shader-object entry points: 255 slots, each
// linked from a vertex and a fragment shader file; one is current until
// the end of the frame. Failures are reported as texts through the
// renderer's shader message routine (the debug output by default).
#include "render2d/rainbows.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "render2d/shader_source.hpp"
#include "sys/resource.hpp"

#include <string>
#include <vector>

namespace crv {

bool read_shader_source(const char* name, std::vector<char>& text) {
    ResourceStream stream;
    if (!stream.open_read(name)) return false;
    std::int32_t size = stream.stream_size();
    if (size < 0) return false;
    text.assign(static_cast<std::size_t>(size) + 1, 0);
    std::int32_t got = 0;
    if (size > 0 && (!stream.read(text.data(), size, &got) || got != size)) return false;
    return true;
}

void OpenGLRainbows::shader_report(const char* text) {
    if (shader_message != nullptr) {
        shader_message(text);
        return;
    }
    DynString line(text);
    line += "\n";
    debug_print(line);
}

bool OpenGLRainbows::shader_load(std::int32_t slot, const char* vertex_file, const char* fragment_file) {
    if (slot < 0 || slot >= k_shader_count) return false;
    if (!ext.shader_objects()) {
        if (!shader_support_reported_) shader_report("No OpenGL 2.0 Shader Support");
        shader_support_reported_ = true;
        return false;
    }
    flush();
    ShaderSlot& s = shaders_[slot];
    if (current_shader_ == slot) shader_use(-1);
    if (s.program != 0) ext.glDeleteObjectARB(s.program);
    if (s.vertex != 0) ext.glDeleteObjectARB(s.vertex);
    if (s.fragment != 0) ext.glDeleteObjectARB(s.fragment);
    s = ShaderSlot{};

    bool ok = true;
    auto compile = [&](const char* file, GLenum kind, GLhandleARB* object, const char* failure) {
        if (file == nullptr || *file == 0) return;
        std::vector<char> source;
        if (!read_shader_source(file, source)) {
            shader_report(failure);
            ok = false;
            return;
        }
        *object = ext.glCreateShaderObjectARB(kind);
        const GLcharARB* text = source.data();
        ext.glShaderSourceARB(*object, 1, &text, nullptr);
        ext.glCompileShaderARB(*object);
        GLint status = 0;
        ext.glGetObjectParameterivARB(*object, GL_OBJECT_COMPILE_STATUS_ARB, &status);
        if (status == 0) {
            GLint length = 0;
            ext.glGetObjectParameterivARB(*object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
            std::vector<char> log(static_cast<std::size_t>(length > 0 ? length : 0) + 1, 0);
            if (length > 0 && ext.glGetInfoLogARB != nullptr) ext.glGetInfoLogARB(*object, length, nullptr, log.data());
            shader_report(log.data());
            shader_report(failure);
            ok = false;
        }
    };
    compile(vertex_file, GL_VERTEX_SHADER_ARB, &s.vertex, "vertex shader failed");
    compile(fragment_file, GL_FRAGMENT_SHADER_ARB, &s.fragment, "fragment shader failed");
    if (!ok) return false;
    if (s.vertex == 0 && s.fragment == 0) return false;
    s.program = ext.glCreateProgramObjectARB();
    if (s.vertex != 0) ext.glAttachObjectARB(s.program, s.vertex);
    if (s.fragment != 0) ext.glAttachObjectARB(s.program, s.fragment);
    ext.glLinkProgramARB(s.program);
    GLint linked = 0;
    ext.glGetObjectParameterivARB(s.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked == 0) {
        GLint length = 0;
        ext.glGetObjectParameterivARB(s.program, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
        std::vector<char> log(static_cast<std::size_t>(length > 0 ? length : 0) + 1, 0);
        if (length > 0 && ext.glGetInfoLogARB != nullptr) ext.glGetInfoLogARB(s.program, length, nullptr, log.data());
        shader_report(log.data());
        shader_report("link shader failed");
        return false;
    }
    return true;
}

void OpenGLRainbows::shader_use(std::int32_t slot) {
    if (ext.glUseProgramObjectARB == nullptr) return;
    flush();
    if (slot >= 0 && slot < k_shader_count) {
        ext.glUseProgramObjectARB(shaders_[slot].program);
        current_shader_ = slot;
    } else {
        ext.glUseProgramObjectARB(0);
        current_shader_ = -1;
    }
}

void OpenGLRainbows::shader_set_float(const char* name, float value) {
    if (ext.glGetUniformLocationARB == nullptr || ext.glUniform1fARB == nullptr || current_shader_ < 0) return;
    GLhandleARB program = shaders_[current_shader_].program;
    if (program == 0) return;
    flush();
    GLint location = ext.glGetUniformLocationARB(program, name);
    if (location >= 0) {
        ext.glUniform1fARB(location, value);
        return;
    }
    shader_report("undefined uniform:");
    shader_report(name);
}

void OpenGLRainbows::shader_set_int(const char* name, std::int32_t value, bool report) {
    if (ext.glGetUniformLocationARB == nullptr || ext.glUniform1iARB == nullptr || current_shader_ < 0) return;
    GLhandleARB program = shaders_[current_shader_].program;
    if (program == 0) return;
    flush();
    GLint location = ext.glGetUniformLocationARB(program, name);
    if (location >= 0) {
        ext.glUniform1iARB(location, value);
    } else if (report) {
        shader_report("undefined uniform:");
        shader_report(name);
    }
}

void OpenGLRainbows::shader_set_attrib(const char* name, float value) {
    if (ext.glGetAttribLocationARB == nullptr || ext.glVertexAttrib1fARB == nullptr || current_shader_ < 0) return;
    GLhandleARB program = shaders_[current_shader_].program;
    if (program == 0) return;
    flush();
    GLint location = ext.glGetAttribLocationARB(program, name);
    if (location >= 0) {
        ext.glVertexAttrib1fARB(static_cast<GLuint>(location), value);
        return;
    }
    shader_report("undefined attrib:");
    shader_report(name);
}

// ---------------------------------------------------------------- forwarding

namespace {
OpenGLRainbows* renderer() { return app_state.renderer; }
}  // namespace

bool shader_load(std::int32_t slot, const DynString& vertex_file, const DynString& fragment_file) {
    auto* r = renderer();
    return r != nullptr && r->shader_load(slot, vertex_file.text(), fragment_file.text());
}
void shader_use(std::int32_t slot) {
    if (auto* r = renderer()) r->shader_use(slot);
}
void shader_set_float(const DynString& name, double value) {
    if (auto* r = renderer()) r->shader_set_float(name.text(), static_cast<float>(value));
}

}  // namespace crv
