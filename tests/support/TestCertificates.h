#pragma once

// A certificate authority of the test's own and a server certificate for 127.0.0.1 signed by it, made with
// openssl in a folder: "ca.pem", "srv.pem" and "srv.key". Servers started by a test use the pair; clients
// trust "ca.pem" only when told to.

#include <QString>

namespace tav::test {

struct TestCertificates
{
    QString caFile;
    QString certFile;
    QString keyFile;
    QString error; // what openssl said when making them failed

    // Makes the three files in `folder`; false with `error` set when openssl failed.
    bool make(const QString &folder);
};

} // namespace tav::test
