#pragma once

// Our own codec for WSQ, the FBI's wavelet compression of 8-bit grey fingerprint images at 500 ppi.
// Plain C++: the finger files, the command-line tool and the verification service all use it in-process.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tav::wsq {

// Every problem with a WSQ stream or with encoder input; the text is ready for the user.
class WsqError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct DecodedImage
{
    int width = 0;
    int height = 0;
    int ppi = -1;                     // from a NISTCOM comment, -1 when the file does not say
    bool lossy = true;                // WSQ is always lossy; kept for callers that mirror the NIST interface
    std::vector<std::uint8_t> pixels; // width * height grey values, top row first, no gaps
};

struct DecodeLimits
{
    // Refuse frames larger than this before allocating anything (a 1600 x 1500 slap is 2.4 Mpx).
    std::size_t maxPixels = 40'000'000;
};

DecodedImage decode(std::span<const std::uint8_t> data, const DecodeLimits &limits = {});

struct EncodeOptions
{
    double bitRate = 0.75; // target bits per pixel
    int ppi = 500;
    bool nistComment = true; // write the NISTCOM comment (size, depth, ppi, lossy, bit rate)
    std::string comment;     // extra COM text, written when not empty
};

// Encodes width * height grey pixels (top row first) with the FBI's encoder number one.
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> pixels, int width, int height,
                                 const EncodeOptions &options = {});

// A readable listing of a file's segments, frame header, filters, tables and block sizes. A damaged file
// ends the listing with an "ERROR:" line and sets *ok to false.
std::string describe(std::span<const std::uint8_t> data, bool *ok = nullptr);

} // namespace tav::wsq
