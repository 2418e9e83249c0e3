// The reverb's reflections: 32 taps over the history of the pre-delayed mono signal, each
// tap's gain wandering with the looped noise table at its own phase.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

// For each sample, the 32 taps in order: wet += (history[t - reach] * gain) * noise[phase],
// each sum rounded to float, every tap's noise phase advancing by one per sample; the sample
// is appended to the history after its taps have read it.
//
// How the work is laid out (the results are those of the sample-by-sample sum):
// - The history is a ring of historyLength + kPiece samples plus a copy of its first kPiece
//   samples past its end. A piece of up to kPiece samples is appended before its taps read,
//   and each tap then reads one contiguous run: the samples it needs are never overwritten,
//   and the copy keeps runs across the ring's end contiguous.
// - The noise table is followed by its continuation (the table from its start again), so each
//   tap's noise run of up to kPiece samples is contiguous too.
// - Every sample's taps reach at least minReach samples back, so its reflections can be
//   computed before it arrives, from the history alone. For short calls the stage keeps up
//   to kAhead samples of reflections computed ahead in one vector pass, instead of running
//   the 32 taps' dependent sums for a handful of samples each call.
class Reflections {
public:
    static constexpr int kTaps = 32;
    // Samples appended and read per pass.
    static constexpr int32_t kPiece = 1024;
    // Reflections computed ahead for short calls, and the calls that use them.
    static constexpr int32_t kAhead = 256;
    static constexpr int32_t kAheadGrain = 8;
    static constexpr int32_t kShortCall = 64;

    Reflections() = default;
    Reflections(const Reflections&) = delete;
    Reflections& operator=(const Reflections&) = delete;

    // Storage (control thread). A history of `samples` samples, cleared; answers false and
    // keeps the one it has when the allocation fails.
    bool setHistoryLength(int32_t samples);
    // A noise table of `samples` entries, to be filled through noiseTable() and then
    // completed with noiseFilled().
    bool setNoiseLength(int32_t samples);
    float* noiseTable() { return noise.get(); }
    const float* noiseTable() const { return noise.get(); }
    void noiseFilled();
    bool ready() const { return ring && noise; }

    // The taps' delays in samples and gains (a new layout, from a rebuild on the audio thread).
    void layOut(const int32_t* delays, const float* gains);
    // Each tap's place in the noise table, and an empty history (control thread).
    void restart(const int32_t* noisePositions);

    // The reflections of `frames` pre-delayed samples into `wet`; appends them to the history.
    void process(const float* mono, float* wet, int32_t frames);
    // The same for a call of fewer than kShortCall samples, served from the look-ahead without
    // process()'s passes over pieces (process() fills the look-ahead when it runs short).
    void processFew(const float* mono, float* wet, int32_t frames) {
        if (aheadCount < frames) {
            process(mono, wet, frames);
            return;
        }
        copy(wet, ahead + aheadFrom, frames);
        aheadFrom += frames;
        aheadCount -= frames;
        append(mono, frames);
    }

    int32_t historyLength() const { return length; }
    int32_t noiseLength() const { return noiseSize; }
    // Where the next sample goes in a history of historyLength() samples.
    int32_t historyPosition() const { return position; }
    // A tap's place in the noise table for the next sample.
    int32_t noisePosition(int tap) const;

private:
    // Appends `count` samples of `mono` to the history: in place when they land inside the
    // ring, away from its start and its copy and short of the history's end (a short call's
    // usual case), otherwise through appendAcross, which also keeps the copy and wraps.
    void append(const float* mono, int32_t count) {
        const int32_t at = ringPos;
        if (at >= kPiece && at + count < ringSize && position + count < length) {
            copy(ring.get() + at, mono, count);
            ringPos = at + count;
            position += count;
            return;
        }
        appendAcross(mono, count);
    }
    void appendAcross(const float* mono, int32_t count);
    // A copy of a few floats: one is stored directly, more go through the library's copy,
    // which is quicker than an element loop from a handful on.
    static void copy(float* to, const float* from, int32_t count) {
        if (count == 1) {
            *to = *from;
        } else {
            std::memcpy(to, from, sizeof(float) * static_cast<size_t>(count));
        }
    }
    // The reflections of the `count` samples from the current frontier on into `wet`; moves the
    // frontier on. ringAt is the ring position of the frontier's sample.
    void computeRun(float* wet, int32_t count, int32_t ringAt);
    // Fills the look-ahead as far as the history allows.
    void fillAhead();
    // Drops what was computed ahead: the noise phases go back to the next sample's.
    void dropAhead();

    std::unique_ptr<float[]> ring; // ringSize samples, then kPiece copied from its start
    int32_t ringSize = 0;
    int32_t ringPos = 0;            // where the next sample goes
    int32_t length = 0;             // the history's length, which folds the tap delays
    int32_t position = 0;           // the next sample's place in a history of that length
    std::unique_ptr<float[]> noise; // noiseSize entries, then kPiece continuing from the start
    int32_t noiseSize = 0;
    int32_t reach[kTaps] = {}; // tap delays folded into 1..length
    double gain[kTaps] = {};
    int32_t phase[kTaps] = {}; // noise positions at the frontier
    int32_t minReach = 1;
    float ahead[kAhead] = {}; // reflections of the next samples, from aheadFrom on
    int32_t aheadFrom = 0;
    int32_t aheadCount = 0; // how many; the frontier is that many samples ahead
};
