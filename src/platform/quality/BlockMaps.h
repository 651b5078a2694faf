#pragma once

// The block maps of a finger image over 8 x 8 pixel blocks, each block analysed in the 24 x 24 window
// centred on it: the ridge direction (one of 16, or -1 when none can be trusted), the low-contrast map
// (background), the low ridge-flow map (no dominant direction of its own) and the high-curvature map.

#include "platform/quality/PaddedImage.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

inline constexpr int kInvalidDirection = -1;

struct BlockMaps
{
    int blocksWide = 0;
    int blocksHigh = 0;
    std::vector<int> direction;            // per block, row by row; kInvalidDirection when none
    std::vector<std::uint8_t> lowContrast; // 1: background or too little contrast to analyse
    std::vector<std::uint8_t> lowFlow;     // 1: no dominant ridge flow found in the block itself
    std::vector<std::uint8_t> highCurvature;

    std::size_t at(int bx, int by) const
    {
        return static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksWide) + static_cast<std::size_t>(bx);
    }
    bool inside(int bx, int by) const { return bx >= 0 && by >= 0 && bx < blocksWide && by < blocksHigh; }
};

// The stages, in the order computeBlockMaps runs them (each exposed for its own tests).

// 1 where the spread between the 10th and 90th percentile of the window's grey values is below 5.
std::vector<std::uint8_t> lowContrastMap(const PaddedImage &image, int blocksWide, int blocksHigh);

// The strongest directional response of the window (16 directions, 4 waves across the ridges), or
// kInvalidDirection when it is too weak or not dominant enough. Low-contrast blocks get none.
std::vector<int> initialDirections(const PaddedImage &image, const BlockMaps &maps);
int blockDirection(const PaddedImage &image, int bx, int by);

// Removes directions that disagree with their neighbours' average or lack enough valid neighbours.
void removeInconsistentDirections(BlockMaps &maps);
// Replaces each direction by the average of its neighbourhood when enough neighbours are valid.
void smoothDirections(BlockMaps &maps);
// Fills invalid blocks (not background) from the nearest valid blocks up, down, left and right.
void interpolateDirections(BlockMaps &maps);
// Marks blocks around which the direction turns a lot (cores and deltas).
std::vector<std::uint8_t> highCurvatureMap(const BlockMaps &maps);

BlockMaps computeBlockMaps(const PaddedImage &image);

} // namespace tav::quality
