#include "platform/quality/BlockMaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>

namespace tav::quality {

namespace {

constexpr int kWindow = 24;      // analysis window around each block
constexpr int kWindowOffset = 8; // window starts this many pixels before the block
constexpr int kWaves = 4;
constexpr int kContrastMargin =
    0; // the contrast of a block is measured on its own pixels        // waves of 1..4 periods across the window
constexpr double kPowMaxMin = 100000.0;
constexpr double kPowNormMin = 3.8;  // the dominant wave must carry this many times its mean power
constexpr int kPercentile = 10;      // low contrast: spread between the 10th and 90th percentile...
constexpr int kMinContrastDelta = 5; // ...below this is background
constexpr int kRemoveValidNeighboursMin = 3;
constexpr double kDirStrengthMin = 0.2;
constexpr int kDirDistanceMax = 3;
constexpr int kSmoothValidNeighboursMin = 7;
constexpr int kMinInterpolateNeighbours = 2;
constexpr int kVorticityValidNeighboursMin = 7;
constexpr int kHighCurvVorticityMin = 8; // a half turn of the ridge flow around the block
constexpr int kHighCurvCurvatureMin = 2; // a neighbour turned 22.5 degrees or more

constexpr std::array<std::array<int, 2>, 8> kRing = {
    {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}}}; // clockwise around a block

// Pixel offsets of the rotated 24 x 24 window: for direction d, row r runs along the ridge flow,
// rows stacked across it. Offsets are relative to the block's top-left pixel.
struct DirectionGrids
{
    std::array<std::array<std::array<int, 2>, kWindow * kWindow>, kDirections> offsets{};
    std::array<std::array<double, kWindow>, kWaves> cosTable{};
    std::array<std::array<double, kWindow>, kWaves> sinTable{};

    DirectionGrids()
    {
        const double half = (kWindow - 1) / 2.0;
        const double centre = (kBlockSize - 1) / 2.0;
        for (int d = 0; d < kDirections; ++d) {
            const double a = d * std::numbers::pi / kDirections;
            const double c = std::cos(a), s = std::sin(a);
            for (int r = 0; r < kWindow; ++r)
                for (int k = 0; k < kWindow; ++k) {
                    const double u = k - half, v = r - half;
                    offsets[static_cast<std::size_t>(d)][static_cast<std::size_t>(r * kWindow + k)] = {
                        static_cast<int>(std::floor(centre + u * c - v * s + 0.5)),
                        static_cast<int>(std::floor(centre + u * s + v * c + 0.5))};
                }
        }
        for (int w = 0; w < kWaves; ++w)
            for (int r = 0; r < kWindow; ++r) {
                const double t = 2.0 * std::numbers::pi * (w + 1) * r / kWindow;
                cosTable[static_cast<std::size_t>(w)][static_cast<std::size_t>(r)] = std::cos(t);
                sinTable[static_cast<std::size_t>(w)][static_cast<std::size_t>(r)] = std::sin(t);
            }
    }
};

const DirectionGrids &grids()
{
    static const DirectionGrids g;
    return g;
}

// Average of directions as doubled-angle vectors; strength is the vector's length over the count.
struct DirectionSum
{
    double x = 0, y = 0;
    int count = 0;
    void add(int d, double weight = 1.0)
    {
        static const std::array<std::array<double, 2>, kDirections> unit = [] {
            std::array<std::array<double, 2>, kDirections> t{};
            for (int i = 0; i < kDirections; ++i) {
                const double a = 2.0 * i * std::numbers::pi / kDirections;
                t[static_cast<std::size_t>(i)] = {std::cos(a), std::sin(a)};
            }
            return t;
        }();
        x += weight * unit[static_cast<std::size_t>(d)][0];
        y += weight * unit[static_cast<std::size_t>(d)][1];
        ++count;
    }
    int average() const
    {
        double a = std::atan2(y, x);
        if (a < 0)
            a += 2.0 * std::numbers::pi;
        const int d = static_cast<int>(std::lround(a / 2.0 / (std::numbers::pi / kDirections)));
        return d % kDirections;
    }
    double strength(double totalWeight) const { return totalWeight > 0 ? std::hypot(x, y) / totalWeight : 0.0; }
};

} // namespace

std::vector<std::uint8_t> lowContrastMap(const PaddedImage &image, int blocksWide, int blocksHigh)
{
    std::vector<std::uint8_t> map(static_cast<std::size_t>(blocksWide) * static_cast<std::size_t>(blocksHigh), 1);
    for (int by = 0; by < blocksHigh; ++by)
        for (int bx = 0; bx < blocksWide; ++bx) {
            const int x0 = std::max(0, bx * kBlockSize - kContrastMargin);
            const int y0 = std::max(0, by * kBlockSize - kContrastMargin);
            const int x1 = std::min(image.width(), bx * kBlockSize + kBlockSize + kContrastMargin);
            const int y1 = std::min(image.height(), by * kBlockSize + kBlockSize + kContrastMargin);
            std::array<int, 64> histogram{};
            int n = 0;
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t *row = image.data() + image.index(0, y);
                for (int x = x0; x < x1; ++x)
                    ++histogram[row[x]];
                n += std::max(0, x1 - x0);
            }
            if (n == 0)
                continue;
            const int lowCount = (n * kPercentile + 99) / 100;
            const int highCount = (n * (100 - kPercentile) + 99) / 100;
            int low = -1, high = -1, cumulative = 0;
            for (int v = 0; v < 64; ++v) {
                cumulative += histogram[static_cast<std::size_t>(v)];
                if (low < 0 && cumulative >= lowCount)
                    low = v;
                if (high < 0 && cumulative >= highCount) {
                    high = v;
                    break;
                }
            }
            map[static_cast<std::size_t>(by * blocksWide + bx)] = (high - low) < kMinContrastDelta ? 1 : 0;
        }
    return map;
}

namespace {

using FlatGrid = std::array<std::ptrdiff_t, static_cast<std::size_t>(kDirections *kWindow *kWindow)>;

// The rotated windows' offsets as flat indices for one image's stride.
FlatGrid flatGrid(const PaddedImage &image)
{
    const DirectionGrids &g = grids();
    FlatGrid flat{};
    for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d)
        for (std::size_t i = 0; i < static_cast<std::size_t>(kWindow * kWindow); ++i)
            flat[d * kWindow * kWindow + i] =
                static_cast<std::ptrdiff_t>(g.offsets[d][i][1]) * image.stride() + g.offsets[d][i][0];
    return flat;
}

int directionAt(const std::uint8_t *origin, const FlatGrid &flat)
{
    const DirectionGrids &g = grids();
    std::array<std::array<double, kDirections>, kWaves> power{};
    const std::ptrdiff_t *off = flat.data();
    for (int d = 0; d < kDirections; ++d) {
        std::array<double, kWindow> rowSum{};
        for (int r = 0; r < kWindow; ++r) {
            int sum = 0;
            for (int k = 0; k < kWindow; ++k)
                sum += origin[*off++];
            rowSum[static_cast<std::size_t>(r)] = sum;
        }
        // The lowest wave (one period over the window) follows shading, not ridges: it takes no part.
        for (int w = 1; w < kWaves; ++w) {
            double re = 0, im = 0;
            const auto &c = g.cosTable[static_cast<std::size_t>(w)];
            const auto &s = g.sinTable[static_cast<std::size_t>(w)];
            for (std::size_t r = 0; r < static_cast<std::size_t>(kWindow); ++r) {
                re += rowSum[r] * c[r];
                im += rowSum[r] * s[r];
            }
            power[static_cast<std::size_t>(w)][static_cast<std::size_t>(d)] = re * re + im * im;
        }
    }
    int bestDir = kInvalidDirection;
    double bestMax = 0, bestNorm = 0;
    for (int w = 1; w < kWaves; ++w) {
        const auto &p = power[static_cast<std::size_t>(w)];
        int dmax = 0;
        double total = 0;
        for (int d = 0; d < kDirections; ++d) {
            total += p[static_cast<std::size_t>(d)];
            if (p[static_cast<std::size_t>(d)] > p[static_cast<std::size_t>(dmax)])
                dmax = d;
        }
        const double pmax = p[static_cast<std::size_t>(dmax)];
        const double norm = total > 0 ? pmax * kDirections / total : 0;
        if (norm > bestNorm) {
            bestNorm = norm;
            bestMax = pmax;
            bestDir = dmax;
        }
    }
    if (bestMax > kPowMaxMin && bestNorm > kPowNormMin)
        return bestDir;
    return kInvalidDirection;
}

} // namespace

int blockDirection(const PaddedImage &image, int bx, int by)
{
    const FlatGrid flat = flatGrid(image);
    return directionAt(image.data() + image.index(bx * kBlockSize, by * kBlockSize), flat);
}

std::vector<int> initialDirections(const PaddedImage &image, const BlockMaps &maps)
{
    std::vector<int> dirs(maps.lowContrast.size(), kInvalidDirection);
    const auto flat = std::make_unique<FlatGrid>(flatGrid(image));
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx)
            if (!maps.lowContrast[maps.at(bx, by)])
                dirs[maps.at(bx, by)] =
                    directionAt(image.data() + image.index(bx * kBlockSize, by * kBlockSize), *flat);
    return dirs;
}

void removeInconsistentDirections(BlockMaps &maps)
{
    for (int pass = 0; pass < 32; ++pass) {
        bool changed = false;
        for (int by = 0; by < maps.blocksHigh; ++by)
            for (int bx = 0; bx < maps.blocksWide; ++bx) {
                int &dir = maps.direction[maps.at(bx, by)];
                if (dir == kInvalidDirection)
                    continue;
                DirectionSum sum;
                for (const auto &n : kRing) {
                    const int nx = bx + n[0], ny = by + n[1];
                    if (maps.inside(nx, ny) && maps.direction[maps.at(nx, ny)] != kInvalidDirection)
                        sum.add(maps.direction[maps.at(nx, ny)]);
                }
                if (sum.count < kRemoveValidNeighboursMin || sum.strength(sum.count) < kDirStrengthMin ||
                    directionDistance(dir, sum.average()) > kDirDistanceMax) {
                    dir = kInvalidDirection;
                    changed = true;
                }
            }
        if (!changed)
            break;
    }
}

void smoothDirections(BlockMaps &maps)
{
    std::vector<int> out = maps.direction;
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const int dir = maps.direction[maps.at(bx, by)];
            if (dir == kInvalidDirection)
                continue;
            DirectionSum sum;
            sum.add(dir);
            for (const auto &n : kRing) {
                const int nx = bx + n[0], ny = by + n[1];
                if (maps.inside(nx, ny) && maps.direction[maps.at(nx, ny)] != kInvalidDirection)
                    sum.add(maps.direction[maps.at(nx, ny)]);
            }
            if (sum.count - 1 >= kSmoothValidNeighboursMin && sum.strength(sum.count) >= kDirStrengthMin)
                out[maps.at(bx, by)] = sum.average();
        }
    maps.direction = std::move(out);
}

void interpolateDirections(BlockMaps &maps)
{
    std::vector<int> out = maps.direction;
    constexpr std::array<std::array<int, 2>, 4> kSteps = {{{0, -1}, {0, 1}, {-1, 0}, {1, 0}}};
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (maps.direction[i] != kInvalidDirection || maps.lowContrast[i])
                continue;
            DirectionSum sum;
            for (const auto &s : kSteps) {
                for (int dist = 1;; ++dist) {
                    const int nx = bx + s[0] * dist, ny = by + s[1] * dist;
                    if (!maps.inside(nx, ny) || maps.lowContrast[maps.at(nx, ny)])
                        break;
                    const int d = maps.direction[maps.at(nx, ny)];
                    if (d != kInvalidDirection) {
                        sum.add(d, 1.0 / dist);
                        break;
                    }
                }
            }
            if (sum.count >= kMinInterpolateNeighbours)
                out[i] = sum.average();
        }
    maps.direction = std::move(out);
}

std::vector<std::uint8_t> highCurvatureMap(const BlockMaps &maps)
{
    std::vector<std::uint8_t> map(maps.direction.size(), 0);
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (maps.lowContrast[i])
                continue;
            std::array<int, 8> ring{};
            int valid = 0;
            for (std::size_t k = 0; k < kRing.size(); ++k) {
                const int nx = bx + kRing[k][0], ny = by + kRing[k][1];
                ring[k] = maps.inside(nx, ny) ? maps.direction[maps.at(nx, ny)] : kInvalidDirection;
                valid += ring[k] != kInvalidDirection;
            }
            const int dir = maps.direction[i];
            if (dir == kInvalidDirection) {
                if (valid < kVorticityValidNeighboursMin)
                    continue;
                // Turning of the flow once around the block, in direction steps.
                int winding = 0, prev = kInvalidDirection, first = kInvalidDirection;
                for (int d : ring) {
                    if (d == kInvalidDirection)
                        continue;
                    if (prev != kInvalidDirection) {
                        int step = d - prev;
                        if (step > kDirections / 2)
                            step -= kDirections;
                        if (step < -kDirections / 2)
                            step += kDirections;
                        winding += step;
                    } else {
                        first = d;
                    }
                    prev = d;
                }
                int step = first - prev;
                if (step > kDirections / 2)
                    step -= kDirections;
                if (step < -kDirections / 2)
                    step += kDirections;
                winding += step;
                map[i] = std::abs(winding) >= kHighCurvVorticityMin;
            } else {
                int curvature = 0;
                for (int d : ring)
                    if (d != kInvalidDirection)
                        curvature = std::max(curvature, directionDistance(dir, d));
                map[i] = curvature >= kHighCurvCurvatureMin;
            }
        }
    return map;
}

BlockMaps computeBlockMaps(const PaddedImage &image)
{
    BlockMaps maps;
    maps.blocksWide = blocksFor(image.width());
    maps.blocksHigh = blocksFor(image.height());
    maps.lowContrast = lowContrastMap(image, maps.blocksWide, maps.blocksHigh);
    maps.direction = initialDirections(image, maps);
    removeInconsistentDirections(maps);
    smoothDirections(maps);
    maps.lowFlow.assign(maps.direction.size(), 0);
    for (std::size_t i = 0; i < maps.direction.size(); ++i)
        maps.lowFlow[i] = !maps.lowContrast[i] && maps.direction[i] == kInvalidDirection;
    interpolateDirections(maps);
    smoothDirections(maps);
    maps.highCurvature = highCurvatureMap(maps);
    return maps;
}

} // namespace tav::quality
