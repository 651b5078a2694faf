#pragma once

// Windows-1252 ("ANSI") conversion, the encoding of every text file and table the office keeps
// on disk. This header has no Qt dependency so that plain C++ code (the dBASE engine and its
// command-line tool) can use it; QString helpers live in Cp1252Qt.h.
//
// All 256 byte values decode. The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) decode to the C1 controls of the same value, as Windows does, so every byte
// string survives a decode/encode round trip unchanged.

#include <optional>
#include <string>
#include <string_view>

namespace tav::text {

// The Unicode code point of one Windows-1252 byte.
char32_t cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing when the code page cannot show it.
std::optional<unsigned char> unicodeToCp1252(char32_t codePoint);

// Windows-1252 bytes to UTF-8.
std::string cp1252ToUtf8(std::string_view cp1252);

// UTF-8 to Windows-1252. A character the code page cannot show, and each malformed UTF-8
// sequence, becomes `replacement`.
std::string utf8ToCp1252(std::string_view utf8, char replacement = '?');

} // namespace tav::text
