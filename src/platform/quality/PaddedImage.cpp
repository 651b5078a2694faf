#include "platform/quality/PaddedImage.h"

#include <cstring>

namespace tav::quality {

PaddedImage::PaddedImage(std::span<const std::uint8_t> pixels, int width, int height)
    : m_width(width), m_height(height), m_stride(width + 2 * kPad)
{
    const int rows = height + 2 * kPad;
    m_data.assign(static_cast<std::size_t>(m_stride) * static_cast<std::size_t>(rows), 0);
    if (width <= 0 || height <= 0)
        return;
    for (int y = -kPad; y < height + kPad; ++y) {
        const int sy = y < 0 ? 0 : (y >= height ? height - 1 : y);
        const std::uint8_t *src = pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(width);
        std::uint8_t *dst = m_data.data() + index(0, y);
        for (int x = 0; x < width; ++x)
            dst[x] = static_cast<std::uint8_t>(src[x] >> 2);
        std::memset(dst - kPad, dst[0], kPad);
        std::memset(dst + width, dst[width - 1], kPad);
    }
}

} // namespace tav::quality
