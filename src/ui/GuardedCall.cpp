#include "ui/GuardedCall.h"

#include "store/Dataset.h"

#include <exception>

namespace tav::ui {

bool guardedCall(Ui &ui, const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const store::Abort &) {
        return false;
    } catch (const std::exception &e) {
        ui.error(QString::fromStdString(e.what()));
        return false;
    } catch (...) {
        ui.error(QStringLiteral("Se produjo un error inesperado."));
        return false;
    }
}

} // namespace tav::ui
