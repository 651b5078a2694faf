#pragma once

#include <QString>

namespace tav::os {

// Whether two files hold the same bytes (false when either cannot be read).
bool sameContents(const QString &a, const QString &b);

// Copies `from` over `to` through a sibling file, so a failed copy leaves `to` as it was. False when `from`
// does not exist or the copy failed.
bool replaceWithCopy(const QString &from, const QString &to);

} // namespace tav::os
