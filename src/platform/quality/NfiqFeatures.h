#pragma once

// The rating's stages run one after the other, with everything they produce kept for inspection (the
// tool's --features, the agreement report and the tests that trace a disagreement to its stage).

#include "platform/quality/BlockMaps.h"
#include "platform/quality/Minutiae.h"
#include "platform/quality/Nfiq.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

struct Analysis
{
    BlockMaps maps;
    std::vector<std::uint8_t> quality; // per block, 0..4
    std::vector<std::uint8_t> binary;  // per pixel, 1 ridge
    std::vector<Minutia> minutiae;
    Features features{};
};

// Requires width, height > 0 and pixels.size() >= width * height.
Analysis analyse(std::span<const std::uint8_t> pixels, int width, int height);

Features computeFeatures(std::span<const std::uint8_t> quality, const std::vector<Minutia> &minutiae);

} // namespace tav::quality
