#include "platform/quality/BlockMaps.h"
#include "platform/quality/Parallel.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace tav::quality {

namespace {

constexpr int kWindow = 24;      // analysis window around each block
constexpr int kWindowOffset = 8; // the window starts this many pixels before the block
constexpr int kWaves = 4;        // 1, 2, 3 and 4 periods over the window
constexpr double kPowMaxMin = 100000.0;
constexpr double kPowNormMin = 3.8;
constexpr double kPowMaxMax = 50000000.0; // more power than this in the lowest wave: shading, not ridges
constexpr int kForkInterval = 2;
constexpr double kForkPctPowMax = 0.7;
constexpr double kForkPctPowNorm = 0.75;
constexpr int kPercentile = 10;
constexpr int kMinContrastDelta = 5;
constexpr int kRemoveValidNeighboursMin = 3;
constexpr double kDirStrengthMin = 0.2;
constexpr int kDirDistanceMax = 3;
constexpr int kSmoothValidNeighboursMin = 7;
constexpr int kMinInterpolateNeighbours = 2;
constexpr int kVorticityValidNeighboursMin = 7;
constexpr int kHighCurvVorticityMin = 5;
constexpr int kHighCurvCurvatureMin = 5;

// The eight neighbours of a block, clockwise from the top-left one.
constexpr std::array<std::array<int, 2>, 8> kRing = {
    {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}}};

// Pixel offsets of the window turned to each direction: row r runs along the ridge flow, the rows
// stacked across it. Offsets relative to the window's top-left pixel.
struct DirectionGrids
{
    std::array<std::array<std::array<int, 2>, kWindow * kWindow>, kDirections> offsets{};
    std::array<std::array<double, kWindow>, kWaves> cosTable{};
    std::array<std::array<double, kWindow>, kWaves> sinTable{};

    DirectionGrids()
    {
        const double c = (kWindow - 1) / 2.0;
        for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d) {
            const double a = static_cast<double>(d) * std::numbers::pi / kDirections;
            const double ux = std::sin(a), uy = -std::cos(a); // along the flow
            const double vx = std::cos(a), vy = std::sin(a);  // across it
            for (int r = 0; r < kWindow; ++r)
                for (int k = 0; k < kWindow; ++k) {
                    const double along = k - c, across = r - c;
                    offsets[d][static_cast<std::size_t>(r * kWindow + k)] = {
                        static_cast<int>(std::floor(c + along * ux + across * vx + 0.5)),
                        static_cast<int>(std::floor(c + along * uy + across * vy + 0.5))};
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

// The turned windows' offsets as flat indices for one image's stride.
using FlatGrid = std::array<std::array<std::int32_t, kWindow * kWindow>, kDirections>;

std::unique_ptr<FlatGrid> flatGrid(const PaddedImage &image)
{
    const DirectionGrids &g = grids();
    auto flat = std::make_unique<FlatGrid>();
    for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d)
        for (std::size_t i = 0; i < static_cast<std::size_t>(kWindow * kWindow); ++i)
            (*flat)[d][i] = g.offsets[d][i][1] * image.stride() + g.offsets[d][i][0];
    return flat;
}

DirectionPowers powersAt(const std::uint8_t *origin, const FlatGrid &flat)
{
    const DirectionGrids &g = grids();
    DirectionPowers power{};
    for (std::size_t d = 0; d < static_cast<std::size_t>(kDirections); ++d) {
        const std::int32_t *off = flat[d].data();
        std::array<double, kWindow> rowSum{};
        for (std::size_t r = 0; r < static_cast<std::size_t>(kWindow); ++r, off += kWindow) {
            int sum = 0;
#pragma GCC unroll 24
            for (std::size_t k = 0; k < static_cast<std::size_t>(kWindow); ++k)
                sum += origin[off[k]];
            rowSum[r] = sum;
        }
        for (std::size_t w = 0; w < static_cast<std::size_t>(kWaves); ++w) {
            double re = 0, im = 0;
            for (std::size_t r = 0; r < static_cast<std::size_t>(kWindow); ++r) {
                re += rowSum[r] * g.cosTable[w][r];
                im += rowSum[r] * g.sinTable[w][r];
            }
            power[w][d] = re * re + im * im;
        }
    }
    return power;
}

// Average of directions as vectors at twice their angle (so that 0 and 16 agree).
struct DirectionAverage
{
    int direction = kInvalidDirection;
    double strength = 0;
    int valid = 0;
};

DirectionAverage averageOfNeighbours(const BlockMaps &maps, int bx, int by)
{
    static const std::array<std::array<double, 2>, kDirections> unit = [] {
        std::array<std::array<double, 2>, kDirections> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            const double a = 2.0 * static_cast<double>(i) * std::numbers::pi / kDirections;
            t[i] = {std::cos(a), std::sin(a)};
        }
        return t;
    }();
    double x = 0, y = 0;
    DirectionAverage avg;
    for (const auto &n : kRing) {
        const int nx = bx + n[0], ny = by + n[1];
        if (!maps.inside(nx, ny))
            continue;
        const int d = maps.direction[maps.at(nx, ny)];
        if (d == kInvalidDirection)
            continue;
        x += unit[static_cast<std::size_t>(d)][0];
        y += unit[static_cast<std::size_t>(d)][1];
        ++avg.valid;
    }
    if (avg.valid == 0)
        return avg;
    x /= avg.valid;
    y /= avg.valid;
    avg.strength = std::hypot(x, y);
    double a = std::atan2(y, x);
    if (a < 0)
        a += 2.0 * std::numbers::pi;
    avg.direction = static_cast<int>(std::lround(a * kDirections / (2.0 * std::numbers::pi))) % kDirections;
    return avg;
}

int validNeighbours(const BlockMaps &maps, int bx, int by)
{
    int n = 0;
    for (const auto &r : kRing) {
        const int nx = bx + r[0], ny = by + r[1];
        n += maps.inside(nx, ny) && maps.direction[maps.at(nx, ny)] != kInvalidDirection;
    }
    return n;
}

} // namespace

std::vector<std::uint8_t> lowContrastMap(const PaddedImage &image, int blocksWide, int blocksHigh)
{
    std::vector<std::uint8_t> map(static_cast<std::size_t>(blocksWide) * static_cast<std::size_t>(blocksHigh), 1);
    constexpr int kCount = kWindow * kWindow;
    constexpr int kThreshold = kCount * kPercentile / 100;
    inHalves(blocksHigh, [&](int fromY, int toY) {
        for (int by = fromY; by < toY; ++by)
            for (int bx = 0; bx < blocksWide; ++bx) {
                const int x0 = blockOrigin(bx, image.width()) - kWindowOffset;
                const int y0 = blockOrigin(by, image.height()) - kWindowOffset;
                std::array<int, 64> histogram{};
                for (int y = y0; y < y0 + kWindow; ++y) {
                    const std::uint8_t *row = image.data() + image.index(x0, y);
                    for (int x = 0; x < kWindow; ++x)
                        ++histogram[std::min<std::size_t>(63, row[x])];
                }
                int low = 0, sum = 0;
                for (; low < 63; ++low) {
                    sum += histogram[static_cast<std::size_t>(low)];
                    if (sum >= kThreshold)
                        break;
                }
                int high = 63;
                sum = 0;
                for (; high > 0; --high) {
                    sum += histogram[static_cast<std::size_t>(high)];
                    if (sum >= kThreshold)
                        break;
                }
                map[static_cast<std::size_t>(by * blocksWide + bx)] = (high - low) < kMinContrastDelta ? 1 : 0;
            }
    });
    return map;
}

DirectionPowers directionPowers(const PaddedImage &image, int windowX, int windowY)
{
    return powersAt(image.data() + image.index(windowX, windowY), *flatGrid(image));
}

int directionFromPowers(const DirectionPowers &powers)
{
    // Statistics of the waves of 2, 3 and 4 periods (the lowest wave follows shading, not ridges).
    constexpr int kFirst = 1;
    constexpr int kStats = kWaves - kFirst;
    std::array<double, kStats> powMax{}, powNorm{}, rank{};
    std::array<int, kStats> powMaxDir{}, order{};
    for (int s = 0; s < kStats; ++s) {
        const auto &p = powers[static_cast<std::size_t>(s + kFirst)];
        int dmax = 0;
        double total = 0;
        for (int d = 0; d < kDirections; ++d) {
            total += p[static_cast<std::size_t>(d)];
            if (p[static_cast<std::size_t>(d)] > p[static_cast<std::size_t>(dmax)])
                dmax = d;
        }
        const auto si = static_cast<std::size_t>(s);
        powMax[si] = p[static_cast<std::size_t>(dmax)];
        powMaxDir[si] = dmax;
        const double mean = total / kDirections;
        powNorm[si] = mean > 0 ? powMax[si] / mean : 0;
        rank[si] = powMax[si] * powNorm[si];
        order[si] = s;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return rank[static_cast<std::size_t>(a)] > rank[static_cast<std::size_t>(b)];
    });
    const auto &shading = powers[0];
    for (int s : order) {
        const auto si = static_cast<std::size_t>(s);
        if (powMax[si] > kPowMaxMin && powNorm[si] > kPowNormMin &&
            shading[static_cast<std::size_t>(powMaxDir[si])] <= kPowMaxMax)
            return powMaxDir[si];
    }
    // At a fork the power spreads over neighbouring directions: the best wave passes a relaxed
    // dominance test when a direction two steps to either side carries most of its power too.
    const auto best = static_cast<std::size_t>(order[0]);
    if (powMax[best] > kPowMaxMin && powNorm[best] >= kForkPctPowNorm * kPowNormMin &&
        shading[static_cast<std::size_t>(powMaxDir[best])] <= kPowMaxMax) {
        const auto &p = powers[best + kFirst];
        const int dir = powMaxDir[best];
        const int left = (dir - kForkInterval + kDirections) % kDirections;
        const int right = (dir + kForkInterval) % kDirections;
        const double threshold = powMax[best] * kForkPctPowMax;
        if (p[static_cast<std::size_t>(left)] > threshold || p[static_cast<std::size_t>(right)] > threshold)
            return dir;
    }
    return kInvalidDirection;
}

int blockDirection(const PaddedImage &image, int bx, int by)
{
    return directionFromPowers(directionPowers(image, blockOrigin(bx, image.width()) - kWindowOffset,
                                               blockOrigin(by, image.height()) - kWindowOffset));
}

void initialMaps(const PaddedImage &image, BlockMaps &maps)
{
    maps.lowContrast = lowContrastMap(image, maps.blocksWide, maps.blocksHigh);
    maps.direction.assign(maps.lowContrast.size(), kInvalidDirection);
    maps.lowFlow.assign(maps.lowContrast.size(), 0);
    const auto flat = flatGrid(image);
    auto rows = [&](int from, int to) {
        for (int by = from; by < to; ++by)
            for (int bx = 0; bx < maps.blocksWide; ++bx) {
                const std::size_t i = maps.at(bx, by);
                if (maps.lowContrast[i])
                    continue;
                const int x0 = blockOrigin(bx, image.width()) - kWindowOffset;
                const int y0 = blockOrigin(by, image.height()) - kWindowOffset;
                maps.direction[i] = directionFromPowers(powersAt(image.data() + image.index(x0, y0), *flat));
                maps.lowFlow[i] = maps.direction[i] == kInvalidDirection;
            }
    };
    inHalves(maps.blocksHigh, rows);
}

void closeLowFlow(BlockMaps &maps)
{
    const int w = maps.blocksWide, h = maps.blocksHigh;
    auto pass = [&](bool dilate) {
        std::vector<std::uint8_t> out = maps.lowFlow;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t i = maps.at(x, y);
                // Neighbours outside the map never change a block.
                const std::uint8_t want = dilate ? 1 : 0;
                if (maps.lowFlow[i] == want)
                    continue;
                if ((x > 0 && maps.lowFlow[i - 1] == want) || (x + 1 < w && maps.lowFlow[i + 1] == want) ||
                    (y > 0 && maps.lowFlow[maps.at(x, y - 1)] == want) ||
                    (y + 1 < h && maps.lowFlow[maps.at(x, y + 1)] == want))
                    out[i] = want;
            }
        maps.lowFlow = std::move(out);
    };
    pass(true);
    pass(true);
    pass(false);
    pass(false);
}

namespace {

// Whether a valid direction should go: too few valid neighbours, or far from a trustworthy average.
bool inconsistent(const BlockMaps &maps, int bx, int by)
{
    const DirectionAverage avg = averageOfNeighbours(maps, bx, by);
    if (avg.valid < kRemoveValidNeighboursMin)
        return true;
    return avg.strength >= kDirStrengthMin &&
           directionDistance(avg.direction, maps.direction[maps.at(bx, by)]) > kDirDistanceMax;
}

} // namespace

void removeInconsistentDirections(BlockMaps &maps)
{
    if (maps.direction.empty())
        return;
    auto test = [&](int x, int y) {
        if (!maps.inside(x, y))
            return 0;
        int &d = maps.direction[maps.at(x, y)];
        if (d == kInvalidDirection || !inconsistent(maps, x, y))
            return 0;
        d = kInvalidDirection;
        return 1;
    };
    const int cx = maps.blocksWide / 2, cy = maps.blocksHigh / 2;
    for (int pass = 0; pass < 1000; ++pass) {
        int removed = test(cx, cy);
        // Boxes of growing size around the centre: top edge left to right, right edge downwards, bottom
        // edge right to left, left edge upwards.
        for (int l = cx - 1, t = cy - 1, r = cx + 1, b = cy + 1;
             l >= 0 || t >= 0 || r < maps.blocksWide || b < maps.blocksHigh; --l, --t, ++r, ++b) {
            for (int x = l; x <= r; ++x)
                removed += test(x, t);
            for (int y = t + 1; y <= b; ++y)
                removed += test(r, y);
            for (int x = r - 1; x >= l; --x)
                removed += test(x, b);
            for (int y = b - 1; y > t; --y)
                removed += test(l, y);
        }
        if (removed == 0)
            break;
    }
}

void smoothDirections(BlockMaps &maps)
{
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (maps.lowContrast[i])
                continue;
            const DirectionAverage avg = averageOfNeighbours(maps, bx, by);
            if (avg.strength < kDirStrengthMin)
                continue;
            const int needed =
                maps.direction[i] != kInvalidDirection ? kRemoveValidNeighboursMin : kSmoothValidNeighboursMin;
            if (avg.valid >= needed)
                maps.direction[i] = avg.direction;
        }
}

void interpolateDirections(BlockMaps &maps)
{
    std::vector<int> out = maps.direction;
    constexpr std::array<std::array<int, 2>, 4> kSteps = {{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}};
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (maps.direction[i] != kInvalidDirection || maps.lowContrast[i])
                continue;
            std::array<int, 4> dir{}, dist{};
            int found = 0, totalDist = 0;
            for (const auto &s : kSteps) {
                for (int k = 1;; ++k) {
                    const int nx = bx + s[0] * k, ny = by + s[1] * k;
                    if (!maps.inside(nx, ny) || maps.lowContrast[maps.at(nx, ny)])
                        break;
                    const int d = maps.direction[maps.at(nx, ny)];
                    if (d != kInvalidDirection) {
                        dir[static_cast<std::size_t>(found)] = d;
                        dist[static_cast<std::size_t>(found)] = k;
                        totalDist += k;
                        ++found;
                        break;
                    }
                }
            }
            if (found < kMinInterpolateNeighbours)
                continue;
            // Each neighbour weighs the others' distances: the nearer, the more.
            double sum = 0, weights = 0;
            for (std::size_t k = 0; k < static_cast<std::size_t>(found); ++k) {
                const int weight = totalDist - dist[k];
                sum += static_cast<double>(dir[k]) * weight;
                weights += weight;
            }
            if (weights > 0)
                out[i] = static_cast<int>(std::lround(sum / weights)) % kDirections;
        }
    maps.direction = std::move(out);
}

void invalidateMargin(BlockMaps &maps)
{
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx)
            if (bx == 0 || by == 0 || bx == maps.blocksWide - 1 || by == maps.blocksHigh - 1)
                maps.direction[maps.at(bx, by)] = kInvalidDirection;
}

std::vector<std::uint8_t> highCurvatureMap(const BlockMaps &maps)
{
    std::vector<std::uint8_t> map(maps.direction.size(), 0);
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            if (validNeighbours(maps, bx, by) < kVorticityValidNeighboursMin)
                continue;
            const std::size_t i = maps.at(bx, by);
            std::array<int, 8> ring{};
            for (std::size_t k = 0; k < kRing.size(); ++k) {
                const int nx = bx + kRing[k][0], ny = by + kRing[k][1];
                ring[k] = maps.inside(nx, ny) ? maps.direction[maps.at(nx, ny)] : kInvalidDirection;
            }
            const int dir = maps.direction[i];
            if (dir == kInvalidDirection) {
                // Vorticity: once round the block, steps that turn one way count +1, the other way -1.
                int vorticity = 0;
                for (std::size_t k = 0; k < ring.size(); ++k) {
                    const int a = ring[k], b = ring[(k + 1) % ring.size()];
                    if (a == kInvalidDirection || b == kInvalidDirection || a == b)
                        continue;
                    const int step = b - a;
                    const int half = kDirections / 2;
                    if (step > 0)
                        vorticity += step < half ? 1 : (step > half ? -1 : 0);
                    else
                        vorticity += -step < half ? -1 : (-step > half ? 1 : 0);
                }
                map[i] = std::abs(vorticity) >= kHighCurvVorticityMin;
            } else {
                // Curvature: the sharpest turn from this block to any one of its neighbours.
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
    initialMaps(image, maps);
    closeLowFlow(maps);
    removeInconsistentDirections(maps);
    smoothDirections(maps);
    interpolateDirections(maps);
    removeInconsistentDirections(maps);
    smoothDirections(maps);
    invalidateMargin(maps);
    maps.highCurvature = highCurvatureMap(maps);
    return maps;
}

} // namespace tav::quality
