#pragma once

#include "capture/windows/PageZoomControls.h"

#include <QDialog>

class QLineEdit;
class QPrinter;
class QPushButton;
class QSpinBox;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

// "Visualización de Imagenes": a read-only viewer of a multi-page TIFF (the central registry's answer image).
// Caller: setImageFile(path); exec().
class TFVerImg : public QDialog
{
    Q_OBJECT
public:
    explicit TFVerImg(ui::Ui &ui, QWidget *parent = nullptr);

    void setImageFile(const QString &file) { m_file = file; }
    const QString &imageFile() const { return m_file; }
    // Loads the file when the viewer does not show it yet (done on show).
    bool load();
    void goToPage(const QString &text) { m_controls->goToPage(text); }
    using FitMode = ImageView::Fit;
    void setFitMode(FitMode mode) { m_controls->setFitMode(mode); }
    int print(QPrinter &printer);

    ImageView *viewer() const { return m_view; }
    QLineEdit *pageEdit() const { return m_controls->pageEdit(); }
    QSpinBox *zoomBox() const { return m_controls->zoomBox(); }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    ui::Ui &m_ui;
    QString m_file;
    ImageView *m_view;
    PageZoomControls *m_controls;
    QPushButton *m_exit;
};

} // namespace tav::capture
