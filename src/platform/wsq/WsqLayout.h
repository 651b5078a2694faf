#pragma once

// The wavelet packet tree of WSQ: 20 splits of the image plane and the 64 subbands they leave.

#include <array>

namespace tav::wsq {

struct Rect
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// One split: rows first (the width halves), then columns (the height halves). An inverted direction
// puts its high band first, so that the bands stay in frequency order after the spectrum flips.
struct SplitNode
{
    Rect area;
    bool invertRows = false;
    bool invertColumns = false;
};

inline constexpr int kSplitCount = 20;
inline constexpr int kSubbandCount = 64;
inline constexpr int kCodedSubbands = 60; // 60..63 (the finest diagonal quadrant) are never coded

struct Layout
{
    std::array<SplitNode, kSplitCount> splits; // parents before children
    std::array<Rect, kSubbandCount> subbands;
};

Layout makeLayout(int width, int height);

// Blocks of the entropy-coded data: subbands [first, end).
struct BlockRange
{
    int first;
    int end;
};
inline constexpr std::array<BlockRange, 3> kBlocks{{{0, 19}, {19, 52}, {52, 60}}};

} // namespace tav::wsq
