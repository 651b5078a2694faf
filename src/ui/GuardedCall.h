#pragma once

#include "port/Ui.h"

#include <functional>

namespace tav::ui {

// Runs a user's command from a widget and keeps exceptions from crossing Qt's event loop:
// store::Abort (a rule refused after showing its own message) ends the command silently; a
// store::DatasetError or any other std::exception is shown with the title "Error". Returns true
// when the command ran to its end.
bool guardedCall(Ui &ui, const std::function<void()> &command);

} // namespace tav::ui
