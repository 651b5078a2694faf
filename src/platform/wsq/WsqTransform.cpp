#include "platform/wsq/WsqTransform.h"

#include "platform/wsq/Wsq.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tav::wsq {

namespace {

// Laurent polynomial in z^-1: coefficient of z^-u at key u.
using Poly = std::map<int, double>;

Poly modulate(const Poly &p)
{
    Poly r;
    for (const auto &[u, c] : p)
        r[u] = (u % 2 == 0) ? c : -c;
    return r;
}

Poly multiply(const Poly &a, const Poly &b)
{
    Poly r;
    for (const auto &[u, c] : a)
        for (const auto &[v, d] : b)
            r[u + v] += c * d;
    return r;
}

// Whole-sample symmetric index into [0, n).
int reflectWhole(int p, int n)
{
    if (n == 1)
        return 0;
    const int period = 2 * n - 2;
    p %= period;
    if (p < 0)
        p += period;
    return p >= n ? period - p : p;
}

// Half-sample symmetric index into [0, n).
int reflectHalf(int p, int n)
{
    const int period = 2 * n;
    p %= period;
    if (p < 0)
        p += period;
    return p >= n ? period - 1 - p : p;
}

std::vector<double> fullTaps(const HalfFilter &f, bool antisymmetric)
{
    const int n = f.length;
    std::vector<double> taps(static_cast<std::size_t>(n));
    const int centre = n / 2; // odd: the middle tap; even: the first tap right of the middle
    for (int i = 0; i < static_cast<int>(f.half.size()); ++i) {
        taps[static_cast<std::size_t>(centre + i)] = f.half[static_cast<std::size_t>(i)];
        const int mirror = (n % 2 == 1) ? centre - i : centre - 1 - i;
        taps[static_cast<std::size_t>(mirror)] =
            antisymmetric ? -f.half[static_cast<std::size_t>(i)] : f.half[static_cast<std::size_t>(i)];
    }
    return taps;
}

} // namespace

HalfFilter FilterBank::standardLowpass()
{
    return {9, {0.85269867900940, 0.37740285561265, -0.11062440441842, -0.02384946501938, 0.03782845550700}};
}

HalfFilter FilterBank::standardHighpass()
{
    return {7, {0.78848561640566, -0.41809227322221, -0.04068941760956, 0.06453888262894}};
}

FilterBank::FilterBank(const HalfFilter &lowpass, const HalfFilter &highpass)
{
    if (lowpass.length < 1 || highpass.length < 1 || lowpass.length % 2 != highpass.length % 2)
        throw WsqError("Filtros WSQ inválidos: largos " + std::to_string(lowpass.length) + " y " +
                       std::to_string(highpass.length));
    m_even = lowpass.length % 2 == 0;
    const std::vector<double> lo = fullTaps(lowpass, false);
    std::vector<double> hi = fullTaps(highpass, m_even);
    if (m_even) {
        m_loStart = -(lowpass.length / 2 - 1);
        m_hiStart = -(highpass.length / 2);
    } else {
        m_loStart = -(lowpass.length / 2);
        m_hiStart = -(highpass.length / 2);
    }
    // The format's filters work by convolution, our loops by correlation: the reversed taps are the
    // same for a symmetric filter and negated for the antisymmetric (even-length) highpass.
    if (m_even)
        for (double &v : hi)
            v = -v;
    m_lo.assign(lo.begin(), lo.end());
    m_hi.assign(hi.begin(), hi.end());

    // Synthesis filters from the analysis pair: with A0 = F0 and A1 = z F1 (the high band keeps the
    // odd samples), S0(z) = 2 A1(-z) / D(z), S1(z) = -2 A0(-z) / D(z), D = A0(z) A1(-z) - A0(-z) A1(z),
    // which is a single term c z^-l for a proper pair.
    Poly a0, a1;
    for (int i = 0; i < lowpass.length; ++i)
        a0[-(m_loStart + i) - m_loPhase] = lo[static_cast<std::size_t>(i)];
    for (int i = 0; i < highpass.length; ++i)
        a1[-(m_hiStart + i) - m_hiPhase] = hi[static_cast<std::size_t>(i)];
    Poly d = multiply(a0, modulate(a1));
    for (const auto &[u, c] : multiply(modulate(a0), a1))
        d[u] -= c;
    int l = 0;
    double c = 0;
    for (const auto &[u, v] : d)
        if (std::fabs(v) > std::fabs(c)) {
            c = v;
            l = u;
        }
    if (!(std::fabs(c) > 1e-6) || !std::isfinite(c))
        throw WsqError("Filtros WSQ inválidos: no forman un banco de filtros");
    if (std::fabs(std::fabs(c) - 2.0) < 0.01)
        c = c > 0 ? 2.0 : -2.0;
    // 1/D = z^l / c: the coefficient at u comes from u + l.
    // The bands sit at their phases: G0 = z^phase0 S0, G1 = z^phase1 S1.
    Poly g0, g1;
    for (const auto &[u, v] : modulate(a1))
        g0[u - l - m_loPhase] = 2.0 / c * v;
    for (const auto &[u, v] : modulate(a0))
        g1[u - l - m_hiPhase] = -2.0 / c * v;
    // x[m] = sum_u G0[u] e[m-u] where m-u is a low position, + sum_u G1[u] e[m-u] where it is a high one.
    // Each output sums the low band's terms first, then the high band's, each from the leftmost
    // sample: in single precision the order of the additions decides the last bit, and this is the
    // order whose results agree with the reference decodings to the pixel.
    for (int p = 0; p < 2; ++p) {
        const auto run = [p](const Poly &g, int phase, int &start, std::vector<Sample> &taps) {
            std::map<int, double> w; // keyed by offset k = -u: the term is w[k] e[m + k]
            for (const auto &[u, v] : g)
                if (((p - u - phase) % 2 + 2) % 2 == 0)
                    w[-u] = v;
            start = w.empty() ? 0 : w.begin()->first;
            const int last = w.empty() ? 0 : w.rbegin()->first;
            taps.assign(static_cast<std::size_t>((last - start) / 2 + 1), 0); // one band: every other position
            for (const auto &[k, v] : w)
                taps[static_cast<std::size_t>((k - start) / 2)] = static_cast<Sample>(v);
            return std::max(-start, last);
        };
        Synthesis &s = m_synthesis[p];
        m_margin = std::max({m_margin, run(g0, m_loPhase, s.lowStart, s.low), run(g1, m_hiPhase, s.highStart, s.high)});
    }
    m_margin =
        std::max({m_margin, -m_loStart, -m_hiStart, m_loStart + lowpass.length, m_hiStart + highpass.length}) + 2;
}

FilterBank::Symmetry FilterBank::lowSymmetry(int n) const
{
    // In doubled coordinates the line is symmetric about 2a and 2b, the filter centred on 2c.
    const int a2 = m_even ? -1 : 0;
    const int c2 = 2 * m_loStart + static_cast<int>(m_lo.size()) - 1;
    return {(a2 - c2) / 2, m_even ? n : n - 1, false, m_loPhase};
}

FilterBank::Symmetry FilterBank::highSymmetry(int n) const
{
    const int a2 = m_even ? -1 : 0;
    const int c2 = 2 * m_hiStart + static_cast<int>(m_hi.size()) - 1;
    return {(a2 - c2) / 2, m_even ? n : n - 1, m_even, m_hiPhase};
}

bool FilterBank::source(int count, const Symmetry &s, int m, int &k, Sample &sign)
{
    int u = 0;
    sign = 1;
    if (s.span > 0) {
        const int period = 2 * s.span;
        u = ((m - s.left) % period + period) % period;
        if (u > s.span) {
            u = period - u;
            if (s.antisymmetric)
                sign = -1;
        }
        if (s.antisymmetric && (u == 0 || u == s.span))
            return false;
    }
    const int pos = s.left + u;
    if (((pos - s.phase) & 1) != 0)
        return false;
    k = (pos - s.phase) >> 1;
    return k >= 0 && k < count;
}

namespace {

constexpr int kStrip = 32; // columns filtered together

// acc[l] += taps[i] * src[i * step * Lanes + l] for every lane, i ascending.
template <int Lanes>
inline void accumulateFixed(Sample *__restrict acc, const Sample *__restrict src, const Sample *__restrict taps,
                            int tapCount, int step)
{
    for (int i = 0; i < tapCount; ++i) {
        const Sample t = taps[i];
        const Sample *s = src + static_cast<std::ptrdiff_t>(i) * step * Lanes;
        for (int l = 0; l < Lanes; ++l)
            acc[l] += t * s[l];
    }
}

inline void accumulateLanes(Sample *__restrict acc, const Sample *__restrict src, const Sample *__restrict taps,
                            int tapCount, int step, int lanes)
{
    if (lanes == 1) {
        accumulateFixed<1>(acc, src, taps, tapCount, step);
    } else if (lanes == kStrip) {
        accumulateFixed<kStrip>(acc, src, taps, tapCount, step);
    } else {
        for (int i = 0; i < tapCount; ++i) {
            const Sample t = taps[i];
            const Sample *s = src + static_cast<std::ptrdiff_t>(i) * step * lanes;
            for (int l = 0; l < lanes; ++l)
                acc[l] += t * s[l];
        }
    }
}

// out[l] = sum_i taps[i] * src[i * lanes + l] for every lane.
inline void filterLanes(Sample *out, const Sample *__restrict src, const Sample *__restrict taps, int tapCount,
                        int lanes)
{
    Sample acc[kStrip] = {};
    accumulateLanes(acc, src, taps, tapCount, 1, lanes);
    std::copy_n(acc, lanes, out);
}

// Copies one position of every lane.
inline void copyLanes(const Sample *from, int lanes, Sample *to)
{
    if (lanes == 1)
        *to = *from;
    else
        std::copy_n(from, lanes, to);
}

} // namespace

void FilterBank::analyse(Sample *x, int n, std::ptrdiff_t stride, int lanes, bool inverted,
                         std::vector<Sample> &scratch) const
{
    if (n < 1 || lanes < 1)
        return;
    const int margin = m_margin;
    const std::ptrdiff_t L = lanes;
    scratch.resize(static_cast<std::size_t>((n + 2 * margin) * L));
    Sample *e = scratch.data() + margin * L; // extended input, positions -margin .. n + margin
    for (int p = -margin; p < n + margin; ++p) {
        const int r = (p >= 0 && p < n) ? p : (m_even ? reflectHalf(p, n) : reflectWhole(p, n));
        copyLanes(x + r * stride, lanes, e + p * L);
    }
    const int nLow = (n + 1) / 2;
    const int nHigh = n / 2;
    Sample *lowOut = x + (inverted ? nHigh : 0) * stride;
    Sample *highOut = x + (inverted ? 0 : nLow) * stride;
    const int loLen = static_cast<int>(m_lo.size());
    const int hiLen = static_cast<int>(m_hi.size());
    for (int k = 0; k < nLow; ++k)
        filterLanes(lowOut + k * stride, e + (2 * k + m_loPhase + m_loStart) * L, m_lo.data(), loLen, lanes);
    for (int k = 0; k < nHigh; ++k)
        filterLanes(highOut + k * stride, e + (2 * k + m_hiPhase + m_hiStart) * L, m_hi.data(), hiLen, lanes);
}

void FilterBank::synthesise(Sample *x, int n, std::ptrdiff_t stride, int lanes, bool inverted,
                            std::vector<Sample> &scratch) const
{
    if (n < 1 || lanes < 1)
        return;
    const int margin = m_margin;
    const std::ptrdiff_t L = lanes;
    const int nLow = (n + 1) / 2;
    const int nHigh = n / 2;
    const Sample *lowIn = x + (inverted ? nHigh : 0) * stride;
    const Sample *highIn = x + (inverted ? 0 : nLow) * stride;
    scratch.resize(static_cast<std::size_t>((n + 2 * margin) * L));
    Sample *e = scratch.data() + margin * L; // both bands interleaved and extended
    const Symmetry ls = lowSymmetry(n);
    const Symmetry hs = highSymmetry(n);
    for (int p = -margin; p < n + margin; ++p) {
        const bool isLow = ((p - m_loPhase) & 1) == 0;
        const Sample *band = isLow ? lowIn : highIn;
        const int count = isLow ? nLow : nHigh;
        int k = (p - (isLow ? m_loPhase : m_hiPhase)) >> 1;
        Sample sign = 1;
        Sample *dst = e + p * L;
        if (k >= 0 && k < count) {
            copyLanes(band + k * stride, lanes, dst);
        } else if (source(count, isLow ? ls : hs, p, k, sign)) {
            for (int l = 0; l < lanes; ++l)
                dst[l] = sign * band[k * stride + l];
        } else {
            std::fill_n(dst, lanes, Sample{0});
        }
    }
    for (int m = 0; m < n; ++m) {
        const Synthesis &s = m_synthesis[m & 1];
        Sample acc[kStrip] = {};
        accumulateLanes(acc, e + (m + s.lowStart) * L, s.low.data(), static_cast<int>(s.low.size()), 2, lanes);
        accumulateLanes(acc, e + (m + s.highStart) * L, s.high.data(), static_cast<int>(s.high.size()), 2, lanes);
        std::copy_n(acc, lanes, x + m * stride);
    }
}

void FilterBank::forward(Sample *plane, int width, const Layout &layout) const
{
    std::vector<Sample> scratch;
    for (const SplitNode &node : layout.splits) {
        const Rect &r = node.area;
        Sample *origin = plane + static_cast<std::ptrdiff_t>(r.y) * width + r.x;
        for (int y = 0; y < r.h; ++y)
            analyse(origin + static_cast<std::ptrdiff_t>(y) * width, r.w, 1, 1, node.invertRows, scratch);
        for (int x = 0; x < r.w; x += kStrip)
            analyse(origin + x, r.h, width, std::min(kStrip, r.w - x), node.invertColumns, scratch);
    }
}

void FilterBank::inverse(Sample *plane, int width, const Layout &layout) const
{
    std::vector<Sample> scratch;
    for (auto it = layout.splits.rbegin(); it != layout.splits.rend(); ++it) {
        const Rect &r = it->area;
        Sample *origin = plane + static_cast<std::ptrdiff_t>(r.y) * width + r.x;
        for (int x = 0; x < r.w; x += kStrip)
            synthesise(origin + x, r.h, width, std::min(kStrip, r.w - x), it->invertColumns, scratch);
        for (int y = 0; y < r.h; ++y)
            synthesise(origin + static_cast<std::ptrdiff_t>(y) * width, r.w, 1, 1, it->invertRows, scratch);
    }
}

} // namespace tav::wsq
