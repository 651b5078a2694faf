#pragma once

// The block maps of a finger image over 8 x 8 pixel blocks, each block analysed in the 24 x 24 window
// centred on it: the ridge direction (one of 16, or -1 when none), the low-contrast map (background),
// the low ridge-flow map (no dominant direction found in the block's own window) and the high-curvature
// map (cores and deltas).

#include "platform/quality/PaddedImage.h"

#include <array>
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

// 1 where, in the block's 24 x 24 window, the spread between the grey values at the 10th and the 90th
// percentile (counted on 6-bit grey) is below 5.
std::vector<std::uint8_t> lowContrastMap(const PaddedImage &image, int blocksWide, int blocksHigh);

// Power of the four discrete Fourier waves (1 to 4 periods over the window) across the rows of the
// window turned to each of the 16 directions; power[w][d].
using DirectionPowers = std::array<std::array<double, kDirections>, 4>;
DirectionPowers directionPowers(const PaddedImage &image, int windowX, int windowY);

// The block's direction from its powers: the primary test (strong and dominant power, in the order of
// the waves' ranking, without too much shading power), then the relaxed test for blocks at a fork.
// kInvalidDirection when both fail: the block has low ridge flow.
int directionFromPowers(const DirectionPowers &powers);
int blockDirection(const PaddedImage &image, int bx, int by);

// Low contrast, first directions and low flow for every block.
void initialMaps(const PaddedImage &image, BlockMaps &maps);
// Closes gaps in the low-flow map: two dilations then two erosions over the four neighbours.
void closeLowFlow(BlockMaps &maps);
// Removes directions that disagree with their neighbours' average or lack valid neighbours, spiralling
// out from the centre of the map until nothing more goes.
void removeInconsistentDirections(BlockMaps &maps);
// Replaces directions by their neighbours' average where it is strong enough (and fills invalid blocks
// with seven or more valid neighbours).
void smoothDirections(BlockMaps &maps);
// Fills invalid blocks (not background) from the nearest valid blocks up, down, left and right, the
// nearer weighing more.
void interpolateDirections(BlockMaps &maps);
// The outermost ring of blocks gets no direction.
void invalidateMargin(BlockMaps &maps);
// Marks blocks around which the direction turns: the vorticity round a block without direction, or the
// sharpest turn from a block with one to any of its neighbours.
std::vector<std::uint8_t> highCurvatureMap(const BlockMaps &maps);

BlockMaps computeBlockMaps(const PaddedImage &image);

} // namespace tav::quality
