// The reverb engine: its network, its settings, which thread may call what, and the values
// it accepts.
#pragma once

#include "engine/Delay.h"
#include "engine/Filter.h"
#include "engine/Reflections.h"

#include <atomic>
#include <cstdint>
#include <memory>

// The reverb engine. The two inputs are summed to mono, pre-delayed, spread into 32
// noise-modulated reflection taps over a two-second history, low-passed, passed through two
// feedback combs with a high-pass between them, and split into a left and a right wet signal
// (the right one a little later). A silence gate stops the work once the input has been quiet
// for 2 seconds plus 6 seconds per unit of room size.
//
// Threads: the constructor, sampleRateChanged() and setBlockSize() size storage and run on
// the control thread, never while a block is processed. setLength(), setMode() and
// setRoomSize() rebuild the network without allocating (for the accepted value ranges) and
// run on the audio thread before a block. setLowpassCutoff(), setHighpassCutoff(),
// setSeparation() and setPreDelay() may be called from any thread at any time.
//
// Accepted ranges (values outside are clamped, NaN takes the lower bound):
//   room size 0 to 2, pre-delay 0 to 1, separation 0 to 1, mode 0 to 2;
//   sample rates 1 to 768000 (others are ignored), block capacity 1 to 65536 frames.
class Reverb {
public:
    static constexpr int kTaps = 32;
    static constexpr int32_t kDefaultBlockSize = 256;
    static constexpr int32_t kMaxBlockSize = 65536;
    static constexpr float kMaxRoomSize = 2.0f;
    // Input samples beyond this magnitude are limited to it on their way into the reverb.
    static constexpr float kInputLimit = 1.0e6f;
    // Blocks up to this many frames run all stages sample by sample.
    static constexpr int32_t kSteppedBlock = 13;

    // Builds the whole network at the library-wide rate (currentSampleRate).
    Reverb();
    // Builds it at `sampleRate` (the library's default rate when the engine cannot use it),
    // without reading or writing the library-wide rate.
    explicit Reverb(int32_t sampleRate);
    ~Reverb();
    Reverb(const Reverb&) = delete;
    Reverb& operator=(const Reverb&) = delete;

    // Stores the "Length" setting and rebuilds the network.
    void setLength(float value);
    // Stores the mode (limited to 0..2) and rebuilds with the current room size.
    void setMode(int32_t mode);
    // Lays out the 32 taps for `size` and rebuilds.
    void setRoomSize(float size);
    // Each of the three above ends in a full rebuild. rebuild() stores all three settings and
    // rebuilds once, leaving exactly what setLength, setMode and setRoomSize called in this
    // order leave: the earlier rebuilds' results are all replaced by the last one, and every
    // tap layout reseeds the shared generator with 0 and takes the same 64 draws whatever the
    // room size, so its history (from which the next engine's noise is drawn) is the same.
    void rebuild(float length, int32_t mode, float roomSize);
    void setLowpassCutoff(float value);
    void setHighpassCutoff(float value);
    // Take effect at the next rebuild.
    void setSeparation(float value);
    void setPreDelay(float value);
    // Re-sizes the rate-dependent storage for currentSampleRate and rebuilds. A rate the
    // engine cannot use is ignored.
    void sampleRateChanged();
    // The same for an explicit rate; answers whether the engine now runs at it.
    bool setSampleRate(int32_t rate);
    // Forgets everything the engine heard: the history, the tail gate, the delay lines and
    // filters, and each tap's place in the noise table go back to where construction left
    // them, so that the engine continues exactly as a newly built one with the same settings
    // and rate. Control thread, never while a block is processed.
    void reset();
    // Re-allocates the work buffers for blocks of up to `frames` frames.
    void setBlockSize(int32_t frames);

    // Computes one block: out = dry * in + wet * 0.7 * reverb. Longer blocks than the
    // capacity are processed in pieces. outLeft may equal inLeft and outRight inRight.
    // Non-finite input samples count as silence for the reverb; the dry path is unchanged.
    void process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                 float* outRight, float dry, float wet);

    // The rate the storage and lengths are computed for, and the longest block processed in
    // one piece.
    int32_t getSampleRate() const { return sampleRate; }
    int32_t getBlockCapacity() const { return blockCapacity; }

private:
    friend struct ReverbProbe; // tests only

    void buildNoiseTable(int32_t length);
    void layOutTaps(float size);
    void reserveDelays();
    void processBlock(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                      float* outRight, float dry, float wet);
    // Steps 3 to 10 of a block whose mono sum is in `mono`: each stage over the whole block.
    void runStages(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                   float* outRight, float dry, float wet);
    // The same for a short block, all stages sample by sample with their state in locals
    // (ReverbSteps.cpp); answers false, having done nothing a later runStages would not redo,
    // while a line or filter cannot be stepped.
    bool stepStages(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                    float* outRight, float dry, float wet);
    Delay::Chain comb1Filters();

    std::atomic<uint8_t> updating{0};
    float length = 1.0f;
    std::unique_ptr<Delay> combLine1;
    std::unique_ptr<Delay> combLine2;
    std::unique_ptr<Delay> separationLine;
    std::unique_ptr<Delay> preDelayLine;
    float feedback1 = 0.0f;
    float feedback2 = 0.0f;
    int32_t roomIndex = 0;
    float roomSize = 0.5f;
    int32_t mode = 0;
    int32_t tapDelay[kTaps] = {};
    float tapGain[kTaps] = {};
    // Each tap's noise position as construction drew it (reset() returns to it).
    int32_t initialNoisePos[kTaps] = {};
    // The taps at work: the history, the noise table and each tap's place in it.
    Reflections reflections;
    std::unique_ptr<float[]> wetLeft;
    std::unique_ptr<float[]> wetRight;
    std::unique_ptr<float[]> mono;
    Filter lowpass;
    Filter highpass;
    std::atomic<float> lowpassCutoff{0.35f};
    std::atomic<float> highpassCutoff{0.001f};
    std::atomic<float> separation{0.5f};
    std::atomic<float> preDelay{0.0f};
    int32_t tailCounter = 0;
    // Whether the delay lines ran steadily (Delay::steady) at the last stepped block, so that
    // the next one needs no set-up for them; a rebuild clears it.
    bool linesSteady = false;
    // What the tail gate sets tailCounter to on signal, for the room size and rate.
    int32_t tailLength = 0;

    // The rate this engine's storage and lengths are computed for.
    int32_t sampleRate;
    // Frames the work buffers hold.
    int32_t blockCapacity = 0;
    // Tap spacing of the current layout.
    int32_t spacing = 0;
};
