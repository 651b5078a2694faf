#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tav::reports {

// The text of the activity report: one line per event of the incoming replies, kept for the whole run and
// across runs in "logp.txt" of the program directory (Windows-1252, lines ended CR LF). The window
// "Reporte de Actividad " shows it; the rules add lines and ask for the window through this object, so
// they never touch a widget.
class ActivityReport : public QObject
{
    Q_OBJECT

public:
    // `file` is the full path of "logp.txt". Nothing is read until load().
    explicit ActivityReport(QString file, QObject *parent = nullptr);

    const QString &file() const { return m_file; }
    // Reads the file's lines when it exists (replacing the text); false (text unchanged) when it cannot be read.
    bool load();
    // Writes the text to the file, replacing it; false with `error` filled when it cannot be written (the
    // old file then stays whole).
    bool save(QString *error = nullptr) const;

    const QStringList &lines() const { return m_lines; }
    QString text() const { return m_lines.join(u'\n'); }
    // The text as the window holds it (the person may have edited it there).
    void setText(const QString &text);
    void addLine(const QString &line);
    void clear();
    // Asks whoever shows the report to bring its window up.
    void requestShow() { emit showRequested(); }

    // A line of an event: date "dd/MM/yyyy", a blank, the time "hh:mm:ss", then `rest` as given.
    static QString stamped(const QDateTime &at, const QString &rest);

signals:
    void lineAdded(const QString &line);
    void textReplaced();
    void showRequested();

private:
    QString m_file;
    QStringList m_lines;
};

} // namespace tav::reports
