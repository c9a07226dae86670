#include "media/image/picture_fallback.h"

#include "media/image/image_load.h"
#include "media/files/program_path.h"

namespace media {

namespace {

std::string fallbackFolder;

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
    if (!FindReadableFile(path).empty())
        return std::string();
    return FindReadableFile(path, fallbackFolder).empty() ? std::string() : fallbackFolder;
}

}  // namespace media
