// A delay line: the feedback comb with quadratic write and read heads that the reverb's combs,
// pre-delay and stereo separation are built from.
#pragma once

#include "engine/AlignedAddress.h"
#include "engine/DelayHead.h"
#include "engine/Filter.h"
#include "engine/Tuning.h"

#include <atomic>
#include <cstdint>
#include <limits>

// A circular buffer of `length` cells read by a head that advances length / d cells per
// sample, so that a cell written as the head passes it is read again d samples later. Each
// input sample is spread over the cells just passed by a quadratic through the last three
// inputs; reads interpolate quadratically through three cells. Written cells keep `feedback`
// times their previous content (a feedback comb). An optional echo filter darkens the value
// read for the output.
//
// Cells 0 and 1 are mirrored past the last cell (at length and length + 1), so the three
// cells of a read are always consecutive in memory.
//
// The line keeps a capacity: setLength() reuses the cells it already owns and allocates only
// for a longer line, so an owner that reserves the longest length it will ask for can resize
// the line on the audio thread without touching the heap.
class Delay {
public:
    // The longest line: beyond 2^24 cells the float read head cannot advance reliably.
    static constexpr int32_t kMaxLength = 1 << 24;
    static constexpr int32_t kMinLength = 7;

    explicit Delay(int32_t length);
    ~Delay();
    Delay(const Delay&) = delete;
    Delay& operator=(const Delay&) = delete;

    // Resizes, clears and restarts the line (lengths of 7 or less give 7). The cells are
    // cleared as the line runs, so this costs the same for every length.
    void setLength(int32_t length);
    void setEchoFilter(bool on) { echoFilterOn = on; }
    // Filters that run inside the line's loop, one sample at a time, so that their recursions
    // overlap with the line's own work. The result equals filtering the input buffer in place
    // with `inputFilter` (mixing as given) before the line, and the output buffer with
    // `outputFilter` (mixing off) after it; the input buffer itself is left unchanged.
    struct Chain {
        Filter* inputFilter = nullptr;
        bool inputMixing = false;
        Filter* outputFilter = nullptr;
    };

    // Delays `count` samples from `input` into `output` (which may be the same buffer):
    // output = (1 - mix) * input + mix * delayed. Leaves `output` untouched while the line is
    // busy (being resized, or its storage could not be allocated).
    void process(const float* input, float* output, int32_t count, float scale, float feedback,
                 float mix) {
        process(input, output, count, scale, feedback, mix, Chain());
    }
    void process(const float* input, float* output, int32_t count, float scale, float feedback,
                 float mix, const Chain& chain);

    // For an owner that steps the line one sample at a time in its own loop (DelayStepper.h):
    // the set-up process() does for a call of `count` samples, and the code of the flavour
    // (delayloop::flavourCode) process() would run, or -1 when the call is left to process():
    // while the line is busy, or while one of its filters has not settled or has more than
    // one section.
    int beginSteps(int32_t count, float scale, float feedback, float mix, const Chain& chain);
    // Whether a call with the scale, gains and filters of the last one needs no set-up: its
    // step and write curve are computed and every cell has been cleared.
    bool steady() const { return cleared >= length + 2 && heads.q == coefStep; }

    // Makes room for lines up to `maxLength` cells so later setLength calls up to that length
    // allocate nothing. Call from the control thread; it clears and restarts the line.
    void reserve(int32_t maxLength);
    // The rate the echo filter designs at.
    void setSampleRate(int32_t rate) { echoFilter.setSampleRate(rate); }

    // The delay in samples that process realises nominally for a length and scale.
    static double nominalDelay(int32_t length, float scale);

private:
    friend struct DelayProbe; // tests only

    // Lines without feedback this short or shorter run in the short-line loop, which copies
    // all their cells; longer lines run in chunks.
    static constexpr int32_t kShortLine = 64;

    static constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

    template <class F> friend class DelayStepper;

    bool ensureCapacity(int32_t cells);
    // The step and write-curve coefficients for `scale`, kept while it and the last step stay.
    void setScale(float scale);
    // The gains of a call, the cells its samples may reach first cleared, the echo filter's
    // cutoff.
    void beginCall(int32_t count, float feedback, float mix);
    // Clears the cells that the next `count` samples may touch for the first time since the
    // last resize (none once the whole line is).
    void clearAhead(int32_t count) {
        if (cleared < length + 2) {
            clearMore(count);
        }
    }
    void clearMore(int32_t count);
    // A call while the line is busy: the chain's filters still see their samples.
    void skipBusy(const float* input, float* output, int32_t count, const Chain& chain);
    // The code (delayloop::flavourCode) of the loop that suits a call's gains and filters.
    int flavourFor(float feedback, float mix, const Chain& chain) const;
    // The samples of one call, with the loop that suits the line; F is a delayloop::Flavour.
    template <class F>
    void run(const float* input, float* output, int32_t count, const Chain& chain);

    Filter echoFilter;
    int32_t length = kMinLength;
    AlignedAddress buffer;
    int32_t capacity = 0; // cells the buffer holds
    int32_t cleared = 0;  // cells from 0 on cleared since the last resize
    bool echoFilterOn = false;
    // The read head and write curve (step, coefA, coefB, readOffset; readPos, lastCell,
    // lastReadPos, lastInput, olderInput, lastStep) as the loops use them.
    delayhead::LineSetup setup;
    delayhead::Heads heads;
    // What process computes from the length and scale, kept while they stay: the scale the
    // step was computed for (NaN for none), the chunked loop's chunk length, and the previous
    // step that the write curve's coefficients were computed with (NaN for none).
    float stepScale = kNone;
    int32_t chunk = 0;
    float coefStep = kNone;
    std::atomic<uint8_t> updating{0};
};
