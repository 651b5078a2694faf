#include "exchange/windows/TFNuevoMensaje.h"

#include "exchange/TdmMail.h"
#include "store/Tdm.h"
#include "ui/WindowSizing.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::exchange {

TFNuevoMensaje::TFNuevoMensaje(store::Tdm &dm, TdmMail &mail, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_mail(mail), m_to(new QLineEdit(this)), m_subject(new QLineEdit(this)),
      m_cc(new QLineEdit(this)), m_bcc(new QLineEdit(this)), m_body(new QPlainTextEdit(this)),
      m_attachments(new QListWidget(this)), m_send(new QPushButton(QStringLiteral("&Enviar"), this))
{
    setObjectName(QStringLiteral("FNuevoMensaje"));
    setWindowTitle(QStringLiteral("Nuevo mensaje"));
    chooseFile = [this] { return QFileDialog::getOpenFileName(this, QStringLiteral("Adjuntar Archivo")); };

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&A:"), m_to);
    fields->addRow(QStringLiteral("&Asunto:"), m_subject);
    fields->addRow(QStringLiteral("&CC:"), m_cc);
    fields->addRow(QStringLiteral("BCC:"), m_bcc);

    auto *attach = new QPushButton(QStringLiteral("Adjuntar Archivo"), this);
    auto *cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    // Enter in a field never sends a half-written message.
    for (QPushButton *b : {m_send, attach, cancel})
        b->setAutoDefault(false);
    m_attachments->setSelectionMode(QAbstractItemView::NoSelection);
    m_attachments->setMaximumHeight(90);
    connect(attach, &QPushButton::clicked, this, &TFNuevoMensaje::attachFile);
    connect(m_send, &QPushButton::clicked, this, &TFNuevoMensaje::send);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *attachRow = new QHBoxLayout;
    attachRow->addWidget(m_attachments, 1);
    attachRow->addWidget(attach, 0, Qt::AlignTop);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_send);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_body, 1);
    layout->addWidget(new QLabel(QStringLiteral("Adjuntos:"), this));
    layout->addLayout(attachRow);
    layout->addLayout(buttons);
    setTabOrder(m_to, m_subject);
    setTabOrder(m_subject, m_cc);
    setTabOrder(m_cc, m_bcc);
    setTabOrder(m_bcc, m_body);
    setTabOrder(m_body, attach);
    setTabOrder(attach, m_send);
    setTabOrder(m_send, cancel);
    ui::setMinimumWindowSize(this, {520, 420});
}

void TFNuevoMensaje::clearFields()
{
    for (QLineEdit *e : {m_to, m_subject, m_cc, m_bcc})
        e->clear();
    m_body->clear();
    m_attachments->clear();
    m_to->setFocus();
}

void TFNuevoMensaje::attachFile()
{
    const QString path = chooseFile ? chooseFile() : QString();
    if (!path.isEmpty())
        m_attachments->addItem(path);
}

void TFNuevoMensaje::send()
{
    THeaderMsg header;
    header.From = m_mail.userEmail;
    header.Recipients = m_to->text().trimmed();
    header.Subject = m_subject->text();
    header.Priority = 1;
    header.CC = m_cc->text().trimmed();
    header.BCC = m_bcc->text().trimmed();
    QStringList paths;
    for (int i = 0; i < m_attachments->count(); ++i)
        paths << m_attachments->item(i)->text();
    QString error;
    bool ok = false;
    {
        auto busy = m_dm.ui().busyCursor();
        setEnabled(false);
        ok = m_mail.SendMail(header, m_body->toPlainText().split(QLatin1Char('\n')), error, paths);
        setEnabled(true);
    }
    if (ok)
        m_dm.ui().message(QStringLiteral("Mensaje enviado"), ui::Ui::informationTitle());
    else
        m_dm.ui().message(QStringLiteral("Error al enviar mensaje: ") + error, ui::Ui::errorTitle());
    accept();
}

} // namespace tav::exchange
