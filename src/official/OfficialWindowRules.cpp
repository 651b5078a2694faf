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

} // namespace

OfficialWindowRules::OfficialWindowRules(store::Tdm &dm, CaptureServices &services)
    : m_dm(dm), m_services(services), m_captures(dm, services)
{}

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
    m_captures.captureCard(ped, m_dm.pedFingerprintFile(), requestLocked());
}

void OfficialWindowRules::captureDocuments()
{
    if (!m_services.captureDocuments || !saveFirst())
        return;
    store::ReceptionPause pause(m_dm.Timer);
    m_captures.captureDocuments(*m_dm.ped, m_dm.pedDocumentFile());
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
    if (m_dm.fileExists(answer))
        m_captures.showImage(m_dm.filePath(answer));
    else
        m_captures.showImage({}, ped[QStringLiteral("B_RESP")].asBytes());
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
