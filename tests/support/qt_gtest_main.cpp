#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widgets tests run headless: the offscreen platform is forced before QApplication exists. Each run
// gets a runtime folder of its own (mode 0700, removed at the end), so runs of several users or in
// parallel never share or fight over one fixed name.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir(QDir::tempPath() + QStringLiteral("/tav-xdg-XXXXXX"));
    if (runtimeDir.isValid()) {
        QFile::setPermissions(runtimeDir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    int rc = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    return rc;
}
