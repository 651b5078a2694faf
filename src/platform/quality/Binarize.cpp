#include "platform/quality/Binarize.h"
#include "platform/quality/Parallel.h"

#include <algorithm>
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
    // Per direction: row by row (across the flow), kGridW pixel offsets (x, y) relative to the pixel.
    std::array<std::array<std::array<int, 2>, kGridW * kGridH>, kDirections> offsets{};
    BinGrids()
    {
        for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d) {
            const double a = static_cast<double>(d) * std::numbers::pi / kDirections;
            const double ux = std::sin(a), uy = -std::cos(a); // along the flow
            const double vx = std::cos(a), vy = std::sin(a);  // across it
            for (int r = 0; r < kGridH; ++r)
                for (int k = 0; k < kGridW; ++k) {
                    const double u = k - (kGridW - 1) / 2.0, v = r - (kGridH - 1) / 2.0;
                    offsets[d][static_cast<std::size_t>(r * kGridW + k)] = {
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
    // Offsets as flat indices for this image's stride, per direction.
    std::array<std::array<std::int32_t, kGridW * kGridH>, kDirections> flat{};
    for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d)
        for (std::size_t i = 0; i < static_cast<std::size_t>(kGridW * kGridH); ++i)
            flat[d][i] = g.offsets[d][i][1] * image.stride() + g.offsets[d][i][0];
    const std::uint8_t *base = image.data();
    inHalves(h, [&](int fromY, int toY) {
        for (int y = fromY; y < toY; ++y) {
            const int by = y / kBlockSize;
            for (int x0 = 0; x0 < w; x0 += kBlockSize) {
                const int dir = maps.direction[maps.at(x0 / kBlockSize, by)];
                if (dir == kInvalidDirection)
                    continue;
                const std::int32_t *off = flat[static_cast<std::size_t>(dir)].data();
                for (int x = x0; x < std::min(w, x0 + kBlockSize); ++x) {
                    const std::uint8_t *p = base + image.index(x, y);
                    int total = 0, centre = 0;
#pragma GCC unroll 9
                    for (std::size_t r = 0; r < static_cast<std::size_t>(kGridH); ++r) {
                        int rowSum = 0;
#pragma GCC unroll 7
                        for (std::size_t k = 0; k < static_cast<std::size_t>(kGridW); ++k)
                            rowSum += p[off[r * kGridW + k]];
                        total += rowSum;
                        if (r == kGridH / 2)
                            centre = rowSum;
                    }
                    out[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                        centre * kGridH < total ? 1 : 0;
                }
            }
        }
    });
    for (int pass = 0; pass < kFillHolePasses; ++pass)
        fillHoles(out, w, h);
    return out;
}

void fillHoles(std::vector<std::uint8_t> &bin, int w, int h)
{
    // Along rows: a pixel whose left and right neighbours agree with each other but not with it. Once
    // filled, its right neighbour cannot be a hole. (Written without branches: holes are common in
    // noisy prints and the branches would be mispredicted.)
    for (int y = 0; y < h; ++y) {
        std::uint8_t *row = bin.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        std::uint8_t filled = 0;
        for (int x = 1; x < w - 1; ++x) {
            const std::uint8_t left = row[x - 1], mid = row[x];
            const std::uint8_t hole = static_cast<std::uint8_t>((left != mid) & (left == row[x + 1]) & (filled ^ 1));
            row[x] = hole ? left : mid;
            filled = hole;
        }
    }
    // Then along columns, walked row by row; each column keeps its own state.
    const std::size_t stride = static_cast<std::size_t>(w);
    std::vector<std::uint8_t> filled(stride, 0);
    for (int y = 1; y < h - 1; ++y) {
        std::uint8_t *row = bin.data() + static_cast<std::size_t>(y) * stride;
        const std::uint8_t *up = row - stride, *down = row + stride;
        for (std::size_t x = 0; x < stride; ++x) {
            const std::uint8_t hole =
                static_cast<std::uint8_t>((up[x] != row[x]) & (up[x] == down[x]) & (filled[x] ^ 1));
            row[x] = hole ? up[x] : row[x];
            filled[x] = hole;
        }
    }
}

} // namespace tav::quality
