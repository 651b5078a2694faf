#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace tav::ini {

// An INI file read and written the way Windows' profile functions do it, so that files brought
// over from Windows offices keep working and stay readable there:
// - sections and keys match without regard to case; the first of duplicates wins;
// - the text is Windows-1252 on disk (a file that starts with a UTF-8 byte order mark is read
//   and written back as UTF-8), lines end CR LF when written;
// - a value is everything after the first '=', trimmed, with one pair of enclosing quotes
//   removed; backslashes and ';' inside values are kept literally;
// - lines starting with ';' are comments; keys before the first section belong to section "";
// - writing changes a key's line in place, adds a new key after the last line of its section
//   and a new section at the end of the file; every other line is written back as it was.
// The file name is matched without regard to case in its folder; a new file takes the case given.
class IniFile
{
public:
    // Reads the file when it exists. A missing file reads as empty; see exists().
    explicit IniFile(const QString &path);

    // The path actually used (with the case of the name found on disk).
    const QString &path() const { return m_path; }
    // True when the file was found and read.
    bool exists() const { return m_exists; }
    // The reason of the last read or save failure, empty when none.
    const QString &errorString() const { return m_error; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // The value as a decimal integer, or hexadecimal after "0x" or "$"; `defaultValue` when the
    // key is missing or its value is not a whole integer that fits.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer value other than 0 is true; `defaultValue` when the value is not an integer.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    // Section names in file order (the unnamed leading section is not listed).
    QStringList sections() const;
    // Key names of a section in file order, without duplicates.
    QStringList keys(const QString &section) const;

    // Sets a value in memory; save() writes the file. Refuses (returns false) a name that the
    // file could not hold: an empty key, a key with '=' or starting with '[' or ';', a section
    // with ']', or any line break. The value then reads back as it would from the file (trimmed,
    // enclosing quotes removed).
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);
    bool writeBool(const QString &section, const QString &key, bool value); // "1" or "0"
    // Removes every line of the key in the section; false when there was none.
    bool removeKey(const QString &section, const QString &key);

    // Writes the file (atomically: a failure leaves the old file whole) when anything changed.
    bool save();

private:
    enum class Kind { Other, Section, Key };
    struct Line
    {
        Kind kind = Kind::Other;
        QString text;  // the line as it appears in the file
        QString name;  // section or key name
        QString value; // key value, unquoted
    };
    // Lines [begin, end) of a section; begin is its header, or 0 for the unnamed section.
    struct Range
    {
        qsizetype begin = -1;
        qsizetype end = -1;
        bool found() const { return begin >= 0; }
    };

    void parse(const QString &text);
    static Line parseLine(const QString &text);
    Range findSection(const QString &section) const;
    qsizetype findKey(const Range &range, const QString &key) const;

    QString m_path;
    QVector<Line> m_lines;
    bool m_exists = false;
    bool m_utf8 = false;
    bool m_dirty = false;
    QString m_error;
};

} // namespace tav::ini
