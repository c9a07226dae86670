// The pictures' second folder: an installed program's PIC/ lives under
// share/korvanta, not where it is started. Off unless the program sets it.
#pragma once

#include <string>

namespace media {

// An absolute native folder that reads of relative picture paths fall back
// to once the working folder was tried; empty turns it off (the default).
// Writes, the log and absolute paths never use it.
void SetPictureFallbackFolder(const std::string& folder);
const std::string& PictureFallbackFolder();

// The folder to read the picture at path (a program path) from instead of
// the working folder: empty when the path is absolute, the fallback is off,
// the working folder holds the file, or the fallback folder does not either.
std::string PictureFallbackFolderFor(const char* path);

}  // namespace media
