#include "e2e/mail/MailServers.h"
#include "e2e/mail/StallingProxy.h"
#include "unit/store/OfficeFixture.h"

#include "exchange/MailReception.h"
#include "exchange/ReplyHandlers.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace tav;
using exchange::MailReception;

namespace {

struct Attachment
{
    QByteArray name;
    QByteArray bytes;
};

// A reply as the central office mails it: a text part and one base64 part per file.
QByteArray replyMail(const QByteArray &subject, const QList<Attachment> &files, const QByteArray &id)
{
    QByteArray m = "From: TAV Central <tav-central@central.example>\r\nTo: regional7@oficina.example\r\n"
                   "Subject: " +
                   subject + "\r\nMessage-ID: <" + id +
                   "@central.example>\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=\"LIMITE\"\r\n\r\n"
                   "--LIMITE\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nRespuesta automatica.\r\n";
    for (const Attachment &a : files) {
        m += "--LIMITE\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"" +
             a.name + "\"\r\n\r\n";
        const QByteArray b64 = a.bytes.toBase64();
        for (qsizetype at = 0; at < b64.size(); at += 76)
            m += b64.mid(at, 76) + "\r\n";
    }
    m += "--LIMITE--\r\n";
    return m;
}

QByteArray respDat(int c_ped, const char *c_est = "T", int n_expe = 500)
{
    return QStringLiteral("[DATA]\r\nc_ped=%1\r\nc_reg=7\r\nn_expe=%2\r\nc_est=%3\r\nx_obs=FALTA FIRMA\r\n")
        .arg(c_ped)
        .arg(n_expe)
        .arg(QString::fromLatin1(c_est))
        .toLatin1();
}

QByteArray readBytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
}

class ReceptionTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        dm->programVersion = "2.32";
        servers.keepApart("soporte@oficina.example");
        ASSERT_TRUE(servers.start()) << servers.error().toStdString();
        mail = std::make_unique<exchange::TdmMail>(*dm);
        servers.configure(*mail);
        mail->logOpeMail = true;
        activity = std::make_unique<reports::ActivityReport>(path("logp.txt"));
        lists = std::make_unique<queries::CentralStatusLists>(*dm);
        replies = std::make_unique<exchange::ReplyHandlers>(*dm, *activity, *lists);
        transport = std::make_unique<exchange::TSMime>(*dm, sendLog);
        reception = std::make_unique<MailReception>(*dm, *mail, *replies, *activity, *transport);
        QObject::connect(activity.get(), &reports::ActivityReport::showRequested, [this] { ++activityShown; });
    }
    void TearDown() override
    {
        reception.reset();
        replies.reset();
        mail.reset();
        servers.stop();
        OfficeFixture::TearDown();
    }

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.path().string())).filePath(name); }

    void addRequest(int c_ped, const char *c_est = "E")
    {
        store::Dataset &t = *dm->ped;
        t.insert();
        t["C_PED"].setValue(c_ped);
        t["C_REG"].setValue(7);
        t["C_EST"].setValue(QString::fromLatin1(c_est));
        ASSERT_TRUE(t.post());
    }
    QString stateOf(int c_ped)
    {
        dm->FlushBuffers(*dm->ped);
        EXPECT_TRUE(dm->ped->findKey(c_ped));
        return dm->ped->field("C_EST").asString();
    }
    int mailboxCount()
    {
        int count = -1;
        QString error;
        EXPECT_TRUE(mail->GetTotMsgInbox(count, error)) << error.toStdString();
        mail->ConnectPOP3(error); // leaves no deletion pending
        return count;
    }
    QStringList leftovers() const
    {
        // Reply files and the message folders a cycle must not leave in the program directory.
        return QDir(path("")).entryList({"resp.*", "Est*.DAT", ".recepcion-*"},
                                        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    test::MailServers servers;
    exchange::SendLog sendLog;
    std::unique_ptr<exchange::TdmMail> mail;
    std::unique_ptr<reports::ActivityReport> activity;
    std::unique_ptr<queries::CentralStatusLists> lists;
    std::unique_ptr<exchange::ReplyHandlers> replies;
    std::unique_ptr<exchange::TSMime> transport;
    std::unique_ptr<MailReception> reception;
    int activityShown = 0;
};

} // namespace

TEST_F(ReceptionTest, RepliesAreAppliedOtherMailIsForwardedAndAFailingReplyStaysForTheNextCycle)
{
    addRequest(1);
    addRequest(2);
    addRequest(3);
    const QByteArray image = "II*\0 imagen del certificado " + QByteArray(5000, 'x');
    servers.deliver(replyMail("CONFIRMO", {{"resp.dat", respDat(1)}}, "uno"));
    servers.deliver(replyMail("CONFIRMO", {{"resp.dat", respDat(99)}}, "falla")); // no such request
    servers.deliver(replyMail("CONTESTACION OFICIAL", {{"resp.dat", respDat(2)}, {"RESP.TIF", image}}, "dos"));
    servers.deliver("From: vecino@otro.example\r\nTo: regional7@oficina.example\r\nSubject: Consulta\r\n"
                    "Message-ID: <consulta@otro.example>\r\n\r\nHola.\r\n");
    servers.deliver(replyMail("RECHAZO", {{"resp.dat", respDat(3, "R")}}, "tres"));
    // Differs from a reply's subject only in its case: not a reply.
    servers.deliver(replyMail("confirmo", {{"resp.dat", respDat(1)}}, "minusculas"));

    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_TRUE(dm->receptionIdle);
    const auto &c = reception->lastCycle();
    EXPECT_EQ(c.processed, 3);
    EXPECT_EQ(c.forwarded, 2);
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(mailboxCount(), 1);
    EXPECT_EQ(stateOf(1), "T");
    EXPECT_EQ(stateOf(2), "C");
    EXPECT_TRUE(dm->ped->field("M_CONTESTA").asBoolean());
    EXPECT_EQ(readBytes(path("c2.7")), image);
    EXPECT_EQ(stateOf(3), "R");
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();

    // The forwarded messages went to the forwarding address, marked.
    int forwarded = 0;
    for (const QString &file : servers.apartFiles()) {
        const QByteArray raw = readBytes(file);
        ++forwarded;
        EXPECT_TRUE(raw.contains("To: soporte@oficina.example"));
        EXPECT_TRUE(raw.contains("Subject: Consulta (REENVIO TAV REGIONAL)") ||
                    raw.contains("Subject: confirmo (REENVIO TAV REGIONAL)"))
            << raw.left(400).toStdString();
    }
    EXPECT_EQ(forwarded, 2);

    // Status texts: the start, one per message with the counters so far, the totals.
    const QStringList status = ui.statusTexts();
    ASSERT_GE(status.size(), 8);
    EXPECT_EQ(status.first(), "Procesando mensajes de correo...");
    EXPECT_EQ(status[1], "Procesando mensajes de correo...(Procesados: 0 -  No Procesados: 0 - Reenviados: 0) - "
                         "Total en el servidor: 6");
    EXPECT_EQ(status.last(), "Total mensajes de correo: Procesados: 3 - No procesados: 1 - Reenviados: 2 ");
    const QRegularExpression progress(R"(^Procesando mensajes de correo\.\.\.\(Procesados: \d -  No Procesados: \d - )"
                                      R"(Reenviados: \d\) - Total en el servidor: \d$)");
    for (qsizetype i = 1; i + 1 < status.size(); ++i)
        EXPECT_TRUE(progress.match(status[i]).hasMatch()) << status[i].toStdString();

    // The failed message: one activity line, the report brought up, one error line in the log.
    const QString failure = " - Error al procesar correo: Error RecibirMsgIndyToTav: No se pudo procesar el mensaje "
                            "en la base TAV: ERROR ProcesaMsgIndyToTAV: Error al confirmar pedido oficial - MsgId: "
                            "<falla@central.example>";
    QStringList errors = activity->lines().filter("Error al procesar correo");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "10/12/2026 10:00:00" + failure);
    EXPECT_GE(activityShown, 1);

    const QString log = QString::fromLatin1(readBytes(path("TavRegLog.log")));
    // Each message's first line begins with a line feed and a carriage return, after the previous line's end.
    EXPECT_EQ(log.count(QRegularExpression(R"(\r\n\n\r10/12/2026 10:00:00 - From: [^\r\n]+ - Tema: [^\r\n]+ - )"
                                           R"(MailIndex: \d - GetHeadMail OK - MsgId: <[a-z]+@[a-z.]+>\r\n)")) +
                  (log.startsWith("\n\r") ? 1 : 0),
              6)
        << log.toStdString();
    EXPECT_TRUE(log.contains("From: TAV Central <tav-central@central.example> - Tema: CONFIRMO - MailIndex: "));
    for (const char *step : {"BorroAdjuntosTempEnDisco OK", "SaveAllAttachToPath OK"})
        EXPECT_EQ(log.count(QString::fromLatin1(step)), 4) << step; // the failing reply gets this far too
    EXPECT_EQ(log.count("ProcesaMsgIndyToTAV OK"), 3);
    EXPECT_EQ(log.count("ForwardMail OK"), 2);
    EXPECT_EQ(log.count("DeleteMail OK"), 5);
    EXPECT_EQ(
        log.count(QRegularExpression(R"(10/12/2026 10:00:00 - MailIndex: \d - ERROR: Error RecibirMsgIndyToTav: .*)"
                                     R"(<falla@central\.example> \r\n)")),
        1);

    // A forwarding address that leads back to the mailbox: the forwarded copy waits for the next cycle, which
    // forwards it once (and the reply that fails is counted once more).
    servers.deliver("From: vecino@otro.example\r\nTo: regional7@oficina.example\r\nSubject: Otra\r\n\r\nHola.\r\n");
    mail->emailFwd = mail->userEmail;
    ui.clearRecord();
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().forwarded, 1);
    EXPECT_EQ(reception->lastCycle().failed, 1);
    EXPECT_EQ(mailboxCount(), 2);
    mail->emailFwd = "soporte@oficina.example";
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().forwarded, 1);
    EXPECT_EQ(mailboxCount(), 1);

    // The next cycle finds the failing reply again and counts it once more.
    ui.clearRecord();
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().failed, 1);
    EXPECT_EQ(reception->lastCycle().processed, 0);
    EXPECT_EQ(ui.statusTexts().last(), "Total mensajes de correo: Procesados: 0 - No procesados: 1 - Reenviados: 0 ");
    EXPECT_EQ(activity->lines().filter("Error al procesar correo").size(), 4);
    EXPECT_EQ(mailboxCount(), 1);
}

TEST_F(ReceptionTest, HostileMailWritesNothingOutsideTheReplyFilesAndNeverStopsTheCycle)
{
    addRequest(1);
    addRequest(2);
    const QByteArray settingsBefore = readBytes(path("TavReg.INI"));
    const QString parent = QFileInfo(path("")).absoluteDir().absolutePath();
    // Where a name that climbs out could land (only those not there before the test can be checked).
    QStringList outside;
    for (const QString &p : {path("x"), QDir(parent).filePath("x"), QDir(parent).filePath("../x"), QString("/etc/x")})
        if (!QFileInfo::exists(p))
            outside << p;
    // Names that climb out of the folder or name the office's own files come with a valid confirmation.
    servers.deliver(replyMail("CONFIRMO",
                              {{"../../x", "fuera"},
                               {"/etc/x", "fuera"},
                               {"ped.dbf", "no es una tabla"},
                               {"TavReg.INI", "[Config]\r\nroto=1\r\n"},
                               {"resp.dat", respDat(1)}},
                              "nombres"));
    // A 50 MB answer image.
    QByteArray big(50 * 1024 * 1024, '\0');
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    servers.deliver(replyMail("CONTESTACION OFICIAL", {{"resp.dat", respDat(2)}, {"resp.tif", big}}, "grande"));
    // A reply with no body at all, and one whose multipart body has no parts.
    servers.deliver("From: tav-central@central.example\r\nSubject: CONFIRMO\r\nMessage-ID: <vacio@central.example>\r\n"
                    "\r\n");
    servers.deliver(
        "From: tav-central@central.example\r\nSubject: CONFIRMO\r\nMessage-ID: <sinpartes@central.example>\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B--\r\n");

    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().processed, 2);
    EXPECT_EQ(reception->lastCycle().failed, 2);
    EXPECT_EQ(reception->lastCycle().forwarded, 0);
    EXPECT_EQ(mailboxCount(), 2);

    EXPECT_EQ(stateOf(1), "T"); // the table read and saved fine: not replaced
    EXPECT_EQ(readBytes(path("TavReg.INI")), settingsBefore);
    for (const QString &p : outside)
        EXPECT_FALSE(QFileInfo::exists(p)) << p.toStdString();
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();

    EXPECT_EQ(stateOf(2), "C");
    EXPECT_EQ(QFileInfo(path("c2.7")).size(), big.size());
    EXPECT_TRUE(readBytes(path("c2.7")) == big);

    const QStringList errors = activity->lines().filter("Error al procesar correo");
    ASSERT_EQ(errors.size(), 2);
    for (const QString &e : errors)
        EXPECT_TRUE(e.contains("ERROR ProcesaMsgIndyToTAV: Error al confirmar pedido oficial - MsgId: <"))
            << e.toStdString();
}

TEST_F(ReceptionTest, AServerThatStopsAnsweringMidCycleEndsTheCycleWithItsError)
{
    for (int i = 1; i <= 3; ++i) {
        addRequest(i);
        servers.deliver(replyMail("CONFIRMO", {{"resp.dat", respDat(i)}}, "r" + QByteArray::number(i)));
    }
    // The first message goes through; the server hangs while the second one is being fetched.
    test::StallingProxy proxy(static_cast<quint16>(servers.pop3Port()));
    proxy.stallWhen = [](int connection, const QByteArray &block) {
        return connection >= 2 && block.startsWith("RETR");
    };
    mail->pop3Port = proxy.port();
    mail->timeoutMs = 1500;

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_TRUE(proxy.stalled());
    EXPECT_TRUE(dm->receptionIdle);
    EXPECT_EQ(reception->lastCycle().processed, 1);
    EXPECT_EQ(reception->lastCycle().failed, 1);
    EXPECT_TRUE(ui.statusTexts().last().startsWith(
        "Error al procesar mensajes de correo: Error GetTotMsgInbox: Error ConnectPOP3: "))
        << ui.statusTexts().last().toStdString();
    const QStringList errors = activity->lines().filter("Error al procesar correo");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("No se pudo guardar adjuntos en disco:ERROR SaveAllAttachToPath: "))
        << errors[0].toStdString();
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();

    // Nothing of the unfinished messages was lost: they wait on the server.
    mail->pop3Port = servers.pop3Port();
    EXPECT_EQ(mailboxCount(), 2);
}

TEST_F(ReceptionTest, GuardsAndTheLogThatCannotBeOpened)
{
    servers.deliver(replyMail("CONFIRMO", {{"resp.dat", respDat(1)}}, "uno"));
    addRequest(1);
    // A request open for editing: the cycle does not run.
    dm->ped->edit();
    EXPECT_FALSE(reception->RecibirCorreo());
    dm->ped->cancel();
    // Reception busy (a mail window is open, a send runs): neither.
    dm->receptionIdle = false;
    EXPECT_FALSE(reception->RecibirCorreo());
    dm->receptionIdle = true;
    EXPECT_EQ(mailboxCount(), 1);
    EXPECT_TRUE(ui.statusTexts().isEmpty());

    // An incomplete account: its message, and nothing else.
    mail->emailFwd.clear();
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(ui.messageTexts(), QStringList{"Falta configurar datos del correo: \rCuenta de reenvío"});
    EXPECT_TRUE(ui.statusTexts().isEmpty());
    mail->emailFwd = "soporte@oficina.example";

    // A log that cannot be opened is given up after a short while; the cycle goes on.
    ASSERT_TRUE(QDir().mkpath(path("TavRegLog.log"))); // a folder in its place: it never opens
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(exchange::GrabarLog(path("TavRegLog.log"), "linea"));
    EXPECT_LT(clock.elapsed(), 3000);
    // Reply files an earlier run left behind, in any case, go before the message's own are saved.
    touch("RESP.TIF");
    touch("estofi.dat");
    ASSERT_TRUE(reception->RecibirCorreo());
    EXPECT_EQ(reception->lastCycle().processed, 1);
    EXPECT_EQ(stateOf(1), "T");
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();
}
