#include "exchange/MailboxRules.h"

#include "platform/mail/MailNames.h"
#include "store/Tdm.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextDocument>

#include <algorithm>

namespace tav::exchange {

namespace {

const QString kBodyFile = QStringLiteral("cuerpo.html");

QString information()
{
    return ui::Ui::informationTitle();
}

// A value of a column for ordering: numbers and dates by value, texts without regard to case.
int compareRows(const MsgHeaderRow &a, const MsgHeaderRow &b, int column)
{
    const auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (column) {
    case MailboxRules::ColIndex:
        return cmp(a.Index, b.Index);
    case MailboxRules::ColPriority:
        return cmp(a.Priority, b.Priority);
    case MailboxRules::ColDate:
        return cmp(a.Date, b.Date);
    case MailboxRules::ColBytes:
        return cmp(a.Bytes, b.Bytes);
    default:
        return QString::compare(MailboxRules::cellText(a, column), MailboxRules::cellText(b, column),
                                Qt::CaseInsensitive);
    }
}

} // namespace

QString MailboxRules::columnTitle(int column)
{
    static const char *const titles[ColumnCount] = {
        "Nro",   "Asunto",  "De",          "Prioridad",      "Fecha",
        "Bytes", "Para",    "CC",          "Id del Mensaje", "Tipo de Mensaje",
        "UIDL",  "Receipt", "Organización"};
    return column >= 0 && column < ColumnCount ? QString::fromUtf8(titles[column]) : QString();
}

bool MailboxRules::columnHidden(int column)
{
    return column == ColUIDL || column == ColReceipt || column == ColOrganization;
}

QString MailboxRules::cellText(const MsgHeaderRow &row, int column)
{
    switch (column) {
    case ColIndex:
        return QString::number(row.Index);
    case ColSubject:
        return row.Subject;
    case ColFrom:
        return row.From;
    case ColPriority:
        return row.Priority > 0 ? QString::number(row.Priority) : QString(); // 0: the message names none
    case ColDate:
        return row.Date.isValid() ? row.Date.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
    case ColBytes:
        return QString::number(row.Bytes);
    case ColRecipients:
        return row.Recipients;
    case ColCC:
        return row.CC;
    case ColMsgId:
        return row.MsgId;
    case ColContentType:
        return row.ContentType;
    case ColUIDL:
        return row.UIDL;
    case ColReceipt:
        return row.Receipt;
    case ColOrganization:
        return row.Organization;
    default:
        return {};
    }
}

MailboxRules::MailboxRules(store::Tdm &dm, TdmMail &mail) : m_dm(dm), m_mail(mail) {}

void MailboxRules::status(const QString &text) const
{
    if (showStatus)
        showStatus(text);
}

int MailboxRules::rowOfIndex(int index) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].Index == index)
            return i;
    return -1;
}

void MailboxRules::checkMail()
{
    auto busy = m_dm.ui().busyCursor();
    status(QStringLiteral("Consultando bandeja de entrada de correo..."));
    QString error;
    m_rows = m_mail.listHeaders(error);
    m_open = true;
    if (m_sortColumn >= 0)
        sortBy(m_sortColumn, m_ascending);
    if (!error.isEmpty())
        status(QStringLiteral("ERROR:") + error);
    else
        status(QStringLiteral("Total de mensajes en el servidor: ") + QString::number(m_rows.size()));
}

void MailboxRules::clearDetail()
{
    m_detail = Detail();
}

bool MailboxRules::readMessage(int row)
{
    clearDetail();
    if (!valid(row))
        return false;
    const MsgHeaderRow &r = m_rows[row];
    m_detail.from = r.From;
    m_detail.recipients = r.Recipients;
    m_detail.cc = r.CC;
    m_detail.subject = r.Subject;
    m_detail.date = r.Date.isValid()
                        ? QLocale(QLocale::Spanish).toString(r.Date, QStringLiteral("dd MMM yyyy HH:mm:ss"))
                        : QString();
    m_detail.priority = cellText(r, ColPriority);
    m_detail.receipt = r.Receipt;
    m_detail.organization = r.Organization;
    const int n = r.Index;
    QStringList texts;
    QList<AttachmentRow> attachments;
    bool ok = false;
    try {
        auto busy = m_dm.ui().busyCursor();
        ok = m_mail.GetMail(n, texts, attachments);
    } catch (const mail::MailError &) {
        m_dm.ui().message(
            QStringLiteral("Se perdió la conexión con el servidor. \rConsultar nuevamente la bandeja de entrada"),
            ui::Ui::errorTitle());
        disconnect();
        return false;
    }
    if (!ok) {
        status(QStringLiteral("Error al obtener el mail"));
        return false;
    }
    m_detail.html = bodyHtml(texts);
    removeBodyFile();
    QFile body(m_dm.filePath(kBodyFile));
    if (body.open(QIODevice::WriteOnly))
        body.write(m_detail.html.toUtf8());
    m_detail.attachments = attachments;
    m_detail.messageIndex = n;
    return true;
}

QString MailboxRules::bodyHtml(const QStringList &texts)
{
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>");
    for (const QString &text : texts) {
        if (Qt::mightBeRichText(text))
            html += text;
        else
            html += QStringLiteral("<pre style=\"white-space: pre-wrap\">") +
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toHtmlEscaped() +
                    QStringLiteral("</pre>");
    }
    return html + QStringLiteral("</body></html>");
}

void MailboxRules::removeBodyFile() const
{
    QFile::remove(m_dm.filePath(kBodyFile));
}

int MailboxRules::afterRefetch(int n)
{
    checkMail();
    const int at = rowOfIndex(n - 1);
    if (at >= 0)
        return at;
    return m_rows.isEmpty() ? -1 : 0;
}

int MailboxRules::deleteMessage(int row)
{
    int result = valid(row) ? row : -1;
    if (m_dm.ui().confirm(QStringLiteral("¿Está seguro que desea eliminar este mensaje?")) && valid(row)) {
        const int n = m_rows[row].Index;
        QString error;
        bool ok = false;
        {
            auto busy = m_dm.ui().busyCursor();
            ok = m_mail.DeleteMail(n, error);
        }
        if (ok) {
            m_dm.ui().message(QStringLiteral("Mensaje eliminado"), information());
            result = afterRefetch(n);
        } else {
            status(QStringLiteral("Error al eliminar el mensaje:") + error);
        }
    }
    clearDetail();
    return result;
}

void MailboxRules::forwardMessage(int row)
{
    if (!valid(row))
        return;
    const std::optional<QString> address = m_dm.ui().inputBox(
        QStringLiteral("Reenvío de mensaje"), QStringLiteral("Ingrese email del destinatario:"), m_mail.emailFwd);
    if (!address)
        return;
    QString error;
    bool ok = false;
    {
        auto busy = m_dm.ui().busyCursor();
        ok = m_mail.ForwardMail(m_rows[row].Index, address->trimmed(), error);
    }
    status(ok ? QStringLiteral("Mensaje re-enviado") : QStringLiteral("Error al reenviar: ") + error);
}

int MailboxRules::processMessageAt(int row)
{
    if (!valid(row) || !processMessage)
        return row;
    const int n = m_rows[row].Index;
    QString error;
    int r = -1;
    {
        auto busy = m_dm.ui().busyCursor();
        r = processMessage(n, error);
    }
    int result = row;
    if (r < 0) {
        status(QStringLiteral("Error al procesar: ") + error);
    } else {
        m_dm.ui().message(r == 0 ? QStringLiteral("Mensaje reenviado exitosamente")
                                 : QStringLiteral("Mensaje procesado exitosamente"),
                          information());
        result = afterRefetch(n);
    }
    clearDetail();
    return result;
}

void MailboxRules::disconnect()
{
    m_rows.clear();
    m_open = false;
    clearDetail();
    m_mail.DisconnectPOP3();
}

int MailboxRules::sortBy(int column, bool ascending, int currentRow)
{
    if (column < 0 || column >= ColumnCount)
        return currentRow;
    const int index = currentRow >= 0 && currentRow < m_rows.size() ? m_rows[currentRow].Index : -1;
    m_sortColumn = column;
    m_ascending = ascending;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const MsgHeaderRow &a, const MsgHeaderRow &b) {
        const int c = compareRows(a, b, column);
        return ascending ? c < 0 : c > 0;
    });
    return index >= 0 ? rowOfIndex(index) : currentRow;
}

QString MailboxRules::attachmentPath(const AttachmentRow &attachment) const
{
    return m_dm.filePath(mail::bareFileName(attachment.filename));
}

bool MailboxRules::saveAttachment(const AttachmentRow &attachment, const QString &target)
{
    bool ok = false;
    if (m_detail.messageIndex > 0) {
        try {
            auto busy = m_dm.ui().busyCursor();
            ok = m_mail.saveAttachment(m_detail.messageIndex, attachment.index, target);
        } catch (const mail::MailError &) {
            ok = false;
        }
    }
    if (ok)
        m_dm.ui().message(QStringLiteral("Adjunto guardados en ") + target, information());
    else if (!target.trimmed().isEmpty() && m_mail.pop3Connected())
        m_dm.ui().message(QStringLiteral("Error al guardar adjunto"), ui::Ui::errorTitle());
    return ok;
}

MailboxRules::OpenAttachment MailboxRules::openAttachment(const AttachmentRow &attachment)
{
    OpenAttachment result;
    if (m_detail.messageIndex <= 0)
        return result;
    ui::Ui &ui = m_dm.ui();
    const QString path = attachmentPath(attachment);
    // Letter case counts, as it always did: "RESP.DAT" is not shown.
    static const QStringList kinds{QStringLiteral(".dat"), QStringLiteral(".txt"), QStringLiteral(".tif")};
    if (std::none_of(kinds.begin(), kinds.end(), [&](const QString &k) { return path.contains(k); })) {
        ui.message(QStringLiteral("Desde esta aplicación, solo se pueden visualizar \radjuntos de tipo .dat .txt .tif"),
                   ui::Ui::warningTitle());
        return result;
    }
    bool saved = false;
    try {
        auto busy = ui.busyCursor();
        saved = m_mail.pop3Connected() && m_mail.saveAttachment(m_detail.messageIndex, attachment.index, path);
    } catch (const mail::MailError &) {
        saved = false;
    }
    if (!saved) {
        ui.message(QStringLiteral("Error al recuperar y guardar el adjunto"), ui::Ui::errorTitle());
        return result;
    }
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')));
    if (!kinds.contains(extension)) {
        ui.message(
            QStringLiteral("Desde esta aplicación, solo se pueden visualizar \radjuntos con extensión .dat .txt .tif"),
            ui::Ui::warningTitle());
        return result;
    }
    const qint64 size = QFileInfo(path).size();
    if (extension == QLatin1String(".tif")) {
        if (size >= kImageLimit) {
            ui.message(QStringLiteral("La imagen tiene un tamaño demasiado grande"), ui::Ui::warningTitle());
            return result;
        }
        return {Viewer::Image, path};
    }
    if (size >= kTextLimit) {
        ui.message(QStringLiteral("El adjunto es demasiado grande para el Bloc de notas"), ui::Ui::warningTitle());
        return result;
    }
    return {Viewer::Text, path};
}

} // namespace tav::exchange
