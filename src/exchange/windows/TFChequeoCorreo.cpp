#include "exchange/windows/TFChequeoCorreo.h"

#include "exchange/TdmMail.h"
#include "ui/WindowSizing.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::exchange {

TFChequeoCorreo::TFChequeoCorreo(TdmMail &mail, QWidget *parent)
    : QDialog(parent), m_mail(mail), m_memo(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("FChequeoCorreo"));
    setWindowTitle(QStringLiteral("Chequeo de correo electrónico"));
    m_memo->setReadOnly(true);
    auto *close = new QPushButton(QStringLiteral("&Cerrar"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_memo, 1);
    layout->addLayout(row);
    ui::setMinimumWindowSize(this, {480, 260});
}

void TFChequeoCorreo::check()
{
    m_memo->clear();
    m_mail.checkAccount([this](const QString &line) { m_memo->appendPlainText(line); });
}

} // namespace tav::exchange
