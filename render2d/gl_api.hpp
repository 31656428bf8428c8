// The OpenGL interface of the renderer modules: the GL 1.x header and the
// extension entry points the run-time uses, looked up once per context.
// An entry point is present only when its extension is advertised (some
// drivers hand out addresses for any name). Main thread only.
#pragma once

#define GL_GLEXT_PROTOTYPES 0
#include <GL/gl.h>
#include <GL/glext.h>

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
};

// Whole-word search of the extension string of the current context.
bool gl_extension_advertised(const char* name);
// The current context's extension string ("" without a context).
const char* gl_extension_string();
// Looks the entry points up for the current context.
void gl_load_extensions(GlExtensions& ext);

}  // namespace crv
