#include "official/OfficialWindowRules.h"

#include "official/OfficialRules.h"
#include "platform/os/StationScratch.h"
#include "store/ReceptionPause.h"
#include "store/Tdm.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tav::official {

using store::Dataset;
using ui::Ui;

namespace {

QString field(const Dataset &d, const char *name)
{
    return d.field(QString::fromLatin1(name)).asString();
}

// Whether two files hold the same bytes.
bool sameContents(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 16) != fb.read(1 << 16))
            return false;
    }
    return true;
}

} // namespace

OfficialWindowRules::OfficialWindowRules(store::Tdm &dm, CaptureServices &services) : m_dm(dm), m_services(services) {}

QString OfficialWindowRules::sentAliasMessage()
{
    return OfficialRules::sentAliasMessage();
}

bool OfficialWindowRules::requestLocked() const
{
    const Dataset &ped = *m_dm.ped;
    return ped.field(QStringLiteral("M_ENVIADO")).asBoolean() && field(ped, "C_EST") != QLatin1String("R");
}

bool OfficialWindowRules::askToLeaveEdit(store::Tdm &dm, Dataset &table, const QString &question,
                                         const std::function<bool()> &beforeSave)
{
    if (!table.isActive() || !table.isEditing())
        return true;
    if (!table.isModified()) {
        table.cancel();
        return true;
    }
    switch (dm.ui().message(question, Ui::confirmTitle(), Ui::Buttons::YesNoCancel, Ui::Icon::Question)) {
    case Ui::Yes:
        if (beforeSave && !beforeSave())
            return false;
        return table.post();
    case Ui::No:
        table.cancel();
        return true;
    default:
        return false;
    }
}

bool OfficialWindowRules::leaveRequestEdit()
{
    return askToLeaveEdit(m_dm, *m_dm.ped, QStringLiteral("El pedido tiene cambios sin grabar.\r¿Desea grabarlos?"),
                          [this] { return beforeRequestAction(Action::Post); });
}

bool OfficialWindowRules::leaveAliasEdit()
{
    return askToLeaveEdit(m_dm, *m_dm.sup, QStringLiteral("El supuesto tiene cambios sin grabar.\r¿Desea grabarlos?"),
                          [this] { return beforeAliasAction(Action::Post); });
}

bool OfficialWindowRules::beforeRequestAction(Action action)
{
    if ((action == Action::Insert || action == Action::Post) && !m_dm.receptionIdle) {
        m_dm.ui().message(receivingMessage(), applicationTitle());
        return false;
    }
    if (action == Action::Edit && m_dm.ped->isActive() && !m_dm.ped->isEmpty() && requestLocked()) {
        m_dm.ui().message(sentRequestMessage(), applicationTitle());
        return false;
    }
    // "−" on a request being entered would drop everything typed: only with the person's consent.
    if (action == Action::Delete && m_dm.ped->state() == store::DatasetState::Insert && m_dm.ped->isModified() &&
        !m_dm.ui().confirm(QStringLiteral("¿Desea descartar el pedido que está ingresando?")))
        return false;
    m_dm.postConfirmed = action == Action::Post;
    return true;
}

bool OfficialWindowRules::beforeAliasAction(Action action)
{
    if ((action == Action::Edit || action == Action::Insert) && m_dm.ped->isActive() && requestLocked()) {
        m_dm.ui().message(sentAliasMessage(), applicationTitle());
        return false;
    }
    if (action == Action::Delete && m_dm.sup->state() == store::DatasetState::Insert && m_dm.sup->isModified() &&
        !m_dm.ui().confirm(QStringLiteral("¿Desea descartar el supuesto que está ingresando?")))
        return false;
    m_dm.postConfirmed = action == Action::Post;
    return true;
}

bool OfficialWindowRules::saveFirst()
{
    Dataset &ped = *m_dm.ped;
    if (!ped.isEditing())
        return true;
    // Not confirmed with the navigator: the save rules refuse it with the unsaved-changes message.
    m_dm.postConfirmed = false;
    return ped.post();
}

void OfficialWindowRules::copyFile(const QString &from, const QString &to) const
{
    const QString target = m_dm.filePath(to);
    QFile::remove(target);
    QFile::copy(from, target);
}

QString OfficialWindowRules::scratchPath(int n) const
{
    const QString dir = os::StationScratch::folder(QString::fromStdString(m_dm.programDir().string()));
    return QDir(dir).filePath(scratchName(n));
}

void OfficialWindowRules::copyToScratch(const QString &from, int n) const
{
    const QString target = scratchPath(n);
    QFile::remove(target);
    QFile::copy(from, target);
}

void OfficialWindowRules::deleteScratch(int n) const
{
    if (n > 0)
        QFile::remove(scratchPath(n));
}

void OfficialWindowRules::captureCard()
{
    if (!m_services.captureCard || !saveFirst())
        return;
    store::ReceptionPause pause(m_dm.Timer);
    Dataset &ped = *m_dm.ped;
    if (field(ped, "C_CARPED") == QLatin1String("N")) {
        m_dm.ui().message(nominativeMessage(), applicationTitle());
        return;
    }
    m_dm.deleteFile(QStringLiteral("edit.tif"));
    const int n = ++m_counter;
    CardCaptureRequest request;
    request.locked = requestLocked();
    request.rightClass = field(ped, "C_CLASDER");
    request.leftClass = field(ped, "C_CLASIZQ");
    const QString card = m_dm.pedFingerprintFile();
    if (m_dm.fileExists(card)) {
        copyToScratch(m_dm.filePath(card), n);
        request.loadedImage = scratchPath(n);
    }

    const CardCaptureResult result = m_services.captureCard(request);

    const bool written = !result.resultFile.isEmpty() && QFileInfo::exists(result.resultFile);
    if (written && result.changed) {
        ped.edit();
        copyFile(result.resultFile, QStringLiteral("edit.tif"));
    }
    deleteScratch(n - 1);
    deleteScratch(n);
    if (written &&
        QFileInfo(result.resultFile).absoluteFilePath() != QFileInfo(m_dm.filePath("edit.tif")).absoluteFilePath())
        QFile::remove(result.resultFile);
    if (result.rightClass != request.rightClass || result.leftClass != request.leftClass) {
        if (!ped.isEditing())
            ped.edit();
        ped[QStringLiteral("C_CLASDER")].setValue(result.rightClass);
        ped[QStringLiteral("C_CLASIZQ")].setValue(result.leftClass);
    }
}

void OfficialWindowRules::captureDocuments()
{
    if (!m_services.captureDocuments || !saveFirst())
        return;
    store::ReceptionPause pause(m_dm.Timer);
    Dataset &ped = *m_dm.ped;
    const int n = ++m_counter;
    m_dm.deleteFile(QStringLiteral("docu.tif"));
    m_dm.deleteFile(QStringLiteral("out.tif"));
    deleteScratch(n);
    const QString work = scratchPath(n);
    QDateTime noted;
    const QString documents = m_dm.pedDocumentFile();
    const bool stored = m_dm.fileExists(documents);
    if (stored) {
        copyToScratch(m_dm.filePath(documents), n);
        noted = QFileInfo(work).lastModified();
    }

    m_services.captureDocuments(work);

    // A document that comes back with the bytes it went in with is unchanged, whatever its time says.
    const QFileInfo after(work);
    if (after.exists() && (!noted.isValid() || after.lastModified() > noted) &&
        !(stored && sameContents(work, m_dm.filePath(documents)))) {
        ped.edit();
        copyFile(work, QStringLiteral("docu.tif"));
    }
    deleteScratch(n - 1);
    deleteScratch(n);
}

void OfficialWindowRules::showAnswer()
{
    Dataset &ped = *m_dm.ped;
    if (field(ped, "C_EST") == QLatin1String("R")) {
        QString reason = field(ped, "X_RECHAZO").trimmed();
        if (reason.isEmpty()) {
            std::optional<QString> fetched;
            if (m_services.rejectionReason) {
                auto busy = m_dm.ui().busyCursor();
                fetched = m_services.rejectionReason(ped[QStringLiteral("C_PED")].asInteger(),
                                                     ped[QStringLiteral("C_REG")].asInteger());
            }
            if (!fetched) {
                m_dm.ui().message(QStringLiteral("No se pudo consultar el motivo del rechazo"), Ui::errorTitle());
                return;
            }
            reason = *fetched;
        }
        m_dm.ui().message(reason, QStringLiteral("Motivo del Rechazo"));
        return;
    }
    if (!m_services.showAnswer)
        return;
    if (!OfficialRules::officialAnswerAvailable(m_dm))
        return;
    const QString answer = m_dm.pedAnswerFile();
    const QByteArray blob = ped[QStringLiteral("B_RESP")].asBytes();
    const int n = ++m_counter;
    const QString copy = scratchPath(n);
    if (m_dm.fileExists(answer)) {
        copyToScratch(m_dm.filePath(answer), n);
    } else {
        QFile out(copy);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(blob);
    }
    m_services.showAnswer(copy);
    // The viewer is closed: the copy of the citizen's answer goes.
    deleteScratch(n - 1);
    deleteScratch(n);
}

void OfficialWindowRules::offenceCodeLeft()
{
    Dataset &ped = *m_dm.ped;
    store::Field &code = ped[QStringLiteral("C_TDEL")];
    if (!ped.isEditing() || code.isNull())
        return;
    if (m_dm.tdel->lookupValue(QStringLiteral("C_TDEL"), code.value(), QStringLiteral("C_TDEL")).isNull())
        code.clear();
}

void OfficialWindowRules::organisationChosen()
{
    Dataset &ped = *m_dm.ped;
    if (!ped.isEditing())
        return;
    const QVariant org = ped[QStringLiteral("C_ORG")].value();
    ped[QStringLiteral("X_EMAIL")].setValue(
        org.isNull() ? QVariant() : m_dm.org->lookupValue(QStringLiteral("C_ORG"), org, QStringLiteral("X_EMAIL")));
}

bool OfficialWindowRules::letterAllowed()
{
    // The letter is printed from the stored request: one still being entered has nothing stored yet.
    if (m_dm.ped->state() == store::DatasetState::Insert) {
        m_dm.ui().message(QStringLiteral("Debe grabar el pedido antes de visualizar el oficio"), applicationTitle());
        return false;
    }
    if (!m_dm.ped->field(QStringLiteral("X_APE1")).isNull() && !field(*m_dm.ped, "X_APE1").isEmpty())
        return true;
    m_dm.ui().message(QStringLiteral("Debe ingresar todos los datos antes de visualizar el oficio"),
                      applicationTitle());
    return false;
}

bool OfficialWindowRules::statusQueryAllowed()
{
    if (m_dm.ped->field(QStringLiteral("N_EXPE")).asInteger() >= 1)
        return true;
    m_dm.ui().message(QStringLiteral("Sin número de expte. no se puede consultar el estado"), applicationTitle());
    return false;
}

bool OfficialWindowRules::offenceChooserAllowed()
{
    if (m_dm.ped->isEditing())
        return true;
    m_dm.ui().message(QStringLiteral("Antes de seleccionar el delito, debe cambiar al modo edición"),
                      applicationTitle());
    return false;
}

bool findRequest(Dataset &table, RequestCriterion criterion, const QVariant &value)
{
    switch (criterion) {
    case RequestCriterion::Code:
        return table.locate(QStringLiteral("C_PED"), value);
    case RequestCriterion::CaseNumber:
        // Personal requests have no case number.
        return table.hasField(QStringLiteral("N_CAUSA")) &&
               table.locate(QStringLiteral("N_CAUSA"), value, store::LocateCaseInsensitive);
    case RequestCriterion::Surname:
        return table.locate(QStringLiteral("X_APE1"), value, store::LocateCaseInsensitive);
    }
    return false;
}

OffenceSearch OffenceSearch::fromTexts(const QString &code, const QString &law, const QString &article,
                                       const QString &subsection, const QString &description)
{
    OffenceSearch search;
    const auto add = [&](const char *name, const QString &text) {
        if (!text.trimmed().isEmpty())
            search.conditions.append({QString::fromLatin1(name), text.trimmed()});
    };
    add("C_TDEL", code.toLower());
    add("N_LEY", law);
    add("N_ART", article);
    add("N_INC", subsection);
    if (!description.trimmed().isEmpty())
        search.description = description.toLower();
    return search;
}

bool OffenceSearch::matches(const Dataset &tdel) const
{
    for (const Equals &c : conditions)
        if (tdel.field(c.field).asString().trimmed() != c.value)
            return false;
    return true;
}

OffenceFilterScope::OffenceFilterScope(store::Tdm &dm) : m_dm(dm) {}

OffenceFilterScope::~OffenceFilterScope()
{
    // Taking the search off re-reads the table, which can fail; a destructor never throws.
    try {
        clear();
    } catch (const std::exception &e) {
        qWarning("tdel: %s", e.what());
    } catch (...) {
    }
}

void OffenceFilterScope::apply(const OffenceSearch &search)
{
    Dataset &tdel = *m_dm.tdel;
    clear();
    m_dm.offenceFilter = search.description;
    // Added to the table's other conditions (the rules' description filter), taken off by clear().
    m_condition = tdel.onFilterRecord.subscribe([search](Dataset &d) { return search.matches(d); });
    tdel.setFiltered(true);
    tdel.refilter();
}

void OffenceFilterScope::clear()
{
    Dataset &tdel = *m_dm.tdel;
    m_dm.offenceFilter.clear();
    m_condition.reset();
    if (tdel.isActive() && tdel.isFiltered())
        tdel.setFiltered(false);
}

bool acceptOffence(store::Tdm &dm)
{
    Dataset &tdel = *dm.tdel;
    if (tdel.isActive() && !tdel.isEmpty() && tdel[QStringLiteral("C_TDEL_P")].asInteger() != 0)
        return true;
    dm.ui().message(QStringLiteral("Error: Debe elegir un delito y no una categoría"),
                    OfficialWindowRules::applicationTitle());
    return false;
}

} // namespace tav::official
