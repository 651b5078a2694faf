#pragma once

// Our own NFIQ 1.0 rating of a finger image (NIST Fingerprint Image Quality: level 1 best .. 5 worst),
// written from NIST's published descriptions: block maps, quality map, binarisation, minutia detection
// with false-minutia removal, minutia reliability, eleven features, z-normalisation and NIST's network.
// Plain C++: the live-scan window, the command-line tool and the benchmarks all call it in-process.

#include <array>
#include <cstdint>
#include <span>

namespace tav::quality {

// The eleven NFIQ features, in NIST's order: foreground blocks; minutiae; minutiae with reliability
// above 0.5, 0.6, 0.7, 0.8, 0.9; fraction of foreground blocks of quality 1, 2, 3, 4.
using Features = std::array<double, 11>;

enum Status : int {
    kValid = 0,
    kEmptyImage = 1,     // no foreground block
    kTooFewMinutiae = 2, // five minutiae or fewer: level 5 without the network
    kNoImage = -2,       // nothing to rate (the caller's own status; rate() never returns it)
    kNoMemory = -3,      // the image is larger than the rating accepts
};

struct Rating
{
    int level = 5;           // 1..5
    double confidence = 0.0; // the winning network output (1.0 when the network is not run)
    int status = kEmptyImage;
    Features features{}; // filled when the detector ran (status 0 or 2)
};

// Largest image the rating accepts (pixels); larger ones get kNoMemory without being touched.
inline constexpr std::int64_t kMaxPixels = 16'000'000;

// Rates width x height 8-bit grey pixels (rows top to bottom, no padding) scanned at 500 ppi.
// A buffer shorter than width * height, or a negative size, is refused with std::invalid_argument.
Rating rate(std::span<const std::uint8_t> pixels, int width, int height);

// The network stage alone: z-normalises the features and returns the five outputs (level k+1 = output k).
std::array<double, 5> networkOutputs(const Features &features);

// Level and confidence from features (status 0), or level 5 for a status that skips the network.
Rating classify(const Features &features);

} // namespace tav::quality
