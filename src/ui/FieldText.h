#pragma once

#include "store/Field.h"

#include <QString>
#include <QVariant>

namespace tav::ui {

// Whether a kind holds numbers (right-aligned in grids, digits in edits).
bool isNumericKind(store::FieldKind kind);

} // namespace tav::ui
