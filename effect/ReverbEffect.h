// The reverb effect as the host drives it: the engine, the bank of 128 programs
// holding the 32 parameter values, the two output gains and the per-block glue
// that applies deferred structural changes before running the engine.
//
// Threads. The host sets parameters and programs from its control, automation
// or editor thread while its audio thread processes. Every value that crosses
// threads is an atomic written and read with single relaxed stores and loads:
// the program values, the two gains and the engine's immediate settings.
// `rebuildPending` is raised with a release store after the value that needs
// the rebuild has been stored, and the block start consumes it with one
// acquire exchange, so a change that arrives while a rebuild runs raises it
// again and is applied at the next block. Sample-rate and block-size changes
// re-size engine storage on the control thread; they take the engine for
// themselves through `engineState` (waiting for a block in progress to end),
// and a block that finds the engine taken passes the dry signal through
// instead of touching it. The audio thread never waits and never allocates.
#pragma once

#include "engine/Reverb.h"
#include "gui/EditorOwner.h"
#include "host/ExtendedEffectBase.h"

#include <atomic>
#include <cstdint>

class EditorBase;

// One program: the 32 parameter values by index and a name of at most 23
// characters. The values are read by the audio thread while other threads
// set them, hence atomics (each one the size of the float it holds).
struct ReverbProgram {
    static constexpr int32_t kNumValues = 32;
    static constexpr int32_t kNameSize = 24;

    // The default program, named "Init".
    ReverbProgram();

    std::atomic<float> values[kNumValues];
    char name[kNameSize];
};

// The effect is also the owner of its editor: the editor reads, sets and
// reports parameters through the EditorOwner operations, which here are the
// effect's own (getParameter, setParameterAutomated, beginEdit, endEdit), the
// host idle (masterIdle) and the window size (sizeWindow).
class ReverbEffect : public ExtendedEffectBase, public EditorOwner {
public:
    static constexpr int32_t kNumPrograms = 128;
    static constexpr int32_t kNumParams = 32;
    static constexpr int32_t kNumInputs = 2;
    static constexpr int32_t kNumOutputs = 2;
    static constexpr int32_t kUniqueId = fourCharCode('K', 'D', 'F', 'u');
    static constexpr int32_t kVendorVersion = 1000;
    // The largest block size a host may announce; larger ones are refused.
    static constexpr int32_t kMaxBlockSize = Reverb::kMaxBlockSize;

    // Parameter indices.
    enum Parameter : int32_t {
        kMode = 0,
        kLength,
        kRoomSize,
        kPreDelay,
        kLowpassCutoff,
        kHighpassCutoff,
        kStereoSeparation,
        kReverbLevel,
        kDryLevel,
    };

    explicit ReverbEffect(audioMasterCallback audioMaster);
    // Closes an editor the host left open, frees the programs, destroys the
    // engine; the base then deletes the editor.
    ~ReverbEffect() override;

    // True when construction could not get what the effect needs to run; the
    // entry point then destroys the instance instead of handing it to the host.
    bool allocationFailed() const { return allocationFailure; }

    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    // The editor's side: what the base classes do, for the editor's owner.
    void setParameterAutomated(int32_t index, float value) override;
    bool beginEdit(int32_t index) override;
    bool endEdit(int32_t index) override;
    void hostIdle() override;
    // Asks the host to resize the editor's window (audioMasterSizeWindow).
    bool resizeEditor(int32_t width, int32_t height) override;
    // Both callbacks run the same block operation and write the outputs.
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;

    int32_t getProgram() override;
    void setProgram(int32_t program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    void getParamLabel(int32_t index, char* label) override;
    void getParamDisplay(int32_t index, char* text) override;
    void getParamName(int32_t index, char* text) override;

    void setSampleRate(float rate) override;
    void setBlockSize(int32_t size) override;
    void resume() override;

    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
    bool getVendorString(char* text) override;
    int32_t getVendorVersion() override { return kVendorVersion; }
    int32_t getPlugCategory() override { return kPlugCategEffect; }

    // Observers for tests and tools.
    const Reverb& getEngine() const { return engine; }
    float getReverbGain() const { return reverbGain.load(std::memory_order_relaxed); }
    float getDryGain() const { return dryGain.load(std::memory_order_relaxed); }
    bool isRebuildPending() const { return rebuildPending.load(std::memory_order_relaxed); }
    const ReverbProgram* getPrograms() const { return programs; }

    // The gain of a level parameter value: 2 to the power (value - 0.9) x 10,
    // with the exponent rounded to a float first.
    static float levelGain(float value);

protected:
    // The block operation behind both processing callbacks.
    void processBlock(float** inputs, float** outputs, int32_t sampleFrames);
    // Hands the current program's "Length", "Mode" and "Room Size" to the
    // engine, in that order.
    void rebuildEngine();
    // The current program, or null when the bank could not be allocated.
    ReverbProgram* currentProgram();
    // The editor as the toolkit's editor base, if it is one.
    EditorBase* parameterEditor() const;

    // Takes the engine for a control-thread re-size, waiting for a block in
    // progress to end; gives it back.
    void acquireEngineForResize();
    void releaseEngine();

    bool allocationFailure = false;

    Reverb engine;
    ReverbProgram* programs = nullptr;
    std::atomic<bool> rebuildPending{false};
    std::atomic<float> reverbGain{0.5f};
    std::atomic<float> dryGain{0.5f};
    // The selected program as the audio and editor threads read it; the base's
    // curProgram follows it for the inherited operations.
    std::atomic<int32_t> selectedProgram{0};

    // Who uses the engine's storage right now.
    enum EngineState : int32_t { kEngineIdle = 0, kEngineProcessing, kEngineResizing };
    std::atomic<int32_t> engineState{kEngineIdle};
};
