#pragma once

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::exchange {

// The automatic printing of answer images: every page through the image-printing window, on the default
// printer. `preparePrinter` may redirect the printer (a PDF file) before each print; `printed` hears the
// file and the pages printed.
std::function<void(const QString &path)>
answerPrinter(QWidget *parent, std::function<void(QPrinter &)> preparePrinter = {},
              std::function<void(const QString &path, int pages)> printed = {});

// The printing of the answer letter of a personal request (the dataset stands on the answered request), on
// the default printer; `preparePrinter` may redirect it as above.
std::function<void(store::Dataset &pedp)> personalAnswerPrinter(store::Tdm &dm,
                                                                std::function<void(QPrinter &)> preparePrinter = {});

} // namespace tav::exchange
