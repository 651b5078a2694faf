#pragma once

#include <QSize>

class QWidget;

namespace tav::ui {

// How the office's windows take their size.
//
// - Every window is built with layouts (QVBoxLayout, QGridLayout, QFormLayout), never with fixed
//   coordinates: controls then follow the window's size by themselves. Edits, drop-downs and grids
//   get an Expanding horizontal size policy; grids and memo edits also grow in height; buttons,
//   labels and the navigator keep their natural height.
// - A window that must not shrink below a given size ("cannot be made narrower than 545 pixels or
//   lower than 260 pixels") calls setMinimumWindowSize(this, {545, 260}) once its controls exist.
//   The size is a floor: it is raised to what the layout needs when that is larger, so no control
//   is ever squeezed out of sight.
// - A window opens at its minimum size unless it was given a larger one.
void setMinimumWindowSize(QWidget *window, QSize minimum);

// Gives an edit room for about `characters` characters of the current font (for code edits and
// short fields whose width should say how much they hold).
void setWidthInCharacters(QWidget *widget, int characters);

} // namespace tav::ui
