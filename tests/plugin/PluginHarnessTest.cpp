// Drives the built plug-in module exactly as a host does: load it, find the
// entry point, call it with a recording host callback and use the record.
#include "host/AEffect.h"
#include "tests/host/RecordingHost.h"
#include "tools/PluginLoader.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef PluginEntryPoint EntryPoint;

constexpr int32_t kHostVersion = 2400;
constexpr int32_t kFlags = effFlagsHasEditor | effFlagsHasVu | effFlagsCanReplacing;

EntryPoint entry(const PluginLoader& module, const char* name) {
    return reinterpret_cast<EntryPoint>(module.symbol(name));
}

class PluginHarness : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module = new PluginLoader(FUMARA_MODULE_PATH); }
    static void TearDownTestSuite() {
        delete module;
        module = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(module->loaded()) << FUMARA_MODULE_PATH << ": " << module->error();
        host.reset();
        host.answer(audioMasterVersion, kHostVersion);
        entryPoint = entry(*module, "main");
        ASSERT_NE(entryPoint, nullptr);
    }

    void TearDown() override {
        for (AEffect* effect : open) {
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        }
    }

    // A fresh instance, closed after the test.
    AEffect* instantiate() {
        AEffect* effect = entryPoint(RecordingHost::callback);
        if (effect) {
            open.push_back(effect);
        }
        return effect;
    }

    void forget(AEffect* effect) {
        for (auto it = open.begin(); it != open.end(); ++it) {
            if (*it == effect) {
                open.erase(it);
                return;
            }
        }
    }

    static intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                             void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    static PluginLoader* module;
    RecordingHost& host = RecordingHost::get();
    EntryPoint entryPoint = nullptr;
    std::vector<AEffect*> open;
};

PluginLoader* PluginHarness::module = nullptr;

TEST_F(PluginHarness, ExportsMainAndVSTPluginMainAsOneFunction) {
    EntryPoint pluginMain = entry(*module, "VSTPluginMain");
    ASSERT_NE(pluginMain, nullptr);
    EXPECT_EQ(pluginMain, entryPoint);
}

TEST_F(PluginHarness, BothEntryNamesCreateAnInstance) {
    AEffect* first = instantiate();
    ASSERT_NE(first, nullptr);
    AEffect* effect = entry(*module, "VSTPluginMain")(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    open.push_back(effect);
    EXPECT_NE(first, effect);
    EXPECT_EQ(effect->uniqueID, first->uniqueID);
}

TEST_F(PluginHarness, AHostWithoutVersionIsRefused) {
    host.answer(audioMasterVersion, 0);
    EXPECT_EQ(instantiate(), nullptr);
    ASSERT_EQ(host.calls.size(), 1u);
    const HostCall& call = host.calls[0];
    EXPECT_EQ(call.effect, nullptr);
    EXPECT_EQ(call.opcode, audioMasterVersion);
    EXPECT_EQ(call.index, 0);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.ptr, nullptr);
    EXPECT_EQ(call.opt, 0.0f);
}

TEST_F(PluginHarness, NoCallbackNoInstance) {
    EXPECT_EQ(entryPoint(nullptr), nullptr);
}

TEST_F(PluginHarness, RecordAfterMain) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 128);
    EXPECT_EQ(effect->numParams, 32);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, kFlags);
    EXPECT_EQ(effect->flags & effFlagsProgramChunks, 0);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect->uniqueID, 0x4B444675); // KDFu
    EXPECT_EQ(effect->version, 1);
    EXPECT_NE(effect->dispatcher, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    for (char byte : effect->future) {
        EXPECT_EQ(byte, 0);
    }
    // The only host call while creating an instance is the version question.
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(host.calls[0].effect, nullptr);
}

TEST_F(PluginHarness, EveryOpcodeAnswersItsDefinedValue) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    host.reset();

    alignas(16) char buffer[256];
    auto scratch = [&]() -> char* {
        std::memset(buffer, 0, sizeof buffer);
        return buffer;
    };
    VstSpeakerArrangement* input = nullptr;
    VstSpeakerArrangement* output = nullptr;
    struct Row {
        int32_t opcode;
        intptr_t expected;
        int32_t index;
        intptr_t value;
        void* ptr;
        float opt;
    };
    // effClose (1) has its own test; the rest in opcode order.
    const std::vector<Row> rows = {
        {effOpen, 0, 0, 0, nullptr, 0.0f},
        {effSetProgram, 0, 0, 5, nullptr, 0.0f},
        {effGetProgram, 5, 0, 0, nullptr, 0.0f},
        {effSetProgramName, 0, 0, 0, scratch(), 0.0f},
        {effGetProgramName, 0, 0, 0, scratch(), 0.0f},
        {effGetParamLabel, 0, 0, 0, scratch(), 0.0f},
        {effGetParamDisplay, 0, 0, 0, scratch(), 0.0f},
        {effGetParamName, 0, 0, 0, scratch(), 0.0f},
        {effGetVu, 0, 0, 0, nullptr, 0.0f},
        {effSetSampleRate, 0, 0, 0, nullptr, 48000.0f},
        {effSetBlockSize, 0, 0, 512, nullptr, 0.0f},
        {effMainsChanged, 0, 0, 1, nullptr, 0.0f},
        {effEditGetRect, 1, 0, 0, scratch(), 0.0f},
        {effEditOpen, 0, 0, 0, scratch(), 0.0f}, // not a window: nothing opens
        {effEditClose, 0, 0, 0, nullptr, 0.0f},
        {effEditDraw, 0, 0, 0, scratch(), 0.0f},
        {effEditMouse, 0, 1, 1, nullptr, 0.0f},
        {effEditKey, 0, 65, 0, nullptr, 0.0f},
        {effEditIdle, 0, 0, 0, nullptr, 0.0f},
        {effEditTop, 0, 0, 0, nullptr, 0.0f},
        {effEditSleep, 0, 0, 0, nullptr, 0.0f},
        {effIdentify, 0x4E764566, 0, 0, nullptr, 0.0f},
        {effGetChunk, 0, 0, 0, scratch(), 0.0f},
        {effSetChunk, 0, 0, 16, scratch(), 0.0f},
        {effProcessEvents, 0, 0, 0, scratch(), 0.0f},
        {effCanBeAutomated, 1, 3, 0, nullptr, 0.0f},
        {effString2Parameter, 0, 3, 0, scratch(), 0.0f},
        {effGetNumProgramCategories, 1, 0, 0, nullptr, 0.0f},
        {effGetProgramNameIndexed, 1, 4, 0, scratch(), 0.0f},
        {effCopyProgram, 0, 1, 0, nullptr, 0.0f},
        {effConnectInput, 1, 0, 1, nullptr, 0.0f},
        {effConnectOutput, 1, 1, 1, nullptr, 0.0f},
        {effGetInputProperties, 0, 0, 0, scratch(), 0.0f},
        {effGetOutputProperties, 0, 0, 0, scratch(), 0.0f},
        {effGetPlugCategory, kPlugCategEffect, 0, 0, nullptr, 0.0f},
        {effGetCurrentPosition, 0, 0, 0, nullptr, 0.0f},
        {effGetDestinationBuffer, 0, 0, 0, nullptr, 0.0f},
        {effOfflineNotify, 0, 1, 1, scratch(), 0.0f},
        {effOfflinePrepare, 0, 0, 1, scratch(), 0.0f},
        {effOfflineRun, 0, 0, 1, scratch(), 0.0f},
        {effProcessVarIo, 0, 0, 0, scratch(), 0.0f},
        {effSetSpeakerArrangement, 0, 0, reinterpret_cast<intptr_t>(buffer), buffer, 0.0f},
        {effSetBlockSizeAndSampleRate, 1, 0, 256, nullptr, 44100.0f},
        {effSetBypass, 0, 0, 1, nullptr, 0.0f},
        {effGetEffectName, 1, 0, 0, scratch(), 0.0f},
        {effGetErrorText, 0, 0, 0, scratch(), 0.0f},
        {effGetVendorString, 1, 0, 0, scratch(), 0.0f},
        {effGetProductString, 1, 0, 0, scratch(), 0.0f},
        {effGetVendorVersion, 1000, 0, 0, nullptr, 0.0f},
        {effVendorSpecific, 0, 1, 2, scratch(), 3.0f},
        {effCanDo, 0, 0, 0, const_cast<char*>("2in2out"), 0.0f},
        {effGetTailSize, 0, 0, 0, nullptr, 0.0f},
        {effIdle, 0, 0, 0, nullptr, 0.0f},
        {effGetIcon, 0, 0, 0, nullptr, 0.0f},
        {effSetViewPosition, 0, 10, 20, nullptr, 0.0f},
        {effGetParameterProperties, 0, 0, 0, scratch(), 0.0f},
        {effKeysRequired, 1, 0, 0, nullptr, 0.0f},
        {effGetVstVersion, 2300, 0, 0, nullptr, 0.0f},
        {effEditKeyDown, -1, 65, 0x120, nullptr, 2.9f},
        {effEditKeyUp, -1, 65, 0x120, nullptr, 2.9f},
        {effSetEditKnobMode, 1, 0, 2, nullptr, 0.0f},
        {effGetMidiProgramName, 0, 0, 0, scratch(), 0.0f},
        {effGetCurrentMidiProgram, -1, 0, 0, scratch(), 0.0f},
        {effGetMidiProgramCategory, 0, 0, 0, scratch(), 0.0f},
        {effHasMidiProgramsChanged, 0, 0, 0, nullptr, 0.0f},
        {effGetMidiKeyName, 0, 0, 0, scratch(), 0.0f},
        {effBeginSetProgram, 0, 0, 0, nullptr, 0.0f},
        {effEndSetProgram, 0, 0, 0, nullptr, 0.0f},
        {effGetSpeakerArrangement, 0, 0, reinterpret_cast<intptr_t>(&input), &output, 0.0f},
        {effShellGetNextPlugin, 0, 0, 0, scratch(), 0.0f},
        {effStartProcess, 0, 0, 0, nullptr, 0.0f},
        {effStopProcess, 0, 0, 0, nullptr, 0.0f},
        {effSetTotalSampleToProcess, 1234567, 0, 1234567, nullptr, 0.0f},
        {effSetPanLaw, 0, 0, 1, nullptr, 0.7071f},
        {effBeginLoadBank, 0, 0, 0, scratch(), 0.0f},
        {effBeginLoadProgram, 0, 0, 0, scratch(), 0.0f},
    };
    ASSERT_EQ(rows.size(), 76u);
    int32_t next = 0;
    for (const Row& row : rows) {
        if (next == effClose) {
            ++next;
        }
        ASSERT_EQ(row.opcode, next++) << "table out of order";
        EXPECT_EQ(dispatch(effect, row.opcode, row.index, row.value, row.ptr, row.opt),
                  row.expected)
            << "opcode " << row.opcode;
    }
    // The record is unchanged by all of that.
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->flags, kFlags);
    // No opcode makes the effect call the host.
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(PluginHarness, NamesAndVersions) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    auto text = [&](int32_t opcode, size_t size) {
        std::vector<char> buffer(size + 16, '#');
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, buffer.data()), 1) << opcode;
        const size_t length = std::strlen(buffer.data());
        EXPECT_LT(length, size) << opcode;
        for (size_t i = length + 1; i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], '#') << "byte " << i << " of opcode " << opcode;
        }
        return std::string(buffer.data());
    };
    EXPECT_EQ(text(effGetEffectName, 32), "KDLV Fumara");
    EXPECT_EQ(text(effGetProductString, 64), "KDLV Fumara");
    EXPECT_EQ(text(effGetVendorString, 64), "Tarnwick");
    EXPECT_EQ(dispatch(effect, effGetVendorVersion), 1000);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 1);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2300);
}

TEST_F(PluginHarness, CapabilitiesAreNeitherYesNorNo) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    for (const char* word : {"2in2out", "bypass", "receiveVstEvents", "plugAsChannelInsert",
                             "sendVstEvents", "receiveVstTimeInfo"}) {
        std::string copy = word;
        EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, &copy[0]), 0) << word;
    }
}

TEST_F(PluginHarness, ProgramsOutsideTheBankAreRefused) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetProgram, 0, 127);
    EXPECT_EQ(dispatch(effect, effGetProgram), 127);
    for (intptr_t program :
         {intptr_t(128), intptr_t(-1), intptr_t(1000), std::numeric_limits<intptr_t>::min()}) {
        EXPECT_EQ(dispatch(effect, effSetProgram, 0, program), 0);
        EXPECT_EQ(dispatch(effect, effGetProgram), 127) << program;
    }
}

TEST_F(PluginHarness, NullPointersFromTheHostAreAnsweredWithZero) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    for (int32_t opcode = 0; opcode <= kLastEffectOpcode; ++opcode) {
        if (opcode == effClose || opcode == effGetProgram || opcode == effIdentify ||
            opcode == effConnectInput || opcode == effConnectOutput ||
            opcode == effSetBlockSizeAndSampleRate || opcode == effSetTotalSampleToProcess ||
            opcode == effGetVstVersion || opcode == effGetVendorVersion ||
            opcode == effGetPlugCategory || opcode == effCanBeAutomated ||
            opcode == effGetNumProgramCategories || opcode == effKeysRequired ||
            opcode == effGetCurrentMidiProgram || opcode == effEditGetRect ||
            opcode == effEditOpen || opcode == effEditKeyDown || opcode == effEditKeyUp ||
            opcode == effSetEditKnobMode) {
            continue; // these answer fixed values whatever the pointer
        }
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
    }
    EXPECT_EQ(dispatch(effect, effGetCurrentMidiProgram, 0, 0, nullptr), -1);
    // The editor: its size without a rectangle to fill; no window to open in.
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, nullptr), 1);
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, nullptr), 1);
    EXPECT_EQ(dispatch(effect, effEditClose, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 0, 0, nullptr), -1);
}

TEST_F(PluginHarness, OpcodesBeyondTheTableAnswerZero) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    char text[64] = {};
    for (int32_t opcode : {77, 78, 99, 4096, -1, std::numeric_limits<int32_t>::min()}) {
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, text, 1.0f), 0) << opcode;
    }
}

TEST_F(PluginHarness, ProcessingWritesEveryOutputSample) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(effect, effSetBlockSize, 0, 64);
    dispatch(effect, effMainsChanged, 0, 1);
    std::vector<float> inL(64, 0.5f), inR(64, -0.5f), outL(64, 1e30f), outR(64, 1e30f);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    for (auto callback : {effect->processReplacing, effect->process}) {
        std::fill(outL.begin(), outL.end(), 1e30f);
        std::fill(outR.begin(), outR.end(), 1e30f);
        callback(effect, inputs, outputs, 64);
        // The default program's dry gain is 1 (within float rounding of 0.9);
        // the first reflection comes hundreds of samples later.
        for (int i = 0; i < 64; ++i) {
            EXPECT_NEAR(outL[i], 0.5f, 1e-6f) << i;
            EXPECT_NEAR(outR[i], -0.5f, 1e-6f) << i;
        }
    }
    // Degenerate blocks from a host: nothing to do, nothing to crash.
    effect->processReplacing(effect, inputs, outputs, 0);
    effect->processReplacing(effect, inputs, outputs, -16);
    effect->processReplacing(effect, nullptr, nullptr, 64);
    float* partial[2] = {outL.data(), nullptr};
    effect->processReplacing(effect, inputs, partial, 64);
}

TEST_F(PluginHarness, ParameterCallbacksTolerateAnyIndex) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    for (int32_t index : {0, 31, 32, -1, 1000000, std::numeric_limits<int32_t>::min()}) {
        effect->setParameter(effect, index, 0.5f);
        const float value = effect->getParameter(effect, index);
        EXPECT_FALSE(value != value) << index; // never NaN
    }
    EXPECT_EQ(effect->getParameter(effect, 32), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
}

TEST_F(PluginHarness, InstancesAreIndependentAndCloseAnswersOne) {
    AEffect* first = instantiate();
    AEffect* second = instantiate();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->object, second->object);
    dispatch(first, effSetProgram, 0, 9);
    dispatch(second, effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(first, effGetProgram), 9);

    forget(first);
    EXPECT_EQ(dispatch(first, effClose), 1);
    EXPECT_EQ(dispatch(second, effGetProgram), 3);
    EXPECT_EQ(dispatch(second, effIdentify), 0x4E764566);
    forget(second);
    EXPECT_EQ(dispatch(second, effClose), 1);
}

TEST_F(PluginHarness, ScannerSequence) {
    // What a host's plug-in scanner does: create, read, suspend without resume, close.
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    char name[64] = {};
    dispatch(effect, effOpen);
    dispatch(effect, effGetEffectName, 0, 0, name);
    dispatch(effect, effGetVendorString, 0, 0, name);
    dispatch(effect, effGetProgramNameIndexed, 0, 0, name);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 1);
    dispatch(effect, effMainsChanged, 0, 1);
    forget(effect);
    EXPECT_EQ(dispatch(effect, effClose), 1);
}

} // namespace
