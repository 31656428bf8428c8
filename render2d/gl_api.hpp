// The OpenGL interface of the renderer modules: the GL 1.x header and the
// extension entry points the run-time uses, looked up once per context.
// An entry point is present only when its extension is advertised (some
// drivers hand out addresses for any name). Main thread only.
#pragma once

#define GL_GLEXT_PROTOTYPES 0
#include <GL/gl.h>
#include <GL/glext.h>
// On Windows <GL/gl.h> brings in <windows.h>, whose near/far macros would
// swallow ordinary identifiers.
#undef near
#undef far

namespace crv {

struct GlExtensions {
    // GL_ARB_multitexture (and the vertex-buffer-object entry points, which
    // are looked up under the same test)
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
    PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
    PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
    PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
    PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
    PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
    PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;
    PFNGLGETBUFFERPARAMETERIVARBPROC glGetBufferParameterivARB = nullptr;
    // shader objects (looked up when GL_ARB_fragment_program is advertised)
    PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
    PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
    PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
    PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
    PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
    PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
    PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
    PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
    PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
    PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
    PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
    PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
    PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
    PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB = nullptr;
    PFNGLVERTEXATTRIB1FARBPROC glVertexAttrib1fARB = nullptr;
    // GL_EXT_framebuffer_object (off-screen surfaces)
    PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT = nullptr;
    PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT = nullptr;
    PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT = nullptr;
    PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT = nullptr;
    PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT = nullptr;
    PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT = nullptr;
    PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT = nullptr;
    PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC glGetFramebufferAttachmentParameterivEXT = nullptr;

    // All eleven framebuffer-object entry points are present.
    bool framebuffer_objects() const;
    // Creating, compiling and linking shader objects is possible.
    bool shader_objects() const;
};

// Whole-word search of the extension string of the current context.
bool gl_extension_advertised(const char* name);
// The current context's extension string ("" without a context).
const char* gl_extension_string();
// Looks the entry points up for the current context.
void gl_load_extensions(GlExtensions& ext);

}  // namespace crv
