#include "capture/windows/TFVerImg.h"

#include "capture/PageNumber.h"

#include "ui/Ui.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace tav::capture {

TFVerImg::TFVerImg(ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_view(new ImageView), m_pageEdit(new QLineEdit), m_upDown(new QSpinBox),
      m_zoom(new QSpinBox), m_exit(new QPushButton(QStringLiteral("&Salir")))
{
    setObjectName(QStringLiteral("FVerImg"));
    setWindowTitle(QStringLiteral("Visualización de Imagenes"));
    setWindowState(Qt::WindowMaximized);
    m_zoom->setRange(2, 200);
    m_zoom->setSingleStep(5);
    m_zoom->setValue(100);
    m_zoom->setSuffix(QStringLiteral(" %"));
    m_zoom->setToolTip(QStringLiteral("Factor de Zoom"));
    m_upDown->setRange(1, 1);
    m_upDown->setFixedWidth(20);
    m_pageEdit->setFixedWidth(50);

    auto *menus = new QMenuBar(this);
    QMenu *archivo = menus->addMenu(QStringLiteral("&Archivo"));
    archivo->addAction(QStringLiteral("&Imprimir"), this, [this] {
        QPrinter printer;
        if (m_view->hasImage() && ImagePrinting::choosePrinter(printer, this))
            print(printer);
    });
    archivo->addAction(QStringLiteral("&Salir"), this, &QDialog::accept);
    QMenu *ver = menus->addMenu(QStringLiteral("&Ver"));
    auto *fits = new QActionGroup(this);
    m_fitWindowAction = ver->addAction(QStringLiteral("Ajustar a la ventana"));
    m_fitWidthAction = ver->addAction(QStringLiteral("Ajustar al ancho"));
    m_fitHeightAction = ver->addAction(QStringLiteral("Ajustar al alto"));
    m_freeAction = ver->addAction(QStringLiteral("Tamaño libre"));
    for (QAction *a : {m_fitWindowAction, m_fitWidthAction, m_fitHeightAction, m_freeAction}) {
        a->setCheckable(true);
        fits->addAction(a);
    }
    m_fitWidthAction->setChecked(true);
    connect(m_fitWindowAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Window); });
    connect(m_fitWidthAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Width); });
    connect(m_fitHeightAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Height); });
    connect(m_freeAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Free); });

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    auto *tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("Página")));
    tools->addWidget(m_pageEdit);
    tools->addWidget(m_upDown);
    tools->addWidget(m_zoom);
    tools->addStretch();
    tools->addWidget(m_exit);
    layout->addLayout(tools);
    layout->addWidget(m_view, 1);
    setMinimumSize(380, 245);

    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pageEdit, &QLineEdit::editingFinished, this, [this] { goToPage(m_pageEdit->text()); });
    connect(m_upDown, &QSpinBox::valueChanged, this, [this](int page) {
        if (m_view->hasImage() && page != m_view->page())
            showPage(page);
    });
    connect(m_zoom, &QSpinBox::valueChanged, this, [this](int value) {
        if (m_view->hasImage() && value >= 2 && value <= 200 && m_fit == FitMode::Free)
            m_view->setZoom(value);
    });
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
    const QSignalBlocker block(m_upDown);
    m_upDown->setRange(1, m_view->pageCount());
    m_upDown->setValue(1);
    m_pageEdit->setText(QStringLiteral("1"));
    applyFit();
    return true;
}

void TFVerImg::showPage(int page)
{
    QString error;
    if (!m_view->setImage(m_file, page, &error)) {
        m_ui.error(error);
        return;
    }
    const QSignalBlocker block(m_upDown);
    m_upDown->setValue(page);
    m_pageEdit->setText(QString::number(page));
    applyFit();
}

void TFVerImg::goToPage(const QString &text)
{
    if (!m_view->hasImage())
        return;
    const int page = capture::pageFromText(text, m_view->pageCount());
    m_pageEdit->setText(QString::number(page));
    showPage(page);
}

void TFVerImg::applyFit()
{
    const ImageView::Fit fit = m_fit == FitMode::Window   ? ImageView::Fit::Window
                               : m_fit == FitMode::Width  ? ImageView::Fit::Width
                               : m_fit == FitMode::Height ? ImageView::Fit::Height
                                                          : ImageView::Fit::Free;
    const double zoom = m_view->fit(fit, m_zoom->value());
    const QSignalBlocker block(m_zoom);
    m_zoom->setValue(int(std::lround(zoom)));
}

void TFVerImg::setFitMode(FitMode mode)
{
    m_fit = mode;
    m_fitWindowAction->setChecked(mode == FitMode::Window);
    m_fitWidthAction->setChecked(mode == FitMode::Width);
    m_fitHeightAction->setChecked(mode == FitMode::Height);
    m_freeAction->setChecked(mode == FitMode::Free);
    applyFit();
}

int TFVerImg::print(QPrinter &printer)
{
    auto busy = m_ui.busyCursor();
    return ImagePrinting::printAllFitted(m_file, printer);
}

void TFVerImg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    applyFit();
    load();
}

void TFVerImg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!m_view->hasImage())
        applyFit();
}

} // namespace tav::capture
