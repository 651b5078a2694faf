#include "FingerImageFile.h"

#include "platform/wsq/Wsq.h"

#include <png.h>

#include <cctype>
#include <cstring>

namespace tav::fingertool {

namespace {

constexpr std::int64_t kMaxPixels = 64'000'000;

bmp::GreyImage decodePgm(std::span<const std::uint8_t> data)
{
    std::size_t pos = 2;
    auto token = [&]() -> long {
        for (;;) {
            while (pos < data.size() && std::isspace(data[pos]))
                ++pos;
            if (pos < data.size() && data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n')
                    ++pos;
                continue;
            }
            break;
        }
        long v = 0;
        int digits = 0;
        while (pos < data.size() && std::isdigit(data[pos]) && digits < 9) {
            v = v * 10 + (data[pos++] - '0');
            ++digits;
        }
        if (digits == 0)
            throw ImageFileError("Cabecera PGM dañada");
        return v;
    };
    const bool ascii = data[1] == '2';
    const long w = token(), h = token(), maxval = token();
    if (w <= 0 || h <= 0 || w * h > kMaxPixels || maxval <= 0 || maxval > 255)
        throw ImageFileError("Imagen PGM no admitida (se esperan 8 bits de gris)");
    bmp::GreyImage img;
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    img.pixels.resize(static_cast<std::size_t>(w * h));
    if (ascii) {
        for (auto &p : img.pixels)
            p = static_cast<std::uint8_t>(token() * 255 / maxval);
        return img;
    }
    ++pos; // the single white space after maxval
    if (pos > data.size() || data.size() - pos < img.pixels.size())
        throw ImageFileError("Imagen PGM incompleta");
    std::memcpy(img.pixels.data(), data.data() + pos, img.pixels.size());
    if (maxval != 255)
        for (auto &p : img.pixels)
            p = static_cast<std::uint8_t>(std::min<long>(255, p * 255L / maxval));
    return img;
}

bmp::GreyImage decodePng(std::span<const std::uint8_t> data)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        throw ImageFileError(std::string("Imagen PNG dañada: ") + image.message);
    if (static_cast<std::int64_t>(image.width) * image.height > kMaxPixels) {
        png_image_free(&image);
        throw ImageFileError("Imagen PNG demasiado grande");
    }
    image.format = PNG_FORMAT_GRAY;
    bmp::GreyImage img;
    img.width = static_cast<int>(image.width);
    img.height = static_cast<int>(image.height);
    img.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, img.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        throw ImageFileError(std::string("Imagen PNG dañada: ") + image.message);
    }
    return img;
}

} // namespace

bmp::GreyImage decodeGreyImage(std::span<const std::uint8_t> data)
{
    if (data.size() >= 8 && std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return decodePng(data);
    if (data.size() >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '2'))
        return decodePgm(data);
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
        try {
            return bmp::decode(data);
        } catch (const bmp::BmpError &e) {
            throw ImageFileError(e.what());
        }
    }
    if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xA0) {
        try {
            wsq::DecodedImage d = wsq::decode(data);
            bmp::GreyImage img;
            img.width = d.width;
            img.height = d.height;
            img.ppi = d.ppi > 0 ? d.ppi : 0;
            img.pixels = std::move(d.pixels);
            return img;
        } catch (const wsq::WsqError &e) {
            throw ImageFileError(e.what());
        }
    }
    throw ImageFileError("Formato de imagen no reconocido (se admiten PGM, PNG, BMP y WSQ)");
}

bmp::GreyImage loadGreyImage(const std::string &file)
{
    std::vector<std::uint8_t> bytes;
    try {
        bytes = bmp::readFile(file);
    } catch (const std::exception &) {
        throw ImageFileError("No se puede leer el archivo " + file);
    }
    return decodeGreyImage(bytes);
}

} // namespace tav::fingertool
