// The reverb engine at work: building and rebuilding the network (noise table, tap layout,
// delay lengths), its settings, storage for rate and block size, and the block's steps.
#include "engine/Reverb.h"

#include "engine/FloatMode.h"
#include "engine/MixKernels.h"
#include "engine/Random.h"
#include "engine/SampleRate.h"
#include "engine/Trace.h"
#include "engine/Tuning.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

using namespace tuning;

// The engine's two filters: one section each, a low-pass and its complementary high-pass.
constexpr int32_t kLowpassType = Filter::typeCode(Filter::kLowpass, 1);
constexpr int32_t kHighpassType = Filter::typeCode(Filter::kComplementary, 1);

std::unique_ptr<float[]> allocateZeroed(int32_t count) {
    if (count < 1) {
        count = 1;
    }
    return std::unique_ptr<float[]>(new (std::nothrow) float[static_cast<size_t>(count)]());
}

// NaN takes the lower bound.
float clampSetting(float value, float low, float high) {
    if (!(value >= low)) {
        return low;
    }
    if (value > high) {
        return high;
    }
    return value;
}

// Tap spacing in samples: trunc(2 * roomIndex * rate * kSpacingPerStep), at least kMinSpacing.
int32_t spacingFor(int32_t roomIndex, int32_t rate) {
    const int32_t s = static_cast<int32_t>(2.0 * roomIndex * rate * kSpacingPerStep);
    return s < kMinSpacing ? kMinSpacing : s;
}

int32_t roomIndexFor(float size) {
    return static_cast<int32_t>(static_cast<double>(size) * kRoomSteps + kRoomBase);
}

// A random draw as a fraction in 0..1 (steps of 1 / kDrawSteps).
double drawFraction(int32_t draw) {
    return (draw % kDrawSteps) / static_cast<double>(kDrawSteps);
}

} // namespace

Reverb::Reverb() : Reverb(usableSampleRate(kDefaultSampleRate)) {}

Reverb::Reverb(int32_t rate) : sampleRate(isUsableSampleRate(rate) ? rate : kDefaultSampleRate) {
    traceHook("Create Reverb", 0);
    lowpass.setSampleRate(sampleRate);
    highpass.setSampleRate(sampleRate);
    lowpassCutoff.store(0.35f, std::memory_order_relaxed);
    highpassCutoff.store(0.001f, std::memory_order_relaxed);
    tailCounter = 0;
    length = 1.0f;
    roomSize = 0.5f;
    preDelay.store(0.0f, std::memory_order_relaxed);
    separation.store(0.5f, std::memory_order_relaxed);

    separationLine.reset(new Delay(40));
    preDelayLine.reset(new Delay(static_cast<int32_t>(sampleRate * 0.5)));
    combLine1.reset(new Delay(40));
    combLine2.reset(new Delay(40));

    int32_t noiseLength = static_cast<int32_t>(sampleRate * kNoiseSeconds);
    if (noiseLength < 1) {
        noiseLength = 1;
    }
    reflections.setNoiseLength(noiseLength);
    {
        RandomSequence draws(randomState());
        for (int j = 0; j < kTaps; ++j) {
            initialNoisePos[j] = draws.next() % noiseLength;
        }
        randomSeed(draws.state());
    }
    buildNoiseTable(noiseLength);

    setBlockSize(kDefaultBlockSize);

    reflections.setHistoryLength(kHistorySeconds * sampleRate);
    reflections.restart(initialNoisePos);

    reserveDelays();
    rebuild(length, 0, 0.5f);
    updating.store(0, std::memory_order_relaxed);
}

Reverb::~Reverb() {
    traceHook("Destroy Reverb", 0);
}

void Reverb::buildNoiseTable(int32_t n) {
    float* table = reflections.noiseTable();
    RandomSequence draws(randomState());
    for (int32_t i = 0; i < n; ++i) {
        const float value = static_cast<float>(drawFraction(draws.next()) * kNoiseAmplitude);
        if (table) {
            table[i] = value;
        }
    }
    randomSeed(draws.state());
    if (!table) {
        return;
    }

    // Smooth the noise with the engine's low-pass.
    lowpass.setType(kLowpassType, kFilterAmount);
    highpass.setType(kHighpassType, kFilterAmount);
    lowpass.cutoff = kNoiseSmoothing;
    lowpass.process(static_cast<uint32_t>(n), table, false);

    // Fade both ends so the loop point does not click (limited to the table for tiny rates).
    const double fade = kNoiseFade;
    for (int32_t i = 0; i < kNoiseFade && i < n; ++i) {
        table[i] = static_cast<float>(table[i] * (i / fade));
    }
    for (int32_t i = std::max(n - kNoiseFade, 0); i < n; ++i) {
        table[i] = static_cast<float>(table[i] * ((n - i) / fade));
    }
    for (int32_t i = 0; i < n; ++i) {
        table[i] = static_cast<float>(table[i] + kNoiseOffset);
    }

    lowpass.setType(kLowpassType, kFilterAmount);
    reflections.noiseFilled();
}

void Reverb::reserveDelays() {
    // The longest lines any accepted setting asks for at this rate, so that rebuilds on the
    // audio thread reuse storage.
    const int32_t widest = spacingFor(roomIndexFor(kMaxRoomSize), sampleRate);
    const int32_t lastTap = 32 * widest;
    const int32_t comb1 = lastTap + widest;
    const int32_t comb2 = static_cast<int32_t>(comb1 * kComb2Ratio) + 1;
    const int32_t preDelayMax = static_cast<int32_t>(1.0 * kPreDelaySeconds * sampleRate) + 1;
    separationLine->reserve(widest + 1);
    preDelayLine->reserve(preDelayMax);
    combLine1->reserve(comb1);
    combLine2->reserve(comb2);
    for (Delay* line :
         {separationLine.get(), preDelayLine.get(), combLine1.get(), combLine2.get()}) {
        line->setSampleRate(sampleRate);
    }
}

void Reverb::setLength(float value) {
    length = value;
    updating.store(1, std::memory_order_relaxed);
    linesSteady = false;
    const int32_t rate = sampleRate;
    const double pre = preDelay.load(std::memory_order_relaxed);
    preDelayLine->setLength(static_cast<int32_t>(pre * kPreDelaySeconds * rate));
    const double sep = separation.load(std::memory_order_relaxed);
    separationLine->setLength(static_cast<int32_t>(tapDelay[0] * sep));
    lowpass.setType(kLowpassType, kFilterAmount);
    highpass.setType(kHighpassType, kFilterAmount);
    const int32_t combLength = tapDelay[kTaps - 1] + tapDelay[0];
    combLine1->setLength(combLength);
    combLine2->setLength(static_cast<int32_t>(combLength * kComb2Ratio));
    combLine1->setEchoFilter(true);
    const float p = static_cast<float>(std::pow(roomIndex / kFeedbackRoomScale, kFeedbackPower));
    feedback1 = static_cast<float>(p + kFeedbackFloor);
    feedback2 = static_cast<float>(p * kFeedback2Share + kFeedbackFloor);
    updating.store(0, std::memory_order_relaxed);
}

void Reverb::setMode(int32_t value) {
    mode = value < 0 ? 0 : (value > 2 ? 2 : value);
    setRoomSize(roomSize);
}

void Reverb::rebuild(float lengthValue, int32_t modeValue, float size) {
    length = lengthValue;
    mode = modeValue < 0 ? 0 : (modeValue > 2 ? 2 : modeValue);
    setRoomSize(size);
}

void Reverb::layOutTaps(float size) {
    roomSize = size;
    roomIndex = roomIndexFor(size);
    spacing = spacingFor(roomIndex, sampleRate);
    const int32_t half = spacing / 2;
    // Every layout starts from seed 0, so one room size at one rate always gives the same
    // taps; the shared generator continues from where the layout left it.
    RandomSequence draws(0);
    int32_t t = spacing;
    for (int j = 0; j < kTaps; ++j) {
        tapDelay[j] = t;
        t = t + half + draws.next() % half;
        float g = static_cast<float>(drawFraction(draws.next()));
        g = static_cast<float>(g * kTapGainSpread);
        g = static_cast<float>(g + kTapGainBase);
        if (j & 1) {
            g = -g;
        }
        tapGain[j] = g;
    }
    randomSeed(draws.state());
    reflections.layOut(tapDelay, tapGain);
    tailLength =
        static_cast<int32_t>(kTailSeconds * sampleRate +
                             static_cast<double>(sampleRate) * roomSize * kTailSecondsPerRoom);
}

void Reverb::setRoomSize(float size) {
    layOutTaps(clampSetting(size, 0.0f, kMaxRoomSize));
    setLength(length);
}

void Reverb::setLowpassCutoff(float value) {
    if (std::isnan(value)) {
        value = 0.0f;
    }
    lowpassCutoff.store(static_cast<float>(value * kCutoffScale), std::memory_order_relaxed);
}

void Reverb::setHighpassCutoff(float value) {
    if (std::isnan(value)) {
        value = 0.0f;
    }
    highpassCutoff.store(static_cast<float>(value * kCutoffScale), std::memory_order_relaxed);
}

void Reverb::setSeparation(float value) {
    separation.store(clampSetting(value, 0.0f, 1.0f), std::memory_order_relaxed);
}

void Reverb::setPreDelay(float value) {
    preDelay.store(clampSetting(value, 0.0f, 1.0f), std::memory_order_relaxed);
}

void Reverb::sampleRateChanged() {
    setSampleRate(currentSampleRate);
}

bool Reverb::setSampleRate(int32_t rate) {
    if (!isUsableSampleRate(rate)) {
        return rate == sampleRate;
    }
    if (!reflections.setHistoryLength(kHistorySeconds * rate)) {
        return rate == sampleRate; // keep the storage and rate we have
    }
    sampleRate = rate;
    lowpass.setSampleRate(rate);
    highpass.setSampleRate(rate);
    reserveDelays();
    setRoomSize(roomSize);
    return true;
}

void Reverb::reset() {
    reflections.restart(initialNoisePos);
    tailCounter = 0;
    // The rebuild silences the delay lines and clears both filters.
    setRoomSize(roomSize);
}

void Reverb::setBlockSize(int32_t frames) {
    if (frames < 1) {
        return; // no usable size: keep the buffers we have
    }
    if (frames > kMaxBlockSize) {
        frames = kMaxBlockSize;
    }
    std::unique_ptr<float[]> left = allocateZeroed(frames);
    std::unique_ptr<float[]> right = allocateZeroed(frames);
    std::unique_ptr<float[]> sum = allocateZeroed(frames);
    if (!left || !right || !sum) {
        return;
    }
    wetLeft = std::move(left);
    wetRight = std::move(right);
    mono = std::move(sum);
    blockCapacity = frames;
}

void Reverb::process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                     float* outRight, float dry, float wet) {
    if (frames <= 0) {
        return;
    }
    const bool ready = reflections.ready() && blockCapacity > 0;
    if (!inLeft || !inRight || !outLeft || !outRight || !ready) {
        if (outLeft) {
            std::memset(outLeft, 0, sizeof(float) * static_cast<size_t>(frames));
        }
        if (outRight) {
            std::memset(outRight, 0, sizeof(float) * static_cast<size_t>(frames));
        }
        return;
    }
    ScopedFlushDenormals flushDenormals;
    while (frames > 0) {
        const int32_t n = std::min(frames, blockCapacity);
        processBlock(n, inLeft, inRight, outLeft, outRight, dry, wet);
        inLeft += n;
        inRight += n;
        outLeft += n;
        outRight += n;
        frames -= n;
    }
}

void Reverb::processBlock(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                          float* outRight, float dry, float wet) {
    const size_t bytes = sizeof(float) * static_cast<size_t>(frames);
    // The threshold is the float 0.00001, so a wet gain of exactly 0.00001 is still processed.
    if (updating.load(std::memory_order_relaxed) != 0 || wet < kWetSkipThreshold) {
        std::memset(outLeft, 0, bytes);
        std::memset(outRight, 0, bytes);
        return;
    }

    // 1. Mono sum and signal detection (the right threshold is ten times the left one).
    float* sum = mono.get();
    const bool signal = frames <= kSteppedBlock
                            ? monoSumOfFew(inLeft, inRight, sum, frames, kInputLimit)
                            : monoSum(inLeft, inRight, sum, frames, kInputLimit);

    // 2. Tail gate: 2 seconds plus 6 seconds per unit of room size after the last signal.
    if (signal) {
        tailCounter = tailLength;
    } else {
        tailCounter -= frames;
        if (tailCounter <= 0) {
            tailCounter = 0;
            std::memset(outLeft, 0, bytes);
            std::memset(outRight, 0, bytes);
            return;
        }
    }

    // The filters around the first comb take the cutoffs set since the last block.
    lowpass.mix = kLowpassMix;
    lowpass.cutoff = lowpassCutoff.load(std::memory_order_relaxed);
    highpass.cutoff = highpassCutoff.load(std::memory_order_relaxed);
    if (frames <= kSteppedBlock &&
        stepStages(frames, inLeft, inRight, outLeft, outRight, dry, wet)) {
        return;
    }
    runStages(frames, inLeft, inRight, outLeft, outRight, dry, wet);
}

Delay::Chain Reverb::comb1Filters() {
    Delay::Chain filters;
    filters.inputFilter = &lowpass;
    filters.inputMixing = true;
    filters.outputFilter = &highpass;
    return filters;
}

void Reverb::runStages(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                       float* outRight, float dry, float wet) {
    float* sum = mono.get();
    float* left = wetLeft.get();
    float* right = wetRight.get();

    // 3. Pre-delay, in place.
    preDelayLine->process(sum, sum, frames, kLineScale, 0.0f, 1.0f);
    // 4. Reflections into the left work buffer.
    reflections.process(sum, left, frames);
    // 5. to 7. Low-pass (blended with its input), first comb with its echo filter, high-pass.
    // The two filters run inside the comb's loop, sample by sample, with the same result as
    // three passes over the block.
    combLine1->process(left, right, frames, kLineScale, feedback1, kComb1Mix, comb1Filters());
    // 8. Second comb: the left wet signal.
    combLine2->process(right, left, frames, kLineScale, feedback2, kComb2Mix);
    // 9. Stereo separation: the right wet signal is the left one, a little later.
    separationLine->process(left, right, frames, kLineScale, 0.0f, 1.0f);

    // 10. Output mix.
    outputMix(inLeft, inRight, left, right, outLeft, outRight, dry, wet, frames);
}
