#include "shell/windows/AboutBox.h"

#include "ui/WindowSizing.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::shell {

namespace {

QPixmap programIcon()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(8, 70, 109));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setPen(QPen(QColor(255, 255, 255, 150), 2.5));
    for (int i = 0; i < 5; ++i)
        p.drawArc(QRectF(18 - i * 3.5, 14 - i * 3.5, 28 + i * 7, 36 + i * 7), 20 * 16, 300 * 16);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setBold(true);
    f.setPixelSize(17);
    p.setFont(f);
    p.drawText(QRectF(2, 2, 60, 60), Qt::AlignCenter, QStringLiteral("TAV"));
    return pm;
}

} // namespace

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Acerca de TAV Regional"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(programIcon());
    top->addWidget(icon, 0, Qt::AlignTop);
    auto *texts = new QVBoxLayout;
    auto *product = new QLabel(QStringLiteral("TAV Regional"), this);
    QFont f = product->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    product->setFont(f);
    texts->addWidget(product);
    m_version = new QLabel(this);
    texts->addWidget(m_version);
    texts->addWidget(new QLabel(QStringLiteral("Trámite de Antecedentes Penales — Oficina Regional"), this));
    top->addLayout(texts, 1);
    layout->addLayout(top);
    auto *close = new QPushButton(QStringLiteral("&Cerrar"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    ui::setMinimumWindowSize(this, {380, 0}); // never narrower than its texts
}

void AboutBox::setVersionText(const QString &text)
{
    m_version->setText(text);
}

} // namespace tav::shell
