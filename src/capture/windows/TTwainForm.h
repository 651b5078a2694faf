#pragma once

#include "capture/ScanProcedure.h"
#include "capture/ScanProfile.h"

#include <QDialog>

#include <atomic>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

class TTwainCaps;

// "Configurar Scanner": the settings of a scanner profile, the choice of the scanner and the acquisition the card
// and document windows run. Created once at start: it names the application in "ilTwain.ini" and reads
// "ImageLib.INI"; it writes "ImageLib.INI" (with the chosen scanner) when destroyed.
class TTwainForm : public QDialog
{
    Q_OBJECT
public:
    TTwainForm(const QString &programDir, ui::Ui &ui, QWidget *parent = nullptr);
    ~TTwainForm() override;

    ScanProfile profile() const;
    void setProfile(const ScanProfile &profile);
    // Reads a profile file of the program directory (a bare name) or any path; missing keys take the defaults.
    // What the person then chooses in the scanner's options dialog is written back to that profile.
    void loadProfile(const QString &name);
    bool saveProfile(const QString &name);
    // "Configurar scanner" of the capture windows: the profile's settings shown, changed, saved back.
    void configure(const QString &profileName);

    // The chosen scanner; empty means the first one found.
    const QString &deviceName() const { return m_device; }
    void setDeviceName(const QString &name);
    // "Elegir Scanner": the SANE devices found; false with a message when there are none.
    bool listDevices(QStringList &names);

    int pageCount() const;
    void setPageCount(int count);
    bool deskew() const;
    void setDeskew(bool on);

    // One acquisition with the current settings; the pages land in OUT.BMP and OUT.TIF of the station's scratch
    // folder (scratchDir()). The scanner is read on a worker thread while this thread keeps running the event
    // loop, so windows paint and the person can cancel (cancelScan()); scanProgress() tells how far it got.
    // Returns when the acquisition has ended. Errors are shown; the result tells what happened.
    ScanResult acquire(bool showInterface);
    bool isScanning() const { return m_scanning; }
    // Stops the running acquisition at the next block the scanner sends.
    void cancelScan() { m_cancel = true; }

    QString profilePath(const QString &name) const;
    // Where scanned pages are written: this station's scratch folder of the program directory.
    const QString &scratchDir() const { return m_scratch; }

    QSpinBox *dpiBox() const { return m_dpi; }
    QComboBox *imageTypeBox() const { return m_imageType; }
    QComboBox *interfaceBox() const { return m_interface; }
    QPushButton *chooseButton() const { return m_choose; }
    QPushButton *capsButton() const { return m_caps; }
    QLabel *statusLabel() const { return m_status; }

signals:
    // Page being scanned (1-based) and how much of it has arrived (0..100, -1 when the length is unknown).
    void scanProgress(int page, int percent);

private:
    void setBusy(bool busy);
    void chooseScanner();
    void showCaps();

    QString m_dir;
    QString m_scratch;
    ui::Ui &m_ui;
    QString m_device;
    QString m_profileName;
    bool m_scanning = false;
    std::atomic_bool m_cancel{false};
    QSpinBox *m_dpi, *m_left, *m_right, *m_top, *m_bottom, *m_brightness, *m_contrast, *m_rotation, *m_pages;
    QComboBox *m_imageType, *m_interface;
    QCheckBox *m_deskew;
    QPushButton *m_choose, *m_caps, *m_exit;
    QLabel *m_status, *m_deviceLabel;
};

} // namespace tav::capture
