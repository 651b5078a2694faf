#pragma once

#include "official/CaptureServices.h"

#include <QString>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::official {

// The image commands both request windows share. Each works on a scratch copy numbered by the window's
// counter ("N.tif" in the station's scratch folder, so stations sharing the program directory never use the
// same name), opens its capture window or viewer, and deletes the copies when it ends. A card or document
// that comes back changed puts the request in edit and becomes the file its next save stores ("edit.tif",
// "docu.tif" in the program directory).
class RequestCaptures
{
public:
    RequestCaptures(store::Tdm &dm, CaptureServices &services) : m_dm(dm), m_services(services) {}

    int counter() const { return m_counter; }
    static QString scratchName(int n) { return QString::number(n) + QStringLiteral(".tif"); }
    QString scratchPath(int n) const;

    // The card window on `request`'s card (`cardFile`, a name in the program directory), locked when the
    // request may no longer change.
    void captureCard(store::Dataset &request, const QString &cardFile, bool locked);
    // The documentation window on `request`'s documents (`documentFile`). A document that comes back with
    // the bytes it went in with is unchanged, whatever its time says.
    void captureDocuments(store::Dataset &request, const QString &documentFile);
    // The answer viewer on a copy of `file` (full path), or of `bytes` when no file is given.
    void showImage(const QString &file, const QByteArray &bytes = {});

private:
    void copyFile(const QString &from, const QString &to) const;
    void deleteScratch(int n) const;

    store::Tdm &m_dm;
    CaptureServices &m_services;
    int m_counter = 0;
};

} // namespace tav::official
