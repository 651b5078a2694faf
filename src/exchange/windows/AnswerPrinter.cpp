#include "exchange/windows/AnswerPrinter.h"

#include "capture/windows/TFImgPrn.h"

#include <QPointer>
#include <QPrinter>

namespace tav::exchange {

std::function<void(const QString &path)> answerPrinter(QWidget *parent, std::function<void(QPrinter &)> preparePrinter,
                                                       std::function<void(const QString &path, int pages)> printed)
{
    QPointer<QWidget> owner(parent);
    return [owner, preparePrinter = std::move(preparePrinter), printed = std::move(printed)](const QString &path) {
        QPrinter printer(QPrinter::HighResolution);
        if (preparePrinter)
            preparePrinter(printer);
        capture::TFImgPrn window(owner.data());
        const int pages = window.printFile(path, printer);
        if (printed)
            printed(path, pages);
    };
}

} // namespace tav::exchange
