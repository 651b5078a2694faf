#include "platform/wsq/WsqLayout.h"

namespace tav::wsq {

namespace {

// Children of a rectangle in raster order: top-left, top-right, bottom-left, bottom-right. An odd length
// gives the low band the extra sample; an inverted direction places the (shorter) high band first.
std::array<Rect, 4> quarters(const Rect &r, bool invertRows, bool invertColumns)
{
    const int leftW = invertRows ? r.w / 2 : (r.w + 1) / 2;
    const int topH = invertColumns ? r.h / 2 : (r.h + 1) / 2;
    return {{{r.x, r.y, leftW, topH},
             {r.x + leftW, r.y, r.w - leftW, topH},
             {r.x, r.y + topH, leftW, r.h - topH},
             {r.x + leftW, r.y + topH, r.w - leftW, r.h - topH}}};
}

// A child on the right of its parent carries a flipped spectrum across the rows, one below across the
// columns; splitting it again must invert that direction.
SplitNode node(const Rect &r, int position)
{
    return {r, (position & 1) != 0, (position & 2) != 0};
}

std::array<Rect, 4> quarters(const SplitNode &n)
{
    return quarters(n.area, n.invertRows, n.invertColumns);
}

} // namespace

Layout makeLayout(int width, int height)
{
    Layout l;
    auto &s = l.splits;
    // Parents first: the root, three of its quadrants (the finest diagonal one is never coded), three
    // quarters of the top-left quadrant, their twelve children, and the coarsest corner.
    s[0] = node({0, 0, width, height}, 0);
    const auto root = quarters(s[0]);
    for (int i = 0; i < 3; ++i)
        s[1 + i] = node(root[i], i);
    const auto topLeft = quarters(s[1]);
    for (int i = 0; i < 3; ++i)
        s[4 + i] = node(topLeft[i], i);
    for (int p = 0; p < 3; ++p) {
        const auto children = quarters(s[4 + p]);
        for (int i = 0; i < 4; ++i)
            s[7 + 4 * p + i] = node(children[i], i);
    }
    s[19] = node(quarters(s[7])[0], 0);

    // Band numbers follow the positions in the quad tree, in raster order at every level.
    auto &b = l.subbands;
    int k = 0;
    for (const Rect &r : quarters(s[19]))
        b[k++] = r;
    for (int i = 1; i < 4; ++i)
        b[k++] = quarters(s[7])[i];
    for (int n = 8; n < 19; ++n)
        for (const Rect &r : quarters(s[n]))
            b[k++] = r;
    b[k++] = topLeft[3];
    for (int n = 2; n < 4; ++n)
        for (const Rect &r : quarters(s[n]))
            b[k++] = r;
    for (const Rect &r : quarters(root[3], true, true))
        b[k++] = r;
    return l;
}

} // namespace tav::wsq
