#pragma once

class QWidget;

namespace tav::capture {

// No push button of a capture window is a default button: Enter typed in an edit (a page number, a
// classification, the zoom) must never scan, close or accept. Call once the window's buttons exist.
void dropDefaultButtons(QWidget &window);

} // namespace tav::capture
