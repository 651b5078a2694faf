#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QByteArray>
#include <QString>

#include <memory>

typedef struct tiff TIFF;

namespace tav::imaging::detail {

// An open libtiff handle that collects libtiff's error texts instead of printing them, and refuses single
// allocations larger than a sane page needs.
class TiffHandle
{
public:
    TiffHandle();
    ~TiffHandle();
    TiffHandle(const TiffHandle &) = delete;
    TiffHandle &operator=(const TiffHandle &) = delete;

    bool openRead(const QString &path);
    // Reads from memory the caller keeps alive while the handle is open.
    bool openReadMemory(const QByteArray &data);
    bool openWrite(const QString &path);
    bool close();

    TIFF *tiff() const { return m_tiff; }
    qint64 sourceSize() const { return m_sourceSize; }
    // Number of pages; `damaged` tells that libtiff met a broken directory chain while counting (the count then
    // covers only the pages before the damage).
    int directoryCount(bool *damaged = nullptr);
    bool setPage(int page, QString *error); // 1-based

    // libtiff's last error text, or empty.
    QString lastError() const;

    struct State;

private:
    TIFF *m_tiff = nullptr;
    qint64 m_sourceSize = 0;
    std::unique_ptr<State> m_state;
};

// Properties of the current directory. False with an error when the page is unusable.
bool readTiffProperties(TiffHandle &h, ImageProperties &out, QString *error);
// Decodes the current directory.
bool decodeTiffPage(TiffHandle &h, Page &out, QString *error);
// Appends one page encoded as asked.
bool writeTiffPage(TiffHandle &out, const Page &page, const Encoding &encoding, int pageIndex, int pageTotal,
                   QString *error);
// Appends the current directory of `in` to `out` without decoding it, so its encoding stays as it was. False
// (with `unsupported` set) when the page's layout cannot be copied that way; the caller then re-encodes it.
bool copyTiffPageRaw(TiffHandle &in, TiffHandle &out, int pageIndex, int pageTotal, bool &unsupported, QString *error);

void setError(QString *error, const QString &text);

} // namespace tav::imaging::detail
