// The OpenGL ES 3.0 calls (the WebGL 2 set) that the GL 1.1 subset draws with, reached through
// a table of function pointers. The subset defines the GL 1.1 entry points itself (glClear among
// them), so it can never call the real ones by name: in a browser the table holds Emscripten's
// emscripten_gl* bindings, natively the entry points EGL hands out.
#pragma once

// Types and constants only: no prototypes, so that nothing here can call a GL function by name.
#define GL_GLES_PROTOTYPES 0
#include <GLES3/gl3.h>

#ifdef __EMSCRIPTEN__
#include <emscripten/html5_webgl.h>
#endif

namespace webgl {

// The members are named after the GL calls they stand for, without the "gl".
#define WEBGL_GLES_FUNCTIONS(X)                                                                    \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                                         \
    X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                                             \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                                             \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                                   \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                                           \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                                   \
    X(PFNGLBUFFERDATAPROC, BufferData)                                                             \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                                     \
    X(PFNGLCLEARPROC, Clear)                                                                       \
    X(PFNGLCLEARCOLORPROC, ClearColor)                                                             \
    X(PFNGLCLEARDEPTHFPROC, ClearDepthf)                                                           \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                                       \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                                       \
    X(PFNGLCREATESHADERPROC, CreateShader)                                                         \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                                       \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                             \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                                       \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                                         \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                                     \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                                             \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                               \
    X(PFNGLDISABLEPROC, Disable)                                                                   \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                                             \
    X(PFNGLDRAWELEMENTSPROC, DrawElements)                                                         \
    X(PFNGLENABLEPROC, Enable)                                                                     \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                                   \
    X(PFNGLFINISHPROC, Finish)                                                                     \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                                         \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                                             \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                                   \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                                           \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                                   \
    X(PFNGLGETERRORPROC, GetError)                                                                 \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                                           \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                               \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                                         \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                                 \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                           \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                           \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                                           \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                                             \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                                         \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                                       \
    X(PFNGLTEXSTORAGE2DPROC, TexStorage2D)                                                         \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                                             \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                           \
    X(PFNGLVIEWPORTPROC, Viewport)

struct Gles {
#define WEBGL_GLES_MEMBER(type, name) type name = nullptr;
    WEBGL_GLES_FUNCTIONS(WEBGL_GLES_MEMBER)
#undef WEBGL_GLES_MEMBER
};

// Fills the table from a function that looks entry points up by name (eglGetProcAddress).
// Returns the name of the first one missing, or null when all were found.
const char* load_gles(Gles& gles, void* (*lookup)(const char* name));

#ifdef __EMSCRIPTEN__
// Fills the table with Emscripten's WebGL bindings.
void load_browser_gles(Gles& gles);

// A WebGL 2 context on the canvas that `target` selects, for the subset to draw through: no
// alpha, depth, stencil or multisampling of its own, as the canvas only shows the finished
// picture (which has its own depth buffer), and a multisampled canvas could not be blitted into.
// The handle is not positive when the browser has no WebGL 2.
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE create_browser_context(const char* target);
#endif

} // namespace webgl
