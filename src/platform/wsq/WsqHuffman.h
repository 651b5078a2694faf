#pragma once

// Canonical Huffman tables as WSQ stores them (JPEG style: code counts per length 1..16, then symbols).

#include <array>
#include <cstdint>
#include <vector>

namespace tav::wsq {

struct HuffmanTable
{
    std::array<std::uint8_t, 16> counts{}; // codes of length 1..16
    std::vector<std::uint8_t> symbols;     // in code order
};

// Reads the entropy-coded bytes of one block: MSB first, a stuffed zero after every 0xFF data byte.
// At a marker the stream ends; reading past it is reported by overrun() instead of reading further.
class BitReader
{
public:
    BitReader(const std::uint8_t *begin, const std::uint8_t *end) : m_p(begin), m_end(end) {}

    std::uint32_t peek(int n)
    {
        if (m_bits < n)
            fill();
        return static_cast<std::uint32_t>(m_buf >> (64 - n));
    }
    void skip(int n)
    {
        m_buf <<= n;
        m_bits -= n;
    }
    std::uint32_t read(int n)
    {
        const std::uint32_t v = peek(n);
        skip(n);
        return v;
    }
    // True once bits beyond the end of the data (the padding the reader supplies) were consumed.
    bool overrun() const { return m_bits < m_fakeBits; }
    // Drops the 1-bit padding before a restart marker and the marker itself; false when not there.
    bool skipRestart();
    // Position after the data: the marker that ended it (or the end of the input).
    const std::uint8_t *position() const { return m_p; }

private:
    void fill();

    const std::uint8_t *m_p;
    const std::uint8_t *m_end;
    std::uint64_t m_buf = 0;
    int m_bits = 0;
    int m_fakeBits = 0;
    bool m_atMarker = false;
};

class HuffmanDecoder
{
public:
    // Throws WsqError when the counts and symbols do not form a prefix code.
    explicit HuffmanDecoder(const HuffmanTable &table);

    // The next symbol, or -1 when the bits match no code.
    int decode(BitReader &in) const
    {
        const std::uint32_t look = in.peek(kLookBits);
        const std::uint16_t e = m_look[look];
        if (e != 0) {
            in.skip(e >> 8);
            return e & 0xFF;
        }
        return decodeSlow(in);
    }

private:
    static constexpr int kLookBits = 10;
    int decodeSlow(BitReader &in) const;

    std::array<std::uint16_t, 1 << kLookBits> m_look{}; // (length << 8) | symbol, 0 = longer code
    std::array<std::int32_t, 17> m_maxCode{};
    std::array<std::int32_t, 17> m_valOffset{};
    std::vector<std::uint8_t> m_symbols;
};

// Builds a table from symbol frequencies with code lengths of at most 16 and no all-ones code.
HuffmanTable buildHuffmanTable(const std::array<std::uint32_t, 256> &frequencies);

struct HuffmanCodes
{
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
};
HuffmanCodes makeCodes(const HuffmanTable &table);

} // namespace tav::wsq
