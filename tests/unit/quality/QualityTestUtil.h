#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tav::quality::test {

// Straight dark ridges flowing along direction d (d * 180 / 16 degrees clockwise from vertical), period
// in pixels.
inline std::vector<std::uint8_t> stripes(int width, int height, int d, double period = 9.0, double contrast = 100)
{
    const double a = d * std::numbers::pi / 16;
    const double nx = std::cos(a), ny = std::sin(a); // across the flow
    std::vector<std::uint8_t> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = 128 + contrast * std::cos(2 * std::numbers::pi * (x * nx + y * ny) / period);
            px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
        }
    return px;
}

} // namespace tav::quality::test
