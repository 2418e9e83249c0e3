// Figures read off a reverb's response to a unit impulse: its decay time (RT60 from the T30
// of the Schroeder backward integral, and the early decay time), when its sound arrives,
// where its energy lies in time, its level against the direct sound, and how alike its two
// channels are. Pure arithmetic on sample vectors, so that it can be checked on signals
// whose figures are known.
#pragma once

#include <cstddef>
#include <vector>

namespace analysis {

// One channel's figures. The response is that of a unit impulse at sample 0, whose direct
// (dry) sound is sample 0 alone: everything after it is the reverb. Times count from the
// impulse. A figure that cannot be read (a decay that never falls far enough, no reverb at
// all) is NaN; a level against a direct sound of 0 is +infinity.
struct ChannelFigures {
    double rt60 = 0.0;           // s: the decay from -5 to -35 dB, fitted and extended to 60 dB
    double edt = 0.0;            // s: the decay from the start to -10 dB, times 6
    double firstArrivalMs = 0.0; // the first sample within 20 dB of the reverb's peak
    double centreTimeMs = 0.0;   // the reverb's energy centre: sum of t h^2 over sum of h^2
    double wetToDryDb = 0.0;     // the reverb's energy against the direct sound's
};

struct ResponseFigures {
    ChannelFigures channels[2];
    // The correlation of the two channels over the tail (from where the left channel's
    // decay has fallen by 5 dB): 1 for the same signal, 0 for unrelated ones.
    double tailCorrelation = 0.0;
    // Each channel's energy decay curve (energyDecayCurve from sample 1 on).
    std::vector<double> decay[2];
};

// The energy decay curve of a response: for each sample, 10 log10 of the energy from that
// sample to the end, relative to the energy from sample `from` on (so 0 dB there). Samples
// before `from` are left out of the sums and get 0 dB. -infinity where nothing is left.
std::vector<double> energyDecayCurve(const std::vector<float>& response, size_t from);

// The decay time that a least-squares line through the curve's points from sample `start`
// on, while they lie from `top` down to `bottom` dB, gives for a fall of 60 dB, in seconds.
// NaN when the curve does not reach `bottom` or the line does not fall.
double decayTime(const std::vector<double>& curve, size_t start, double rate, double top,
                 double bottom);

// The first sample after sample 0 whose magnitude is within 20 dB of the largest after
// sample 0; the response's length when there is none.
size_t firstArrival(const std::vector<float>& response);

// The correlation coefficient (without removing the mean) of two signals over samples
// [from, to), clipped to both lengths; 0 when either is silent there.
double correlation(const std::vector<float>& a, const std::vector<float>& b, size_t from,
                   size_t to);

ChannelFigures analyseChannel(const std::vector<float>& response, double rate);
ResponseFigures analyseResponse(const std::vector<float>& left, const std::vector<float>& right,
                                double rate);

} // namespace analysis
