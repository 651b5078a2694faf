#pragma once

#include <QString>

namespace tav::mail {

// A file name that came from the network reduced to a bare name that is safe to write in a folder: no
// folders ("../", "/", "\"), no drive ("C:"), no device name ("CON", "LPT1.txt"), no control characters.
// A name with nothing left becomes "adjunto".
QString bareFileName(const QString &networkName);

} // namespace tav::mail
