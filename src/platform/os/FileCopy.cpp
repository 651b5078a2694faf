#include "platform/os/FileCopy.h"

#include <QFile>
#include <QFileInfo>

namespace tav::os {

bool sameContents(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 16) != fb.read(1 << 16))
            return false;
    }
    return true;
}

bool replaceWithCopy(const QString &from, const QString &to)
{
    if (!QFileInfo::exists(from))
        return false;
    const QString temp = to + QStringLiteral(".part");
    QFile::remove(temp);
    if (!QFile::copy(from, temp))
        return false;
    QFile::remove(to);
    if (!QFile::rename(temp, to)) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

} // namespace tav::os
