#pragma once

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace tav::exchange {

// The automatic printing of answer images: every page through the image-printing window, on the default
// printer. `preparePrinter` may redirect the printer (a PDF file) before each print; `printed` hears the
// file and the pages printed.
std::function<void(const QString &path)>
answerPrinter(QWidget *parent, std::function<void(QPrinter &)> preparePrinter = {},
              std::function<void(const QString &path, int pages)> printed = {});

} // namespace tav::exchange
