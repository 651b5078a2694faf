#pragma once

// Reading a finger image file as 8-bit grey, whatever its format: PGM, PNG, BMP or WSQ (told apart by
// their first bytes, not by the file name). Shared by fingertool and the quality report program.

#include "platform/bmp/Bmp.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace tav::fingertool {

class ImageFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Throws ImageFileError (Spanish text naming the problem) for unreadable or unsupported files.
bmp::GreyImage loadGreyImage(const std::string &file);
bmp::GreyImage decodeGreyImage(std::span<const std::uint8_t> data);

} // namespace tav::fingertool
