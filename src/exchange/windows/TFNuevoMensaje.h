#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tav::store {
class Tdm;
}

namespace tav::exchange {

class TdmMail;

// "Nuevo mensaje": a message written by hand, sent through the mail account with high priority.
class TFNuevoMensaje : public QDialog
{
    Q_OBJECT

public:
    TFNuevoMensaje(store::Tdm &dm, TdmMail &mail, QWidget *parent = nullptr);

    // Empties every field (done before each showing).
    void clearFields();
    // "&Enviar": sends, says how it went and closes the window either way.
    void send();
    // "Adjuntar Archivo": adds the chosen file to the list.
    void attachFile();

    // The file dialog of "Adjuntar Archivo" (tests choose the file themselves).
    std::function<QString()> chooseFile;

    QLineEdit *to() const { return m_to; }
    QLineEdit *subject() const { return m_subject; }
    QLineEdit *cc() const { return m_cc; }
    QLineEdit *bcc() const { return m_bcc; }
    QPlainTextEdit *body() const { return m_body; }
    QListWidget *attachments() const { return m_attachments; }
    QPushButton *sendButton() const { return m_send; }

private:
    store::Tdm &m_dm;
    TdmMail &m_mail;
    QLineEdit *m_to;
    QLineEdit *m_subject;
    QLineEdit *m_cc;
    QLineEdit *m_bcc;
    QPlainTextEdit *m_body;
    QListWidget *m_attachments;
    QPushButton *m_send;
};

} // namespace tav::exchange
