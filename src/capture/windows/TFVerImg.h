#pragma once

#include "capture/windows/TFImgPrn.h"

#include <QDialog>

class QAction;
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
    void goToPage(const QString &text);
    enum class FitMode { Window, Width, Height, Free };
    void setFitMode(FitMode mode);
    int print(QPrinter &printer);

    ImageView *viewer() const { return m_view; }
    QLineEdit *pageEdit() const { return m_pageEdit; }
    QSpinBox *zoomBox() const { return m_zoom; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyFit();
    void showPage(int page);

    ui::Ui &m_ui;
    QString m_file;
    FitMode m_fit = FitMode::Width;
    ImageView *m_view;
    QLineEdit *m_pageEdit;
    QSpinBox *m_upDown;
    QSpinBox *m_zoom;
    QPushButton *m_exit;
    QAction *m_fitWindowAction, *m_fitWidthAction, *m_fitHeightAction, *m_freeAction;
};

} // namespace tav::capture
