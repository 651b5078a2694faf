#pragma once

#include "capture/ScanProcedure.h"
#include "capture/windows/PageZoomControls.h"

#include <QDialog>

#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenuBar;
class QPrinter;
class QPushButton;
class QSpinBox;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

class ScanStatusBar;
class TTwainForm;

// "Digitalización de la documentación": builds and edits the multi-page document of a request page by page.
// The viewer shows a copy of the document ("scan<N>.tif"); every change goes to that copy and lands in the
// document file when the window closes.
//
// Caller: setDocumentFile(scratch) after deleting it and copying the stored document into it, note its
// modification time, exec(); afterwards the document changed when the file exists and is newer. A document
// closed without changes is not written again, so its modification time stays.
class TFImgDig : public QDialog
{
    Q_OBJECT
public:
    TFImgDig(const QString &programDir, ui::Ui &ui, TTwainForm &twain, QWidget *parent = nullptr);
    ~TFImgDig() override;

    // A bare name lies in the program directory.
    void setDocumentFile(const QString &file);
    const QString &documentFile() const { return m_documentFile; }
    const QString &viewFile() const { return m_viewFile; }
    bool isUnchanged() const { return m_unchanged; }
    bool hasDocument() const { return m_view->hasImage(); }
    int pageCount() const;
    int currentPage() const;
    const QString &scanMode() const { return m_scanMode; }

    enum class ScanCommand { Rescan, Insert, Add };
    // One scanning command; ignored while another one runs.
    void scanCommand(ScanCommand command);
    void deletePage();
    void rotate(int degrees);
    // "Cargar Imagen...": the chosen TIFF replaces the document.
    bool loadFile(const QString &file);
    void loadFromDialog();
    // Every page, each fitted to the printed page.
    int print(QPrinter &printer);
    // The page edit's text: not a number gives 1, out of range is brought into it.
    void goToPage(const QString &text) { m_controls->goToPage(text); }

    using FitMode = ImageView::Fit;
    void setFitMode(FitMode mode) { m_controls->setFitMode(mode); }
    void grabar();
    void cerrar();

    void setFileChooser(std::function<QString()> chooser) { m_chooser = std::move(chooser); }

    ImageView *viewer() const { return m_view; }
    QLineEdit *pageEdit() const { return m_controls->pageEdit(); }
    QSpinBox *zoomBox() const { return m_controls->zoomBox(); }
    QPushButton *addButton() const { return m_add; }
    QPushButton *insertButton() const { return m_insert; }
    QPushButton *rescanButton() const { return m_rescan; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *grabarButton() const { return m_grabar; }
    QPushButton *cerrarButton() const { return m_cerrar; }
    ScanStatusBar *statusBar() const { return m_status; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    QString file(const QString &name) const;
    void showDocument(const QString &file);
    void updateCaption();
    bool pageOperation(ScanCommand command, QString *error);
    void printFromDialog();
    void setScanning(bool scanning);
    // What the scanner could not do as asked, each text once while the window is shown.
    void showNotes(const QStringList &notes);

    QString m_dir;
    QString m_scratch; // the station's scratch folder: scan<N>.tif, temp<N>, OUT.BMP, OUT.TIF
    ui::Ui &m_ui;
    TTwainForm &m_twain;
    QString m_documentFile;
    QString m_viewFile;
    int m_viewCounter = 0;
    int m_tempCounter = 0;
    QString m_scanMode;
    bool m_unchanged = true;
    ScanNotes m_notes;
    std::function<QString()> m_chooser;

    ImageView *m_view;
    PageZoomControls *m_controls;
    QCheckBox *m_showInterface;
    QPushButton *m_rescan, *m_insert, *m_add, *m_delete, *m_fitWidth, *m_fitHeight, *m_config, *m_grabar, *m_cerrar;
    QAction *m_interfaceAction;
    ScanStatusBar *m_status;
    QMenuBar *m_menus = nullptr;
};

} // namespace tav::capture
