#pragma once

// Binarisation along the local ridge flow: each pixel is compared, in a 7 x 9 grid turned to its
// block's direction, with the rows beside it; darker than their average makes it ridge.

#include "platform/quality/BlockMaps.h"
#include "platform/quality/PaddedImage.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

// width * height values, 1 = ridge (dark), 0 = valley or unusable. Blocks without a direction are 0.
std::vector<std::uint8_t> binarize(const PaddedImage &image, const BlockMaps &maps);

} // namespace tav::quality
