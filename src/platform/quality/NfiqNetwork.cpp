// NIST's NFIQ 1.0 network: 11 z-normalised inputs, 22 hidden nodes, 5 outputs, activation
// 0.5 * (1 + sin(a / 2)). The weights are NIST's published figures (NfiqWeights.h).

#include "platform/quality/Nfiq.h"
#include "platform/quality/NfiqWeights.h"

#include <cmath>
#include <cstddef>

namespace tav::quality {

namespace {

double activation(double a)
{
    return 0.5 * (1.0 + std::sin(0.5 * a));
}

} // namespace

std::array<double, 5> networkOutputs(const Features &features)
{
    using namespace nfiqdata;
    std::array<double, 11> x{};
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (features[i] - kMean[i]) / kStd[i];
    std::array<double, 22> hidden{};
    for (std::size_t j = 0; j < hidden.size(); ++j) {
        double a = kB1[j];
        for (std::size_t i = 0; i < x.size(); ++i)
            a += kW1[j * x.size() + i] * x[i];
        hidden[j] = activation(a);
    }
    std::array<double, 5> out{};
    for (std::size_t k = 0; k < out.size(); ++k) {
        double a = kB2[k];
        for (std::size_t j = 0; j < hidden.size(); ++j)
            a += kW2[k * hidden.size() + j] * hidden[j];
        out[k] = activation(a);
    }
    return out;
}

Rating classify(const Features &features)
{
    Rating r;
    r.features = features;
    if (features[0] <= 0) {
        r.status = kEmptyImage;
        r.level = 5;
        r.confidence = 1.0;
        return r;
    }
    if (features[1] <= 5) {
        r.status = kTooFewMinutiae;
        r.level = 5;
        r.confidence = 1.0;
        return r;
    }
    const std::array<double, 5> out = networkOutputs(features);
    std::size_t best = 0;
    for (std::size_t k = 1; k < out.size(); ++k)
        if (out[k] > out[best])
            best = k;
    r.status = kValid;
    r.level = static_cast<int>(best) + 1;
    r.confidence = out[best];
    return r;
}

} // namespace tav::quality
