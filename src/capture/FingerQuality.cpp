#include "capture/FingerQuality.h"

#include "platform/quality/Nfiq.h"
#include "port/Ui.h"

#include <QImage>

#include <cstring>
#include <new>
#include <vector>

namespace tav::capture {

void FingerQuality::reset()
{
    m_quality.fill(0);
    m_status.fill(kNotLoaded);
}

int FingerQuality::quality(int position) const
{
    return position >= 1 && position <= kFingers ? m_quality[static_cast<std::size_t>(position - 1)] : 0;
}

int FingerQuality::status(int position) const
{
    return position >= 1 && position <= kFingers ? m_status[static_cast<std::size_t>(position - 1)] : kNotLoaded;
}

void FingerQuality::set(int position, int quality, int status)
{
    if (position < 1 || position > kFingers)
        return;
    m_quality[static_cast<std::size_t>(position - 1)] = quality;
    m_status[static_cast<std::size_t>(position - 1)] = status;
}

int FingerQuality::rate(int position, const QImage &image)
{
    int level = quality(position);
    const int st = rateImage(image, level);
    set(position, level, st);
    return st;
}

int FingerQuality::average() const
{
    int sum = 0, count = 0;
    for (std::size_t i = 0; i < m_status.size(); ++i)
        if (m_status[i] == kValid) {
            sum += m_quality[i];
            ++count;
        }
    return count ? sum / count : kNoPrints;
}

QString FingerQuality::presented(int position) const
{
    return presentRating(status(position), quality(position));
}

QString FingerQuality::fingerName(int position)
{
    static const char *const kNames[kFingers] = {
        "Pulgar Derecho",   "Indice Derecho",   "Medio Derecho",   "Anular Derecho",   "Meñique Derecho",
        "Pulgar Izquierdo", "Indice Izquierdo", "Medio Izquierdo", "Anular Izquierdo", "Meñique Izquierdo"};
    if (position < 1 || position > kFingers)
        return QStringLiteral("Desconocido");
    return QString::fromUtf8(kNames[position - 1]);
}

QString FingerQuality::statusText(int status)
{
    switch (status) {
    case 1:
        return QStringLiteral("Imagen vacía");
    case 2:
        return QStringLiteral("Faltan minucias");
    case kNoLibrary:
        return QStringLiteral("ERROR: Falta GBNFIQ.DLL");
    case kNotLoaded:
        return QStringLiteral("Falta cargar la imagen");
    case kNoMemory:
        return QStringLiteral("Falta memoria para procesar la imagen");
    default:
        return {};
    }
}

QString FingerQuality::qualityWord(int level)
{
    switch (level) {
    case 0:
        return QStringLiteral("Error: falta huella!");
    case 1:
        return QStringLiteral("Excelente");
    case 2:
        return QStringLiteral("Muy buena");
    case 3:
        return QStringLiteral("Buena");
    case 4:
        return QStringLiteral("Regular");
    case 5:
        return QStringLiteral("Mala");
    case kNoPrints:
        return QStringLiteral("Error: No hay impresiones");
    default:
        return {};
    }
}

QString FingerQuality::presentRating(int status, int quality)
{
    QString text = QString::number(quality) + QStringLiteral(" (") + qualityWord(quality);
    const QString st = statusText(status);
    if (!st.isEmpty())
        text += QStringLiteral(", ") + st;
    return text + QLatin1Char(')');
}

QString FingerQuality::retakeQuestion()
{
    return QStringLiteral("La ficha del trámite es de baja calidad\r¿Desea volver a tomar las impresiones?");
}

QString FingerQuality::retakeTitle()
{
    return QStringLiteral("Atención");
}

bool FingerQuality::confirmSave(ui::Ui &ui, int average)
{
    if (!asksToRetake(average))
        return true;
    return ui.message(retakeQuestion(), retakeTitle(), ui::Ui::Buttons::YesNo, ui::Ui::Icon::Question) != ui::Ui::Yes;
}

bool fingerBuffer(const QImage &image, FingerBuffer &buffer, int &status)
{
    if (image.isNull() || image.width() == 0) {
        status = FingerQuality::kNotLoaded;
        return false;
    }
    const QImage grey =
        image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull()) {
        status = FingerQuality::kNoMemory;
        return false;
    }
    buffer.width = grey.width() - grey.width() % 4;
    buffer.height = grey.height();
    try {
        buffer.pixels.resize(static_cast<std::size_t>(buffer.width) * static_cast<std::size_t>(buffer.height));
    } catch (const std::bad_alloc &) {
        status = FingerQuality::kNoMemory;
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(buffer.width);
    for (int y = 0; y < buffer.height && rowBytes > 0; ++y)
        std::memcpy(buffer.pixels.data() + static_cast<std::size_t>(y) * rowBytes, grey.constScanLine(y), rowBytes);
    return true;
}

int rateImage(const QImage &image, int &quality)
{
    FingerBuffer buffer;
    int status = FingerQuality::kValid;
    if (!fingerBuffer(image, buffer, status))
        return status;
    quality::Rating r;
    try {
        r = quality::rate(buffer.pixels, buffer.width, buffer.height);
    } catch (const std::bad_alloc &) {
        return FingerQuality::kNoMemory;
    }
    if (r.status == quality::kNoMemory)
        return FingerQuality::kNoMemory;
    quality = r.level;
    return r.status;
}

} // namespace tav::capture
