#pragma once

// Binarisation along the local ridge flow: each pixel is compared, in a 7 x 9 grid turned to its
// block's direction, with the rows beside it; darker than their average makes it ridge. Then holes
// of one pixel (along rows, then along columns) are filled, three times over.

#include "platform/quality/BlockMaps.h"
#include "platform/quality/PaddedImage.h"

#include <cstdint>
#include <vector>

namespace tav::quality {

// width * height values, 1 = ridge (dark), 0 = valley or unusable. Blocks without a direction are 0.
std::vector<std::uint8_t> binarize(const PaddedImage &image, const BlockMaps &maps);
// One pass of filling one-pixel holes in a w x h binary image.
void fillHoles(std::vector<std::uint8_t> &bin, int w, int h);

} // namespace tav::quality
