#pragma once

#include <QString>

namespace tav::capture {

// The page a typed page number asks for: text that is not a number, or below 1, means page 1; a number past
// the last page means the last page.
int pageFromText(const QString &text, int pageCount);

} // namespace tav::capture
