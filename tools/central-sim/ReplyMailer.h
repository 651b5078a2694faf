#pragma once

#include <QHttpServer>
#include <QObject>
#include <QString>
#include <QStringList>

class QCommandLineParser;
class QSettings;

// The central office's replies: for a message it received, the stand-in mails the office a confirmation
// ("CONFIRMO"), an answer (the office's answer subject, with "resp.dat" and a certificate image "resp.tif" it
// draws), a rejection ("RECHAZO") or the state lists ("SETESTADO", "EstOfi.DAT"/"EstPriv.DAT"), as real
// multipart mail through the office's SMTP server to the office's mailbox. Replies go out on command (an HTTP
// request to the running stand-in, or a one-shot run) or by themselves a while after each request arrives.
//
// Each reply sent is kept in the message's folder, "respuestas/NN-<kind>/" with the files it carried, and
// the request's state at the central office follows from the last one ("T", "C", "R").
class ReplyMailer : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString smtpHost;
        int smtpPort = 25;
        QString mailbox; // the office's address
        QString from = QStringLiteral("tav-central@central.example");
        QString answerSubject = QStringLiteral("CONTESTACION OFICIAL");        // the office's x_msgexp
        QString officialSubject = QStringLiteral("PEDIDO OFICIAL");            // the office's x_msgreg
        QString rejectReason = QStringLiteral("Faltan datos del solicitante"); // x_obs of a rejection
        QStringList automatic; // kinds sent by themselves after each request, in order
        int delayMs = 2000;
        int timeoutMs = 10000;
    };

    // The kinds of reply, as commands name them.
    static QStringList kinds() { return {"confirmar", "contestar", "rechazar", "estados"}; }

    ReplyMailer(QString storeDir, Settings settings, QObject *parent = nullptr);

    static void addOptions(QCommandLineParser &cli);
    // Settings from the command line, over those of the INI file's section [Correo] (when `ini` is given).
    // False with `error` when they do not make sense.
    static bool readSettings(const QCommandLineParser &cli, QSettings *ini, Settings &settings, QString &error);

    const Settings &settings() const { return m_settings; }
    bool canSend() const { return !m_settings.smtpHost.isEmpty() && !m_settings.mailbox.isEmpty(); }

    // Sends one reply of `kind` for the stored message `folder` (its name or path). False with the reason.
    bool reply(const QString &folder, const QString &kind, QString &error);

    // Routes "POST /sim/responder?mensaje=FOLDER&tipo=KIND" to reply().
    void install(QHttpServer &server);
    // A request was stored: its automatic replies are due after the delay.
    void messageStored(const QString &folder, const QString &operation, const QString &subject);

    // Draws the certificate of an answer as a black-and-white TIFF (Group 4, 200 dpi).
    static bool renderCertificate(const QString &path, const QStringList &lines, QString &error);

private:
    QString folderPath(const QString &folder) const;
    int fileNumber(const QString &folder) const;

    QString m_storeDir;
    Settings m_settings;
};
