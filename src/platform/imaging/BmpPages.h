#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QByteArray>
#include <QString>

namespace tav::imaging::detail {

// BMP pages through the project's BMP codec: properties and decoding of 1, 8 and 24-bit files, writing of 8-bit
// grey and 1-bit files.
bool readBmpProperties(const QByteArray &data, ImageProperties &out, QString *error);
bool decodeBmp(const QByteArray &data, Page &out, QString *error);
bool writeBmp(const Page &page, const QString &path, int pageType, QString *error);

} // namespace tav::imaging::detail
