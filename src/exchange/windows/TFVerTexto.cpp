#include "exchange/windows/TFVerTexto.h"

#include "platform/text/Cp1252Qt.h"
#include "ui/WindowSizing.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::exchange {

TFVerTexto::TFVerTexto(QWidget *parent) : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("FVerTexto"));
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(QStringLiteral("&Cerrar"), QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    ui::setMinimumWindowSize(this, {420, 260});
    resize(700, 480);
}

bool TFVerTexto::load(const QString &path)
{
    setWindowTitle(QFileInfo(path).fileName());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_text->setPlainText(QStringLiteral("No se pudo leer el archivo ") + path);
        return false;
    }
    m_text->setPlainText(text::fromCp1252(f.readAll()));
    return true;
}

} // namespace tav::exchange
