#pragma once

// The quality map: one value per block, 4 best .. 0 unusable.
//   0  background (low contrast) or no ridge direction;
//   1  low flow or high curvature with an unusable block within two blocks, or within two blocks of
//      the map's edge;
//   2  low flow or high curvature otherwise, or a sound block with an unusable one within two blocks;
//   3  a sound block with one of low flow or high curvature within two blocks;
//   4  a sound block with none of these around it.

#include "platform/quality/BlockMaps.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps);

} // namespace tav::quality
