#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QString>

namespace tav::imaging {

// Page operations on a multi-page TIFF document. Pages that are not touched are copied as they are stored (no
// decoding, so each keeps its encoding and loses nothing); the document is rebuilt beside the original and
// replaces it in one step, so a failure leaves the old document whole. Page numbers are 1-based.
class TiffDocument
{
public:
    // Number of pages, or -1 with an error.
    static int pageCount(const QString &path, QString *error = nullptr);

    // Saves `page` as page `number`, replacing that page and keeping the others; `number` = page count + 1
    // appends. When the file does not exist the page becomes a one-page document (number must be 1).
    static bool replacePage(const QString &path, int number, const Page &page, const Encoding &encoding,
                            QString *error = nullptr);
    // Inserts `page` so that it becomes page `number` (1..count+1); a missing file is created with number 1.
    static bool insertPage(const QString &path, int number, const Page &page, const Encoding &encoding,
                           QString *error = nullptr);
    static bool appendPage(const QString &path, const Page &page, const Encoding &encoding, QString *error = nullptr);
    // Inserts page `sourcePage` of another image file as page `number`; TIFF pages are copied as stored.
    static bool insertPageFrom(const QString &path, int number, const QString &sourcePath, int sourcePage = 1,
                               QString *error = nullptr);
    static bool appendPageFrom(const QString &path, const QString &sourcePath, int sourcePage = 1,
                               QString *error = nullptr);
    // Deletes page `number`; the only page of a document is never deleted (a document cannot be empty).
    static bool deletePage(const QString &path, int number, QString *error = nullptr);
    // Rotates page `number` by a multiple of 90 degrees (positive: clockwise), keeping its encoding.
    static bool rotatePage(const QString &path, int number, int degrees, QString *error = nullptr);
    // Mirrors page `number` left to right, keeping its encoding.
    static bool mirrorPage(const QString &path, int number, QString *error = nullptr);

    // The encoding a page with these properties is rewritten with: its own when we can write it, otherwise the
    // nearest lossless or document encoding (1-bit: Group 4; grey JPEG of another preset: medium JPEG).
    static Encoding rewriteEncoding(const ImageProperties &properties);
};

} // namespace tav::imaging
