#include "platform/wsq/WsqHuffman.h"

#include "platform/wsq/Wsq.h"

#include <algorithm>

namespace tav::wsq {

void BitReader::fill()
{
    while (m_bits <= 56) {
        std::uint8_t b = 0xFF;
        if (!m_atMarker && m_p < m_end) {
            b = *m_p;
            if (b == 0xFF) {
                if (m_p + 1 < m_end && m_p[1] == 0x00) {
                    m_p += 2;
                } else {
                    m_atMarker = true;
                    continue;
                }
            } else {
                ++m_p;
            }
        } else {
            m_fakeBits += 8;
        }
        m_buf |= static_cast<std::uint64_t>(b) << (56 - m_bits);
        m_bits += 8;
    }
}

bool BitReader::skipRestart()
{
    if (m_bits < 8 && !m_atMarker)
        fill();
    if (!m_atMarker || m_p + 1 >= m_end || (m_p[1] & 0xF8) != 0xB0)
        return false;
    const int real = m_bits - m_fakeBits;
    if (real >= 8)
        return false;
    if (real > 0 && (m_buf >> (64 - real)) != (std::uint64_t{1} << real) - 1)
        return false;
    m_p += 2;
    m_buf = 0;
    m_bits = 0;
    m_fakeBits = 0;
    m_atMarker = false;
    return true;
}

HuffmanDecoder::HuffmanDecoder(const HuffmanTable &table) : m_symbols(table.symbols)
{
    std::size_t total = 0;
    for (std::uint8_t c : table.counts)
        total += c;
    if (total == 0 || total > 256 || total != table.symbols.size())
        throw WsqError("Tabla Huffman WSQ inválida: cantidad de códigos incorrecta");
    std::int32_t code = 0;
    std::int32_t index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int count = table.counts[static_cast<std::size_t>(len - 1)];
        m_valOffset[static_cast<std::size_t>(len)] = index - code;
        for (int i = 0; i < count; ++i, ++code, ++index) {
            if (code >= (1 << len))
                throw WsqError("Tabla Huffman WSQ inválida: los largos no forman un código");
            if (len <= kLookBits) {
                const int shift = kLookBits - len;
                const std::uint16_t entry =
                    static_cast<std::uint16_t>((len << 8) | table.symbols[static_cast<std::size_t>(index)]);
                for (int j = 0; j < (1 << shift); ++j)
                    m_look[static_cast<std::size_t>((code << shift) | j)] = entry;
            }
        }
        m_maxCode[static_cast<std::size_t>(len)] = count ? code - 1 : -1;
        code <<= 1;
    }
}

int HuffmanDecoder::decodeSlow(BitReader &in) const
{
    const std::uint32_t bits = in.peek(16);
    for (int len = 1; len <= 16; ++len) {
        const std::int32_t code = static_cast<std::int32_t>(bits >> (16 - len));
        if (code <= m_maxCode[static_cast<std::size_t>(len)]) {
            const std::int32_t idx = code + m_valOffset[static_cast<std::size_t>(len)];
            if (idx < 0 || idx >= static_cast<std::int32_t>(m_symbols.size()))
                return -1;
            in.skip(len);
            return m_symbols[static_cast<std::size_t>(idx)];
        }
    }
    return -1;
}

HuffmanTable buildHuffmanTable(const std::array<std::uint32_t, 256> &frequencies)
{
    // Code sizes by repeatedly merging the two rarest trees; a reserved symbol 256 of frequency one
    // keeps the all-ones code out of the table.
    constexpr int kSymbols = 257;
    std::array<std::uint64_t, kSymbols> freq{};
    for (int i = 0; i < 256; ++i)
        freq[static_cast<std::size_t>(i)] = frequencies[static_cast<std::size_t>(i)];
    freq[256] = 1;
    std::array<int, kSymbols> codeSize{};
    std::array<int, kSymbols> others;
    others.fill(-1);
    for (;;) {
        int c1 = -1, c2 = -1;
        for (int i = 0; i < kSymbols; ++i) {
            if (freq[static_cast<std::size_t>(i)] == 0)
                continue;
            if (c1 < 0 || freq[static_cast<std::size_t>(i)] <= freq[static_cast<std::size_t>(c1)]) {
                c2 = c1;
                c1 = i;
            } else if (c2 < 0 || freq[static_cast<std::size_t>(i)] <= freq[static_cast<std::size_t>(c2)]) {
                c2 = i;
            }
        }
        if (c2 < 0)
            break;
        freq[static_cast<std::size_t>(c1)] += freq[static_cast<std::size_t>(c2)];
        freq[static_cast<std::size_t>(c2)] = 0;
        for (int i = c1;; i = others[static_cast<std::size_t>(i)]) {
            ++codeSize[static_cast<std::size_t>(i)];
            if (others[static_cast<std::size_t>(i)] < 0) {
                others[static_cast<std::size_t>(i)] = c2;
                break;
            }
        }
        for (int i = c2; i >= 0; i = others[static_cast<std::size_t>(i)])
            ++codeSize[static_cast<std::size_t>(i)];
    }
    std::array<int, 33> bits{};
    for (int i = 0; i < kSymbols; ++i)
        if (codeSize[static_cast<std::size_t>(i)] > 0)
            ++bits[static_cast<std::size_t>(std::min(codeSize[static_cast<std::size_t>(i)], 32))];
    // Limit the lengths to 16, keeping the code complete.
    for (int i = 32; i > 16; --i) {
        while (bits[static_cast<std::size_t>(i)] > 0) {
            int j = i - 2;
            while (bits[static_cast<std::size_t>(j)] == 0)
                --j;
            bits[static_cast<std::size_t>(i)] -= 2;
            ++bits[static_cast<std::size_t>(i - 1)];
            bits[static_cast<std::size_t>(j + 1)] += 2;
            --bits[static_cast<std::size_t>(j)];
        }
    }
    int longest = 16;
    while (longest > 0 && bits[static_cast<std::size_t>(longest)] == 0)
        --longest;
    if (longest > 0)
        --bits[static_cast<std::size_t>(longest)]; // the reserved symbol's code goes away

    HuffmanTable table;
    for (int i = 1; i <= 16; ++i)
        table.counts[static_cast<std::size_t>(i - 1)] = static_cast<std::uint8_t>(bits[static_cast<std::size_t>(i)]);
    // Symbols by increasing code size, ties in symbol order.
    for (int size = 1; size <= 32; ++size)
        for (int s = 0; s < 256; ++s)
            if (codeSize[static_cast<std::size_t>(s)] == size)
                table.symbols.push_back(static_cast<std::uint8_t>(s));
    return table;
}

HuffmanCodes makeCodes(const HuffmanTable &table)
{
    HuffmanCodes out;
    std::uint32_t code = 0;
    std::size_t index = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < table.counts[static_cast<std::size_t>(len - 1)]; ++i, ++code, ++index) {
            const std::uint8_t s = table.symbols[index];
            out.code[s] = static_cast<std::uint16_t>(code);
            out.length[s] = static_cast<std::uint8_t>(len);
        }
        code <<= 1;
    }
    return out;
}

} // namespace tav::wsq
