#include "official/OfficialRules.h"

#include "capture/ImageChecks.h"
#include "store/Tdm.h"

#include <QFile>

namespace tav::official {

using store::Abort;
using store::Dataset;

namespace {

const char *const kNameFields[] = {"X_APE1",     "X_APE2",     "X_NOM1",     "X_NOM2",     "X_NOM3",
                                   "X_NOMPADR1", "X_NOMPADR2", "X_NOMPADR3", "X_APEMADR1", "X_APEMADR2",
                                   "X_NOMMADR1", "X_NOMMADR2", "X_NOMMADR3"};

const QString kUnclassified = QStringLiteral("_____");

QString ageMessage(const char *what)
{
    return QStringLiteral("El causante debe tener entre 16 y 99 años de edad.\rVerifique %1.").arg(QLatin1String(what));
}

} // namespace

OfficialRules::OfficialRules(store::Tdm &dm) : m_dm(dm)
{
    Dataset &ped = *dm.ped;
    m_bindings += ped.onNewRecord.subscribe([this](Dataset &d) { pedNewRecord(d); });
    m_bindings += ped.afterEdit.subscribe([this](Dataset &d) { pedAfterEdit(d); });
    m_bindings += ped.beforePost.subscribe([this](Dataset &d) { pedBeforePost(d); });
    m_bindings += ped.beforeDelete.subscribe([this](Dataset &d) { pedBeforeDelete(d); });
    m_bindings += ped.field(QStringLiteral("C_ORG")).onChange.subscribe([this](store::Field &f) { pedC_ORGChange(f); });
    m_bindings += dm.org->beforePost.subscribe([this](Dataset &d) { orgBeforePost(d); });
    m_bindings += dm.org->beforeDelete.subscribe([this](Dataset &d) { BeforeDelete(d); });
    m_bindings += dm.sup->beforeInsert.subscribe([this](Dataset &d) { supBeforeInsert(d); });
    m_bindings += dm.sup->beforePost.subscribe([this](Dataset &d) { supBeforePost(d); });
    m_bindings += dm.sup->beforeDelete.subscribe([this](Dataset &d) { supBeforeDelete(d); });
    m_bindings += dm.tdel->onFilterRecord.subscribe([this](Dataset &d) { return tdelFilterRecord(d); });
}

int OfficialRules::ageInYears(const QDate &birth, const QDate &today)
{
    return static_cast<int>(birth.daysTo(today) / 365);
}

void OfficialRules::copyOver(const QString &from, const QString &to) const
{
    // Copies go to the request's own files; a request without its whole key has no file names.
    if (to.isEmpty())
        return;
    const QString target = m_dm.filePath(to);
    QFile::remove(target);
    QFile::copy(m_dm.filePath(from), target);
}

void OfficialRules::pedNewRecord(Dataset &ped)
{
    ped[QStringLiteral("M_ENVIADO")].setValue(false);
    ped[QStringLiteral("M_CONTESTA")].setValue(false);
    ped[QStringLiteral("F_PED")].setValue(m_dm.clock().today());
    ped[QStringLiteral("C_REG")].setAsString(m_dm.readSetting(QStringLiteral("c_reg")));
    ped[QStringLiteral("C_EST")].setValue(QStringLiteral("I"));
    ped[QStringLiteral("F_NAC")].clear();
    ped[QStringLiteral("C_CARPED")].setValue(QStringLiteral("C"));
    ped[QStringLiteral("M_EXCART51")].setValue(false);
    ped[QStringLiteral("C_CLASDER")].setValue(kUnclassified);
    ped[QStringLiteral("C_CLASIZQ")].setValue(kUnclassified);
    ped[QStringLiteral("M_ESPECIAL")].setValue(false);
    ped[QStringLiteral("M_TOMA_VAZ")].setValue(false);
    ped[QStringLiteral("M_MENOR")].setValue(false);
}

void OfficialRules::pedC_ORGChange(store::Field &field)
{
    Dataset &ped = field.dataset();
    const QVariant code = field.value();
    auto fromOrg = [&](const char *name) {
        return code.isNull() ? QVariant()
                             : m_dm.org->lookupValue(QStringLiteral("C_ORG"), code, QString::fromLatin1(name));
    };
    for (const char *name : {"C_PROV", "X_DOM", "X_LOC", "C_CODPOS"})
        ped[QString::fromLatin1(name)].setValue(fromOrg(name));
}

void OfficialRules::pedAfterEdit(Dataset &ped)
{
    for (const char *name : {"C_CLASDER", "C_CLASIZQ"})
        if (ped[QString::fromLatin1(name)].isNull())
            ped[QString::fromLatin1(name)].setValue(kUnclassified);
}

void OfficialRules::pedBeforePost(Dataset &ped)
{
    // 1. Only a save the user asked for.
    if (!m_dm.checkPostConfirmed())
        throw Abort{};
    // 2.
    ped[QStringLiteral("C_VERSION")].setValue(m_dm.programVersion);
    // 3. Required fields in the order the form shows them.
    const std::pair<const char *, const char *> required[] = {{"C_ORG", "Fuero, Competencia y Nro"},
                                                              {"X_DOM", "Calle y Nro"},
                                                              {"X_LOC", "Localidad"},
                                                              {"C_PROV", "Provincia"},
                                                              {"C_NAC", "Nacionalidad"},
                                                              {"C_SEXO", "Sexo"},
                                                              {"C_CODPOS", "Código Postal"},
                                                              {"F_PED", "Fecha"},
                                                              {"X_APE1", "Apellido"},
                                                              {"X_NOM1", "Nombre"},
                                                              {"C_PRIOR", "Prioridad"}};
    for (const auto &[name, label] : required)
        if (m_dm.isMissing(ped[QString::fromLatin1(name)], QString::fromUtf8(label)))
            throw Abort{};
    // 4.
    if (ped[QStringLiteral("C_CARPED")].isNull())
        ped[QStringLiteral("C_CARPED")].setValue(QStringLiteral("C"));
    // 5. Date of birth and the age it gives.
    const bool minor = ped[QStringLiteral("M_MENOR")].asBoolean();
    if (!ped[QStringLiteral("F_NAC")].isNull()) {
        const QDate birth = ped[QStringLiteral("F_NAC")].asDate();
        if (birth.year() < 1900) {
            m_dm.ui().message(QStringLiteral("La Fecha de Nacimiento debe ser mayor a 1900"), ui::Ui::warningTitle());
            throw Abort{};
        }
        // A date still to come would count as a newborn and pass as "under 16" with the mark set.
        if (birth > m_dm.clock().today()) {
            m_dm.ui().message(futureBirthMessage(), ui::Ui::warningTitle());
            throw Abort{};
        }
        const int age = ageInYears(birth, m_dm.clock().today());
        if (age > 99 || (age < 16 && !minor)) {
            m_dm.ui().message(ageMessage("la fecha de nacimiento"), ui::Ui::warningTitle());
            throw Abort{};
        }
    }
    // 6. Presumed age.
    if (!ped[QStringLiteral("N_EDAD")].isNull()) {
        const int age = ped[QStringLiteral("N_EDAD")].asInteger();
        if (age > 99 || (age < 16 && !minor)) {
            m_dm.ui().message(ageMessage("la edad presunta"), ui::Ui::warningTitle());
            throw Abort{};
        }
    }
    const bool isNew = ped.state() == store::DatasetState::Insert;
    // 7.
    if (isNew && m_dm.isMissing(ped[QStringLiteral("C_TDEL")], QStringLiteral("Delito")))
        throw Abort{};
    // 8. and 9. Names trimmed, then checked.
    for (const char *name : kNameFields) {
        store::Field &f = ped[QString::fromLatin1(name)];
        f.setValue(store::Tdm::normalizedName(f.value()));
    }
    for (const char *name : kNameFields)
        if (!m_dm.validNameCharacters(ped[QString::fromLatin1(name)].value()))
            throw Abort{};
    // 10. The fingerprint card of a request that has one.
    if (ped[QStringLiteral("C_CARPED")].asString() == QLatin1String("C")) {
        const QByteArray kept = ped[QStringLiteral("B_HUELLA")].asBytes();
        if (!m_dm.fileExists(QStringLiteral("edit.tif")) && !m_dm.fileExists(QStringLiteral("dedos.tif")) &&
            !kept.isEmpty()) {
            QFile scratch(m_dm.filePath(QStringLiteral("edit.tif")));
            if (scratch.open(QIODevice::WriteOnly))
                scratch.write(kept);
        }
        if (!kept.isEmpty())
            ped[QStringLiteral("B_HUELLA")].clear();
        if (m_dm.fileExists(QStringLiteral("edit.tif"))) {
            const auto check = capture::ImageChecks::validarHuella(m_dm.filePath(QStringLiteral("edit.tif")));
            if (!check.passed) {
                if (!check.message.isEmpty())
                    m_dm.ui().message(check.message, check.title.isEmpty() ? ui::Ui::errorTitle() : check.title);
                throw Abort{};
            }
            copyOver(QStringLiteral("edit.tif"), m_dm.pedFingerprintFile());
        }
        if (m_dm.fileExists(QStringLiteral("edit.zip")))
            copyOver(QStringLiteral("edit.zip"), m_dm.pedCardFile());
    }
    // 11.
    if (m_dm.fileExists(QStringLiteral("docu.tif")))
        copyOver(QStringLiteral("docu.tif"), m_dm.pedDocumentFile());
    // 12.
    if (isNew && !m_dm.assignNumber(ped, QStringLiteral("C_PED")))
        throw Abort{};
    // 13.
    for (const char *name : {"docu.tif", "edit.tif", "edit.zip"})
        m_dm.deleteFile(QString::fromLatin1(name));
}

void OfficialRules::pedBeforeDelete(Dataset &)
{
    if (!m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea eliminar este registro?")))
        throw Abort{};
    m_dm.deleteFile(m_dm.pedFingerprintFile());
    m_dm.deleteFile(m_dm.pedCardFile());
    m_dm.deleteFile(m_dm.pedAnswerFile());
}

void OfficialRules::BeforeDelete(Dataset &)
{
    if (!m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea eliminar este registro?")))
        throw Abort{};
}

void OfficialRules::orgBeforePost(Dataset &org)
{
    if (!m_dm.checkPostConfirmed())
        throw Abort{};
    const std::pair<const char *, const char *> required[] = {{"X_ORG", "Organismo"},
                                                              {"X_DOM", "Domicilio"},
                                                              {"X_LOC", "Localidad"},
                                                              {"C_PROV", "Provincia"},
                                                              {"C_CODPOS", "Código Postal"}};
    for (const auto &[name, label] : required)
        if (m_dm.isMissing(org[QString::fromLatin1(name)], QString::fromUtf8(label)))
            throw Abort{};
    store::Field &code = org[QStringLiteral("C_ORG")];
    if (org.state() != store::DatasetState::Insert) {
        // Requests name their organisation by its code: a saved code never changes, or they would
        // silently name another one.
        const QVariantList stored = org.storedValues();
        const QVariant was = stored.value(code.index());
        if (!stored.isEmpty() && code.value() != was) {
            m_dm.ui().message(orgCodeFixedMessage(), ui::Ui::warningTitle());
            code.setValue(was);
            throw Abort{};
        }
        return;
    }
    // A new organisation takes the sequence's next number, skipping numbers already in the table (an
    // office whose sequence fell behind its organisations must not get two with one code).
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (!m_dm.assignNumber(org, QStringLiteral("C_ORG")))
            throw Abort{};
        if (org.lookupValue(QStringLiteral("C_ORG"), code.value(), QStringLiteral("C_ORG")).isNull())
            return;
    }
    m_dm.ui().message(QStringLiteral("No se pudo asignar un código libre al organismo.\rRevise la numeración "
                                     "de organismos en la configuración."),
                      ui::Ui::errorTitle());
    throw Abort{};
}

void OfficialRules::supBeforeInsert(Dataset &)
{
    if (m_dm.ped->state() == store::DatasetState::Insert) {
        m_dm.ui().message(QStringLiteral("Debe grabar el pedido antes de ingresar Supuestos"), ui::Ui::warningTitle());
        throw Abort{};
    }
}

void OfficialRules::supBeforePost(Dataset &sup)
{
    if (sup[QStringLiteral("X_APE1")].isNull()) {
        m_dm.ui().message(QStringLiteral("Debe completar el primer apellido"), ui::Ui::warningTitle());
        throw Abort{};
    }
    if (sup[QStringLiteral("X_NOM1")].isNull()) {
        m_dm.ui().message(QStringLiteral("Debe completar el primer nombre"), ui::Ui::warningTitle());
        throw Abort{};
    }
    const char *const names[] = {"X_APE1", "X_APE2", "X_NOM1", "X_NOM2", "X_NOM3"};
    for (const char *name : names)
        if (!m_dm.validNameCharacters(sup[QString::fromLatin1(name)].value()))
            throw Abort{};
    for (const char *name : names) {
        store::Field &f = sup[QString::fromLatin1(name)];
        f.setValue(store::Tdm::normalizedName(f.value()));
    }
    sup[QStringLiteral("C_REG")].setAsString(m_dm.readSetting(QStringLiteral("c_reg")));
    const QVariant org = m_dm.ped->field(QStringLiteral("C_ORG")).value();
    sup[QStringLiteral("C_PROV")].setValue(
        org.isNull() ? QVariant() : m_dm.org->lookupValue(QStringLiteral("C_ORG"), org, QStringLiteral("C_PROV")));
}

bool OfficialRules::requestLocked(const Dataset &ped)
{
    return ped.isActive() && !ped.isEmpty() && ped.field(QStringLiteral("M_ENVIADO")).asBoolean() &&
           ped.field(QStringLiteral("C_EST")).asString() != QLatin1String("R");
}

void OfficialRules::supBeforeDelete(Dataset &)
{
    // An alias belongs to its request: it goes only with the person's consent, and never from a
    // request that was sent and not rejected.
    if (requestLocked(*m_dm.ped)) {
        m_dm.ui().message(sentAliasMessage(), ui::Ui::warningTitle());
        throw Abort{};
    }
    if (!m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea eliminar este supuesto?")))
        throw Abort{};
}

bool OfficialRules::tdelFilterRecord(Dataset &tdel)
{
    if (m_dm.offenceFilter.isEmpty())
        return true;
    return tdel[QStringLiteral("X_TDEL")].asString().toLower().contains(m_dm.offenceFilter);
}

bool OfficialRules::officialAnswerAvailable(store::Tdm &dm)
{
    Dataset &ped = *dm.ped;
    if (!ped[QStringLiteral("M_CONTESTA")].asBoolean()) {
        dm.ui().message(QStringLiteral("El pedido no ha sido contestado"), ui::Ui::errorTitle());
        return false;
    }
    if (!ped[QStringLiteral("B_RESP")].asBytes().isEmpty() || dm.fileExists(dm.pedAnswerFile()))
        return true;
    dm.ui().message(QStringLiteral("Este pedido no posee contestación"), ui::Ui::errorTitle());
    return false;
}

bool OfficialRules::personalAnswerAvailable(store::Tdm &dm)
{
    const QString state = dm.pedp->field(QStringLiteral("C_EST")).asString();
    if (state == QLatin1String("C") || state == QLatin1String("R"))
        return true;
    dm.ui().message(QStringLiteral("El pedido no ha sido contestado o rechazado"), ui::Ui::errorTitle());
    return false;
}

} // namespace tav::official
