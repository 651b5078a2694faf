#include "platform/ini/IniFile.h"

#include "platform/os/NoCasePath.h"
#include "platform/text/Cp1252Qt.h"

#include <QFile>
#include <QSaveFile>

#include <limits>

namespace tav::ini {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

QString unquote(const QString &value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

std::optional<long long> parseInteger(QString text)
{
    int base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive) && text.size() > 2) {
        base = 16;
        text = text.mid(2);
    } else if (text.startsWith(u'$') && text.size() > 1) {
        base = 16;
        text = text.mid(1);
    }
    bool ok = false;
    const long long value = text.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(QString::fromStdString(tav::os::resolveNoCase(path.toStdString()).string()))
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return;
    }
    QByteArray bytes = file.readAll();
    m_exists = true;
    if (bytes.startsWith(kUtf8Bom)) {
        m_utf8 = true;
        parse(QString::fromUtf8(bytes.mid(kUtf8Bom.size())));
    } else {
        parse(tav::text::fromCp1252(bytes));
    }
}

void IniFile::parse(const QString &text)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        m_lines.append(parseLine(text.mid(start, i - start)));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        m_lines.append(parseLine(text.mid(start)));
}

IniFile::Line IniFile::parseLine(const QString &text)
{
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        line.kind = Kind::Section;
        line.name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return line;
    }
    const qsizetype eq = trimmed.indexOf(u'=');
    if (trimmed.startsWith(u';') || eq <= 0)
        return line;
    line.kind = Kind::Key;
    line.name = trimmed.left(eq).trimmed();
    line.value = unquote(trimmed.mid(eq + 1).trimmed());
    return line;
}

IniFile::Range IniFile::findSection(const QString &section) const
{
    Range range;
    if (section.isEmpty()) {
        range.begin = 0;
    } else {
        for (qsizetype i = 0; i < m_lines.size() && !range.found(); ++i) {
            if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, section))
                range.begin = i;
        }
        if (!range.found())
            return range;
    }
    range.end = m_lines.size();
    for (qsizetype i = section.isEmpty() ? 0 : range.begin + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section) {
            range.end = i;
            break;
        }
    }
    return range;
}

qsizetype IniFile::findKey(const Range &range, const QString &key) const
{
    if (!range.found())
        return -1;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        if (m_lines[i].kind == Kind::Key && sameName(m_lines[i].name, key))
            return i;
    }
    return -1;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const qsizetype i = findKey(findSection(section), key);
    return i < 0 ? defaultValue : m_lines[i].value;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const qsizetype i = findKey(findSection(section), key);
    if (i < 0)
        return defaultValue;
    const auto value = parseInteger(m_lines[i].value);
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(*value);
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::hasSection(const QString &section) const
{
    return findSection(section).found();
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return findKey(findSection(section), key) >= 0;
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Section && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    const Range range = findSection(section);
    for (qsizetype i = range.begin; range.found() && i < range.end; ++i) {
        if (m_lines[i].kind == Kind::Key && !names.contains(m_lines[i].name, Qt::CaseInsensitive))
            names.append(m_lines[i].name);
    }
    return names;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString cleanKey = key.trimmed();
    const QString cleanSection = section.trimmed();
    if (cleanKey.isEmpty() || cleanKey.contains(u'=') || cleanKey.startsWith(u'[') || cleanKey.startsWith(u';') ||
        hasLineBreak(cleanKey) || cleanSection.contains(u']') || hasLineBreak(cleanSection) || hasLineBreak(value))
        return false;

    Range range = findSection(cleanSection);
    const qsizetype existing = findKey(range, cleanKey);
    if (existing >= 0) {
        // The key keeps the spelling it has in the file.
        Line line = parseLine(m_lines[existing].name + u'=' + value);
        if (line.text != m_lines[existing].text) {
            m_lines[existing] = line;
            m_dirty = true;
        }
        return true;
    }

    const Line line = parseLine(cleanKey + u'=' + value);
    if (!range.found()) {
        m_lines.append(parseLine(u'[' + cleanSection + u']'));
        m_lines.append(line);
    } else {
        // After the section's last non-blank line, so blank lines that separate it from the next
        // section stay where they are.
        qsizetype at = range.end;
        while (at > range.begin && m_lines[at - 1].kind == Kind::Other && m_lines[at - 1].text.trimmed().isEmpty())
            --at;
        m_lines.insert(at, line);
    }
    m_dirty = true;
    return true;
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::removeKey(const QString &section, const QString &key)
{
    const Range range = findSection(section);
    bool removed = false;
    for (qsizetype i = range.end - 1; range.found() && i >= range.begin; --i) {
        if (m_lines[i].kind == Kind::Key && sameName(m_lines[i].name, key)) {
            m_lines.remove(i);
            removed = true;
        }
    }
    m_dirty = m_dirty || removed;
    return removed;
}

bool IniFile::save()
{
    if (!m_dirty)
        return true;
    QString text;
    for (const Line &line : m_lines)
        text += line.text + QStringLiteral("\r\n");
    const QByteArray bytes = m_utf8 ? kUtf8Bom + text.toUtf8() : tav::text::toCp1252(text);

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = file.errorString();
        return false;
    }
    m_error.clear();
    m_exists = true;
    m_dirty = false;
    return true;
}

} // namespace tav::ini
