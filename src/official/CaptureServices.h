#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace tav::official {

// What the card capture window is told before it is shown.
struct CardCaptureRequest
{
    bool locked = false;      // a sent request that was not rejected: the card is shown, not changed
    QString rightClass;       // c_clasder
    QString leftClass;        // c_clasizq
    QString loadedImage;      // full path of the copy of the request's card, empty when it has none
    bool hideDocument = true; // the documentation image is not shown beside the card
};

// What the card capture window reports once it is closed.
struct CardCaptureResult
{
    QString resultFile; // full path of the card it wrote; empty when nothing was written
    bool changed = false;
    QString rightClass;
    QString leftClass;
};

// The imaging windows the official-request window opens, reached through plain functions so the
// request window does not depend on them. An empty function keeps its button disabled.
struct CaptureServices
{
    // Shows the card capture window modally.
    std::function<CardCaptureResult(const CardCaptureRequest &)> captureCard;
    // Shows the documentation window modally on `workFile` (full path), which it changes in place.
    std::function<void(const QString &workFile)> captureDocuments;
    // Shows the answer image `imageFile` (full path) modally.
    std::function<void(const QString &imageFile)> showAnswer;
    // Asks the central office why a request was rejected; nothing when it could not be asked.
    std::function<std::optional<QString>(int request, int office)> rejectionReason;
};

} // namespace tav::official
