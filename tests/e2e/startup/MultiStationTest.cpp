// Several stations on one office directory, each a real process going through the whole start.
//
// The program itself runs under a private X server (Xvfb), and xdotool tells which windows each copy shows:
// a second station that starts while the first works must reach its login window, not an error. Stations
// that save are the station program (the data module's same start, then official requests saved through
// their rules), so a test knows which saves were committed.

#include "store/OfficeInstaller.h"
#include "support/TestDir.h"
#include "unit/dbf/MultiProcess.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

using namespace tav;

namespace {

// Committed request numbers a station printed ("ped <n>" lines), and whether its start went through.
struct StationReport
{
    bool started = false;
    std::vector<int> saved;
};

StationReport readReport(const std::string &output)
{
    StationReport r;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("start login=1", 0) == 0)
            r.started = true;
        else if (line.rfind("ped ", 0) == 0)
            r.saved.push_back(std::stoi(line.substr(4)));
    }
    return r;
}

std::set<int> storedRequests(const std::filesystem::path &office)
{
    std::set<int> numbers;
    auto t = dbf::Table::open(os::resolveNoCase(office / "PED.DBF"), dbf::OpenMode::Shared);
    const int f = t.fieldIndex("C_PED");
    for (uint32_t r = 1; r <= t.recordCount(); ++r)
        if (!t.isDeleted(r))
            numbers.insert(static_cast<int>(t.readValue(r, f).doubleOr(0)));
    return numbers;
}

// `tavregional --check` on the office: exit code and what it printed.
std::pair<int, QString> runCheck(const std::filesystem::path &office)
{
    QProcess check;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    check.setProcessEnvironment(env);
    check.start(TAV_PROGRAM, {"--dir", QString::fromStdString(office.string()), "--check"});
    if (!check.waitForFinished(120000))
        return {-1, QStringLiteral("--check did not end")};
    return {check.exitCode(), QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError())};
}

class MultiStation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(office.path());
    }

    test::ChildProcess station(int saves) const
    {
        return test::ChildProcess::start(STATION_PROCESS, {office.path().string(), std::to_string(saves)});
    }

    test::TestDir office;
};

// A private X server for the program's windows; stopped with the test.
class XServer
{
public:
    XServer()
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
            return;
        m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(10000))
            return;
        for (int i = 0; i < 100 && !m_server.canReadLine(); ++i)
            m_server.waitForReadyRead(100);
        const QByteArray number = m_server.readLine().trimmed();
        if (!number.isEmpty())
            m_display = QStringLiteral(":") + QString::fromLatin1(number);
    }
    ~XServer()
    {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    const QString &display() const { return m_display; }

    // Whether the process shows a visible top-level window with this title (the program's name follows it).
    bool shows(qint64 pid, const QString &title) const
    {
        QProcess search;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        search.setProcessEnvironment(env);
        search.start("xdotool", {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name",
                                 QStringLiteral("^%1( —|$)").arg(title)});
        search.waitForFinished(10000);
        return search.exitCode() == 0 && !search.readAllStandardOutput().trimmed().isEmpty();
    }
    // Waits (bounded) until the process shows the window.
    bool waitFor(qint64 pid, const QString &title, int seconds) const
    {
        for (int i = 0; i < seconds * 4; ++i) {
            if (shows(pid, title))
                return true;
            QThread::msleep(250);
        }
        return false;
    }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace

// Station A works (at its login, every table open); station B, on another machine (its own runtime
// folder, so the single-copy guard does not stop it), starts and reaches its login too, with no error box.
// While both hold the tables, two more stations go through the same start and save requests: every save
// gets its own number, and afterwards the office passes --check.
TEST_F(MultiStation, SecondStationStartsWhileTheFirstWorksAndBothSave)
{
    XServer x;
    if (x.display().isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    test::TestDir runtimeA, runtimeB;
    auto startProgram = [&](QProcess &p, const test::TestDir &runtime) {
        QFile::setPermissions(QString::fromStdString(runtime.path().string()),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", x.display());
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
        p.setProcessEnvironment(env);
        p.start(TAV_PROGRAM, {"--dir", QString::fromStdString(office.path().string())});
        return p.waitForStarted(10000);
    };
    const QString login = QStringLiteral("Control de Acceso");
    QProcess a, b;
    ASSERT_TRUE(startProgram(a, runtimeA));
    ASSERT_TRUE(x.waitFor(a.processId(), login, 90)) << a.readAllStandardError().toStdString();
    ASSERT_TRUE(startProgram(b, runtimeB));
    EXPECT_TRUE(x.waitFor(b.processId(), login, 90)) << b.readAllStandardError().toStdString();
    for (const char *box : {"Error", "Advertencia"}) {
        EXPECT_FALSE(x.shows(a.processId(), box)) << box;
        EXPECT_FALSE(x.shows(b.processId(), box)) << box;
    }
    b.waitForReadyRead(2000);
    const QString saidB = QString::fromUtf8(b.readAllStandardError());
    EXPECT_EQ(saidB.count(QStringLiteral("Tablas en uso en otra estación de trabajo")), 1)
        << "station B says once that it left the upkeep: " << saidB.toStdString();

    constexpr int kSaves = 8;
    std::vector<test::ChildProcess> savers;
    for (int i = 0; i < 2; ++i)
        savers.push_back(station(kSaves));
    std::multiset<int> numbers;
    for (auto &s : savers) {
        ASSERT_EQ(s.wait(std::chrono::seconds(180)), std::optional<int>(0)) << s.output();
        const auto report = readReport(s.output());
        EXPECT_TRUE(report.started) << "the start went through and asks for the login";
        EXPECT_EQ(report.saved.size(), size_t(kSaves));
        numbers.insert(report.saved.begin(), report.saved.end());
    }
    EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), numbers.size()) << "a number was issued twice";
    EXPECT_EQ(storedRequests(office.path()), std::set<int>(numbers.begin(), numbers.end()));
    EXPECT_EQ(a.state(), QProcess::Running);
    EXPECT_EQ(b.state(), QProcess::Running);

    // The stations end (here without closing their tables); the next start on the office does the upkeep the
    // working stations left, as a morning's first start does, and the office then passes the check.
    a.kill();
    b.kill();
    a.waitForFinished(5000);
    b.waitForFinished(5000);
    auto next = station(0);
    ASSERT_EQ(next.wait(std::chrono::seconds(180)), std::optional<int>(0)) << next.output();
    EXPECT_EQ(storedRequests(office.path()), std::set<int>(numbers.begin(), numbers.end()));
    const auto [code, report] = runCheck(office.path());
    EXPECT_EQ(code, 0) << report.toStdString();
}

// Two stations saving are killed (kill -9) at random moments, again and again; then a third station goes
// through the whole start. No save that had returned is lost, and the office passes --check.
TEST_F(MultiStation, StationsKilledWhileSavingLoseNoCommittedSave)
{
    constexpr int kRounds = 6;
    std::set<int> committed;
    auto *random = QRandomGenerator::global();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    int rounds = 0;
    for (; rounds < kRounds && std::chrono::steady_clock::now() < deadline; ++rounds) {
        std::vector<test::ChildProcess> stations;
        stations.push_back(station(10000));
        stations.push_back(station(10000));
        QThread::msleep(400 + random->bounded(1600));
        for (auto &s : stations) {
            s.kill();
            for (int n : readReport(s.output()).saved)
                EXPECT_TRUE(committed.insert(n).second) << "number " << n << " issued twice";
        }
    }
    ASSERT_FALSE(committed.empty()) << "the stations saved nothing before they were killed";
    std::printf("%zu saves committed by stations killed in %d rounds\n", committed.size(), rounds);

    auto third = station(1);
    ASSERT_EQ(third.wait(std::chrono::seconds(180)), std::optional<int>(0)) << third.output();
    EXPECT_TRUE(readReport(third.output()).started);
    const std::set<int> stored = storedRequests(office.path());
    for (int n : committed)
        EXPECT_TRUE(stored.count(n)) << "committed request " << n << " was lost";
    const auto [code, report] = runCheck(office.path());
    EXPECT_EQ(code, 0) << report.toStdString();
}
