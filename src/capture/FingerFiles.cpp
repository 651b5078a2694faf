#include "capture/FingerFiles.h"

#include "platform/os/NoCasePath.h"
#include "platform/wsq/Wsq.h"
#include "platform/zip/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <algorithm>
#include <array>
#include <filesystem>

namespace tav::capture {

namespace {

namespace fs = std::filesystem;

fs::path toPath(const QString &name)
{
    return fs::path(name.toStdString());
}

// The file as it exists on disk (any case), or the name as given.
fs::path existing(const QString &name)
{
    return os::resolveNoCase(toPath(name));
}

bool exists(const QString &name)
{
    std::error_code ec;
    return !name.isEmpty() && fs::is_regular_file(existing(name), ec);
}

// Removes a file; true when it is gone afterwards.
bool removeFile(const QString &name)
{
    std::error_code ec;
    const fs::path p = existing(name);
    fs::remove(p, ec);
    return !fs::exists(p, ec);
}

std::uint32_t le32(const std::uint8_t *p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

} // namespace

bool FingerFiles::WsqFileToBmp(const QString &wsqFile, const QString &bmpFile)
{
    try {
        const std::vector<std::uint8_t> data = bmp::readFile(existing(wsqFile));
        wsq::DecodedImage decoded = wsq::decode(data);
        bmp::GreyImage image;
        image.width = decoded.width;
        image.height = decoded.height;
        image.ppi = decoded.ppi > 0 ? decoded.ppi : 0;
        image.pixels = std::move(decoded.pixels);
        bmp::saveGrey(toPath(bmpFile), image);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

std::vector<std::uint8_t> FingerFiles::BitmapToWsq(const bmp::GreyImage &bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return {};
    try {
        wsq::EncodeOptions options;
        options.bitRate = kBitRate;
        options.ppi = kPpi;
        options.nistComment = false;
        return wsq::encode(bitmap.pixels, bitmap.width, bitmap.height, options);
    } catch (const std::exception &) {
        return {};
    }
}

std::vector<std::uint8_t> FingerFiles::BitmapToWsq(const QImage &bitmap)
{
    if (bitmap.isNull() || bitmap.width() == 0)
        return {};
    const QImage grey = bitmap.convertToFormat(QImage::Format_Grayscale8);
    bmp::GreyImage image;
    image.width = grey.width();
    image.height = grey.height();
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        std::copy_n(grey.constScanLine(y), image.width,
                    image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width);
    return BitmapToWsq(image);
}

bool FingerFiles::BmpToWsqFile(const QString &source, const QString &target, QString &error)
{
    const QString src = source.trimmed();
    if (!exists(src)) {
        error = QStringLiteral("ERROR: No existe archivo origen");
        return false;
    }
    removeFile(target);
    try {
        const bmp::GreyImage image = bmp::load(existing(src));
        wsq::EncodeOptions options;
        options.bitRate = kBitRate;
        options.ppi = image.ppi > 0 ? image.ppi : kPpi;
        const std::vector<std::uint8_t> data = wsq::encode(image.pixels, image.width, image.height, options);
        bmp::writeFile(toPath(target), data);
    } catch (const std::exception &) {
        removeFile(target); // never leave half a file behind
    }
    if (exists(target))
        return true;
    error = QStringLiteral("ERROR: No se pudo generar ") + target;
    return false;
}

bool FingerFiles::RunAndWait(const QString &program, const QString &parameters, bool showWindow)
{
    (void)showWindow;
    QProcess process;
    process.setProgram(program);
    process.setArguments(QProcess::splitCommand(parameters));
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    // Keep the windows painted; the user's clicks and keys wait until the program ends.
    while (!process.waitForFinished(50))
        if (process.state() == QProcess::NotRunning)
            break;
        else if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

bool FingerFiles::PackFingers(QStringList &files, const QString &zipFile, QString &error)
{
    if (QFileInfo::exists(zipFile) && !QFile::remove(zipFile)) {
        error = QStringLiteral("ERROR: No se puede generar el archivo zip ") + zipFile;
        return false;
    }
    std::vector<fs::path> paths;
    for (QString &name : files) {
        name = name.trimmed();
        if (!exists(name)) {
            error = QStringLiteral("ERROR: No existe archivo origen ") + name;
            return false;
        }
        paths.push_back(existing(name));
    }
    try {
        zip::createFlat(toPath(zipFile), paths);
        return true;
    } catch (const std::exception &) {
        QFile::remove(zipFile);
        error = QStringLiteral("ERROR: No se pudieron comprimir los archivos");
        return false;
    }
}

bool FingerFiles::UnpackFingers(const QString &zipFile, const QString &directory, QString &error)
{
    const QString zipName = zipFile.trimmed();
    const QString dir = directory.trimmed();
    if (!exists(zipName)) {
        error = QStringLiteral("ERROR: No existe archivo origen ") + zipName;
        return false;
    }
    if (!QFileInfo(dir).isDir()) {
        error = QStringLiteral("ERROR: No existe directorio destino ") + dir;
        return false;
    }
    try {
        zip::extractAll(existing(zipName), toPath(dir));
        return true;
    } catch (const std::exception &) {
        error = QStringLiteral("ERROR: No se pudo descomprimir archivo");
        return false;
    }
}

bool FingerFiles::WsqFingerToBmp(const QString &source, const QString &target, QString &error)
{
    const QString src = source.trimmed();
    if (!exists(src)) {
        error = QStringLiteral("ERROR: No existe archivo origen");
        return false;
    }
    const int dot = src.lastIndexOf(QLatin1Char('.'));
    const int slash = std::max(src.lastIndexOf(QLatin1Char('/')), src.lastIndexOf(QLatin1Char('\\')));
    if (dot <= slash || src.mid(dot) != QLatin1String(".wsq")) {
        error = QStringLiteral("ERROR: El archivo origen debe tener extensión wsq");
        return false;
    }
    removeFile(target);
    WsqFileToBmp(src, target);
    if (!exists(target)) {
        error = QStringLiteral("No se pudo convertir el archivo: ") + src;
        return false;
    }
    if (!removeFile(src)) {
        error = QStringLiteral("No se pudo eliminar archivo origen: ") + src;
        return false;
    }
    return true;
}

bool FingerFiles::Mirror(const bmp::GreyImage &source, bmp::GreyImage &destination, bool flipVertical,
                         bool flipHorizontal)
{
    const std::size_t w = static_cast<std::size_t>(std::max(source.width, 0));
    const std::size_t h = static_cast<std::size_t>(std::max(source.height, 0));
    if (source.pixels.size() != w * h)
        return false;
    bmp::GreyImage out;
    out.width = source.width;
    out.height = source.height;
    out.ppi = source.ppi;
    out.pixels.resize(w * h);
    for (std::size_t r = 0; r < h; ++r) {
        const std::uint8_t *src = source.pixels.data() + r * w;
        std::uint8_t *dst = out.pixels.data() + (flipVertical ? h - 1 - r : r) * w;
        if (flipHorizontal)
            std::reverse_copy(src, src + w, dst);
        else
            std::copy(src, src + w, dst);
    }
    destination = std::move(out);
    return true;
}

FingerFiles::Placement FingerFiles::placement(int position)
{
    static constexpr std::array<int, 5> xs{1095, 1745, 2345, 2945, 3530};
    if (position < 1 || position > 10)
        return {0, 0};
    return {xs[static_cast<std::size_t>((position - 1) % 5)], position <= 5 ? 1510 : 460};
}

bool FingerFiles::ComposeCard(const QString &output, const QString &prefix, const QString &directory)
{
    const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    // The template as it is on disk: its information header and palette go to the output unchanged.
    std::vector<std::uint8_t> card;
    try {
        card = bmp::readFile(existing(dir.filePath(QString::fromLatin1(kTemplateFile))));
    } catch (const std::exception &) {
        return false;
    }
    constexpr std::size_t kHeaders = 14 + 40;
    constexpr std::size_t kPixelOffset = 1078; // headers and a 256-entry palette
    if (card.size() < kHeaders || card[0] != 'B' || card[1] != 'M')
        return false;
    const std::int32_t width = static_cast<std::int32_t>(le32(card.data() + 18));
    const std::int32_t rawHeight = static_cast<std::int32_t>(le32(card.data() + 22));
    const int bits = card[28] | (card[29] << 8);
    const std::uint32_t compression = le32(card.data() + 30);
    // Only the layout the card is made with: 40-byte information header, 256-entry palette, 8 bits.
    if (le32(card.data() + 10) != kPixelOffset || le32(card.data() + 14) != 40 || width <= 0 || rawHeight == 0 ||
        bits != 8 || compression != 0 || width > 65536 || rawHeight > 65536 || rawHeight < -65536)
        return false;
    const std::size_t height = static_cast<std::size_t>(std::abs(rawHeight));
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 3) / 4 * 4;
    const std::size_t total = kPixelOffset + rowBytes * height;
    if (card.size() < total)
        return false;
    card.resize(total);
    const bool topDown = rawHeight < 0;
    // Row j counted from the bottom of the card.
    auto cardRow = [&](std::size_t j) {
        return card.data() + kPixelOffset + (topDown ? height - 1 - j : j) * rowBytes;
    };

    std::array<bmp::GreyImage, 10> fingers;
    for (int n = 1; n <= 10; ++n) {
        try {
            fingers[static_cast<std::size_t>(n - 1)] =
                bmp::load(existing(dir.filePath(prefix + QString::number(n) + QStringLiteral(".bmp"))));
        } catch (const std::exception &) {
            return false;
        }
    }
    for (int n = 1; n <= 10; ++n) {
        const bmp::GreyImage &f = fingers[static_cast<std::size_t>(n - 1)];
        const Placement at = placement(n);
        const long left = at.x - f.width / 2;
        const long bottom = at.y - f.height / 2;
        for (int j = 0; j < f.height; ++j) { // j counted from the finger's bottom row
            const long row = bottom + j;
            if (row < 0 || row >= static_cast<long>(height))
                continue;
            std::uint8_t *dst = cardRow(static_cast<std::size_t>(row));
            for (int i = 0; i < f.width; ++i) {
                const long col = left + i;
                if (col < 0 || col >= width)
                    continue;
                dst[col] = blend(f.at(i, f.height - 1 - j), dst[col]);
            }
        }
    }
    // A fresh file header (pixel data right after the palette), then the template's own headers.
    const std::uint32_t fileSize = static_cast<std::uint32_t>(total);
    const std::array<std::uint8_t, 14> header{'B',
                                              'M',
                                              static_cast<std::uint8_t>(fileSize),
                                              static_cast<std::uint8_t>(fileSize >> 8),
                                              static_cast<std::uint8_t>(fileSize >> 16),
                                              static_cast<std::uint8_t>(fileSize >> 24),
                                              0,
                                              0,
                                              0,
                                              0,
                                              static_cast<std::uint8_t>(kPixelOffset & 0xFF),
                                              static_cast<std::uint8_t>(kPixelOffset >> 8),
                                              0,
                                              0};
    std::copy(header.begin(), header.end(), card.begin());
    try {
        bmp::writeFile(toPath(output), card);
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

} // namespace tav::capture
