// A program path (Shift-JIS or the current character set's code page, either
// separator) stands for two native names on Linux, whose file names are
// UTF-8: the converted one and the raw bytes (NativePath and
// ConvertedNativePath in media/platform/file.h). These pick the one a file
// has. Names that come from the system (the working folder, the log folder,
// the folder part of image records) and the programs' own arguments are
// native already: they never pass through here.
#pragma once

#include <string>

namespace media {

// The native name under which the program path opens as a regular file,
// relative to base (a native folder; empty: the working folder): the
// converted name first, then the raw one. Joined to base when base is given;
// empty when neither opens.
std::string FindReadableFile(const char* programPath, const std::string& base = std::string());

// The native name to create, delete or append to: the converted name when
// its folder exists, else the raw one.
std::string WritableNativeName(const char* programPath);

// A native path made absolute against base (empty: the working folder) with
// "." and ".." resolved; only '/' separates. Empty when the working folder
// cannot be read.
std::string AbsoluteNativePath(const std::string& native, const std::string& base = std::string());

}  // namespace media
