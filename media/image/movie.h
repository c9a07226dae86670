// The movie layer as image loading sees it. This system plays no movies:
// opening always fails, so a file that no image decoder accepts is reported
// as a failed load.
#pragma once

#include "media/graphics/image_table.h"

namespace media {

struct MovieFrameInfo {
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
};

// A movie handle, or a negative value when the path is no movie.
int OpenMovie(const char* path);
bool GetMovieFrameInfo(int movie, MovieFrameInfo* info);
// Frames of the movie are written into the image from now on.
void AttachMovieImage(int movie, ImageHandle image);
void CloseMovie(int movie);

}  // namespace media
