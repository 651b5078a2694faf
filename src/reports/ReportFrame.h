#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

class QPagedPaintDevice;

namespace tav::reports {

// How a report text looks: Arial-like sans serif (Liberation/DejaVu on Linux), size in points.
struct TextStyle
{
    double pointSize = 10;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

// Drawing on an A4 page in millimetres, with the origin at the top left of the printable area (inside the
// 10 mm margins).
class ReportPainter
{
public:
    ReportPainter(QPainter &painter, double dotsPerMm);

    static constexpr double kPageWidthMm = 210.0 - 20.0;
    static constexpr double kPageHeightMm = 297.0 - 20.0;

    void text(const QRectF &mm, const QString &text, const TextStyle &style = {});
    // Width in millimetres the text takes in that style.
    double textWidth(const QString &text, const TextStyle &style = {});
    // Height in millimetres the text takes in that style when it wraps at words within `widthMm`.
    double textHeight(const QString &text, double widthMm, const TextStyle &style = {});
    void box(const QRectF &mm, double penPoints = 0.75);
    void fill(const QRectF &mm, const QColor &colour);
    void line(QPointF fromMm, QPointF toMm, double penPoints = 0.75, Qt::PenStyle style = Qt::SolidLine);
    void image(const QRectF &mm, const QImage &image, bool keepAspect = true);
    QPainter &painter() { return m_painter; }

private:
    QRectF toDevice(const QRectF &mm) const;
    QFont font(const TextStyle &style) const;
    QPainter &m_painter;
    double m_dpm;
};

// A printed document: A4, 10 mm margins, millimetre units, pages drawn by render(). Every report can be
// written to PDF here, and printed or previewed through ReportPrinting (windows).
class Report
{
public:
    virtual ~Report() = default;
    virtual QString title() const = 0;
    virtual int pageCount() const { return 1; }
    virtual void render(ReportPainter &painter, int page) = 0;

    bool writePdf(const QString &path);
    // Draws every page on a device that is already being painted (a printer, a PDF writer, the preview).
    void paintAll(QPagedPaintDevice &device, QPainter &painter);
};

// The emblem printed at the top left of the office's letters.
QImage reportEmblem();

} // namespace tav::reports
