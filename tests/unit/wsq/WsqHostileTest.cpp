#include "WsqTestUtil.h"
#include "platform/wsq/Wsq.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace tav::wsq {
namespace {

std::vector<std::uint8_t> sample()
{
    static const std::vector<std::uint8_t> file = encode(test::ridges(150, 170), 150, 170);
    return file;
}

// Offset of the first occurrence of a marker.
std::size_t find(const std::vector<std::uint8_t> &f, std::uint8_t second)
{
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] == second)
            return i;
    return f.size();
}

std::string errorOf(const std::vector<std::uint8_t> &f)
{
    try {
        decode(f);
    } catch (const WsqError &e) {
        return e.what();
    }
    return {};
}

TEST(WsqHostile, EveryTruncationIsAnError)
{
    const auto f = sample();
    for (std::size_t n = 0; n < f.size(); n += (n < 1200 ? 1 : 37)) {
        const std::vector<std::uint8_t> cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(errorOf(cut).empty()) << "cut at " << n;
    }
}

TEST(WsqHostile, DamagedStructuresGiveClearErrors)
{
    const auto good = sample();
    struct Case
    {
        const char *what;
        std::function<void(std::vector<std::uint8_t> &)> damage;
        const char *expected;
    };
    const std::vector<Case> cases{
        {"not a WSQ file", [](auto &f) { f[1] = 0xD8; }, "no es WSQ"},
        {"segment length past the end",
         [](auto &f) {
             auto p = find(f, 0xA5);
             f[p + 2] = 0xFF;
             f[p + 3] = 0xF0;
         },
         "excede el archivo"},
        {"Huffman counts that are no code",
         [](auto &f) {
             auto p = find(f, 0xA6);
             f[p + 5] = 3;
         },
         "Huffman"},
        {"absurd frame size",
         [](auto &f) {
             auto p = find(f, 0xA2);
             for (int i = 6; i < 10; ++i)
                 f[p + static_cast<std::size_t>(i)] = 0xFF;
         },
         "demasiado grande"},
        {"zero frame size",
         [](auto &f) {
             auto p = find(f, 0xA2);
             f[p + 8] = 0;
             f[p + 9] = 0;
         },
         "tamaño cero"},
        {"missing block", // the file ends after the second block
         [](auto &f) {
             std::size_t last = 0;
             for (std::size_t i = 0; i + 1 < f.size(); ++i)
                 if (f[i] == 0xFF && f[i + 1] == 0xA3)
                     last = i;
             f.erase(f.begin() + static_cast<std::ptrdiff_t>(last), f.end() - 2);
         },
         "2 de 3 bloques"},
        {"unknown marker",
         [](auto &f) {
             auto p = find(f, 0xA4);
             f[p + 1] = 0xC4;
         },
         "marcador desconocido"},
        {"filters of different parity",
         [](auto &f) {
             auto p = find(f, 0xA4);
             f[p + 4] = 8;
         },
         ""},
        {"zero-length filter",
         [](auto &f) {
             auto p = find(f, 0xA4);
             f[p + 4] = 0;
         },
         "filtro"},
        {"block before the frame header",
         [](auto &f) {
             auto s = find(f, 0xA2);
             auto b = find(f, 0xA3);
             std::vector<std::uint8_t> sof(f.begin() + static_cast<std::ptrdiff_t>(s),
                                           f.begin() + static_cast<std::ptrdiff_t>(s) + 19);
             f.erase(f.begin() + static_cast<std::ptrdiff_t>(s), f.begin() + static_cast<std::ptrdiff_t>(s) + 19);
             (void)b;
             auto e = f.size() - 2;
             f.insert(f.begin() + static_cast<std::ptrdiff_t>(e), sof.begin(), sof.end());
         },
         "antes del encabezado"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> f = good;
        c.damage(f);
        const std::string err = errorOf(f);
        ASSERT_FALSE(err.empty());
        EXPECT_NE(err.find(c.expected), std::string::npos) << err;
    }
}

// Random damage never crashes, hangs or reads out of bounds: the file decodes or is refused.
TEST(WsqHostile, RandomDamageIsRefusedOrDecoded)
{
    const auto good = sample();
    std::mt19937 rng(20261210);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> f = good;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i)
            f[rng() % f.size()] = static_cast<std::uint8_t>(rng());
        try {
            const DecodedImage d = decode(f, DecodeLimits{4'000'000});
            EXPECT_EQ(d.pixels.size(), static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height));
        } catch (const WsqError &) {
        }
    }
}

} // namespace
} // namespace tav::wsq
