#include "media/graphics/gl_api.h"

#include <string>

#include "media/platform/gl_context.h"

namespace media::gl_api {

Functions gl;

namespace {

Lookup testLookup = nullptr;

void* Find(const char* name)
{
    const Lookup lookup = testLookup ? testLookup : platform::gl::ProcAddress;
    void* found = lookup((std::string("gl") + name).c_str());
    // Older contexts offer some of these under their extension names.
    if (!found)
        found = lookup((std::string("gl") + name + "ARB").c_str());
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

void SetLookupForTests(Lookup lookup)
{
    testLookup = lookup;
}

void ClearFunctions()
{
    gl = Functions{};
}

}  // namespace media::gl_api
