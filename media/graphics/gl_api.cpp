#include "media/graphics/gl_api.h"

#include <string>

#include "media/platform/gl_context.h"

namespace media::gl_api {

Functions gl;

namespace {

void* Find(const char* name)
{
    void* found = platform::gl::ProcAddress((std::string("gl") + name).c_str());
    // Older contexts offer some of these under their extension names.
    if (!found)
        found = platform::gl::ProcAddress((std::string("gl") + name + "ARB").c_str());
    return found;
}

}  // namespace

bool LoadFunctions(const char** missing)
{
    gl = Functions{};
#define KORVANTA_GL_LOAD(name, type)                        \
    gl.name = reinterpret_cast<type>(Find(#name));          \
    if (!gl.name) {                                         \
        *missing = "gl" #name;                              \
        gl = Functions{};                                   \
        return false;                                       \
    }
    KORVANTA_GL_FUNCTIONS(KORVANTA_GL_LOAD)
#undef KORVANTA_GL_LOAD
#define KORVANTA_GL_LOAD_OPTIONAL(name, type) gl.name = reinterpret_cast<type>(Find(#name));
    KORVANTA_GL_OPTIONAL_FUNCTIONS(KORVANTA_GL_LOAD_OPTIONAL)
#undef KORVANTA_GL_LOAD_OPTIONAL
    return true;
}

void ClearFunctions()
{
    gl = Functions{};
}

}  // namespace media::gl_api
