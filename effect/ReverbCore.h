// What the plug-in does, whatever the format that carries it: the engine, the
// nine named parameters doing what the parameter table says (effect/Parameters.h:
// an engine setting at once, an output gain, a rebuild deferred to the start of
// the next block, or nothing but storing), and the block operation. The VST 2.x
// effect and the LV2 plug-in are thin bindings over it, so that both sound the
// same to the bit.
//
// Threads. Parameters may be set from any thread while the audio thread
// processes: every value that crosses threads is an atomic written and read
// with single relaxed stores and loads. `rebuildPending` is raised with a
// release store after the value that needs the rebuild has been stored, and
// the block start consumes it with one acquire exchange, so a change that
// arrives while a rebuild runs raises it again and is applied at the next
// block. Sample-rate, block-size changes and reset re-size or clear engine
// storage on the control thread; they take the engine for themselves through
// `engineState` (waiting for a block in progress to end), and a block that
// finds the engine taken passes the dry signal through instead of touching
// it. The audio thread never waits and never allocates.
#pragma once

#include "effect/PluginDescription.h"
#include "engine/Reverb.h"

#include <atomic>
#include <cstdint>

class ReverbCore {
public:
    // The largest block capacity; larger blocks are processed in pieces.
    static constexpr int32_t kMaxBlockSize = Reverb::kMaxBlockSize;

    // Builds the engine at `sampleRate` and applies the default value of every
    // named parameter, which leaves a rebuild pending for the first block.
    explicit ReverbCore(int32_t sampleRate);
    ReverbCore(const ReverbCore&) = delete;
    ReverbCore& operator=(const ReverbCore&) = delete;

    // Sets named parameter `index` (0 to 8) as normaliseParameterValue takes
    // it: NaN and infinities are ignored (false), anything else is clamped to
    // 0 to 1, stored and acted on. Other indices are stored nowhere and do
    // nothing. Any thread.
    bool setParameter(int32_t index, float value);
    // The value a named parameter was last set to; 0 for any other index.
    float getParameter(int32_t index) const;

    // One block: out = dry x in + wet x 0.7 x reverb, after a pending rebuild.
    // Outputs may be the same buffers as inputs. A missing channel gives
    // silence on the outputs there are; a negative count writes nothing.
    void process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                 float* outRight);

    // Control thread. A rate the engine cannot use changes nothing (false).
    bool setSampleRate(int32_t rate);
    // Control thread. Blocks up to `frames` are processed whole, longer ones in
    // pieces; sizes outside 1 to kMaxBlockSize change nothing (false).
    bool setBlockSize(int32_t frames);
    // Control thread: the engine forgets everything it heard (Reverb::reset)
    // and the settings are applied again at the next block.
    void reset();

    // The gain of a level parameter value: 2 to the power (value - 0.9) x 10,
    // with the exponent rounded to a float first.
    static float levelGain(float value);

    // Observers for tests, benchmarks and tools.
    const Reverb& getEngine() const { return engine; }
    float getReverbGain() const { return reverbGain.load(std::memory_order_relaxed); }
    float getDryGain() const { return dryGain.load(std::memory_order_relaxed); }
    bool isRebuildPending() const { return rebuildPending.load(std::memory_order_relaxed); }

    // Takes the engine for a control-thread re-size, waiting for a block in
    // progress to end; gives it back.
    void acquireEngineForResize();
    void releaseEngine();

private:
    // Hands "Length", "Mode" and "Room Size" to the engine, in that order.
    void rebuildEngine();
    // The engine setter of a parameter whose change is an engine setting, given
    // the value with the arithmetic that setter expects.
    void applyEngineSetting(int32_t index, float value);

    Reverb engine;
    std::atomic<float> values[kNamedParameterCount];
    std::atomic<bool> rebuildPending{false};
    std::atomic<float> reverbGain{0.5f};
    std::atomic<float> dryGain{0.5f};

    // Who uses the engine's storage right now.
    enum EngineState : int32_t { kEngineIdle = 0, kEngineProcessing, kEngineResizing };
    std::atomic<int32_t> engineState{kEngineIdle};
};
