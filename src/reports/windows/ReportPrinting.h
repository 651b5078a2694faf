#pragma once

class QPrinter;
class QWidget;

namespace tav::reports {

class Report;

// A4 portrait with 10 mm margins on the printer, then every page of the report.
void printReport(Report &report, QPrinter &printer);
// The print preview (modal), from which the user prints; returns when it closes.
void previewReport(Report &report, QWidget *parent);

} // namespace tav::reports
