#include "platform/instance/SingleInstance.h"

#include "support/TestDir.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using tav::instance::SingleInstance;
using tav::test::TestDir;

namespace {

QString qpath(const std::filesystem::path &p)
{
    return QString::fromStdString(p.string());
}

// Runs the probe (another copy of the program) and returns what it printed and its exit code.
// While it runs the event loop turns, so a first copy in this process can answer it.
struct ProbeResult
{
    QString output;
    int exitCode = -1;
};

ProbeResult runProbe(const QString &dir, int stayMs = 0)
{
    QProcess probe;
    probe.start(QStringLiteral(TAV_INSTANCE_PROBE), {dir, QString::number(stayMs)});
    EXPECT_TRUE(probe.waitForStarted(5000));
    QDeadlineTimer deadline(10000);
    while (probe.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        probe.waitForFinished(20);
    }
    if (probe.state() != QProcess::NotRunning) {
        probe.kill();
        probe.waitForFinished(1000);
    }
    return {QString::fromLatin1(probe.readAllStandardOutput()).trimmed(), probe.exitCode()};
}

} // namespace

TEST(SingleInstance, SecondCopyRaisesTheFirstAndMustEnd)
{
    TestDir dir;
    SingleInstance first(qpath(dir.path()));
    ASSERT_TRUE(first.claim());
    EXPECT_TRUE(first.errorString().isEmpty()) << first.errorString().toStdString();
    QSignalSpy activations(&first, &SingleInstance::activationRequested);

    const ProbeResult second = runProbe(qpath(dir.path()));
    EXPECT_EQ(second.output, "second");
    EXPECT_EQ(second.exitCode, 1);
    if (activations.isEmpty())
        activations.wait(2000);
    EXPECT_EQ(activations.count(), 1);
}

TEST(SingleInstance, OtherProgramDirectoryIsAnotherInstance)
{
    TestDir officeA;
    TestDir officeB;
    SingleInstance first(qpath(officeA.path()));
    ASSERT_TRUE(first.claim());
    EXPECT_NE(SingleInstance::serverNameFor(qpath(officeA.path())),
              SingleInstance::serverNameFor(qpath(officeB.path())));
    // The same folder written another way is the same instance.
    EXPECT_EQ(SingleInstance::serverNameFor(qpath(officeA.path())),
              SingleInstance::serverNameFor(qpath(officeA.path() / "sub" / "..")));

    const ProbeResult other = runProbe(qpath(officeB.path()));
    EXPECT_EQ(other.output, "first");
    EXPECT_EQ(other.exitCode, 0);
}

TEST(SingleInstance, SocketLeftByACrashedCopyIsReplaced)
{
    TestDir dir;
    const QString name = SingleInstance::serverNameFor(qpath(dir.path()));
    // A bound socket file with nobody listening: what a killed copy leaves behind.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(name));

    SingleInstance restarted(qpath(dir.path()));
    EXPECT_TRUE(restarted.claim(2000));
    EXPECT_TRUE(restarted.errorString().isEmpty()) << restarted.errorString().toStdString();
    const ProbeResult second = runProbe(qpath(dir.path()));
    EXPECT_EQ(second.output, "second");
}

TEST(SingleInstance, TwoCopiesStartedTogetherLeaveExactlyOneRunning)
{
    TestDir dir;
    QProcess a;
    QProcess b;
    const QStringList args{qpath(dir.path()), QStringLiteral("5000")};
    a.start(QStringLiteral(TAV_INSTANCE_PROBE), args);
    b.start(QStringLiteral(TAV_INSTANCE_PROBE), args);
    ASSERT_TRUE(a.waitForFinished(10000));
    ASSERT_TRUE(b.waitForFinished(10000));
    QStringList outputs{QString::fromLatin1(a.readAllStandardOutput()).simplified(),
                        QString::fromLatin1(b.readAllStandardOutput()).simplified()};
    outputs.sort();
    // The winner was raised by the loser and ended early instead of waiting out its 5 seconds.
    EXPECT_EQ(outputs, (QStringList{"first activated", "second"}));
}

TEST(SingleInstance, FirstCopyThatEndedFreesTheName)
{
    TestDir dir;
    {
        SingleInstance gone(qpath(dir.path()));
        ASSERT_TRUE(gone.claim());
    }
    EXPECT_EQ(runProbe(qpath(dir.path())).output, "first");
}
