#pragma once

// Two-band filter banks with symmetric boundary extension, and the 2-D transform over the split tree.

#include "platform/wsq/WsqLayout.h"

#include <type_traits>
#include <vector>

namespace tav::wsq {

// Arithmetic type of the transform and of the dequantised coefficients.
using Sample = float;
static_assert(std::is_same_v<Sample, float>, "the working plane holds floats");

// A filter as stored in a file: the taps from the centre outward. An odd length is whole-sample
// symmetric; an even length is half-sample symmetric (the highpass antisymmetric).
struct HalfFilter
{
    int length = 0;
    std::vector<double> half; // (length + 1) / 2 taps
};

class FilterBank
{
public:
    // Throws WsqError when the pair cannot form a filter bank.
    FilterBank(const HalfFilter &lowpass, const HalfFilter &highpass);

    // The FBI's 9/7 analysis pair of encoder number one.
    static HalfFilter standardLowpass();
    static HalfFilter standardHighpass();

    // Lines of n samples become ceil(n/2) low and floor(n/2) high coefficients, written back in place,
    // high first when inverted (and back). Sample i of lane l is x[i * stride + l]: a row is one lane
    // with stride 1, a strip of neighbouring columns is many lanes with the row width as stride.
    // scratch is reused between calls.
    void analyse(Sample *x, int n, std::ptrdiff_t stride, int lanes, bool inverted, std::vector<Sample> &scratch) const;
    void synthesise(Sample *x, int n, std::ptrdiff_t stride, int lanes, bool inverted,
                    std::vector<Sample> &scratch) const;

    // Transforms of the whole plane (width samples per row) along the split tree.
    void forward(Sample *plane, int width, const Layout &layout) const;
    void inverse(Sample *plane, int width, const Layout &layout) const;

private:
    // One band's boundary rule: the filtered, extended line is (anti)symmetric about the points
    // left and left + span; the band keeps the samples at phase, phase + 2, ... inside [left, left + span].
    struct Symmetry
    {
        int left = 0;
        int span = 0;
        bool antisymmetric = false;
        int phase = 0;
    };
    // Where the value at position m of a band's filtered line comes from: kept sample *k times *sign,
    // or nothing (false: the value is zero).
    static bool source(int count, const Symmetry &s, int m, int &k, Sample &sign);
    Symmetry lowSymmetry(int n) const;
    Symmetry highSymmetry(int n) const;

    bool m_even = false;
    // Analysis: y[m] = sum_i taps[i] * x[m + start + i]; the low band keeps m = 2k + m_loPhase, the high
    // band m = 2k + m_hiPhase.
    std::vector<Sample> m_lo, m_hi;
    int m_loStart = 0, m_hiStart = 0;
    int m_loPhase = 0, m_hiPhase = 1;
    // Synthesis for an output at parity p, where e interleaves the (extended) bands at their phases:
    // x[m] = sum_i low[i] * e[m + lowStart + 2i] + sum_i high[i] * e[m + highStart + 2i].
    struct Synthesis
    {
        int lowStart = 0, highStart = 0;
        std::vector<Sample> low, high;
    };
    Synthesis m_synthesis[2];
    int m_margin = 0;
};

} // namespace tav::wsq
