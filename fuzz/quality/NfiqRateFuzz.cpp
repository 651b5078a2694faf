// libFuzzer target: any pixels of any shape given to the rating get a level 1..5 and a known status;
// never a crash, a hang or an outsize allocation. The first two bytes choose the width (the height
// follows from the rest), so blank, striped, tiny and long thin images are all reached.

#include "platform/quality/Nfiq.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int width = (data[0] | (data[1] << 8)) % 2001;
    const std::span<const std::uint8_t> pixels(data + 2, size - 2);
    const int height = width > 0 ? static_cast<int>(pixels.size() / static_cast<std::size_t>(width)) : 0;
    const tav::quality::Rating r = tav::quality::rate(pixels, width, height);
    if (r.level < 1 || r.level > 5)
        __builtin_trap();
    if (r.status != tav::quality::kValid && r.status != tav::quality::kEmptyImage &&
        r.status != tav::quality::kTooFewMinutiae)
        __builtin_trap();
    return 0;
}
