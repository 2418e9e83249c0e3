// The plug-in interface as the host sees it: the effect record, its callbacks,
// the host callback, the opcodes in both directions and the flag bits.
#pragma once

#include "host/VstTypes.h"

#include <cstddef>
#include <cstdint>

// 32-bit Windows hosts call the entry point and every callback with the cdecl
// convention; spell it out so a different compiler default can never change it.
#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

struct AEffect;

// The host's callback: effect record (may be null), opcode, index, value, ptr, opt.
typedef intptr_t(VSTCALLBACK* audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index,
                                                   intptr_t value, void* ptr, float opt);

// The record's callbacks, called by the host.
typedef intptr_t(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index,
                                                     intptr_t value, void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                              int32_t sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, int32_t index, float parameter);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, int32_t index);

// Four characters packed as a big-endian 32-bit number ('V','s','t','P' -> 0x56737450).
constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');

// The record handed to the host. On 32-bit targets every field is 4 bytes wide
// (144 bytes in all); on 64-bit targets the pointers and the two reserved fields
// are pointer-sized, which is where 64-bit hosts read them.
struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    char future[60];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144, "32-bit record is 144 bytes");
static_assert(offsetof(AEffect, magic) == 0, "record layout");
static_assert(offsetof(AEffect, dispatcher) == 4, "record layout");
static_assert(offsetof(AEffect, process) == 8, "record layout");
static_assert(offsetof(AEffect, setParameter) == 12, "record layout");
static_assert(offsetof(AEffect, getParameter) == 16, "record layout");
static_assert(offsetof(AEffect, numPrograms) == 20, "record layout");
static_assert(offsetof(AEffect, numParams) == 24, "record layout");
static_assert(offsetof(AEffect, numInputs) == 28, "record layout");
static_assert(offsetof(AEffect, numOutputs) == 32, "record layout");
static_assert(offsetof(AEffect, flags) == 36, "record layout");
static_assert(offsetof(AEffect, resvd1) == 40, "record layout");
static_assert(offsetof(AEffect, resvd2) == 44, "record layout");
static_assert(offsetof(AEffect, initialDelay) == 48, "record layout");
static_assert(offsetof(AEffect, realQualities) == 52, "record layout");
static_assert(offsetof(AEffect, offQualities) == 56, "record layout");
static_assert(offsetof(AEffect, ioRatio) == 60, "record layout");
static_assert(offsetof(AEffect, object) == 64, "record layout");
static_assert(offsetof(AEffect, user) == 68, "record layout");
static_assert(offsetof(AEffect, uniqueID) == 72, "record layout");
static_assert(offsetof(AEffect, version) == 76, "record layout");
static_assert(offsetof(AEffect, processReplacing) == 80, "record layout");
static_assert(offsetof(AEffect, future) == 84, "record layout");
#elif INTPTR_MAX == INT64_MAX
static_assert(offsetof(AEffect, magic) == 0, "record layout");
static_assert(offsetof(AEffect, dispatcher) == 8, "record layout");
static_assert(offsetof(AEffect, process) == 16, "record layout");
static_assert(offsetof(AEffect, setParameter) == 24, "record layout");
static_assert(offsetof(AEffect, getParameter) == 32, "record layout");
static_assert(offsetof(AEffect, numPrograms) == 40, "record layout");
static_assert(offsetof(AEffect, numParams) == 44, "record layout");
static_assert(offsetof(AEffect, numInputs) == 48, "record layout");
static_assert(offsetof(AEffect, numOutputs) == 52, "record layout");
static_assert(offsetof(AEffect, flags) == 56, "record layout");
static_assert(offsetof(AEffect, resvd1) == 64, "record layout");
static_assert(offsetof(AEffect, resvd2) == 72, "record layout");
static_assert(offsetof(AEffect, initialDelay) == 80, "record layout");
static_assert(offsetof(AEffect, realQualities) == 84, "record layout");
static_assert(offsetof(AEffect, offQualities) == 88, "record layout");
static_assert(offsetof(AEffect, ioRatio) == 92, "record layout");
static_assert(offsetof(AEffect, object) == 96, "record layout");
static_assert(offsetof(AEffect, user) == 104, "record layout");
static_assert(offsetof(AEffect, uniqueID) == 112, "record layout");
static_assert(offsetof(AEffect, version) == 116, "record layout");
static_assert(offsetof(AEffect, processReplacing) == 120, "record layout");
static_assert(offsetof(AEffect, future) == 128, "record layout");
static_assert(sizeof(AEffect) == 192, "64-bit record size");
#endif

// AEffect::flags bits.
enum : int32_t {
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsExtIsAsync = 1024,
    effFlagsExtHasBuffer = 2048,
};

// Opcodes the host sends through the record's dispatcher.
enum : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,
    effEditMouse = 17,
    effEditKey = 18,
    effEditIdle = 19,
    effEditTop = 20,
    effEditSleep = 21,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,
    effGetDestinationBuffer = 37,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetIcon = 54,
    effSetViewPosition = 55,
    effGetParameterProperties = 56,
    effKeysRequired = 57,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
};

// The highest opcode the dispatchers answer; everything above answers 0.
constexpr int32_t kLastEffectOpcode = effBeginLoadProgram;

// Opcodes the effect sends through the host callback.
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterGetInputSpeakerArrangement = 49,
};

// Plug-in categories answered to effGetPlugCategory.
enum : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Sizes in bytes, terminator included, of the text buffers hosts hand over.
// Parameter display texts and labels are 8 characters; program names 23.
enum : size_t {
    kParamTextSize = 9,
    kProgramNameSize = 24,
    kEffectNameSize = 32,
    kVendorTextSize = 64,
    kProductTextSize = 64,
};

// One loudspeaker of a speaker arrangement: 112 bytes.
struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    int32_t type;
    char future[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112, "speaker entry is 112 bytes");

// A speaker arrangement: type, channel count, then one entry per channel. The
// record declares room for eight entries; arrangements made by the effect hold
// at least that many (and more when they have more channels).
struct VstSpeakerArrangement {
    int32_t type;
    int32_t numChannels;
    VstSpeakerProperties speakers[8];
};
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8, "entries follow type and count");

// Entry i of an arrangement; arrangements with more than eight channels extend
// past the declared array, so the entry is found from the start of the block.
inline VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, int32_t i) {
    char* first = reinterpret_cast<char*>(arrangement) + offsetof(VstSpeakerArrangement, speakers);
    return reinterpret_cast<VstSpeakerProperties*>(first) + i;
}
inline const VstSpeakerProperties* speakerAt(const VstSpeakerArrangement* arrangement, int32_t i) {
    const char* first =
        reinterpret_cast<const char*>(arrangement) + offsetof(VstSpeakerArrangement, speakers);
    return reinterpret_cast<const VstSpeakerProperties*>(first) + i;
}

// Host-side records that the interface passes by pointer only; the effect never
// looks inside them.
struct VstEvents;
struct VstTimeInfo;
struct VstPinProperties;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;
struct VstVariableIo;
struct VstParameterProperties;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;
struct VstPatchChunkInfo;
