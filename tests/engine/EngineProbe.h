// Test-only access to the engine's internal state. The engine classes declare these probes
// their friends; nothing in the shipped module uses them. probe(x) wraps an engine object.
#pragma once

#include "engine/Delay.h"
#include "engine/Filter.h"
#include "engine/Reverb.h"

#include <cstdint>

struct FilterProbe {
    const Filter& f;
    int32_t getSampleRate() const { return f.sampleRate; }
    int32_t getKind() const { return f.kind; }
    float getDamping() const { return f.damping; }
    uint32_t getSections() const { return f.sections; }
    int32_t getCountdown() const { return f.countdown; }
    double getCoefficient(int index) const { return f.coefficients[index]; }
    float getState(int index) const { return f.state[index]; }
    float getLastCutoff() const { return f.lastCutoff; }
};

struct DelayProbe {
    const Delay& d;
    int32_t getLength() const { return d.length; }
    int32_t getCapacity() const { return d.capacity; }
    bool isBusy() const { return d.updating.load(std::memory_order_relaxed) != 0; }
    bool isEchoFilterOn() const { return d.echoFilterOn; }
    float getReadPos() const { return d.heads.P; }
    float getStep() const { return d.setup.step; }
    float getLastStep() const { return d.heads.q; }
    float getCoefA() const { return d.setup.a; }
    float getCoefB() const { return d.setup.b; }
    const float* getCells() const { return d.buffer.aligned; }
    FilterProbe getEchoFilter() const { return {d.echoFilter}; }
};

struct ReverbProbe {
    const Reverb& r;
    bool isUpdating() const { return r.updating.load(std::memory_order_relaxed) != 0; }
    float getLength() const { return r.length; }
    int32_t getMode() const { return r.mode; }
    float getRoomSize() const { return r.roomSize; }
    int32_t getRoomIndex() const { return r.roomIndex; }
    int32_t getSpacing() const { return r.spacing; }
    float getFeedback1() const { return r.feedback1; }
    float getFeedback2() const { return r.feedback2; }
    int32_t getTapDelay(int tap) const { return r.tapDelay[tap]; }
    float getTapGain(int tap) const { return r.tapGain[tap]; }
    int32_t getTapNoisePos(int tap) const { return r.reflections.noisePosition(tap); }
    int32_t getHistoryLength() const { return r.reflections.historyLength(); }
    int32_t getHistoryPos() const { return r.reflections.historyPosition(); }
    int32_t getNoiseLength() const { return r.reflections.noiseLength(); }
    const float* getNoiseTable() const { return r.reflections.noiseTable(); }
    int32_t getTailCounter() const { return r.tailCounter; }
    float getLowpassCutoff() const { return r.lowpassCutoff.load(std::memory_order_relaxed); }
    float getHighpassCutoff() const { return r.highpassCutoff.load(std::memory_order_relaxed); }
    float getSeparation() const { return r.separation.load(std::memory_order_relaxed); }
    float getPreDelay() const { return r.preDelay.load(std::memory_order_relaxed); }
    DelayProbe getCombLine1() const { return {*r.combLine1}; }
    DelayProbe getCombLine2() const { return {*r.combLine2}; }
    DelayProbe getSeparationLine() const { return {*r.separationLine}; }
    DelayProbe getPreDelayLine() const { return {*r.preDelayLine}; }
    FilterProbe getLowpass() const { return {r.lowpass}; }
    FilterProbe getHighpass() const { return {r.highpass}; }
};

inline FilterProbe probe(const Filter& f) {
    return {f};
}
inline DelayProbe probe(const Delay& d) {
    return {d};
}
inline ReverbProbe probe(const Reverb& r) {
    return {r};
}
