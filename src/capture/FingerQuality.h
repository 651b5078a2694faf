#pragma once

// The quality of the ten live-scan fingers: the per-finger table (NFIQ level and rating status by
// finger position 1..10), rating a finger image, the texts that present a rating, the average over
// the ten fingers, and the rule by which a poor average interrupts saving a capture.
//
// The rating itself is built into the program (our own NFIQ 1.0 in platform/quality), so there is
// no outside library to load or fetch; the status of a missing library is kept for the texts only.

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class QImage;

namespace tav::ui {
class Ui;
}

namespace tav::capture {

class FingerQuality
{
public:
    static constexpr int kFingers = 10;

    // Rating statuses: 0 valid; positive ones come from the rating (1 empty image, 2 too few
    // minutiae); the negative ones are the program's own.
    static constexpr int kValid = 0;
    static constexpr int kNoLibrary = -1;
    static constexpr int kNotLoaded = -2;
    static constexpr int kNoMemory = -3;
    // The average when no finger has a valid rating.
    static constexpr int kNoPrints = 9;

    FingerQuality() { reset(); }

    // Every position back to "not rated": level 0, status -2.
    void reset();

    // Positions 1..10; any other position reads as never rated and is not stored.
    int quality(int position) const;
    int status(int position) const;
    void set(int position, int quality, int status);

    // Rates the finger image of a position into the table and returns the status. A failed rating
    // (no image, out of memory) keeps the position's previous level.
    int rate(int position, const QImage &image);

    // Integer mean of the levels whose status is 0; kNoPrints when there is none.
    int average() const;

    // "2 (Muy buena)", "5 (Mala, Faltan minucias)": the position's rating as shown to the operator.
    QString presented(int position) const;

    static QString fingerName(int position);
    static QString statusText(int status);
    static QString qualityWord(int level);
    static QString presentRating(int status, int quality);

    // The rating is built in: always usable (the outside library and its download are gone).
    static bool ensureLibrary() { return true; }

    // Saving a capture whose average is worse than 3 first asks whether to take the prints again.
    static bool asksToRetake(int average) { return average > 3; }
    static QString retakeQuestion();
    static QString retakeTitle();
    // Asks when the average calls for it; true when saving goes on (the operator answered No, or
    // nothing was asked), false when the prints are to be taken again.
    static bool confirmSave(ui::Ui &ui, int average);

private:
    std::array<int, kFingers> m_quality{};
    std::array<int, kFingers> m_status{};
};

// Rates an 8-bit grey finger image (any other format is turned grey first) at 500 ppi: the width is
// cut on the right to a multiple of 4 and the rows are handed over top row first. Returns the status;
// quality receives the level unless the status is negative (-2 no image, -3 no memory).
int rateImage(const QImage &image, int &quality);

// The pixel buffer handed to the rating: width cut to a multiple of 4, one byte per pixel, rows top
// first, no padding. False when the buffer cannot be had (empty image, out of memory).
struct FingerBuffer
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};
bool fingerBuffer(const QImage &image, FingerBuffer &buffer, int &status);

} // namespace tav::capture
