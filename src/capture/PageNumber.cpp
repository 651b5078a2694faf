#include "capture/PageNumber.h"

#include <algorithm>

namespace tav::capture {

int pageFromText(const QString &text, int pageCount)
{
    bool ok = false;
    int page = text.trimmed().toInt(&ok);
    if (!ok || page < 1)
        page = 1;
    return std::min(page, std::max(1, pageCount));
}

} // namespace tav::capture
