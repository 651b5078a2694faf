#pragma once

// Line endings of the office's text files: written CR LF, read whichever way they come.

#include <string>
#include <string_view>
#include <vector>

namespace tav::text {

// The text with every line break (CR LF, a lone LF or a lone CR) written as CR LF.
std::string toCrLf(std::string_view text);

// The lines of `text`, without their breaks. CR LF, LF and CR each end a line; a final break
// does not start another (empty) line.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace tav::text
