#pragma once

// Contours of a binary finger image: the chain of feature pixels (ridge or valley) along the border
// with the other colour, each with the edge pixel beside it. False-minutia removal follows contours to
// find islands, lakes, hooks and ridge sides.

#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

// A binary image that the removal stages may edit (filling islands and lakes): 1 ridge, 0 valley.
struct BinaryView
{
    int width = 0;
    int height = 0;
    std::span<std::uint8_t> pixels;

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    int at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    void set(int x, int y, int v)
    {
        pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(v);
    }
};

struct ContourPoint
{
    int x = 0;
    int y = 0;
    int ex = 0; // the edge pixel beside it, of the other colour
    int ey = 0;
};

enum class TraceResult {
    Complete, // maxLength points followed
    Stopped,  // reached the stop point (the last point of the contour)
    Loop,     // came back to the start point
    Failed,   // ran into the image's edge or a lone pixel
};

// Follows the contour of (x, y) with its edge pixel (ex, ey), clockwise (the feature kept on the left
// when looking from the feature into the edge, turning the way of a clock) or the other way, for up to
// maxLength points, stopping early at (stopX, stopY). The start point is not in `out`.
TraceResult traceContour(const BinaryView &image, std::vector<ContourPoint> &out, int maxLength, int stopX, int stopY,
                         int x, int y, int ex, int ey, bool clockwise);

// Whether (targetX, targetY) lies on the contour of (x, y) within maxLength points either way.
bool onSameContour(const BinaryView &image, int targetX, int targetY, int maxLength, int x, int y, int ex, int ey);

// halfLength points either way of (x, y), in order, with (x, y) in the middle (2 * halfLength + 1 in
// all). Returns Complete, Loop, or Failed when either way is cut short.
TraceResult centredContour(const BinaryView &image, std::vector<ContourPoint> &out, int halfLength, int x, int y,
                           int ex, int ey);

// Fills the feature-coloured region enclosed by a closed contour with the edge colour.
void fillLoop(BinaryView &image, const std::vector<ContourPoint> &loop);

} // namespace tav::quality
