#include "platform/os/StationScratch.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace tav::os {

namespace {

QString cleaned(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' || c == u'.' ? c : QChar(u'_');
    return out.isEmpty() ? QStringLiteral("x") : out;
}

QString userName()
{
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::getuid());
}

QString folderPath(const QString &programDir)
{
    return QDir(programDir).filePath(QStringLiteral("tmp/") + StationScratch::stationName());
}

} // namespace

QString StationScratch::stationName()
{
    return cleaned(QSysInfo::machineHostName()) + u'-' + cleaned(userName());
}

QString StationScratch::folder(const QString &programDir)
{
    const QString path = folderPath(programDir);
    QDir dir(path);
    if (!dir.exists() && !QDir().mkpath(path))
        return programDir;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool StationScratch::remove(const QString &programDir)
{
    QDir dir(folderPath(programDir));
    if (!dir.exists())
        return true;
    const bool removed = dir.removeRecursively();
    QDir(programDir).rmdir(QStringLiteral("tmp")); // only when no other station has a folder there
    return removed;
}

} // namespace tav::os
