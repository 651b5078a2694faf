#include "reports/ActivityReport.h"

#include "platform/text/Cp1252Qt.h"
#include "platform/text/LineEndings.h"

#include <QFile>
#include <QSaveFile>

namespace tav::reports {

ActivityReport::ActivityReport(QString file, QObject *parent) : QObject(parent), m_file(std::move(file)) {}

bool ActivityReport::load()
{
    QFile f(m_file);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    QStringList lines;
    for (const auto line : text::splitLines(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        lines.append(text::fromCp1252(QByteArray(line.data(), static_cast<qsizetype>(line.size()))));
    m_lines = lines;
    emit textReplaced();
    return true;
}

bool ActivityReport::save(QString *error) const
{
    QByteArray bytes;
    for (const QString &line : m_lines) {
        bytes += text::toCp1252(line);
        bytes += "\r\n";
    }
    QSaveFile f(m_file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

void ActivityReport::setText(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    m_lines = t.isEmpty() ? QStringList() : t.split(u'\n');
    emit textReplaced();
}

void ActivityReport::addLine(const QString &line)
{
    m_lines.append(line);
    emit lineAdded(line);
}

void ActivityReport::clear()
{
    m_lines.clear();
    emit textReplaced();
}

QString ActivityReport::stamped(const QDateTime &at, const QString &rest)
{
    return at.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + rest;
}

} // namespace tav::reports
