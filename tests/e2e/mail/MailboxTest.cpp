// The mailbox windows driven as the operator does, against real mail servers on 127.0.0.1.
#include "e2e/mail/MailServers.h"
#include "unit/store/OfficeFixture.h"

#include "capture/windows/TFVerImg.h"
#include "exchange/MailReception.h"
#include "exchange/MailboxRules.h"
#include "exchange/ReplyHandlers.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "exchange/windows/TFBandeja.h"
#include "exchange/windows/TFNuevoMensaje.h"
#include "exchange/windows/TFProgresoCorreo.h"
#include "exchange/windows/TFVerTexto.h"
#include "platform/mail/MailClient.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimeZone>

using namespace tav;
using exchange::MailboxRules;
using exchange::TFBandeja;
using ui::Ui;

namespace {

QByteArray readBytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
}

QByteArray plainMessage(const QByteArray &subject, const QByteArray &body = "Texto.")
{
    return "From: Juzgado Uno <juzgado@tribunal.example>\r\nTo: regional7@oficina.example\r\nSubject: " + subject +
           "\r\nDate: Thu, 10 Dec 2026 09:15:00 -0300\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; "
           "charset=utf-8\r\n\r\n" +
           body + "\r\n";
}

// A message with attachments (name, bytes) encoded in base64.
QByteArray withAttachments(const QByteArray &subject, const QByteArray &body,
                           const QList<std::pair<QByteArray, QByteArray>> &files)
{
    QByteArray raw =
        "From: central@tav-central.example\r\nTo: regional7@oficina.example\r\nCc: archivo@oficina.example\r\n"
        "Subject: " +
        subject +
        "\r\nDate: Thu, 10 Dec 2026 11:30:05 -0300\r\nX-Priority: 1\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"LIMITE\"\r\n\r\n--LIMITE\r\n" +
        body;
    for (const auto &[name, bytes] : files)
        raw += "\r\n--LIMITE\r\nContent-Type: application/octet-stream; name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
               "\"\r\n\r\n" + bytes.toBase64() + "\r\n";
    return raw + "--LIMITE--\r\n";
}

// A small one-page TIFF (uncompressed, 8 x 8 gray).
QByteArray tinyTiff()
{
    QByteArray t("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](int v) { t.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto u32 = [&](int v) { u16(v & 0xffff), u16(v >> 16); };
    const int entries = 8;
    u16(entries);
    const int dataAt = 8 + 2 + entries * 12 + 4;
    const auto tag = [&](int id, int type, int count, int value) { u16(id), u16(type), u32(count), u32(value); };
    tag(256, 3, 1, 8);
    tag(257, 3, 1, 8);
    tag(258, 3, 1, 8);
    tag(259, 3, 1, 1);
    tag(262, 3, 1, 1);
    tag(273, 4, 1, dataAt);
    tag(278, 3, 1, 8);
    tag(279, 4, 1, 64);
    u32(0);
    t.append(QByteArray(64, '\x80'));
    return t;
}

class MailboxTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        ASSERT_TRUE(servers.start()) << servers.error().toStdString();
        account = std::make_unique<exchange::TdmMail>(*dm);
        servers.configure(*account);
        transport = std::make_unique<exchange::TSMime>(*dm, log);
        activity = std::make_unique<reports::ActivityReport>(path("logp.txt"));
        lists = std::make_unique<queries::CentralStatusLists>(*dm);
        replies = std::make_unique<exchange::ReplyHandlers>(*dm, *activity, *lists);
        window = std::make_unique<TFBandeja>(*dm, *account, *transport);
        reception = std::make_unique<exchange::MailReception>(*dm, *account, *replies, *activity, *transport);
        // The window's "Procesar" is the reception cycle's own handling of one message, as the program sets it.
        window->rules().processMessage = [this](int n, QString &error) {
            return reception->RecibirMsgIndyToTav(n, error);
        };
        window->beforeModal = [this](QWidget *dialog) { modals.append(dialog->objectName()); };
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        reception.reset();
        replies.reset();
        account.reset();
        servers.stop();
        OfficeFixture::TearDown();
    }

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.path().string())).filePath(name); }
    // The messages the test put in the mailbox that are still there (what the office sends arrives there too).
    int serverCount() const
    {
        int n = 0;
        for (const QString &f : servers.deliveredFiles())
            n += f.contains(".prueba");
        return n;
    }
    // The row of the grid showing the message with this subject.
    int rowOf(const QString &subject) const
    {
        const auto &rows = window->rules().rows();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].Subject == subject)
                return i;
        return -1;
    }
    void select(int row) { window->grid()->setCurrentIndex(window->grid()->model()->index(row, 1)); }
    int currentIndex() const
    {
        const int row = window->grid()->currentIndex().row();
        return row < 0 ? -1 : window->rules().rows()[row].Index;
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < window->grid()->model()->rowCount(); ++r)
            out << window->grid()->model()->index(r, c).data().toString();
        return out;
    }
    QStringList sentFiles() const
    {
        QStringList out;
        for (const QString &f : servers.deliveredFiles())
            if (!f.contains(".prueba"))
                out << f;
        return out;
    }
    // Saves the window as a picture when TAV_SHOTS_DIR names a folder (for looking at it).
    void shot(QWidget &w, const QString &name)
    {
        const QString folder = qEnvironmentVariable("TAV_SHOTS_DIR");
        if (!folder.isEmpty()) {
            QApplication::processEvents();
            EXPECT_TRUE(w.grab().save(QDir(folder).filePath(name + ".png")));
        }
    }

    test::MailServers servers;
    std::unique_ptr<exchange::TdmMail> account;
    exchange::SendLog log;
    std::unique_ptr<exchange::TSMime> transport;
    std::unique_ptr<reports::ActivityReport> activity;
    std::unique_ptr<queries::CentralStatusLists> lists;
    std::unique_ptr<exchange::ReplyHandlers> replies;
    std::unique_ptr<exchange::MailReception> reception;
    std::unique_ptr<TFBandeja> window;
    QStringList modals;
};

TEST_F(MailboxTest, ListsReadsAndSortsTheMessages)
{
    const QByteArray data = "[DATA]\r\nc_ped=5\r\nc_reg=7\r\n";
    servers.deliver(plainMessage("Consulta de un juzgado", "Primera línea <no es html>\r\nSegunda línea."));
    servers.deliver(withAttachments("CONFIRMO",
                                    "Content-Type: text/html; charset=utf-8\r\n\r\n<html><body><p>Pedido "
                                    "<b>recibido</b></p><img src=\"http://127.0.0.1:9/espia.png\"><img "
                                    "src=\"/etc/passwd\"></body></html>\r\n",
                                    {{"resp.dat", data}, {"resp.tif", tinyTiff()}}));
    servers.deliver(plainMessage("Aviso"));

    window->checkMail();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Total de mensajes en el servidor: 3");
    ASSERT_EQ(window->grid()->model()->rowCount(), 3);
    QStringList shown;
    for (int c = 0; c < MailboxRules::ColumnCount; ++c)
        if (!window->grid()->isColumnHidden(c))
            shown << window->grid()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(shown, QStringList({"Nro", "Asunto", "De", "Prioridad", "Fecha", "Bytes", "Para", "CC", "Id del Mensaje",
                                  "Tipo de Mensaje"}));
    EXPECT_EQ(column(0), QStringList({"1", "2", "3"}));
    shot(*window, "TFBandeja-lista");
    EXPECT_TRUE(window->attachmentPanel()->isHidden());

    // A click on a column title orders by it; a second click reverses; the selected message stays selected.
    select(rowOf("CONFIRMO"));
    window->grid()->horizontalHeader()->sectionClicked(MailboxRules::ColSubject);
    EXPECT_EQ(column(1), QStringList({"Aviso", "CONFIRMO", "Consulta de un juzgado"}));
    EXPECT_EQ(window->grid()->model()->index(window->grid()->currentIndex().row(), 1).data(), "CONFIRMO");
    window->grid()->horizontalHeader()->sectionClicked(MailboxRules::ColSubject);
    EXPECT_EQ(column(1), QStringList({"Consulta de un juzgado", "CONFIRMO", "Aviso"}));
    window->grid()->horizontalHeader()->sectionClicked(MailboxRules::ColBytes);
    const QStringList bytes = column(MailboxRules::ColBytes);
    EXPECT_LT(bytes[0].toInt(), bytes[2].toInt());
    EXPECT_EQ(window->grid()->model()->index(2, 1).data(), "CONFIRMO"); // the largest

    // Reading the reply: its header, its HTML body without anything loaded from outside, its attachments.
    select(rowOf("CONFIRMO"));
    window->readMessage();
    EXPECT_EQ(window->value("lbDe")->text(), "central@tav-central.example");
    EXPECT_EQ(window->value("lbPara")->text(), "regional7@oficina.example");
    EXPECT_EQ(window->value("lbCc")->text(), "archivo@oficina.example");
    EXPECT_EQ(window->value("lbAsunto")->text(), "CONFIRMO");
    EXPECT_EQ(window->value("lbPrioridad")->text(), "1");
    // The date in the workstation's time, with the Spanish month.
    const QDateTime sent = QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5), QTimeZone::utc()).toLocalTime();
    EXPECT_EQ(window->value("lbFecha")->text(), "10 dic 2026 " + sent.toString("HH:mm:ss"))
        << window->value("lbFecha")->text().toStdString();
    EXPECT_TRUE(window->body()->toPlainText().startsWith("Pedido recibido"));
    for (const char *source : {"http://127.0.0.1:9/espia.png", "/etc/passwd"})
        EXPECT_FALSE(window->body()->document()->resource(QTextDocument::ImageResource, QUrl(source)).isValid());
    EXPECT_TRUE(readBytes(path("cuerpo.html")).contains("<b>recibido</b>"));
    EXPECT_FALSE(window->attachmentPanel()->isHidden());
    ASSERT_EQ(window->attachmentGrid()->rowCount(), 2);
    EXPECT_EQ(window->attachmentGrid()->item(0, 1)->text(), "resp.dat");
    EXPECT_EQ(window->attachmentGrid()->item(1, 1)->text(), "resp.tif");
    shot(*window, "TFBandeja-leido");

    // Opening the attachments: ".dat" in the text window, ".tif" in the image viewer; both stay on disk.
    window->attachmentGrid()->setCurrentCell(0, 1);
    window->openAttachment();
    window->attachmentGrid()->setCurrentCell(1, 1);
    window->openAttachment();
    EXPECT_EQ(modals, QStringList({"FVerTexto", "FVerImg"}));
    EXPECT_EQ(readBytes(path("resp.dat")), data);
    EXPECT_EQ(readBytes(path("resp.tif")), tinyTiff());

    // Saving one where the person chose.
    window->chooseSavePath = [this](const QString &proposed) {
        EXPECT_EQ(proposed, path("resp.dat"));
        return path("copia.dat");
    };
    window->attachmentGrid()->setCurrentCell(0, 1);
    window->saveAttachment();
    EXPECT_EQ(readBytes(path("copia.dat")), data);
    EXPECT_TRUE(ui.shown({{"Adjunto guardados en " + path("copia.dat"), "Información"}}));

    // A plain text body is shown as written, never taken for HTML.
    select(rowOf("Consulta de un juzgado"));
    window->readMessage();
    EXPECT_TRUE(window->body()->toPlainText().contains(QString::fromUtf8("Primera línea <no es html>\nSegunda")))
        << window->body()->toPlainText().toStdString();
    EXPECT_TRUE(window->attachmentPanel()->isHidden());
    EXPECT_EQ(serverCount(), 3); // reading removes nothing

    // Closing the window leaves no message text behind.
    window->reject();
    EXPECT_FALSE(QFile::exists(path("cuerpo.html")));
}

TEST_F(MailboxTest, AttachmentsOpenOnlyByTheirExtensionAndSize)
{
    struct Case
    {
        QByteArray name;
        int size;
        const char *message; // empty: opened
        const char *viewer;
        const char *savedAs; // the file left in the program directory, if any
    };
    const Case cases[] = {
        {"nota.txt", 46079, "", "FVerTexto", "nota.txt"},
        {"grande.txt", 46080, "El adjunto es demasiado grande para el Bloc de notas", "", "grande.txt"},
        {"RESP.DAT", 10, "Desde esta aplicación, solo se pueden visualizar \radjuntos de tipo .dat .txt .tif", "", ""},
        {"planilla.xls", 10, "Desde esta aplicación, solo se pueden visualizar \radjuntos de tipo .dat .txt .tif", "",
         ""},
        {"resp.dat.exe", 10, "Desde esta aplicación, solo se pueden visualizar \radjuntos con extensión .dat .txt .tif",
         "", "resp.dat.exe"},
        {"../../fuera.dat", 10, "", "FVerTexto", "fuera.dat"},
    };
    QList<std::pair<QByteArray, QByteArray>> files;
    for (const Case &c : cases)
        files.append({c.name, QByteArray(c.size, 'a')});
    servers.deliver(withAttachments("Varios", "Content-Type: text/plain\r\n\r\nAdjuntos.\r\n", files));
    window->checkMail();
    select(0);
    window->readMessage();
    ASSERT_EQ(window->attachmentGrid()->rowCount(), int(std::size(cases)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.name.toStdString());
        ui.clearRecord();
        modals.clear();
        window->attachmentGrid()->setCurrentCell(i, 1);
        window->openAttachment();
        if (c.message[0]) {
            EXPECT_EQ(ui.messageTexts(), QStringList{QString::fromUtf8(c.message)});
        } else {
            EXPECT_TRUE(ui.shownNothing());
        }
        EXPECT_EQ(modals, c.viewer[0] ? QStringList{c.viewer} : QStringList{});
        if (c.savedAs[0]) {
            EXPECT_EQ(readBytes(path(c.savedAs)).size(), c.size);
        }
    }
    EXPECT_FALSE(QFile::exists(QDir(path("..")).filePath("fuera.dat")));
    EXPECT_FALSE(QFile::exists(path("RESP.DAT")));
}

TEST_F(MailboxTest, DeleteFetchesTheListAgainAndStaysOnTheMessageBefore)
{
    for (int i = 1; i <= 9; ++i)
        servers.deliver(plainMessage("Mensaje " + QByteArray::number(i)));
    window->checkMail();
    ASSERT_EQ(window->rules().rows().size(), 9);
    const int row = window->rules().rowOfIndex(5);
    const QString subject = window->rules().rows()[row].Subject;
    select(row);

    ui.answerNext(Ui::No);
    window->deleteMessage();
    EXPECT_EQ(serverCount(), 9);

    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    window->deleteMessage();
    EXPECT_TRUE(ui.shown({{"¿Está seguro que desea eliminar este mensaje?", "Confirmar", Ui::Buttons::YesNo},
                          {"Mensaje eliminado", "Información"}}))
        << window->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(window->rules().rows().size(), 8);
    EXPECT_EQ(window->statusBar()->currentMessage(), "Total de mensajes en el servidor: 8");
    EXPECT_EQ(rowOf(subject), -1);
    EXPECT_EQ(currentIndex(), 4);
    EXPECT_EQ(serverCount(), 8);

    // Deleting the first message leaves the list on its first row.
    select(window->rules().rowOfIndex(1));
    ui.answerNext(Ui::Yes);
    window->deleteMessage();
    EXPECT_EQ(window->rules().rows().size(), 7);
    EXPECT_EQ(window->grid()->currentIndex().row(), 0);

    // After "Cerrar conexión" nothing acts until the list is fetched again.
    window->disconnectList();
    EXPECT_EQ(window->grid()->model()->rowCount(), 0);
    ui.clearRecord();
    ui.answerNext(Ui::Yes);
    window->deleteMessage();
    EXPECT_EQ(serverCount(), 7);
}

TEST_F(MailboxTest, ForwardSendsTheMessageAsItCameAndKeepsIt)
{
    const QByteArray original = plainMessage("Consulta", "Texto original.\r\nSin cambios.");
    servers.deliver(original);
    window->checkMail();
    select(0);
    ui.answerNextInput(QStringLiteral("mesa@oficina.example"));
    window->forwardMessage();
    ASSERT_EQ(ui.inputBoxes().size(), 1);
    EXPECT_EQ(ui.inputBoxes()[0].caption, "Reenvío de mensaje");
    EXPECT_EQ(ui.inputBoxes()[0].prompt, "Ingrese email del destinatario:");
    EXPECT_EQ(ui.inputBoxes()[0].initialText, "soporte@oficina.example");
    EXPECT_EQ(window->statusBar()->currentMessage(), "Mensaje re-enviado");
    const QStringList sent = sentFiles();
    ASSERT_EQ(sent.size(), 1);
    const QByteArray forwarded = readBytes(sent[0]);
    EXPECT_TRUE(forwarded.contains("Subject: Consulta (REENVIO TAV REGIONAL)")) << forwarded.toStdString();
    EXPECT_TRUE(forwarded.contains("To: mesa@oficina.example"));
    EXPECT_TRUE(forwarded.contains("juzgado@tribunal.example")); // the sender as received
    EXPECT_TRUE(forwarded.contains("Texto original.\r\nSin cambios."));
    EXPECT_EQ(serverCount(), 1);

    // Cancelling the address sends nothing.
    ui.answerNextInput(std::nullopt);
    window->forwardMessage();
    EXPECT_EQ(sentFiles().size(), 1);
}

TEST_F(MailboxTest, ProcessAppliesARepliesAndForwardsTheRest)
{
    store::Dataset &ped = *dm->ped;
    ped.insert();
    ped["C_PED"].setValue(5);
    ped["C_REG"].setValue(7);
    ped["C_EST"].setValue("E");
    ASSERT_TRUE(ped.post());
    servers.deliver(plainMessage("Saludos"));
    servers.deliver(withAttachments("CONFIRMO", "Content-Type: text/plain\r\n\r\nConfirmado.\r\n",
                                    {{"resp.dat", "[Data]\r\nC_PED=5\r\nC_REG=7\r\nN_EXPE=4321\r\nC_EST=T\r\n"}}));
    servers.deliver(withAttachments("CONFIRMO", "Content-Type: text/plain\r\n\r\nOtro.\r\n",
                                    {{"resp.dat", "[Data]\r\nC_PED=99\r\nC_REG=7\r\nN_EXPE=1\r\nC_EST=T\r\n"}}));
    window->checkMail();
    ASSERT_EQ(window->rules().rows().size(), 3);
    const auto indexOf = [this](const char *subject, const char *body) {
        for (const auto &r : window->rules().rows())
            if (r.Subject == subject && r.Bytes > 0) {
                QStringList texts;
                QList<exchange::AttachmentRow> attachments;
                if (account->GetMail(r.Index, texts, attachments) && texts.join("").contains(body))
                    return r.Index;
            }
        return -1;
    };

    // A reply: its handler runs and the message goes.
    const int reply = indexOf("CONFIRMO", "Confirmado.");
    select(window->rules().rowOfIndex(reply));
    window->processMessage();
    EXPECT_TRUE(ui.shown({{"Mensaje procesado exitosamente", "Información"}}))
        << ui.messageTexts().join('|').toStdString();
    ASSERT_TRUE(ped.findKey(5));
    ped.refresh();
    EXPECT_EQ(ped["C_EST"].asString(), "T");
    EXPECT_EQ(ped["N_EXPE"].asInteger(), 4321);
    EXPECT_EQ(window->rules().rows().size(), 2);
    EXPECT_EQ(currentIndex(), reply > 1 ? reply - 1 : 1);

    // A reply for a request that is not here: an error in the status bar, and the message stays.
    ui.clearRecord();
    const int stranger = indexOf("CONFIRMO", "Otro.");
    select(window->rules().rowOfIndex(stranger));
    window->processMessage();
    EXPECT_TRUE(ui.shownNothing()) << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(
        "Error al procesar: Error RecibirMsgIndyToTav: No se pudo procesar el mensaje en la base TAV: "))
        << window->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(serverCount(), 2);

    // Any other message is forwarded to the account's forwarding address and removed.
    select(window->rules().rowOfIndex(indexOf("Saludos", "Texto.")));
    window->processMessage();
    EXPECT_TRUE(ui.shown({{"Mensaje reenviado exitosamente", "Información"}}));
    ASSERT_EQ(sentFiles().size(), 1);
    const QByteArray forwarded = readBytes(sentFiles()[0]);
    EXPECT_TRUE(forwarded.contains("Subject: Saludos (REENVIO TAV REGIONAL)"));
    EXPECT_TRUE(forwarded.contains("To: soporte@oficina.example"));
    EXPECT_EQ(serverCount(), 1);
    // The list holds the reply that failed and the forwarded copy (the test's forwarding address is this mailbox).
    EXPECT_EQ(window->rules().rows().size(), 2);
}

TEST_F(MailboxTest, ALostConnectionAsksToFetchTheListAgain)
{
    servers.deliver(plainMessage("Uno"));
    window->checkMail();
    select(0);
    account->DisconnectPOP3();
    window->readMessage();
    EXPECT_TRUE(
        ui.shown({{"Se perdió la conexión con el servidor. \rConsultar nuevamente la bandeja de entrada", "Error"}}));
    EXPECT_EQ(window->grid()->model()->rowCount(), 0);
    EXPECT_FALSE(window->rules().listOpen());

    // A server that is not there: the list stays empty and the reason is in the status bar.
    servers.stop();
    window->checkMail();
    EXPECT_TRUE(
        window->statusBar()->currentMessage().startsWith("ERROR:Error al conectarse al POP3: Error ConnectPOP3: "))
        << window->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(window->grid()->model()->rowCount(), 0);
}

TEST_F(MailboxTest, NewMessageIsSentWithHighPriorityAndItsAttachments)
{
    {
        QFile f(path("nota.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Contenido de la nota\r\n");
    }
    window->newMessage();
    EXPECT_EQ(modals, QStringList{"FNuevoMensaje"});
    exchange::TFNuevoMensaje &composer = *window->composer();
    EXPECT_FALSE(composer.sendButton()->autoDefault());
    composer.to()->setText("central@tav-central.example");
    composer.subject()->setText("Consulta de la regional");
    composer.cc()->setText("copia@oficina.example");
    composer.bcc()->setText("oculta@oficina.example");
    composer.body()->setPlainText("Buenos días. Adjunto la nota.");
    composer.chooseFile = [this] { return path("nota.txt"); };
    composer.attachFile();
    EXPECT_EQ(composer.attachments()->count(), 1);
    shot(composer, "TFNuevoMensaje");
    composer.send();
    EXPECT_TRUE(ui.shown({{"Mensaje enviado", "Información"}}));
    ASSERT_EQ(sentFiles().size(), 1);
    const QByteArray raw = readBytes(sentFiles()[0]);
    const mail::ReceivedMail got = mail::parseMessage(raw);
    EXPECT_EQ(got.header.subject, "Consulta de la regional");
    EXPECT_EQ(got.header.from, "regional7@oficina.example");
    EXPECT_EQ(got.header.priority, 2); // "high"
    EXPECT_EQ(got.header.cc, "copia@oficina.example");
    EXPECT_FALSE(raw.contains("oculta@"));
    bool attached = false;
    for (const auto &part : got.parts)
        attached = attached || (part.fileName == "nota.txt" && part.data == "Contenido de la nota\r\n");
    EXPECT_TRUE(attached);

    // Opening it again starts from empty fields; a failed send says why and the window closes too.
    window->newMessage();
    EXPECT_TRUE(composer.to()->text().isEmpty());
    EXPECT_EQ(composer.attachments()->count(), 0);
    ui.clearRecord();
    servers.stop();
    composer.to()->setText("central@tav-central.example");
    composer.send();
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_TRUE(ui.messages()[0].text.startsWith("Error al enviar mensaje: Error SendMail: "));
}

TEST_F(MailboxTest, ProgressWindowFollowsSendsAndReads)
{
    exchange::TFProgresoCorreo progress;
    progress.follow(*account);
    QStringList seen;
    QObject::connect(account.get(), &exchange::TdmMail::transferProgress, &progress, [&](int) {
        seen << (progress.isVisible() ? progress.windowTitle() : QStringLiteral("(oculta)"));
    });
    exchange::THeaderMsg header;
    header.Recipients = "central@tav-central.example";
    header.Subject = "Grande";
    QFile big(path("grande.dat"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(400000, 'x'));
    big.close();
    QString error;
    ASSERT_TRUE(account->SendMail(header, {"Texto"}, error, {path("grande.dat")})) << error.toStdString();
    EXPECT_FALSE(progress.isVisible());
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.first(), "Enviando Mensaje..");
    EXPECT_EQ(progress.bar()->value(), 100);

    seen.clear();
    servers.deliver(
        withAttachments("Grande", "Content-Type: text/plain\r\n\r\nx\r\n", {{"g.dat", QByteArray(300000, 'y')}}));
    window->checkMail();
    select(0);
    window->readMessage();
    EXPECT_FALSE(progress.isVisible());
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.first(), "Recibiendo Mensaje...");

    // A report that comes after the end never brings the window back.
    progress.progress(50);
    EXPECT_FALSE(progress.isVisible());
}

} // namespace
