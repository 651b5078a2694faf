#include "reports/ReportFrame.h"

#include "reports/Code39.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainterPath>
#include <QPdfWriter>

namespace tav::reports {

ReportPainter::ReportPainter(QPainter &painter, double dotsPerMm) : m_painter(painter), m_dpm(dotsPerMm) {}

QRectF ReportPainter::toDevice(const QRectF &mm) const
{
    return {mm.x() * m_dpm, mm.y() * m_dpm, mm.width() * m_dpm, mm.height() * m_dpm};
}

QFont ReportPainter::font(const TextStyle &style) const
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    // Point sizes are physical: 1 pt = 25.4/72 mm, drawn in device pixels.
    f.setPixelSize(std::max(1, static_cast<int>(style.pointSize * 25.4 / 72.0 * m_dpm)));
    f.setBold(style.bold);
    f.setUnderline(style.underline);
    f.setItalic(style.italic);
    // A (negligible) letter spacing keeps the shaper from joining "fi" into one glyph, so the words of a
    // letter stay searchable and copyable in its PDF.
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.01);
    return f;
}

void ReportPainter::text(const QRectF &mm, const QString &text, const TextStyle &style)
{
    m_painter.save();
    m_painter.setFont(font(style));
    m_painter.setPen(Qt::black);
    m_painter.drawText(toDevice(mm), static_cast<int>(style.align) | Qt::TextWordWrap, text);
    m_painter.restore();
}

void ReportPainter::textOnBaseline(double x, double baseline, const QString &text, const TextStyle &style)
{
    m_painter.save();
    m_painter.setFont(font(style));
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPointF(x * m_dpm, baseline * m_dpm), text);
    m_painter.restore();
}

double ReportPainter::textWidth(const QString &text, const TextStyle &style)
{
    return QFontMetricsF(font(style), m_painter.device()).horizontalAdvance(text) / m_dpm;
}

double ReportPainter::textHeight(const QString &text, double widthMm, const TextStyle &style)
{
    const QRectF bounds =
        QFontMetricsF(font(style), m_painter.device())
            .boundingRect(QRectF(0, 0, widthMm * m_dpm, 1e6), static_cast<int>(style.align) | Qt::TextWordWrap, text);
    return bounds.height() / m_dpm;
}

void ReportPainter::box(const QRectF &mm, double penPoints, Qt::PenStyle style)
{
    m_painter.save();
    m_painter.setPen(QPen(Qt::black, penPoints * 25.4 / 72.0 * m_dpm, style));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(toDevice(mm));
    m_painter.restore();
}

void ReportPainter::fill(const QRectF &mm, const QColor &colour)
{
    m_painter.fillRect(toDevice(mm), colour);
}

void ReportPainter::line(QPointF fromMm, QPointF toMm, double penPoints, Qt::PenStyle style)
{
    m_painter.save();
    m_painter.setPen(QPen(Qt::black, penPoints * 25.4 / 72.0 * m_dpm, style));
    m_painter.drawLine(fromMm * m_dpm, toMm * m_dpm);
    m_painter.restore();
}

void ReportPainter::image(const QRectF &mm, const QImage &image, bool keepAspect)
{
    if (image.isNull())
        return;
    QRectF target = toDevice(mm);
    if (keepAspect) {
        const QSizeF fitted = QSizeF(image.size()).scaled(target.size(), Qt::KeepAspectRatio);
        target = QRectF(target.topLeft(), fitted);
    }
    m_painter.drawImage(target, image);
}

double ReportPainter::code39(const QRectF &mm, const QString &text, double moduleMm, bool centred)
{
    const Code39 code = Code39::encode(text);
    if (!code.isValid())
        return 0;
    const double width = code.width * moduleMm;
    const double left = centred ? mm.x() + (mm.width() - width) / 2 : mm.x();
    for (const Code39::Bar &bar : code.bars)
        m_painter.fillRect(toDevice(QRectF(left + bar.x * moduleMm, mm.y(), bar.width * moduleMm, mm.height())),
                           Qt::black);
    return width;
}

QPageLayout Report::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4), orientation(), QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

void Report::paintAll(QPagedPaintDevice &device, QPainter &painter)
{
    const double dpm = device.logicalDpiX() / 25.4;
    ReportPainter rp(painter, dpm);
    for (int page = 0; page < pageCount(); ++page) {
        if (page > 0)
            device.newPage();
        render(rp, page);
    }
}

bool Report::writePdf(const QString &path)
{
    if (pageCount() < 1)
        return false; // nothing to print: no empty sheet either
    QPdfWriter pdf(path);
    pdf.setResolution(300);
    pdf.setTitle(title());
    pdf.setCreator(QStringLiteral("TAV Regional"));
    pdf.setPageLayout(pageLayout());
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    paintAll(pdf, painter);
    return painter.end();
}

QImage Report::renderPage(int page, double dpi)
{
    const QPageLayout layout = pageLayout();
    const QSizeF sheet = layout.fullRect(QPageLayout::Millimeter).size();
    const double dpm = dpi / 25.4;
    QImage img(qRound(sheet.width() * dpm), qRound(sheet.height() * dpm), QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpm * 1000));
    img.setDotsPerMeterY(qRound(dpm * 1000));
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(10 * dpm, 10 * dpm);
    ReportPainter rp(painter, dpm);
    render(rp, page);
    painter.end();
    return img;
}

QImage reportEmblem()
{
    QImage img(240, 280, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(20, 20);
    shield.lineTo(220, 20);
    shield.lineTo(220, 150);
    shield.quadTo(220, 240, 120, 270);
    shield.quadTo(20, 240, 20, 150);
    shield.closeSubpath();
    p.setPen(QPen(Qt::black, 8));
    p.setBrush(Qt::white);
    p.drawPath(shield);
    p.setPen(QPen(Qt::black, 5));
    for (int i = 0; i < 6; ++i)
        p.drawArc(QRectF(80 - i * 11, 70 - i * 11, 80 + i * 22, 110 + i * 22), 15 * 16, 330 * 16);
    p.end();
    return img;
}

} // namespace tav::reports
