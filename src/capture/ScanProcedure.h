#pragma once

#include "capture/ScanProfile.h"
#include "platform/imaging/ImageCodes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tav::scanner {
class SaneScanner;
}

namespace tav::capture {

// The dialog of the device's own options ("show the source's interface"), shown before scanning. The window layer
// provides it.
class ScannerInterface
{
public:
    virtual ~ScannerInterface() = default;
    // Lets the user see and change the device's options; false cancels the acquisition. `profile` holds the
    // settings the scan was started with and receives what the person chose, so it can be kept.
    virtual bool edit(scanner::SaneScanner &scanner, ScanProfile &profile) = 0;
};

struct ScanRequest
{
    ScanProfile profile;
    QString programDir;         // where OUT.BMP and OUT.TIF are written (the station's scratch folder)
    QString deviceName;         // empty: the first device found
    int pageCount = 1;          // 1..999999; a feeder run also stops when the feeder is empty
    bool deskew = false;        // "Auto rotación (Deskew)"
    bool showInterface = false; // the calling window's "show the scanner's interface" box
    int displayDepth = 24;      // bits a pixel of the screen, for 24-bit colour profiles
};

struct ScanResult
{
    bool ok = false;
    bool cancelled = false;
    int pages = 0;     // pages written
    QString error;     // Spanish, for the user
    QStringList notes; // what the device could not do as asked
    // The settings chosen in the device's options dialog, when it was shown and accepted.
    std::optional<ScanProfile> chosenProfile;
};

// What the device could not do as asked, said once per opening of a capture window: a note already shown is not
// repeated until the window opens again.
class ScanNotes
{
public:
    void clear() { m_shown.clear(); }
    // The message for the notes not shown yet; empty when every note was shown already.
    QString take(const QStringList &notes);

private:
    QStringList m_shown;
};

// One acquisition with a scanner profile and the per-page procedure that writes each page to OUT.BMP and OUT.TIF
// in the program directory (a later page of the same run overwrites the earlier one).
class ScanProcedure
{
public:
    explicit ScanProcedure(ScannerInterface *interface = nullptr) : m_interface(interface) {}

    // Status texts while pages are processed ("DESKEWING", "Skew value (in degree) is ...").
    void setStatusHandler(std::function<void(const QString &)> handler) { m_status = std::move(handler); }
    // Told the page being scanned (1-based) and how much of it has arrived (0..100, -1 when the device does not
    // say how long the page is); false cancels the scan.
    // Both handlers run on the thread that runs acquire().
    void setProgressHandler(std::function<bool(int page, int percent)> handler) { m_progress = std::move(handler); }

    ScanResult acquire(const ScanRequest &request);

    // The per-page procedure: deskew when asked, the profile's fixed rotation, then OUT.BMP and OUT.TIF at the
    // profile's depth. A failed write leaves no OUT.TIF.
    bool processPage(const imaging::Page &page, const ScanRequest &request, QString *error = nullptr);

    bool pageInProgress() const { return m_pageInProgress; }

    // The encodings of the two files the per-page procedure writes for a depth.
    static imaging::Encoding bmpEncoding(int depth);
    static imaging::Encoding tiffEncoding(int depth);

private:
    void status(const QString &text);

    ScannerInterface *m_interface = nullptr;
    std::function<void(const QString &)> m_status;
    std::function<bool(int, int)> m_progress;
    bool m_pageInProgress = false;
};

} // namespace tav::capture
