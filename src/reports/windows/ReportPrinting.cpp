#include "reports/windows/ReportPrinting.h"

#include "reports/ReportFrame.h"

#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace tav::reports {

namespace {

void setUp(QPrinter &printer, const Report &report)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
    printer.setDocName(report.title());
}

} // namespace

void printReport(Report &report, QPrinter &printer)
{
    setUp(printer, report);
    QPainter painter;
    if (painter.begin(&printer)) {
        report.paintAll(printer, painter);
        painter.end();
    }
}

void previewReport(Report &report, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, report);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(report.title());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&report](QPrinter *p) {
        QPainter painter;
        if (painter.begin(p)) {
            report.paintAll(*p, painter);
            painter.end();
        }
    });
    dialog.exec();
}

} // namespace tav::reports
