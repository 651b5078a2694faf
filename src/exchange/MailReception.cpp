#include "exchange/MailReception.h"

#include "exchange/ReplyHandlers.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "platform/os/StationScratch.h"
#include "platform/text/Cp1252Qt.h"
#include "reports/ActivityReport.h"
#include "store/Tdm.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

namespace tav::exchange {

namespace {

// The files a reply carries; nothing else a message brings reaches the program directory.
const QStringList &replyFileNames()
{
    static const QStringList names{QStringLiteral("resp.dat"), QStringLiteral("resp.tif"), QStringLiteral("EstOfi.DAT"),
                                   QStringLiteral("EstPriv.DAT")};
    return names;
}

// A step of one message that did not go through; its text becomes the message's error.
class StepFailed : public std::runtime_error
{
public:
    explicit StepFailed(const QString &text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Runs `step` on a worker thread while this thread keeps processing events (windows repaint, timers fire;
// what the person types waits until the step is done).
void runOffThread(const std::function<void()> &step)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        step();
        return;
    }
    std::unique_ptr<QThread> worker(QThread::create(step));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
}

} // namespace

bool GrabarLog(const QString &logFile, const QString &line)
{
    // A few tries over about a fifth of a second: long enough for another station's append to end, short
    // enough that a log held open for good never stalls the cycle.
    constexpr int kTries = 10;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        QFile f(logFile);
        if (f.open(QIODevice::Append)) {
            const QByteArray bytes = text::toCp1252(line) + "\r\n";
            return f.write(bytes) == bytes.size();
        }
        if (!QFile::exists(logFile) && attempt > 0)
            return false; // it cannot be created either
        QThread::msleep(20);
    }
    return false;
}

MailReception::MailReception(store::Tdm &dm, TdmMail &mail, ReplyHandlers &replies, reports::ActivityReport &activity,
                             TSMime &transport)
    : m_dm(dm), m_mail(mail), m_replies(replies), m_activity(activity), m_transport(transport)
{}

QString MailReception::logFile() const
{
    return m_dm.filePath(QStringLiteral("TavRegLog.log"));
}

QString MailReception::now() const
{
    return m_dm.clock().now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

void MailReception::log(const QString &line)
{
    if (m_mail.logOpeMail)
        GrabarLog(logFile(), line);
}

bool MailReception::RecibirCorreo()
{
    if (!m_dm.receptionIdle || m_dm.isEditing())
        return false;
    m_dm.receptionIdle = false;
    struct Idle
    {
        store::Tdm &dm;
        ~Idle() { dm.receptionIdle = true; }
    } idle{m_dm};
    runCycle();
    return true;
}

void MailReception::runCycle()
{
    if (!m_dm.initialized)
        return;
    try {
        if (m_transport.outlookMode)
            ProcesarOutlook();
        else
            ProcesarCorreo();
    } catch (const std::exception &e) {
        // Whoever started the cycle (the timer or the button) shows it; the log keeps it.
        GrabarLog(logFile(), QStringLiteral("%1 - ERROR: Error al procesar mensajes de correo: %2")
                                 .arg(now(), QString::fromUtf8(e.what())));
        throw;
    }
}

void MailReception::ProcesarOutlook()
{
    if (!m_transport.outlookConnectionValid())
        return;
}

void MailReception::ProcesarCorreo()
{
    m_counters = {};
    if (!m_mail.ChequearConfigCorreo())
        return;
    ui::Ui &ui = m_dm.ui();
    ui.setStatusText(QStringLiteral("Procesando mensajes de correo..."));
    const auto busy = ui.busyCursor();
    // The handlers' tables stay open from the first reply to the end of the cycle.
    const auto tables = m_replies.holdTables();
    Counters &c = m_counters;
    int n = 1;
    int total = 0;
    QString error;
    bool ok = m_mail.GetTotMsgInbox(total, error);
    // The messages on the server when the cycle starts are its work; what arrives meanwhile waits for the
    // next cycle. A forwarding address that leads back to this mailbox can then never keep a cycle going.
    int left = total;
    while (ok && total >= n && left-- > 0) {
        ui.setStatusText(QStringLiteral("Procesando mensajes de correo...(Procesados: %1 -  No Procesados: %2 - "
                                        "Reenviados: %3) - Total en el servidor: %4")
                             .arg(c.processed)
                             .arg(c.failed)
                             .arg(c.forwarded)
                             .arg(total));
        QString messageError;
        const int r = RecibirMsgIndyToTav(n, messageError);
        if (r == 1) {
            ++c.processed;
        } else if (r == 0) {
            ++c.forwarded;
        } else {
            m_activity.addLine(reports::ActivityReport::stamped(
                m_dm.clock().now(), QStringLiteral(" - Error al procesar correo: ") + messageError));
            log(QStringLiteral("%1 - MailIndex: %2 - ERROR: %3 ").arg(now()).arg(n).arg(messageError));
            ++n;
            ++c.failed;
        }
        // A processed or forwarded message was deleted: the next one now has number n.
        ok = m_mail.GetTotMsgInbox(total, error);
    }
    if (!ok) {
        ui.setStatusText(QStringLiteral("Error al procesar mensajes de correo: ") + error);
        if (c.failed > 0)
            m_activity.requestShow();
        return;
    }
    ui.setStatusText(QStringLiteral("Total mensajes de correo: Procesados: %1 - No procesados: %2 - Reenviados: %3 ")
                         .arg(c.processed)
                         .arg(c.failed)
                         .arg(c.forwarded));
    if (c.failed > 0)
        m_activity.requestShow();
}

bool MailReception::EsAsuntoConocido(const QString &subject)
{
    return m_replies.EsAsuntoConocido(subject);
}

bool MailReception::BorroAdjuntosTempEnDisco(const QString &directory, QString &error)
{
    error.clear();
    const QDir dir(directory);
    // One pass over the folder (it holds every request's files), whatever case each name was written in.
    const QStringList found =
        dir.entryList(replyFileNames(), QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : replyFileNames()) {
        for (const QString &entry : found) {
            if (entry.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            const QString path = dir.filePath(entry);
            if (!QFile::remove(path)) {
                error = QStringLiteral("Error BorroAdjuntosTempEnDisco: Error DeleteFile:") + path;
                return false;
            }
        }
    }
    return true;
}

bool MailReception::saveReplyFiles(int n, QString &error)
{
    const QString programDir = m_dm.programPath();
    // A folder of this message's own in the station's scratch folder of the program directory (same disk: the
    // files are moved, not copied); one a crash left behind goes with that folder at the next start.
    QTemporaryDir staging(QDir(os::StationScratch::folder(programDir)).filePath(QStringLiteral("recepcion-XXXXXX")));
    if (!staging.isValid()) {
        error = QStringLiteral("ERROR SaveAllAttachToPath: no se pudo crear una carpeta temporal en ") + programDir;
        return false;
    }
    if (!m_mail.SaveAllAttachToPath(n, staging.path(), error))
        return false;
    const QDir from(staging.path());
    for (const QString &saved : from.entryList(QDir::Files | QDir::Hidden)) {
        for (const QString &name : replyFileNames()) {
            if (saved.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            const QString target = QDir(programDir).filePath(name);
            if (!QFile::rename(from.filePath(saved), target)) {
                error = QStringLiteral("ERROR SaveAllAttachToPath: Error SaveToFile:") + target;
                return false;
            }
        }
    }
    return true;
}

int MailReception::RecibirMsgIndyToTav(int n, QString &error)
{
    error.clear();
    if (!m_mail.ChequearConfigCorreo())
        return -1;
    THeaderMsg header;
    bool headerRead = false;
    try {
        QString stepError;
        if (!m_mail.GetHeadMail(n, header, stepError))
            throw StepFailed(stepError);
        headerRead = true;
        const auto stepLine = [&](const char *step) {
            return QStringLiteral("%1 - From: %2 - Tema: %3 - MailIndex: %4 - %5 OK - MsgId: %6")
                .arg(now(), header.From, header.Subject, QString::number(n), QString::fromLatin1(step), header.MsgId);
        };
        log(QStringLiteral("\n\r") + stepLine("GetHeadMail"));
        if (EsAsuntoConocido(header.Subject)) {
            if (!BorroAdjuntosTempEnDisco(m_dm.programPath(), stepError))
                throw StepFailed(QStringLiteral("No se pudo eliminar adjuntos temporales en disco:") + stepError);
            log(stepLine("BorroAdjuntosTempEnDisco"));
            if (!saveReplyFiles(n, stepError))
                throw StepFailed(QStringLiteral("No se pudo guardar adjuntos en disco:") + stepError);
            log(stepLine("SaveAllAttachToPath"));
            m_replies.outlookNames = false;
            // Opening a table reads all of it: done off this thread, once per cycle.
            m_replies.openTables(runOffThread);
            if (!m_replies.ProcesaMsgIndyToTAV(header.Subject, stepError))
                throw StepFailed(QStringLiteral("No se pudo procesar el mensaje en la base TAV: ") + stepError);
            log(stepLine("ProcesaMsgIndyToTAV"));
            if (!m_mail.DeleteMail(n, stepError))
                throw StepFailed(QStringLiteral("No se pudo eliminar mensaje de la bandeja de entrada:") + stepError);
            log(stepLine("DeleteMail"));
            return 1;
        }
        if (!m_mail.ForwardMail(n, m_mail.emailFwd, stepError))
            throw StepFailed(QStringLiteral("No se pudo reenviar mensaje de la bandeja de entrada:") + stepError);
        log(stepLine("ForwardMail"));
        if (!m_mail.DeleteMail(n, stepError))
            throw StepFailed(QStringLiteral("No se pudo eliminar mensaje de la bandeja de entrada:") + stepError);
        log(stepLine("DeleteMail"));
        return 0;
    } catch (const std::exception &e) {
        const QString why = dynamic_cast<const StepFailed *>(&e) ? static_cast<const StepFailed &>(e).text()
                                                                 : QString::fromUtf8(e.what());
        error = QStringLiteral("Error RecibirMsgIndyToTav: ") + why + QStringLiteral(" - MsgId: ") +
                (headerRead ? header.MsgId : QString());
        return -1;
    }
}

} // namespace tav::exchange
