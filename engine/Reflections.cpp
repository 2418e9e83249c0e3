// The reflections at work: the history ring and the extended noise table, the tap layout, the
// runs handed to the tap kernel, and the look-ahead for short calls.
#include "engine/Reflections.h"

#include "engine/TapKernel.h"

#include <algorithm>
#include <cstring>
#include <new>

bool Reflections::setHistoryLength(int32_t samples) {
    if (samples < 1) {
        samples = 1;
    }
    const int32_t size = samples + kPiece;
    std::unique_ptr<float[]> fresh(new (std::nothrow) float[static_cast<size_t>(size + kPiece)]());
    if (!fresh) {
        return false;
    }
    dropAhead();
    ring = std::move(fresh);
    ringSize = size;
    ringPos = 0;
    length = samples;
    position = 0;
    return true;
}

bool Reflections::setNoiseLength(int32_t samples) {
    if (samples < 1) {
        samples = 1;
    }
    std::unique_ptr<float[]> fresh(
        new (std::nothrow) float[static_cast<size_t>(samples + kPiece)]());
    if (!fresh) {
        return false;
    }
    noise = std::move(fresh);
    noiseSize = samples;
    return true;
}

void Reflections::noiseFilled() {
    float* table = noise.get();
    if (!table) {
        return;
    }
    for (int32_t k = 0; k < kPiece; ++k) {
        table[noiseSize + k] = table[k % noiseSize];
    }
}

void Reflections::layOut(const int32_t* delays, const float* gains) {
    dropAhead();
    int32_t shortest = length > 0 ? length : 1;
    for (int j = 0; j < kTaps; ++j) {
        // A tap reaching further back than the history reads the sample that many samples
        // back modulo the history's length (only at rates of a few hundred hertz).
        reach[j] = length > 0 ? (delays[j] - 1) % length + 1 : 1;
        gain[j] = gains[j];
        shortest = std::min(shortest, reach[j]);
    }
    minReach = shortest;
}

void Reflections::restart(const int32_t* noisePositions) {
    if (ring) {
        std::memset(ring.get(), 0, sizeof(float) * static_cast<size_t>(ringSize + kPiece));
    }
    ringPos = 0;
    position = 0;
    aheadFrom = 0;
    aheadCount = 0;
    std::memcpy(phase, noisePositions, sizeof phase);
}

int32_t Reflections::noisePosition(int tap) const {
    int32_t p = phase[tap] - aheadCount;
    while (p < 0) {
        p += noiseSize;
    }
    return p;
}

void Reflections::dropAhead() {
    for (int j = 0; j < kTaps; ++j) {
        phase[j] = noisePosition(j);
    }
    aheadFrom = 0;
    aheadCount = 0;
}

void Reflections::process(const float* mono, float* wet, int32_t frames) {
    // Samples computed ahead first, after filling them in for a short call.
    if (frames < kShortCall && aheadCount < frames) {
        fillAhead();
    }
    const int32_t taken = std::min(frames, aheadCount);
    std::memcpy(wet, ahead + aheadFrom, sizeof(float) * static_cast<size_t>(taken));
    aheadFrom += taken;
    aheadCount -= taken;
    // Then, piece by piece, the samples into the history and the rest of their reflections.
    for (int32_t from = 0; from < frames; from += kPiece) {
        const int32_t to = std::min(frames, from + kPiece);
        const int32_t at = ringPos;
        append(mono + from, to - from);
        if (to > taken) {
            const int32_t first = std::max(from, taken);
            int32_t ringAt = at + (first - from);
            if (ringAt >= ringSize) {
                ringAt -= ringSize;
            }
            computeRun(wet + first, to - first, ringAt);
        }
    }
}

void Reflections::fillAhead() {
    // A sample's taps reach at least minReach samples back: the reflections of the next
    // minReach samples read only samples the history already holds.
    int32_t count = std::min(kAhead, minReach) - aheadCount;
    // Whole vectors of the widest level, so that no tap runs a tail.
    if (count > kAheadGrain) {
        count -= count % kAheadGrain;
    }
    if (count <= 0) {
        return;
    }
    if (aheadFrom > 0) {
        std::memmove(ahead, ahead + aheadFrom, sizeof(float) * static_cast<size_t>(aheadCount));
        aheadFrom = 0;
    }
    int32_t ringAt = ringPos + aheadCount;
    if (ringAt >= ringSize) {
        ringAt -= ringSize;
    }
    computeRun(ahead + aheadCount, count, ringAt);
    aheadCount += count;
}

void Reflections::computeRun(float* wet, int32_t count, int32_t ringAt) {
    TapRuns runs;
    runs.source = ring.get();
    runs.noise = noise.get();
    runs.gain = gain;
    // Plain loops over the taps, which the compiler runs as vectors. The copy past the ring's
    // end keeps a run that crosses it contiguous.
    for (int j = 0; j < kTaps; ++j) {
        const int32_t from = ringAt - reach[j];
        runs.sourceAt[j] = from < 0 ? from + ringSize : from;
    }
    for (int j = 0; j < kTaps; ++j) {
        runs.noiseAt[j] = phase[j];
    }
    if (count <= noiseSize) {
        for (int j = 0; j < kTaps; ++j) {
            const int32_t next = phase[j] + count;
            phase[j] = next >= noiseSize ? next - noiseSize : next;
        }
    } else {
        for (int j = 0; j < kTaps; ++j) {
            phase[j] = (phase[j] + count) % noiseSize;
        }
    }
    accumulateTaps(wet, count, runs);
}

void Reflections::appendAcross(const float* mono, int32_t count) {
    float* past = ring.get();
    const int32_t at = ringPos;
    const int32_t first = std::min(count, ringSize - at);
    std::memcpy(past + at, mono, sizeof(float) * static_cast<size_t>(first));
    if (at < kPiece) {
        const int32_t copied = std::min(first, kPiece - at);
        std::memcpy(past + ringSize + at, mono, sizeof(float) * static_cast<size_t>(copied));
    }
    const int32_t rest = count - first;
    if (rest > 0) {
        std::memcpy(past, mono + first, sizeof(float) * static_cast<size_t>(rest));
        std::memcpy(past + ringSize, mono + first, sizeof(float) * static_cast<size_t>(rest));
    }
    ringPos = at + count >= ringSize ? at + count - ringSize : at + count;
    position += count;
    if (position >= length) {
        position %= length;
    }
}
