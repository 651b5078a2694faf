#include "e2e/mail/MailServers.h"
#include "unit/store/OfficeFixture.h"

#include "exchange/RequestSender.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "exchange/windows/TFConfigEnvio.h"
#include "official/OfficialRules.h"
#include "platform/mail/MailNames.h"
#include "platform/text/Cp1252Qt.h"
#include "support/TestCertificates.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>

using namespace tav;
using exchange::TdmMail;
using exchange::THeaderMsg;

namespace {

QByteArray readBytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
}

class MailTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        ASSERT_TRUE(servers.start()) << servers.error().toStdString();
        account = std::make_unique<TdmMail>(*dm);
        servers.configure(*account);
    }
    void TearDown() override
    {
        account.reset();
        servers.stop();
        OfficeFixture::TearDown();
    }

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.path().string())).filePath(name); }
    void writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    test::MailServers servers;
    std::unique_ptr<TdmMail> account;
};

TEST_F(MailTest, SentMessageArrivesWithItsAttachmentsAndIsReadBackByPop3)
{
    QByteArray binary(3000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 13 % 256);
    writeBytes("huella.tif", binary);
    writeBytes("ped.dat", "[DATA]\r\nx_ape1=PE\xD1"
                          "A\r\n");
    account->logOpeMail = true;
    THeaderMsg header;
    header.Recipients = "central@tav-central.example";
    header.Subject = "PEDIDO OFICIAL";
    QString error;
    ASSERT_TRUE(account->SendMail(header, {"Pedido 12. Regional 7."}, error, {path("ped.dat"), path("huella.tif")}))
        << error.toStdString();
    ASSERT_EQ(servers.deliveredFiles().size(), 1);
    EXPECT_GT(account->smtpMessageSize, 4000);
    // The operations log line.
    const QString logLine = QString::fromLatin1(readBytes(path("TavRegLog.log")));
    EXPECT_TRUE(logLine.startsWith("10/12/2026 ")) << logLine.toStdString();
    EXPECT_TRUE(logLine.contains(" - To: central@tav-central.example - Tema: PEDIDO OFICIAL - SendMail Result: "
                                 "True - Tiempo: "));
    EXPECT_TRUE(logLine.endsWith(" seg - Texto: Pedido 12  Regional 7.\r\n")) << logLine.toStdString();

    int count = -1;
    ASSERT_TRUE(account->GetTotMsgInbox(count, error)) << error.toStdString();
    EXPECT_EQ(count, 1);
    THeaderMsg got;
    ASSERT_TRUE(account->GetHeadMail(1, got, error)) << error.toStdString();
    EXPECT_EQ(got.Subject, "PEDIDO OFICIAL");
    EXPECT_EQ(got.From, "regional7@oficina.example"); // the sender rule: the account's own address
    EXPECT_EQ(got.Recipients, "central@tav-central.example");
    EXPECT_EQ(got.Priority, 3);

    // The body: only the first full stop became a blank.
    QStringList texts;
    QList<exchange::AttachmentRow> rows;
    ASSERT_TRUE(account->GetMail(1, texts, rows));
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0].trimmed(), "Pedido 12  Regional 7.");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].filename, "ped.dat");
    EXPECT_EQ(rows[1].filename, "huella.tif");

    QDir().mkpath(path("recibidos"));
    ASSERT_TRUE(account->SaveAllAttachToPath(1, path("recibidos"), error)) << error.toStdString();
    EXPECT_EQ(readBytes(path("recibidos/huella.tif")), binary);
    EXPECT_EQ(readBytes(path("recibidos/ped.dat")), readBytes(path("ped.dat")));
    ASSERT_TRUE(account->saveAttachment(1, rows[1].index, path("copia.tif")));
    EXPECT_EQ(readBytes(path("copia.tif")), binary);

    ASSERT_TRUE(account->DeleteMail(1, error)) << error.toStdString();
    EXPECT_FALSE(account->pop3Connected());
    ASSERT_TRUE(account->GetTotMsgInbox(count, error));
    EXPECT_EQ(count, 0);
}

TEST_F(MailTest, WrongPasswordAndSilentServers)
{
    account->pop3Password = "equivocada";
    int count = 7;
    QString error;
    EXPECT_FALSE(account->GetTotMsgInbox(count, error));
    EXPECT_EQ(count, -1);
    EXPECT_TRUE(error.startsWith("Error GetTotMsgInbox: Error ConnectPOP3: ")) << error.toStdString();

    // A server that takes the connection and never says a word: the bound ends the wait.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    account->timeoutMs = 1500;
    account->pop3Port = silent.serverPort();
    account->pop3Password = test::MailServers::password();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(account->ConnectPOP3(error));
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(error.startsWith("Error ConnectPOP3: ")) << error.toStdString();

    account->smtpPort = silent.serverPort();
    clock.restart();
    THeaderMsg header;
    header.Recipients = "central@tav-central.example";
    EXPECT_FALSE(account->SendMail(header, {"x"}, error, {}));
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(error.startsWith("Error SendMail: ")) << error.toStdString();
    EXPECT_TRUE(servers.deliveredFiles().isEmpty());
}

TEST_F(MailTest, TlsAndAuthentication)
{
    test::TestCertificates certificates;
    ASSERT_TRUE(certificates.make(path(""))) << certificates.error.toStdString();
    servers.stop();
    ASSERT_TRUE(servers.start(certificates.certFile, certificates.keyFile)) << servers.error().toStdString();
    account->pop3Port = servers.pop3Port();
    account->smtpPort = servers.smtpPort();
    THeaderMsg header;
    header.Recipients = "central@tav-central.example";
    header.Subject = "PEDIDO OFICIAL";
    QString error;
    int count = -1;

    // Settings of an office that never chose TLS: the SMTP server refuses, and nothing is sent. (dovecot
    // counts a loopback connection as secure, so its refusal of a clear login cannot be shown here.)
    EXPECT_FALSE(account->SendMail(header, {"En claro."}, error, {}));
    EXPECT_TRUE(error.startsWith("Error SendMail: ")) << error.toStdString();

    // TLS chosen, but the servers' authority is not one the office trusts: nothing goes out in clear.
    account->smtpSecurity = mail::Security::StartTls;
    account->smtpAuth = true;
    account->pop3Security = mail::Security::Implicit;
    account->pop3Port = servers.pop3sPort();
    EXPECT_FALSE(account->SendMail(header, {"Sin confianza."}, error, {}));
    EXPECT_FALSE(account->GetTotMsgInbox(count, error));
    EXPECT_TRUE(servers.deliveredFiles().isEmpty());

    // With the office's authority file: STARTTLS and login for SMTP, implicit TLS for POP3.
    account->caFile = certificates.caFile;
    ASSERT_TRUE(account->SendMail(header, {"Cifrado."}, error, {})) << error.toStdString();
    ASSERT_TRUE(account->GetTotMsgInbox(count, error)) << error.toStdString();
    EXPECT_EQ(count, 1);
    THeaderMsg got;
    ASSERT_TRUE(account->GetHeadMail(1, got, error)) << error.toStdString();
    EXPECT_EQ(got.Subject, "PEDIDO OFICIAL");
    ASSERT_TRUE(account->DeleteMail(1, error)) << error.toStdString();

    // STARTTLS on the POP3 port works as well; a wrong SMTP password is refused.
    account->pop3Security = mail::Security::StartTls;
    account->pop3Port = servers.pop3Port();
    ASSERT_TRUE(account->GetTotMsgInbox(count, error)) << error.toStdString();
    EXPECT_EQ(count, 0);
    account->pop3Password = "equivocada";
    EXPECT_FALSE(account->SendMail(header, {"Clave mala."}, error, {}));
    EXPECT_TRUE(error.startsWith("Error SendMail: ")) << error.toStdString();
    EXPECT_TRUE(servers.deliveredFiles().isEmpty());
}

TEST_F(MailTest, SinglePartAttachmentNamedByItsDisposition)
{
    const char *dispositions[] = {"attachment; filename=\"resp.dat\"", "attachment;filename=resp.dat",
                                  "attachment; filename = \"resp.dat\" "};
    for (const char *disposition : dispositions) {
        servers.deliver(QByteArray("From: central@tav-central.example\r\nTo: regional7@oficina.example\r\n"
                                   "Subject: CONTESTACION\r\nMIME-Version: 1.0\r\n"
                                   "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
                                   "Content-Disposition: ") +
                        disposition + "\r\n\r\n" + QByteArray("[DATA]\r\nc_ped=12\r\n").toBase64() + "\r\n");
        QString error;
        int count = 0;
        ASSERT_TRUE(account->GetTotMsgInbox(count, error)) << error.toStdString();
        ASSERT_EQ(count, 1);
        std::filesystem::remove(dir / "resp.dat");
        ASSERT_TRUE(account->SaveAllAttachToPath(1, path(""), error)) << error.toStdString();
        EXPECT_EQ(readBytes(path("resp.dat")), QByteArray("[DATA]\r\nc_ped=12\r\n")) << disposition;
        ASSERT_TRUE(account->DeleteMail(1, error)) << error.toStdString();
    }
}

// Multipart messages as other mail programs write them: LF line ends, a preamble and an epilogue, nested
// alternatives, a boundary that begins another line's text, a missing closing delimiter, no boundary at all.
TEST(ReceivedMessageTest, PartsAreFoundHoweverTheMessageIsCut)
{
    const QByteArray dat = QByteArray("[DATA]\r\nc_ped=12\r\n");
    const QByteArray b64 = dat.toBase64();
    struct Case
    {
        const char *what;
        QByteArray raw;
        QStringList texts;     // the text parts, in order
        QStringList names;     // the attachments' names, in order
        qsizetype dataAt = -1; // the part that must decode to `dat`
    };
    const QByteArray head =
        "From: a@central.example\r\nTo: b@oficina.example\r\nSubject: CONFIRMO\r\nMIME-Version: 1.0\r\n";
    const Case cases[] = {
        {"CR LF, preamble, epilogue",
         head +
             "Content-Type: multipart/mixed; boundary=\"L\"\r\n\r\nPreambulo.\r\n--L\r\nContent-Type: "
             "text/plain\r\n\r\n"
             "Respuesta.\r\n--L\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"resp.dat\"\r\n\r\n" +
             b64 + "\r\n--L--\r\nEpilogo.\r\n",
         {"Respuesta."},
         {"resp.dat"},
         1},
        {"LF alone",
         QByteArray(head).replace("\r\n", "\n") +
             "Content-Type: multipart/mixed; boundary=L\n\n--L\nContent-Type: text/plain\n\nUno.\n--L\n"
             "Content-Type: application/octet-stream; name=resp.dat\nContent-Transfer-Encoding: base64\n\n" +
             b64 + "\n--L--\n",
         {"Uno."},
         {"resp.dat"},
         1},
        {"nested alternative, boundary that begins other lines",
         head +
             "Content-Type: multipart/mixed; boundary=\"L\"\r\n\r\n--L\r\n"
             "Content-Type: multipart/alternative; boundary=\"L2\"\r\n\r\n--L2\r\nContent-Type: text/plain\r\n\r\n"
             "--Lineas de texto\r\n--L2\r\nContent-Type: text/html\r\n\r\n<p>Hola</p>\r\n--L2--\r\n--L\r\n"
             "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"resp.dat\"\r\n\r\n" +
             b64 + "\r\n--L--\r\n",
         {"--Lineas de texto", "<p>Hola</p>"},
         {"resp.dat"},
         2},
        {"no closing delimiter",
         head +
             "Content-Type: multipart/mixed; boundary=\"L\"\r\n\r\n--L\r\nContent-Type: "
             "text/plain\r\n\r\nDos.\r\n--L\r\n"
             "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
             "Content-Disposition: attachment; filename=\"resp.dat\"\r\n\r\n" +
             b64 + "\r\n",
         {"Dos."},
         {"resp.dat"},
         1},
    };
    for (const Case &c : cases) {
        const mail::ReceivedMail got = mail::parseMessage(c.raw);
        EXPECT_EQ(got.header.subject, "CONFIRMO") << c.what;
        EXPECT_TRUE(got.header.contentType.startsWith("multipart/")) << c.what;
        QStringList texts;
        QStringList names;
        for (const mail::MimePart &part : got.parts) {
            EXPECT_EQ(part.index, &part - got.parts.data()) << c.what;
            if (part.attachment)
                names << part.fileName;
            else
                texts << part.text.trimmed();
        }
        EXPECT_EQ(texts, c.texts) << c.what;
        EXPECT_EQ(names, c.names) << c.what;
        ASSERT_LT(c.dataAt, got.parts.size()) << c.what;
        EXPECT_EQ(got.parts[c.dataAt].data, dat) << c.what;
    }

    // A multipart message without a boundary is left to the library whole: nothing is lost or invented.
    const mail::ReceivedMail bare = mail::parseMessage(head + "Content-Type: multipart/mixed\r\n\r\nSin partes.\r\n");
    EXPECT_TRUE(bare.parts.size() <= 1);
}

TEST_F(MailTest, AttachmentNamesFromTheNetworkStayInTheTargetFolder)
{
    servers.deliver("From: x@y.example\r\nTo: regional7@oficina.example\r\nSubject: malo\r\nMIME-Version: 1.0\r\n"
                    "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\nContent-Type: text/plain\r\n\r\n"
                    "hola\r\n--B\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Disposition: attachment; filename=\"../../fuera.dat\"\r\n\r\nuno\r\n--B\r\n"
                    "Content-Type: application/octet-stream\r\n"
                    "Content-Disposition: attachment; filename=\"C:\\\\WINDOWS\\\\con.txt\"\r\n\r\ndos\r\n--B--\r\n");
    QDir().mkpath(path("bandeja"));
    QString error;
    int count = 0;
    ASSERT_TRUE(account->GetTotMsgInbox(count, error));
    ASSERT_TRUE(account->SaveAllAttachToPath(1, path("bandeja"), error)) << error.toStdString();
    EXPECT_EQ(QDir(path("bandeja")).entryList(QDir::Files), QStringList({"_con.txt", "fuera.dat"}));
    EXPECT_FALSE(QFile::exists(path("fuera.dat")));

    struct Case
    {
        const char *in;
        const char *out;
    };
    for (const Case c : {Case{"resp.dat", "resp.dat"}, Case{"../../etc/passwd", "passwd"}, Case{"/tmp/x.tif", "x.tif"},
                         Case{"..", "adjunto"}, Case{"LPT1", "_LPT1"},
                         Case{"a\x01"
                              "b.dat",
                              "ab.dat"},
                         Case{"", "adjunto"}})
        EXPECT_EQ(mail::bareFileName(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST_F(MailTest, ForwardKeepsTheMessageAndMarksTheSubject)
{
    const QByteArray original = "From: otro@lugar.example\r\nTo: regional7@oficina.example\r\nCc: copia@x.example\r\n"
                                "Subject: Consulta\r\nMIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\n"
                                "Texto original.\r\n";
    servers.deliver(original);
    QString error;
    int count = 0;
    ASSERT_TRUE(account->GetTotMsgInbox(count, error));
    ASSERT_TRUE(account->ForwardMail(1, account->emailFwd, error)) << error.toStdString();
    const QStringList files = servers.deliveredFiles();
    ASSERT_EQ(files.size(), 2);
    QByteArray forwarded;
    for (const QString &file : files)
        if (!file.contains(".prueba")) // not the one put in the mailbox by the test
            forwarded = readBytes(file);
    EXPECT_TRUE(forwarded.contains("Subject: Consulta (REENVIO TAV REGIONAL)")) << forwarded.toStdString();
    EXPECT_TRUE(forwarded.contains("To: soporte@oficina.example"));
    EXPECT_TRUE(forwarded.contains("From: otro@lugar.example"));
    EXPECT_FALSE(forwarded.contains("Cc:"));
    EXPECT_TRUE(forwarded.contains("Texto original."));
}

TEST_F(MailTest, SettingsKeepThePasswordComplemented)
{
    EXPECT_EQ(text::toCp1252(TdmMail::complemented("abc")), QByteArray("\x9E\x9D\x9C"));
    EXPECT_EQ(TdmMail::complemented(TdmMail::complemented("abc")), "abc");
    account->pop3Password = QString::fromLatin1("clave\xF1");
    account->saveSettings();
    EXPECT_EQ(text::toCp1252(dm->readSetting("pop3PwdE")), QByteArray("\x9C\x93\x9E\x89\x9A\x0E"));
    EXPECT_EQ(dm->readSetting("smtpSeguridad"), "N"); // the new keys are written off
    TdmMail again(*dm);
    again.loadSettings();
    EXPECT_EQ(again.pop3Password, QString::fromLatin1("clave\xF1"));
    EXPECT_EQ(again.pop3Port, servers.pop3Port());
    EXPECT_EQ(again.smtpSecurity, mail::Security::None);
    EXPECT_TRUE(again.ChequearConfigCorreo());
    again.pop3Name = " ";
    again.smtpPort = 0;
    again.emailFwd.clear();
    ui.clearRecord();
    EXPECT_FALSE(again.ChequearConfigCorreo());
    EXPECT_TRUE(ui.shown({{"Falta configurar datos del correo: \rServidor Pop3\rPuerto Smtp\rCuenta de reenvío",
                           ui::Ui::warningTitle()}}));
}

TEST_F(MailTest, AccountCheck)
{
    QStringList lines;
    account->checkAccount([&](const QString &line) { lines << line; });
    EXPECT_EQ(lines,
              QStringList({"Chequeando POP3..", "Verificación exitosa", "Chequeando SMTP..", "Verificación exitosa"}));
    EXPECT_TRUE(account->pop3Connected());
    ASSERT_EQ(servers.deliveredFiles().size(), 1);
    EXPECT_TRUE(readBytes(servers.deliveredFiles()[0]).contains("Subject: Mensaje de Prueba sin uso del Outlook"));

    lines.clear();
    account->pop3Password = "mala";
    account->checkAccount([&](const QString &line) { lines << line; });
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "Error al conectarse al POP3. Verifique configuración del POP3 y del correo");
    EXPECT_TRUE(lines[2].startsWith("Error ConnectPOP3: "));
}

TEST_F(MailTest, OfficialRequestByMail)
{
    official::OfficialRules rules(*dm);
    ASSERT_TRUE(dm->writeSetting("usaWebService", "N"));
    exchange::SendLog log;
    exchange::TSMime transport(*dm, log);
    ASSERT_FALSE(transport.webServiceMode);
    transport.setMail(account.get());
    exchange::RequestSender sender(*dm, [&](const exchange::OutgoingMessage &m) { return transport.Send(m); });
    dm->programVersion = "2.32";
    dm->postConfirmed = true;
    dm->org->insert();
    dm->org->field("X_ORG").setValue("JUZGADO");
    dm->org->field("X_DOM").setValue("CALLE 1");
    dm->org->field("X_LOC").setValue("CORDOBA");
    dm->org->field("C_PROV").setValue(4);
    dm->org->field("C_CODPOS").setValue(5000);
    ASSERT_TRUE(dm->org->post());
    store::Dataset &ped = *dm->ped;
    ped.insert();
    for (const auto &[name, value] : std::initializer_list<std::pair<const char *, QVariant>>{{"C_ORG", 1},
                                                                                              {"C_NAC", 1},
                                                                                              {"C_SEXO", "M"},
                                                                                              {"X_APE1", "GOMEZ"},
                                                                                              {"X_NOM1", "JUAN"},
                                                                                              {"C_PRIOR", 1},
                                                                                              {"C_TDEL", 101},
                                                                                              {"C_CARPED", "N"}})
        ped[name].setValue(value);
    dm->postConfirmed = true;
    ASSERT_TRUE(ped.post()) << ui.messageTexts().join('|').toStdString();
    writeBytes("d1.7", QByteArray(5000, 'd'));
    ui.clearRecord();
    sender.EnviarPedido();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_EQ(ped["C_EST"].asString(), "E");
    ASSERT_EQ(servers.deliveredFiles().size(), 1);
    const QByteArray raw = readBytes(servers.deliveredFiles()[0]);
    EXPECT_TRUE(raw.contains("Subject: PEDIDO OFICIAL"));
    EXPECT_TRUE(raw.contains("To: central@tav-central.example"));
    const mail::ReceivedMail received = mail::parseMessage(raw);
    ASSERT_EQ(received.parts.size(), 3); // the (empty) body, then ped.dat and docu.tif
    EXPECT_EQ(received.parts[1].fileName, "ped.dat");
    EXPECT_EQ(received.parts[1].data, readBytes(path("ped.dat")));
    EXPECT_EQ(received.parts[2].fileName, "docu.tif");
    EXPECT_EQ(received.parts[2].data, QByteArray(5000, 'd'));

    // The SMTP server gone: the transport's error, then the send's.
    servers.stop();
    ped.edit();
    ped["M_ENVIADO"].setValue(false);
    ped["C_EST"].setValue("I");
    dm->postConfirmed = true;
    ASSERT_TRUE(ped.post());
    ui.clearRecord();
    sender.EnviarPedido();
    ASSERT_EQ(ui.messages().size(), 2) << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(ui.messages()[0].text.startsWith("Error al enviar: Error SendMail: "));
    EXPECT_EQ(ui.messages()[1].text, "No se pudo enviar el pedido");
    EXPECT_EQ(ped["C_EST"].asString(), "I");
}

} // namespace

namespace {

class TFConfigEnvioTest : public test::OfficeFixture
{};

TEST_F(TFConfigEnvioTest, ModesAndPortsAreStoredAsTheWindowSays)
{
    startDm();
    exchange::SendLog log;
    exchange::TSMime transport(*dm, log);
    TdmMail account(*dm);
    account.loadSettings();
    EXPECT_TRUE(transport.webServiceMode);
    exchange::TFConfigEnvio window(*dm, transport, account);
    window.show();
    EXPECT_FALSE(window.pages()->isVisible()); // the web service needs no account
    window.webServiceBox()->setChecked(false);
    EXPECT_TRUE(window.pages()->isVisible());
    window.outlookBox()->setChecked(true);
    EXPECT_FALSE(window.pages()->isVisible());
    window.outlookBox()->setChecked(false);
    window.edit("edPop3Name")->setText("pop.oficina.example");
    window.edit("edPop3Port")->setText("abc");
    window.edit("edSmtpPort")->setText("x25");
    window.edit("edPop3Pwd")->setText("abc");
    window.accept();
    EXPECT_EQ(dm->readSetting("usaWebService"), "N");
    EXPECT_EQ(dm->readSetting("usaOutlook"), "N");
    EXPECT_FALSE(transport.webServiceMode);
    EXPECT_EQ(dm->readSetting("pop3Port"), "110");
    EXPECT_EQ(dm->readSetting("smtpPort"), "25");
    EXPECT_EQ(dm->readSetting("pop3Name"), "pop.oficina.example");
    EXPECT_EQ(text::toCp1252(dm->readSetting("pop3PwdE")), QByteArray("\x9E\x9D\x9C"));

    // With no setting at all the web service is used; only "N" selects mail.
    ASSERT_TRUE(dm->amb->findKey(QStringLiteral("usaWebService")));
    dm->amb->remove();
    EXPECT_TRUE(exchange::TSMime(*dm, log).webServiceMode);
}

} // namespace

namespace {

// The focusable controls of a window in the order Tab visits them, from `first`.
QStringList tabChain(QWidget *first)
{
    QStringList names;
    QWidget *w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(w->window()) && w->isEnabled()) {
            const auto *button = qobject_cast<QAbstractButton *>(w);
            names << (button ? button->text() : w->objectName());
        }
        w = w->nextInFocusChain();
    } while (w && w != first);
    return names;
}

TEST_F(TFConfigEnvioTest, EnterInAFieldNeverAcceptsAndTabFollowsThePage)
{
    startDm();
    exchange::SendLog log;
    exchange::TSMime transport(*dm, log);
    TdmMail account(*dm);
    account.loadSettings();
    transport.webServiceMode = false;
    exchange::TFConfigEnvio window(*dm, transport, account);
    window.show();
    for (QPushButton *b : window.findChildren<QPushButton *>())
        EXPECT_FALSE(b->isDefault() || b->autoDefault()) << b->text().toStdString();
    window.edit("edPop3Name")->setText("pop.oficina.example");
    window.edit("edPop3Name")->setFocus();
    QTest::keyClick(window.edit("edPop3Name"), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_NE(dm->readSetting("pop3Name"), "pop.oficina.example");

    const QStringList chain = tabChain(window.edit("edPop3Name"));
    ASSERT_GE(chain.size(), 9) << chain.join(',').toStdString();
    EXPECT_EQ(chain.mid(0, 5), QStringList({"edPop3Name", "edPop3Port", "edPop3User", "edPop3Pwd", "edUserEmail"}))
        << chain.join(',').toStdString();
    const qsizetype boxes = chain.indexOf("Usar Microsoft Outlook como Cliente de Correo");
    EXPECT_EQ(chain.mid(boxes - 1, 5), QStringList({"", "Usar Microsoft Outlook como Cliente de Correo",
                                                    "Usar Web Service", "&Aceptar", "Cancelar"}))
        << chain.join(',').toStdString();
}

} // namespace
