#pragma once

// Windows-1252 at the boundary between disk bytes and QString. Qt has no Windows-1252 codec
// without ICU, so these share the table of Cp1252.h.

#include <QByteArray>
#include <QString>

namespace tav::text {

// Windows-1252 bytes to a QString; every byte value decodes.
QString fromCp1252(const QByteArray &bytes);

// A QString to Windows-1252; each character the code page cannot show becomes `replacement`
// (one byte per character, also for characters outside the Basic Multilingual Plane).
QByteArray toCp1252(const QString &text, char replacement = '?');

// True when every character of `text` has a Windows-1252 byte.
bool isCp1252Representable(const QString &text);

} // namespace tav::text
