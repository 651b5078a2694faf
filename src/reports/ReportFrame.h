#pragma once

#include <QImage>
#include <QPageLayout>
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
    // The printable area of a landscape page.
    static constexpr double kLandscapeWidthMm = kPageHeightMm;
    static constexpr double kLandscapeHeightMm = kPageWidthMm;

    void text(const QRectF &mm, const QString &text, const TextStyle &style = {});
    // One line starting at `x` whose baseline is at `baseline` (texts of several sizes on one line).
    void textOnBaseline(double x, double baseline, const QString &text, const TextStyle &style = {});
    // Width in millimetres the text takes in that style.
    double textWidth(const QString &text, const TextStyle &style = {});
    // Height in millimetres the text takes in that style when it wraps at words within `widthMm`.
    double textHeight(const QString &text, double widthMm, const TextStyle &style = {});
    void box(const QRectF &mm, double penPoints = 0.75, Qt::PenStyle style = Qt::SolidLine);
    void fill(const QRectF &mm, const QColor &colour);
    void line(QPointF fromMm, QPointF toMm, double penPoints = 0.75, Qt::PenStyle style = Qt::SolidLine);
    void image(const QRectF &mm, const QImage &image, bool keepAspect = true);
    // A Code 39 bar code of `text`, its bars `moduleMm` wide (narrow bars) and as high as `mm`, from the left
    // edge of `mm` (centred in it when `centred`). Returns the width drawn, 0 when the text cannot be coded
    // (nothing is drawn then).
    double code39(const QRectF &mm, const QString &text, double moduleMm = 0.33, bool centred = false);
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
    virtual QPageLayout::Orientation orientation() const { return QPageLayout::Portrait; }
    virtual void render(ReportPainter &painter, int page) = 0;

    // A4 in the report's orientation with 10 mm margins.
    QPageLayout pageLayout() const;
    bool writePdf(const QString &path);
    // One page as an image of the whole sheet (margins included) at `dpi`, on white.
    QImage renderPage(int page, double dpi);
    // Draws every page on a device that is already being painted (a printer, a PDF writer, the preview).
    void paintAll(QPagedPaintDevice &device, QPainter &painter);
};

// The emblem printed at the top left of the office's letters.
QImage reportEmblem();

} // namespace tav::reports
