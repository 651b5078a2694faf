#pragma once

// The stand-in central office (tools/central-sim) as a child process on 127.0.0.1, for the tests of the
// web-service transport. It picks its own free port and reports its address in its ready line.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tav::test {

class CentralSimProcess
{
public:
    // `program`: the central-sim executable; `storeDir`: where it keeps the messages it receives.
    CentralSimProcess(QString program, QString storeDir);
    ~CentralSimProcess();
    CentralSimProcess(const CentralSimProcess &) = delete;
    CentralSimProcess &operator=(const CentralSimProcess &) = delete;

    // Starts it (HTTPS when a certificate and key are given) and waits at most ten seconds for its ready
    // line; false (with the reason in error()) when it did not come.
    bool start(const QString &certFile = {}, const QString &keyFile = {}, const QStringList &extraArgs = {});
    void stop();

    const QUrl &url() const { return m_url; }
    const QString &error() const { return m_error; }
    QString output(); // what it printed so far

    // The folders of the messages it stored, in order of arrival.
    QStringList messageFolders() const;

private:
    QString m_program;
    QString m_storeDir;
    QProcess m_process;
    QUrl m_url;
    QString m_error;
    QString m_output;
};

} // namespace tav::test
