#pragma once

// The quality map: one value per block, 4 best .. 0 unusable, from the block maps and from how close
// the block lies to unusable blocks (the edge of the print, background, places without ridge flow).

#include "platform/quality/BlockMaps.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps);

} // namespace tav::quality
