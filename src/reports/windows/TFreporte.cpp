#include "reports/windows/TFreporte.h"

#include "reports/ActivityReport.h"

#include "port/Ui.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tav::reports {

TFreporte::TFreporte(ActivityReport &report, ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_report(report), m_ui(ui), m_memo(new QPlainTextEdit(this)),
      m_clear(new QPushButton(QStringLiteral("Limpiar"), this)),
      m_close(new QPushButton(QStringLiteral("&Cerrar"), this))
{
    setObjectName(QStringLiteral("Freporte"));
    setWindowTitle(QStringLiteral("Reporte de Actividad "));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono")));
    for (QPushButton *b : {m_clear, m_close}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_memo, 1);
    layout->addLayout(buttons);
    resize(640, 400);
    setMinimumSize(360, 200);

    if (!m_report.load())
        m_ui.error(QStringLiteral("No se pudo leer el reporte de actividad \"%1\".").arg(m_report.file()));
    m_memo->setPlainText(m_report.text());
    connect(&m_report, &ActivityReport::lineAdded, this, [this](const QString &line) {
        m_memo->appendPlainText(line);
        m_memo->verticalScrollBar()->setValue(m_memo->verticalScrollBar()->maximum());
    });
    connect(&m_report, &ActivityReport::textReplaced, this, [this] { m_memo->setPlainText(m_report.text()); });
    connect(&m_report, &ActivityReport::showRequested, this, [this] {
        if (!isVisible())
            show();
        raise();
    });
    connect(m_clear, &QPushButton::clicked, this, &TFreporte::BitBtn2Click);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
}

void TFreporte::BitBtn2Click()
{
    if (m_ui.message(QStringLiteral("Todos los Datos serán Borrados. Desea Continuar?"), ui::Ui::warningTitle(),
                     ui::Ui::Buttons::YesNo) == ui::Ui::Yes)
        m_report.clear();
}

void TFreporte::hideEvent(QHideEvent *event)
{
    FormClose();
    QDialog::hideEvent(event);
}

void TFreporte::FormClose()
{
    QString error;
    if (!m_report.save(&error))
        m_ui.error(QStringLiteral("No se pudo grabar el reporte de actividad \"%1\".\r%2").arg(m_report.file(), error));
}

} // namespace tav::reports
