#pragma once

#include "store/Field.h"

#include <QString>
#include <QVariant>

namespace tav::ui {

// A value as the office reads it on screen, the same text Field::asString gives for the current
// record: null is empty, booleans "True"/"False", dates dd/MM/yyyy, whole numbers without decimals.
QString fieldText(store::FieldKind kind, const QVariant &value);

// Whether a kind holds numbers (right-aligned in grids, digits in edits).
bool isNumericKind(store::FieldKind kind);

} // namespace tav::ui
