#include "platform/quality/QualityMap.h"

#include <algorithm>
#include <cstdlib>

namespace tav::quality {

std::vector<std::uint8_t> qualityMap(const BlockMaps &maps)
{
    const std::size_t n = maps.direction.size();
    std::vector<std::uint8_t> q(n, 0);
    // Baseline: background 0; no ridge flow at all 1; flow only by interpolation 3; sharply turning
    // flow 2; otherwise 4. Background and blocks without flow are unusable.
    std::vector<std::uint8_t> unusable(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (maps.lowContrast[i]) {
            q[i] = 0;
            unusable[i] = 1;
        } else if (maps.direction[i] == kInvalidDirection) {
            q[i] = 1;
            unusable[i] = 1;
        } else if (maps.lowFlow[i]) {
            q[i] = 3;
        } else if (maps.highCurvature[i]) {
            q[i] = 2;
        } else {
            q[i] = 4;
        }
    }
    // Near unusable blocks (or the image's edge) the quality drops: one or two blocks away to 2, three
    // or four away to 3.
    constexpr int kReach = 4;
    constexpr std::uint8_t kCap[kReach + 1] = {4, 2, 2, 3, 3};
    for (int by = 0; by < maps.blocksHigh; ++by)
        for (int bx = 0; bx < maps.blocksWide; ++bx) {
            const std::size_t i = maps.at(bx, by);
            if (unusable[i])
                continue;
            int nearest = kReach + 1;
            for (int dy = -kReach; dy <= kReach; ++dy)
                for (int dx = -kReach; dx <= kReach; ++dx) {
                    const int dist = std::max(std::abs(dx), std::abs(dy));
                    if (dist == 0 || dist >= nearest)
                        continue;
                    const int nx = bx + dx, ny = by + dy;
                    if (!maps.inside(nx, ny) || unusable[maps.at(nx, ny)])
                        nearest = dist;
                }
            if (nearest <= kReach)
                q[i] = std::min(q[i], kCap[nearest]);
        }
    return q;
}

} // namespace tav::quality
