// The filter's design from its analogue prototypes (prewarped bilinear transform) and its
// block processing.
#include "engine/Filter.h"

#include "engine/SampleRate.h"
#include "engine/Trace.h"

#include <cmath>

namespace {

// b1 of the Butterworth polynomials of orders 2, 4 and 6, one row per section count.
constexpr double kPrototypeB1[3][3] = {
    {1.4142, 0.0, 0.0},
    {0.765367, 1.847759, 0.0},
    {0.5176387, 1.414214, 1.931852},
};

} // namespace

Filter::Filter() : sampleRate(kDefaultSampleRate) {
    traceHook("Filter Init", 0);
    damping = 0.9f;
    reset(2);
}

Filter::~Filter() {
    traceHook("Filter destroy", 0);
}

void Filter::setSampleRate(int32_t rate) {
    if (isUsableSampleRate(rate) && rate != sampleRate) {
        sampleRate = rate;
        // Force a design at the new rate.
        lastCutoff = -1.0f;
        lastDamping = -1.0f;
    }
}

void Filter::reset(uint32_t n) {
    if (n < 1) {
        n = 1;
    }
    if (n > 3) {
        n = 3;
    }
    mix = 0.5f;
    for (uint32_t j = 0; j < 3; ++j) {
        double* p = prototype[j];
        p[0] = 1.0;                    // a0
        p[1] = 0.0;                    // a1
        p[2] = 0.0;                    // a2
        p[3] = 1.0;                    // b0
        p[4] = kPrototypeB1[n - 1][j]; // b1
        p[5] = tuning::kPrototypeB2;   // b2
    }
    sections = n;
    holdSamples = tuning::kHoldSamples;
    countdown = 1;
    lastCutoff = -1.0f;
    lastDamping = -1.0f;
    for (double& c : coefficients) {
        c = 0.0;
    }
    for (float& s : state) {
        s = 0.0f;
    }
}

void Filter::setType(int32_t type, float amount) {
    // Damping factor per order; codes outside the table (and order bits 3) give two low-pass
    // sections.
    static constexpr double kFactor[3] = {1.0, 0.97, 0.94};
    const int32_t order = type & 3;
    const bool listed = type >= 0 && type <= typeCode(kLowpassAlias, 3) && order != 3;
    const uint32_t n = listed ? static_cast<uint32_t>(order) + 1 : 2;
    const double factor = kFactor[n - 1];
    kind = listed ? type >> 2 : kLowpass;
    damping = static_cast<float>(1.0 - factor * static_cast<double>(amount));
    reset(n);
    if (std::isnan(damping)) {
        damping = 0.999f;
    } else if (damping < 0.005f) {
        damping = 0.005f;
    } else if (damping > 0.999f) {
        damping = 0.999f;
    }
}

void Filter::design() {
    const int32_t rate = sampleRate;
    const double fs = rate;
    double f = static_cast<double>(cutoff) * fs / 2.0;
    if (f > static_cast<double>(rate / 2)) {
        f = rate / 2;
    }
    if (f < tuning::kMinFrequency) {
        f = tuning::kMinFrequency;
    }
    // At rates below about 160 Hz the 80 Hz floor lies at or above the Nyquist frequency,
    // where the design has poles on the unit circle; keep the frequency inside the band.
    if (f > 0.49 * fs) {
        f = 0.49 * fs;
    }
    double gain = tuning::kGainScale /
                  (4.0 * sections * (tuning::kGainDamping - static_cast<double>(damping)));
    if (f < tuning::kLowGainFrequency) {
        const double ratio = f / tuning::kLowGainFrequency;
        gain = gain * (ratio * ratio);
    }
    for (uint32_t j = 0; j < sections; ++j) {
        const double fj = j == 0 ? f : tuning::kSectionSpread * f;
        designSection(static_cast<int>(j), fj, fs, gain);
    }
    coefficients[0] = gain;
    lastCutoff = cutoff;
    lastDamping = damping;
}

void Filter::designSection(int section, double fj, double fs, double& gain) {
    const double* p = prototype[section];
    double a0 = p[0], a1 = p[1], a2 = p[2];
    double b0 = p[3], b1 = p[4] * static_cast<double>(damping), b2 = p[5];
    const double pi = 4.0 * std::atan(1.0);

    // Prewarp numerator and denominator so the digital cutoff lands on fj.
    double w = 2.0 * fs * std::tan(pi * fj / fs);
    a1 = a1 / w;
    a2 = a2 / (w * w);
    w = 2.0 * fs * std::tan(pi * fj / fs);
    b1 = b1 / w;
    b2 = b2 / (w * w);

    // Bilinear transform.
    const double fs2 = fs * fs;
    const double ad = 4.0 * a2 * fs2 + 2.0 * a1 * fs + a0;
    const double bd = 4.0 * b2 * fs2 + 2.0 * b1 * fs + b0;
    gain = gain * ad / bd;
    double* c = &coefficients[1 + 4 * section];
    c[0] = (2.0 * b0 - 8.0 * b2 * fs2) / bd;
    c[1] = (4.0 * b2 * fs2 - 2.0 * b1 * fs + b0) / bd;
    c[2] = (2.0 * a0 - 8.0 * a2 * fs2) / ad;
    c[3] = (4.0 * a2 * fs2 - 2.0 * a1 * fs + a0) / ad;
}

template <uint32_t Sections>
void Filter::processSettled(uint32_t count, float* buffer, bool mixing) {
    // No check can fire for the rest of this call: run the sections with the memory and
    // coefficients held in registers.
    const double g = coefficients[0];
    double c[Sections][4];
    float s1[Sections], s2[Sections];
    for (uint32_t j = 0; j < Sections; ++j) {
        for (int m = 0; m < 4; ++m) {
            c[j][m] = coefficients[1 + 4 * j + m];
        }
        s1[j] = state[2 * j];
        s2[j] = state[2 * j + 1];
    }
    const bool complementary = kind == kComplementary;
    const double m = mix;
    const double keep = 1.0 - m;
    for (uint32_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(buffer[i]) + tuning::kFilterInputOffset;
        double y = g * x;
        for (uint32_t j = 0; j < Sections; ++j) {
            const double a = s1[j];
            const double b = s2[j];
            const double w = y - c[j][0] * a - c[j][1] * b;
            y = w + c[j][2] * a + c[j][3] * b;
            s2[j] = s1[j];
            s1[j] = static_cast<float>(w);
        }
        if (complementary) {
            y = x - y;
        }
        if (mixing) {
            y = (y + m * x) * keep;
        }
        buffer[i] = static_cast<float>(y);
    }
    for (uint32_t j = 0; j < Sections; ++j) {
        state[2 * j] = s1[j];
        state[2 * j + 1] = s2[j];
    }
}

void Filter::process(uint32_t count, float* buffer, bool mixing) {
    if (count == 0 || buffer == nullptr) {
        return;
    }
    uint32_t i = 0;
    bool settled = false;
    while (i < count && !settled) {
        settled = changeCheck();
        buffer[i] = filterOne(buffer[i], mixing);
        ++i;
    }
    if (i == count) {
        return;
    }
    switch (sections) {
    case 1:
        processSettled<1>(count - i, buffer + i, mixing);
        break;
    case 2:
        processSettled<2>(count - i, buffer + i, mixing);
        break;
    default:
        processSettled<3>(count - i, buffer + i, mixing);
        break;
    }
}
