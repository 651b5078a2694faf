#include "platform/quality/QualityMap.h"

#include <algorithm>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps)
{
    // How far an unusable block, or one of low flow or high curvature, lowers its neighbours' quality; also the
    // margin at the map's edge.
    constexpr int kReach = 2;
    const int w = maps.blocksWide, h = maps.blocksHigh;
    std::vector<std::uint8_t> q(maps.direction.size(), 0);
    auto unusable = [&](std::size_t i) { return maps.lowContrast[i] || maps.direction[i] == kInvalidDirection; };
    auto troubled = [&](std::size_t i) { return maps.lowFlow[i] || maps.highCurvature[i]; };
    for (int by = 0; by < h; ++by)
        for (int bx = 0; bx < w; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (unusable(i))
                continue;
            if (bx < kReach || by < kReach || bx >= w - kReach || by >= h - kReach) {
                q[i] = 1;
                continue;
            }
            bool nearUnusable = false, nearTroubled = false;
            for (int dy = -kReach; dy <= kReach; ++dy)
                for (int dx = -kReach; dx <= kReach; ++dx) {
                    const std::size_t n = maps.at(bx + dx, by + dy);
                    nearUnusable = nearUnusable || unusable(n);
                    nearTroubled = nearTroubled || troubled(n);
                }
            if (troubled(i))
                q[i] = nearUnusable ? 1 : 2;
            else
                q[i] = nearUnusable ? 2 : (nearTroubled ? 3 : 4);
        }
    return q;
}

} // namespace tav::quality
