#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QString>
#include <QTextStream>

namespace tav::capture {

// The outcome of an acceptance check: whether the image passes and, when it does not, the one message to show
// (with its title) — or no message at all when the file does not exist.
struct CheckOutcome
{
    bool passed = false;
    bool fileExists = false;
    QString message;
    QString title;
};

// Acceptance checks of the fingerprint card image and of the document image. Every rule is evaluated in order
// and a failing rule replaces the pending message, so only the last failing rule's message is shown.
class ImageChecks
{
public:
    // Messages of the rules, empty when every rule passes.
    static QString cardMessage(const imaging::ImageProperties &properties);
    static QString documentMessage(const imaging::ImageProperties &properties);

    // Card image check (`ValidarHuella` of the data module).
    static CheckOutcome validarHuella(const QString &file);
    // Document image check (`ValidarDocumentacion` of the data module).
    static CheckOutcome validarDocumentacion(const QString &file);
};

// The administrators' command `--check-image card|doc FILE`: prints the image's properties and codes, then "OK"
// or the message the check would show. Returns 0 when the image passes, 1 when it is refused, 2 when the kind is
// unknown or the file is missing or unreadable.
int checkImageCommand(const QString &kind, const QString &file, QTextStream &out);

} // namespace tav::capture
