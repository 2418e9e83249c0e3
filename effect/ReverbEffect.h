// The reverb as a VST 2.x effect: the binding of the host layer to the
// plug-in's core (effect/ReverbCore.h: the engine, what each parameter does,
// the block operation), with the bank of 128 programs holding the 32
// parameter values, the names and texts the host reads, the library-wide
// sample rate, and the editor.
//
// Threads. The host sets parameters and programs from its control, automation
// or editor thread while its audio thread processes. The program values are
// atomics written and read with single relaxed stores and loads; the core
// takes care of everything the audio thread reads (see ReverbCore.h).
#pragma once

#include "effect/PluginDescription.h"
#include "effect/ReverbCore.h"
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
    static constexpr int32_t kNumParams = kParameterCount;
    static constexpr int32_t kNumInputs = 2;
    static constexpr int32_t kNumOutputs = 2;
    static constexpr int32_t kUniqueId = fourCharCode('K', 'D', 'F', 'u');
    static constexpr int32_t kVendorVersion = kPluginVersion;

    explicit ReverbEffect(audioMasterCallback audioMaster);
    // Closes an editor the host left open, frees the programs, destroys the
    // engine; the base then deletes the editor.
    ~ReverbEffect() override;

    // True when construction could not get what the effect needs to run; the
    // entry point then destroys the instance instead of handing it to the host.
    bool allocationFailed() const { return allocationFailure; }

    // Tells the editor, stores the value in the current program, hands it to
    // the core, then posts the editor's update: the one place a change
    // reaches the editor, from whatever thread the host sets it.
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    // The editor's side. These three are the base classes' operations again,
    // overridden only because EditorOwner declares them too.
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
    // The effect's own resume, which construction ends with and the host
    // reaches through effMainsChanged; the engine needs nothing then. Kept
    // because the effect's interface names it, not for what it does.
    void resume() override;

    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
    bool getVendorString(char* text) override;
    int32_t getVendorVersion() override { return kVendorVersion; }
    int32_t getPlugCategory() override { return kPlugCategEffect; }

    // Observers for tests: the core (whose own observers show the engine,
    // the gains and a pending rebuild) and the program bank.
    const ReverbCore& getCore() const { return core; }
    const ReverbProgram* getPrograms() const { return programs; }

protected:
    // The block operation behind both processing callbacks.
    void processBlock(float** inputs, float** outputs, int32_t sampleFrames);
    // The current program, or null when the bank could not be allocated.
    ReverbProgram* currentProgram();
    // The editor as the toolkit's editor base, if it is one.
    EditorBase* parameterEditor() const;

    bool allocationFailure = false;

    // Built at the library-wide rate, as every instance of this edition is.
    ReverbCore core;
    ReverbProgram* programs = nullptr;
    // The selected program as the audio and editor threads read it; the base's
    // curProgram follows it for the inherited operations.
    std::atomic<int32_t> selectedProgram{0};
};
