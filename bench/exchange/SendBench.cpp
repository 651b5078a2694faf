// The cost of sending one official request with a 2 MB live-scan card and a 5 MB document.
//
// SoapSend: "Enviar" with the web service, to the stand-in central office on 127.0.0.1. The benchmark's time
//   is the time the window is held (the send call: ped.dat, the copies, reading and encoding the files,
//   starting the worker); counter delivery_ms is the time from the click to the log line of the answer.
// SmtpSend: the same by mail to aiosmtpd on 127.0.0.1; the call returns when the server took the message.
// peak_rss_MB: the process's peak resident memory so far.

#include "store/BenchOffice.h"
#include "store/OfficeInstaller.h"
#include "store/Tdm.h"

#include "exchange/RequestSender.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "official/OfficialRules.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

namespace {

using namespace tav;
using Clock = std::chrono::steady_clock;

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QByteArray randomBytes(qsizetype size, unsigned seed)
{
    QByteArray bytes(size, '\0');
    std::mt19937 rng(seed);
    for (auto &c : bytes)
        c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

struct Bench
{
    std::filesystem::path dir;
    bench::QuietUi ui;
    store::Clock clock;
    std::unique_ptr<store::Tdm> dm;
    std::unique_ptr<official::OfficialRules> rules;
    exchange::SendLog log;
    std::unique_ptr<exchange::TdmMail> mail;
    std::unique_ptr<exchange::TSMime> transport;
    std::unique_ptr<exchange::RequestSender> sender;
    QProcess sim;
    QProcess smtp;
    QString error;

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.string())).filePath(name); }

    bool start()
    {
        dir = std::filesystem::temp_directory_path() / ("tav-bench-send-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        store::OfficeInstaller(std::filesystem::path(TAV_SOURCE_DIR) / "data").createOffice(dir);
        dm = std::make_unique<store::Tdm>(dir, ui, clock);
        if (dm->startUp() != store::Tdm::StartResult::Ready)
            return fail("no arrancó la oficina");
        rules = std::make_unique<official::OfficialRules>(*dm);
        dm->programVersion = "2.32";
        dm->postConfirmed = true;
        dm->org->insert();
        for (const auto &[n, v] : std::initializer_list<std::pair<const char *, QVariant>>{
                 {"X_ORG", "JUZGADO"}, {"X_DOM", "CALLE 1"}, {"X_LOC", "CORDOBA"}, {"C_PROV", 4}, {"C_CODPOS", 5000}})
            dm->org->field(n).setValue(v);
        if (!dm->org->post())
            return fail("organismo");
        dm->ped->insert();
        for (const auto &[n, v] : std::initializer_list<std::pair<const char *, QVariant>>{{"C_ORG", 1},
                                                                                           {"C_NAC", 1},
                                                                                           {"C_SEXO", "M"},
                                                                                           {"X_APE1", "GOMEZ"},
                                                                                           {"X_NOM1", "JUAN"},
                                                                                           {"C_PRIOR", 1},
                                                                                           {"C_TDEL", 101}})
            dm->ped->field(n).setValue(v);
        dm->postConfirmed = true;
        if (!dm->ped->post())
            return fail("pedido");
        // The live-scan card (no image check runs on it) and the document.
        for (const auto &[name, size] : {std::pair{"z1.7", 2 << 20}, std::pair{"d1.7", 5 << 20}}) {
            QFile f(path(QString::fromLatin1(name)));
            if (!f.open(QIODevice::WriteOnly) || f.write(randomBytes(size, size)) != size)
                return fail("archivo");
        }

        // The stand-in central office.
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(CENTRAL_SIM), {"--listen", "127.0.0.1:0", "--store", path("central")});
        QString out;
        static const QRegularExpression ready(QStringLiteral("escuchando en (\\S+)"));
        QDeadlineTimer deadline(10000);
        while (!ready.match(out).hasMatch() && sim.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            out += QString::fromUtf8(sim.readAll());
        if (!ready.match(out).hasMatch())
            return fail("central-sim: " + out);

        // aiosmtpd delivering to a Maildir of nobody's.
        for (const char *d : {"Maildir/cur", "Maildir/new", "Maildir/tmp"})
            QDir().mkpath(path(QString::fromLatin1(d)));
        if (::geteuid() == 0)
            for (const char *d : {"Maildir", "Maildir/cur", "Maildir/new", "Maildir/tmp"})
                if (::chown(path(QString::fromLatin1(d)).toLocal8Bit().constData(), 65534, 65534) != 0)
                    return fail("chown");
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const int smtpPort = probe.serverPort();
        probe.close();
        smtp.start("/usr/bin/python3",
                   {TAV_SOURCE_DIR "/tests/e2e/mail/smtp_server.py", QString::number(smtpPort), path("Maildir")});
        QByteArray smtpOut;
        while (!smtpOut.contains("ready") && smtp.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            smtpOut += smtp.readAll();
        if (!smtpOut.contains("ready"))
            return fail("smtp: " + QString::fromUtf8(smtpOut));

        transport = std::make_unique<exchange::TSMime>(*dm, log);
        soap::SoapSettings endpoint = transport->endpoint();
        endpoint.url = QUrl(ready.match(out).captured(1));
        transport->setEndpoint(endpoint);
        mail = std::make_unique<exchange::TdmMail>(*dm);
        mail->smtpName = "127.0.0.1";
        mail->smtpPort = smtpPort;
        mail->userEmail = "regional7@oficina.example";
        transport->setMail(mail.get());
        sender = std::make_unique<exchange::RequestSender>(
            *dm, [this](const exchange::OutgoingMessage &m) { return transport->Send(m); });
        return true;
    }

    bool fail(const QString &why)
    {
        error = why;
        return false;
    }

    void stop()
    {
        if (transport)
            transport->waitForWorkers(30000);
        sender.reset();
        transport.reset();
        mail.reset();
        smtp.closeWriteChannel();
        smtp.waitForFinished(5000);
        sim.terminate();
        sim.waitForFinished(5000);
        rules.reset();
        dm.reset();
        std::filesystem::remove_all(dir);
    }

    // Back to an unsent request, so the next send asks nothing.
    void reset()
    {
        dm->ped->edit();
        dm->ped->field("M_ENVIADO").setValue(false);
        dm->ped->field("C_EST").setValue("I");
        dm->postConfirmed = true;
        dm->ped->post();
    }
};

Bench *g = nullptr;

void SoapSend(benchmark::State &state)
{
    double deliveryTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g->reset();
        const auto lines = g->log.lines().size();
        state.ResumeTiming();
        const auto t0 = Clock::now();
        g->sender->EnviarPedido();
        state.PauseTiming();
        QDeadlineTimer deadline(30000);
        while (g->log.lines().size() == lines && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        deliveryTotal += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (g->dm->ped->field("C_EST").asString() != QLatin1String("E") ||
            !g->log.lines().last().contains(QLatin1String("Mensaje recibido")))
            state.SkipWithError("el pedido no llegó a la oficina central");
        state.ResumeTiming();
    }
    state.counters["delivery_ms"] = deliveryTotal / double(state.iterations());
    state.counters["peak_rss_MB"] = peakRssMb();
}

void SmtpSend(benchmark::State &state)
{
    g->transport->webServiceMode = false;
    for (auto _ : state) {
        state.PauseTiming();
        g->reset();
        state.ResumeTiming();
        g->sender->EnviarPedido();
        state.PauseTiming();
        if (g->dm->ped->field("C_EST").asString() != QLatin1String("E"))
            state.SkipWithError("el servidor SMTP no aceptó el mensaje");
        state.ResumeTiming();
    }
    g->transport->webServiceMode = true;
    state.counters["peak_rss_MB"] = peakRssMb();
}

BENCHMARK(SoapSend)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(SmtpSend)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench bench;
    g = &bench;
    if (!bench.start()) {
        std::fprintf(stderr, "bench_send: %s\n", bench.error.toUtf8().constData());
        bench.stop();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.stop();
    return 0;
}
