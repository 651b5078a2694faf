#pragma once

#include <QString>

namespace tav::personal {

// GUIDs without instance data: a new one, its braced upper-case text, the same between apostrophes.
class TGuidEx
{
public:
    static QString NewGuidText();       // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    static QString NewGuidQuotedText(); // the same between apostrophes
    static QString textOf(const QString &braced) { return braced.toUpper(); }
};

// A security code of `length` upper-case hexadecimal digits (1 to 31; empty for any other length), cut
// from a new GUID at a start drawn from the system's random source. The GUID's last digit is never used.
QString GenerarCodigoSeguridad(int length);

} // namespace tav::personal
