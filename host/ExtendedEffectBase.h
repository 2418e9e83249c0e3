// The extended half of the host interface: the operations behind opcodes 25 to
// 76, the remaining calls back to the host, more flag setters and the speaker
// arrangement helpers.
#pragma once

#include "host/EffectBase.h"

#include <cstdint>

class ExtendedEffectBase : public EffectBase {
public:
    ExtendedEffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);

    // Opcodes 25 to 76; every other opcode goes to EffectBase's table.
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;

    // Operations in slot order. "Truth" of a host call: true when it answers
    // non-zero. Without a host callback each host call answers its default.

    virtual HostEditor* getEditor() { return editor; }
    virtual void wantEvents(int32_t filter = 1);
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    virtual int32_t tempoAt(int32_t position);
    virtual int32_t processEvents(VstEvents* events) { return 0; }
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual bool canBeAutomated(int32_t index) { return true; }
    // The dispatcher never passes a null text.
    virtual bool stringToParameter(int32_t index, char* text) { return false; }
    virtual float getChannelParameter(int32_t channel, int32_t index) { return 0.0f; }
    virtual int32_t getNumProgramCategories() { return 1; }
    // The dispatcher never passes a null text.
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text) {
        return false;
    }
    virtual bool copyProgram(int32_t destination) { return false; }
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(int32_t width, int32_t height);
    // Asks the host for its sample rate; keeps the field unless it answers 1 or more.
    virtual float updateSampleRate();
    // Asks the host for its block size; keeps the field unless it answers 1 or more.
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual AEffect* getPreviousPlug(int32_t input);
    virtual AEffect* getNextPlug(int32_t output);
    virtual void inputConnected(int32_t index, bool state) {}
    virtual void outputConnected(int32_t index, bool state) {}
    // The dispatcher never passes a null record to these two.
    virtual bool getInputProperties(int32_t index, VstPinProperties* properties) { return false; }
    virtual bool getOutputProperties(int32_t index, VstPinProperties* properties) { return false; }
    virtual int32_t getPlugCategory();
    virtual int32_t willProcessReplacing();
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t getAutomationState();
    virtual void setWantsAsync(bool state) { setFlag(effFlagsExtIsAsync, state); }
    virtual void setHasExternalBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
    virtual int32_t getCurrentPosition() { return 0; }
    virtual float* getDestinationBuffer() { return nullptr; }
    virtual bool offlineRead(VstOfflineTask* offline, int32_t option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, int32_t option);
    virtual bool offlineStart(VstAudioFile* files, int32_t fileCount, int32_t newFileCount);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* files, int32_t fileCount, bool start) { return false; }
    virtual bool offlinePrepare(VstOfflineTask* offline, int32_t count) { return false; }
    virtual bool offlineRun(VstOfflineTask* offline, int32_t count) { return false; }
    virtual int32_t reserved1() { return 0; }
    virtual int32_t reserved2() { return 0; }
    virtual void setOutputSampleRate(float rate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    virtual bool canHostDo(const char* text);
    virtual void setIsSynth(bool state) { setFlag(effFlagsIsSynth, state); }
    virtual void setNoTail(bool state) { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32_t getHostLanguage();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVarIo(VstVariableIo* io) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input,
                                       VstSpeakerArrangement* output) {
        return false;
    }
    // Writes null into both (where the addresses are not null) and answers false.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                       VstSpeakerArrangement** output);
    virtual void setBlockSizeAndSampleRate(int32_t size, float rate) {
        blockSize = size;
        sampleRate = rate;
    }
    virtual bool setBypass(bool onOff) { return false; }
    // Texts: the dispatcher never passes a null text.
    virtual bool getEffectName(char* name) { return false; }
    virtual bool getErrorText(char* text) { return false; }
    virtual bool getVendorString(char* text) { return false; }
    virtual bool getProductString(char* text) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
        return 0;
    }
    // 1 yes, -1 no, 0 don't know; this layer knows no capability.
    virtual int32_t canDo(const char* text) { return 0; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(int32_t x, int32_t y) { return false; }
    virtual int32_t getTailSize() { return 0; }
    virtual int32_t idle() { return 0; }
    virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties) {
        return false;
    }
    virtual bool keysRequired() { return false; }
    virtual int32_t getVstVersion() { return 2300; }
    virtual int32_t getMidiProgramName(int32_t channel, MidiProgramName* name) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t channel, MidiProgramName* current) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t channel, MidiProgramCategory* category) {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(int32_t channel) { return false; }
    virtual bool getMidiKeyName(int32_t channel, MidiKeyName* keyName) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual bool openFileSelector(VstFileSelect* selector);
    virtual intptr_t setTotalSampleToProcess(intptr_t value) { return value; }
    // The dispatcher never passes a null text.
    virtual int32_t shellGetNextPlugin(char* name) { return 0; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }
    virtual bool setPanLaw(int32_t type, float value) { return false; }
    virtual int32_t beginLoadBank(VstPatchChunkInfo* info) { return 0; }
    virtual int32_t beginLoadProgram(VstPatchChunkInfo* info) { return 0; }
    // Frees what *arrangement holds, then allocates a zeroed arrangement for
    // channels speakers. False (and *arrangement null) when that fails.
    virtual bool allocateSpeakerArrangement(VstSpeakerArrangement** arrangement, int32_t channels);
    // Frees what *arrangement holds and stores null.
    virtual bool freeSpeakerArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeakerProperties(VstSpeakerProperties* to, const VstSpeakerProperties* from);
    // Makes *to a copy of from (type and every speaker).
    virtual bool copySpeakerArrangement(VstSpeakerArrangement** to,
                                        const VstSpeakerArrangement* from);
};

// Bytes of an arrangement for channels speakers: 8 + 112 per speaker, and never
// less than the record itself so that a reader of the whole record stays inside.
size_t speakerArrangementBytes(int32_t channels);
