// The engine's filter: a cascade of second-order sections, low-pass or complementary
// high-pass, with the forms an owner's loop runs it in.
#pragma once

#include "engine/Tuning.h"

#include <cstdint>

// A cascade of one to three second-order sections designed from an analogue prototype by the
// bilinear transform with prewarping. The output is the low-pass of the input, or the input
// minus that low-pass (a complementary high-pass), optionally blended with the input. The
// filter redesigns itself lazily when its cutoff or damping changes and works in place.
//
// Arithmetic: coefficients and intermediate values are doubles, section memory is float.
class Filter {
public:
    // What the output is (the kind chosen by setType).
    static constexpr int32_t kLowpass = 0;       // the cascade's output
    static constexpr int32_t kComplementary = 1; // the input minus the cascade's output
    static constexpr int32_t kLowpassAlias = 2;  // processed exactly like kLowpass
    // The setType code for a kind and a number of sections (1 to 3): the low two bits hold the
    // order, the rest the kind.
    static constexpr int32_t typeCode(int32_t kind, uint32_t sections) {
        return kind * 4 + static_cast<int32_t>(sections) - 1;
    }

    Filter();
    ~Filter();
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // Loads the prototypes for `n` sections (1 to 3), clears memory and coefficients and
    // forces a design at the next processed sample.
    void reset(uint32_t n);
    // Chooses order, kind and damping from `type` (low two bits: order; the rest: kind) and
    // resets. Must be called before the first process.
    void setType(int32_t type, float amount);
    // Filters `count` samples of `buffer` in place. With `mixing`, each output becomes
    // (y + mix * x) * (1 - mix).
    void process(uint32_t count, float* buffer, bool mixing);
    // One sample through the filter, mixing off (the delay line's echo filter).
    inline float processSample(float input);
    // One sample inside an owner's own loop. `settled` starts as isSettled() for each run of
    // samples during which cutoff and damping stay unchanged; once a change check finds
    // nothing to redesign it becomes true and the remaining samples skip the checks (none
    // could fire).
    inline float step(float input, bool mixing, bool& settled);
    // Whether no change check can fire before the owner changes cutoff or damping: the last
    // check found nothing to redesign, and nothing changed since.
    bool isSettled() const {
        return countdown == 0 && cutoff == lastCutoff && damping == lastDamping;
    }

    // A settled one-section filter copied into locals for an owner's loop: the same
    // arithmetic as process() with its memory and coefficients held in registers. Take it
    // only after step() reported the filter settled for this run of samples; release() stores
    // the memory back.
    class Held {
    public:
        Held(Filter& filter, bool mixing)
            : filter(filter), g(filter.coefficients[0]), c0(filter.coefficients[1]),
              c1(filter.coefficients[2]), c2(filter.coefficients[3]), c3(filter.coefficients[4]),
              m(filter.mix), keep(1.0 - m), s1(filter.state[0]), s2(filter.state[1]),
              complementary(filter.kind == kComplementary), mixing(mixing) {}
        float operator()(float input) {
            const double x = static_cast<double>(input) + tuning::kFilterInputOffset;
            const double y0 = g * x;
            const double a = s1;
            const double b = s2;
            const double w = y0 - c0 * a - c1 * b;
            double y = w + c2 * a + c3 * b;
            s2 = s1;
            s1 = static_cast<float>(w);
            if (complementary) {
                y = x - y;
            }
            if (mixing) {
                y = (y + m * x) * keep;
            }
            return static_cast<float>(y);
        }
        void release() {
            filter.state[0] = s1;
            filter.state[1] = s2;
        }

    private:
        Filter& filter;
        double g, c0, c1, c2, c3, m, keep;
        float s1, s2;
        bool complementary, mixing;
    };

    // A settled one-section filter's coefficients and memory, for an owner's vector loop that
    // runs several such filters side by side with the arithmetic of Held. Take it when Held
    // may be taken; keepMemory() stores the memory back.
    struct Settled {
        double g, c0, c1, c2, c3, mix, keep;
        float s1, s2;
        bool complementary, mixing;
    };
    Settled settled(bool mixing) const {
        const double m = mix;
        return {coefficients[0], coefficients[1],
                coefficients[2], coefficients[3],
                coefficients[4], m,
                1.0 - m,         state[0],
                state[1],        kind == kComplementary,
                mixing};
    }
    void keepMemory(const Settled& from) {
        state[0] = from.s1;
        state[1] = from.s2;
    }

    // The rate the design uses, in samples per second: the owner's rate, which the owner sets
    // before the first sample (the library's default rate until then).
    void setSampleRate(int32_t rate);

    uint32_t getSections() const { return sections; }

    // Cutoff as a fraction of the Nyquist frequency; set by the owner before processing.
    float cutoff = 0.0f;
    // Blend amount used with mixing on; 0.5 after every reset.
    float mix = 0.5f;

private:
    friend struct FilterProbe; // tests only

    // The change check of one sample. Answers true when the filter is settled: the check
    // found nothing to redesign, so no further check can fire until the owner changes
    // cutoff or damping between calls.
    inline bool changeCheck();
    inline double runSections(double y);
    inline float filterOne(float input, bool mixing);
    template <uint32_t Sections> void processSettled(uint32_t count, float* buffer, bool mixing);
    void design();
    void designSection(int section, double fj, double fs, double& gain);

    int32_t kind = 0;
    float damping = 0.9f;
    int32_t countdown = 1;
    int32_t holdSamples = tuning::kHoldSamples;
    uint32_t sections = 2;
    float state[7] = {};
    double coefficients[13] = {};
    float lastCutoff = -1.0f;
    float lastDamping = -1.0f;
    double prototype[3][6] = {};
    int32_t sampleRate;
};

inline bool Filter::changeCheck() {
    int32_t c = countdown - 1;
    if (c > 0) {
        countdown = c;
        return false;
    }
    if (cutoff != lastCutoff || damping != lastDamping) {
        design();
        countdown = holdSamples;
        return false;
    }
    // Every further sample checks again; the count rests at 0 instead of running down
    // without end (it would overflow after some hours).
    countdown = 0;
    return true;
}

inline double Filter::runSections(double y) {
    for (uint32_t j = 0; j < sections; ++j) {
        const double* c = &coefficients[1 + 4 * j];
        const double s1 = state[2 * j];
        const double s2 = state[2 * j + 1];
        const double w = y - c[0] * s1 - c[1] * s2;
        y = w + c[2] * s1 + c[3] * s2;
        state[2 * j + 1] = static_cast<float>(s1);
        state[2 * j] = static_cast<float>(w);
    }
    return y;
}

inline float Filter::filterOne(float input, bool mixing) {
    // The small offset keeps the recursion away from denormal numbers.
    const double x = static_cast<double>(input) + tuning::kFilterInputOffset;
    double y = runSections(coefficients[0] * x);
    if (kind == kComplementary) {
        y = x - y;
    }
    if (mixing) {
        const double m = mix;
        y = (y + m * x) * (1.0 - m);
    }
    return static_cast<float>(y);
}

inline float Filter::step(float input, bool mixing, bool& settled) {
    if (!settled) {
        settled = changeCheck();
    }
    return filterOne(input, mixing);
}

inline float Filter::processSample(float input) {
    changeCheck();
    return filterOne(input, false);
}
