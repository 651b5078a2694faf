#pragma once

#include <cstdint>

namespace tav::wsq {

enum Marker : std::uint16_t {
    kSoi = 0xFFA0,
    kEoi = 0xFFA1,
    kSof = 0xFFA2,
    kSob = 0xFFA3,
    kDtt = 0xFFA4,
    kDqt = 0xFFA5,
    kDht = 0xFFA6,
    kDrt = 0xFFA7,
    kCom = 0xFFA8,
};

// Zero runs and coefficients of the entropy-coded data as Huffman symbols.
inline constexpr int kMaxDirectRun = 100;
inline constexpr int kEscPos8 = 101;
inline constexpr int kEscNeg8 = 102;
inline constexpr int kEscPos16 = 103;
inline constexpr int kEscNeg16 = 104;
inline constexpr int kEscRun8 = 105;
inline constexpr int kEscRun16 = 106;
inline constexpr int kCoefZero = 180; // symbol = 180 + value for -73..74 (180 itself unused)
inline constexpr int kMinDirectCoef = -73;
inline constexpr int kMaxDirectCoef = 74;

} // namespace tav::wsq
