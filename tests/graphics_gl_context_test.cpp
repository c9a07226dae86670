// What the hardware path reads from a GL context before it takes it: whether
// the renderer is a software rasteriser, and whether the context offers what
// the device needs at its version (with a context made of fake functions).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"

namespace media {
namespace {

struct RendererCase {
    const char* renderer;
    bool software;
};

void PrintTo(const RendererCase& c, std::ostream* out)
{
    *out << '"' << c.renderer << '"';
}

class SoftwareRasteriserTable : public testing::TestWithParam<RendererCase> {};

TEST_P(SoftwareRasteriserTable, TellsSoftwareFromDevices)
{
    EXPECT_EQ(IsSoftwareRasteriser(GetParam().renderer), GetParam().software);
}

INSTANTIATE_TEST_SUITE_P(
    Renderers, SoftwareRasteriserTable,
    testing::Values(
        RendererCase{"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        // Behind a virtual GPU or a layered driver, in capitals.
        RendererCase{"virgl (LLVMPIPE (LLVM 15.0.6, 256 bits))", true},
        RendererCase{"zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits) (MESA_LLVMPIPE))", true},
        RendererCase{"D3D12 (Microsoft Basic Render Driver)", true}, RendererCase{"softpipe", true},
        RendererCase{"Mesa X11 swrast", true}, RendererCase{"Software Rasterizer", true},
        RendererCase{"SOFTWARE RASTERIZER", true}, RendererCase{"lavapipe", true},
        // Devices, "LLVM" in the name or not.
        RendererCase{"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
        RendererCase{"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        RendererCase{"NVIDIA GeForce GTX 1080/PCIe/SSE2", false},
        RendererCase{"D3D12 (NVIDIA GeForce RTX 3060)", false},
        RendererCase{"virgl (Mesa Intel(R) UHD Graphics 620 (KBL GT2))", false}, RendererCase{"", false}));

// A context of fake functions: its version, its extensions, and whether it
// has glGetStringi.
namespace fake {

std::string version;
std::string extensionList;  // names separated by spaces
std::vector<std::string> extensions;
bool hasStringi = true;

const GLubyte* APIENTRY GetString(GLenum name)
{
    const std::string& text = name == GL_VERSION ? version : extensionList;
    return reinterpret_cast<const GLubyte*>(name == GL_VERSION || name == GL_EXTENSIONS ? text.c_str() : "");
}

const GLubyte* APIENTRY GetStringi(GLenum, GLuint index)
{
    return index < extensions.size() ? reinterpret_cast<const GLubyte*>(extensions[index].c_str()) : nullptr;
}

void APIENTRY GetIntegerv(GLenum name, GLint* value)
{
    *value = name == GL_NUM_EXTENSIONS ? GLint(extensions.size()) : 0;
}

GLenum APIENTRY GetError()
{
    return GL_NO_ERROR;
}

void APIENTRY NeverCalled() {}

void* Lookup(const char* name)
{
    if (!std::strcmp(name, "glGetString"))
        return reinterpret_cast<void*>(&GetString);
    if (!std::strcmp(name, "glGetStringi"))
        return hasStringi ? reinterpret_cast<void*>(&GetStringi) : nullptr;
    if (!std::strcmp(name, "glGetStringiARB"))
        return nullptr;
    if (!std::strcmp(name, "glGetIntegerv"))
        return reinterpret_cast<void*>(&GetIntegerv);
    if (!std::strcmp(name, "glGetError"))
        return reinterpret_cast<void*>(&GetError);
    return reinterpret_cast<void*>(&NeverCalled);
}

}  // namespace fake

struct ContextCase {
    const char* version;
    const char* extension;  // the one extension offered, or ""
    bool hasStringi;
    bool core33;  // the 3.3 core attempt, else the old-style one
    bool accepted;
};

void PrintTo(const ContextCase& c, std::ostream* out)
{
    *out << '"' << c.version << "\" [" << c.extension << "]" << (c.hasStringi ? " glGetStringi" : "")
         << (c.core33 ? " core" : " old-style");
}

class ContextTable : public testing::TestWithParam<ContextCase> {
protected:
    void TearDown() override
    {
        gl_api::SetLookupForTests(nullptr);
        gl_api::ClearFunctions();
    }
};

TEST_P(ContextTable, AcceptsWhatTheDeviceCanUse)
{
    const ContextCase& c = GetParam();
    fake::version = c.version;
    fake::extensionList = c.extension;
    fake::extensions.clear();
    if (*c.extension)
        fake::extensions.push_back(c.extension);
    fake::hasStringi = c.hasStringi;
    gl_api::SetLookupForTests(fake::Lookup);
    EXPECT_EQ(AcceptGlContext(c.core33), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ContextTable,
    testing::Values(
        // 2.1 has no glGetStringi: its extensions come from glGetString.
        ContextCase{"2.1 Mesa 22.3.6", "GL_ARB_framebuffer_object", false, false, true},
        ContextCase{"2.1 Mesa 22.3.6", "", false, false, false},
        ContextCase{"2.0 Mesa", "GL_ARB_framebuffer_object", false, false, false},
        // From 3.0 framebuffer objects are core and glGetStringi is the list.
        ContextCase{"3.0 Mesa 22.3.6", "", true, false, true},
        ContextCase{"3.1 Mesa 22.3.6", "", false, false, false},
        ContextCase{"4.5 (Core Profile) Mesa 22.3.6", "", true, true, true},
        ContextCase{"3.2 (Core Profile)", "", true, true, false},
        ContextCase{"3.3 (Core Profile)", "", false, true, false}));

}  // namespace
}  // namespace media
