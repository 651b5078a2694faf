#include "ui/FieldText.h"

namespace tav::ui {

bool isNumericKind(store::FieldKind kind)
{
    using store::FieldKind;
    return kind == FieldKind::SmallInt || kind == FieldKind::Integer || kind == FieldKind::Float;
}

} // namespace tav::ui
