#include "capture/windows/PageZoomControls.h"

#include "capture/PageNumber.h"
#include "port/Ui.h"

#include <QAction>
#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include <cmath>

namespace tav::capture {

PageZoomControls::PageZoomControls(ImageView *view, ui::Ui &ui, QObject *parent)
    : QObject(parent), m_view(view), m_ui(ui), m_pageEdit(new QLineEdit), m_upDown(new QSpinBox), m_zoom(new QSpinBox)
{
    m_zoom->setRange(2, 200);
    m_zoom->setSingleStep(5);
    m_zoom->setValue(100);
    m_zoom->setSuffix(QStringLiteral(" %"));
    m_zoom->setToolTip(QStringLiteral("Factor de Zoom"));
    m_upDown->setRange(1, 1);
    m_pageEdit->setFixedWidth(50);

    connect(m_pageEdit, &QLineEdit::editingFinished, this, [this] { goToPage(m_pageEdit->text()); });
    connect(m_upDown, &QSpinBox::valueChanged, this, [this](int page) {
        if (m_view->hasImage() && page != m_view->page())
            showPage(page);
    });
    // A zoom typed or stepped by the person applies whatever fit was chosen; the view then keeps that size
    // ("Tamaño libre"), so a resize or another page does not take it back.
    connect(m_zoom, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_view->hasImage() || value < 2 || value > 200)
            return;
        m_fit = ImageView::Fit::Free;
        if (QAction *a = m_fitActions[static_cast<std::size_t>(ImageView::Fit::Free)])
            a->setChecked(true);
        m_view->setZoom(value);
    });
}

void PageZoomControls::addFitActions(QMenu *menu)
{
    auto *group = new QActionGroup(this);
    const std::array<std::pair<ImageView::Fit, QString>, 4> choices{{
        {ImageView::Fit::Window, QStringLiteral("Ajustar a la ventana")},
        {ImageView::Fit::Width, QStringLiteral("Ajustar al ancho")},
        {ImageView::Fit::Height, QStringLiteral("Ajustar al alto")},
        {ImageView::Fit::Free, QStringLiteral("Tamaño libre")},
    }};
    for (const auto &[mode, caption] : choices) {
        QAction *a = menu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(mode == m_fit);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode = mode] { setFitMode(mode); });
        m_fitActions[static_cast<std::size_t>(mode)] = a;
    }
}

void PageZoomControls::setFitMode(ImageView::Fit mode)
{
    m_fit = mode;
    if (QAction *a = m_fitActions[static_cast<std::size_t>(mode)])
        a->setChecked(true);
    applyFit();
}

void PageZoomControls::applyFit()
{
    if (!m_view->hasImage())
        return;
    const double zoom = m_view->fit(m_fit, m_zoom->value());
    const QSignalBlocker block(m_zoom);
    m_zoom->setValue(int(std::lround(zoom)));
}

void PageZoomControls::imageLoaded()
{
    const QSignalBlocker block(m_upDown);
    m_upDown->setRange(1, std::max(1, m_view->hasImage() ? m_view->pageCount() : 0));
    m_upDown->setValue(1);
    m_pageEdit->setText(QStringLiteral("1"));
    applyFit();
}

void PageZoomControls::showPage(int page)
{
    if (!m_view->hasImage())
        return;
    QString error;
    const QString file = m_view->imageFile(); // a copy: the view replaces its own
    if (!m_view->setImage(file, page, &error)) {
        m_ui.error(error);
        return;
    }
    const QSignalBlocker block(m_upDown);
    m_upDown->setValue(page);
    m_pageEdit->setText(QString::number(page));
    applyFit();
}

void PageZoomControls::goToPage(const QString &text)
{
    if (!m_view->hasImage())
        return;
    const int page = pageFromText(text, m_view->pageCount());
    m_pageEdit->setText(QString::number(page));
    showPage(page);
}

} // namespace tav::capture
