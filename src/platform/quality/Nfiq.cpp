#include "platform/quality/Nfiq.h"

#include "platform/quality/Binarize.h"
#include "platform/quality/BlockMaps.h"
#include "platform/quality/Minutiae.h"
#include "platform/quality/NfiqFeatures.h"
#include "platform/quality/PaddedImage.h"
#include "platform/quality/QualityMap.h"

#include <stdexcept>

namespace tav::quality {

Features computeFeatures(std::span<const std::uint8_t> quality, const std::vector<Minutia> &minutiae)
{
    Features f{};
    std::array<int, 5> perLevel{};
    for (std::uint8_t q : quality)
        ++perLevel[q < 5 ? q : 4];
    const int foreground = perLevel[1] + perLevel[2] + perLevel[3] + perLevel[4];
    f[0] = foreground;
    f[1] = static_cast<double>(minutiae.size());
    constexpr std::array<double, 5> kThresholds = {0.5, 0.6, 0.7, 0.8, 0.9};
    for (const Minutia &m : minutiae)
        for (std::size_t t = 0; t < kThresholds.size(); ++t)
            if (m.reliability > kThresholds[t])
                f[2 + t] += 1;
    for (std::size_t level = 1; level <= 4; ++level)
        f[6 + level] = foreground > 0 ? static_cast<double>(perLevel[level]) / foreground : 0.0;
    return f;
}

Analysis analyse(std::span<const std::uint8_t> pixels, int width, int height)
{
    Analysis a;
    const PaddedImage padded(pixels, width, height);
    a.maps = computeBlockMaps(padded);
    a.quality = qualityMap(a.maps);
    a.binary = binarize(padded, a.maps);
    std::vector<std::uint8_t> edited = a.binary;
    BinaryView view{width, height, edited};
    a.minutiae = findMinutiae(view, pixels, a.maps, a.quality);
    a.features = computeFeatures(a.quality, a.minutiae);
    return a;
}

Rating rate(std::span<const std::uint8_t> pixels, int width, int height)
{
    if (width < 0 || height < 0)
        throw std::invalid_argument("Tamaño de imagen negativo");
    const std::int64_t count = static_cast<std::int64_t>(width) * height;
    if (static_cast<std::uint64_t>(count) > pixels.size())
        throw std::invalid_argument("La imagen tiene menos píxeles que su tamaño");
    Rating r;
    if (count > kMaxPixels) {
        r.status = kNoMemory;
        r.level = 0;
        return r;
    }
    if (count == 0) {
        r.status = kEmptyImage;
        r.level = 5;
        r.confidence = 1.0;
        return r;
    }
    return classify(analyse(pixels.first(static_cast<std::size_t>(count)), width, height).features);
}

} // namespace tav::quality
