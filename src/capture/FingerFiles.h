#pragma once

// The finger-file utilities of live scan and verification: WSQ to BMP and back, running an outside
// program, packing the ten finger files into one ZIP and back, mirroring, and composing a ten-print
// card from the ten finger images.
//
// Names relative to the program directory resolve against the current directory, which the program
// sets to its own directory at start; existing files are found whatever the case of their names.

#include "platform/bmp/Bmp.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QImage;

namespace tav::capture {

class FingerFiles
{
public:
    // Bit rate and resolution of every WSQ we make.
    static constexpr double kBitRate = 0.75;
    static constexpr int kPpi = 500;

    // Decodes a WSQ file into an 8-bit grey BMP (top row of the finger = top row of the BMP). False when
    // the file cannot be read or decoded, or the BMP cannot be written.
    static bool WsqFileToBmp(const QString &wsqFile, const QString &bmpFile);

    // WSQ data of an 8-bit grey image at 0.75 bits per pixel and 500 ppi, without comment; empty when
    // the image has no width.
    static std::vector<std::uint8_t> BitmapToWsq(const bmp::GreyImage &bitmap);
    static std::vector<std::uint8_t> BitmapToWsq(const QImage &bitmap);

    // Converts a BMP file into a WSQ file (in-process: what the outside converter used to do). True when
    // the WSQ file exists afterwards; otherwise error holds the reason.
    static bool BmpToWsqFile(const QString &source, const QString &target, QString &error);

    // Starts program with the parameter text (quoted as on a command line) in the program's own folder
    // and waits for it to end while the windows keep repainting. False when it cannot be started.
    // showWindow is kept for callers; a Linux program decides its own windows.
    static bool RunAndWait(const QString &program, const QString &parameters, bool showWindow);

    // Zips the files (names trimmed in the list) flat into zipFile, replacing it.
    static bool PackFingers(QStringList &files, const QString &zipFile, QString &error);
    // Extracts every member of zipFile into directory; member paths that would leave it are refused.
    static bool UnpackFingers(const QString &zipFile, const QString &directory, QString &error);

    // Converts "dedoN.wsq" into a BMP and deletes the WSQ file. The extension must be exactly ".wsq".
    static bool WsqFingerToBmp(const QString &source, const QString &target, QString &error);

    // 8-bit copy of source, flipped top to bottom and/or left to right.
    static bool Mirror(const bmp::GreyImage &source, bmp::GreyImage &destination, bool flipVertical,
                       bool flipHorizontal);

    // Card template file and placement of the ten fingers on it (centres; x from the left, y from the
    // bottom row).
    static constexpr const char *kTemplateFile = "fmodelo.bemepe";
    struct Placement
    {
        int x;
        int y;
    };
    static Placement placement(int position);

    // Blends prefix + N + ".bmp" (N = 1..10) onto the card template found in directory (empty: the
    // current directory) and writes the result to output. False, with nothing written, when the
    // template or a finger file is missing, short or not an image.
    static bool ComposeCard(const QString &output, const QString &prefix = QStringLiteral("dedo"),
                            const QString &directory = QString());

    // One finger value over one template value: the product of both as fractions of white.
    static std::uint8_t blend(std::uint8_t finger, std::uint8_t card)
    {
        return static_cast<std::uint8_t>((2 * finger * card + 255) / 510);
    }
};

} // namespace tav::capture
