#pragma once

// A grey finger image reduced to 6 bits (0..63), as the block maps and binarisation analyse it, with a
// margin of replicated edge pixels so that their rotated windows can read around any pixel without
// bounds checks. The margin adds no contrast of its own: blank paper at the image's edge stays blank.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

class PaddedImage
{
public:
    static constexpr int kPad = 24; // covers a 24 x 24 window 8 pixels off its block, rotated

    PaddedImage() = default;
    PaddedImage(std::span<const std::uint8_t> pixels, int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int stride() const { return m_stride; }
    // Index of pixel (x, y) in data(); x and y may lie up to kPad outside the image.
    std::ptrdiff_t index(int x, int y) const { return static_cast<std::ptrdiff_t>(y + kPad) * m_stride + (x + kPad); }
    const std::uint8_t *data() const { return m_data.data(); }
    std::uint8_t at(int x, int y) const { return m_data[static_cast<std::size_t>(index(x, y))]; }

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    std::vector<std::uint8_t> m_data;
};

// Blocks of 8 x 8 pixels. When the image is not a multiple of 8 wide (high), the last column (row) of
// blocks is moved back to end at the image's edge and overlaps the one before it.
inline constexpr int kBlockSize = 8;
// Ridge flow directions: direction d flows at d * 11.25 degrees clockwise from vertical (0 vertical,
// 8 horizontal). Minutia directions use twice as many steps over a full turn: 0 points up, 8 right,
// 16 down, 24 left.
inline constexpr int kDirections = 16;
inline constexpr int kFullDirections = 32;

inline int blocksFor(int pixels)
{
    return (pixels + kBlockSize - 1) / kBlockSize;
}

// First pixel of block b along an axis of `pixels` pixels (the last block flush with the edge).
inline int blockOrigin(int b, int pixels)
{
    const int last = blocksFor(pixels) - 1;
    if (b < last || pixels < kBlockSize)
        return b * kBlockSize;
    return pixels - kBlockSize;
}

// Block holding pixel p along an axis: pixels of the overlapping part belong to the last block.
inline int blockOfPixel(int p, int pixels)
{
    const int last = blocksFor(pixels) - 1;
    if (pixels >= kBlockSize && p >= pixels - kBlockSize)
        return last;
    return p / kBlockSize;
}

// Distance between two directions in 0..8 (directions are orientations: 0 and 16 are the same).
inline int directionDistance(int a, int b)
{
    int d = a > b ? a - b : b - a;
    return d > kDirections / 2 ? kDirections - d : d;
}

} // namespace tav::quality
