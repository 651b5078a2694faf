#include "exchange/windows/AnswerPrinter.h"

#include "capture/windows/TFImgPrn.h"
#include "reports/TrpContesPriv.h"
#include "reports/windows/ReportPrinting.h"

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

std::function<void(store::Dataset &pedp)> personalAnswerPrinter(store::Tdm &dm,
                                                                std::function<void(QPrinter &)> preparePrinter)
{
    return [&dm, preparePrinter = std::move(preparePrinter)](store::Dataset &pedp) {
        reports::TrpContesPriv letter(reports::ContesPrivData::fromDataset(dm, pedp));
        QPrinter printer(QPrinter::HighResolution);
        if (preparePrinter)
            preparePrinter(printer);
        reports::printReport(letter, printer);
    };
}

} // namespace tav::exchange
