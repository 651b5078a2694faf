#include "exchange/RequestSender.h"

#include "capture/ImageChecks.h"
#include "exchange/RequestFile.h"
#include "platform/net/NetworkIdentity.h"
#include "store/Tdm.h"

#include <QFile>

namespace tav::exchange {

using store::Dataset;
using ui::Ui;

namespace {

const QString kPedDat = QStringLiteral("ped.dat");
const QString kHuellaTif = QStringLiteral("huella.tif");
const QString kHuellaZip = QStringLiteral("huella.zip");
const QString kDocuTif = QStringLiteral("docu.tif");
const QString kStatusFile = QStringLiteral("GetEstado.DAT");

const QString kStillEditing =
    QStringLiteral("Antes de poder enviar el pedido\rdebe terminar de ingresar la información del mismo");
const QString kInvalid = QStringLiteral("Pedido inválido");
const QString kNoPrints = QStringLiteral("Debe ingresar las impresiones dactilares");
const QString kAlreadySent = QStringLiteral("Este pedido ya fue enviado\r¿Está seguro que desea volver a enviarlo?");
const QString kNotSent = QStringLiteral("No se pudo enviar el pedido");

// Shows the message of a failed image check (a missing file has none).
bool passes(Ui &ui, const capture::CheckOutcome &check)
{
    if (!check.passed && !check.message.isEmpty())
        ui.message(check.message, check.title.isEmpty() ? Ui::errorTitle() : check.title);
    return check.passed;
}

} // namespace

RequestSender::RequestSender(store::Tdm &dm, Transport transport) : m_dm(dm), m_transport(std::move(transport)) {}

void RequestSender::copyIfExists(const QString &from, const QString &to)
{
    if (!from.isEmpty() && m_dm.fileExists(from))
        QFile::copy(m_dm.filePath(from), m_dm.filePath(to));
}

bool RequestSender::sendAndMark(Dataset &table, const OutgoingMessage &message, bool setSentFlag)
{
    // The request is known by its key: whatever happens while the transport works, the record marked as
    // sent is the one that was sent.
    const QVariant key = table.field(QStringLiteral("C_PED")).value();
    m_last = message;
    const bool accepted = m_transport && m_transport(message);
    if (!accepted) {
        m_dm.ui().message(kNotSent, Ui::warningTitle());
        return false;
    }
    if (table.isEditing() || table.field(QStringLiteral("C_PED")).value() != key) {
        // The person moved on meanwhile: a record being edited is left alone, the sent one is found again.
        if (table.isEditing() || !table.locate(QStringLiteral("C_PED"), key)) {
            m_dm.ui().message(
                QStringLiteral("El pedido %1 fue enviado pero no se pudo marcar como enviado").arg(key.toString()),
                Ui::errorTitle());
            return true;
        }
    }
    table.edit();
    m_dm.postConfirmed = true;
    if (setSentFlag)
        table.field(QStringLiteral("M_ENVIADO")).setValue(true);
    table.field(QStringLiteral("C_EST")).setValue(QStringLiteral("E"));
    if (!table.post()) {
        // A rule refused the save (its message was shown): the request stays as it was.
        table.cancel();
    }
    return true;
}

QStringList RequestSender::prepareOfficialAttachments()
{
    Dataset &ped = *m_dm.ped;
    QStringList list{kPedDat};
    if (ped.field(QStringLiteral("C_CARPED")).asString() == QLatin1String("C")) {
        m_dm.deleteFile(kHuellaTif);
        m_dm.deleteFile(kHuellaZip);
        const QString card = m_dm.pedCardFile();
        const QString prints = m_dm.pedFingerprintFile();
        if (!card.isEmpty() && m_dm.fileExists(card)) {
            copyIfExists(card, kHuellaZip);
        } else if (!prints.isEmpty() && m_dm.fileExists(prints)) {
            copyIfExists(prints, kHuellaTif);
        } else {
            const QByteArray kept = ped.field(QStringLiteral("B_HUELLA")).asBytes();
            QFile f(m_dm.filePath(kHuellaTif));
            if (f.open(QIODevice::WriteOnly))
                f.write(kept);
        }
        list << (m_dm.fileExists(kHuellaZip) ? kHuellaZip : kHuellaTif);
    }
    m_dm.deleteFile(kDocuTif);
    const QString docs = m_dm.pedDocumentFile();
    if (!docs.isEmpty() && m_dm.fileExists(docs)) {
        copyIfExists(docs, kDocuTif);
        list << kDocuTif;
    }
    return list;
}

// A request can be sent once it is saved and has its number.
bool RequestSender::readyToSend(Dataset &table)
{
    if (table.isEditing()) {
        m_dm.ui().message(kStillEditing, Ui::warningTitle());
        return false;
    }
    if (table.isEmpty() || table.field(QStringLiteral("C_PED")).isNull()) {
        m_dm.ui().message(kInvalid, Ui::warningTitle());
        return false;
    }
    return true;
}

bool RequestSender::writeRequestFile(const QByteArray &bytes)
{
    if (RequestFile::write(m_dm, kPedDat, bytes))
        return true;
    m_dm.ui().message(QStringLiteral("No se pudo escribir el archivo ped.dat"), Ui::errorTitle());
    return false;
}

void RequestSender::EnviarPedido()
{
    Dataset &ped = *m_dm.ped;
    Ui &ui = m_dm.ui();
    if (!readyToSend(ped))
        return;
    const QString docs = m_dm.pedDocumentFile();
    const bool hasDocs = !docs.isEmpty() && m_dm.fileExists(docs);
    if (ped.field(QStringLiteral("M_EXCART51")).asBoolean() && !hasDocs) {
        ui.message(QStringLiteral("Si el pedido de informes se realiza con \rexcepción al art.51, debe escanear el "
                                  "\roficio en la sección Documentación"),
                   Ui::warningTitle());
        return;
    }
    if (ped.field(QStringLiteral("M_ESPECIAL")).asBoolean() && !hasDocs) {
        ui.message(QStringLiteral("Si el pedido de informes es especial, debe \rescanear el oficio en la sección "
                                  "Documentación"),
                   Ui::warningTitle());
        return;
    }
    if (ped.field(QStringLiteral("C_CARPED")).asString() == QLatin1String("C")) {
        const QString prints = m_dm.pedFingerprintFile();
        const bool hasPrints = m_dm.fileExists(prints);
        if (!hasPrints && !m_dm.fileExists(m_dm.pedCardFile()) &&
            ped.field(QStringLiteral("B_HUELLA")).asBytes().isEmpty()) {
            ui.message(kNoPrints, Ui::warningTitle());
            return;
        }
        if (hasPrints && !passes(ui, capture::ImageChecks::validarHuella(m_dm.filePath(prints))))
            return;
    }
    if (ped.field(QStringLiteral("M_ENVIADO")).asBoolean() &&
        ui.message(kAlreadySent, Ui::warningTitle(), Ui::Buttons::YesNo) != Ui::Yes)
        return;
    if (ped.field(QStringLiteral("M_CONTESTA")).asBoolean()) {
        ui.message(QStringLiteral("¡Este pedido ya fue contestado!\rNo puede volver a enviarlo"), Ui::errorTitle());
        return;
    }

    if (!writeRequestFile(RequestFile::official(m_dm)))
        return;
    OutgoingMessage message;
    message.attachments = prepareOfficialAttachments();
    message.recipient = m_dm.readSetting(QStringLiteral("x_toreg"));
    message.subject = m_dm.readSetting(QStringLiteral("x_msgreg"));
    message.request = ped.field(QStringLiteral("C_PED")).asInteger();
    message.office = RequestFile::settingNumber(m_dm, QStringLiteral("c_reg"));
    sendAndMark(ped, message, true);
    m_dm.deleteFile(kHuellaZip);
    m_dm.deleteFile(kHuellaTif);
}

QStringList RequestSender::preparePersonalAttachments()
{
    m_dm.deleteFile(kHuellaTif);
    copyIfExists(m_dm.pedpFingerprintFile(), kHuellaTif);
    m_dm.deleteFile(kHuellaZip);
    copyIfExists(m_dm.pedpCardFile(), kHuellaZip);
    m_dm.deleteFile(kDocuTif);
    copyIfExists(m_dm.pedpDocumentFile(), kDocuTif);
    QStringList list;
    if (m_dm.fileExists(kDocuTif))
        list << kDocuTif;
    list << kPedDat << (m_dm.fileExists(kHuellaZip) ? kHuellaZip : kHuellaTif);
    return list;
}

void RequestSender::EnviarPedidoP()
{
    Dataset &pedp = *m_dm.pedp;
    Ui &ui = m_dm.ui();
    if (!readyToSend(pedp))
        return;
    const QString prints = m_dm.pedpFingerprintFile();
    const bool hasPrints = m_dm.fileExists(prints);
    if (!hasPrints && !m_dm.fileExists(m_dm.pedpCardFile())) {
        ui.message(kNoPrints, Ui::warningTitle());
        return;
    }
    if (hasPrints && !passes(ui, capture::ImageChecks::validarHuella(m_dm.filePath(prints))))
        return;
    if (m_dm.readSetting(QStringLiteral("m_obli_doc")) != QLatin1String("N")) {
        const QString docs = m_dm.pedpDocumentFile();
        if (docs.isEmpty() || !m_dm.fileExists(docs)) {
            ui.message(QStringLiteral("Debe digitalizar la documentación del pedido"), Ui::warningTitle());
            return;
        }
        const capture::CheckOutcome check = capture::ImageChecks::validarDocumentacion(m_dm.filePath(docs));
        if (!check.passed) {
            passes(ui, check);
            ui.message(QStringLiteral("La documentación no está escaneada en el formato correcto"), Ui::warningTitle());
            return;
        }
    }
    const QString state = pedp.field(QStringLiteral("C_EST")).asString();
    const auto ask = [&](const QString &text) {
        return ui.message(text, Ui::warningTitle(), Ui::Buttons::YesNo) == Ui::Yes;
    };
    if (state == QLatin1String("E") && !ask(kAlreadySent))
        return;
    if (state == QLatin1String("T") &&
        !ask(QStringLiteral("Este pedido fue recibido por TAV Regional\ry se encuentra en trámite.\r¿Está seguro "
                            "que desea volver a enviarlo?")))
        return;
    if (state == QLatin1String("C")) {
        ui.message(QStringLiteral("Este pedido ya fue contestado por TAV Central\rNo se puede volver a enviarlo"),
                   Ui::errorTitle());
        return;
    }
    if (state == QLatin1String("R") && !ask(QStringLiteral("Este pedido fue rechazado\r¿Está seguro que desea "
                                                           "volver a enviarlo?")))
        return;

    if (!writeRequestFile(
            RequestFile::personal(m_dm, RequestFile::PersonalKind::Request, net::NetworkIdentity::current())))
        return;
    OutgoingMessage message;
    message.attachments = preparePersonalAttachments();
    message.recipient = m_dm.readSetting(QStringLiteral("x_toregp"));
    message.subject = m_dm.readSetting(QStringLiteral("x_msgregp"));
    message.request = pedp.field(QStringLiteral("C_PED")).asInteger();
    message.office = RequestFile::settingNumber(m_dm, QStringLiteral("c_regp"));
    sendAndMark(pedp, message, false);
    m_dm.deleteFile(kHuellaZip);
    m_dm.deleteFile(kHuellaTif);
}

void RequestSender::EnviarCorreccionP()
{
    Dataset &pedp = *m_dm.pedp;
    if (!readyToSend(pedp))
        return;
    if (!writeRequestFile(
            RequestFile::personal(m_dm, RequestFile::PersonalKind::Correction, net::NetworkIdentity::current())))
        return;
    OutgoingMessage message;
    message.attachments = QStringList{kPedDat};
    message.recipient = m_dm.readSetting(QStringLiteral("x_toregp"));
    message.subject = QStringLiteral("CORRECCIONP");
    message.request = pedp.field(QStringLiteral("C_PED")).asInteger();
    message.office = RequestFile::settingNumber(m_dm, QStringLiteral("c_regp"));
    sendAndMark(pedp, message, false);
}

void RequestSender::PedirEstado()
{
    struct Cleanup
    {
        store::Tdm &dm;
        ~Cleanup() { dm.deleteFile(kStatusFile); }
    } cleanup{m_dm};
    m_dm.deleteFile(kStatusFile);
    if (!RequestFile::write(m_dm, kStatusFile, RequestFile::statusRequest(m_dm))) {
        m_dm.ui().message(QStringLiteral("No se pudo escribir el archivo GetEstado.DAT"), Ui::errorTitle());
        return;
    }
    OutgoingMessage message;
    message.recipient = m_dm.readSetting(QStringLiteral("x_toreg"));
    message.subject = QStringLiteral("GETESTADO");
    message.request = 0;
    const int personalOffice = RequestFile::settingNumber(m_dm, QStringLiteral("c_regp"));
    message.office = personalOffice != 0 ? personalOffice : RequestFile::settingNumber(m_dm, QStringLiteral("c_reg"));
    message.attachments = QStringList{kStatusFile};
    m_last = message;
    if (m_transport && m_transport(message))
        m_dm.ui().message(QStringLiteral("Se ha efectuado la petición de estado exitosamente"), Ui::informationTitle());
}

} // namespace tav::exchange
