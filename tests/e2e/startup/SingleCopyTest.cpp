#include "store/OfficeInstaller.h"
#include "support/TestDir.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <map>

namespace {

std::map<QString, QDateTime> modificationTimes(const QString &dir)
{
    std::map<QString, QDateTime> times;
    for (const QFileInfo &f : QDir(dir).entryInfoList(QDir::Files))
        times.emplace(f.fileName(), f.lastModified());
    return times;
}

QProcessEnvironment headless(const QString &runtimeDir)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    return env;
}

} // namespace

// A second copy started on the same office brings the first to the front and ends before it touches a table.
TEST(SingleCopy, SecondCopyEndsWithoutTouchingTheTables)
{
    tav::test::TestDir office, runtime;
    QFile::setPermissions(QString::fromStdString(runtime.path().string()),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    tav::store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(office.path());
    const QString dir = QString::fromStdString(office.path().string());

    QProcess first;
    first.setProcessEnvironment(headless(QString::fromStdString(runtime.path().string())));
    first.start(TAV_PROGRAM, {"--dir", dir});
    ASSERT_TRUE(first.waitForStarted(10000));

    // Wait until the first copy has finished its start-up work (the tables stop changing).
    auto before = modificationTimes(dir);
    for (int i = 0; i < 60; ++i) {
        QThread::msleep(500);
        auto now = modificationTimes(dir);
        if (now == before && i >= 4)
            break;
        before = now;
    }
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(headless(QString::fromStdString(runtime.path().string())));
    second.start(TAV_PROGRAM, {"--dir", dir});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(modificationTimes(dir), before) << "no table, index or file was written by the second copy";
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(5000);
}
