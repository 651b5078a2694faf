#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace tav::imaging {

// Reading and writing of single image pages in TIFF (one or many pages) and BMP files. Every operation returns
// false with a Spanish error text on failure; damaged or hostile files give an error, never a crash.
class ImageFile
{
public:
    // TIFF or BMP from the first bytes of a file; FileType::Unknown otherwise.
    static int detectFileType(const QByteArray &head);

    // Properties of page `page` (1-based) as stored.
    static bool readProperties(const QString &path, ImageProperties &out, QString *error = nullptr, int page = 1);
    static bool readPropertiesFromData(const QByteArray &data, ImageProperties &out, QString *error = nullptr,
                                       int page = 1);

    // Decodes page `page` (1-based).
    static bool loadPage(const QString &path, Page &out, QString *error = nullptr, int page = 1);
    static bool loadPageFromData(const QByteArray &data, Page &out, QString *error = nullptr, int page = 1);

    // Writes `page` as a one-page file with the given encoding, replacing `path` in one step (a failure leaves
    // any previous file whole). Supported: TIFF grey JPEG (compression information 512/1024/2048), grey or
    // colour uncompressed, 1-bit Group 4 or uncompressed, 8-bit palette uncompressed; BMP 8-bit grey and 1-bit.
    static bool save(const Page &page, const QString &path, const Encoding &encoding, QString *error = nullptr);

    // The page ready to be painted on screen or paper (null image with an error on failure).
    static QImage render(const QString &path, int page = 1, QString *error = nullptr);
};

} // namespace tav::imaging
