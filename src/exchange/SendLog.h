#pragma once

#include <QObject>
#include <QStringList>

namespace tav::exchange {

// The lines of the window "Log / configuración de envío": collected for the whole run, never saved.
// Only the user-interface thread touches it; worker threads hand their lines over through queued calls.
class SendLog : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    const QStringList &lines() const { return m_lines; }

public slots:
    void addLine(const QString &line)
    {
        m_lines.append(line);
        emit lineAdded(line);
    }

signals:
    void lineAdded(const QString &line);

private:
    QStringList m_lines;
};

} // namespace tav::exchange
