#include "capture/windows/DialogButtons.h"

#include <QPushButton>
#include <QWidget>

namespace tav::capture {

void dropDefaultButtons(QWidget &window)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

} // namespace tav::capture
