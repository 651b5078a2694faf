#pragma once

// Minutiae of a binarised finger: detection of ridge endings and bifurcations by pixel-pair patterns
// scanned across pairs of rows and pairs of columns, removal of false minutiae, and each minutia's
// reliability from the quality map and the grey levels around it.

#include "platform/quality/BlockMaps.h"
#include "platform/quality/Contour.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tav::quality {

struct Minutia
{
    int x = 0; // the feature pixel: ridge for an ending, valley for a bifurcation (where a valley ends)
    int y = 0;
    int ex = 0; // the pixel of the other colour beside it
    int ey = 0;
    int direction = 0; // 0..31 (0 up, 8 right): from the point into its ridge (or into its valley)
    bool bifurcation = false;
    double reliability = 0;
};

// Per-pixel lookups of the block maps (the last partial block covers the image's edge).
struct PixelMaps
{
    const BlockMaps &maps;
    int width;
    int height;
    std::size_t block(int x, int y) const { return maps.at(blockOfPixel(x, width), blockOfPixel(y, height)); }
};

// Candidate minutiae from the ten pixel-pair patterns, first across pairs of rows then across pairs of
// columns. Where both scans see the same minutia on the same contour, the one from the scan that
// crosses the block's flow is kept. Near cores and deltas the point moves to the sharpest turn of its
// contour; small closed contours are filled in or give a minutia at each end.
std::vector<Minutia> detectMinutiae(BinaryView &image, const BlockMaps &maps);

// False-minutia removal, each a stage of its own, in the order removeFalseMinutiae runs them.
void removeIslandsAndLakes(std::vector<Minutia> &minutiae, BinaryView &image);
void removeHoles(std::vector<Minutia> &minutiae, const BinaryView &image);
void removePointingToInvalidBlocks(std::vector<Minutia> &minutiae, const PixelMaps &maps);
void removeNearInvalidBlocks(std::vector<Minutia> &minutiae, const PixelMaps &maps);
void removeOrAdjustSideMinutiae(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &maps);
// Minutiae of one type moved onto the same pixel by the side adjustment (one tip seen from both of its
// sides, or by both scans) are one minutia.
void removeDuplicates(std::vector<Minutia> &minutiae);
void removeHooks(std::vector<Minutia> &minutiae, const BinaryView &image);
void removeOverlaps(std::vector<Minutia> &minutiae, const BinaryView &image);
void removeMalformations(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &maps);
// In blocks of low flow or high curvature, a ridge (or valley) that goes on after a break of three
// pixels or less ahead of its tip is broken by a pore, and a tip wider than it is deep is a pore or a
// stub on the side of a neighbouring ridge (or valley): neither is a minutia.
void removePores(std::vector<Minutia> &minutiae, const BinaryView &image, const PixelMaps &maps);
void removeFalseMinutiae(std::vector<Minutia> &minutiae, BinaryView &image, const BlockMaps &maps);

// Reliability in 0..1: the block's quality sets a range (4: 0.50..0.99, 3: 0.25..0.49, 2: 0.10..0.24,
// 1: 0.05..0.09, 0: 0.01) and the grey levels within 11 pixels place it in the range: a mean near
// mid-grey and a standard deviation of 64 or more place it at the top.
double minutiaReliability(int blockQuality, double greyMean, double greyStdDev);
void assignReliability(std::vector<Minutia> &minutiae, std::span<const std::uint8_t> grey, int width, int height,
                       const BlockMaps &maps, std::span<const std::uint8_t> quality);

// All of the above in order; the binary image is edited on the way.
std::vector<Minutia> findMinutiae(BinaryView &image, std::span<const std::uint8_t> grey, const BlockMaps &maps,
                                  std::span<const std::uint8_t> quality);

} // namespace tav::quality
