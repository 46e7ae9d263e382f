// The OpenGL 3.3 core entry points the platform uses, loaded through SDL
// (which opens the system's GL library), so nothing links a GL loader.
//
// Call them as gl.Name(...), e.g. gl.DrawElements(...). gl_api_load needs a
// current GL context and is called for every new one: SDL unloads the GL
// library with the last GL window, and loads it afresh for the next. Only the
// platform folder and the GL benchmark tool include this.
#pragma once

#include <GL/glcorearb.h>

#define GL_API_FUNCTIONS(X)                                                              \
    X(PFNGLGETSTRINGPROC, GetString)                                                     \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                                 \
    X(PFNGLENABLEPROC, Enable)                                                           \
    X(PFNGLDISABLEPROC, Disable)                                                         \
    X(PFNGLBLENDFUNCPROC, BlendFunc)                                                     \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                     \
    X(PFNGLDEPTHMASKPROC, DepthMask)                                                     \
    X(PFNGLCOLORMASKPROC, ColorMask)                                                     \
    X(PFNGLCULLFACEPROC, CullFace)                                                       \
    X(PFNGLFRONTFACEPROC, FrontFace)                                                     \
    X(PFNGLPOLYGONMODEPROC, PolygonMode)                                                 \
    X(PFNGLVIEWPORTPROC, Viewport)                                                       \
    X(PFNGLCLEARPROC, Clear)                                                             \
    X(PFNGLCLEARCOLORPROC, ClearColor)                                                   \
    X(PFNGLCLEARDEPTHPROC, ClearDepth)                                                   \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                                 \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                                   \
    X(PFNGLFINISHPROC, Finish)                                                           \
    X(PFNGLFENCESYNCPROC, FenceSync)                                                     \
    X(PFNGLCLIENTWAITSYNCPROC, ClientWaitSync)                                           \
    X(PFNGLDELETESYNCPROC, DeleteSync)                                                   \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                                 \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                           \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                                 \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                             \
    X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                                   \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                             \
    X(PFNGLGENSAMPLERSPROC, GenSamplers)                                                 \
    X(PFNGLDELETESAMPLERSPROC, DeleteSamplers)                                           \
    X(PFNGLBINDSAMPLERPROC, BindSampler)                                                 \
    X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri)                                     \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                                   \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                             \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                                   \
    X(PFNGLBINDBUFFERBASEPROC, BindBufferBase)                                           \
    X(PFNGLBUFFERDATAPROC, BufferData)                                                   \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                             \
    X(PFNGLMAPBUFFERRANGEPROC, MapBufferRange)                                           \
    X(PFNGLUNMAPBUFFERPROC, UnmapBuffer)                                                 \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                         \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                                   \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                         \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                         \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)                       \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                 \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                                           \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                                   \
    X(PFNGLDRAWELEMENTSPROC, DrawElements)                                               \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, DrawElementsBaseVertex)                           \
    X(PFNGLDRAWRANGEELEMENTSBASEVERTEXPROC, DrawRangeElementsBaseVertex)                 \
    X(PFNGLCREATESHADERPROC, CreateShader)                                               \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                               \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                             \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                 \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                       \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                               \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                             \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                               \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                 \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                               \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                     \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                                   \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                             \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                                   \
    X(PFNGLGETUNIFORMBLOCKINDEXPROC, GetUniformBlockIndex)                               \
    X(PFNGLUNIFORMBLOCKBINDINGPROC, UniformBlockBinding)                                 \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                                     \
    X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                                   \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                       \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                         \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                   \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                         \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                         \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                           \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVPROC, GetFramebufferAttachmentParameteriv) \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                       \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                                 \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                       \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                                 \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)

struct gl_api {
#define GL_API_MEMBER(type, name) type name;
    GL_API_FUNCTIONS(GL_API_MEMBER)
#undef GL_API_MEMBER
};

extern gl_api gl;

// Fills `gl` from the current context; returns 1 when every entry point was
// found.
int gl_api_load(void);

// Compiles and links a program from a vertex and a fragment shader source;
// 0 on failure, with the compiler's text in `log` (cut to `log_size`).
GLuint gl_api_build_program(const char* vertex_source, const char* fragment_source, char* log,
                            int log_size);
