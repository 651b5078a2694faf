#include "platform/quality/Minutiae.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tav::quality {

namespace {

constexpr int kDuplicateDistance = 6;     // the same minutia seen by both scans
constexpr int kIslandArea = 120;          // a ridge fragment this small is an island (two false endings)
constexpr int kLakeArea = 120;            // an enclosed valley this small is a lake or a hole
constexpr int kInvalidMargin = 6;         // pixels kept clear of unusable blocks and of the image's edge
constexpr int kHookDistance = 8;          // ending and bifurcation this close: a spur on a ridge side
constexpr int kOverlapDistance = 8;       // two endings facing each other across a break
constexpr int kStatRadius = 11;           // neighbourhood of the reliability's grey statistics
constexpr double kFullContrast = 44.0;    // grey-level standard deviation of a fully contrasted neighbourhood
constexpr double kBrightnessSpan = 128.0; // distance of the mean from mid-grey that leaves no reliability
constexpr int kConfirmFrom = 2;           // a minutia is confirmed along the flow from this many pixels...
constexpr int kConfirmTo = 8;             // ...to this many, one miss allowed each way

struct Pair
{
    int a = 0; // top (or left) pixel, 1 ridge
    int b = 0; // bottom (or right) pixel
    bool operator==(const Pair &) const = default;
};

// One pattern match on a pair of lines: the middle run [start, end] of unequal pairs.
struct RunMatch
{
    int start = 0;
    int end = 0;
    bool bifurcation = false;
    bool ridgeOnFirstLine = false; // the middle pairs are (ridge, valley)
};

// The ten patterns: a run of unequal pairs (ridge over valley, or valley over ridge) bounded on both
// sides by pairs in which the run's feature line has the other colour. A ridge ending: a ridge run whose
// other line is valley, bounded by valley pairs. A bifurcation (a valley ending into a ridge): a valley
// run bounded by ridge on its own line, the other line ridge or valley at each end.
template <typename PairAt> void scanLine(int length, PairAt pairAt, std::vector<RunMatch> &out)
{
    int x = 1;
    while (x < length - 1) {
        const Pair p = pairAt(x);
        if (p.a == p.b) {
            ++x;
            continue;
        }
        int end = x;
        while (end + 1 < length && pairAt(end + 1) == p)
            ++end;
        if (end + 1 >= length)
            break;
        const Pair first = pairAt(x - 1), last = pairAt(end + 1);
        const bool ridgeOnFirst = p.a == 1;
        // Feature line: the one holding the ridge for endings; the one holding the valley for bifurcations.
        const int fFirst = ridgeOnFirst ? first.a : first.b, fLast = ridgeOnFirst ? last.a : last.b;
        const int oFirst = ridgeOnFirst ? first.b : first.a, oLast = ridgeOnFirst ? last.b : last.a;
        const int vFirst = ridgeOnFirst ? first.b : first.a, vLast = ridgeOnFirst ? last.b : last.a; // valley line
        if (fFirst == 0 && fLast == 0 && oFirst == 0 && oLast == 0)
            out.push_back({x, end, false, ridgeOnFirst});
        else if (vFirst == 1 && vLast == 1 && fFirst == 1 && fLast == 1)
            out.push_back({x, end, true, ridgeOnFirst});
        x = end + 1;
    }
}

// Candidates kept in cells of kBlockSize pixels, so that finding a near duplicate looks at a few
// neighbours, not at every candidate so far.
class CandidateList
{
public:
    CandidateList(int width, int height)
        : m_cellsWide(width / kBlockSize + 1),
          m_cells(static_cast<std::size_t>(m_cellsWide) * static_cast<std::size_t>(height / kBlockSize + 1))
    {}
    void add(const Minutia &m)
    {
        const int cx = m.x / kBlockSize, cy = m.y / kBlockSize;
        const int cellsHigh = static_cast<int>(m_cells.size()) / m_cellsWide;
        for (int y = std::max(0, cy - 1); y <= std::min(cellsHigh - 1, cy + 1); ++y)
            for (int x = std::max(0, cx - 1); x <= std::min(m_cellsWide - 1, cx + 1); ++x)
                for (std::size_t i : m_cells[static_cast<std::size_t>(y * m_cellsWide + x)]) {
                    const Minutia &o = m_list[i];
                    if (o.bifurcation == m.bifurcation && std::abs(o.x - m.x) <= kDuplicateDistance &&
                        std::abs(o.y - m.y) <= kDuplicateDistance && (o.dx * m.dx + o.dy * m.dy) > 0)
                        return;
                }
        m_cells[static_cast<std::size_t>(cy * m_cellsWide + cx)].push_back(m_list.size());
        m_list.push_back(m);
    }
    std::vector<Minutia> take() { return std::move(m_list); }

private:
    int m_cellsWide;
    std::vector<std::vector<std::size_t>> m_cells;
    std::vector<Minutia> m_list;
};

// Ridge flow of direction d as a unit vector, turned to point into the half-plane of (hx, hy).
void flowTowards(int d, double hx, double hy, double &dx, double &dy)
{
    const double a = d * std::numbers::pi / kDirections;
    dx = std::cos(a);
    dy = std::sin(a);
    if (dx * hx + dy * hy < 0) {
        dx = -dx;
        dy = -dy;
    }
}

} // namespace

std::vector<Minutia> detectMinutiae(const BinaryImage &image, const BlockMaps &maps)
{
    const int w = image.width, h = image.height;
    CandidateList found(w, h);
    std::vector<RunMatch> runs;
    auto blockOf = [&](int x, int y) { return maps.at(x / kBlockSize, y / kBlockSize); };
    // Row pairs: accepted where the flow is within 45 degrees of vertical (or turns sharply).
    for (int y = 0; y + 1 < h; ++y) {
        runs.clear();
        scanLine(
            w,
            [&](int x) {
                return Pair{image.at(x, y), image.at(x, y + 1)};
            },
            runs);
        for (const RunMatch &r : runs) {
            const int x = (r.start + r.end) / 2;
            // The minutia lies on the ridge pixel of the pair.
            const int my = r.ridgeOnFirstLine ? y : y + 1;
            const std::size_t b = blockOf(x, my);
            const int d = maps.direction[b];
            if (d == kInvalidDirection)
                continue;
            if (!maps.highCurvature[b] && (d < 4 || d > 12))
                continue;
            // The ridge of an ending continues on the ridge line's side; the valley of a bifurcation on the other.
            const double side = (r.ridgeOnFirstLine != r.bifurcation) ? -1.0 : 1.0;
            Minutia m;
            m.x = x;
            m.y = my;
            m.bifurcation = r.bifurcation;
            flowTowards(d, 0, side, m.dx, m.dy);
            found.add(m);
        }
    }
    // Column pairs: where the flow is within 45 degrees of horizontal.
    for (int x = 0; x + 1 < w; ++x) {
        runs.clear();
        scanLine(
            h,
            [&](int y) {
                return Pair{image.at(x, y), image.at(x + 1, y)};
            },
            runs);
        for (const RunMatch &r : runs) {
            const int y = (r.start + r.end) / 2;
            const int mx = r.ridgeOnFirstLine ? x : x + 1;
            const std::size_t b = blockOf(mx, y);
            const int d = maps.direction[b];
            if (d == kInvalidDirection)
                continue;
            if (!maps.highCurvature[b] && d > 4 && d < 12)
                continue;
            const double side = (r.ridgeOnFirstLine != r.bifurcation) ? -1.0 : 1.0;
            Minutia m;
            m.x = mx;
            m.y = y;
            m.bifurcation = r.bifurcation;
            flowTowards(d, side, 0, m.dx, m.dy);
            found.add(m);
        }
    }
    return found.take();
}

namespace {

// Whether the component of (x, y) (ridge: 8-connected; valley: 4-connected) is smaller than limit
// pixels and clear of the image's edge. The fill stops as soon as the answer is known.
class SmallComponents
{
public:
    explicit SmallComponents(const BinaryImage &image)
        : m_image(image), m_stamp(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0)
    {}
    bool isSmall(int x, int y, int limit)
    {
        ++m_current;
        const int w = m_image.width, h = m_image.height;
        const int colour = m_image.at(x, y);
        m_stack.clear();
        const std::size_t start =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
        m_stamp[start] = m_current;
        m_stack.push_back(start);
        int area = 0;
        while (!m_stack.empty()) {
            const std::size_t p = m_stack.back();
            m_stack.pop_back();
            if (++area >= limit)
                return false;
            const int px = static_cast<int>(p % static_cast<std::size_t>(w));
            const int py = static_cast<int>(p / static_cast<std::size_t>(w));
            if (px == 0 || py == 0 || px == w - 1 || py == h - 1)
                return false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || (colour == 0 && dx != 0 && dy != 0))
                        continue;
                    const std::size_t q = static_cast<std::size_t>(py + dy) * static_cast<std::size_t>(w) +
                                          static_cast<std::size_t>(px + dx);
                    if (m_stamp[q] != m_current && m_image.pixels[q] == colour) {
                        m_stamp[q] = m_current;
                        m_stack.push_back(q);
                    }
                }
        }
        return true;
    }

private:
    const BinaryImage &m_image;
    std::vector<std::uint32_t> m_stamp;
    std::uint32_t m_current = 0;
    std::vector<std::size_t> m_stack;
};

} // namespace

void removeIslandsAndLakes(std::vector<Minutia> &minutiae, const BinaryImage &image)
{
    SmallComponents components(image);
    const int w = image.width, h = image.height;
    std::erase_if(minutiae, [&](const Minutia &m) {
        if (!m.bifurcation)
            return components.isSmall(m.x, m.y, kIslandArea);
        // The valley of a bifurcation starts next to its point, on the feature side.
        for (int step = 1; step <= 3; ++step) {
            const int vx = m.x + static_cast<int>(std::lround(m.dx * step));
            const int vy = m.y + static_cast<int>(std::lround(m.dy * step));
            if (vx < 0 || vy < 0 || vx >= w || vy >= h)
                return false;
            if (image.at(vx, vy) == 0)
                return components.isSmall(vx, vy, kLakeArea);
        }
        return false;
    });
}

void removeUnconfirmed(std::vector<Minutia> &minutiae, const BinaryImage &image)
{
    // A true ending has ridge ahead of it along the flow and valley behind; a true bifurcation the
    // reverse. Points on a ragged ridge side have neither.
    auto colourAt = [&](double x, double y) {
        const int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(y));
        if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height)
            return -1;
        return image.at(ix, iy);
    };
    std::erase_if(minutiae, [&](const Minutia &m) {
        const int feature = m.bifurcation ? 0 : 1;
        int ahead = 0, behind = 0;
        for (int step = kConfirmFrom; step <= kConfirmTo; ++step) {
            ahead += colourAt(m.x + m.dx * step, m.y + m.dy * step) == feature;
            behind += colourAt(m.x - m.dx * step, m.y - m.dy * step) == 1 - feature;
        }
        const int steps = kConfirmTo - kConfirmFrom + 1;
        return ahead < steps - 1 || behind < steps - 1;
    });
}

void removeNearInvalidBlocks(std::vector<Minutia> &minutiae, const BlockMaps &maps,
                             std::span<const std::uint8_t> quality)
{
    auto unusable = [&](int x, int y) {
        if (x < 0 || y < 0)
            return true;
        const int bx = x / kBlockSize, by = y / kBlockSize;
        if (!maps.inside(bx, by))
            return true;
        const std::size_t i = maps.at(bx, by);
        return quality[i] == 0 || maps.direction[i] == kInvalidDirection;
    };
    std::erase_if(minutiae, [&](const Minutia &m) {
        for (int dy = -kInvalidMargin; dy <= kInvalidMargin; dy += kInvalidMargin)
            for (int dx = -kInvalidMargin; dx <= kInvalidMargin; dx += kInvalidMargin)
                if (unusable(m.x + dx, m.y + dy))
                    return true;
        // An ending whose ridge stops because the print stops points into an unusable block.
        const int px = m.x - static_cast<int>(std::lround(m.dx * 2 * kInvalidMargin));
        const int py = m.y - static_cast<int>(std::lround(m.dy * 2 * kInvalidMargin));
        return unusable(px, py);
    });
}

void removeHooksAndOverlaps(std::vector<Minutia> &minutiae)
{
    std::sort(minutiae.begin(), minutiae.end(), [](const Minutia &a, const Minutia &b) { return a.y < b.y; });
    constexpr int kReach = std::max(kHookDistance, kOverlapDistance);
    std::vector<std::uint8_t> drop(minutiae.size(), 0);
    for (std::size_t i = 0; i < minutiae.size(); ++i)
        for (std::size_t j = i + 1; j < minutiae.size() && minutiae[j].y - minutiae[i].y <= kReach; ++j) {
            const Minutia &a = minutiae[i], &b = minutiae[j];
            if (std::abs(a.x - b.x) > kReach)
                continue;
            const int d2 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
            const double cosAngle = a.dx * b.dx + a.dy * b.dy;
            if (a.bifurcation != b.bifurcation && d2 <= kHookDistance * kHookDistance) {
                drop[i] = drop[j] = 1; // a spur: an ending next to the bifurcation it sprouts from
            } else if (!a.bifurcation && !b.bifurcation && d2 <= kOverlapDistance * kOverlapDistance &&
                       cosAngle < -0.5) {
                drop[i] = drop[j] = 1; // a broken ridge: two endings facing each other
            }
        }
    std::size_t k = 0;
    std::erase_if(minutiae, [&](const Minutia &) { return drop[k++] != 0; });
}

double minutiaReliability(int blockQuality, double greyMean, double greyStdDev)
{
    // Contrast counts in full from a spread of kFullContrast grey levels; a neighbourhood far from
    // mid-grey (washed out or smudged dark) counts for less.
    const double contrast = std::min(1.0, greyStdDev / kFullContrast);
    const double brightness = std::max(0.0, 1.0 - std::abs(greyMean - 127.0) / kBrightnessSpan);
    const double f = contrast * brightness;
    switch (blockQuality) {
    case 4:
        return 0.50 + 0.49 * f;
    case 3:
        return 0.25 + 0.24 * f;
    case 2:
        return 0.10 + 0.14 * f;
    case 1:
        return 0.05 + 0.04 * f;
    default:
        return 0.01;
    }
}

void assignReliability(std::vector<Minutia> &minutiae, std::span<const std::uint8_t> grey, int width, int height,
                       const BlockMaps &maps, std::span<const std::uint8_t> quality)
{
    for (Minutia &m : minutiae) {
        double sum = 0, sum2 = 0;
        int n = 0;
        for (int y = std::max(0, m.y - kStatRadius); y <= std::min(height - 1, m.y + kStatRadius); ++y)
            for (int x = std::max(0, m.x - kStatRadius); x <= std::min(width - 1, m.x + kStatRadius); ++x) {
                const double v =
                    grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
                sum += v;
                sum2 += v * v;
                ++n;
            }
        const double mean = n ? sum / n : 0;
        const double sd = n ? std::sqrt(std::max(0.0, sum2 / n - mean * mean)) : 0;
        m.reliability = minutiaReliability(quality[maps.at(m.x / kBlockSize, m.y / kBlockSize)], mean, sd);
    }
}

std::vector<Minutia> findMinutiae(const BinaryImage &image, std::span<const std::uint8_t> grey, const BlockMaps &maps,
                                  std::span<const std::uint8_t> quality)
{
    std::vector<Minutia> minutiae = detectMinutiae(image, maps);
    removeIslandsAndLakes(minutiae, image);
    removeUnconfirmed(minutiae, image);
    removeNearInvalidBlocks(minutiae, maps, quality);
    removeHooksAndOverlaps(minutiae);
    assignReliability(minutiae, grey, image.width, image.height, maps, quality);
    return minutiae;
}

} // namespace tav::quality
