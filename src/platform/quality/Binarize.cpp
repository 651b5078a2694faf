#include "platform/quality/Binarize.h"

#include <array>
#include <cmath>
#include <numbers>

namespace tav::quality {

namespace {

constexpr int kGridW = 7; // along the ridge
constexpr int kGridH = 9; // across the ridge; the pixel's own row is the middle one
constexpr int kFillHolePasses = 3;

struct BinGrids
{
    // Per direction: for each row, kGridW pixel offsets (x, y) relative to the pixel.
    std::array<std::array<std::array<int, 2>, kGridW * kGridH>, kDirections> offsets{};
    BinGrids()
    {
        for (int d = 0; d < kDirections; ++d) {
            const double a = d * std::numbers::pi / kDirections;
            const double ux = std::sin(a), uy = -std::cos(a); // along the flow
            const double vx = std::cos(a), vy = std::sin(a);  // across it
            for (int r = 0; r < kGridH; ++r)
                for (int k = 0; k < kGridW; ++k) {
                    const double u = k - (kGridW - 1) / 2.0, v = r - (kGridH - 1) / 2.0;
                    offsets[static_cast<std::size_t>(d)][static_cast<std::size_t>(r * kGridW + k)] = {
                        static_cast<int>(std::lround(u * ux + v * vx)), static_cast<int>(std::lround(u * uy + v * vy))};
                }
        }
    }
};

} // namespace

std::vector<std::uint8_t> binarize(const PaddedImage &image, const BlockMaps &maps)
{
    static const BinGrids g;
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    // Offsets as flat indices for this image's stride, per direction and row.
    std::array<std::array<std::ptrdiff_t, kGridW * kGridH>, kDirections> flat{};
    for (int d = 0; d < kDirections; ++d)
        for (int i = 0; i < kGridW * kGridH; ++i) {
            const auto &o = g.offsets[static_cast<std::size_t>(d)][static_cast<std::size_t>(i)];
            flat[static_cast<std::size_t>(d)][static_cast<std::size_t>(i)] =
                static_cast<std::ptrdiff_t>(o[1]) * image.stride() + o[0];
        }
    const std::uint8_t *base = image.data();
    for (int y = 0; y < h; ++y) {
        const int by = y / kBlockSize;
        for (int x = 0; x < w; ++x) {
            const int dir = maps.direction[maps.at(x / kBlockSize, by)];
            if (dir == kInvalidDirection)
                continue;
            const std::uint8_t *p = base + image.index(x, y);
            const auto &off = flat[static_cast<std::size_t>(dir)];
            int total = 0, centre = 0;
            for (int r = 0; r < kGridH; ++r) {
                int rowSum = 0;
                for (int k = 0; k < kGridW; ++k)
                    rowSum += p[off[static_cast<std::size_t>(r * kGridW + k)]];
                total += rowSum;
                if (r == kGridH / 2)
                    centre = rowSum;
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                centre * kGridH < total ? 1 : 0;
        }
    }
    for (int pass = 0; pass < kFillHolePasses; ++pass)
        fillHoles(out, w, h);
    return out;
}

void fillHoles(std::vector<std::uint8_t> &bin, int w, int h)
{
    // Along rows: a pixel whose left and right neighbours agree with each other but not with it.
    for (int y = 0; y < h; ++y) {
        std::uint8_t *row = bin.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 1; x < w - 1; ++x)
            if (row[x - 1] != row[x] && row[x - 1] == row[x + 1]) {
                row[x] = row[x - 1];
                ++x; // the right neighbour cannot be a hole now
            }
    }
    // Then along columns.
    const std::size_t stride = static_cast<std::size_t>(w);
    for (int x = 0; x < w; ++x) {
        std::uint8_t *col = bin.data() + x;
        for (int y = 1; y < h - 1; ++y) {
            const std::size_t i = static_cast<std::size_t>(y) * stride;
            if (col[i - stride] != col[i] && col[i - stride] == col[i + stride]) {
                col[i] = col[i - stride];
                ++y;
            }
        }
    }
}

} // namespace tav::quality
