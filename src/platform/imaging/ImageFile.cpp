#include "platform/imaging/ImageFile.h"

#include "platform/imaging/BmpPages.h"
#include "platform/imaging/SiblingTemp.h"
#include "platform/imaging/TiffIo.h"

#include <QFile>
#include <QFileInfo>

namespace tav::imaging {

using detail::setError;

namespace {

// BMP files are read whole; no BMP we accept is larger than a page at the pixel limit.
constexpr qint64 kMaxBmpBytes = kMaxPixels * 4 + 4096;

bool readHead(const QString &path, QByteArray &head, QString *error)
{
    QFile f(path);
    if (!f.exists()) {
        setError(error, QStringLiteral("No existe el archivo «%1»").arg(path));
        return false;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("No se puede abrir «%1»: %2").arg(path, f.errorString()));
        return false;
    }
    head = f.read(8);
    return true;
}

bool readWhole(const QString &path, QByteArray &data, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("No se puede abrir «%1»: %2").arg(path, f.errorString()));
        return false;
    }
    if (f.size() > kMaxBmpBytes) {
        setError(error, QStringLiteral("El archivo «%1» es demasiado grande").arg(path));
        return false;
    }
    data = f.readAll();
    return true;
}

QString unknownFormat(const QString &name)
{
    return QStringLiteral("«%1» no es una imagen TIFF ni BMP").arg(name);
}

bool tiffProperties(detail::TiffHandle &h, int page, ImageProperties &out, QString *error)
{
    const int count = h.directoryCount();
    if (!h.setPage(page, error))
        return false;
    if (!detail::readTiffProperties(h, out, error))
        return false;
    out.pageCount = count;
    return true;
}

bool tiffDecode(detail::TiffHandle &h, int page, Page &out, QString *error)
{
    return h.setPage(page, error) && detail::decodeTiffPage(h, out, error);
}

bool bmpPageOnly(int page, QString *error)
{
    if (page != 1) {
        setError(error, QStringLiteral("Una imagen BMP tiene una sola página"));
        return false;
    }
    return true;
}

} // namespace

int ImageFile::detectFileType(const QByteArray &head)
{
    if (head.size() >= 4 && ((head.startsWith("II") && head[2] == 42 && head[3] == 0) ||
                             (head.startsWith("MM") && head[2] == 0 && head[3] == 42) ||
                             (head.startsWith("II") && head[2] == 43 && head[3] == 0) ||
                             (head.startsWith("MM") && head[2] == 0 && head[3] == 43)))
        return FileType::Tiff;
    if (head.size() >= 2 && head.startsWith("BM"))
        return FileType::Bmp;
    return FileType::Unknown;
}

namespace {

// Opens a file or an in-memory image by its kind and hands it to the TIFF or the BMP reader.
template <typename TiffOp, typename BmpOp>
bool withImageFile(const QString &path, int page, QString *error, TiffOp tiffOp, BmpOp bmpOp)
{
    QByteArray head;
    if (!readHead(path, head, error))
        return false;
    switch (ImageFile::detectFileType(head)) {
    case FileType::Tiff: {
        detail::TiffHandle h;
        if (!h.openRead(path)) {
            setError(error, QStringLiteral("No se puede leer la imagen TIFF «%1» (%2)").arg(path, h.lastError()));
            return false;
        }
        return tiffOp(h);
    }
    case FileType::Bmp: {
        QByteArray data;
        return bmpPageOnly(page, error) && readWhole(path, data, error) && bmpOp(data);
    }
    default:
        setError(error, unknownFormat(path));
        return false;
    }
}

template <typename TiffOp, typename BmpOp>
bool withImageData(const QByteArray &data, int page, QString *error, TiffOp tiffOp, BmpOp bmpOp)
{
    switch (ImageFile::detectFileType(data.left(8))) {
    case FileType::Tiff: {
        detail::TiffHandle h;
        if (!h.openReadMemory(data)) {
            setError(error, QStringLiteral("No se puede leer la imagen TIFF (%1)").arg(h.lastError()));
            return false;
        }
        return tiffOp(h);
    }
    case FileType::Bmp:
        return bmpPageOnly(page, error) && bmpOp(data);
    default:
        setError(error, unknownFormat(QStringLiteral("los datos")));
        return false;
    }
}

} // namespace

bool ImageFile::readProperties(const QString &path, ImageProperties &out, QString *error, int page)
{
    out = {};
    return withImageFile(
        path, page, error, [&](detail::TiffHandle &h) { return tiffProperties(h, page, out, error); },
        [&](const QByteArray &data) { return detail::readBmpProperties(data, out, error); });
}

bool ImageFile::readPropertiesFromData(const QByteArray &data, ImageProperties &out, QString *error, int page)
{
    out = {};
    return withImageData(
        data, page, error, [&](detail::TiffHandle &h) { return tiffProperties(h, page, out, error); },
        [&](const QByteArray &bytes) { return detail::readBmpProperties(bytes, out, error); });
}

bool ImageFile::loadPage(const QString &path, Page &out, QString *error, int page)
{
    out = {};
    return withImageFile(
        path, page, error, [&](detail::TiffHandle &h) { return tiffDecode(h, page, out, error); },
        [&](const QByteArray &data) { return detail::decodeBmp(data, out, error); });
}

bool ImageFile::loadPageFromData(const QByteArray &data, Page &out, QString *error, int page)
{
    out = {};
    return withImageData(
        data, page, error, [&](detail::TiffHandle &h) { return tiffDecode(h, page, out, error); },
        [&](const QByteArray &bytes) { return detail::decodeBmp(bytes, out, error); });
}

bool ImageFile::save(const Page &page, const QString &path, const Encoding &encoding, QString *error)
{
    detail::SiblingTemp temp(path);
    if (!temp.isValid()) {
        setError(error, temp.errorString());
        return false;
    }
    if (encoding.fileType == FileType::Tiff) {
        detail::TiffHandle h;
        if (!h.openWrite(temp.path())) {
            setError(error, QStringLiteral("No se puede escribir «%1» (%2)").arg(path, h.lastError()));
            return false;
        }
        if (!detail::writeTiffPage(h, page, encoding, 0, 1, error))
            return false;
        if (!h.close()) {
            setError(error, QStringLiteral("No se puede escribir «%1» (%2)").arg(path, h.lastError()));
            return false;
        }
    } else if (encoding.fileType == FileType::Bmp) {
        if (encoding.compressionType != CompressionType::None) {
            setError(error, QStringLiteral("Las imágenes BMP se guardan sin compresión"));
            return false;
        }
        if (!detail::writeBmp(page, temp.path(), encoding.pageType, error))
            return false;
    } else {
        setError(error, QStringLiteral("Tipo de archivo %1 no admitido").arg(encoding.fileType));
        return false;
    }
    if (!temp.commit()) {
        setError(error, temp.errorString());
        return false;
    }
    return true;
}

QImage ImageFile::render(const QString &path, int page, QString *error)
{
    Page p;
    if (!loadPage(path, p, error, page))
        return {};
    return p.image;
}

} // namespace tav::imaging
