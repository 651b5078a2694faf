#pragma once

#include "platform/imaging/ImageCodes.h"

namespace tav::imaging {

// Geometric operations on decoded pages. Uncovered areas are filled with white.
class PageTransform
{
public:
    // Rotation by any number of degrees (positive: clockwise). Multiples of 90 are exact and keep the pixel
    // format; other angles enlarge the page so nothing is cut off.
    static Page rotate(const Page &page, int degrees);
    // Left-right mirror.
    static Page mirror(const Page &page);

    struct DeskewResult
    {
        Page page;
        double skew = 0;    // measured skew of the input in degrees (the page was turned by this much)
        bool found = false; // false when no reliable skew was found (page returned unchanged)
    };
    // Measures the skew of text lines (within ±10 degrees, to 0.1 degree) and turns the page back by it,
    // keeping its size.
    static DeskewResult deskew(const Page &page);
};

} // namespace tav::imaging
