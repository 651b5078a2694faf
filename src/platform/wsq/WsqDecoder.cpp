#include "platform/wsq/Wsq.h"
#include "platform/wsq/WsqHuffman.h"
#include "platform/wsq/WsqLayout.h"
#include "platform/wsq/WsqMarkers.h"
#include "platform/wsq/WsqPlane.h"
#include "platform/wsq/WsqTransform.h"

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace tav::wsq {

namespace {

std::string hex(unsigned v)
{
    static const char *digits = "0123456789ABCDEF";
    std::string s = "0x0000";
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(5 - i)] = digits[(v >> (4 * i)) & 0xF];
    return s;
}

const char *markerName(unsigned m)
{
    switch (m) {
    case kSoi:
        return "SOI";
    case kEoi:
        return "EOI";
    case kSof:
        return "SOF";
    case kSob:
        return "SOB";
    case kDtt:
        return "DTT";
    case kDqt:
        return "DQT";
    case kDht:
        return "DHT";
    case kDrt:
        return "DRT";
    case kCom:
        return "COM";
    default:
        return "?";
    }
}

// Bounds-checked big-endian reader over one segment.
class Reader
{
public:
    Reader(const std::uint8_t *p, const std::uint8_t *end, const char *what) : m_p(p), m_end(end), m_what(what) {}
    std::uint8_t u8()
    {
        need(1);
        return *m_p++;
    }
    std::uint16_t u16()
    {
        need(2);
        const std::uint16_t v = static_cast<std::uint16_t>((m_p[0] << 8) | m_p[1]);
        m_p += 2;
        return v;
    }
    std::uint32_t u32()
    {
        need(4);
        const std::uint32_t v =
            (std::uint32_t{m_p[0]} << 24) | (std::uint32_t{m_p[1]} << 16) | (std::uint32_t{m_p[2]} << 8) | m_p[3];
        m_p += 4;
        return v;
    }
    // A scaled value: an exponent byte, then the integer; value = integer / 10^exponent. The value is
    // taken to single precision and divided by ten once per unit of the exponent, rounding each step:
    // decoders that agree on the reconstructed pixels must agree on these bits.
    double scaled16()
    {
        const int e = u8();
        const std::uint16_t v = u16();
        return scale(v, e);
    }
    static double scale(std::uint32_t v, int e)
    {
        auto f = static_cast<float>(v);
        for (int i = 0; i < e; ++i)
            f = static_cast<float>(static_cast<double>(f) / 10.0);
        return f;
    }
    std::size_t left() const { return static_cast<std::size_t>(m_end - m_p); }
    const std::uint8_t *pos() const { return m_p; }

private:
    void need(std::size_t n) const
    {
        if (left() < n)
            throw WsqError(std::string("Archivo WSQ dañado: segmento ") + m_what + " incompleto");
    }
    const std::uint8_t *m_p;
    const std::uint8_t *m_end;
    const char *m_what;
};

struct Frame
{
    int black = 0, white = 255;
    int height = 0, width = 0;
    double mean = 0, scale = 1;
    int encoder = 0, software = 0;
};

class Decoder
{
public:
    Decoder(std::span<const std::uint8_t> data, const DecodeLimits &limits, std::ostream *log)
        : m_begin(data.data()), m_end(data.data() + data.size()), m_limits(limits), m_log(log)
    {}

    DecodedImage run();

private:
    std::uint16_t marker(const std::uint8_t *&p);
    Reader segment(const std::uint8_t *&p, std::uint16_t m);
    void readTransformTable(Reader r);
    void readQuantTable(Reader r);
    void readHuffmanTables(Reader r);
    void readFrame(Reader r);
    void readComment(Reader r);
    const std::uint8_t *decodeBlock(int block, int tableId, const std::uint8_t *p);

    const std::uint8_t *m_begin;
    const std::uint8_t *m_end;
    DecodeLimits m_limits;
    std::ostream *m_log;

    std::optional<HalfFilter> m_lo, m_hi;
    bool m_haveQuant = false;
    double m_binCentre = 0;
    std::array<double, kSubbandCount> m_q{}, m_z{};
    std::map<int, std::unique_ptr<HuffmanDecoder>> m_huffman;
    std::optional<Frame> m_frame;
    Layout m_layout{};
    std::unique_ptr<Plane> m_plane; // from the first block on
    int m_blocks = 0;
    int m_restartInterval = 0;
    int m_ppi = -1;
};

std::uint16_t Decoder::marker(const std::uint8_t *&p)
{
    if (m_end - p < 2)
        throw WsqError("Archivo WSQ truncado: falta el marcador de fin (EOI)");
    if (p[0] != 0xFF)
        throw WsqError("Archivo WSQ dañado: se esperaba un marcador en la posición " + std::to_string(p - m_begin));
    const std::uint16_t m = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    p += 2;
    return m;
}

Reader Decoder::segment(const std::uint8_t *&p, std::uint16_t m)
{
    if (m_end - p < 2)
        throw WsqError(std::string("Archivo WSQ truncado en el segmento ") + markerName(m));
    const std::size_t len = static_cast<std::size_t>((p[0] << 8) | p[1]);
    if (len < 2 || len > static_cast<std::size_t>(m_end - p))
        throw WsqError(std::string("Archivo WSQ dañado: el largo del segmento ") + markerName(m) +
                       " excede el archivo");
    if (m_log)
        *m_log << markerName(m) << " at " << (p - 2 - m_begin) << ", length " << len << "\n";
    Reader r(p + 2, p + len, markerName(m));
    p += len;
    return r;
}

void Decoder::readTransformTable(Reader r)
{
    HalfFilter f[2];
    f[0].length = r.u8();
    f[1].length = r.u8();
    for (HalfFilter &h : f) {
        if (h.length == 0)
            throw WsqError("Archivo WSQ dañado: filtro de largo cero");
        const int taps = (h.length + 1) / 2;
        for (int i = 0; i < taps; ++i) {
            const int sign = r.u8();
            const int e = r.u8();
            const double v = Reader::scale(r.u32(), e);
            h.half.push_back(sign ? -v : v);
        }
    }
    if (m_log) {
        *m_log << "  lowpass " << f[0].length << " taps, highpass " << f[1].length << " taps\n";
        for (int k = 0; k < 2; ++k) {
            *m_log << (k ? "  hi:" : "  lo:");
            for (double v : f[k].half)
                *m_log << ' ' << v;
            *m_log << "\n";
        }
    }
    FilterBank check(f[0], f[1]); // refuse unusable filters now, with a clear message
    m_lo = std::move(f[0]);
    m_hi = std::move(f[1]);
}

void Decoder::readQuantTable(Reader r)
{
    m_binCentre = r.scaled16();
    int kept = 0;
    for (int k = 0; k < kSubbandCount; ++k) {
        m_q[static_cast<std::size_t>(k)] = r.scaled16();
        m_z[static_cast<std::size_t>(k)] = r.scaled16();
        if (m_q[static_cast<std::size_t>(k)] != 0.0)
            ++kept;
    }
    m_haveQuant = true;
    if (m_log)
        *m_log << "  bin centre " << m_binCentre << ", " << kept << " coded subbands\n";
}

void Decoder::readHuffmanTables(Reader r)
{
    while (r.left() > 0) {
        const int id = r.u8();
        HuffmanTable t;
        std::size_t total = 0;
        for (auto &c : t.counts) {
            c = r.u8();
            total += c;
        }
        if (total > 256)
            throw WsqError("Tabla Huffman WSQ inválida: más de 256 códigos");
        for (std::size_t i = 0; i < total; ++i)
            t.symbols.push_back(r.u8());
        m_huffman[id] = std::make_unique<HuffmanDecoder>(t);
        if (m_log)
            *m_log << "  Huffman table " << id << ": " << total << " codes\n";
    }
}

void Decoder::readFrame(Reader r)
{
    if (m_frame)
        throw WsqError("Archivo WSQ dañado: más de un encabezado de cuadro (SOF)");
    Frame f;
    f.black = r.u8();
    f.white = r.u8();
    f.height = r.u16();
    f.width = r.u16();
    f.mean = r.scaled16();
    f.scale = r.scaled16();
    f.encoder = r.u8();
    f.software = r.u16();
    if (m_log)
        *m_log << "  " << f.width << " x " << f.height << ", black " << f.black << ", white " << f.white << ", mean "
               << f.mean << ", scale " << f.scale << ", encoder " << f.encoder << ", software " << f.software << "\n";
    if (f.width == 0 || f.height == 0)
        throw WsqError("Archivo WSQ dañado: imagen de tamaño cero");
    if (static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height) > m_limits.maxPixels)
        throw WsqError("Imagen WSQ demasiado grande: " + std::to_string(f.width) + " x " + std::to_string(f.height));
    m_frame = f;
    m_layout = makeLayout(f.width, f.height);
}

void Decoder::readComment(Reader r)
{
    std::string text(reinterpret_cast<const char *>(r.pos()), r.left());
    if (m_log)
        *m_log << "  \"" << text.substr(0, 200) << (text.size() > 200 ? "...\"\n" : "\"\n");
    // NISTCOM: "NIST_COM n" then "KEY value" lines; only the resolution matters here.
    if (text.rfind("NIST_COM", 0) != 0)
        return;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PPI ", 0) == 0) {
            try {
                const int v = std::stoi(line.substr(4));
                if (v > 0)
                    m_ppi = v;
            } catch (const std::exception &) {
                // a resolution that is not a number is ignored
            }
        }
    }
}

const std::uint8_t *Decoder::decodeBlock(int block, int tableId, const std::uint8_t *p)
{
    const auto found = m_huffman.find(tableId);
    if (found == m_huffman.end())
        throw WsqError("Archivo WSQ dañado: falta la tabla Huffman " + std::to_string(tableId));
    const HuffmanDecoder &huff = *found->second;
    const int width = m_frame->width;
    if (!m_plane)
        m_plane = std::make_unique<Plane>(static_cast<std::size_t>(width) * static_cast<std::size_t>(m_frame->height));

    // The block's coefficients in order: subband by subband, raster order inside each.
    struct Band
    {
        Rect r;
        Sample q, halfZ, c;
    };
    std::vector<Band> bands;
    std::size_t total = 0;
    for (int k = kBlocks[static_cast<std::size_t>(block)].first; k < kBlocks[static_cast<std::size_t>(block)].end;
         ++k) {
        const double q = m_q[static_cast<std::size_t>(k)];
        const Rect &r = m_layout.subbands[static_cast<std::size_t>(k)];
        if (q == 0.0 || r.w == 0 || r.h == 0)
            continue;
        bands.push_back({r, static_cast<Sample>(q), static_cast<Sample>(m_z[static_cast<std::size_t>(k)] / 2.0),
                         static_cast<Sample>(m_binCentre)});
        total += static_cast<std::size_t>(r.w) * static_cast<std::size_t>(r.h);
    }

    BitReader in(p, m_end);
    std::size_t bandIndex = 0;
    int row = 0, col = 0;
    std::size_t done = 0;
    auto skipZeros = [&](std::size_t n) {
        if (n > total - done)
            throw WsqError("Archivo WSQ dañado: una racha de ceros excede el bloque " + std::to_string(block + 1));
        done += n;
        while (n > 0) {
            const Rect &r = bands[bandIndex].r;
            const std::size_t rowLeft = static_cast<std::size_t>(r.w - col);
            if (n < rowLeft) {
                col += static_cast<int>(n);
                break;
            }
            n -= rowLeft;
            col = 0;
            if (++row == r.h) {
                row = 0;
                ++bandIndex;
            }
        }
    };
    auto put = [&](int v) {
        if (done >= total)
            throw WsqError("Archivo WSQ dañado: sobran coeficientes en el bloque " + std::to_string(block + 1));
        const Band &b = bands[bandIndex];
        Sample value = 0;
        if (v > 0)
            value = (static_cast<Sample>(v) - b.c) * b.q + b.halfZ;
        else
            value = (static_cast<Sample>(v) + b.c) * b.q - b.halfZ;
        (*m_plane)[static_cast<std::size_t>(b.r.y + row) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(b.r.x + col)] = value;
        ++done;
        if (++col == b.r.w) {
            col = 0;
            if (++row == b.r.h) {
                row = 0;
                ++bandIndex;
            }
        }
    };

    while (done < total) {
        if (m_restartInterval > 0)
            in.skipRestart();
        const int s = huff.decode(in);
        if (s < 0)
            throw WsqError("Archivo WSQ dañado: código Huffman desconocido en el bloque " + std::to_string(block + 1));
        if (s >= 1 && s <= kMaxDirectRun)
            skipZeros(static_cast<std::size_t>(s));
        else if (s == kEscPos8)
            put(static_cast<int>(in.read(8)));
        else if (s == kEscNeg8)
            put(-static_cast<int>(in.read(8)));
        else if (s == kEscPos16)
            put(static_cast<int>(in.read(16)));
        else if (s == kEscNeg16)
            put(-static_cast<int>(in.read(16)));
        else if (s == kEscRun8)
            skipZeros(in.read(8));
        else if (s == kEscRun16)
            skipZeros(in.read(16));
        else if (s >= kCoefZero + kMinDirectCoef && s <= kCoefZero + kMaxDirectCoef && s != kCoefZero)
            put(s - kCoefZero);
        else
            throw WsqError("Archivo WSQ dañado: símbolo " + std::to_string(s) + " no válido en el bloque " +
                           std::to_string(block + 1));
        if (in.overrun())
            throw WsqError("Archivo WSQ truncado: faltan datos del bloque " + std::to_string(block + 1));
    }
    // Skip the padding up to the next marker.
    const std::uint8_t *q = in.position();
    while (q + 1 < m_end && !(q[0] == 0xFF && q[1] != 0x00 && (q[1] & 0xF8) != 0xB0))
        ++q;
    if (m_log)
        *m_log << "  block " << (block + 1) << ": " << bands.size() << " subbands, " << total << " coefficients, "
               << (q - p) << " bytes\n";
    return q;
}

DecodedImage Decoder::run()
{
    const std::uint8_t *p = m_begin;
    if (m_end - p < 2 || p[0] != 0xFF || p[1] != (kSoi & 0xFF))
        throw WsqError("El archivo no es WSQ: no comienza con el marcador SOI");
    p += 2;
    if (m_log)
        *m_log << "SOI at 0\n";
    for (;;) {
        const std::uint16_t m = marker(p);
        switch (m) {
        case kEoi:
            if (m_log)
                *m_log << "EOI at " << (p - 2 - m_begin) << "\n";
            if (m_blocks < 3)
                throw WsqError("Archivo WSQ incompleto: tiene " + std::to_string(m_blocks) + " de 3 bloques");
            goto done;
        case kSof:
            readFrame(segment(p, m));
            break;
        case kDtt:
            readTransformTable(segment(p, m));
            break;
        case kDqt:
            readQuantTable(segment(p, m));
            break;
        case kDht:
            readHuffmanTables(segment(p, m));
            break;
        case kCom:
            readComment(segment(p, m));
            break;
        case kDrt: {
            Reader r = segment(p, m);
            m_restartInterval = r.u16();
            break;
        }
        case kSob: {
            Reader r = segment(p, m);
            const int table = r.u8();
            if (!m_frame)
                throw WsqError("Archivo WSQ dañado: bloque antes del encabezado de cuadro (SOF)");
            if (!m_haveQuant)
                throw WsqError("Archivo WSQ dañado: bloque sin tabla de cuantificación (DQT)");
            if (m_blocks >= 3)
                throw WsqError("Archivo WSQ dañado: más de 3 bloques");
            p = decodeBlock(m_blocks, table, p);
            ++m_blocks;
            break;
        }
        default:
            throw WsqError("Archivo WSQ dañado: marcador desconocido " + hex(m) + " en la posición " +
                           std::to_string(p - 2 - m_begin));
        }
    }
done:
    if (!m_frame)
        throw WsqError("Archivo WSQ dañado: falta el encabezado de cuadro (SOF)");
    if (!m_lo || !m_hi)
        throw WsqError("Archivo WSQ dañado: falta la tabla de filtros (DTT)");
    const Frame &f = *m_frame;
    FilterBank bank(*m_lo, *m_hi);
    Plane &plane = *m_plane; // three blocks were read
    bank.inverse(plane.data(), f.width, m_layout);

    DecodedImage img;
    img.width = f.width;
    img.height = f.height;
    img.ppi = m_ppi;
    img.pixels.resize(plane.size());
    const Sample scale = static_cast<Sample>(f.scale);
    const Sample mean = static_cast<Sample>(f.mean);
    for (std::size_t i = 0; i < plane.size(); ++i) {
        // Rounded half up and limited to 0..255 (a NaN from absurd filters gives 0).
        const Sample v = plane[i] * scale + mean + Sample{0.5f};
        img.pixels[i] = !(v >= 1) ? 0 : (v >= 255 ? 255 : static_cast<std::uint8_t>(v));
    }
    return img;
}

} // namespace

DecodedImage decode(std::span<const std::uint8_t> data, const DecodeLimits &limits)
{
    return Decoder(data, limits, nullptr).run();
}

std::string describe(std::span<const std::uint8_t> data, bool *ok)
{
    std::ostringstream out;
    try {
        Decoder(data, {}, &out).run();
        if (ok)
            *ok = true;
    } catch (const WsqError &e) {
        out << "ERROR: " << e.what() << "\n";
        if (ok)
            *ok = false;
    }
    return out.str();
}

} // namespace tav::wsq
