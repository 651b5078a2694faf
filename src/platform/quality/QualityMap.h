#pragma once

// The quality map: one value per block, 4 best .. 0 unusable. Background (low contrast) and blocks left
// without a direction are 0; a block of low ridge flow or high curvature starts at 3, any other at 4; a
// block within two blocks of the map's edge is 1; otherwise an unusable block one block away takes 2
// off, two blocks away 1.

#include "platform/quality/BlockMaps.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps);

} // namespace tav::quality
