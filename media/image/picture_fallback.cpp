#include "media/image/picture_fallback.h"

#include "media/image/image_load.h"
#include "media/files/stream.h"

namespace media {

namespace {

std::string fallbackFolder;

// Opens as the loader will (a regular file, through the file layer's names).
bool Readable(const char* path)
{
    const StreamHandle stream = StreamOpen(path);
    if (!stream)
        return false;
    StreamClose(stream);
    return true;
}

}  // namespace

void SetPictureFallbackFolder(const std::string& folder)
{
    fallbackFolder = folder;
}

const std::string& PictureFallbackFolder()
{
    return fallbackFolder;
}

std::string PictureFallbackFolderFor(const char* path)
{
    if (fallbackFolder.empty() || !path || !*path || path[0] == '\\' || path[0] == '/')
        return std::string();
    // The working folder wins.
    if (Readable(path))
        return std::string();
    return Readable(AbsoluteImagePath(path, fallbackFolder).c_str()) ? fallbackFolder : std::string();
}

}  // namespace media
