#include "platform/imaging/JpegQuality.h"

#include "platform/imaging/ImageCodes.h"

#include <array>
#include <optional>

namespace tav::imaging {

namespace {

// The luminance table of the JPEG standard (Annex K), natural order, as libjpeg scales it.
constexpr std::array<int, 64> kStdLuminance = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                               14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                               18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                               49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// Position in natural order of the i-th coefficient in zig-zag order.
constexpr std::array<int, 64> kZigzagToNatural = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                                  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                                  35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                                  58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Table 0 of the first DQT segment that defines it, in natural order.
std::optional<std::array<int, 64>> findLuminanceTable(const std::uint8_t *data, std::size_t size)
{
    if (!data)
        return std::nullopt;
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF || data[pos + 1] != 0xDB) {
            ++pos;
            continue;
        }
        const std::size_t length = (std::size_t(data[pos + 2]) << 8) | data[pos + 3];
        std::size_t p = pos + 4;
        const std::size_t end = pos + 2 + length;
        if (length < 2 || end > size) {
            ++pos;
            continue;
        }
        while (p < end) {
            const int precision = data[p] >> 4;
            const int id = data[p] & 0x0F;
            ++p;
            const std::size_t bytes = precision ? 128 : 64;
            if (p + bytes > end)
                break;
            if (id == 0) {
                std::array<int, 64> table{};
                for (int i = 0; i < 64; ++i) {
                    const int v = precision ? (data[p + 2 * i] << 8) | data[p + 2 * i + 1] : data[p + i];
                    table[std::size_t(kZigzagToNatural[std::size_t(i)])] = v;
                }
                return table;
            }
            p += bytes;
        }
        pos = end;
    }
    return std::nullopt;
}

// libjpeg's jpeg_quality_scaling followed by jpeg_add_quant_table, with and without the baseline clamp.
bool tableMatchesQuality(const std::array<int, 64> &table, int quality)
{
    const long scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    bool baseline = true;
    bool extended = true;
    for (std::size_t i = 0; i < 64; ++i) {
        long v = (kStdLuminance[i] * scale + 50) / 100;
        if (v <= 0)
            v = 1;
        if (v > 32767)
            v = 32767;
        const long b = v > 255 ? 255 : v;
        if (table[i] != b)
            baseline = false;
        if (table[i] != v)
            extended = false;
        if (!baseline && !extended)
            return false;
    }
    return true;
}

} // namespace

int jpegQualityFromStream(const std::uint8_t *data, std::size_t size)
{
    const auto table = findLuminanceTable(data, size);
    if (!table)
        return -1;
    for (int q = 1; q <= 100; ++q) {
        if (tableMatchesQuality(*table, q))
            return q;
    }
    return -1;
}

bool jpegQualityMatches(const std::uint8_t *data, std::size_t size, int minQuality, int maxQuality)
{
    const auto table = findLuminanceTable(data, size);
    if (!table)
        return false;
    for (int q = minQuality; q <= maxQuality; ++q) {
        if (q >= 1 && q <= 100 && tableMatchesQuality(*table, q))
            return true;
    }
    return false;
}

int compressionInfoForJpegQuality(int quality, bool mediumMatch)
{
    if (mediumMatch)
        return CompressionInfo::JpegMediumMediumQuality;
    if (quality < 1)
        return -1;
    if (quality > kJpegMediumMax)
        return CompressionInfo::JpegMediumHighQuality;
    if (quality < kJpegMediumMin)
        return CompressionInfo::JpegMediumLowQuality;
    return CompressionInfo::JpegMediumMediumQuality;
}

} // namespace tav::imaging
