#include "capture/windows/TFVerImg.h"

#include "capture/windows/DialogButtons.h"
#include "port/Ui.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tav::capture {

TFVerImg::TFVerImg(ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_view(new ImageView), m_controls(new PageZoomControls(m_view, ui, this)),
      m_exit(new QPushButton(QStringLiteral("&Salir")))
{
    setObjectName(QStringLiteral("FVerImg"));
    setWindowTitle(QStringLiteral("Visualización de Imagenes"));
    setWindowState(Qt::WindowMaximized);
    m_controls->upDown()->setFixedWidth(20);

    auto *menus = new QMenuBar(this);
    QMenu *archivo = menus->addMenu(QStringLiteral("&Archivo"));
    archivo->addAction(QStringLiteral("&Imprimir"), this, [this] {
        QPrinter printer;
        if (m_view->hasImage() && ImagePrinting::choosePrinter(printer, this))
            print(printer);
    });
    archivo->addAction(QStringLiteral("&Salir"), this, &QDialog::accept);
    m_controls->addFitActions(menus->addMenu(QStringLiteral("&Ver")));

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    auto *tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("Página")));
    tools->addWidget(m_controls->pageEdit());
    tools->addWidget(m_controls->upDown());
    tools->addWidget(m_controls->zoomBox());
    tools->addStretch();
    tools->addWidget(m_exit);
    layout->addLayout(tools);
    layout->addWidget(m_view, 1);
    setMinimumSize(380, 245);

    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
    dropDefaultButtons(*this);
}

void TFVerImg::done(int result)
{
    // The window lives for the whole run; the image it showed (a citizen's answer) does not stay in it.
    m_view->clear();
    QDialog::done(result);
}

bool TFVerImg::load()
{
    if (m_view->hasImage() && m_view->imageFile() == m_file)
        return true;
    if (m_file.isEmpty() || !QFileInfo::exists(m_file)) {
        m_view->clear();
        return false;
    }
    QString error;
    if (!m_view->setImage(m_file, 1, &error)) {
        m_ui.error(error);
        return false;
    }
    m_controls->imageLoaded();
    return true;
}

int TFVerImg::print(QPrinter &printer)
{
    auto busy = m_ui.busyCursor();
    return ImagePrinting::printAllFitted(m_file, printer);
}

void TFVerImg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_controls->applyFit();
    load();
}

void TFVerImg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_controls->applyFit();
}

} // namespace tav::capture
