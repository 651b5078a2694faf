#include "reports/windows/ReportPrinting.h"

#include "reports/ReportFrame.h"

#include <QApplication>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace tav::reports {

namespace {

void setUp(QPrinter &printer, const Report &report)
{
    printer.setPageLayout(report.pageLayout());
    printer.setDocName(report.title());
}

} // namespace

void printReport(Report &report, QPrinter &printer)
{
    if (report.pageCount() < 1)
        return; // an empty report sends no blank sheet to the printer
    setUp(printer, report);
    QPainter painter;
    if (painter.begin(&printer)) {
        report.paintAll(printer, painter);
        painter.end();
    }
}

bool printReportWithProgress(Report &report, QPrinter &printer, QWidget *parent)
{
    if (report.pageCount() < 1)
        return true;
    setUp(printer, report);
    QProgressDialog progress(QStringLiteral("Imprimiendo %1...").arg(report.title()), QString(), 0,
                             std::max(1, report.pageCount()), parent);
    progress.setWindowTitle(QStringLiteral("Imprimiendo"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    progress.show();
    QApplication::processEvents();
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double dpm = printer.logicalDpiX() / 25.4;
    ReportPainter rp(painter, dpm);
    for (int page = 0; page < report.pageCount(); ++page) {
        if (page > 0)
            printer.newPage();
        report.render(rp, page);
        progress.setValue(page + 1);
        QApplication::processEvents();
    }
    return painter.end();
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
