#include "platform/quality/QualityMap.h"

#include <algorithm>
#include <cstdlib>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps)
{
    constexpr int kReach = 2;
    const int w = maps.blocksWide, h = maps.blocksHigh;
    std::vector<std::uint8_t> q(maps.direction.size(), 0);
    auto unusable = [&](std::size_t i) { return maps.lowContrast[i] || maps.direction[i] == kInvalidDirection; };
    for (int by = 0; by < h; ++by)
        for (int bx = 0; bx < w; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (unusable(i))
                continue;
            const int base = (maps.lowFlow[i] || maps.highCurvature[i]) ? 3 : 4;
            if (bx < kReach || by < kReach || bx >= w - kReach || by >= h - kReach) {
                q[i] = 1;
                continue;
            }
            int offset = 0;
            for (int dy = -kReach; dy <= kReach; ++dy)
                for (int dx = -kReach; dx <= kReach; ++dx)
                    if (unusable(maps.at(bx + dx, by + dy)))
                        offset = std::max(offset, kReach + 1 - std::max(std::abs(dx), std::abs(dy)));
            q[i] = static_cast<std::uint8_t>(std::max(1, base - offset));
        }
    return q;
}

} // namespace tav::quality
