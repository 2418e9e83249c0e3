// The impulse response's figures: the backward-integrated energy decay, line fits over its
// level ranges, the first arrival, the energy centre, the level against the direct sound and
// the channels' correlation over the tail.
#include "tools/fumara-render/ImpulseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace analysis {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kArrivalRange = 0.1; // 20 dB below the peak, as an amplitude
constexpr double kTailStartDb = -5.0;

} // namespace

std::vector<double> energyDecayCurve(const std::vector<float>& response, size_t from) {
    std::vector<double> curve(response.size(), 0.0);
    if (from >= response.size()) {
        return curve;
    }
    // The remaining energy, summed from the end so that the small late sums keep their digits,
    // then each sum as a level against the first.
    double sum = 0.0;
    for (size_t i = response.size(); i-- > from;) {
        sum += double(response[i]) * double(response[i]);
        curve[i] = sum;
    }
    const double total = curve[from];
    for (size_t i = from; i < response.size(); ++i) {
        curve[i] = curve[i] > 0.0 && total > 0.0 ? 10.0 * std::log10(curve[i] / total)
                                                 : -std::numeric_limits<double>::infinity();
    }
    return curve;
}

double decayTime(const std::vector<double>& curve, size_t start, double rate, double top,
                 double bottom) {
    // The curve falls monotonically, so the points in range are one run.
    size_t first = start;
    while (first < curve.size() && curve[first] > top) {
        ++first;
    }
    size_t end = first;
    while (end < curve.size() && curve[end] >= bottom) {
        ++end;
    }
    if (end >= curve.size() || end - first < 2) {
        return kNaN; // never reaches the bottom of the range, or too few points to fit
    }
    const double n = double(end - first);
    double sumX = 0.0, sumY = 0.0;
    for (size_t i = first; i < end; ++i) {
        sumX += double(i);
        sumY += curve[i];
    }
    const double meanX = sumX / n, meanY = sumY / n;
    double covariance = 0.0, variance = 0.0;
    for (size_t i = first; i < end; ++i) {
        covariance += (double(i) - meanX) * (curve[i] - meanY);
        variance += (double(i) - meanX) * (double(i) - meanX);
    }
    const double slopePerSecond = covariance / variance * rate; // dB per second
    return slopePerSecond < 0.0 ? -60.0 / slopePerSecond : kNaN;
}

size_t firstArrival(const std::vector<float>& response) {
    double peak = 0.0;
    for (size_t i = 1; i < response.size(); ++i) {
        peak = std::max(peak, std::fabs(double(response[i])));
    }
    if (peak <= 0.0) {
        return response.size();
    }
    for (size_t i = 1; i < response.size(); ++i) {
        if (std::fabs(double(response[i])) >= peak * kArrivalRange) {
            return i;
        }
    }
    return response.size();
}

double correlation(const std::vector<float>& a, const std::vector<float>& b, size_t from,
                   size_t to) {
    to = std::min({to, a.size(), b.size()});
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = from; i < to; ++i) {
        ab += double(a[i]) * double(b[i]);
        aa += double(a[i]) * double(a[i]);
        bb += double(b[i]) * double(b[i]);
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

namespace {

// A channel's figures, with its energy decay curve from sample 1 on.
ChannelFigures channelFigures(const std::vector<float>& response, const std::vector<double>& curve,
                              double rate) {
    ChannelFigures figures;
    const size_t arrival = firstArrival(response);
    if (arrival >= response.size()) {
        figures.rt60 = figures.edt = figures.firstArrivalMs = figures.centreTimeMs = kNaN;
        figures.wetToDryDb = -std::numeric_limits<double>::infinity();
        return figures;
    }
    figures.rt60 = decayTime(curve, arrival, rate, -5.0, -35.0);
    figures.edt = decayTime(curve, arrival, rate, 0.0, -10.0);
    figures.firstArrivalMs = 1000.0 * double(arrival) / rate;
    double energy = 0.0, moment = 0.0;
    for (size_t i = 1; i < response.size(); ++i) {
        const double e = double(response[i]) * double(response[i]);
        energy += e;
        moment += e * double(i);
    }
    figures.centreTimeMs = 1000.0 * moment / energy / rate;
    const double direct = double(response[0]) * double(response[0]);
    figures.wetToDryDb =
        direct > 0.0 ? 10.0 * std::log10(energy / direct) : std::numeric_limits<double>::infinity();
    return figures;
}

} // namespace

ChannelFigures analyseChannel(const std::vector<float>& response, double rate) {
    return channelFigures(response, energyDecayCurve(response, 1), rate);
}

ResponseFigures analyseResponse(const std::vector<float>& left, const std::vector<float>& right,
                                double rate) {
    ResponseFigures figures;
    const std::vector<float>* channels[2] = {&left, &right};
    for (int c = 0; c < 2; ++c) {
        figures.decay[c] = energyDecayCurve(*channels[c], 1);
        figures.channels[c] = channelFigures(*channels[c], figures.decay[c], rate);
    }
    const std::vector<double>& curve = figures.decay[0];
    size_t tail = std::min<size_t>(1, curve.size());
    while (tail < curve.size() && curve[tail] > kTailStartDb) {
        ++tail;
    }
    figures.tailCorrelation = correlation(left, right, tail, left.size());
    return figures;
}

} // namespace analysis
