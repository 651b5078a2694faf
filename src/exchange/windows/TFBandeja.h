#pragma once

#include "exchange/MailboxRules.h"

#include <QDialog>

#include <functional>

class QAction;
class QLabel;
class QStatusBar;
class QTableView;
class QTableWidget;
class QTextBrowser;
class QWidget;

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

class MailboxModel;
class TFNuevoMensaje;
class TSMime;
class TdmMail;

// "Correo Electrónico - Bandeja de Entrada  -": the office's POP3 mailbox looked at by hand. The commands
// live in MailboxRules; this window shows the list, the message read and its attachments.
class TFBandeja : public QDialog
{
    Q_OBJECT

public:
    TFBandeja(store::Tdm &dm, TdmMail &mail, TSMime &transport, QWidget *parent = nullptr);
    ~TFBandeja() override;

    // Opens the window modally with no list and an empty detail area.
    void openMailbox();

    MailboxRules &rules() { return m_rules; }

    // The commands, as the tool bar and the menu run them.
    void checkMail();
    void readMessage();
    void deleteMessage();
    void forwardMessage();
    void processMessage();
    void disconnectList();
    void newMessage();
    void setup();
    void testAccount();
    void saveAttachment();
    void openAttachment();

    // Modal windows this one opens, given to tests instead of running them.
    std::function<void(QWidget *dialog)> beforeModal;
    // The save dialog of "Guardar Adjunto": the proposed path in, the chosen one out (empty: cancelled).
    std::function<QString(const QString &proposed)> chooseSavePath;

    QTableView *grid() const { return m_grid; }
    QTableWidget *attachmentGrid() const { return m_attachmentGrid; }
    QWidget *attachmentPanel() const { return m_attachmentPanel; }
    QTextBrowser *body() const { return m_body; }
    QLabel *value(const char *name) const;
    QStatusBar *statusBar() const { return m_status; }
    QAction *action(const char *name) const;
    TFNuevoMensaje *composer() const { return m_composer; }

protected:
    void done(int result) override;

private:
    void showDetail();
    void refresh(int row);
    int currentRow() const;
    int runModal(QWidget *dialog);

    store::Tdm &m_dm;
    TdmMail &m_mail;
    TSMime &m_transport;
    MailboxRules m_rules;
    MailboxModel *m_model;
    QTableView *m_grid;
    QTextBrowser *m_body;
    QWidget *m_attachmentPanel;
    QTableWidget *m_attachmentGrid;
    QStatusBar *m_status;
    TFNuevoMensaje *m_composer;
};

} // namespace tav::exchange
