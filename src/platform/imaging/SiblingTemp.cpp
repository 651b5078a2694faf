#include "platform/imaging/SiblingTemp.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tav::imaging::detail {

SiblingTemp::SiblingTemp(const QString &target) : m_target(target)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_path = candidate;
            return;
        }
        if (errno != EEXIST) {
            m_error = QStringLiteral("No se puede crear un archivo en «%1»: %2")
                          .arg(info.absolutePath(), QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
    }
    m_error = QStringLiteral("No se puede crear un archivo temporal en «%1»").arg(info.absolutePath());
}

SiblingTemp::~SiblingTemp()
{
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool SiblingTemp::commit()
{
    if (m_path.isEmpty())
        return false;
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0) {
        m_error = QStringLiteral("No se puede reemplazar «%1»: %2")
                      .arg(m_target, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_path.clear();
    return true;
}

} // namespace tav::imaging::detail
