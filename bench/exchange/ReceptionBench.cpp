// One reception cycle over 500 replies waiting in a real dovecot mailbox (half confirmations, half answers
// with a 200 KB certificate image) on an office with 100,000 official and 100,000 personal requests.
//
// replies_per_s: replies applied (and deleted from the server) per second of the cycle.
// ui_stall_max_ms: the longest the user-interface thread went without running its event loop during the
//   cycle, measured with a 5 ms QTimer heartbeat on that thread (the gap between two ticks).
// ui_stall_p99_ms: the 99th percentile of those gaps.
// peak_rss_MB: the process's peak resident memory so far.

#include "e2e/mail/MailServers.h"
#include "store/BenchOffice.h"
#include "store/Tdm.h"

#include "exchange/MailReception.h"
#include "exchange/ReplyHandlers.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace tav;

// TAV_BENCH_REPLIES changes the count (for profiling a shorter run).
const int kReplies =
    qEnvironmentVariableIsSet("TAV_BENCH_REPLIES") ? qEnvironmentVariableIntValue("TAV_BENCH_REPLIES") : 500;

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QByteArray reply(const QByteArray &subject, int request, const QByteArray &image, int n)
{
    const QByteArray dat = QStringLiteral("[DATA]\r\nc_ped=%1\r\nc_reg=7\r\nn_expe=%2\r\nc_est=T\r\n")
                               .arg(request)
                               .arg(5000 + n)
                               .toLatin1();
    QByteArray m = "From: tav-central@central.example\r\nTo: regional7@oficina.example\r\nSubject: " + subject +
                   "\r\nMessage-ID: <r" + QByteArray::number(n) +
                   "@central.example>\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=\"L\"\r\n\r\n--L\r\nContent-Type: text/plain\r\n\r\n"
                   "Respuesta.\r\n";
    const auto part = [&m](const QByteArray &name, const QByteArray &bytes) {
        m += "--L\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"" +
             name + "\"\r\n\r\n";
        const QByteArray b64 = bytes.toBase64();
        for (qsizetype at = 0; at < b64.size(); at += 76)
            m += b64.mid(at, 76) + "\r\n";
    };
    part("resp.dat", dat);
    if (!image.isEmpty())
        part("resp.tif", image);
    m += "--L--\r\n";
    return m;
}

struct Bench
{
    std::filesystem::path dir;
    bench::QuietUi ui;
    store::Clock clock;
    std::unique_ptr<store::Tdm> dm;
    test::MailServers servers;
    exchange::SendLog sendLog;
    std::unique_ptr<exchange::TdmMail> mail;
    std::unique_ptr<exchange::TSMime> transport;
    std::unique_ptr<reports::ActivityReport> activity;
    std::unique_ptr<queries::CentralStatusLists> lists;
    std::unique_ptr<exchange::ReplyHandlers> replies;
    std::unique_ptr<exchange::MailReception> reception;
    QByteArray image;
    QString error;

    bool fail(const QString &why)
    {
        error = why;
        return false;
    }

    bool start()
    {
        dir = bench::makeOffice("tav-bench-reception-" + std::to_string(::getpid()), 0);
        dm = std::make_unique<store::Tdm>(dir, ui, clock);
        if (dm->startUp() != store::Tdm::StartResult::Ready)
            return fail("no arrancó la oficina");
        dm->programVersion = "2.32";
        if (!servers.start())
            return fail(servers.error());
        mail = std::make_unique<exchange::TdmMail>(*dm);
        mail->pop3Name = "127.0.0.1";
        mail->pop3Port = servers.pop3Port();
        mail->pop3User = test::MailServers::user();
        mail->pop3Password = test::MailServers::password();
        mail->smtpName = "127.0.0.1";
        mail->smtpPort = servers.smtpPort();
        mail->userEmail = "regional7@oficina.example";
        mail->emailFwd = "soporte@oficina.example";
        transport = std::make_unique<exchange::TSMime>(*dm, sendLog);
        activity =
            std::make_unique<reports::ActivityReport>(QDir(QString::fromStdString(dir.string())).filePath("logp.txt"));
        lists = std::make_unique<queries::CentralStatusLists>(*dm);
        replies = std::make_unique<exchange::ReplyHandlers>(*dm, *activity, *lists);
        reception = std::make_unique<exchange::MailReception>(*dm, *mail, *replies, *activity, *transport);
        image = QByteArray(200 * 1024, '\0');
        std::mt19937 rng(11);
        for (auto &c : image)
            c = static_cast<char>(rng() & 0xFF);
        return true;
    }

    void fillMailbox() const
    {
        // Requests spread over the whole table; every other reply is an answer with its image.
        for (int n = 0; n < kReplies; ++n) {
            const int request = 1 + n * 199 % bench::kRequests;
            servers.deliver(n % 2 ? reply("CONTESTACION OFICIAL", request, image, n)
                                  : reply("CONFIRMO", request, {}, n));
        }
    }

    void stop()
    {
        reception.reset();
        replies.reset();
        mail.reset();
        transport.reset();
        dm.reset();
        servers.stop();
        std::filesystem::remove_all(dir);
    }
};

Bench *g = nullptr;

void ReceptionCycle(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        g->fillMailbox();
        std::vector<qint64> gaps;
        gaps.reserve(100000);
        QElapsedTimer beat;
        QTimer heartbeat;
        heartbeat.setInterval(5);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { gaps.push_back(beat.restart()); });
        state.ResumeTiming();

        QElapsedTimer clock;
        clock.start();
        beat.start();
        heartbeat.start();
        g->reception->RecibirCorreo();
        gaps.push_back(beat.elapsed()); // up to the cycle's end
        heartbeat.stop();
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;

        state.PauseTiming();
        const auto &c = g->reception->lastCycle();
        if (c.processed != kReplies || c.failed != 0)
            state.SkipWithError(QStringLiteral("procesados %1, fallidos %2").arg(c.processed).arg(c.failed).toUtf8());
        std::sort(gaps.begin(), gaps.end());
        state.counters["replies_per_s"] = c.processed / seconds;
        state.counters["ui_stall_max_ms"] = static_cast<double>(gaps.back());
        state.counters["ui_stall_p99_ms"] = static_cast<double>(gaps[gaps.size() * 99 / 100]);
        state.counters["heartbeats"] = static_cast<double>(gaps.size());
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakRssMb();
}

BENCHMARK(ReceptionCycle)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench bench;
    g = &bench;
    if (!bench.start()) {
        std::fprintf(stderr, "bench_reception: %s\n", bench.error.toUtf8().constData());
        bench.stop();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.stop();
    return 0;
}
