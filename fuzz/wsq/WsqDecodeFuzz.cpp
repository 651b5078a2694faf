// libFuzzer target: any byte string given to the WSQ decoder either decodes or is refused with
// WsqError; never a crash, a hang or an outsize allocation.

#include "platform/wsq/Wsq.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        tav::wsq::DecodeLimits limits;
        limits.maxPixels = 1 << 18; // keeps each run within the fuzzer's memory and time budget
        const tav::wsq::DecodedImage img = tav::wsq::decode({data, size}, limits);
        if (img.pixels.size() != static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height))
            __builtin_trap();
    } catch (const tav::wsq::WsqError &) {
    }
    try {
        (void)tav::wsq::describe({data, size});
    } catch (const tav::wsq::WsqError &) {
        __builtin_trap(); // describe reports errors in its text
    }
    return 0;
}
