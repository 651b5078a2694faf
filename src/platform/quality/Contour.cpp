#include "platform/quality/Contour.h"

#include <algorithm>
#include <array>

namespace tav::quality {

namespace {

// The eight neighbours clockwise from the one above.
constexpr std::array<int, 8> kDx = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr std::array<int, 8> kDy = {-1, -1, 0, 1, 1, 1, 0, -1};

int neighbourIndex(int dx, int dy)
{
    for (std::size_t i = 0; i < kDx.size(); ++i)
        if (kDx[i] == dx && kDy[i] == dy)
            return static_cast<int>(i);
    return -1;
}

bool nextContourPixel(const BinaryView &image, ContourPoint &next, const ContourPoint &cur, bool clockwise)
{
    const int feature = image.at(cur.x, cur.y);
    const int edge = image.at(cur.ex, cur.ey);
    int n = neighbourIndex(cur.ex - cur.x, cur.ey - cur.y);
    if (n < 0)
        return false;
    int prevX = cur.ex, prevY = cur.ey, prevPix = edge;
    for (int i = 0; i < 8; ++i) {
        n = clockwise ? (n + 1) % 8 : (n + 7) % 8;
        const int nx = cur.x + kDx[static_cast<std::size_t>(n)], ny = cur.y + kDy[static_cast<std::size_t>(n)];
        if (!image.inside(nx, ny))
            return false;
        const int pix = image.at(nx, ny);
        if (pix == feature && prevPix == edge) {
            next = {nx, ny, prevX, prevY};
            return true;
        }
        prevX = nx;
        prevY = ny;
        prevPix = pix;
    }
    return false;
}

} // namespace

TraceResult traceContour(const BinaryView &image, std::vector<ContourPoint> &out, int maxLength, int stopX, int stopY,
                         int x, int y, int ex, int ey, bool clockwise)
{
    out.clear();
    if (!image.inside(x, y) || !image.inside(ex, ey) || image.at(x, y) == image.at(ex, ey))
        return TraceResult::Failed;
    ContourPoint cur{x, y, ex, ey};
    for (int i = 0; i < maxLength; ++i) {
        ContourPoint next;
        if (!nextContourPixel(image, next, cur, clockwise))
            return TraceResult::Failed;
        if (next.x == x && next.y == y)
            return TraceResult::Loop;
        out.push_back(next);
        if (next.x == stopX && next.y == stopY)
            return TraceResult::Stopped;
        cur = next;
    }
    return TraceResult::Complete;
}

bool onSameContour(const BinaryView &image, int targetX, int targetY, int maxLength, int x, int y, int ex, int ey)
{
    thread_local std::vector<ContourPoint> contour;
    for (bool clockwise : {true, false})
        if (traceContour(image, contour, maxLength, targetX, targetY, x, y, ex, ey, clockwise) == TraceResult::Stopped)
            return true;
    return false;
}

TraceResult centredContour(const BinaryView &image, std::vector<ContourPoint> &out, int halfLength, int x, int y,
                           int ex, int ey)
{
    thread_local std::vector<ContourPoint> one, other;
    out.clear();
    TraceResult r = traceContour(image, one, halfLength, x, y, x, y, ex, ey, true);
    if (r == TraceResult::Loop)
        return r;
    if (static_cast<int>(one.size()) < halfLength)
        return TraceResult::Failed;
    r = traceContour(image, other, halfLength, x, y, x, y, ex, ey, false);
    if (r == TraceResult::Loop)
        return r;
    if (static_cast<int>(other.size()) < halfLength)
        return TraceResult::Failed;
    out.assign(other.rbegin(), other.rend());
    out.push_back({x, y, ex, ey});
    out.insert(out.end(), one.begin(), one.end());
    return TraceResult::Complete;
}

void fillLoop(BinaryView &image, const std::vector<ContourPoint> &loop)
{
    if (loop.empty())
        return;
    int x0 = loop[0].x, x1 = x0, y0 = loop[0].y, y1 = y0;
    for (const ContourPoint &p : loop) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    const int feature = image.at(loop[0].x, loop[0].y);
    const int edge = image.at(loop[0].ex, loop[0].ey);
    if (feature == edge)
        return;
    // The region is the feature pixels connected to the contour inside its bounding box.
    std::vector<std::pair<int, int>> stack;
    for (const ContourPoint &p : loop)
        if (image.at(p.x, p.y) == feature) {
            image.set(p.x, p.y, edge);
            stack.emplace_back(p.x, p.y);
        }
    while (!stack.empty()) {
        const auto [px, py] = stack.back();
        stack.pop_back();
        for (std::size_t n = 0; n < kDx.size(); ++n) {
            const int nx = px + kDx[n], ny = py + kDy[n];
            if (nx < x0 || nx > x1 || ny < y0 || ny > y1 || image.at(nx, ny) != feature)
                continue;
            image.set(nx, ny, edge);
            stack.emplace_back(nx, ny);
        }
    }
}

} // namespace tav::quality
