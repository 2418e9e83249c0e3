// A plain sample-by-sample transcription of the reverb's algorithms, written for clarity and
// not for speed. The engine's optimised paths are measured against it.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

struct Generator {
    uint32_t state = 1;
    void seed(uint32_t s) { state = s; }
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 32767u);
    }
};

class Filter {
public:
    explicit Filter(const int32_t* rate);
    void reset(uint32_t n);
    void setType(int32_t type, float amount);
    void process(uint32_t count, float* buffer, bool mixing);
    float cutoff = 0.0f;
    float mix = 0.5f;

private:
    void design();
    const int32_t* rate;
    int32_t kind = 0;
    float damping = 0.9f;
    int32_t countdown = 1;
    int32_t holdSamples = 4;
    uint32_t sections = 2;
    float state[7] = {};
    double coefficients[13] = {};
    float lastCutoff = -1.0f;
    float lastDamping = -1.0f;
    double prototype[3][6] = {};
};

class Delay {
public:
    Delay(int32_t length, const int32_t* rate);
    void setLength(int32_t length);
    void setEchoFilter(bool on) { echoFilterOn = on; }
    void process(const float* input, float* output, int32_t count, float scale, float feedback,
                 float mix);
    int32_t length = 7;

private:
    Filter echoFilter;
    std::vector<float> cells;
    bool echoFilterOn = false;
    float readPos = 0, readOffset = -0.75f, lastReadPos = 0, lastInput = 0, olderInput = 0;
    int32_t lastCell = 0, writeCell = 0;
    float step = 0, lastStep = 1, coefA = 0, coefB = 0;
};

class Reverb {
public:
    // `generator` plays the library-wide generator; `rate` the library-wide sample rate.
    Reverb(Generator& generator, int32_t rate);
    void setLength(float value);
    void setMode(int32_t mode);
    void setRoomSize(float size);
    void setLowpassCutoff(float v) { lowpassCutoff = static_cast<float>(v * 0.8); }
    void setHighpassCutoff(float v) { highpassCutoff = static_cast<float>(v * 0.8); }
    void setSeparation(float v) { separation = v; }
    void setPreDelay(float v) { preDelay = v; }
    void setBlockSize(int32_t frames);
    void process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                 float* outRight, float dry, float wet);

    int32_t tapDelay[32] = {};
    float tapGain[32] = {};
    int32_t tapNoisePos[32] = {};
    std::vector<float> noiseTable;
    int32_t noiseLength = 0;
    int32_t tailCounter = 0;

private:
    Generator& generator;
    int32_t rate;
    float length = 1.0f, roomSize = 0.5f, feedback1 = 0, feedback2 = 0;
    int32_t roomIndex = 0, mode = 0, historyLength = 0, historyPos = 0;
    float lowpassCutoff = 0.35f, highpassCutoff = 0.001f, separation = 0.5f, preDelay = 0.0f;
    Filter lowpass, highpass;
    Delay separationLine, preDelayLine, combLine1, combLine2;
    std::vector<float> history, wetLeft, wetRight, mono;
};

} // namespace reference
