#pragma once

#include <QString>

#include <vector>

namespace tav::reports {

// A Code 39 bar code as its dark bars, measured in modules (the width of a narrow bar), start and stop
// characters included and no quiet zone.
struct Code39
{
    struct Bar
    {
        double x = 0;
        double width = 0;
    };
    std::vector<Bar> bars;
    double width = 0; // modules from the first bar's left edge to the last bar's right edge
    QString error;    // why the text could not be coded (then there are no bars)

    bool isValid() const { return !bars.empty(); }

    // Codes `text` (digits, capital letters, blank and - . $ / + %; small letters are coded as capitals),
    // without a check character.
    static Code39 encode(const QString &text);
};

} // namespace tav::reports
