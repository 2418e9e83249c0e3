// The effect's side of the host interface: owns the AEffect record handed to the
// host, turns the core opcodes 0 to 24 into virtual operations and offers the
// calls back to the host and the parameter text conversions.
#pragma once

#include "host/AEffect.h"

#include <cstdint>

class HostEditor;

class EffectBase {
public:
    EffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // Operations in slot order. Defaults do nothing unless stated.

    // Deletes the editor, if any.
    virtual ~EffectBase();
    virtual void setParameter(int32_t index, float value) {}
    virtual float getParameter(int32_t index) { return 0.0f; }
    // setParameter, then audioMasterAutomate (index, opt = value) to the host.
    virtual void setParameterAutomated(int32_t index, float value);
    // Accumulating process; every effect supplies it.
    virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {}
    // Core opcodes 0 to 24; any other opcode answers 0.
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
    virtual void open() {}
    virtual void close() {}
    virtual int32_t getProgram() { return curProgram; }
    // The dispatcher passes only programs 0 to numPrograms - 1.
    virtual void setProgram(int32_t program) { curProgram = program; }
    // The name comes from the host and is only read.
    virtual void setProgramName(const char* name) {}
    // Text operations: the dispatcher never passes a null text.
    virtual void getProgramName(char* name);
    virtual void getParamLabel(int32_t index, char* label);
    virtual void getParamDisplay(int32_t index, char* text);
    virtual void getParamName(int32_t index, char* text);
    virtual float getVu() { return 0.0f; }
    virtual int32_t getChunk(void** data, bool isPreset) { return 0; }
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset) { return 0; }
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32_t size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setUniqueId(int32_t id) { record.uniqueID = id; }
    virtual void setNumInputs(int32_t inputs) { record.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { record.numOutputs = outputs; }
    virtual void setHasVu(bool state) { setFlag(effFlagsHasVu, state); }
    virtual void setHasClip(bool state) { setFlag(effFlagsHasClip, state); }
    virtual void setCanMono(bool state) { setFlag(effFlagsCanMono, state); }
    virtual void setCanReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    virtual void setProgramsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    virtual void setRealtimeQualities(int32_t qualities) { record.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { record.offQualities = qualities; }
    virtual void setInitialDelay(int32_t delay) { record.initialDelay = delay; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int32_t getBlockSize() { return blockSize; }
    // The host's interface version; 1 when there is no host or it answers 0.
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();
    virtual void masterIdle();
    // True unless the host says the pin is not connected.
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);
    // Display texts, at most 8 characters and a terminator (9 bytes).
    virtual void decibelsToText(float value, char* text);
    virtual void hertzToText(float samples, char* text);
    virtual void millisecondsToText(float samples, char* text);
    virtual void floatToText(float value, char* text);
    virtual void integerToText(int32_t value, char* text);

    // Stores the editor (owned from now on) and sets or clears the has-editor flag.
    void setEditor(HostEditor* newEditor);
    HostEditor* editorObject() const { return editor; }
    AEffect* getRecord() { return &record; }
    audioMasterCallback getHostCallback() const { return audioMaster; }
    // Sets or clears one of the record's flag bits.
    void setFlag(int32_t flag, bool state);
    bool hasFlag(int32_t flag) const { return (record.flags & flag) != 0; }

protected:
    // Sends one call to the host; answers fallback when there is no callback.
    intptr_t callHost(intptr_t fallback, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* ptr = nullptr, float opt = 0.0f);

    float sampleRate = 44100.0f;
    HostEditor* editor = nullptr;
    audioMasterCallback audioMaster = nullptr;
    int32_t numPrograms = 0;
    int32_t numParams = 0;
    int32_t curProgram = 0;
    int32_t blockSize = 1024;
    AEffect record;

private:
    intptr_t dispatchEditor(int32_t opcode, void* ptr);
};

// Narrows a pointer-sized host value to 32 bits, saturating instead of wrapping.
int32_t clampToInt32(intptr_t value);
// Truncates toward zero to a 32-bit whole number; NaN gives 0, out-of-range
// values saturate.
int32_t truncateToInt32(double value);
