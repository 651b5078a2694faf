#pragma once

#include <QDate>
#include <QString>

namespace tav::reports {

// "10 de diciembre de 2026": day with two digits, the month's Spanish name, the year; the same on every
// workstation whatever its language.
QString spanishLongDate(const QDate &date);

} // namespace tav::reports
