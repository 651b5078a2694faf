#include "ReplyMailer.h"

#include "platform/imaging/ImageFile.h"
#include "platform/mail/MailClient.h"
#include "platform/text/Cp1252Qt.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QHttpServerResponse>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QSettings>
#include <QTimer>
#include <QUrlQuery>

#include <cstdio>

namespace {

const QString kStatusSubject = QStringLiteral("GETESTADO");

QMap<QString, QString> readPairs(const QByteArray &bytes)
{
    QMap<QString, QString> values;
    for (const QString &line : tav::text::fromCp1252(bytes).split(QLatin1Char('\n'))) {
        const QString l = QString(line).remove(QLatin1Char('\r'));
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(l.left(eq).trimmed().toLower(), l.mid(eq + 1));
    }
    return values;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

void say(const QString &text)
{
    std::printf("central-sim: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// The state at the central office that a reply leaves.
QString stateAfter(const QString &kind)
{
    if (kind == QLatin1String("confirmar"))
        return QStringLiteral("T");
    if (kind == QLatin1String("contestar"))
        return QStringLiteral("C");
    if (kind == QLatin1String("rechazar"))
        return QStringLiteral("R");
    return {};
}

} // namespace

ReplyMailer::ReplyMailer(QString storeDir, Settings settings, QObject *parent)
    : QObject(parent), m_storeDir(std::move(storeDir)), m_settings(std::move(settings))
{}

void ReplyMailer::addOptions(QCommandLineParser &cli)
{
    cli.addOptions({
        {QStringLiteral("smtp"), QStringLiteral("Servidor SMTP de la oficina para las respuestas"),
         QStringLiteral("HOST:PUERTO")},
        {QStringLiteral("buzon"), QStringLiteral("Dirección de correo de la oficina"), QStringLiteral("DIRECCION")},
        {QStringLiteral("remitente"), QStringLiteral("Remitente de las respuestas"), QStringLiteral("DIRECCION")},
        {QStringLiteral("asunto-contestacion"), QStringLiteral("Asunto de las contestaciones (x_msgexp de la oficina)"),
         QStringLiteral("TEXTO")},
        {QStringLiteral("auto"),
         QStringLiteral("Respuestas automáticas a cada pedido: confirmar,contestar,rechazar,estados"),
         QStringLiteral("LISTA")},
        {QStringLiteral("demora"), QStringLiteral("Segundos antes de cada respuesta automática"),
         QStringLiteral("SEGUNDOS")},
        {QStringLiteral("responder"), QStringLiteral("Envía una respuesta al mensaje guardado y termina"),
         QStringLiteral("CARPETA")},
        {QStringLiteral("tipo"), QStringLiteral("Tipo de respuesta de --responder"), QStringLiteral("TIPO")},
    });
}

bool ReplyMailer::readSettings(const QCommandLineParser &cli, QSettings *ini, Settings &s, QString &error)
{
    const auto value = [&](const char *option, const char *key, const QString &fallback) {
        const QString name = QString::fromLatin1(option);
        if (cli.isSet(name))
            return cli.value(name);
        if (ini)
            return ini->value(QStringLiteral("Correo/") + QString::fromLatin1(key), fallback).toString();
        return fallback;
    };
    const QString smtp = value("smtp", "SMTP", QString());
    if (!smtp.isEmpty()) {
        const qsizetype colon = smtp.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int port = colon > 0 ? smtp.mid(colon + 1).toInt(&ok) : 25;
        if ((colon > 0 && !ok) || port <= 0 || port > 65535) {
            error = QStringLiteral("--smtp espera HOST:PUERTO, se recibió ") + smtp;
            return false;
        }
        s.smtpHost = colon > 0 ? smtp.left(colon) : smtp;
        s.smtpPort = port;
    }
    s.mailbox = value("buzon", "Buzon", s.mailbox);
    s.from = value("remitente", "Remitente", s.from);
    s.answerSubject = value("asunto-contestacion", "AsuntoContestacion", s.answerSubject);
    const QString automatic = value("auto", "Auto", QString());
    s.automatic = automatic.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &kind : s.automatic) {
        kind = kind.trimmed().toLower();
        if (!kinds().contains(kind)) {
            error = QStringLiteral("tipo de respuesta desconocido: ") + kind;
            return false;
        }
    }
    bool ok = false;
    const double seconds = value("demora", "Demora", QStringLiteral("2")).toDouble(&ok);
    if (!ok || seconds < 0) {
        error = QStringLiteral("--demora espera segundos");
        return false;
    }
    s.delayMs = static_cast<int>(seconds * 1000);
    if (!s.automatic.isEmpty() && (s.smtpHost.isEmpty() || s.mailbox.isEmpty())) {
        error = QStringLiteral("las respuestas automáticas necesitan --smtp y --buzon");
        return false;
    }
    return true;
}

QString ReplyMailer::folderPath(const QString &folder) const
{
    // Only folders of the store, named as the stand-in names them.
    const QString name = QFileInfo(folder).fileName();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || folder.contains(QLatin1String("..")))
        return {};
    const QString path = QDir(m_storeDir).filePath(name);
    return QFileInfo::exists(path + QStringLiteral("/mensaje.txt")) ? path : QString();
}

int ReplyMailer::fileNumber(const QString &folder) const
{
    // The central office's file number: the message's place in the store, from 1001.
    return 1000 + QFileInfo(folder).fileName().section(QLatin1Char('-'), 0, 0).toInt();
}

bool ReplyMailer::renderCertificate(const QString &path, const QStringList &lines, QString &error)
{
    QImage page(1654, 2339, QImage::Format_RGB32); // A4 at 200 dpi
    page.fill(Qt::white);
    {
        QPainter p(&page);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, 6));
        p.drawRect(80, 80, page.width() - 160, page.height() - 160);
        QFont title(QStringLiteral("DejaVu Serif"));
        title.setPixelSize(64);
        title.setBold(true);
        p.setFont(title);
        p.drawText(QRect(80, 180, page.width() - 160, 100), Qt::AlignCenter,
                   QStringLiteral("CERTIFICADO DE ANTECEDENTES"));
        QFont body(QStringLiteral("DejaVu Sans"));
        body.setPixelSize(40);
        p.setFont(body);
        int y = 420;
        for (const QString &line : lines) {
            p.drawText(QRect(180, y, page.width() - 360, 60), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += 80;
        }
        p.drawText(QRect(180, page.height() - 400, page.width() - 360, 60), Qt::AlignRight,
                   QStringLiteral("TAV Central (oficina simulada)"));
    }
    tav::imaging::Page out;
    out.image = page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    out.xResolution = out.yResolution = 200;
    return tav::imaging::ImageFile::save(out, path, tav::imaging::Encoding::tiffGroup4(), &error);
}

bool ReplyMailer::reply(const QString &folder, const QString &kind, QString &error)
{
    if (!kinds().contains(kind)) {
        error = QStringLiteral("tipo de respuesta desconocido: ") + kind;
        return false;
    }
    if (!canSend()) {
        error = QStringLiteral("faltan --smtp y --buzon para enviar respuestas");
        return false;
    }
    const QString path = folderPath(folder);
    if (path.isEmpty()) {
        error = QStringLiteral("no hay un mensaje guardado con ese nombre: ") + folder;
        return false;
    }
    const QMap<QString, QString> message = readPairs(readAll(path + QStringLiteral("/mensaje.txt")));
    const int request = message.value(QStringLiteral("pedido")).toInt();
    const int office = message.value(QStringLiteral("regional")).toInt();
    if (kind != QLatin1String("estados") &&
        (message.value(QStringLiteral("operacion")) != QLatin1String("SendMessage") || request <= 0)) {
        error = QStringLiteral("el mensaje no es un pedido: ") + folder;
        return false;
    }

    QDir replies(path + QStringLiteral("/respuestas"));
    replies.mkpath(QStringLiteral("."));
    const int sequence = static_cast<int>(replies.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()) + 1;
    const QString name = QStringLiteral("%1-%2").arg(sequence, 2, 10, QLatin1Char('0')).arg(kind);
    const QString temporary = QStringLiteral(".tmp-") + name;
    QDir(replies.filePath(temporary)).removeRecursively();
    replies.mkpath(temporary);
    const QDir out(replies.filePath(temporary));
    const auto fail = [&](const QString &why) {
        QDir(replies.filePath(temporary)).removeRecursively();
        error = why;
        return false;
    };

    const auto respDat = [&](const QString &state, const QString &obs) {
        QString text = QStringLiteral("[DATA]\r\nc_ped=%1\r\nc_reg=%2\r\nn_expe=%3\r\nc_est=%4\r\n")
                           .arg(request)
                           .arg(office)
                           .arg(fileNumber(path))
                           .arg(state);
        if (!obs.isEmpty())
            text += QStringLiteral("x_obs=") + obs + QStringLiteral("\r\n");
        return writeAll(out.filePath(QStringLiteral("resp.dat")), tav::text::toCp1252(text));
    };

    tav::mail::OutgoingMail mail;
    mail.from = m_settings.from;
    mail.recipients = {m_settings.mailbox};
    mail.priority = 2;
    if (kind == QLatin1String("confirmar")) {
        mail.subject = QStringLiteral("CONFIRMO");
        mail.body = QStringLiteral("Pedido %1 recibido y en trámite.").arg(request);
        if (!respDat(QStringLiteral("T"), {}))
            return fail(QStringLiteral("no se pudo escribir resp.dat"));
        mail.attachmentPaths = {out.filePath(QStringLiteral("resp.dat"))};
    } else if (kind == QLatin1String("contestar")) {
        mail.subject = m_settings.answerSubject;
        mail.body = QStringLiteral("Contestación del pedido %1.").arg(request);
        if (!respDat(QStringLiteral("C"), {}))
            return fail(QStringLiteral("no se pudo escribir resp.dat"));
        const QMap<QString, QString> ped = readPairs(readAll(path + QStringLiteral("/adjuntos/ped.dat")));
        const QString person = QStringList{ped.value(QStringLiteral("x_ape1")), ped.value(QStringLiteral("x_ape2")),
                                           ped.value(QStringLiteral("x_nom1")), ped.value(QStringLiteral("x_nom2"))}
                                   .join(QLatin1Char(' '))
                                   .simplified();
        QString imageError;
        if (!renderCertificate(out.filePath(QStringLiteral("resp.tif")),
                               {QStringLiteral("Expediente: %1").arg(fileNumber(path)),
                                QStringLiteral("Pedido: %1 - Regional: %2").arg(request).arg(office),
                                QStringLiteral("Persona: ") + (person.isEmpty() ? QStringLiteral("-") : person),
                                QStringLiteral("Fecha: ") + QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")),
                                QString(), QStringLiteral("No registra antecedentes penales.")},
                               imageError))
            return fail(QStringLiteral("no se pudo dibujar el certificado: ") + imageError);
        mail.attachmentPaths = {out.filePath(QStringLiteral("resp.dat")), out.filePath(QStringLiteral("resp.tif"))};
    } else if (kind == QLatin1String("rechazar")) {
        mail.subject = QStringLiteral("RECHAZO");
        mail.body = QStringLiteral("Pedido %1 rechazado.").arg(request);
        if (!respDat(QStringLiteral("R"), m_settings.rejectReason))
            return fail(QStringLiteral("no se pudo escribir resp.dat"));
        mail.attachmentPaths = {out.filePath(QStringLiteral("resp.dat"))};
    } else {
        // Every request of the office the stand-in holds, with the state its last reply left.
        QStringList official, personal;
        const QDir store(m_storeDir);
        for (const QString &entry : store.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString other = store.filePath(entry);
            const QMap<QString, QString> m = readPairs(readAll(other + QStringLiteral("/mensaje.txt")));
            if (m.value(QStringLiteral("operacion")) != QLatin1String("SendMessage") ||
                m.value(QStringLiteral("regional")).toInt() != office || m.value(QStringLiteral("pedido")).toInt() <= 0)
                continue;
            QString state = QStringLiteral("T");
            const QStringList sent =
                QDir(other + QStringLiteral("/respuestas")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString &r : sent)
                if (!stateAfter(r.section(QLatin1Char('-'), 1)).isEmpty())
                    state = stateAfter(r.section(QLatin1Char('-'), 1));
            const QString line =
                QStringLiteral("%1;%2|%3").arg(m.value(QStringLiteral("pedido")), state).arg(fileNumber(other));
            (m.value(QStringLiteral("subject")) == m_settings.officialSubject ? official : personal).append(line);
        }
        const auto list = [](const QStringList &lines) {
            return lines.isEmpty() ? QByteArray("NO_HAY_PEDIDOS\r\n")
                                   : (lines.join(QStringLiteral("\r\n")) + "\r\n").toLatin1();
        };
        mail.subject = QStringLiteral("SETESTADO");
        mail.body = QStringLiteral("Estado de los pedidos de la regional %1.").arg(office);
        if (!writeAll(out.filePath(QStringLiteral("EstOfi.DAT")), list(official)) ||
            !writeAll(out.filePath(QStringLiteral("EstPriv.DAT")), list(personal)))
            return fail(QStringLiteral("no se pudieron escribir las listas de estado"));
        mail.attachmentPaths = {out.filePath(QStringLiteral("EstOfi.DAT")),
                                out.filePath(QStringLiteral("EstPriv.DAT"))};
    }

    try {
        const QByteArray raw = tav::mail::composeMessage(mail);
        tav::mail::ServerSettings server;
        server.host = m_settings.smtpHost;
        server.port = m_settings.smtpPort;
        server.timeoutMs = m_settings.timeoutMs;
        tav::mail::smtpSend(server, mail.from, mail.recipients, raw);
    } catch (const tav::mail::MailError &e) {
        return fail(QStringLiteral("no se pudo enviar la respuesta: ") + e.text());
    }
    // Only a reply that went out counts for the request's state.
    if (!replies.rename(temporary, name))
        return fail(QStringLiteral("no se pudo guardar la respuesta en ") + replies.filePath(name));
    say(QStringLiteral("respuesta %1 (%2) pedido %3 regional %4 -> %5")
            .arg(kind, mail.subject)
            .arg(request)
            .arg(office)
            .arg(m_settings.mailbox));
    return true;
}

void ReplyMailer::install(QHttpServer &server)
{
    server.route(
        QStringLiteral("/sim/responder"), QHttpServerRequest::Method::Post, [this](const QHttpServerRequest &request) {
            const QUrlQuery query(request.url());
            QString error;
            if (!reply(query.queryItemValue(QStringLiteral("mensaje")), query.queryItemValue(QStringLiteral("tipo")),
                       error))
                return QHttpServerResponse(QByteArrayLiteral("text/plain; charset=utf-8"), error.toUtf8() + '\n',
                                           QHttpServerResponse::StatusCode::BadRequest);
            return QHttpServerResponse(QByteArrayLiteral("text/plain; charset=utf-8"), QByteArrayLiteral("enviada\n"));
        });
}

void ReplyMailer::messageStored(const QString &folder, const QString &operation, const QString &subject)
{
    if (operation != QLatin1String("SendMessage") || !canSend())
        return;
    // The status request gets the state lists; a request gets the other replies, in the order given.
    QStringList due;
    for (const QString &kind : m_settings.automatic)
        if ((subject == kStatusSubject) == (kind == QLatin1String("estados")))
            due << kind;
    int delay = 0;
    for (const QString &kind : due) {
        delay += m_settings.delayMs;
        QTimer::singleShot(delay, this, [this, folder, kind] {
            QString error;
            if (!reply(folder, kind, error))
                say(QStringLiteral("respuesta %1 no enviada: %2").arg(kind, error));
        });
    }
}
