// libFuzzer target: properties and page 1 (and page 2 of multi-page files) of any bytes as TIFF or BMP.
// Seeds: fuzz/imaging/corpus (small TIFF pages of every encoding we write, and BMPs).

#include "platform/imaging/ImageFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    tav::imaging::ImageProperties props;
    QString error;
    const bool known = tav::imaging::ImageFile::readPropertiesFromData(bytes, props, &error);
    tav::imaging::Page page;
    tav::imaging::ImageFile::loadPageFromData(bytes, page, &error);
    if (known && props.pageCount > 1)
        tav::imaging::ImageFile::loadPageFromData(bytes, page, &error, 2);
    return 0;
}
