#pragma once

// Minutiae of a binarised finger: detection of ridge endings and bifurcations by pixel-pair patterns
// scanned across pairs of rows and pairs of columns, removal of false minutiae, and each minutia's
// reliability from the quality map and the contrast around it.

#include "platform/quality/BlockMaps.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

struct Minutia
{
    int x = 0;
    int y = 0;
    bool bifurcation = false; // false: ridge ending
    // Unit vector along the ridge flow towards the side where the feature continues: the ridge for an
    // ending, the valley for a bifurcation (a bifurcation is where a valley ends).
    double dx = 0;
    double dy = 0;
    double reliability = 0;
};

// Binary image as produced by binarize(): 1 ridge, 0 valley.
struct BinaryImage
{
    int width = 0;
    int height = 0;
    std::span<const std::uint8_t> pixels;
    int at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// Candidate minutiae from the ten pixel-pair patterns, each accepted only from the scan that crosses
// its block's ridge flow, with near duplicates of the two scans merged.
std::vector<Minutia> detectMinutiae(const BinaryImage &image, const BlockMaps &maps);

// False-minutia removal, each a stage of its own.
void removeIslandsAndLakes(std::vector<Minutia> &minutiae, const BinaryImage &image);
void removeUnconfirmed(std::vector<Minutia> &minutiae, const BinaryImage &image);
void removeNearInvalidBlocks(std::vector<Minutia> &minutiae, const BlockMaps &maps,
                             std::span<const std::uint8_t> quality);
void removeHooksAndOverlaps(std::vector<Minutia> &minutiae);

// Reliability in 0..1 from the block's quality (4 best) and the grey-level mean and standard deviation
// within 11 pixels.
double minutiaReliability(int blockQuality, double greyMean, double greyStdDev);
void assignReliability(std::vector<Minutia> &minutiae, std::span<const std::uint8_t> grey, int width, int height,
                       const BlockMaps &maps, std::span<const std::uint8_t> quality);

// All of the above in order.
std::vector<Minutia> findMinutiae(const BinaryImage &image, std::span<const std::uint8_t> grey, const BlockMaps &maps,
                                  std::span<const std::uint8_t> quality);

} // namespace tav::quality
