#include "platform/imaging/BmpPages.h"

#include "platform/imaging/TiffIo.h"

namespace tav::imaging::detail {

// The BMP codec of the platform layer is not in the tree yet; until it is, BMP files are refused with a clear
// error rather than read by a second codec.
namespace {
const QString kNoCodec = QStringLiteral("La lectura y escritura de BMP no está disponible todavía");
}

bool readBmpProperties(const QByteArray &, ImageProperties &, QString *error)
{
    setError(error, kNoCodec);
    return false;
}

bool decodeBmp(const QByteArray &, Page &, QString *error)
{
    setError(error, kNoCodec);
    return false;
}

bool writeBmp(const Page &, const QString &, int, QString *error)
{
    setError(error, kNoCodec);
    return false;
}

} // namespace tav::imaging::detail
