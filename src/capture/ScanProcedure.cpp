#include "capture/ScanProcedure.h"

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/PageTransform.h"
#include "platform/os/NoCasePath.h"
#include "platform/scanner/SaneScanner.h"
#include "platform/scanner/ScanSettings.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <filesystem>

namespace tav::capture {

using namespace tav::imaging;

namespace {

// A file of the program directory, in whatever case it already exists.
QString programFile(const QString &dir, const char *name)
{
    const std::filesystem::path p = std::filesystem::path(QFile::encodeName(dir).toStdString()) / name;
    return QFile::decodeName(QByteArray::fromStdString(os::resolveNoCase(p).string()));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Marks a page in progress for the whole per-page procedure.
struct InProgress
{
    explicit InProgress(bool &flag) : m_flag(flag) { m_flag = true; }
    ~InProgress() { m_flag = false; }
    InProgress(const InProgress &) = delete;
    InProgress &operator=(const InProgress &) = delete;
    bool &m_flag;
};

} // namespace

void ScanProcedure::status(const QString &text)
{
    if (m_status)
        m_status(text);
}

Encoding ScanProcedure::bmpEncoding(int depth)
{
    // OUT.BMP is the copy shown on screen; the BMP codec writes grey and black and white only, so colour pages
    // are shown in grey (every later use of a scanned page is grey or black and white anyway).
    return depth == 1 ? Encoding::bmpBlackWhite() : Encoding::bmpGray();
}

Encoding ScanProcedure::tiffEncoding(int depth)
{
    switch (depth) {
    case 1:
        return Encoding::tiffGroup4();
    case 24:
        return {FileType::Tiff, PageType::Rgb24, CompressionType::None, CompressionInfo::None};
    default:
        return {FileType::Tiff, PageType::Gray8, CompressionType::None, CompressionInfo::None};
    }
}

bool ScanProcedure::processPage(const Page &scanned, const ScanRequest &request, QString *error)
{
    InProgress guard(m_pageInProgress);
    const int depth = request.profile.writeDepth(request.displayDepth);
    Page page = scanned;
    if (request.deskew) {
        status(QStringLiteral("DESKEWING"));
        const auto result = PageTransform::deskew(page);
        page = result.page;
        status(QStringLiteral("Skew value (in degree) is ") + QString::asprintf("%8.2f", result.skew));
    }
    if (request.profile.rotation != 0)
        page = PageTransform::rotate(page, request.profile.rotation);

    const QString bmpPath = programFile(request.programDir, "OUT.BMP");
    const QString tifPath = programFile(request.programDir, "OUT.TIF");
    Encoding tiff = tiffEncoding(depth);
    const bool colour =
        request.profile.imageType == ImageType::Color8 || request.profile.imageType == ImageType::Color24;
    if (colour && depth < 24) // an 8-bit (or 4-bit) colour page is kept with a palette
        tiff = {FileType::Tiff, PageType::Palette8, CompressionType::None, CompressionInfo::None};
    QString why;
    if (!ImageFile::save(page, bmpPath, bmpEncoding(depth), &why)) {
        QFile::remove(tifPath);
        setError(error, QStringLiteral("No se puede escribir OUT.BMP: ") + why);
        return false;
    }
    if (!ImageFile::save(page, tifPath, tiff, &why)) {
        QFile::remove(tifPath);
        setError(error, QStringLiteral("No se puede escribir OUT.TIF: ") + why);
        return false;
    }
    return true;
}

ScanResult ScanProcedure::acquire(const ScanRequest &original)
{
    ScanResult result;
    ScanRequest request = original;
    QFile::remove(programFile(request.programDir, "TEMP.TIF"));

    scanner::SaneScanner device;
    if (!device.open(request.deviceName, &result.error))
        return result;
    if (!scanner::applyScanSettings(device, request.profile.scanSettings(), &result.notes, &result.error))
        return result;
    if (request.showInterface || request.profile.showsInterface()) {
        if (m_interface) {
            ScanProfile chosen = request.profile;
            if (!m_interface->edit(device, chosen)) {
                result.cancelled = true;
                result.error = QStringLiteral("Digitalización cancelada");
                return result;
            }
            // The pages are written as the person chose (a colour or black-and-white mode picked there).
            request.profile = chosen;
            result.chosenProfile = chosen;
        } else {
            result.notes.append(QStringLiteral("No hay ventana de opciones del escáner: se digitaliza sin mostrarla"));
        }
    }

    const int pages = std::clamp(request.pageCount, 1, 999999);
    for (int i = 0; i < pages; ++i) {
        Page page;
        QString error;
        scanner::SaneScanner::Progress progress;
        if (m_progress) {
            progress = [this, i](qint64 done, qint64 expected) {
                const int percent = expected > 0 ? int(std::min<qint64>(100, done * 100 / expected)) : -1;
                return m_progress(i + 1, percent);
            };
            if (!m_progress(i + 1, 0)) {
                result.cancelled = true;
                result.error = QStringLiteral("Digitalización cancelada");
                result.ok = result.pages > 0;
                return result;
            }
        }
        const auto status = device.scanPage(page, &error, progress);
        if (status == scanner::SaneScanner::PageStatus::NoMoreDocuments) {
            if (result.pages == 0) {
                result.error = QStringLiteral("No hay hojas en el alimentador del escáner");
                return result;
            }
            break;
        }
        if (status == scanner::SaneScanner::PageStatus::Cancelled) {
            result.cancelled = true;
            result.error = QStringLiteral("Digitalización cancelada");
            result.ok = result.pages > 0;
            return result;
        }
        if (status != scanner::SaneScanner::PageStatus::Ok) {
            result.error = error;
            return result;
        }
        if (!processPage(page, request, &result.error))
            return result;
        ++result.pages;
    }
    device.cancel();
    result.ok = true;
    return result;
}

QString ScanNotes::take(const QStringList &notes)
{
    QStringList fresh;
    for (const QString &note : notes)
        if (!m_shown.contains(note) && !fresh.contains(note))
            fresh << note;
    if (fresh.isEmpty())
        return {};
    m_shown += fresh;
    return QStringLiteral("El scanner no pudo hacer todo lo pedido:\r") + fresh.join(u'\r');
}

} // namespace tav::capture
