#include "render2d/gl_api.hpp"

#include "platform/window.hpp"

#include <cstring>

namespace crv {

const char* gl_extension_string() {
    const auto* s = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return s != nullptr ? s : "";
}

bool gl_extension_advertised(const char* name) {
    const char* all = gl_extension_string();
    std::size_t n = std::strlen(name);
    if (n == 0) return false;
    for (const char* p = std::strstr(all, name); p != nullptr; p = std::strstr(p + 1, name)) {
        bool starts = p == all || p[-1] == ' ';
        bool ends = p[n] == ' ' || p[n] == 0;
        if (starts && ends) return true;
    }
    return false;
}

namespace {
template <typename F>
void lookup(F& target, const char* name) {
    target = reinterpret_cast<F>(plat::gl_proc_address(name));
}
}  // namespace

bool GlExtensions::framebuffer_objects() const {
    return glGenFramebuffersEXT != nullptr && glDeleteFramebuffersEXT != nullptr &&
           glBindFramebufferEXT != nullptr && glGenRenderbuffersEXT != nullptr &&
           glDeleteRenderbuffersEXT != nullptr && glBindRenderbufferEXT != nullptr &&
           glRenderbufferStorageEXT != nullptr && glCheckFramebufferStatusEXT != nullptr &&
           glFramebufferTexture2DEXT != nullptr && glFramebufferRenderbufferEXT != nullptr &&
           glGetFramebufferAttachmentParameterivEXT != nullptr;
}

bool GlExtensions::shader_objects() const {
    return glCreateProgramObjectARB != nullptr && glCreateShaderObjectARB != nullptr &&
           glShaderSourceARB != nullptr && glCompileShaderARB != nullptr && glAttachObjectARB != nullptr &&
           glLinkProgramARB != nullptr && glGetObjectParameterivARB != nullptr && glDeleteObjectARB != nullptr;
}

void gl_load_extensions(GlExtensions& ext) {
    ext = GlExtensions{};
    if (gl_extension_advertised("GL_ARB_multitexture")) {
        lookup(ext.glActiveTextureARB, "glActiveTextureARB");
        lookup(ext.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
        lookup(ext.glClientActiveTextureARB, "glClientActiveTextureARB");
        if (gl_extension_advertised("GL_ARB_vertex_buffer_object")) {
            lookup(ext.glGenBuffersARB, "glGenBuffersARB");
            lookup(ext.glBindBufferARB, "glBindBufferARB");
            lookup(ext.glBufferDataARB, "glBufferDataARB");
            lookup(ext.glDeleteBuffersARB, "glDeleteBuffersARB");
            lookup(ext.glMapBufferARB, "glMapBufferARB");
            lookup(ext.glUnmapBufferARB, "glUnmapBufferARB");
            lookup(ext.glGetBufferParameterivARB, "glGetBufferParameterivARB");
        }
    }
    if (gl_extension_advertised("GL_ARB_fragment_program") && gl_extension_advertised("GL_ARB_shader_objects")) {
        lookup(ext.glCreateProgramObjectARB, "glCreateProgramObjectARB");
        lookup(ext.glDeleteObjectARB, "glDeleteObjectARB");
        lookup(ext.glCreateShaderObjectARB, "glCreateShaderObjectARB");
        lookup(ext.glShaderSourceARB, "glShaderSourceARB");
        lookup(ext.glCompileShaderARB, "glCompileShaderARB");
        lookup(ext.glGetObjectParameterivARB, "glGetObjectParameterivARB");
        lookup(ext.glAttachObjectARB, "glAttachObjectARB");
        lookup(ext.glGetInfoLogARB, "glGetInfoLogARB");
        lookup(ext.glLinkProgramARB, "glLinkProgramARB");
        lookup(ext.glUseProgramObjectARB, "glUseProgramObjectARB");
        lookup(ext.glGetUniformLocationARB, "glGetUniformLocationARB");
        lookup(ext.glUniform1fARB, "glUniform1fARB");
        lookup(ext.glUniform1iARB, "glUniform1iARB");
        if (gl_extension_advertised("GL_ARB_vertex_shader")) {
            lookup(ext.glGetAttribLocationARB, "glGetAttribLocationARB");
            lookup(ext.glVertexAttrib1fARB, "glVertexAttrib1fARB");
        }
    }
    if (gl_extension_advertised("GL_EXT_framebuffer_object")) {
        lookup(ext.glGenFramebuffersEXT, "glGenFramebuffersEXT");
        lookup(ext.glDeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
        lookup(ext.glBindFramebufferEXT, "glBindFramebufferEXT");
        lookup(ext.glGenRenderbuffersEXT, "glGenRenderbuffersEXT");
        lookup(ext.glDeleteRenderbuffersEXT, "glDeleteRenderbuffersEXT");
        lookup(ext.glBindRenderbufferEXT, "glBindRenderbufferEXT");
        lookup(ext.glRenderbufferStorageEXT, "glRenderbufferStorageEXT");
        lookup(ext.glCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");
        lookup(ext.glFramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
        lookup(ext.glFramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT");
        lookup(ext.glGetFramebufferAttachmentParameterivEXT, "glGetFramebufferAttachmentParameterivEXT");
    }
}

}  // namespace crv
