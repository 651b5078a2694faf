#pragma once

#include "capture/windows/TFImgPrn.h"

#include <QObject>

#include <array>

class QAction;
class QLineEdit;
class QMenu;
class QSpinBox;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

// The page and zoom controls the image windows share, working on one ImageView: the page edit with its
// up/down arrows, the zoom box ("Factor de Zoom", 2-200 %) and the four fit choices of the "Ver" menu.
// The window places the widgets in its own layout.
class PageZoomControls : public QObject
{
    Q_OBJECT
public:
    PageZoomControls(ImageView *view, ui::Ui &ui, QObject *parent);

    QLineEdit *pageEdit() const { return m_pageEdit; }
    QSpinBox *upDown() const { return m_upDown; }
    QSpinBox *zoomBox() const { return m_zoom; }
    // "Ajustar a la ventana", "Ajustar al ancho", "Ajustar al alto", "Tamaño libre": one of them checked.
    void addFitActions(QMenu *menu);

    ImageView::Fit fitMode() const { return m_fit; }
    void setFitMode(ImageView::Fit mode);
    // Fits the shown page again (after a resize or another page) and shows the zoom that results.
    void applyFit();
    // The view got a new image: the arrows run over its pages and page 1 is shown.
    void imageLoaded();
    // Shows another page of the view's image; a page that cannot be read gives its error message.
    void showPage(int page);
    // The page edit's text: not a number gives 1, out of range is brought into it.
    void goToPage(const QString &text);

private:
    ImageView *m_view;
    ui::Ui &m_ui;
    QLineEdit *m_pageEdit;
    QSpinBox *m_upDown;
    QSpinBox *m_zoom;
    ImageView::Fit m_fit = ImageView::Fit::Width;
    std::array<QAction *, 4> m_fitActions{}; // in the order of ImageView::Fit
};

} // namespace tav::capture
