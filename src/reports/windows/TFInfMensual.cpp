#include "reports/windows/TFInfMensual.h"

#include "reports/MonthlyReport.h"
#include "store/Tdm.h"

#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::reports {

TFInfMensual::TFInfMensual(store::Tdm &dm, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_month(new QLineEdit(this)), m_year(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("&Aceptar"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancelar"), this))
{
    setObjectName(QStringLiteral("FInfMensual"));
    setWindowTitle(QStringLiteral("Informe mesual"));
    openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    m_month->setInputMask(QStringLiteral("99"));
    m_year->setInputMask(QStringLiteral("9999"));
    m_month->setMaximumWidth(60);
    m_year->setMaximumWidth(80);
    m_ok->setDefault(true);
    m_cancel->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Mes:"), m_month);
    form->addRow(QStringLiteral("Año:"), m_year);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Indique período del informe:"), this));
    layout->addLayout(form);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));

    connect(m_ok, &QPushButton::clicked, this, &TFInfMensual::btOKClick);
    connect(m_cancel, &QPushButton::clicked, this, &TFInfMensual::btCancelClick);
}

void TFInfMensual::showEvent(QShowEvent *event)
{
    const auto period = MonthlyReport::proposed(m_dm.clock().today());
    m_month->setText(QString::number(period.month));
    m_year->setText(QString::number(period.year));
    QDialog::showEvent(event);
    m_month->setFocus();
    m_month->selectAll();
}

void TFInfMensual::btOKClick()
{
    if (MonthlyReport::accept(m_dm, m_month->text(), m_year->text(), openUrl))
        accept();
}

} // namespace tav::reports
