// cardtemplate: draws the installation pictures of the live-scan window.
//   cardtemplate OUTPUT_DIR
// writes OUTPUT_DIR/fmodelo.bemepe (the ten-print card the captured fingers are printed on: an 8-bit grey
// BMP with one box per finger around the placement centres) and OUTPUT_DIR/Amputado.BMP (the picture
// that stands for an amputated finger).

#include "platform/bmp/Bmp.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>

#include <array>
#include <cstdio>
#include <filesystem>

namespace {

constexpr int kCardWidth = 3850;
constexpr int kCardHeight = 2000;
constexpr int kBoxWidth = 570;
constexpr int kBoxHeight = 620;
constexpr std::array<int, 5> kCentresX{1095, 1745, 2345, 2945, 3530};
constexpr std::array<int, 2> kCentresY{1510, 460}; // counted from the bottom row

const std::array<const char *, 10> kFingerNames{
    "Pulgar Derecho",   "Indice Derecho",   "Medio Derecho",   "Anular Derecho",   "Meñique Derecho",
    "Pulgar Izquierdo", "Indice Izquierdo", "Medio Izquierdo", "Anular Izquierdo", "Meñique Izquierdo"};

tav::bmp::GreyImage toGrey(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    tav::bmp::GreyImage out;
    out.width = grey.width();
    out.height = grey.height();
    out.ppi = 500;
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y)
        std::copy_n(grey.constScanLine(y), out.width, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
    return out;
}

QImage drawCard()
{
    QImage card(kCardWidth, kCardHeight, QImage::Format_RGB32);
    card.fill(Qt::white);
    QPainter p(&card);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(72);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 40, kCardWidth, 110), Qt::AlignCenter, QStringLiteral("FICHA DECADACTILAR"));

    QFont hand(QStringLiteral("DejaVu Sans"));
    hand.setPixelSize(48);
    hand.setBold(true);
    QFont label(QStringLiteral("DejaVu Sans"));
    label.setPixelSize(30);
    for (int row = 0; row < 2; ++row) {
        const int centreY = kCardHeight - 1 - kCentresY[static_cast<std::size_t>(row)];
        const int top = centreY - kBoxHeight / 2;
        p.setFont(hand);
        p.drawText(QRect(40, top, 720, kBoxHeight), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
                   row == 0 ? QStringLiteral("MANO\nDERECHA") : QStringLiteral("MANO\nIZQUIERDA"));
        p.setFont(label);
        for (int i = 0; i < 5; ++i) {
            const int n = row * 5 + i;
            const QRect box(kCentresX[static_cast<std::size_t>(i)] - kBoxWidth / 2, top, kBoxWidth, kBoxHeight);
            p.setPen(QPen(Qt::black, 4));
            p.drawRect(box);
            p.setPen(QPen(QColor(90, 90, 90)));
            p.drawText(box.adjusted(10, 6, -10, 0), Qt::AlignTop | Qt::AlignHCenter,
                       QString::number(n + 1) + QStringLiteral(" - ") +
                           QString::fromUtf8(kFingerNames[static_cast<std::size_t>(n)]));
            p.setPen(Qt::black);
        }
    }
    p.end();
    return card;
}

QImage drawAmputated()
{
    QImage img(400, 500, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(60, 60, 60), 8));
    p.drawRoundedRect(QRectF(20, 20, 360, 460), 40, 40);
    p.setPen(QPen(QColor(150, 150, 150), 10));
    p.drawLine(70, 80, 330, 420);
    p.drawLine(330, 80, 70, 420);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(52);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.fillRect(QRect(40, 215, 320, 70), Qt::white);
    p.drawText(QRect(20, 200, 360, 100), Qt::AlignCenter, QStringLiteral("AMPUTADO"));
    p.end();
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("uso: cardtemplate CARPETA\n", stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    try {
        tav::bmp::saveGrey(dir / "fmodelo.bemepe", toGrey(drawCard()));
        tav::bmp::saveGrey(dir / "Amputado.BMP", toGrey(drawAmputated()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cardtemplate: %s\n", e.what());
        return 1;
    }
    return 0;
}
