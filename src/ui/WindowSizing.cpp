#include "ui/WindowSizing.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

namespace tav::ui {

namespace {

// Keeps a window's floor at its given minimum or what its layout needs, whichever is larger, also
// when controls appear later (a button shown by a setting, a longer caption, the style's fonts at the
// first show): a floor fixed at construction would let those controls be squeezed out of sight.
class MinimumSizeKeeper : public QObject
{
public:
    MinimumSizeKeeper(QWidget *window, QSize minimum) : QObject(window), m_window(window), m_minimum(minimum) {}

    void apply()
    {
        QSize floor = m_minimum;
        if (QLayout *layout = m_window->layout())
            floor = floor.expandedTo(layout->totalMinimumSize());
        if (m_window->minimumSize() != floor)
            m_window->setMinimumSize(floor);
        if (m_window->width() < floor.width() || m_window->height() < floor.height())
            m_window->resize(m_window->size().expandedTo(floor));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show ||
                                    event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange))
            apply();
        return false;
    }

private:
    QWidget *m_window;
    QSize m_minimum;
};

} // namespace

void setMinimumWindowSize(QWidget *window, QSize minimum)
{
    auto *keeper = new MinimumSizeKeeper(window, minimum);
    window->installEventFilter(keeper);
    keeper->apply();
}

void setWidthInCharacters(QWidget *widget, int characters)
{
    const int width = widget->fontMetrics().averageCharWidth() * (characters + 1) + 16;
    widget->setMinimumWidth(width);
    widget->setMaximumWidth(width);
}

} // namespace tav::ui
