#pragma once

// A grey finger image reduced to 6 bits (0..63) with a margin of replicated edge pixels, so that the
// rotated windows of the block maps and of binarisation can read around any pixel without bounds checks.
// The block maps' thresholds (contrast spread, directional power) are set for 6-bit grey values.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

class PaddedImage
{
public:
    static constexpr int kPad = 24; // covers a 24 x 24 window rotated about a block's centre (about 20 px)

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

// Blocks of 8 x 8 pixels; the last row and column of blocks may be partly outside the image.
inline constexpr int kBlockSize = 8;
inline constexpr int kDirections = 16; // direction d is the ridge flow at d * 180 / 16 degrees from horizontal

inline int blocksFor(int pixels)
{
    return (pixels + kBlockSize - 1) / kBlockSize;
}

// Distance between two directions in 0..8 (directions are orientations: 0 and 16 are the same).
inline int directionDistance(int a, int b)
{
    int d = a > b ? a - b : b - a;
    return d > kDirections / 2 ? kDirections - d : d;
}

} // namespace tav::quality
