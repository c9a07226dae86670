#include "media/files/program_path.h"

#include <vector>

#include "media/core/system_state.h"
#include "media/platform/file.h"

namespace media {

namespace {

std::string Joined(const std::string& base, const std::string& name)
{
    if (base.empty() || name.empty() || name[0] == '/')
        return name;
    return base.back() == '/' ? base + name : base + "/" + name;
}

bool OpensAsFile(const std::string& native)
{
    const FileHandle file = FileOpenRead(native.c_str());
    if (file == InvalidFile)
        return false;
    const bool regular = FileIsRegular(file);
    FileClose(file);
    return regular;
}

bool FolderOfExists(const std::string& native)
{
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos)
        return true;  // the working folder
    return media::FolderExists(slash == 0 ? "/" : native.substr(0, slash).c_str());
}

void SplitNative(const std::string& path, std::vector<std::string>* parts)
{
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
        parts->push_back(path.substr(start, slash - start));
    parts->push_back(path.substr(start));
}

}  // namespace

std::string FindReadableFile(const char* programPath, const std::string& base)
{
    if (!programPath)
        return std::string();
    const std::string converted = ConvertedNativePath(programPath, systemState.characterSet);
    if (!converted.empty() && OpensAsFile(Joined(base, converted)))
        return Joined(base, converted);
    const std::string raw = Joined(base, NativePath(programPath, systemState.characterSet));
    return OpensAsFile(raw) ? raw : std::string();
}

std::string WritableNativeName(const char* programPath)
{
    const std::string converted = ConvertedNativePath(programPath, systemState.characterSet);
    if (!converted.empty() && FolderOfExists(converted))
        return converted;
    return NativePath(programPath, systemState.characterSet);
}

std::string AbsoluteNativePath(const std::string& native, const std::string& base)
{
    std::vector<std::string> components;
    if (native.empty() || native[0] != '/') {
        std::string folder = base;
        if (folder.empty()) {
            std::vector<char> buffer(4096);
            uint32_t length = FileGetCurrentDirectory(buffer.data(), uint32_t(buffer.size()));
            if (length >= buffer.size()) {
                buffer.resize(length);
                length = FileGetCurrentDirectory(buffer.data(), uint32_t(buffer.size()));
            }
            // Without it the path would silently start at the root.
            if (length == 0 || length >= buffer.size())
                return std::string();
            folder.assign(buffer.data(), length);
        }
        SplitNative(folder, &components);
    }
    SplitNative(native, &components);
    std::vector<std::string> kept;
    for (const std::string& part : components) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string absolute;
    for (const std::string& part : kept)
        absolute += "/" + part;
    return absolute.empty() ? "/" : absolute;
}

}  // namespace media
