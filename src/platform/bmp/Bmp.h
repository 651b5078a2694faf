#pragma once

// Uncompressed Windows BMP files for grey images: reading 1, 8 and 24-bit files (bottom-up or
// top-down) as grey, writing 8-bit grey files (256-entry grey palette) and 1-bit files.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <vector>

namespace tav::bmp {

class BmpError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct GreyImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height grey values, top row first, no gaps
    int ppi = 0;                      // 0 when unknown

    std::uint8_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// Reads a BMP. Palette entries and colour pixels become grey by luminance (a grey palette reads
// back unchanged). Throws BmpError with a message naming what is wrong.
GreyImage decode(std::span<const std::uint8_t> data);
GreyImage load(const std::filesystem::path &file);

// 8 bits per pixel, grey palette (entry i = i, i, i), rows bottom-up padded to 4 bytes.
std::vector<std::uint8_t> encodeGrey(const GreyImage &image);
void saveGrey(const std::filesystem::path &file, const GreyImage &image);

// 1 bit per pixel, palette black then white; a pixel below threshold is black.
std::vector<std::uint8_t> encodeMono(const GreyImage &image, int threshold = 128);
void saveMono(const std::filesystem::path &file, const GreyImage &image, int threshold = 128);

// Whole-file helpers shared with the callers that read and write raw bytes. Writing replaces the file
// in one step: it is either the old file or the complete new one.
std::vector<std::uint8_t> readFile(const std::filesystem::path &file);
void writeFile(const std::filesystem::path &file, std::span<const std::uint8_t> data);
// The same with the contents in several pieces (a header and the pixels) written one after another.
void writeFile(const std::filesystem::path &file, std::initializer_list<std::span<const std::uint8_t>> parts);

} // namespace tav::bmp
