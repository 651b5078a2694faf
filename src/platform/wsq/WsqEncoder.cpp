#include "platform/wsq/Wsq.h"
#include "platform/wsq/WsqHuffman.h"
#include "platform/wsq/WsqLayout.h"
#include "platform/wsq/WsqMarkers.h"
#include "platform/wsq/WsqPlane.h"
#include "platform/wsq/WsqTransform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tav::wsq {

namespace {

// A positive value as the format stores it: an integer of at most maxValue and a power of ten,
// with as many decimals as fit.
struct Scaled
{
    int exponent = 0;
    std::uint32_t value = 0;
    double actual() const
    {
        double p = 1;
        for (int i = 0; i < exponent; ++i)
            p *= 10.0;
        return value / p;
    }
};

Scaled toScaled(double v, double maxValue)
{
    Scaled s;
    if (!(v > 0))
        return s;
    if (v >= maxValue) {
        s.value = static_cast<std::uint32_t>(maxValue);
        return s;
    }
    double p = 1;
    int e = 0;
    while (e < 20 && std::round(v * p * 10.0) <= maxValue) {
        p *= 10.0;
        ++e;
    }
    s.exponent = e;
    s.value = static_cast<std::uint32_t>(std::round(v * p));
    return s;
}

class ByteWriter
{
public:
    void u8(unsigned v) { m_out.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v >> 8);
        u8(v & 0xFF);
    }
    void u32(std::uint32_t v)
    {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void scaled16(double v)
    {
        const Scaled s = toScaled(v, 65535);
        u8(static_cast<unsigned>(s.exponent));
        u16(s.value);
    }
    // A segment: marker, then a length that counts itself and the body.
    void segment(std::uint16_t marker, const std::vector<std::uint8_t> &body)
    {
        u16(marker);
        u16(static_cast<unsigned>(body.size() + 2));
        m_out.insert(m_out.end(), body.begin(), body.end());
    }
    std::vector<std::uint8_t> &bytes() { return m_out; }

private:
    std::vector<std::uint8_t> m_out;
};

class BitWriter
{
public:
    explicit BitWriter(std::vector<std::uint8_t> &out) : m_out(out) {}
    // Appends the low n bits of bits (n <= 16), most significant first.
    void put(std::uint32_t bits, int n)
    {
        m_acc = (m_acc << n) | (bits & ((1U << n) - 1));
        m_count += n;
        while (m_count >= 8) {
            m_count -= 8;
            emit(static_cast<std::uint8_t>(m_acc >> m_count));
        }
    }
    // Pads the last byte with 1-bits.
    void finish()
    {
        if (m_count > 0)
            put((1U << (8 - m_count)) - 1, 8 - m_count);
    }

private:
    void emit(std::uint8_t b)
    {
        m_out.push_back(b);
        if (b == 0xFF)
            m_out.push_back(0x00);
    }
    std::vector<std::uint8_t> &m_out;
    std::uint64_t m_acc = 0;
    int m_count = 0;
};

// One symbol with its extra bits (8 or 16 raw bits after escapes).
struct Token
{
    std::uint8_t symbol;
    std::uint8_t extraBits;
    std::uint16_t extra;
};

void emitRun(std::vector<Token> &out, std::size_t run)
{
    while (run > 0) {
        if (run <= kMaxDirectRun) {
            out.push_back({static_cast<std::uint8_t>(run), 0, 0});
            run = 0;
        } else if (run <= 0xFF) {
            out.push_back({kEscRun8, 8, static_cast<std::uint16_t>(run)});
            run = 0;
        } else {
            const std::size_t n = std::min<std::size_t>(run, 0xFFFF);
            out.push_back({kEscRun16, 16, static_cast<std::uint16_t>(n)});
            run -= n;
        }
    }
}

void emitCoefficient(std::vector<Token> &out, int v)
{
    if (v >= kMinDirectCoef && v <= kMaxDirectCoef) {
        out.push_back({static_cast<std::uint8_t>(kCoefZero + v), 0, 0});
        return;
    }
    const int mag = std::min(std::abs(v), 0xFFFF);
    if (mag <= 0xFF)
        out.push_back({static_cast<std::uint8_t>(v > 0 ? kEscPos8 : kEscNeg8), 8, static_cast<std::uint16_t>(mag)});
    else
        out.push_back({static_cast<std::uint8_t>(v > 0 ? kEscPos16 : kEscNeg16), 16, static_cast<std::uint16_t>(mag)});
}

double subbandWeight(int k)
{
    switch (k) {
    case 52:
    case 56:
        return 1.32;
    case 53:
    case 55:
    case 58:
    case 59:
        return 1.08;
    case 54:
    case 57:
        return 1.42;
    default:
        return 1.0;
    }
}

double areaFraction(int k)
{
    return k < 4 ? 1.0 / 1024 : (k < 51 ? 1.0 / 256 : 1.0 / 16);
}

// Variance (N - 1 divisor) of a window of the plane.
double variance(const Sample *plane, int width, const Rect &w)
{
    const std::size_t n = static_cast<std::size_t>(w.w) * static_cast<std::size_t>(w.h);
    if (n < 2)
        return 0;
    double sum = 0, sumSq = 0;
    for (int y = 0; y < w.h; ++y) {
        const Sample *row = plane + static_cast<std::ptrdiff_t>(w.y + y) * width + w.x;
        for (int x = 0; x < w.w; ++x) {
            const double v = row[x];
            sum += v;
            sumSq += v * v;
        }
    }
    return std::max(0.0, (sumSq - sum * sum / static_cast<double>(n)) / static_cast<double>(n - 1));
}

// Bin widths for the target bit rate (encoder number one): subbands whose variance is too small are
// not coded; those whose bin would be wider than five deviations leave the set that sets the scale.
std::array<double, kSubbandCount> binWidths(const std::array<double, kSubbandCount> &var, double bitRate)
{
    std::array<double, kSubbandCount> q{};
    std::array<double, kSubbandCount> qPrime{};
    std::array<bool, kSubbandCount> kept{};
    for (int k = 0; k < kCodedSubbands; ++k) {
        const auto i = static_cast<std::size_t>(k);
        kept[i] = var[i] >= 1.01;
        if (kept[i])
            qPrime[i] = k < 4 ? 1.0 : 10.0 / (subbandWeight(k) * std::log(var[i]));
    }
    double scale = 0;
    for (;;) {
        double s = 0, logP = 0;
        for (int k = 0; k < kCodedSubbands; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (!kept[i])
                continue;
            s += areaFraction(k);
            logP += areaFraction(k) * std::log(std::sqrt(var[i]) / qPrime[i]);
        }
        if (s <= 0)
            return q; // nothing left to code
        scale = std::pow(2.0, bitRate / s - 1.0) / (2.5 * std::exp(logP / s));
        bool dropped = false;
        for (int k = 0; k < kCodedSubbands; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (kept[i] && qPrime[i] / scale >= 5.0 * std::sqrt(var[i])) {
                kept[i] = false;
                dropped = true;
            }
        }
        if (!dropped)
            break;
    }
    // The dropping only settles the scale; every subband with enough variance is coded with its own
    // bin width (a wide bin leaves mostly zeros), as NIST's reference files show.
    for (int k = 0; k < kCodedSubbands; ++k)
        if (qPrime[static_cast<std::size_t>(k)] > 0)
            q[static_cast<std::size_t>(k)] = qPrime[static_cast<std::size_t>(k)] / scale;
    return q;
}

std::vector<std::uint8_t> dttBody(const HalfFilter &lo, const HalfFilter &hi)
{
    ByteWriter w;
    w.u8(static_cast<unsigned>(lo.length));
    w.u8(static_cast<unsigned>(hi.length));
    for (const HalfFilter *f : {&lo, &hi})
        for (double v : f->half) {
            const Scaled s = toScaled(std::fabs(v), 4294967295.0);
            w.u8(v < 0 ? 1 : 0);
            w.u8(static_cast<unsigned>(s.exponent));
            w.u32(s.value);
        }
    return w.bytes();
}

HalfFilter asStored(HalfFilter f)
{
    for (double &v : f.half)
        v = std::copysign(toScaled(std::fabs(v), 4294967295.0).actual(), v);
    return f;
}

std::vector<std::uint8_t> commentBody(const std::string &text)
{
    return {text.begin(), text.end()};
}

std::string nistComment(int width, int height, int ppi, double bitRate)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%f", bitRate);
    return "NIST_COM 9\nPIX_WIDTH " + std::to_string(width) + "\nPIX_HEIGHT " + std::to_string(height) +
           "\nPIX_DEPTH 8\nPPI " + std::to_string(ppi) + "\nLOSSY 1\nCOLORSPACE GRAY\nCOMPRESSION WSQ\nWSQ_BITRATE " +
           rate;
}

} // namespace

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> pixels, int width, int height,
                                 const EncodeOptions &options)
{
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF)
        throw WsqError("No se puede comprimir en WSQ una imagen de " + std::to_string(width) + " x " +
                       std::to_string(height));
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels.size() < count)
        throw WsqError("Faltan píxeles para comprimir la imagen en WSQ");
    if (!(options.bitRate > 0) || options.bitRate > 8)
        throw WsqError("Tasa de bits WSQ fuera de rango");

    // Shift and scale: pixels become (p - M) / R within about [-128, 128]; the stored (rounded)
    // values are the ones the decoder will use.
    double sum = 0;
    int lo = 255, hi = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += pixels[i];
        lo = std::min<int>(lo, pixels[i]);
        hi = std::max<int>(hi, pixels[i]);
    }
    const double mean = toScaled(sum / static_cast<double>(count), 65535).actual();
    double range = std::max(mean - lo, hi - mean) / 128.0;
    range = range > 0 ? toScaled(range, 65535).actual() : 0;
    if (!(range > 0))
        range = 1; // a flat image: every coefficient is zero

    std::array<Sample, 256> normalised;
    for (int v = 0; v < 256; ++v)
        normalised[static_cast<std::size_t>(v)] = static_cast<Sample>((v - mean) / range);
    Plane plane(count);
    for (std::size_t i = 0; i < count; ++i)
        plane[i] = normalised[pixels[i]];

    const HalfFilter loFilter = asStored(FilterBank::standardLowpass());
    const HalfFilter hiFilter = asStored(FilterBank::standardHighpass());
    const FilterBank bank(loFilter, hiFilter);
    const Layout layout = makeLayout(width, height);
    bank.forward(plane.data(), width, layout);

    // Variances over the central window of each subband, or over the whole subband when the
    // coarsest four carry too little energy.
    std::array<double, kSubbandCount> var{};
    for (int k = 0; k < kCodedSubbands; ++k) {
        const Rect &b = layout.subbands[static_cast<std::size_t>(k)];
        const Rect window{b.x + b.w / 8, b.y + 9 * b.h / 32, 3 * b.w / 4, 7 * b.h / 16};
        var[static_cast<std::size_t>(k)] = variance(plane.data(), width, window);
    }
    if (var[0] + var[1] + var[2] + var[3] < 20000.0)
        for (int k = 0; k < kCodedSubbands; ++k)
            var[static_cast<std::size_t>(k)] =
                variance(plane.data(), width, layout.subbands[static_cast<std::size_t>(k)]);

    std::array<double, kSubbandCount> q = binWidths(var, options.bitRate);
    // A very smooth picture at a high rate can ask for bins so narrow that an index would pass the
    // 16 bits the format gives it; such a subband gets the narrowest bin that still fits.
    for (int k = 0; k < kCodedSubbands; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (q[i] == 0.0)
            continue;
        const Rect &r = layout.subbands[i];
        double peak = 0;
        for (int y = 0; y < r.h; ++y) {
            const Sample *row = plane.data() + static_cast<std::ptrdiff_t>(r.y + y) * width + r.x;
            for (int x = 0; x < r.w; ++x)
                peak = std::max(peak, static_cast<double>(std::fabs(row[x])));
        }
        q[i] = std::max(q[i], peak / 60000.0);
    }
    constexpr double kBinCentre = 0.44;
    std::array<double, kSubbandCount> qs{}, zs{};
    ByteWriter dqt;
    dqt.scaled16(kBinCentre);
    for (int k = 0; k < kSubbandCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        qs[i] = toScaled(q[i], 65535).actual();
        zs[i] = qs[i] > 0 ? toScaled(1.2 * q[i], 65535).actual() : 0;
        dqt.scaled16(qs[i]);
        dqt.scaled16(zs[i]);
    }

    // Quantise and turn each block into symbols.
    std::array<std::vector<Token>, 3> tokens;
    for (std::size_t b = 0; b < 3; ++b) {
        // A block never yields more symbols than coefficients (plus a closing run): reserving that
        // address space up front spares the regrowth copies, and untouched pages take no memory.
        std::size_t coefficients = 1;
        for (int k = kBlocks[b].first; k < kBlocks[b].end; ++k)
            coefficients += static_cast<std::size_t>(layout.subbands[static_cast<std::size_t>(k)].w) *
                            static_cast<std::size_t>(layout.subbands[static_cast<std::size_t>(k)].h);
        tokens[b].reserve(coefficients);
        std::size_t run = 0;
        for (int k = kBlocks[b].first; k < kBlocks[b].end; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (qs[i] == 0.0)
                continue;
            const Rect &r = layout.subbands[i];
            const double binW = qs[i];
            const double halfZ = zs[i] / 2.0;
            for (int y = 0; y < r.h; ++y) {
                const Sample *row = plane.data() + static_cast<std::ptrdiff_t>(r.y + y) * width + r.x;
                for (int x = 0; x < r.w; ++x) {
                    const double a = row[x];
                    long p = 0; // truncation is floor for the non-negative quotients
                    if (a > halfZ)
                        p = static_cast<long>(std::min((a - halfZ) / binW, 1e9)) + 1;
                    else if (a < -halfZ)
                        p = -static_cast<long>(std::min((-a - halfZ) / binW, 1e9)) - 1;
                    if (p == 0) {
                        ++run;
                        continue;
                    }
                    emitRun(tokens[b], run);
                    run = 0;
                    emitCoefficient(tokens[b], static_cast<int>(std::clamp<long>(p, -0xFFFF, 0xFFFF)));
                }
            }
        }
        emitRun(tokens[b], run);
    }

    // One table for block 1, one shared by blocks 2 and 3, built from the data.
    std::array<HuffmanTable, 2> tables;
    for (int t = 0; t < 2; ++t) {
        std::array<std::uint32_t, 256> freq{};
        for (std::size_t b = (t == 0 ? 0 : 1); b < (t == 0 ? 1u : 3u); ++b)
            for (const Token &tok : tokens[b])
                ++freq[tok.symbol];
        if (std::all_of(freq.begin(), freq.end(), [](std::uint32_t f) { return f == 0; }))
            freq[1] = 1; // an empty block still needs a valid table
        tables[static_cast<std::size_t>(t)] = buildHuffmanTable(freq);
    }

    ByteWriter out;
    out.u16(kSoi);
    if (options.nistComment)
        out.segment(kCom, commentBody(nistComment(width, height, options.ppi, options.bitRate)));
    if (!options.comment.empty())
        out.segment(kCom, commentBody(options.comment));
    out.segment(kDtt, dttBody(loFilter, hiFilter));
    out.segment(kDqt, dqt.bytes());
    {
        ByteWriter dht;
        for (int t = 0; t < 2; ++t) {
            const HuffmanTable &table = tables[static_cast<std::size_t>(t)];
            dht.u8(static_cast<unsigned>(t));
            for (std::uint8_t c : table.counts)
                dht.u8(c);
            for (std::uint8_t s : table.symbols)
                dht.u8(s);
        }
        out.segment(kDht, dht.bytes());
    }
    {
        ByteWriter sof;
        sof.u8(0);
        sof.u8(255);
        sof.u16(static_cast<unsigned>(height));
        sof.u16(static_cast<unsigned>(width));
        sof.scaled16(mean);
        sof.scaled16(range);
        sof.u8(2); // encoder number one, as the format numbers it in this field
        sof.u16(1);
        out.segment(kSof, sof.bytes());
    }
    for (std::size_t b = 0; b < 3; ++b) {
        const int tableId = b == 0 ? 0 : 1;
        out.segment(kSob, {static_cast<std::uint8_t>(tableId)});
        const HuffmanCodes codes = makeCodes(tables[static_cast<std::size_t>(tableId)]);
        BitWriter bits(out.bytes());
        for (const Token &tok : tokens[b]) {
            bits.put(codes.code[tok.symbol], codes.length[tok.symbol]);
            if (tok.extraBits)
                bits.put(tok.extra, tok.extraBits);
        }
        bits.finish();
    }
    out.u16(kEoi);
    return std::move(out.bytes());
}

} // namespace tav::wsq
