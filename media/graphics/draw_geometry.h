// Pixel rectangles and points that the drawing primitives of both paths
// clip and map with.
#pragma once

#include <algorithm>
#include <cstdint>

namespace media {

struct Box {
    int64_t left, top, right, bottom;  // right and bottom exclusive
    bool Empty() const { return left >= right || top >= bottom; }
};

inline Box Intersect(Box a, Box b)
{
    return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

struct Point {
    double x, y;
};

}  // namespace media
