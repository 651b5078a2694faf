#pragma once

#include "capture/ScanProcedure.h"
#include "capture/windows/TFImgPrn.h"

#include <QDialog>
#include <QLineEdit>

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
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

// The classification edit: five characters in overwrite mode, each checked for its position; Backspace and
// Delete do nothing, so the text never shrinks by typing. Pasted text goes through the same rule character by
// character, cut only copies, and no other key, menu or drop changes the text. A text set from outside is shown
// as given.
class TClasFundEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TClasFundEdit(QWidget *parent = nullptr);

    // Types the clipboard's text at the caret through the character rule.
    void pasteByRule();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void typeText(const QString &typed);
};

// "Digitalización de la ficha dactiloscópica": scans or loads the fingerprint card, shows and prints it, edits the
// two classifications and, on Grabar, hands the caller the accepted image.
//
// Caller: prepare(locked, clasDer, clasIzq); when the request has a stored card, copy it to a numbered scratch file
// of the program directory and loadImage(that file, false); exec(); then copy resultFile() to edit.tif only when
// it exists and isModified(), and write clasDer()/clasIzq() back when they differ.
class TFDigFich : public QDialog
{
    Q_OBJECT
public:
    TFDigFich(const QString &programDir, ui::Ui &ui, TTwainForm &twain, QWidget *parent = nullptr);

    void prepare(bool locked, const QString &clasDer, const QString &clasIzq);
    const QString &resultFile() const { return m_resultFile; }
    bool isModified() const { return m_modified; }
    bool isLocked() const { return m_locked; }
    const QString &clasDer() const { return m_clasDer; }
    const QString &clasIzq() const { return m_clasIzq; }
    int saveCounter() const { return m_saveCounter; }

    // Scans a card (the Shift+Ctrl sample shortcut is read from the keyboard).
    void scan();
    void scanWith(bool sample);
    // Loads an image file: chosen by the person (fromUser: refused while locked; fromMenu picks the message) or the
    // request's stored card (not a modification).
    bool loadImage(const QString &file, bool fromUser, bool fromMenu = false);
    // "Cargar imagen...": asks for the file (through the chooser when one is set) and loads it.
    void loadFromDialog(bool fromMenu);
    // "Grabar": converts the image to the stored encoding, sets resultFile and closes.
    void grabar();
    // The image as printed by "Imprimir" (false when there is nothing to print).
    bool print(QPrinter &printer);

    // Where the sample shortcut reads "ficha.tif" and "ficha.bmp"; by default the key "Muestras" of section
    // "Config" in Huella.INI, else the program directory.
    QString sampleDir() const;
    // Replaces the open dialog (tests, or a caller with its own chooser); returns the chosen path or empty.
    void setFileChooser(std::function<QString()> chooser) { m_chooser = std::move(chooser); }

    enum class FitMode { Width, Height, Free };
    void setFitMode(FitMode mode);
    void applyFit();

    bool isImageEnabled() const { return m_enabledState; }
    bool isScanning() const { return m_scanning; }
    ImageView *viewer() const { return m_view; }
    QSpinBox *zoomBox() const { return m_zoom; }
    QPushButton *scanButton() const { return m_scanButton; }
    QPushButton *loadButton() const { return m_loadButton; }
    QPushButton *grabarButton() const { return m_grabar; }
    QPushButton *printButton() const { return m_print; }
    QCheckBox *showInterfaceBox() const { return m_showInterface; }
    TClasFundEdit *clasDerEdit() const { return m_derEdit; }
    TClasFundEdit *clasIzqEdit() const { return m_izqEdit; }
    ScanStatusBar *statusBar() const { return m_status; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString file(const QString &name) const;
    void setEnabledState(bool enabled);
    void setScanning(bool scanning);
    // What the scanner could not do as asked, each text once while the window is shown.
    void showNotes(const QStringList &notes);
    void updateGrabar();
    void showStatus(const QString &text);
    bool convertCard(const QString &tif, const QString &bmp, QString *error);
    void printFromDialog();
    void removeScratch();

    QString m_dir;
    QString m_scratch; // the station's scratch folder: out.tif, out.bmp, huella<N>.TIF/.BMP
    ui::Ui &m_ui;
    TTwainForm &m_twain;
    int m_saveCounter = 0;
    QString m_resultFile;
    bool m_modified = false;
    bool m_locked = false;
    QString m_clasDer = QStringLiteral("_____");
    QString m_clasIzq = QStringLiteral("_____");
    bool m_enabledState = false;
    bool m_scanning = false;
    ScanNotes m_notes;
    FitMode m_fit = FitMode::Width;
    std::function<QString()> m_chooser;

    ImageView *m_view;
    QSpinBox *m_zoom;
    QPushButton *m_scanButton, *m_loadButton, *m_grabar, *m_fitWidth, *m_fitHeight, *m_print, *m_config;
    QPushButton *m_derErase, *m_izqErase;
    QCheckBox *m_showInterface;
    TClasFundEdit *m_derEdit, *m_izqEdit;
    QAction *m_fitWidthAction, *m_fitHeightAction, *m_freeAction, *m_interfaceAction;
    QMenuBar *m_menus = nullptr;
    ScanStatusBar *m_status;
};

} // namespace tav::capture
