#pragma once

#include <cstddef>
#include <cstdint>

namespace tav::imaging {

// The IJG quality (1..100) whose standard luminance table equals the first quantisation table found in a JPEG
// stream or a JPEGTables blob (both baseline 8-bit and 16-bit tables are read); -1 when there is no table or it
// is not a scaled standard table. When several qualities give the same table the lowest is returned, so a caller
// asking "is it within 40..60" must use jpegQualityMatches.
int jpegQualityFromStream(const std::uint8_t *data, std::size_t size);

// True when the first luminance table of the stream equals the standard table scaled for a quality in
// [minQuality, maxQuality].
bool jpegQualityMatches(const std::uint8_t *data, std::size_t size, int minQuality, int maxQuality);

// The compression information code the image controls give a JPEG page of this quality (-1: not recognised).
int compressionInfoForJpegQuality(int quality, bool mediumMatch);

} // namespace tav::imaging
