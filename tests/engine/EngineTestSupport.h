// Helpers shared by the engine tests: signal generators, measurements on audio, and a
// fixture that runs each test at 44100 Hz and restores the library-wide rate afterwards.
#pragma once

#include "engine/SampleRate.h"
#include "engine/VectorLevel.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace enginetest {

constexpr double kPi = 3.14159265358979323846;

class RateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        saved = currentSampleRate;
        currentSampleRate = 44100;
    }
    void TearDown() override { currentSampleRate = saved; }

private:
    int32_t saved = 44100;
};

// Every vector level this machine supports, lowest first.
inline std::vector<VectorLevel> vectorLevels() {
    std::vector<VectorLevel> levels;
    for (int l = 0; l <= static_cast<int>(supportedVectorLevel()); ++l) {
        levels.push_back(static_cast<VectorLevel>(l));
    }
    return levels;
}

// Caps the engine's vector level for the lifetime of the object.
class VectorLevelScope {
public:
    explicit VectorLevelScope(VectorLevel level) { limitVectorLevel(level); }
    ~VectorLevelScope() { limitVectorLevel(supportedVectorLevel()); }
    VectorLevelScope(const VectorLevelScope&) = delete;
    VectorLevelScope& operator=(const VectorLevelScope&) = delete;
};

inline std::vector<float> sine(double frequency, double rate, int32_t count,
                               double amplitude = 1.0) {
    std::vector<float> out(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        out[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * i / rate));
    }
    return out;
}

// Amplitude of the component at `frequency` in samples [from, from + count).
inline double amplitudeAt(const std::vector<float>& signal, double frequency, double rate,
                          int32_t from, int32_t count) {
    double s = 0.0, c = 0.0;
    for (int32_t i = from; i < from + count; ++i) {
        const double phase = 2.0 * kPi * frequency * i / rate;
        s += signal[i] * std::sin(phase);
        c += signal[i] * std::cos(phase);
    }
    return 2.0 * std::sqrt(s * s + c * c) / count;
}

// A deterministic noise source independent of the library's generator.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(state >> 8) - (1 << 23)) / (1 << 23);
    }
    std::vector<float> block(int32_t count, float amplitude = 1.0f) {
        std::vector<float> out(static_cast<size_t>(count));
        for (float& v : out) {
            v = amplitude * next();
        }
        return out;
    }

private:
    uint32_t state;
};

// Centre of gravity of an impulse response over [from, to): its delay at 0 Hz.
inline double centroid(const std::vector<float>& signal, int32_t from, int32_t to) {
    double weighted = 0.0, total = 0.0;
    for (int32_t i = from; i < to; ++i) {
        weighted += i * static_cast<double>(signal[i]);
        total += signal[i];
    }
    return total != 0.0 ? weighted / total : -1.0;
}

inline double maxAbsDifference(const std::vector<float>& a, const std::vector<float>& b) {
    double worst = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        worst = std::max(worst, std::fabs(static_cast<double>(a[i]) - b[i]));
    }
    return worst;
}

} // namespace enginetest
