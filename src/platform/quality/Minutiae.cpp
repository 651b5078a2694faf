#include "platform/quality/Minutiae.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tav::quality {

namespace {

constexpr int kMaxMinutiaDelta = 10; // the same minutia seen by both scans lies this close
constexpr double kMaxHighCurveTheta = std::numbers::pi / 3.0;
constexpr int kHighCurveHalfContour = 14; // contour followed either way of a minutia near a core
constexpr int kMinLoopLength = 20;        // shorter closed contours are filled in
constexpr double kMinLoopAspectDist = 1.0;
constexpr double kMinLoopAspectRatio = 2.25; // squared distances: long loops give a minutia at each end
constexpr int kMaxRemoveTestDist = 16;       // pairs tested for islands, lakes and hooks
constexpr int kMaxHookLength = 30;
constexpr int kMaxHalfLoop = 30;
constexpr int kTransDirPixels = 4; // how far behind a minutia an invalid block is looked for
constexpr int kSmallLoopLength = 15;
constexpr int kSideHalfContour = 7;
constexpr int kInvalidBlockMargin = 4;
constexpr int kRemoveValidNeighboursMin = 7;
constexpr int kMaxOverlapDist = 8;
constexpr int kMaxOverlapJoinDist = 6;
constexpr int kMalformationSteps1 = 10;
constexpr int kMalformationSteps2 = 20;
constexpr double kMinMalformationRatio = 2.0;
constexpr double kMaxMalformationDist = 20.0;
constexpr int kMaxTransitions = 2;
constexpr int kPoreSteps = 10;  // contour followed either way of a minutia to see the shape of its tip
constexpr int kPoreGap = 3;     // a break in a ridge (or valley) no longer than this is a pore
constexpr int kStatRadius = 11; // neighbourhood of the reliability's grey statistics
constexpr double kIdealMean = 127.0;
constexpr double kIdealStdDev = 64.0;
constexpr int kHalfDirections = kDirections / 2;    // 90 degrees on the full circle
constexpr int kQuarterDirections = kDirections / 4; // 45 degrees on the full circle

// 1 ridge, 0 valley: an ending's feature pixel is ridge, a bifurcation's valley.
int featureOf(const Minutia &m)
{
    return m.bifurcation ? 0 : 1;
}

int fullCircleDistance(int a, int b)
{
    int d = std::abs(a - b) % kFullDirections;
    return std::min(d, kFullDirections - d);
}

// Direction (0..31, 0 up, clockwise) of the line from (fx, fy) to (tx, ty).
int lineDirection(int fx, int fy, int tx, int ty)
{
    double a = std::atan2(static_cast<double>(tx - fx), static_cast<double>(fy - ty));
    if (a < 0)
        a += 2.0 * std::numbers::pi;
    return static_cast<int>(std::lround(a * kFullDirections / (2.0 * std::numbers::pi))) % kFullDirections;
}

double distance(int x1, int y1, int x2, int y2)
{
    return std::sqrt(static_cast<double>((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2)));
}

struct Pattern
{
    bool bifurcation;
    bool appearing; // the feature pixel is on the second line of the pair
    std::array<int, 2> first, second, third;
};

// The ten patterns of three successive pixel pairs (first line, second line); the middle pair repeats.
constexpr std::array<Pattern, 10> kPatterns = {{
    {false, true, {0, 0}, {0, 1}, {0, 0}},
    {false, false, {0, 0}, {1, 0}, {0, 0}},
    {true, false, {1, 1}, {0, 1}, {1, 1}},
    {true, true, {1, 1}, {1, 0}, {1, 1}},
    {true, false, {1, 0}, {0, 1}, {1, 1}},
    {true, false, {1, 1}, {0, 1}, {1, 0}},
    {true, true, {1, 1}, {1, 0}, {0, 1}},
    {true, true, {0, 1}, {1, 0}, {1, 1}},
    {true, false, {1, 0}, {0, 1}, {1, 0}},
    {true, true, {0, 1}, {1, 0}, {0, 1}},
}};

// Whether a block's flow is best crossed by the scan across rows (flow within 45 degrees of vertical).
bool rowScanSuits(int blockDirection)
{
    return blockDirection <= kDirections / 4 || blockDirection > 3 * kDirections / 4;
}

// Direction of a minutia in a block of gentle flow: along the flow, into the feature's side.
int lowCurvatureDirection(bool rowScan, bool appearing, int blockDirection)
{
    int dir = blockDirection;
    if (blockDirection <= kDirections / 2) {
        if (rowScan == appearing)
            dir += kDirections;
    } else if (!appearing) {
        dir += kDirections;
    }
    return dir % kFullDirections;
}

// Minutiae collected during detection, with a coarse grid so that near neighbours are found quickly.
class MinutiaList
{
public:
    MinutiaList(int width, int height)
        : m_cellsWide(width / kCell + 1), m_cellsHigh(height / kCell + 1),
          m_cells(static_cast<std::size_t>(m_cellsWide) * static_cast<std::size_t>(m_cellsHigh))
    {}

    // Indices of live minutiae within kMaxMinutiaDelta - 1 of (x, y), newest first.
    std::vector<std::size_t> near(int x, int y) const
    {
        std::vector<std::size_t> out;
        const int cx0 = std::max(0, (x - kMaxMinutiaDelta) / kCell),
                  cx1 = std::min(m_cellsWide - 1, (x + kMaxMinutiaDelta) / kCell);
        const int cy0 = std::max(0, (y - kMaxMinutiaDelta) / kCell),
                  cy1 = std::min(m_cellsHigh - 1, (y + kMaxMinutiaDelta) / kCell);
        for (int cy = cy0; cy <= cy1; ++cy)
            for (int cx = cx0; cx <= cx1; ++cx)
                for (std::size_t i : m_cells[static_cast<std::size_t>(cy * m_cellsWide + cx)])
                    if (m_live[i] && std::abs(m_list[i].x - x) < kMaxMinutiaDelta &&
                        std::abs(m_list[i].y - y) < kMaxMinutiaDelta)
                        out.push_back(i);
        std::sort(out.rbegin(), out.rend());
        return out;
    }
    const Minutia &operator[](std::size_t i) const { return m_list[i]; }
    void remove(std::size_t i) { m_live[i] = 0; }
    void add(const Minutia &m)
    {
        m_cells[static_cast<std::size_t>((m.y / kCell) * m_cellsWide + m.x / kCell)].push_back(m_list.size());
        m_list.push_back(m);
        m_live.push_back(1);
    }
    std::vector<Minutia> take() const
    {
        std::vector<Minutia> out;
        for (std::size_t i = 0; i < m_list.size(); ++i)
            if (m_live[i])
                out.push_back(m_list[i]);
        return out;
    }

private:
    static constexpr int kCell = 16;
    int m_cellsWide;
    int m_cellsHigh;
    std::vector<std::vector<std::size_t>> m_cells;
    std::vector<Minutia> m_list;
    std::vector<std::uint8_t> m_live;
};

// Same type, similar direction and on the same contour: the same minutia seen twice.
bool sameMinutia(const Minutia &old, const Minutia &m, const BinaryView &image)
{
    return old.bifurcation == m.bifurcation && fullCircleDistance(old.direction, m.direction) <= kQuarterDirections &&
           onSameContour(image, m.x, m.y, kMaxMinutiaDelta, old.x, old.y, old.ex, old.ey);
}

// Adds a minutia found by a scan unless the other scan already has it; of the two the one from the scan
// that suits the block's flow stays.
void addFromScan(MinutiaList &list, const Minutia &m, bool rowScan, int blockDirection, const BinaryView &image)
{
    for (std::size_t i : list.near(m.x, m.y)) {
        if (!sameMinutia(list[i], m, image))
            continue;
        if (rowScanSuits(blockDirection) == rowScan)
            list.remove(i);
        else
            return;
    }
    list.add(m);
}

// Adds a minutia found at the ends of a long loop unless it is already there.
void addFromLoop(MinutiaList &list, const Minutia &m, const BinaryView &image)
{
    for (std::size_t i : list.near(m.x, m.y))
        if (sameMinutia(list[i], m, image))
            return;
    list.add(m);
}

double signedArea(const std::vector<ContourPoint> &loop, bool edges)
{
    double area = 0;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const ContourPoint &a = loop[i], &b = loop[(i + 1) % loop.size()];
        area += edges ? static_cast<double>(a.ex) * b.ey - static_cast<double>(b.ex) * a.ey
                      : static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return area / 2.0;
}

// A closed contour met while placing a minutia near a core: long narrow loops give a minutia at each
// end, anything else is filled in.
void processLoop(MinutiaList &list, const std::vector<ContourPoint> &loop, BinaryView &image)
{
    const int n = static_cast<int>(loop.size());
    if (n > kMinLoopLength) {
        const int feature = image.at(loop[0].x, loop[0].y);
        const int half = n / 2;
        double minD = 1e300, maxD = -1;
        int maxFrom = 0, maxTo = 0;
        for (int i = 0; i < half; ++i) {
            const ContourPoint &a = loop[static_cast<std::size_t>(i)], &b = loop[static_cast<std::size_t>(i + half)];
            const double d = static_cast<double>((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y));
            minD = std::min(minD, d);
            if (d > maxD) {
                maxD = d;
                maxFrom = i;
                maxTo = i + half;
            }
        }
        if (minD < kMinLoopAspectDist || maxD / minD >= kMinLoopAspectRatio) {
            const ContourPoint &a = loop[static_cast<std::size_t>(maxFrom)], &b = loop[static_cast<std::size_t>(maxTo)];
            if (image.at((a.x + b.x) >> 1, (a.y + b.y) >> 1) == feature) {
                for (const auto &[p, q] : {std::pair{a, b}, std::pair{b, a}}) {
                    Minutia m;
                    m.x = p.x;
                    m.y = p.y;
                    m.ex = p.ex;
                    m.ey = p.ey;
                    m.direction = lineDirection(p.x, p.y, q.x, q.y);
                    m.bifurcation = feature == 0;
                    addFromLoop(list, m, image);
                }
                return;
            }
        }
    }
    fillLoop(image, loop);
}

// Moves a minutia near a core or delta to the sharpest turn of its contour. False: the minutia goes.
bool adjustHighCurvature(Minutia &m, MinutiaList &list, BinaryView &image)
{
    thread_local std::vector<ContourPoint> contour;
    const int feature = image.at(m.x, m.y);
    const TraceResult r = centredContour(image, contour, kHighCurveHalfContour, m.x, m.y, m.ex, m.ey);
    if (r == TraceResult::Loop) {
        std::vector<ContourPoint> loop;
        traceContour(image, loop, 4 * kHighCurveHalfContour, m.x, m.y, m.x, m.y, m.ex, m.ey, true);
        loop.insert(loop.begin(), {m.x, m.y, m.ex, m.ey});
        // Feature pixels round a hole of the other colour: the hole's own minutiae will deal with it.
        if (std::abs(signedArea(loop, false)) > std::abs(signedArea(loop, true)))
            return false;
        processLoop(list, loop, image);
        return false;
    }
    if (r != TraceResult::Complete)
        return false;
    constexpr int kEdge = kHighCurveHalfContour / 2;
    const int n = static_cast<int>(contour.size());
    int best = -1;
    double bestTheta = 0;
    for (int i = kEdge; i < n - kEdge; ++i) {
        const ContourPoint &c = contour[static_cast<std::size_t>(i)];
        const ContourPoint &a = contour[static_cast<std::size_t>(i - kEdge)];
        const ContourPoint &b = contour[static_cast<std::size_t>(i + kEdge)];
        const double t1 = std::atan2(a.y - c.y, a.x - c.x), t2 = std::atan2(b.y - c.y, b.x - c.x);
        double theta = std::fabs(t2 - t1);
        theta = std::min(theta, 2.0 * std::numbers::pi - theta);
        if (best < 0 || theta < bestTheta) {
            best = i;
            bestTheta = theta;
        }
    }
    if (best < 0 || bestTheta >= kMaxHighCurveTheta)
        return false;
    const ContourPoint &a = contour[static_cast<std::size_t>(best - kEdge)];
    const ContourPoint &b = contour[static_cast<std::size_t>(best + kEdge)];
    const int midX = (a.x + b.x) >> 1, midY = (a.y + b.y) >> 1;
    if (image.at(midX, midY) != feature)
        return false;
    const ContourPoint &c = contour[static_cast<std::size_t>(best)];
    m.direction = lineDirection(c.x, c.y, midX, midY);
    m.x = c.x;
    m.y = c.y;
    m.ex = c.ex;
    m.ey = c.ey;
    return true;
}

// A pattern found at line `line` (and line + 1), middle pairs from `start` up to the third pair at `end`.
void processMatch(MinutiaList &list, const Pattern &p, bool rowScan, int line, int start, int end, BinaryView &image,
                  const PixelMaps &pm)
{
    Minutia m;
    m.bifurcation = p.bifurcation;
    const int along = (end + start) >> 1;
    const int feature = p.appearing ? line + 1 : line;
    const int edge = p.appearing ? line : line + 1;
    if (rowScan) {
        m.x = m.ex = along;
        m.y = feature;
        m.ey = edge;
    } else {
        m.y = m.ey = along;
        m.x = feature;
        m.ex = edge;
    }
    const std::size_t b = pm.block(m.x, m.y);
    const int dir = pm.maps.direction[b];
    if (dir == kInvalidDirection)
        return;
    if (pm.maps.highCurvature[b]) {
        if (!adjustHighCurvature(m, list, image))
            return;
    } else {
        m.direction = lowCurvatureDirection(rowScan, p.appearing, dir);
    }
    addFromScan(list, m, rowScan, dir, image);
}

// Matches of the patterns along a pair of lines (first[i], second[i]): each run of equal unequal pairs
// (ridge beside valley) with the pairs just before and just after it. Yields pattern index, first pair of
// the run, and the pair after it.
void scanLine(const std::uint8_t *first, const std::uint8_t *second, int length,
              std::vector<std::array<int, 3>> &matches)
{
    int c = 1;
    while (c < length - 1) {
        if (first[c] == second[c]) {
            ++c;
            continue;
        }
        const int start = c;
        const std::array<int, 2> pair = {first[c], second[c]};
        while (c + 1 < length && first[c + 1] == pair[0] && second[c + 1] == pair[1])
            ++c;
        if (c + 1 >= length)
            break;
        const std::array<int, 2> before = {first[start - 1], second[start - 1]};
        const std::array<int, 2> after = {first[c + 1], second[c + 1]};
        for (std::size_t i = 0; i < kPatterns.size(); ++i)
            if (kPatterns[i].first == before && kPatterns[i].second == pair && kPatterns[i].third == after) {
                matches.push_back({static_cast<int>(i), start, c + 1});
                break;
            }
        ++c; // the pair after the run may begin the next one
    }
}

// Points of the straight line from (x1, y1) to (x2, y2), both included.
template <typename Visit> void linePoints(int x1, int y1, int x2, int y2, Visit visit)
{
    const int n = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
    for (int i = 0; i <= n; ++i) {
        const double t = n ? static_cast<double>(i) / n : 0.0;
        visit(static_cast<int>(std::lround(x1 + t * (x2 - x1))), static_cast<int>(std::lround(y1 + t * (y2 - y1))));
    }
}

bool freePath(const BinaryView &image, int x1, int y1, int x2, int y2)
{
    int transitions = 0, prev = -1;
    linePoints(x1, y1, x2, y2, [&](int x, int y) {
        const int v = image.at(x, y);
        if (prev >= 0 && v != prev)
            ++transitions;
        prev = v;
    });
    return transitions <= kMaxTransitions;
}

void eraseFlagged(std::vector<Minutia> &minutiae, const std::vector<std::uint8_t> &flags)
{
    std::size_t k = 0;
    std::erase_if(minutiae, [&](const Minutia &) { return flags[k++] != 0; });
}

// Walks pairs (first, second) of minutiae with second below first by at most maxDy, the pixels of both
// still of their feature's colour (earlier pairs may have filled them in).
template <typename Test> void forPairs(std::vector<Minutia> &minutiae, const BinaryView &image, int maxDy, Test test)
{
    std::vector<std::uint8_t> drop(minutiae.size(), 0);
    for (std::size_t f = 0; f + 1 < minutiae.size(); ++f) {
        if (drop[f])
            continue;
        for (std::size_t s = f + 1; s < minutiae.size(); ++s) {
            const Minutia &a = minutiae[f], &b = minutiae[s];
            if (b.y - a.y > maxDy)
                break;
            if (image.at(a.x, a.y) != featureOf(a))
                break;
            if (image.at(b.x, b.y) != featureOf(b))
                drop[s] = 1;
            if (drop[s])
                continue;
            if (test(a, b)) {
                drop[f] = drop[s] = 1;
                break;
            }
        }
    }
    eraseFlagged(minutiae, drop);
}

} // namespace

std::vector<Minutia> detectMinutiae(BinaryView &image, const BlockMaps &maps)
{
    const int w = image.width, h = image.height;
    const PixelMaps pm{maps, w, h};
    MinutiaList list(w, h);
    std::vector<std::array<int, 3>> matches;
    for (int y = 0; y + 1 < h; ++y) {
        matches.clear();
        const std::uint8_t *row = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        scanLine(row, row + w, w, matches);
        for (const auto &mt : matches)
            processMatch(list, kPatterns[static_cast<std::size_t>(mt[0])], true, y, mt[1], mt[2], image, pm);
    }
    // Each pair of columns is gathered afresh, so loops filled in on the way are seen by the later columns.
    std::vector<std::uint8_t> pair(2 * static_cast<std::size_t>(h));
    for (int x = 0; x + 1 < w; ++x) {
        for (int y = 0; y < h; ++y) {
            pair[static_cast<std::size_t>(y)] = static_cast<std::uint8_t>(image.at(x, y));
            pair[static_cast<std::size_t>(h + y)] = static_cast<std::uint8_t>(image.at(x + 1, y));
        }
        matches.clear();
        scanLine(pair.data(), pair.data() + h, h, matches);
        for (const auto &mt : matches)
            processMatch(list, kPatterns[static_cast<std::size_t>(mt[0])], false, x, mt[1], mt[2], image, pm);
    }
    return list.take();
}

void removeIslandsAndLakes(std::vector<Minutia> &minutiae, BinaryView &image)
{
    thread_local std::vector<ContourPoint> there, back;
    forPairs(minutiae, image, kMaxRemoveTestDist, [&](const Minutia &a, const Minutia &b) {
        if (a.bifurcation != b.bifurcation || distance(a.x, a.y, b.x, b.y) > kMaxRemoveTestDist)
            return false;
        // Both on one small closed contour: a ridge fragment (island) or a valley fragment (lake).
        for (bool clockwise : {false, true}) {
            if (traceContour(image, there, kMaxHalfLoop, b.x, b.y, a.x, a.y, a.ex, a.ey, clockwise) !=
                TraceResult::Stopped)
                continue;
            if (traceContour(image, back, kMaxHalfLoop, a.x, a.y, b.x, b.y, b.ex, b.ey, clockwise) !=
                TraceResult::Stopped)
                continue;
            std::vector<ContourPoint> loop = there;
            loop.insert(loop.end(), back.begin(), back.end());
            fillLoop(image, loop);
            return true;
        }
        return false;
    });
}

void removeHoles(std::vector<Minutia> &minutiae, const BinaryView &image)
{
    std::vector<ContourPoint> contour;
    std::erase_if(minutiae, [&](const Minutia &m) {
        if (!m.bifurcation)
            return false;
        const TraceResult r = traceContour(image, contour, kSmallLoopLength, m.x, m.y, m.x, m.y, m.ex, m.ey, true);
        return r == TraceResult::Loop || r == TraceResult::Failed;
    });
}

void removePointingToInvalidBlocks(std::vector<Minutia> &minutiae, const PixelMaps &pm)
{
    std::erase_if(minutiae, [&](const Minutia &m) {
        const double a = m.direction * std::numbers::pi / kDirections;
        // The point behind the minutia, where its ridge (or valley) stops.
        const int x = m.x - static_cast<int>(std::lround(std::sin(a) * kTransDirPixels));
        const int y = m.y + static_cast<int>(std::lround(std::cos(a) * kTransDirPixels));
        const int bx = std::clamp(x / kBlockSize, 0, pm.maps.blocksWide - 1);
        const int by = std::clamp(y / kBlockSize, 0, pm.maps.blocksHigh - 1);
        return pm.maps.direction[pm.maps.at(bx, by)] == kInvalidDirection;
    });
}

void removeNearInvalidBlocks(std::vector<Minutia> &minutiae, const PixelMaps &pm)
{
    // Neighbour blocks to look at, by the minutia's place in its block: near a corner the three blocks
    // round that corner, near a side the one beyond it.
    static constexpr std::array<std::array<int, 2>, 8> kNeighbours = {
        {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}}};
    static constexpr int kStart[3][3] = {{6, 0, 0}, {6, -1, 2}, {4, 4, 2}};
    const BlockMaps &maps = pm.maps;
    auto validNeighbours = [&](int bx, int by) {
        int n = 0;
        for (const auto &d : kNeighbours)
            n +=
                maps.inside(bx + d[0], by + d[1]) && maps.direction[maps.at(bx + d[0], by + d[1])] != kInvalidDirection;
        return n;
    };
    std::erase_if(minutiae, [&](const Minutia &m) {
        const int bx = m.x / kBlockSize, by = m.y / kBlockSize;
        const int px = m.x % kBlockSize, py = m.y % kBlockSize;
        const int ix = px < kInvalidBlockMargin ? 0 : (px > kBlockSize - kInvalidBlockMargin - 1 ? 2 : 1);
        const int iy = py < kInvalidBlockMargin ? 0 : (py > kBlockSize - kInvalidBlockMargin - 1 ? 2 : 1);
        if (ix == 1 && iy == 1)
            return false;
        const int start = kStart[iy][ix];
        const int count = (ix == 1 || iy == 1) ? 1 : 3;
        for (int k = start; k < start + count; ++k) {
            const auto &d = kNeighbours[static_cast<std::size_t>(k % 8)];
            const int nx = bx + d[0], ny = by + d[1];
            if (!maps.inside(nx, ny) || maps.direction[maps.at(nx, ny)] != kInvalidDirection)
                continue;
            if (validNeighbours(nx, ny) < kRemoveValidNeighboursMin)
                return true;
        }
        return false;
    });
}

void removeOrAdjustSideMinutiae(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &pm)
{
    std::vector<ContourPoint> contour;
    std::vector<double> along;
    std::erase_if(minutiae, [&](Minutia &m) {
        if (centredContour(image, contour, kSideHalfContour, m.x, m.y, m.ex, m.ey) != TraceResult::Complete)
            return true;
        // Position of each contour point along the minutia's direction: a true minutia is the one
        // lowest point of its contour, the tip of its ridge (or valley).
        const double a = m.direction * std::numbers::pi / kDirections;
        const double ux = std::sin(a), uy = -std::cos(a);
        along.clear();
        for (const ContourPoint &c : contour)
            along.push_back((c.x - m.x) * ux + (c.y - m.y) * uy);
        std::vector<std::pair<int, bool>> extremes; // index, minimum
        int prevSlope = 0;
        for (std::size_t i = 1; i < along.size(); ++i) {
            const double d = along[i] - along[i - 1];
            if (std::fabs(d) < 1e-9)
                continue;
            const int slope = d > 0 ? 1 : -1;
            if (prevSlope != 0 && slope != prevSlope)
                extremes.emplace_back(static_cast<int>(i - 1), prevSlope < 0);
            prevSlope = slope;
        }
        int tip = -1;
        if (extremes.size() == 1 && extremes[0].second)
            tip = extremes[0].first;
        else if (extremes.size() == 3 && extremes[0].second && !extremes[1].second && extremes[2].second)
            tip =
                along[static_cast<std::size_t>(extremes[0].first)] < along[static_cast<std::size_t>(extremes[2].first)]
                    ? extremes[0].first
                    : extremes[2].first;
        if (tip < 0)
            return true;
        const ContourPoint &c = contour[static_cast<std::size_t>(tip)];
        m.x = c.x;
        m.y = c.y;
        m.ex = c.ex;
        m.ey = c.ey;
        const int bx = std::min(m.x / kBlockSize, pm.maps.blocksWide - 1);
        const int by = std::min(m.y / kBlockSize, pm.maps.blocksHigh - 1);
        return pm.maps.direction[pm.maps.at(bx, by)] == kInvalidDirection;
    });
}

void removeDuplicates(std::vector<Minutia> &minutiae)
{
    std::vector<Minutia> kept;
    kept.reserve(minutiae.size());
    for (const Minutia &m : minutiae) {
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const Minutia &o) {
            return o.x == m.x && o.y == m.y && o.bifurcation == m.bifurcation;
        });
        if (!seen)
            kept.push_back(m);
    }
    minutiae = std::move(kept);
}

void removeHooks(std::vector<Minutia> &minutiae, const BinaryView &image)
{
    forPairs(minutiae, image, kMaxRemoveTestDist, [&](const Minutia &a, const Minutia &b) {
        if (a.bifurcation == b.bifurcation || distance(a.x, a.y, b.x, b.y) > kMaxRemoveTestDist)
            return false;
        // A spur: the ending's contour runs into the bifurcation's edge pixel.
        return onSameContour(image, b.ex, b.ey, kMaxHookLength, a.x, a.y, a.ex, a.ey);
    });
}

void removeOverlaps(std::vector<Minutia> &minutiae, const BinaryView &image)
{
    forPairs(minutiae, image, kMaxOverlapDist, [&](const Minutia &a, const Minutia &b) {
        if (a.bifurcation || b.bifurcation)
            return false;
        const double dist = distance(a.x, a.y, b.x, b.y);
        if (dist > kMaxOverlapDist)
            return false;
        // The second ending lies ahead of the first, across the break in its ridge.
        const int join = lineDirection(a.x, a.y, b.x, b.y);
        const int away = (a.direction + kDirections) % kFullDirections;
        if (fullCircleDistance(join, away) > kHalfDirections)
            return false;
        return dist <= kMaxOverlapJoinDist || freePath(image, a.x, a.y, b.x, b.y);
    });
}

void removeMalformations(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &pm)
{
    std::vector<ContourPoint> left, right;
    std::erase_if(minutiae, [&](const Minutia &m) {
        if (traceContour(image, left, kMalformationSteps2, m.x, m.y, m.x, m.y, m.ex, m.ey, false) !=
                TraceResult::Complete ||
            traceContour(image, right, kMalformationSteps2, m.x, m.y, m.x, m.y, m.ex, m.ey, true) !=
                TraceResult::Complete)
            return true;
        // Width of the ridge (or valley) 10 and 20 pixels from the minutia along both its sides.
        const ContourPoint &a1 = left[kMalformationSteps1 - 1], &b1 = right[kMalformationSteps1 - 1];
        const ContourPoint &a2 = left[kMalformationSteps2 - 1], &b2 = right[kMalformationSteps2 - 1];
        const double near = distance(a1.x, a1.y, b1.x, b1.y);
        const double far = distance(a2.x, a2.y, b2.x, b2.y);
        if (near > 0 && far / near >= kMinMalformationRatio)
            return true;
        return pm.maps.lowFlow[pm.block(m.x, m.y)] && far > kMaxMalformationDist;
    });
}

void removePores(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &pm)
{
    std::vector<ContourPoint> left, right;
    std::erase_if(minutiae, [&](const Minutia &m) {
        const std::size_t b = pm.block(m.x, m.y);
        if (!pm.maps.lowFlow[b] && !pm.maps.highCurvature[b])
            return false;
        // Ahead of the tip, past the edge pixel: the same ridge (or valley) going on after a short break.
        const double ahead = m.direction * std::numbers::pi / kDirections;
        for (int step = 1; step <= kPoreGap + 1; ++step) {
            const int x = m.x - static_cast<int>(std::lround(std::sin(ahead) * step));
            const int y = m.y + static_cast<int>(std::lround(std::cos(ahead) * step));
            if (!image.inside(x, y))
                break;
            if (step > 1 && image.at(x, y) == featureOf(m))
                return true;
        }
        if (traceContour(image, left, kPoreSteps, m.x, m.y, m.x, m.y, m.ex, m.ey, false) != TraceResult::Complete ||
            traceContour(image, right, kPoreSteps, m.x, m.y, m.x, m.y, m.ex, m.ey, true) != TraceResult::Complete)
            return false;
        // A true tip runs back along its ridge (or valley): both sides stay close and go deep. A pore
        // or a stub is a notch in the side of a neighbour: its sides part along that side's edge
        // sooner than they go deep.
        const ContourPoint &a = left.back(), &c = right.back();
        const double separation = distance(a.x, a.y, c.x, c.y);
        const double angle = m.direction * std::numbers::pi / kDirections;
        const double depth = ((a.x + c.x) / 2.0 - m.x) * std::sin(angle) - ((a.y + c.y) / 2.0 - m.y) * std::cos(angle);
        return 2.0 * depth < separation;
    });
}

void removeFalseMinutiae(std::vector<Minutia> &minutiae, BinaryView &image, const BlockMaps &maps)
{
    const PixelMaps pm{maps, image.width, image.height};
    // The pair tests walk the minutiae top to bottom.
    auto byRow = [&] {
        std::stable_sort(minutiae.begin(), minutiae.end(),
                         [](const Minutia &a, const Minutia &b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    };
    byRow();
    removeIslandsAndLakes(minutiae, image);
    removeHoles(minutiae, image);
    removePointingToInvalidBlocks(minutiae, pm);
    removeNearInvalidBlocks(minutiae, pm);
    removeOrAdjustSideMinutiae(minutiae, image, pm);
    byRow(); // the side adjustment moves minutiae along their contours
    removeDuplicates(minutiae);
    removeHooks(minutiae, image);
    removeOverlaps(minutiae, image);
    removeMalformations(minutiae, image, pm);
    removePores(minutiae, image, pm);
}

double minutiaReliability(int blockQuality, double greyMean, double greyStdDev)
{
    static constexpr double kLow[5] = {0.01, 0.05, 0.10, 0.25, 0.50};
    static constexpr double kHigh[5] = {0.01, 0.09, 0.24, 0.49, 0.99};
    const int q = std::clamp(blockQuality, 0, 4);
    const double meanPart = std::max(0.0, 1.0 - std::fabs(greyMean - kIdealMean) / kIdealMean);
    const double spreadPart = std::min(1.0, greyStdDev / kIdealStdDev);
    const double grey = std::min(meanPart, spreadPart);
    return kLow[q] + (kHigh[q] - kLow[q]) * grey;
}

void assignReliability(std::vector<Minutia> &minutiae, std::span<const std::uint8_t> grey, int width, int height,
                       const BlockMaps &maps, std::span<const std::uint8_t> quality)
{
    const PixelMaps pm{maps, width, height};
    for (Minutia &m : minutiae) {
        double mean = 0, sd = 0;
        // Only a neighbourhood wholly inside the image has statistics.
        if (m.x >= kStatRadius && m.y >= kStatRadius && m.x < width - kStatRadius && m.y < height - kStatRadius) {
            double sum = 0, sum2 = 0;
            for (int y = m.y - kStatRadius; y <= m.y + kStatRadius; ++y)
                for (int x = m.x - kStatRadius; x <= m.x + kStatRadius; ++x) {
                    const double v = grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                          static_cast<std::size_t>(x)];
                    sum += v;
                    sum2 += v * v;
                }
            constexpr double n = (2 * kStatRadius + 1) * (2 * kStatRadius + 1);
            mean = sum / n;
            sd = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
        }
        m.reliability = minutiaReliability(quality[pm.block(m.x, m.y)], mean, sd);
    }
}

std::vector<Minutia> findMinutiae(BinaryView &image, std::span<const std::uint8_t> grey, const BlockMaps &maps,
                                  std::span<const std::uint8_t> quality)
{
    std::vector<Minutia> minutiae = detectMinutiae(image, maps);
    removeFalseMinutiae(minutiae, image, maps);
    assignReliability(minutiae, grey, image.width, image.height, maps, quality);
    return minutiae;
}

} // namespace tav::quality
