#include "platform/bmp/Bmp.h"

#include <array>
#include <cmath>
#include <fstream>

namespace tav::bmp {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
// Keeps a damaged header from asking for an absurd image before the size check against the file.
constexpr std::int64_t kMaxSide = 1 << 16;

std::uint32_t u32(const std::uint8_t *p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t u16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void put16(std::vector<std::uint8_t> &out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint8_t luminance(unsigned r, unsigned g, unsigned b)
{
    return static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

std::vector<std::uint8_t> header(const GreyImage &image, int bits, std::span<const std::array<std::uint8_t, 3>> palette)
{
    if (image.width < 1 || image.height < 1 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        throw BmpError("Imagen vacía o incompleta: no se puede guardar como BMP");
    const std::uint32_t rowBytes =
        ((static_cast<std::uint32_t>(image.width) * static_cast<std::uint32_t>(bits) + 31) / 32) * 4;
    const std::uint32_t paletteBytes = static_cast<std::uint32_t>(palette.size()) * 4;
    const std::uint32_t offset = static_cast<std::uint32_t>(kFileHeader + kInfoHeader) + paletteBytes;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    const std::uint32_t ppm = image.ppi > 0 ? static_cast<std::uint32_t>(std::lround(image.ppi / 0.0254)) : 0;
    std::vector<std::uint8_t> out;
    out.reserve(offset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageBytes);
    put32(out, 0);
    put32(out, offset);
    put32(out, kInfoHeader);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height)); // positive: bottom-up
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0); // no compression
    put32(out, imageBytes);
    put32(out, ppm);
    put32(out, ppm);
    put32(out, static_cast<std::uint32_t>(palette.size()));
    put32(out, 0);
    for (const auto &c : palette) {
        out.push_back(c[2]);
        out.push_back(c[1]);
        out.push_back(c[0]);
        out.push_back(0);
    }
    return out;
}

} // namespace

GreyImage decode(std::span<const std::uint8_t> data)
{
    if (data.size() < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M')
        throw BmpError("El archivo no es un BMP");
    const std::uint8_t *info = data.data() + kFileHeader;
    const std::uint32_t infoSize = u32(info);
    if (infoSize < kInfoHeader || infoSize > data.size() - kFileHeader)
        throw BmpError("BMP con encabezado no soportado");
    const std::int64_t width = static_cast<std::int32_t>(u32(info + 4));
    const std::int64_t rawHeight = static_cast<std::int32_t>(u32(info + 8));
    const int bits = u16(info + 14);
    const std::uint32_t compression = u32(info + 16);
    const std::int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    const bool topDown = rawHeight < 0;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        throw BmpError("BMP con tamaño inválido");
    if (compression != 0)
        throw BmpError("BMP comprimido: no soportado");
    if (bits != 1 && bits != 8 && bits != 24)
        throw BmpError("BMP de " + std::to_string(bits) + " bits por píxel: no soportado");

    // Palette as grey levels.
    std::array<std::uint8_t, 256> grey{};
    if (bits <= 8) {
        std::uint32_t colours = u32(info + 32);
        const std::uint32_t maxColours = 1U << bits;
        if (colours == 0 || colours > maxColours)
            colours = maxColours;
        const std::size_t paletteAt = kFileHeader + infoSize;
        const std::size_t available = data.size() > paletteAt ? (data.size() - paletteAt) / 4 : 0;
        if (available < colours)
            throw BmpError("BMP dañado: paleta incompleta");
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t *c = data.data() + paletteAt + 4 * i;
            grey[i] = luminance(c[2], c[1], c[0]);
        }
    }
    const std::uint64_t rowBytes =
        ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bits) + 31) / 32) * 4;
    const std::uint32_t offset = u32(data.data() + 10);
    if (offset > data.size() || rowBytes * static_cast<std::uint64_t>(height) > data.size() - offset)
        throw BmpError("BMP dañado: faltan datos de la imagen");

    GreyImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    const std::int32_t ppm = static_cast<std::int32_t>(u32(info + 24));
    image.ppi = ppm > 0 ? static_cast<int>(std::lround(ppm * 0.0254)) : 0;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t fileRow = topDown ? y : height - 1 - y;
        const std::uint8_t *src = data.data() + offset + static_cast<std::size_t>(fileRow) * rowBytes;
        std::uint8_t *dst = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (std::int64_t x = 0; x < width; ++x) {
            if (bits == 8)
                dst[x] = grey[src[x]];
            else if (bits == 24)
                dst[x] = luminance(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            else
                dst[x] = grey[(src[x / 8] >> (7 - x % 8)) & 1];
        }
    }
    return image;
}

std::vector<std::uint8_t> encodeGrey(const GreyImage &image)
{
    std::array<std::array<std::uint8_t, 3>, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(i)};
    std::vector<std::uint8_t> out = header(image, 8, palette);
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t pad = (4 - w % 4) % 4;
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t *row = image.pixels.data() + static_cast<std::size_t>(y) * w;
        out.insert(out.end(), row, row + w);
        out.insert(out.end(), pad, 0);
    }
    return out;
}

std::vector<std::uint8_t> encodeMono(const GreyImage &image, int threshold)
{
    const std::array<std::array<std::uint8_t, 3>, 2> palette{{{0, 0, 0}, {255, 255, 255}}};
    std::vector<std::uint8_t> out = header(image, 1, palette);
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t rowBytes = ((w + 31) / 32) * 4;
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        const std::uint8_t *src = image.pixels.data() + static_cast<std::size_t>(y) * w;
        for (std::size_t x = 0; x < w; ++x)
            if (src[x] >= threshold)
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw BmpError("No se puede abrir el archivo " + file.string());
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw BmpError("No se puede leer el archivo " + file.string());
    in.seekg(0);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char *>(data.data()), size))
        throw BmpError("No se puede leer el archivo " + file.string());
    return data;
}

// The bytes go to a sibling file that then takes the name, so a failed or interrupted write never
// leaves a partial file under the final name (a caller that finds the file takes it as complete).
void writeFile(const std::filesystem::path &file, std::span<const std::uint8_t> data)
{
    writeFile(file, {data});
}

void writeFile(const std::filesystem::path &file, std::initializer_list<std::span<const std::uint8_t>> parts)
{
    std::filesystem::path part = file;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out)
            throw BmpError("No se puede crear el archivo " + file.string());
        for (const std::span<const std::uint8_t> &data : parts)
            out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            throw BmpError("No se pudo escribir el archivo " + file.string());
        }
    }
    std::error_code ec;
    std::filesystem::rename(part, file, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        throw BmpError("No se pudo escribir el archivo " + file.string());
    }
}

GreyImage load(const std::filesystem::path &file)
{
    const std::vector<std::uint8_t> data = readFile(file);
    try {
        return decode(data);
    } catch (const BmpError &e) {
        throw BmpError(file.filename().string() + ": " + e.what());
    }
}

void saveGrey(const std::filesystem::path &file, const GreyImage &image)
{
    writeFile(file, encodeGrey(image));
}

void saveMono(const std::filesystem::path &file, const GreyImage &image, int threshold)
{
    writeFile(file, encodeMono(image, threshold));
}

} // namespace tav::bmp
