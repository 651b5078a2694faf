#include "ui/WindowSizing.h"

#include <QLayout>
#include <QWidget>

namespace tav::ui {

void setMinimumWindowSize(QWidget *window, QSize minimum)
{
    QSize floor = minimum;
    if (QLayout *layout = window->layout())
        floor = floor.expandedTo(layout->minimumSize());
    window->setMinimumSize(floor);
    if (window->width() < floor.width() || window->height() < floor.height())
        window->resize(window->size().expandedTo(floor));
}

void setWidthInCharacters(QWidget *widget, int characters)
{
    const int width = widget->fontMetrics().averageCharWidth() * (characters + 1) + 16;
    widget->setMinimumWidth(width);
    widget->setMaximumWidth(width);
}

} // namespace tav::ui
