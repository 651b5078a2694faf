#include "support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace tav::test {

bool TestCertificates::make(const QString &folder)
{
    const QDir dir(folder);
    const auto openssl = [&](const QStringList &args) {
        QProcess p;
        p.setWorkingDirectory(folder);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        error = QStringLiteral("openssl %1: %2").arg(args.join(' '), QString::fromLocal8Bit(p.readAll()));
        return false;
    };
    QFile ext(dir.filePath(QStringLiteral("ext.cnf")));
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n") < 0) {
        error = QStringLiteral("no se pudo escribir ext.cnf");
        return false;
    }
    ext.close();
    if (!openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                  "-subj", "/CN=CA de prueba TAV"}) ||
        !openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "srv.key", "-out", "srv.csr", "-subj",
                  "/CN=127.0.0.1"}) ||
        !openssl({"x509", "-req", "-in", "srv.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                  "srv.pem", "-days", "2", "-extfile", "ext.cnf"}))
        return false;
    caFile = dir.filePath(QStringLiteral("ca.pem"));
    certFile = dir.filePath(QStringLiteral("srv.pem"));
    keyFile = dir.filePath(QStringLiteral("srv.key"));
    return true;
}

} // namespace tav::test
