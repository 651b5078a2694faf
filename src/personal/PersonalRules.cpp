#include "personal/PersonalRules.h"

#include "capture/ImageChecks.h"
#include "personal/GuidEx.h"
#include "personal/SlipLookup.h"
#include "shell/Session.h"
#include "store/Tdm.h"

#include <QFile>

#include <cmath>

namespace tav::personal {

using store::Abort;
using store::Dataset;

namespace {

const char *const kNameFields[] = {"X_APE1",     "X_APE2",     "X_NOM1",     "X_NOM2",     "X_NOM3",
                                   "X_NOMPADR1", "X_NOMPADR2", "X_NOMPADR3", "X_APEMADR1", "X_APEMADR2",
                                   "X_NOMMADR1", "X_NOMMADR2", "X_NOMMADR3"};

const QString kUnclassified = QStringLiteral("_____");
const QString kExempt = QStringLiteral("6");

bool empty(const store::Field &f)
{
    return f.isNull() || f.asString().isEmpty();
}

} // namespace

PersonalRules::PersonalRules(store::Tdm &dm, const shell::SessionUser &session, SlipLookup &slips)
    : m_dm(dm), m_session(session), m_slips(slips)
{
    Dataset &pedp = *dm.pedp;
    m_bindings += pedp.onNewRecord.subscribe([this](Dataset &d) { pedpNewRecord(d); });
    m_bindings += pedp.afterEdit.subscribe([this](Dataset &d) { pedpAfterEdit(d); });
    m_bindings += pedp.beforePost.subscribe([this](Dataset &d) { pedpBeforePost(d); });
    m_bindings += pedp.beforeDelete.subscribe([this](Dataset &d) { pedpBeforeDelete(d); });
    m_bindings +=
        pedp.field(QStringLiteral("C_TRAM")).onChange.subscribe([this](store::Field &f) { pedpC_TRAMChange(f); });
}

void PersonalRules::warn(const QString &text)
{
    m_dm.ui().message(text, ui::Ui::warningTitle());
}

void PersonalRules::pedpNewRecord(Dataset &pedp)
{
    pedp[QStringLiteral("F_PED")].setValue(m_dm.clock().today());
    pedp[QStringLiteral("C_REG")].setAsString(m_dm.readSetting(QStringLiteral("c_regp")));
    pedp[QStringLiteral("F_NAC")].clear();
    pedp[QStringLiteral("M_EXCART51")].setValue(false);
    pedp[QStringLiteral("C_CLASDER")].setValue(kUnclassified);
    pedp[QStringLiteral("C_CLASIZQ")].setValue(kUnclassified);
}

void PersonalRules::pedpAfterEdit(Dataset &pedp)
{
    for (const char *name : {"C_CLASDER", "C_CLASIZQ"})
        if (pedp[QString::fromLatin1(name)].isNull())
            pedp[QString::fromLatin1(name)].setValue(kUnclassified);
}

void PersonalRules::pedpC_TRAMChange(store::Field &field)
{
    Dataset &pedp = field.dataset();
    if (!pedp.isEditing())
        return;
    const QVariant type = field.value();
    pedp[QStringLiteral("C_PRIOR")].setValue(
        type.isNull() ? QVariant() : m_dm.tram->lookupValue(QStringLiteral("C_TRAM"), type, QStringLiteral("C_PRIOR")));
}

bool PersonalRules::storeScratch(const QString &scratch, const QString &target)
{
    if (target.isEmpty())
        return true;
    const QString to = m_dm.filePath(target);
    QFile::remove(to);
    if (QFile::copy(m_dm.filePath(scratch), to))
        return true;
    // The scratch copy stays: nothing of the citizen's images is lost and the person can save again.
    m_dm.ui().message(QStringLiteral("No se pudo guardar el archivo %1 del pedido.\rVerifique el espacio libre y "
                                     "los permisos de la carpeta del programa.")
                          .arg(target),
                      ui::Ui::errorTitle());
    return false;
}

void PersonalRules::pedpBeforePost(Dataset &pedp)
{
    // 1. and 2.
    pedp[QStringLiteral("C_VERSION")].setValue(m_dm.programVersion);
    if (!m_dm.liveScanConfigured)
        pedp[QStringLiteral("C_LOGIN")].setValue(m_session.user);
    // 3. Home delivery needs its own payment unless the procedure is exempt.
    if (m_dm.homeDelivery && pedp[QStringLiteral("C_TRAM")].asString() != kExempt &&
        empty(pedp[QStringLiteral("C_PAGO_DOMIC")])) {
        // A refused save never leaves the navigator's consent behind for the next one.
        m_dm.postConfirmed = false;
        warn(homeDeliveryMessage());
        throw Abort{};
    }
    // 4.
    if (!m_dm.checkPostConfirmed())
        throw Abort{};
    // 5.
    for (const char *name : kNameFields) {
        store::Field &f = pedp[QString::fromLatin1(name)];
        f.setValue(store::Tdm::normalizedName(f.value()));
    }
    // The slip-type check comes before the number is drawn and before the scratch images are taken over, so
    // that a refused save keeps the person's scanned images and wastes no number.
    const QString slip = pedp[QStringLiteral("C_PAGO")].asString().trimmed();
    if (!slip.isEmpty() && m_dm.ui().isWindowVisible(windowName()) &&
        (slip.size() < 2 || empty(pedp[QStringLiteral("C_TRAM")]) ||
         slip.mid(1, 1) != pedp[QStringLiteral("C_TRAM")].asString())) {
        warn(slipTypeMessage());
        throw Abort{};
    }
    // 6.
    if (pedp.state() == store::DatasetState::Insert) {
        if (!m_dm.assignNumber(pedp, QStringLiteral("C_PED")))
            throw Abort{};
        pedp[QStringLiteral("C_EST")].setValue(QStringLiteral("I"));
    }
    // 7. to 9. The scratch images go to the request's own files, under its (new) number.
    if (m_dm.fileExists(QStringLiteral("edit.tif"))) {
        const auto check = capture::ImageChecks::validarHuella(m_dm.filePath(QStringLiteral("edit.tif")));
        if (!check.passed) {
            if (!check.message.isEmpty())
                m_dm.ui().message(check.message, check.title.isEmpty() ? ui::Ui::errorTitle() : check.title);
            throw Abort{};
        }
        if (!storeScratch(QStringLiteral("edit.tif"), m_dm.pedpFingerprintFile()))
            throw Abort{};
    }
    if (m_dm.fileExists(QStringLiteral("edit.zip")) && !storeScratch(QStringLiteral("edit.zip"), m_dm.pedpCardFile()))
        throw Abort{};
    if (m_dm.fileExists(QStringLiteral("docu.tif"))) {
        const auto check = capture::ImageChecks::validarDocumentacion(m_dm.filePath(QStringLiteral("docu.tif")));
        if (!check.passed) {
            if (!check.message.isEmpty())
                m_dm.ui().message(check.message, check.title.isEmpty() ? ui::Ui::errorTitle() : check.title);
            throw Abort{};
        }
        if (!storeScratch(QStringLiteral("docu.tif"), m_dm.pedpDocumentFile()))
            throw Abort{};
    }
    // 10.
    for (const char *name : {"edit.tif", "docu.tif", "edit.zip"})
        m_dm.deleteFile(QString::fromLatin1(name));
    // 11.
    if (pedp[QStringLiteral("C_EST")].asString() == QLatin1String("D"))
        pedp[QStringLiteral("F_CON")].clear();
    // 12.
    if (empty(pedp[QStringLiteral("C_SEGUR")]))
        pedp[QStringLiteral("C_SEGUR")].setValue(GenerarCodigoSeguridad(10));
}

void PersonalRules::pedpBeforeDelete(Dataset &)
{
    if (!m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea eliminar este registro?")))
        throw Abort{};
    m_dm.deleteFile(m_dm.pedpFingerprintFile());
    m_dm.deleteFile(m_dm.pedpCardFile());
    m_dm.deleteFile(m_dm.pedpDocumentFile());
    m_dm.deleteFile(m_dm.pedpAnswerFile());
}

bool PersonalRules::ValidarEnvioPedp()
{
    Dataset &pedp = *m_dm.pedp;
    const QDate today = m_dm.clock().today();
    const auto f = [&](const char *name) -> store::Field & { return pedp[QString::fromLatin1(name)]; };
    const bool exempt = f("C_TRAM").asString() == kExempt;
    // 1.
    if (exempt && (f("C_PRIOR").isNull() || f("C_PRIOR").asInteger() != 3)) {
        warn(QStringLiteral("Los exentos deben tener prioridad 5 Dias."));
        return false;
    }
    // 2. Years of 365 days, the remainder dropped.
    if (!f("F_NAC").isNull()) {
        const QDate birth = f("F_NAC").asDate();
        if (birth.year() < 1900) {
            warn(QStringLiteral("La Fecha de Nacimiento debe ser mayor a 1900"));
            return false;
        }
        const qint64 age = birth.daysTo(today) / 365;
        if (age > 99 || age < 16) {
            warn(QStringLiteral("El causante debe tener entre 16 y 99 años de edad.\rVerifique la fecha de "
                                "nacimiento."));
            return false;
        }
    }
    // 3.
    const std::pair<const char *, const char *> required[] = {
        {"C_TDOC", "Tipo de Documento"},  {"C_SEXO", "Sexo"},
        {"C_NAC", "Nacionalidad"},        {"F_PED", "Fecha del Pedido"},
        {"X_APE1", "Apellido"},           {"X_NOM1", "Nombre"},
        {"N_DOC", "Número de Documento"}, {"F_NAC", "Fecha de Nacimiento"},
        {"C_PRIOR", "Prioridad"},         {"C_TRAM", "Tipo de Trámite"}};
    for (const auto &[name, label] : required)
        if (m_dm.isMissing(f(name), QString::fromUtf8(label)))
            return false;
    // 4.
    if (m_dm.readSetting(QStringLiteral("m_fecpago")) == QLatin1String("S") && !exempt &&
        m_dm.isMissing(f("F_PAGO"), QStringLiteral("Fecha de Pago")))
        return false;
    // 5.
    if (!f("F_PAGO").isNull()) {
        const QDate paid = f("F_PAGO").asDate();
        const QDate requested = f("F_PED").asDate();
        if (paid > requested) {
            warn(QStringLiteral("ERROR: La fecha de pago debe ser anterior a la fecha del pedido"));
            return false;
        }
        bool ok = false;
        int limit = m_dm.readSetting(QStringLiteral("dias_fpago")).trimmed().toInt(&ok);
        if (!ok)
            limit = 365;
        if (paid.daysTo(requested) > limit) {
            warn(QStringLiteral("ERROR: La fecha de pago no debe tener más de ") + QString::number(limit) +
                 QStringLiteral(" días"));
            return false;
        }
    }
    // 6.
    for (const char *name : kNameFields)
        if (!m_dm.validNameCharacters(f(name).value()))
            return false;
    // 7.
    const QString slip = f("C_PAGO").asString().trimmed();
    if (!m_dm.checkSlipData || slip.isEmpty() || f("N_DOC").isNull())
        return true;
    QString error;
    const int document = static_cast<int>(std::llround(f("N_DOC").asFloat()));
    switch (m_slips.ObtenerDatosBoleta(f("C_PAGO").asString(), document, error)) {
    case 1:
        if (m_slips.CompararConBoleta(f("C_PAGO").asString(), f("X_APE1").asString(), f("X_NOM1").asString(),
                                      f("F_NAC").asDate(), document))
            return true;
        return MostrarComparacion &&
               MostrarComparacion(f("C_PAGO").asString(), f("C_REG").asInteger(), f("C_PED").asInteger());
    case 0:
        return m_dm.ui().message(QStringLiteral("El Documento del Pedido no corresponde con la Boleta ó Boleta "
                                                "Inexistente.\r¿Desea cancelar el envío del pedido?"),
                                 ui::Ui::warningTitle(), ui::Ui::Buttons::YesNo) != ui::Ui::Yes;
    default:
        // An unreachable service never stops a sending.
        warn(QStringLiteral("ERROR: Al intentar verificar los datos con la boleta.\rMensaje: ") + error);
        return true;
    }
}

bool PersonalRules::AplicarCodigoBoleta(const QString &code)
{
    Dataset &pedp = *m_dm.pedp;
    // 1.
    if (!pedp.isEditing())
        pedp.edit();
    // 2. and 3.
    const QString type = code.mid(1, 1);
    const QVariant priority =
        type.isEmpty() ? QVariant() : m_dm.tram->lookupValue(QStringLiteral("C_TRAM"), type, QStringLiteral("C_PRIOR"));
    if (type.isEmpty() || m_dm.tram->lookupValue(QStringLiteral("C_TRAM"), type, QStringLiteral("C_TRAM")).isNull()) {
        warn(unknownTypeMessage());
        return false;
    }
    // 4.
    pedp[QStringLiteral("C_TRAM")].setValue(type);
    pedp[QStringLiteral("C_PRIOR")].setValue(priority);
    // 5.
    if (type != kExempt) {
        pedp[QStringLiteral("C_BANCO")].setValue(2);
        if (m_dm.checkSlipData) {
            if (const auto paid = m_slips.ObtenerFechaPago(code))
                pedp[QStringLiteral("F_PAGO")].setValue(*paid);
        }
    } else {
        pedp[QStringLiteral("C_BANCO")].clear();
        pedp[QStringLiteral("F_PAGO")].clear();
    }
    return true;
}

} // namespace tav::personal
