#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tav::wsq::test {

inline std::vector<std::uint8_t> readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Pgm
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Binary 8-bit PGM as the fixtures hold them ("P5 W H 255" and one whitespace).
inline Pgm readPgm(const std::filesystem::path &file)
{
    const std::vector<std::uint8_t> data = readAll(file);
    Pgm p;
    std::string head(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(64, data.size())));
    int maxval = 0, used = 0;
    if (std::sscanf(head.c_str(), "P5 %d %d %d%n", &p.width, &p.height, &maxval, &used) != 3)
        return {};
    const std::size_t n = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
    const std::size_t start = static_cast<std::size_t>(used) + 1;
    if (data.size() < start + n)
        return {};
    p.pixels.assign(data.begin() + static_cast<std::ptrdiff_t>(start),
                    data.begin() + static_cast<std::ptrdiff_t>(start + n));
    return p;
}

inline double psnr(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    double se = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        se += d * d;
    }
    if (se == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (se / static_cast<double>(a.size())));
}

// A finger-like test picture: curved ridges fading into a light background.
inline std::vector<std::uint8_t> ridges(int width, int height)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = x - width / 2.0, dy = y - height / 2.0;
            const double r = std::sqrt(dx * dx + 1.3 * dy * dy);
            const double fade = std::exp(-std::pow(r / (0.4 * std::max(1, std::min(width, height))), 4));
            const double v = 240 - fade * (110 + 100 * std::sin(r / 3.1 + 0.002 * dx * dy / 10));
            px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
        }
    return px;
}

} // namespace tav::wsq::test
