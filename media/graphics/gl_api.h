// The GL functions the hardware path calls, resolved from the current
// context after it is made (nothing links against the GL library itself).
#pragma once

#include <GL/glcorearb.h>

namespace media::gl_api {

// Compressed and legacy names the core header leaves out.
constexpr GLenum CompressedDxt1 = 0x83F1;  // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
constexpr GLenum CompressedDxt3 = 0x83F2;
constexpr GLenum CompressedDxt5 = 0x83F3;
constexpr GLenum MaxAnisotropy = 0x84FF;         // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
constexpr GLenum TextureMaxAnisotropy = 0x84FE;  // GL_TEXTURE_MAX_ANISOTROPY_EXT

#define KORVANTA_GL_FUNCTIONS(X)                                         \
    X(GetString, PFNGLGETSTRINGPROC)                                     \
    X(GetIntegerv, PFNGLGETINTEGERVPROC)                                 \
    X(GetError, PFNGLGETERRORPROC)                                       \
    X(Enable, PFNGLENABLEPROC)                                           \
    X(Disable, PFNGLDISABLEPROC)                                         \
    X(Viewport, PFNGLVIEWPORTPROC)                                       \
    X(Scissor, PFNGLSCISSORPROC)                                         \
    X(ClearColor, PFNGLCLEARCOLORPROC)                                   \
    X(ClearDepth, PFNGLCLEARDEPTHPROC)                                   \
    X(Clear, PFNGLCLEARPROC)                                             \
    X(Finish, PFNGLFINISHPROC)                                           \
    X(PixelStorei, PFNGLPIXELSTOREIPROC)                                 \
    X(ReadPixels, PFNGLREADPIXELSPROC)                                   \
    X(GenTextures, PFNGLGENTEXTURESPROC)                                 \
    X(DeleteTextures, PFNGLDELETETEXTURESPROC)                           \
    X(BindTexture, PFNGLBINDTEXTUREPROC)                                 \
    X(ActiveTexture, PFNGLACTIVETEXTUREPROC)                             \
    X(TexImage2D, PFNGLTEXIMAGE2DPROC)                                   \
    X(TexSubImage2D, PFNGLTEXSUBIMAGE2DPROC)                             \
    X(CopyTexSubImage2D, PFNGLCOPYTEXSUBIMAGE2DPROC)                     \
    X(TexParameteri, PFNGLTEXPARAMETERIPROC)                             \
    X(TexParameterf, PFNGLTEXPARAMETERFPROC)                             \
    X(GetTexImage, PFNGLGETTEXIMAGEPROC)                                 \
    X(CompressedTexImage2D, PFNGLCOMPRESSEDTEXIMAGE2DPROC)               \
    X(GetCompressedTexImage, PFNGLGETCOMPRESSEDTEXIMAGEPROC)             \
    X(GenFramebuffers, PFNGLGENFRAMEBUFFERSPROC)                         \
    X(DeleteFramebuffers, PFNGLDELETEFRAMEBUFFERSPROC)                   \
    X(BindFramebuffer, PFNGLBINDFRAMEBUFFERPROC)                         \
    X(FramebufferTexture2D, PFNGLFRAMEBUFFERTEXTURE2DPROC)               \
    X(FramebufferRenderbuffer, PFNGLFRAMEBUFFERRENDERBUFFERPROC)         \
    X(CheckFramebufferStatus, PFNGLCHECKFRAMEBUFFERSTATUSPROC)           \
    X(BlitFramebuffer, PFNGLBLITFRAMEBUFFERPROC)                         \
    X(GenRenderbuffers, PFNGLGENRENDERBUFFERSPROC)                       \
    X(DeleteRenderbuffers, PFNGLDELETERENDERBUFFERSPROC)                 \
    X(BindRenderbuffer, PFNGLBINDRENDERBUFFERPROC)                       \
    X(RenderbufferStorage, PFNGLRENDERBUFFERSTORAGEPROC)                 \
    X(CreateShader, PFNGLCREATESHADERPROC)                               \
    X(ShaderSource, PFNGLSHADERSOURCEPROC)                               \
    X(CompileShader, PFNGLCOMPILESHADERPROC)                             \
    X(GetShaderiv, PFNGLGETSHADERIVPROC)                                 \
    X(DeleteShader, PFNGLDELETESHADERPROC)                               \
    X(CreateProgram, PFNGLCREATEPROGRAMPROC)                             \
    X(AttachShader, PFNGLATTACHSHADERPROC)                               \
    X(BindAttribLocation, PFNGLBINDATTRIBLOCATIONPROC)                   \
    X(LinkProgram, PFNGLLINKPROGRAMPROC)                                 \
    X(GetProgramiv, PFNGLGETPROGRAMIVPROC)                               \
    X(DeleteProgram, PFNGLDELETEPROGRAMPROC)                             \
    X(UseProgram, PFNGLUSEPROGRAMPROC)                                   \
    X(GetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC)                   \
    X(Uniform1i, PFNGLUNIFORM1IPROC)                                     \
    X(Uniform4f, PFNGLUNIFORM4FPROC)                                     \
    X(GenBuffers, PFNGLGENBUFFERSPROC)                                   \
    X(DeleteBuffers, PFNGLDELETEBUFFERSPROC)                             \
    X(BindBuffer, PFNGLBINDBUFFERPROC)                                   \
    X(BufferData, PFNGLBUFFERDATAPROC)                                   \
    X(VertexAttribPointer, PFNGLVERTEXATTRIBPOINTERPROC)                 \
    X(EnableVertexAttribArray, PFNGLENABLEVERTEXATTRIBARRAYPROC)         \
    X(DrawArrays, PFNGLDRAWARRAYSPROC)                                   \
    X(BlendFunc, PFNGLBLENDFUNCPROC)                                     \
    X(BlendFuncSeparate, PFNGLBLENDFUNCSEPARATEPROC)                     \
    X(BufferSubData, PFNGLBUFFERSUBDATAPROC)                             \
    X(BlendEquation, PFNGLBLENDEQUATIONPROC)

// Found only where the context offers them.
#define KORVANTA_GL_OPTIONAL_FUNCTIONS(X)                                \
    X(GetStringi, PFNGLGETSTRINGIPROC)                                   \
    X(GenVertexArrays, PFNGLGENVERTEXARRAYSPROC)                         \
    X(DeleteVertexArrays, PFNGLDELETEVERTEXARRAYSPROC)                   \
    X(BindVertexArray, PFNGLBINDVERTEXARRAYPROC)                         \
    X(GetGraphicsResetStatus, PFNGLGETGRAPHICSRESETSTATUSPROC)

struct Functions {
#define KORVANTA_GL_MEMBER(name, type) type name = nullptr;
    KORVANTA_GL_FUNCTIONS(KORVANTA_GL_MEMBER)
    KORVANTA_GL_OPTIONAL_FUNCTIONS(KORVANTA_GL_MEMBER)
#undef KORVANTA_GL_MEMBER
};

// The functions of the current context; all null while there is none.
extern Functions gl;

// Resolves every function of the current context. False (and everything
// null) when one of the required ones is missing; *missing names it.
bool LoadFunctions(const char** missing);
// Tests: where the functions are looked up ("glName"); null: the context's.
using Lookup = void* (*)(const char* name);
void SetLookupForTests(Lookup lookup);
void ClearFunctions();

}  // namespace media::gl_api
