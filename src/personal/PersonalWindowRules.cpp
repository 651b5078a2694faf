#include "personal/PersonalWindowRules.h"

#include "personal/GuidEx.h"
#include "personal/PersonalRules.h"
#include "personal/SlipLookup.h"
#include "platform/os/StationScratch.h"
#include "reports/RegistryTexts.h"
#include "store/ReceptionPause.h"
#include "store/Tdm.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace tav::personal {

using store::Dataset;
using ui::Ui;

namespace {

bool lockedState(const QString &state)
{
    return state == QLatin1String("T") || state == QLatin1String("C") || state == QLatin1String("D");
}

QString asText(const store::Field &f)
{
    // Numbers as the office writes them: whole numbers without decimals.
    if (f.isNull())
        return {};
    if (f.kind() == store::FieldKind::Float)
        return QString::number(std::llround(f.asFloat()));
    return f.asString();
}

bool atomCharacter(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    if (c >= 128 && c <= 255)
        return true;
    return QStringView(u"!#$%&'*+-=?^_`{|}~").contains(QChar(c));
}

bool letter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

PersonalWindowRules::PersonalWindowRules(store::Tdm &dm, PersonalRules &rules, SlipLookup &slips,
                                         official::CaptureServices &captures, PersonalHooks &hooks)
    : m_dm(dm), m_rules(rules), m_slips(slips), m_captures(captures), m_hooks(hooks), m_images(dm, captures)
{}

QString PersonalWindowRules::state() const
{
    return m_dm.pedp->field(QStringLiteral("C_EST")).asString();
}

bool PersonalWindowRules::requestLocked() const
{
    return lockedState(state());
}

bool PersonalWindowRules::beforeAction(Action action)
{
    Dataset &pedp = *m_dm.pedp;
    // 1.
    if ((action == Action::Insert || action == Action::Post) && !m_dm.receptionIdle) {
        m_dm.ui().message(QStringLiteral("Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos "
                                         "instantes."),
                          applicationTitle());
        return false;
    }
    // 3.
    if (action == Action::Edit && pedp.isActive() && !pedp.isEmpty()) {
        const QString st = state();
        if (lockedState(st)) {
            if (m_dm.ui().message(QStringLiteral("¿Desea modificar los datos?"), Ui::warningTitle(),
                                  Ui::Buttons::YesNo) == Ui::Yes) {
                m_dm.postConfirmed = false;
                pedp.edit();
                pedp[QStringLiteral("C_EST")].setValue(QStringLiteral("D"));
            }
            return false;
        }
        if (st != QLatin1String("I") && st != QLatin1String("R")) {
            m_dm.ui().message(QStringLiteral("El pedido debe estar en Trámite, Contestado ó Rechazado"),
                              applicationTitle());
            return false;
        }
    }
    // 4.
    m_dm.postConfirmed = action == Action::Post;
    return true;
}

PersonalWindowRules::SlipEntry PersonalWindowRules::slipCodeEntered(const QString &paymentCodeText)
{
    SlipEntry entry;
    Dataset &pedp = *m_dm.pedp;
    const QString code = paymentCodeText.trimmed();
    if (code.size() == 11) {
        if (!m_rules.AplicarCodigoBoleta(code)) {
            entry.failed = true;
            return entry;
        }
        entry.applied = true;
    }
    entry.focusPaymentDate = pedp.isActive() && pedp[QStringLiteral("C_TRAM")].asString() != QLatin1String("6") &&
                             pedp[QStringLiteral("F_PAGO")].isNull();
    return entry;
}

bool PersonalWindowRules::saveFirst()
{
    Dataset &pedp = *m_dm.pedp;
    if (!pedp.isEditing())
        return true;
    // Not confirmed with the navigator: the save rules refuse it with the unsaved-changes message.
    m_dm.postConfirmed = false;
    return pedp.post();
}

void PersonalWindowRules::captureCard()
{
    Dataset &pedp = *m_dm.pedp;
    if (!m_captures.captureCard || !pedp.isActive() || !saveFirst())
        return;
    store::ReceptionPause pause(m_dm.Timer);
    m_images.captureCard(pedp, m_dm.pedpFingerprintFile(), requestLocked());
}

void PersonalWindowRules::captureDocuments()
{
    Dataset &pedp = *m_dm.pedp;
    if (!m_captures.captureDocuments || !pedp.isActive() || !saveFirst())
        return;
    store::ReceptionPause pause(m_dm.Timer);
    m_images.captureDocuments(pedp, m_dm.pedpDocumentFile());
}

void PersonalWindowRules::send()
{
    Dataset &pedp = *m_dm.pedp;
    if (!pedp.isActive() || pedp.isEmpty())
        return;
    // 1.
    if (!m_rules.ValidarEnvioPedp())
        return;
    // 2. A station with a live-scan device sends only what a verified operator confirmed.
    if (m_dm.liveScanConfigured && pedp[QStringLiteral("VERIF_ID")].asInteger() < 1) {
        std::optional<BiometricConfirmation> confirmed;
        if (m_hooks.confirmBiometric)
            confirmed = m_hooks.confirmBiometric();
        if (!confirmed || confirmed->verification <= 0) {
            m_dm.ui().message(QStringLiteral("Lo sentimos, no se puede enviar el pedido sin la confirmación "
                                             "biometrica"),
                              applicationTitle());
            return;
        }
        if (!pedp.isEditing())
            pedp.edit();
        pedp[QStringLiteral("C_LOGIN")].setValue(confirmed->login);
        pedp[QStringLiteral("VERIF_ID")].setValue(confirmed->verification);
        m_dm.postConfirmed = true;
        if (!pedp.post())
            return;
    }
    // 3.
    if (!m_hooks.send)
        return;
    m_hooks.send(state() == QLatin1String("D"));
}

void PersonalWindowRules::showImage(const QString &file)
{
    if (m_captures.showAnswer)
        m_images.showImage(file);
}

void PersonalWindowRules::showAnswer()
{
    Dataset &pedp = *m_dm.pedp;
    if (!pedp.isActive() || pedp.isEmpty())
        return;
    const QString answer = m_dm.pedpAnswerFile();
    if (state() == QLatin1String("R")) {
        QString reason = pedp[QStringLiteral("X_RECHAZO")].asString().trimmed();
        if (reason.isEmpty()) {
            std::optional<QString> fetched;
            if (m_captures.rejectionReason) {
                auto busy = m_dm.ui().busyCursor();
                fetched = m_captures.rejectionReason(pedp[QStringLiteral("C_PED")].asInteger(),
                                                     pedp[QStringLiteral("C_REG")].asInteger());
            }
            if (!fetched) {
                m_dm.ui().message(QStringLiteral("No se pudo consultar el motivo del rechazo"), Ui::errorTitle());
                return;
            }
            reason = *fetched;
        }
        m_dm.ui().message(reason, QStringLiteral("Motivo del Rechazo"));
        if (m_dm.fileExists(answer))
            showImage(m_dm.filePath(answer));
        return;
    }
    store::ReceptionPause pause(m_dm.Timer);
    if (state() != QLatin1String("C")) {
        m_dm.ui().message(QStringLiteral("El pedido no ha sido contestado o rechazado"), Ui::errorTitle());
        return;
    }
    const QString result = pedp[QStringLiteral("C_RES")].asString();
    if (result.isEmpty() || result == QLatin1String("N")) {
        m_dm.ui().message(QStringLiteral("Verifique si el certificado está disponible en la web"), applicationTitle());
        return;
    }
    if (m_dm.fileExists(answer)) {
        showImage(m_dm.filePath(answer));
        return;
    }
    const QString certified = pedp[QStringLiteral("N_CERT")].asString().trimmed();
    if (certified.isEmpty())
        m_dm.ui().message(QStringLiteral("No existe el archivo con la imagen de la contestación\rni tampoco el "
                                         "número de carta certificada"),
                          applicationTitle());
    else
        m_dm.ui().message(QStringLiteral("Pedido contestado por correo postal, certificada número: ") + certified,
                          applicationTitle());
}

void PersonalWindowRules::receipt()
{
    Dataset &pedp = *m_dm.pedp;
    // 1.
    if (!pedp.isActive() || pedp.isEmpty() || pedp[QStringLiteral("C_PED")].asInteger() <= 0) {
        m_dm.ui().message(QStringLiteral("Debe grabar los datos para obtener el número de pedido\rantes de imprimir "
                                         "el comprobante"),
                          applicationTitle());
        return;
    }
    // 2.
    if (pedp.isEditing()) {
        m_dm.postConfirmed = true;
        if (!pedp.post())
            return;
    }
    // 3.
    if (m_dm.ui().confirm(QStringLiteral("¿Enviar comprobante por Email?"))) {
        emailReceipt();
        return;
    }
    if (m_hooks.printReceipt)
        m_hooks.printReceipt();
    else
        m_dm.ui().message(QStringLiteral("La impresión del comprobante no está instalada en este equipo."),
                          applicationTitle());
}

QString PersonalWindowRules::receiptBody(const QString &request, const QString &office, const QString &securityCode)
{
    // The same certificate page the printed receipt names.
    return QStringLiteral("Puede obtener su certificado de antecedentes penales en la página https://") +
           reports::RegistryTexts::defaultCertificateUrl() +
           QStringLiteral(" eligiendo la opción TAV con el código de pedido: ") + request +
           QStringLiteral(" código de regional:") + office + QStringLiteral(" y código de seguridad: ") + securityCode;
}

void PersonalWindowRules::emailReceipt()
{
    Dataset &pedp = *m_dm.pedp;
    // 1. Asked again, with what was typed, until it is an address or the prompt is left as it was. Cancelling
    // the box ends the command: no address, no mail.
    QString address = emailPrompt();
    for (;;) {
        const std::optional<QString> typed =
            m_dm.ui().inputBox(QStringLiteral("Introduzca la dirección de e-mail"), QStringLiteral("E-mail:"), address);
        if (!typed)
            return;
        address = typed->trimmed();
        if (address == emailPrompt() || address.isEmpty() || validEmail(address))
            break;
        m_dm.ui().message(QStringLiteral("Email Inválido"), applicationTitle());
    }
    // 2.
    if (address.isEmpty() || address == emailPrompt())
        return;
    // 3. and 4.
    exchange::OutgoingMessage mail;
    mail.recipient = address;
    mail.subject = QStringLiteral("Comprobante del Trámite de Antecedentes Penales");
    mail.request = pedp[QStringLiteral("C_PED")].asInteger();
    mail.office = pedp[QStringLiteral("C_REG")].asInteger();
    mail.body = receiptBody(asText(pedp[QStringLiteral("C_PED")]), asText(pedp[QStringLiteral("C_REG")]),
                            pedp[QStringLiteral("C_SEGUR")].asString());
    if (m_hooks.sendMail && m_hooks.sendMail(mail))
        m_dm.ui().message(QStringLiteral("Email Enviado Exitosamente"), applicationTitle());
    else
        m_dm.ui().message(QStringLiteral("ERROR! No se pudo enviar el email"), applicationTitle());
}

bool PersonalWindowRules::validEmail(const QString &address)
{
    enum State { WordStart, Atom, Quoted, QuotedEscape, AfterQuoted, LabelStart, Label };
    State s = WordStart;
    int domainDots = 0;
    char16_t previous = 0;
    for (const QChar ch : address) {
        const char16_t c = ch.unicode();
        switch (s) {
        case WordStart:
            if (c == u'"')
                s = Quoted;
            else if (atomCharacter(c))
                s = Atom;
            else
                return false;
            break;
        case Atom:
            if (c == u'.')
                s = WordStart;
            else if (c == u'@')
                s = LabelStart;
            else if (!atomCharacter(c))
                return false;
            break;
        case Quoted:
            if (c == u'\\')
                s = QuotedEscape;
            else if (c == u'"')
                s = AfterQuoted;
            else if (c == u'\r')
                return false;
            break;
        case QuotedEscape:
            s = Quoted;
            break;
        case AfterQuoted:
            if (c == u'.')
                s = WordStart;
            else if (c == u'@')
                s = LabelStart;
            else
                return false;
            break;
        case LabelStart:
            if (!letter(c))
                return false;
            s = Label;
            break;
        case Label:
            if (c == u'.') {
                if (previous == u'-')
                    return false;
                ++domainDots;
                s = LabelStart;
            } else if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'-') {
                return false;
            }
            break;
        }
        previous = c;
    }
    return s == Label && previous != u'-' && domainDots >= 1;
}

void PersonalWindowRules::statusQuery()
{
    Dataset &pedp = *m_dm.pedp;
    if (!pedp.isActive() || pedp.isEmpty())
        return;
    if (pedp[QStringLiteral("N_EXPE")].asInteger() < 1) {
        m_dm.ui().message(QStringLiteral("Sin número de expte. no se puede consultar el estado"), applicationTitle());
        return;
    }
    if (m_hooks.centralStatus)
        m_hooks.centralStatus(pedp[QStringLiteral("C_PED")].asInteger(), pedp[QStringLiteral("N_EXPE")].asInteger(),
                              pedp[QStringLiteral("C_REG")].asInteger(), QStringLiteral("W"));
}

void PersonalWindowRules::regenerate()
{
    Dataset &pedp = *m_dm.pedp;
    if (!pedp.isActive() || pedp.isEmpty() ||
        m_dm.ui().message(QStringLiteral("¿Está seguro que desea regenerar el código de seguridad?"),
                          Ui::warningTitle(), Ui::Buttons::YesNo) != Ui::Yes)
        return;
    // 1. and 2.
    const QString code = GenerarCodigoSeguridad(10);
    ServiceReply<int> reply;
    {
        auto busy = m_dm.ui().busyCursor();
        reply = GetActualizaSegurSoap(m_slips.host())
                    .ActualizarCodSegur(pedp[QStringLiteral("C_PED")].asInteger(),
                                        pedp[QStringLiteral("C_REG")].asInteger(),
                                        pedp[QStringLiteral("C_SEGUR")].asString(), code);
    }
    // 5.
    if (!reply.ok) {
        m_dm.ui().message(QStringLiteral("Imposible conectarse con TAV Central para actualizar el código de "
                                         "seguridad\rVerifique la conexión a Internet de este equipo\ry la conexión "
                                         "con el servidor web de TAV Central."),
                          Ui::errorTitle());
        return;
    }
    // 3.
    if (reply.value < 1) {
        m_dm.ui().message(QStringLiteral("Lo siento, no se ha podido cambiar el código de seguridad en TAV Central"),
                          applicationTitle());
        return;
    }
    // 4. The central registry has the new code: it is stored here, and the citizen gets it on a new receipt.
    m_dm.postConfirmed = true;
    if (!pedp.isEditing())
        pedp.edit();
    pedp[QStringLiteral("C_SEGUR")].setValue(code);
    const bool saved = pedp.post();
    m_dm.postConfirmed = false;
    if (!saved) {
        // The row stays in edit with the new code: saving it with the navigator keeps both offices in step.
        m_dm.ui().message(QStringLiteral("El código de seguridad se cambió en TAV Central, pero el pedido no se pudo "
                                         "grabar.\rCorrija los datos y grábelo con el navegador."),
                          Ui::warningTitle());
        return;
    }
    receipt();
}

} // namespace tav::personal
