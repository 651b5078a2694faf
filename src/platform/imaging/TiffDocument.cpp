#include "platform/imaging/TiffDocument.h"

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/PageTransform.h"
#include "platform/imaging/SiblingTemp.h"
#include "platform/imaging/TiffIo.h"

#include <QFileInfo>

#include <map>
#include <memory>
#include <vector>

namespace tav::imaging {

using detail::setError;

namespace {

// One page of the rebuilt document: kept from a TIFF file, or a decoded page to encode.
struct PageItem
{
    QString sourcePath; // TIFF page copied as stored
    int sourcePage = 0;
    const Page *page = nullptr;
    Encoding encoding;
};

bool openSource(std::map<QString, std::unique_ptr<detail::TiffHandle>> &sources, const QString &path,
                detail::TiffHandle *&handle, QString *error)
{
    auto it = sources.find(path);
    if (it == sources.end()) {
        auto h = std::make_unique<detail::TiffHandle>();
        if (!h->openRead(path)) {
            setError(error, QStringLiteral("No se puede leer «%1» (%2)").arg(path, h->lastError()));
            return false;
        }
        it = sources.emplace(path, std::move(h)).first;
    }
    handle = it->second.get();
    return true;
}

bool rebuild(const QString &target, const std::vector<PageItem> &items, QString *error)
{
    if (items.empty()) {
        setError(error, QStringLiteral("Un documento no puede quedar vacío"));
        return false;
    }
    std::map<QString, std::unique_ptr<detail::TiffHandle>> sources;
    detail::SiblingTemp temp(target);
    if (!temp.isValid()) {
        setError(error, temp.errorString());
        return false;
    }
    detail::TiffHandle out;
    if (!out.openWrite(temp.path())) {
        setError(error, QStringLiteral("No se puede escribir «%1» (%2)").arg(target, out.lastError()));
        return false;
    }
    const int total = int(items.size());
    for (int i = 0; i < total; ++i) {
        const PageItem &item = items[size_t(i)];
        if (item.page) {
            if (!detail::writeTiffPage(out, *item.page, item.encoding, i, total, error))
                return false;
            continue;
        }
        detail::TiffHandle *in = nullptr;
        if (!openSource(sources, item.sourcePath, in, error) || !in->setPage(item.sourcePage, error))
            return false;
        bool unsupported = false;
        if (detail::copyTiffPageRaw(*in, out, i, total, unsupported, error))
            continue;
        if (!unsupported)
            return false;
        // A layout we cannot copy as stored (old-style JPEG, unusual codecs): decode and write it again.
        ImageProperties props;
        Page decoded;
        if (!detail::readTiffProperties(*in, props, error) || !detail::decodeTiffPage(*in, decoded, error) ||
            !detail::writeTiffPage(out, decoded, TiffDocument::rewriteEncoding(props), i, total, error))
            return false;
    }
    if (!out.close()) {
        setError(error, QStringLiteral("No se puede escribir «%1» (%2)").arg(target, out.lastError()));
        return false;
    }
    sources.clear();
    if (!temp.commit()) {
        setError(error, temp.errorString());
        return false;
    }
    return true;
}

// The pages of `path` as items, or false when it cannot be read. A document whose chain of pages is broken is
// refused: rebuilding it would silently drop the pages after the damage.
bool existingPages(const QString &path, std::vector<PageItem> &items, QString *error)
{
    const int count = TiffDocument::pageCount(path, error);
    if (count < 0)
        return false;
    detail::TiffHandle h;
    bool damaged = !h.openRead(path);
    if (!damaged)
        h.directoryCount(&damaged);
    if (damaged) {
        setError(error, QStringLiteral("El documento «%1» está dañado; no se modifica (%2)").arg(path, h.lastError()));
        return false;
    }
    for (int i = 1; i <= count; ++i)
        items.push_back({path, i, nullptr, {}});
    return true;
}

bool checkNumber(int number, int low, int high, QString *error)
{
    if (number < low || number > high) {
        setError(error, QStringLiteral("Número de página %1 fuera de rango (%2 a %3)").arg(number).arg(low).arg(high));
        return false;
    }
    return true;
}

// Decodes page `number`, applies `transform` and writes it back in its own encoding.
template <typename Fn> bool transformPage(const QString &path, int number, QString *error, Fn transform)
{
    ImageProperties props;
    Page page;
    if (!ImageFile::readProperties(path, props, error, number) || !ImageFile::loadPage(path, page, error, number))
        return false;
    if (props.fileType != FileType::Tiff) {
        setError(error, QStringLiteral("«%1» no es un documento TIFF").arg(path));
        return false;
    }
    Page changed = transform(page);
    return TiffDocument::replacePage(path, number, changed, TiffDocument::rewriteEncoding(props), error);
}

} // namespace

int TiffDocument::pageCount(const QString &path, QString *error)
{
    ImageProperties props;
    if (!ImageFile::readProperties(path, props, error))
        return -1;
    if (props.fileType != FileType::Tiff) {
        setError(error, QStringLiteral("«%1» no es un documento TIFF").arg(path));
        return -1;
    }
    return props.pageCount;
}

bool TiffDocument::replacePage(const QString &path, int number, const Page &page, const Encoding &encoding,
                               QString *error)
{
    std::vector<PageItem> items;
    if (QFileInfo::exists(path) && !existingPages(path, items, error))
        return false;
    if (!checkNumber(number, 1, int(items.size()) + 1, error))
        return false;
    const PageItem item{{}, 0, &page, encoding};
    if (number <= int(items.size()))
        items[size_t(number - 1)] = item;
    else
        items.push_back(item);
    return rebuild(path, items, error);
}

bool TiffDocument::insertPage(const QString &path, int number, const Page &page, const Encoding &encoding,
                              QString *error)
{
    std::vector<PageItem> items;
    if (QFileInfo::exists(path) && !existingPages(path, items, error))
        return false;
    if (!checkNumber(number, 1, int(items.size()) + 1, error))
        return false;
    items.insert(items.begin() + (number - 1), PageItem{{}, 0, &page, encoding});
    return rebuild(path, items, error);
}

bool TiffDocument::appendPage(const QString &path, const Page &page, const Encoding &encoding, QString *error)
{
    const int count = QFileInfo::exists(path) ? pageCount(path, error) : 0;
    return count >= 0 && insertPage(path, count + 1, page, encoding, error);
}

bool TiffDocument::insertPageFrom(const QString &path, int number, const QString &sourcePath, int sourcePage,
                                  QString *error)
{
    ImageProperties sourceProps;
    if (!ImageFile::readProperties(sourcePath, sourceProps, error, sourcePage))
        return false;
    if (sourceProps.fileType != FileType::Tiff) {
        // A BMP page has no stored encoding to keep: it becomes a document page.
        Page page;
        if (!ImageFile::loadPage(sourcePath, page, error, sourcePage))
            return false;
        return insertPage(path, number, page, rewriteEncoding(sourceProps), error);
    }
    std::vector<PageItem> items;
    if (QFileInfo::exists(path) && !existingPages(path, items, error))
        return false;
    if (!checkNumber(number, 1, int(items.size()) + 1, error))
        return false;
    items.insert(items.begin() + (number - 1), PageItem{sourcePath, sourcePage, nullptr, {}});
    return rebuild(path, items, error);
}

bool TiffDocument::appendPageFrom(const QString &path, const QString &sourcePath, int sourcePage, QString *error)
{
    const int count = QFileInfo::exists(path) ? pageCount(path, error) : 0;
    return count >= 0 && insertPageFrom(path, count + 1, sourcePath, sourcePage, error);
}

bool TiffDocument::deletePage(const QString &path, int number, QString *error)
{
    std::vector<PageItem> items;
    if (!existingPages(path, items, error) || !checkNumber(number, 1, int(items.size()), error))
        return false;
    if (items.size() == 1) {
        setError(error, QStringLiteral("No se puede borrar la única página: un documento no puede quedar vacío"));
        return false;
    }
    items.erase(items.begin() + (number - 1));
    return rebuild(path, items, error);
}

bool TiffDocument::rotatePage(const QString &path, int number, int degrees, QString *error)
{
    if (degrees % 90 != 0) {
        setError(error, QStringLiteral("Las páginas se giran de a 90 grados"));
        return false;
    }
    return transformPage(path, number, error, [degrees](const Page &p) { return PageTransform::rotate(p, degrees); });
}

bool TiffDocument::mirrorPage(const QString &path, int number, QString *error)
{
    return transformPage(path, number, error, [](const Page &p) { return PageTransform::mirror(p); });
}

Encoding TiffDocument::rewriteEncoding(const ImageProperties &p)
{
    switch (p.pageType) {
    case PageType::BlackWhite:
        return p.compressionType == CompressionType::None
                   ? Encoding{FileType::Tiff, PageType::BlackWhite, CompressionType::None, CompressionInfo::None}
                   : Encoding::tiffGroup4();
    case PageType::Gray8:
    case PageType::Gray4:
        if (p.compressionType == CompressionType::Jpeg) {
            const bool known = p.compressionInfo == CompressionInfo::JpegMediumHighQuality ||
                               p.compressionInfo == CompressionInfo::JpegMediumLowQuality;
            return {FileType::Tiff, PageType::Gray8, CompressionType::Jpeg,
                    known ? p.compressionInfo : CompressionInfo::JpegMediumMediumQuality};
        }
        return {FileType::Tiff, PageType::Gray8, CompressionType::None, CompressionInfo::None};
    case PageType::Palette8:
    case PageType::Palette4:
        return {FileType::Tiff, PageType::Palette8, CompressionType::None, CompressionInfo::None};
    default:
        if (p.compressionType == CompressionType::Jpeg)
            return {FileType::Tiff, PageType::Rgb24, CompressionType::Jpeg, CompressionInfo::JpegMediumMediumQuality};
        return {FileType::Tiff, PageType::Rgb24, CompressionType::None, CompressionInfo::None};
    }
}

} // namespace tav::imaging
