#include "media/image/movie.h"

namespace media {

int OpenMovie(const char*) { return -1; }
bool GetMovieFrameInfo(int, MovieFrameInfo*) { return false; }
void AttachMovieImage(int, ImageHandle) {}
void CloseMovie(int) {}

}  // namespace media
