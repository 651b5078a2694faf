#include "support/CentralSimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>

namespace tav::test {

CentralSimProcess::CentralSimProcess(QString program, QString storeDir)
    : m_program(std::move(program)), m_storeDir(std::move(storeDir))
{}

CentralSimProcess::~CentralSimProcess()
{
    stop();
}

bool CentralSimProcess::start(const QString &certFile, const QString &keyFile, const QStringList &extraArgs)
{
    QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--store"), m_storeDir};
    if (!certFile.isEmpty())
        args << QStringLiteral("--cert") << certFile << QStringLiteral("--key") << keyFile;
    args << extraArgs;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(m_program, args);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("no arrancó: ") + m_process.errorString();
        return false;
    }
    static const QRegularExpression ready(QStringLiteral("escuchando en (\\S+)"));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        m_output += QString::fromUtf8(m_process.readAll());
        const auto match = ready.match(m_output);
        if (match.hasMatch()) {
            m_url = QUrl(match.captured(1));
            return true;
        }
    }
    m_error = QStringLiteral("sin línea de inicio: ") + m_output;
    return false;
}

void CentralSimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString CentralSimProcess::output()
{
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

QStringList CentralSimProcess::messageFolders() const
{
    QDir dir(m_storeDir);
    QStringList folders;
    for (const QString &entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        folders << dir.filePath(entry);
    return folders;
}

} // namespace tav::test
