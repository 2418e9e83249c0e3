// The core at work: a parameter change as the parameter table says (with the arithmetic of
// each engine setting), the block with its deferred rebuild, and the engine taken for
// re-sizing on the control thread while blocks pass the dry signal.
#include "effect/ReverbCore.h"

#include "engine/SampleRate.h"

#include <cmath>
#include <cstring>
#include <thread>

namespace {

// Truncates toward zero to a 32-bit whole number (values here are 0 to 16).
int32_t truncated(double value) {
    return static_cast<int32_t>(value);
}

// Writes the direct signal, dry x input, into the outputs the host provided,
// for a block that arrives while the engine's storage is being re-sized.
// Both inputs are read before either output is written, so outputs may be
// any of the input buffers; a missing input gives silence.
void passDrySignal(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                   float* outRight, float dry) {
    const double gain = dry;
    for (int32_t i = 0; i < frames; ++i) {
        const double l = inLeft ? inLeft[i] : 0.0;
        const double r = inRight ? inRight[i] : 0.0;
        if (outLeft) {
            outLeft[i] = inLeft ? static_cast<float>(gain * l) : 0.0f;
        }
        if (outRight) {
            outRight[i] = inRight ? static_cast<float>(gain * r) : 0.0f;
        }
    }
}

} // namespace

ReverbCore::ReverbCore(int32_t sampleRate) : engine(sampleRate) {
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        values[i].store(0.0f, std::memory_order_relaxed);
    }
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        setParameter(i, kNamedParameters[i].defaultValue);
    }
}

float ReverbCore::levelGain(float value) {
    const float exponent = static_cast<float>((static_cast<double>(value) - 0.9) * 10.0);
    return static_cast<float>(std::pow(2.0, static_cast<double>(exponent)));
}

bool ReverbCore::setParameter(int32_t index, float value) {
    if (!normaliseParameterValue(value)) {
        return false;
    }
    if (index < 0 || index >= kNamedParameterCount) {
        return true;
    }
    values[index].store(value, std::memory_order_relaxed);
    const ParameterInfo& parameter = kNamedParameters[index];
    switch (parameter.change) {
    case kEngineSetting:
        applyEngineSetting(index, value);
        break;
    case kOutputGain:
        (index == kDryLevel ? dryGain : reverbGain)
            .store(levelGain(value), std::memory_order_relaxed);
        break;
    case kStoredOnly:
        break;
    }
    // rebuildPending is raised after the engine setting it depends on has been
    // stored (release), so the block that consumes it sees that setting.
    if (parameter.rebuilds) {
        rebuildPending.store(true, std::memory_order_release);
    }
    return true;
}

void ReverbCore::applyEngineSetting(int32_t index, float value) {
    const double v = value;
    switch (index) {
    case kPreDelay:
        engine.setPreDelay(static_cast<float>(v * 0.98));
        break;
    case kLowpassCutoff:
        engine.setLowpassCutoff(static_cast<float>(v + 0.1));
        break;
    case kHighpassCutoff:
        engine.setHighpassCutoff(value);
        break;
    case kStereoSeparation:
        engine.setSeparation(static_cast<float>(v * 0.98 + 0.001));
        break;
    default:
        break;
    }
}

float ReverbCore::getParameter(int32_t index) const {
    if (index < 0 || index >= kNamedParameterCount) {
        return 0.0f;
    }
    return values[index].load(std::memory_order_relaxed);
}

void ReverbCore::process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                         float* outRight) {
    if (frames < 0) {
        return; // no block at all: nothing to write
    }
    const float dry = dryGain.load(std::memory_order_relaxed);
    int32_t expected = kEngineIdle;
    if (!engineState.compare_exchange_strong(expected, kEngineProcessing, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
        // The control thread is re-sizing the engine: leave it alone and let
        // the direct signal through for this block.
        passDrySignal(frames, inLeft, inRight, outLeft, outRight, dry);
        return;
    }
    // Cleared before the rebuild, so that a change arriving meanwhile raises
    // it again for the next block. Read first: most blocks find it down, and
    // a plain load costs them less than the exchange.
    if (rebuildPending.load(std::memory_order_relaxed) &&
        rebuildPending.exchange(false, std::memory_order_acquire)) {
        rebuildEngine();
    }
    // The engine processes a block longer than its capacity in pieces of at
    // most the capacity, and answers missing channels with silence.
    engine.process(frames, inLeft, inRight, outLeft, outRight, dry,
                   reverbGain.load(std::memory_order_relaxed));
    engineState.store(kEngineIdle, std::memory_order_release);
}

void ReverbCore::rebuildEngine() {
    const float length = values[kLength].load(std::memory_order_relaxed);
    const float mode = values[kMode].load(std::memory_order_relaxed);
    const float roomSize = values[kRoomSize].load(std::memory_order_relaxed);
    // One rebuild with all three settings, equal to setLength, setMode and setRoomSize in
    // this order, each of which would rebuild the whole network.
    engine.rebuild(length, truncated(static_cast<double>(mode) * 16.0), roomSize);
}

bool ReverbCore::setSampleRate(int32_t rate) {
    if (!isUsableSampleRate(rate)) {
        return false;
    }
    acquireEngineForResize();
    const bool done = engine.setSampleRate(rate);
    releaseEngine();
    return done;
}

bool ReverbCore::setBlockSize(int32_t frames) {
    if (frames < 1 || frames > kMaxBlockSize) {
        return false;
    }
    acquireEngineForResize();
    if (engine.getBlockCapacity() != frames) {
        engine.setBlockSize(frames);
    }
    releaseEngine();
    return engine.getBlockCapacity() == frames;
}

void ReverbCore::reset() {
    acquireEngineForResize();
    engine.reset();
    rebuildPending.store(true, std::memory_order_release);
    releaseEngine();
}

void ReverbCore::acquireEngineForResize() {
    for (;;) {
        int32_t expected = kEngineIdle;
        if (engineState.compare_exchange_weak(expected, kEngineResizing, std::memory_order_acquire,
                                              std::memory_order_relaxed)) {
            return;
        }
        std::this_thread::yield();
    }
}

void ReverbCore::releaseEngine() {
    engineState.store(kEngineIdle, std::memory_order_release);
}
