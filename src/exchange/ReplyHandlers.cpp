#include "exchange/ReplyHandlers.h"

#include "exchange/ReplyData.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"
#include "store/OwnDataset.h"
#include "store/Tdm.h"

#include "platform/text/Cp1252Qt.h"
#include "platform/text/LineEndings.h"

#include <QFile>
#include <QThread>

namespace tav::exchange {

using store::Dataset;
using store::DatasetError;

namespace {

const QString kRespDat = QStringLiteral("resp.dat");
const QString kRespTif = QStringLiteral("resp.tif");
const QString kEstOfi = QStringLiteral("EstOfi.DAT");
const QString kEstPriv = QStringLiteral("EstPriv.DAT");

// Runs `done` when the scope ends, however it ends (the reply files go whether the reply applied or not).
template <typename F> class Finally
{
public:
    explicit Finally(F f) : m_f(std::move(f)) {}
    ~Finally() { m_f(); }
    Finally(const Finally &) = delete;
    Finally &operator=(const Finally &) = delete;

private:
    F m_f;
};

// Edits the request, lets `change` set its fields, and leaves it unchanged and unlocked when anything throws.
template <typename F> void editRequest(Dataset &request, F change)
{
    request.edit();
    try {
        change();
    } catch (...) {
        if (request.isEditing())
            request.cancel();
        throw;
    }
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DatasetError(QStringLiteral("No se pudo leer %1: %2").arg(path, f.errorString()).toStdString());
    const QByteArray bytes = f.readAll();
    QStringList lines;
    for (const auto line : text::splitLines(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        lines.append(text::fromCp1252(QByteArray(line.data(), static_cast<qsizetype>(line.size()))));
    return lines;
}

} // namespace

ReplyHandlers::ReplyHandlers(store::Tdm &dm, reports::ActivityReport &activity, queries::CentralStatusLists &stateLists)
    : m_dm(dm), m_activity(activity), m_stateLists(stateLists)
{
    // Until the central-status window shows the mailed lists, they are written in the activity report.
    if (!m_stateLists.appendLine)
        m_stateLists.appendLine = [this](const QString &line) { m_activity.addLine(line); };
}

ReplyHandlers::~ReplyHandlers() = default;

QString ReplyHandlers::replyFile(const QString &name) const
{
    return outlookNames ? QString::number(answerCounter) + name : name;
}

QString ReplyHandlers::path(const QString &name) const
{
    return m_dm.filePath(replyFile(name));
}

void ReplyHandlers::remove(const QString &name) const
{
    m_dm.deleteFile(replyFile(name));
}

Dataset &ReplyHandlers::table(bool personal)
{
    // Opened for one reply and closed with it (see Release): a table held open between replies would keep
    // the re-index and the pack at exit from opening it alone.
    auto &own = personal ? m_pedp : m_ped;
    if (!own)
        own = store::openOwnDataset(m_dm, personal ? QStringLiteral("pedp") : QStringLiteral("ped"));
    else if (m_holds > 0 && std::exchange(personal ? m_usedPedp : m_usedPed, true))
        m_dm.FlushBuffers(*own); // held open since an earlier reply: what was saved meanwhile is read
    return *own;
}

ReplyHandlers::Release::~Release()
{
    if (m_handlers.m_holds > 0)
        return;
    m_handlers.m_ped.reset();
    m_handlers.m_pedp.reset();
}

ReplyHandlers::TablesHeld::~TablesHeld()
{
    if (m_handlers && --m_handlers->m_holds == 0) {
        m_handlers->m_ped.reset();
        m_handlers->m_pedp.reset();
        m_handlers->m_usedPed = m_handlers->m_usedPedp = false;
        for (const bool personal : {false, true}) {
            bool &due = personal ? m_handlers->m_showPedp : m_handlers->m_showPed;
            if (std::exchange(due, false))
                m_handlers->showChanges(personal);
        }
    }
}

void ReplyHandlers::openTables(const std::function<void(const std::function<void()> &)> &offThread)
{
    QThread *here = QThread::currentThread();
    for (const bool personal : {false, true}) {
        auto &own = personal ? m_pedp : m_ped;
        if (own)
            continue;
        const QString component = personal ? QStringLiteral("pedp") : QStringLiteral("ped");
        std::unique_ptr<store::RecordSource> source = store::ownSource(m_dm, component);
        std::unique_ptr<Dataset> opened;
        std::exception_ptr failure;
        // The table is read and the dataset over it made where offThread runs them; nothing else can see the
        // dataset before it is handed to this thread, whose event loop then owns it.
        offThread([&] {
            try {
                source->open();
                opened = store::ownDatasetOn(m_dm, component, std::move(source));
                opened->moveToThread(here);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        if (failure)
            std::rethrow_exception(failure);
        own = std::move(opened);
    }
}

Dataset *ReplyHandlers::findRequest(bool personal, const ReplyData &data)
{
    if (data.c_ped <= 0 || data.c_reg <= 0)
        return nullptr;
    Dataset &t = table(personal);
    if (!t.findKey(data.c_ped))
        return nullptr;
    if (t.field(QStringLiteral("C_REG")).asInteger() != data.c_reg)
        return nullptr;
    return &t;
}

void ReplyHandlers::save(Dataset &request)
{
    request.field(QStringLiteral("C_VERSION")).setValue(m_dm.programVersion);
    if (!request.post()) {
        const QString number = request.field(QStringLiteral("C_PED")).asString();
        if (request.isEditing())
            request.cancel();
        throw DatasetError(QStringLiteral("No se pudo grabar el pedido %1").arg(number).toStdString());
    }
}

void ReplyHandlers::afterSave(bool personal)
{
    // Within a reception cycle the windows are brought up to date once, at its end.
    if (m_holds > 0) {
        (personal ? m_showPedp : m_showPed) = true;
        return;
    }
    showChanges(personal);
}

void ReplyHandlers::showChanges(bool personal)
{
    // The person's window shows the change; a record open for editing there is left alone.
    Dataset &shown = personal ? *m_dm.pedp : *m_dm.ped;
    if (shown.isActive() && !shown.isEditing())
        m_dm.FlushBuffers(shown);
}

void ReplyHandlers::storeAnswer(const QString &image, const QString &answerFile)
{
    // Copied beside the answer file first: a copy that fails leaves the earlier answer whole.
    const QString target = m_dm.filePath(answerFile);
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(image, partial)) {
        QFile::remove(partial);
        throw DatasetError(QStringLiteral("No se pudo guardar la contestación en %1").arg(answerFile).toStdString());
    }
    QFile::remove(target);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw DatasetError(QStringLiteral("No se pudo guardar la contestación en %1").arg(answerFile).toStdString());
    }
}

void ReplyHandlers::activity(const QString &rest)
{
    m_activity.addLine(reports::ActivityReport::stamped(m_dm.clock().now(), rest));
}

bool ReplyHandlers::ProcesarContestacionOficial()
{
    Release release(*this);
    if (!QFile::exists(path(kRespDat)) || !QFile::exists(path(kRespTif)))
        return false;
    Finally cleanUp([this] {
        remove(kRespDat);
        remove(kRespTif);
    });
    const ReplyData data = ReplyData::read(path(kRespDat));
    Dataset *request = findRequest(false, data);
    if (!request)
        return false;
    const QString answer = store::Tdm::requestFileName(QStringLiteral("c"), *request);
    editRequest(*request, [&] {
        request->field(QStringLiteral("N_EXPE")).setValue(data.n_expe);
        request->field(QStringLiteral("F_CON")).setValue(m_dm.clock().today());
        storeAnswer(path(kRespTif), answer);
        request->field(QStringLiteral("M_CONTESTA")).setValue(true);
        request->field(QStringLiteral("C_EST")).setValue(QStringLiteral("C"));
        save(*request);
    });
    afterSave(false);
    if (m_dm.automaticPrinting && printImage)
        printImage(m_dm.filePath(answer));
    return true;
}

bool ReplyHandlers::ProcesarConfirmacionOficial()
{
    Release release(*this);
    if (!QFile::exists(path(kRespDat)))
        return false;
    Finally cleanUp([this] { remove(kRespDat); });
    const ReplyData data = ReplyData::read(path(kRespDat));
    if (data.c_est != QLatin1String("T"))
        return false;
    Dataset *request = findRequest(false, data);
    if (!request)
        return false;
    editRequest(*request, [&] {
        request->field(QStringLiteral("N_EXPE")).setValue(data.n_expe);
        request->field(QStringLiteral("C_EST")).setValue(QStringLiteral("T"));
        save(*request);
    });
    afterSave(false);
    activity(QStringLiteral("  Pedido Oficial %1 Recibido y en Trámite").arg(data.c_ped));
    m_activity.requestShow();
    return true;
}

bool ReplyHandlers::ProcesarContestacionPersonal()
{
    Release release(*this);
    if (!QFile::exists(path(kRespDat)))
        return false;
    const bool hadImage = QFile::exists(path(kRespTif));
    Finally cleanUp([this] {
        remove(kRespDat);
        remove(kRespTif);
    });
    const ReplyData data = ReplyData::read(path(kRespDat));
    Dataset *request = findRequest(true, data);
    if (!request)
        return false;
    const QString answer = store::Tdm::requestFileName(QStringLiteral("cp"), *request);
    const bool inProcess = data.c_est == QLatin1String("T");
    const bool postal = data.c_res == QLatin1String("R");
    editRequest(*request, [&] {
        request->field(QStringLiteral("C_EST")).setValue(data.c_est);
        request->field(QStringLiteral("N_EXPE")).setValue(data.n_expe);
        if (!inProcess) {
            request->field(QStringLiteral("F_CON")).setValue(m_dm.clock().today());
            request->field(QStringLiteral("N_CERT")).setValue(data.n_cert);
            request->field(QStringLiteral("X_OBS")).setValue(data.x_obs);
            request->field(QStringLiteral("C_RECHAZO")).setValue(data.c_rechazo);
            request->field(QStringLiteral("C_RES")).setValue(data.c_res);
        }
        if (postal)
            m_dm.deleteFile(answer);
        if (hadImage)
            storeAnswer(path(kRespTif), answer);
        save(*request);
    });
    afterSave(true);
    const QString who = QStringLiteral("  Pedido Personal %1").arg(data.c_ped);
    if (data.c_est == QLatin1String("R")) {
        activity(who + QStringLiteral(" Rechazado"));
    } else if (data.c_est == QLatin1String("C")) {
        if (!postal || hadImage)
            activity(who + QStringLiteral(" Contestado"));
        else
            activity(who + QStringLiteral(" Contestado por vía postal, carta certificada número ") + data.n_cert);
        if (m_dm.printConfirmationOfPersonal && printPersonalAnswer)
            printPersonalAnswer(*request);
    } else if (inProcess) {
        activity(who + QStringLiteral(" Recibido y en Trámite"));
    }
    if (hadImage && m_dm.automaticPrinting && printImage)
        printImage(m_dm.filePath(answer));
    m_activity.requestShow();
    return true;
}

bool ReplyHandlers::rejection(bool personal)
{
    Release release(*this);
    if (!QFile::exists(path(kRespDat)))
        return false;
    Finally cleanUp([this] { remove(kRespDat); });
    const ReplyData data = ReplyData::read(path(kRespDat));
    if (data.c_est != QLatin1String("R"))
        return false;
    Dataset *request = findRequest(personal, data);
    if (!request)
        return false;
    editRequest(*request, [&] {
        request->field(QStringLiteral("N_EXPE")).setValue(data.n_expe);
        request->field(QStringLiteral("C_EST")).setValue(QStringLiteral("R"));
        request->field(QStringLiteral("X_RECHAZO")).setValue(data.x_obs);
        save(*request);
    });
    afterSave(personal);
    activity((personal ? QStringLiteral("  Pedido Privado %1 Rechazado. Observaciones:")
                       : QStringLiteral("  Pedido Oficial %1 Rechazado. Observaciones:"))
                 .arg(data.c_ped) +
             data.x_obs);
    m_activity.requestShow();
    return true;
}

bool ReplyHandlers::ProcesarRechazoOficial()
{
    return rejection(false);
}

bool ReplyHandlers::ProcesarRechazoPersonal()
{
    return rejection(true);
}

bool ReplyHandlers::ProcesarEstados()
{
    bool any = false;
    const std::pair<QString, bool> lists[] = {{kEstOfi, false}, {kEstPriv, true}};
    for (const auto &[name, personal] : lists) {
        if (!QFile::exists(path(name)))
            continue;
        any = true;
        // However loading or applying ends, the file goes, the list is shown and the cursor comes back.
        Finally shown([this, name = name] {
            remove(name);
            m_activity.requestShow();
        });
        auto busy = m_dm.ui().busyCursor();
        const QStringList lines = readLines(path(name));
        if (personal)
            m_stateLists.MostrarEstadosPersonales(lines);
        else
            m_stateLists.MostrarEstadosOficiales(lines);
    }
    return any;
}

bool ReplyHandlers::EsAsuntoConocido(const QString &subject)
{
    static const QStringList fixed{QStringLiteral("CONFIRMO"), QStringLiteral("RECHAZO"), QStringLiteral("RECHAZOP"),
                                   QStringLiteral("SETESTADO")};
    if (fixed.contains(subject))
        return true;
    for (const char *key : {"x_msgexp", "x_msgexpp", "x_msgconfp"})
        if (subject == m_dm.readSetting(QString::fromLatin1(key)))
            return true;
    return false;
}

bool ReplyHandlers::ProcesaMsgIndyToTAV(const QString &subject, QString &error)
{
    auto fail = [&error](const QString &why) {
        error = QStringLiteral("ERROR ProcesaMsgIndyToTAV: ") + why;
        return false;
    };
    try {
        if (!EsAsuntoConocido(subject))
            return fail(QStringLiteral("No se puede procesar pedido. Asunto desconocido"));
        if (subject == m_dm.readSetting(QStringLiteral("x_msgexp")) && !ProcesarContestacionOficial())
            return fail(QStringLiteral("Error al procesar pedido oficial contestado"));
        if (subject == QLatin1String("CONFIRMO") && !ProcesarConfirmacionOficial())
            return fail(QStringLiteral("Error al confirmar pedido oficial"));
        if ((subject == m_dm.readSetting(QStringLiteral("x_msgexpp")) ||
             subject == m_dm.readSetting(QStringLiteral("x_msgconfp"))) &&
            !ProcesarContestacionPersonal())
            return fail(QStringLiteral("Error al procesar confirmo/contestación de pedido privado"));
        if (subject == QLatin1String("SETESTADO") && !ProcesarEstados())
            return fail(QStringLiteral("Error al procesar estado"));
        if (subject == QLatin1String("RECHAZO") && !ProcesarRechazoOficial())
            return fail(QStringLiteral("ERROR: No se pudo procesar un rechazo de pedido oficial"));
        if (subject == QLatin1String("RECHAZOP") && !ProcesarRechazoPersonal())
            return fail(QStringLiteral("ERROR: No se pudo procesar un rechazo de pedido privado"));
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    error.clear();
    return true;
}

} // namespace tav::exchange
