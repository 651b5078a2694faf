#pragma once

class QPrinter;
class QWidget;

namespace tav::reports {

class Report;

// A4 with 10 mm margins in the report's orientation on the printer, then every page of the report.
void printReport(Report &report, QPrinter &printer);
// The same with a small window that shows the pages going to the printer; false when the printer could
// not be opened or the print job failed.
bool printReportWithProgress(Report &report, QPrinter &printer, QWidget *parent);
// The print preview (modal), from which the user prints; returns when it closes.
void previewReport(Report &report, QWidget *parent);

} // namespace tav::reports
