// Synthesizing the demo input: kick, snare, hi-hat and plucked strings placed on two bars and
// a closing chord, normalised to a peak of 0.8.
#include "tools/fumara-render/DemoInput.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5; // seconds: 120 beats per minute

// A fixed noise sequence, -1 to 1.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state;
};

class Mix {
public:
    Mix(DemoAudio& audio) : audio(audio) {}

    // Adds one sample at `index`, placed by equal-power panning (0 left, 1 right).
    void add(size_t index, double value, double pan) {
        if (index >= audio.left.size()) {
            return;
        }
        audio.left[index] += static_cast<float>(value * std::cos(pan * kPi / 2));
        audio.right[index] += static_cast<float>(value * std::sin(pan * kPi / 2));
    }

    DemoAudio& audio;
};

size_t frameAt(double seconds, int32_t rate) {
    return static_cast<size_t>(seconds * rate + 0.5);
}

// A kick drum: a sine falling from 120 Hz to 45 Hz with a short click.
void kick(Mix& mix, double at, int32_t rate, double level) {
    Noise noise(7);
    const size_t start = frameAt(at, rate);
    const size_t length = frameAt(0.45, rate);
    double phase = 0.0;
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double frequency = 45.0 + 75.0 * std::exp(-t / 0.04);
        phase += 2.0 * kPi * frequency / rate;
        const double body = std::sin(phase) * std::exp(-t / 0.16);
        const double click = noise.next() * std::exp(-t / 0.0015) * 0.3;
        mix.add(start + i, level * (body + click), 0.5);
    }
}

// A snare drum: a short tone under bright noise.
void snare(Mix& mix, double at, int32_t rate, double level) {
    Noise noise(11);
    const size_t start = frameAt(at, rate);
    const size_t length = frameAt(0.35, rate);
    double previous = 0.0;
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double n = noise.next();
        const double bright = n - 0.6 * previous; // tilts the noise towards the top
        previous = n;
        const double tone = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t / 0.05);
        const double value = 0.55 * bright * std::exp(-t / 0.09) + 0.45 * tone;
        mix.add(start + i, level * value, 0.42);
    }
}

// A closed hi-hat: high-passed noise with a very short decay.
void hat(Mix& mix, double at, int32_t rate, double level, double decay) {
    Noise noise(static_cast<uint32_t>(at * 1000.0) + 3u);
    const size_t start = frameAt(at, rate);
    const size_t length = frameAt(decay * 8.0, rate);
    double a = 0.0, b = 0.0;
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double n = noise.next();
        const double high = n - 2.0 * a + b; // second difference: only the highs
        b = a;
        a = n;
        mix.add(start + i, level * 0.25 * high * std::exp(-t / decay), 0.68);
    }
}

// A plucked string (a looped, averaged noise burst).
void pluck(Mix& mix, double at, double frequency, int32_t rate, double level, double pan) {
    const size_t period = std::max<size_t>(2, static_cast<size_t>(rate / frequency + 0.5));
    std::vector<double> loop(period);
    Noise noise(static_cast<uint32_t>(frequency * 10.0));
    for (double& v : loop) {
        v = noise.next();
    }
    const size_t start = frameAt(at, rate);
    const size_t length = frameAt(1.4, rate);
    double smooth = 0.0;
    for (size_t i = 0; i < length; ++i) {
        const size_t k = i % period;
        const double value = loop[k];
        loop[k] = 0.5 * (loop[k] + loop[(k + 1) % period]) * 0.997;
        smooth += 0.5 * (value - smooth); // softens the attack
        const double t = static_cast<double>(i) / rate;
        const double fade = t > 1.2 ? std::max(0.0, 1.0 - (t - 1.2) / 0.2) : 1.0;
        mix.add(start + i, level * smooth * fade, pan);
    }
}

} // namespace

DemoAudio makeDemoInput(int32_t sampleRate) {
    DemoAudio audio;
    audio.sampleRate = sampleRate;
    const size_t frames = frameAt(kDemoSeconds, sampleRate);
    audio.left.assign(frames, 0.0f);
    audio.right.assign(frames, 0.0f);
    Mix mix(audio);

    // Two bars of four beats, then one closing hit on the first beat of bar three.
    for (double beat : {0.0, 2.0, 2.75, 4.0, 6.0, 6.5}) {
        kick(mix, beat * kBeat, sampleRate, 0.9);
    }
    for (double beat : {1.0, 3.0, 5.0, 7.0}) {
        snare(mix, beat * kBeat, sampleRate, 0.7);
    }
    for (int eighth = 0; eighth < 16; ++eighth) {
        const bool offbeat = eighth % 2 == 1;
        hat(mix, eighth * kBeat / 2.0, sampleRate, offbeat ? 0.5 : 0.3, offbeat ? 0.03 : 0.02);
    }
    // A line in A minor pentatonic, alternating left and right of centre.
    const struct {
        double beat;
        double frequency;
    } notes[] = {{0.0, 220.00}, {0.5, 329.63}, {1.0, 392.00}, {1.5, 440.00},  {2.5, 392.00},
                 {3.0, 329.63}, {3.5, 293.66}, {4.0, 220.00}, {4.75, 261.63}, {5.5, 329.63},
                 {6.0, 392.00}, {6.5, 440.00}, {7.0, 523.25}, {7.5, 587.33}};
    int n = 0;
    for (const auto& note : notes) {
        pluck(mix, note.beat * kBeat, note.frequency, sampleRate, 0.45, n++ % 2 ? 0.3 : 0.7);
    }
    // The closing hit: kick, snare and an A minor chord, then silence for the tail.
    kick(mix, 8.0 * kBeat, sampleRate, 0.9);
    snare(mix, 8.0 * kBeat, sampleRate, 0.6);
    for (double frequency : {220.00, 329.63, 440.00, 523.25}) {
        pluck(mix, 8.0 * kBeat, frequency, sampleRate, 0.3, 0.5);
    }

    // Peak at 0.8 of full scale.
    float peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        peak = std::max({peak, std::fabs(audio.left[i]), std::fabs(audio.right[i])});
    }
    if (peak > 0.0f) {
        const float gain = 0.8f / peak;
        for (size_t i = 0; i < frames; ++i) {
            audio.left[i] *= gain;
            audio.right[i] *= gain;
        }
    }
    return audio;
}

} // namespace render
