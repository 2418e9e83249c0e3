// The extended opcodes' dispatch, their default operations, the calls back to the host they
// use and the speaker arrangements' allocation and copies.
#include "host/ExtendedEffectBase.h"

#include "host/HostEditor.h"

#include <cstdlib>
#include <cstring>

namespace {

// Largest speaker count whose arrangement size still fits a 32-bit size.
constexpr int32_t kMaxSpeakers = 1 << 20;

uint8_t lowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

} // namespace

size_t speakerArrangementBytes(int32_t channels) {
    const size_t bytes = 8 + sizeof(VstSpeakerProperties) * static_cast<size_t>(channels);
    return bytes < sizeof(VstSpeakerArrangement) ? sizeof(VstSpeakerArrangement) : bytes;
}

ExtendedEffectBase::ExtendedEffectBase(audioMasterCallback audioMaster, int32_t numPrograms,
                                       int32_t numParams)
    : EffectBase(audioMaster, numPrograms, numParams) {}

void ExtendedEffectBase::wantEvents(int32_t filter) {
    callHost(0, audioMasterWantMidi, 0, filter);
}

VstTimeInfo* ExtendedEffectBase::getTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(0, audioMasterGetTime, 0, filter));
}

int32_t ExtendedEffectBase::tempoAt(int32_t position) {
    return clampToInt32(callHost(0, audioMasterTempoAt, 0, position));
}

int32_t ExtendedEffectBase::getNumAutomatableParameters() {
    return clampToInt32(callHost(0, audioMasterGetNumAutomatableParameters));
}

int32_t ExtendedEffectBase::getParameterQuantization() {
    return clampToInt32(callHost(0, audioMasterGetParameterQuantization));
}

bool ExtendedEffectBase::ioChanged() {
    return callHost(0, audioMasterIOChanged) != 0;
}

bool ExtendedEffectBase::needIdle() {
    return callHost(0, audioMasterNeedIdle) != 0;
}

bool ExtendedEffectBase::sizeWindow(int32_t width, int32_t height) {
    return callHost(0, audioMasterSizeWindow, width, height) != 0;
}

float ExtendedEffectBase::updateSampleRate() {
    const intptr_t rate = callHost(0, audioMasterGetSampleRate);
    if (rate >= 1) {
        sampleRate = static_cast<float>(rate);
    }
    return sampleRate;
}

int32_t ExtendedEffectBase::updateBlockSize() {
    const intptr_t size = callHost(0, audioMasterGetBlockSize);
    if (size >= 1) {
        blockSize = clampToInt32(size);
    }
    return blockSize;
}

int32_t ExtendedEffectBase::getInputLatency() {
    return clampToInt32(callHost(0, audioMasterGetInputLatency));
}

int32_t ExtendedEffectBase::getOutputLatency() {
    return clampToInt32(callHost(0, audioMasterGetOutputLatency));
}

AEffect* ExtendedEffectBase::getPreviousPlug(int32_t input) {
    return reinterpret_cast<AEffect*>(callHost(0, audioMasterGetPreviousPlug));
}

AEffect* ExtendedEffectBase::getNextPlug(int32_t output) {
    return reinterpret_cast<AEffect*>(callHost(0, audioMasterGetNextPlug));
}

int32_t ExtendedEffectBase::getPlugCategory() {
    return hasFlag(effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

int32_t ExtendedEffectBase::willProcessReplacing() {
    return clampToInt32(callHost(0, audioMasterWillReplaceOrAccumulate));
}

int32_t ExtendedEffectBase::getCurrentProcessLevel() {
    return clampToInt32(callHost(0, audioMasterGetCurrentProcessLevel));
}

int32_t ExtendedEffectBase::getAutomationState() {
    return clampToInt32(callHost(0, audioMasterGetAutomationState));
}

bool ExtendedEffectBase::offlineRead(VstOfflineTask* offline, int32_t option, bool readSource) {
    return callHost(0, audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool ExtendedEffectBase::offlineWrite(VstOfflineTask* offline, int32_t option) {
    return callHost(0, audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool ExtendedEffectBase::offlineStart(VstAudioFile* files, int32_t fileCount,
                                      int32_t newFileCount) {
    return callHost(0, audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}

bool ExtendedEffectBase::offlineGetCurrentPass() {
    return callHost(0, audioMasterOfflineGetCurrentPass) != 0;
}

bool ExtendedEffectBase::offlineGetCurrentMetaPass() {
    return callHost(0, audioMasterOfflineGetCurrentMetaPass) != 0;
}

void ExtendedEffectBase::setOutputSampleRate(float rate) {
    callHost(0, audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

VstSpeakerArrangement* ExtendedEffectBase::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(0, audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* ExtendedEffectBase::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(0, audioMasterGetOutputSpeakerArrangement));
}

bool ExtendedEffectBase::getHostVendorString(char* text) {
    return callHost(0, audioMasterGetVendorString, 0, 0, text) != 0;
}

bool ExtendedEffectBase::getHostProductString(char* text) {
    return callHost(0, audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t ExtendedEffectBase::getHostVendorVersion() {
    return clampToInt32(callHost(0, audioMasterGetVendorVersion));
}

intptr_t ExtendedEffectBase::hostVendorSpecific(int32_t index, intptr_t value, void* ptr,
                                                float opt) {
    return callHost(0, audioMasterVendorSpecific, index, value, ptr, opt);
}

bool ExtendedEffectBase::canHostDo(const char* text) {
    return callHost(0, audioMasterCanDo, 0, 0, const_cast<char*>(text)) != 0;
}

int32_t ExtendedEffectBase::getHostLanguage() {
    return clampToInt32(callHost(0, audioMasterGetLanguage));
}

void* ExtendedEffectBase::openWindow(VstWindow* window) {
    return reinterpret_cast<void*>(callHost(0, audioMasterOpenWindow, 0, 0, window));
}

bool ExtendedEffectBase::closeWindow(VstWindow* window) {
    return callHost(0, audioMasterCloseWindow, 0, 0, window) != 0;
}

void* ExtendedEffectBase::getDirectory() {
    return reinterpret_cast<void*>(callHost(0, audioMasterGetDirectory));
}

bool ExtendedEffectBase::updateDisplay() {
    return callHost(0, audioMasterUpdateDisplay) != 0;
}

bool ExtendedEffectBase::getSpeakerArrangement(VstSpeakerArrangement** input,
                                               VstSpeakerArrangement** output) {
    if (input) {
        *input = nullptr;
    }
    if (output) {
        *output = nullptr;
    }
    return false;
}

bool ExtendedEffectBase::beginEdit(int32_t index) {
    return callHost(0, audioMasterBeginEdit, index) != 0;
}

bool ExtendedEffectBase::endEdit(int32_t index) {
    return callHost(0, audioMasterEndEdit, index) != 0;
}

bool ExtendedEffectBase::openFileSelector(VstFileSelect* selector) {
    if (!selector) {
        return false;
    }
    return callHost(0, audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

bool ExtendedEffectBase::allocateSpeakerArrangement(VstSpeakerArrangement** arrangement,
                                                    int32_t channels) {
    if (!arrangement) {
        return false;
    }
    std::free(*arrangement);
    *arrangement = nullptr;
    if (channels < 0 || channels > kMaxSpeakers) {
        return false;
    }
    void* block = std::calloc(1, speakerArrangementBytes(channels));
    if (!block) {
        return false;
    }
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = channels;
    return true;
}

bool ExtendedEffectBase::freeSpeakerArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool ExtendedEffectBase::copySpeakerProperties(VstSpeakerProperties* to,
                                               const VstSpeakerProperties* from) {
    if (!to || !from) {
        return false;
    }
    // The name is copied as a string: up to its terminator, cut to fit.
    size_t length = 0;
    while (length + 1 < sizeof to->name && from->name[length] != '\0') {
        ++length;
    }
    std::memmove(to->name, from->name, length);
    to->name[length] = '\0';
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memmove(to->future, from->future, sizeof to->future);
    return true;
}

bool ExtendedEffectBase::copySpeakerArrangement(VstSpeakerArrangement** to,
                                                const VstSpeakerArrangement* from) {
    if (!to || !from) {
        return false;
    }
    if (*to == from) {
        // Already the same arrangement; freeing the destination would free the source.
        return true;
    }
    if (!allocateSpeakerArrangement(to, from->numChannels)) {
        return false;
    }
    (*to)->type = from->type;
    for (int32_t i = 0; i < from->numChannels; ++i) {
        if (!copySpeakerProperties(speakerAt(*to, i), speakerAt(from, i))) {
            return false;
        }
    }
    return true;
}

intptr_t ExtendedEffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return canBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return text && stringToParameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumProgramCategories();
    case effGetProgramNameIndexed:
        return text && getProgramNameIndexed(clampToInt32(value), index, text) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return getCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<intptr_t>(getDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), clampToInt32(value), index != 0) ? 1
                                                                                               : 0;
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), clampToInt32(value)) ? 1 : 0;
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), clampToInt32(value)) ? 1 : 0;
    case effProcessVarIo:
        return processVarIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(clampToInt32(value), opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return text && getEffectName(text) ? 1 : 0;
    case effGetErrorText:
        return text && getErrorText(text) ? 1 : 0;
    case effGetVendorString:
        return text && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return text ? canDo(text) : 0;
    case effGetTailSize:
        return getTailSize();
    case effIdle:
        return idle();
    case effGetIcon:
        return reinterpret_cast<intptr_t>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, clampToInt32(value)) ? 1 : 0;
    case effGetParameterProperties:
        return ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1
                                                                                               : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor) {
            return 0;
        }
        VstKeyCode key{};
        key.character = index;
        key.virt = lowByte(static_cast<int32_t>(value & 0xFF));
        key.modifier = lowByte(truncateToInt32(opt));
        return opcode == effEditKeyDown ? editor->keyDown(key) : editor->keyUp(key);
    }
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(clampToInt32(value)) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr))
                   ? 1
                   : 0;
    case effShellGetNextPlugin:
        return text ? shellGetNextPlugin(text) : 0;
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(value);
    case effSetPanLaw:
        return setPanLaw(clampToInt32(value), opt) ? 1 : 0;
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    default:
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}
