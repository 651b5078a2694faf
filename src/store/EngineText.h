#pragma once

#include <QString>

#include <exception>

namespace tav::store {

// The text a person sees for a failure of the storage layer. The table engine reports in English for
// the log; this turns its errors into Spanish naming the file (the English detail goes to the log),
// and passes the texts of the store and the rules, already Spanish, through unchanged.
QString userText(const std::exception &error);

// The file an engine message names ("PED.DBF: ..." gives "PED.DBF"); empty when it names none.
QString fileNamedIn(const QString &engineMessage);

} // namespace tav::store
