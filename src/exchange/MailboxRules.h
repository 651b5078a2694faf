#pragma once

#include "exchange/TdmMail.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

// What the mailbox window does with the office's POP3 mailbox, without widgets: the message list as last
// fetched (kept in the order the person chose), the message read, its attachments and the commands on the
// selected message. Rows are positions in `rows()`; each command that fetches the list again returns the
// position the window moves to.
class MailboxRules
{
public:
    // The columns of the message list in the order they are shown; the last three are hidden.
    enum Column {
        ColIndex,
        ColSubject,
        ColFrom,
        ColPriority,
        ColDate,
        ColBytes,
        ColRecipients,
        ColCC,
        ColMsgId,
        ColContentType,
        ColUIDL,
        ColReceipt,
        ColOrganization,
        ColumnCount
    };
    static QString columnTitle(int column);
    static bool columnHidden(int column);
    static QString cellText(const MsgHeaderRow &row, int column);

    // A text attachment at or above this size is not opened, nor an image at or above the second.
    static constexpr qint64 kTextLimit = 46080;
    static constexpr qint64 kImageLimit = 10485760;

    // The message read, as the detail area shows it.
    struct Detail
    {
        QString from;
        QString recipients;
        QString cc;
        QString subject;
        QString date;
        QString priority;
        QString receipt;
        QString organization;
        QString html; // the body as written to "cuerpo.html"; empty when nothing was read
        QList<AttachmentRow> attachments;
        int messageIndex = 0; // the `Index` of the message read, 0 when none
    };

    // Which viewer shows an attachment the person asked to open.
    enum class Viewer { None, Text, Image };
    struct OpenAttachment
    {
        Viewer viewer = Viewer::None;
        QString path;
    };

    MailboxRules(store::Tdm &dm, TdmMail &mail);

    // The status bar of the mailbox window.
    std::function<void(const QString &text)> showStatus;
    // Processes one message of the mailbox: 1 a reply applied and deleted, 0 another message forwarded and
    // deleted, -1 failed (with `error`). Set by whoever installs the window (the reception cycle's own handling of one
    // message).
    std::function<int(int n, QString &error)> processMessage;

    const QList<MsgHeaderRow> &rows() const { return m_rows; }
    bool listOpen() const { return m_open; }
    const Detail &detail() const { return m_detail; }
    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_ascending; }
    // The position of the message with this `Index`, or -1.
    int rowOfIndex(int index) const;

    // "Consultar bandeja de entrada de mensajes".
    void checkMail();
    // "Leer Mensaje": fills the detail from the row and the retrieved message (writes "cuerpo.html").
    bool readMessage(int row);
    // "Borrar Mensaje": after the confirmation, deletes the message, fetches the list again and returns the
    // position of the message numbered one less (or the first row); otherwise the list stays where it was.
    int deleteMessage(int row);
    // "Reenviar Mensaje": asks for the address (the account's forwarding address proposed).
    void forwardMessage(int row);
    // "Procesar Mensaje": the reply handler of the message, or its forward; returns the position as delete.
    int processMessageAt(int row);
    // "Cerrar conexión": the list must be fetched again before any other command.
    void disconnect();
    // Orders the list by a column; returns the new position of the row that was at `currentRow`.
    int sortBy(int column, bool ascending, int currentRow = -1);
    void clearDetail();

    // The attachment's place in the program directory: only its bare name is used.
    QString attachmentPath(const AttachmentRow &attachment) const;
    // "Guardar Adjunto" to the path the person chose.
    bool saveAttachment(const AttachmentRow &attachment, const QString &target);
    // "Abrir adjunto tipo dat txt tif": saves it in the program directory and says which viewer shows it.
    OpenAttachment openAttachment(const AttachmentRow &attachment);

    // The text parts as one HTML page: HTML parts as they came, plain text parts escaped and kept as written.
    static QString bodyHtml(const QStringList &texts);
    // Removes "cuerpo.html" (a message's text is not left in the program directory).
    void removeBodyFile() const;

private:
    void status(const QString &text) const;
    bool valid(int row) const { return m_open && row >= 0 && row < m_rows.size(); }
    int afterRefetch(int n);

    store::Tdm &m_dm;
    TdmMail &m_mail;
    QList<MsgHeaderRow> m_rows;
    bool m_open = false;
    Detail m_detail;
    int m_sortColumn = -1;
    bool m_ascending = true;
};

} // namespace tav::exchange
