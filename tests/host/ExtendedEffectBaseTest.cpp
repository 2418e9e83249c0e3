// The extended opcodes' defaults and arguments, the extended calls back to the host in one
// table, and the speaker arrangements.
#include "tests/host/RecordingHost.h"
#include "tests/host/TestEffect.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

intptr_t dispatch(EffectBase& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    AEffect* record = effect.getRecord();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

template <typename T> T* opaque(void* address) {
    return reinterpret_cast<T*>(address);
}

class ExtendedEffectBaseTest : public ::testing::Test {
protected:
    void SetUp() override { RecordingHost::get().reset(); }
    RecordingHost& host = RecordingHost::get();
};

TEST_F(ExtendedEffectBaseTest, EveryExtendedOpcodeAnswersItsDefault) {
    PlainEffect effect(RecordingHost::callback);
    // Valid pointers everywhere, so the answers come from the operations alone.
    alignas(16) char scratch[1024] = {};
    VstSpeakerArrangement* input = opaque<VstSpeakerArrangement>(scratch);
    VstSpeakerArrangement* output = opaque<VstSpeakerArrangement>(scratch);
    struct Row {
        int32_t opcode;
        intptr_t expected;
        intptr_t value;
        void* ptr;
    };
    const Row rows[] = {
        {25, 0, 0, scratch},
        {26, 1, 0, scratch},
        {27, 0, 0, scratch},
        {28, 1, 0, scratch},
        {29, 0, 0, scratch},
        {30, 0, 0, scratch},
        {31, 1, 1, scratch},
        {32, 1, 1, scratch},
        {33, 0, 0, scratch},
        {34, 0, 0, scratch},
        {35, 0, 0, scratch},
        {36, 0, 0, scratch},
        {37, 0, 0, scratch},
        {38, 0, 0, scratch},
        {39, 0, 0, scratch},
        {40, 0, 0, scratch},
        {41, 0, 0, scratch},
        {42, 0, reinterpret_cast<intptr_t>(scratch), scratch},
        {43, 1, 256, scratch},
        {44, 0, 1, scratch},
        {45, 0, 0, scratch},
        {46, 0, 0, scratch},
        {47, 0, 0, scratch},
        {48, 0, 0, scratch},
        {49, 0, 0, scratch},
        {50, 0, 5, scratch},
        {51, 0, 0, scratch},
        {52, 0, 0, scratch},
        {53, 0, 0, scratch},
        {54, 0, 0, scratch},
        {55, 0, 10, scratch},
        {56, 0, 0, scratch},
        {57, 1, 0, scratch},
        {58, 2300, 0, scratch},
        {59, 0, 0x20, scratch},
        {60, 0, 0x20, scratch},
        {61, 0, 1, scratch},
        {62, 0, 0, scratch},
        {63, -1, 0, scratch},
        {64, 0, 0, scratch},
        {65, 0, 0, scratch},
        {66, 0, 0, scratch},
        {67, 0, 0, scratch},
        {68, 0, 0, scratch},
        {69, 0, reinterpret_cast<intptr_t>(&input), &output},
        {70, 0, 0, scratch},
        {71, 0, 0, scratch},
        {72, 0, 0, scratch},
        {73, 44100 * 60, 44100 * 60, scratch},
        {74, 0, 1, scratch},
        {75, 0, 0, scratch},
        {76, 0, 0, scratch},
    };
    int32_t expectedOpcode = 25;
    for (const Row& row : rows) {
        EXPECT_EQ(row.opcode, expectedOpcode++);
        EXPECT_EQ(dispatch(effect, row.opcode, 0, row.value, row.ptr, 0.5f), row.expected)
            << "opcode " << row.opcode;
    }
    EXPECT_EQ(expectedOpcode, 77);
    // The getter wrote null into both arrangement pointers.
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    // Answering the host's opcodes never calls the host back.
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ExtendedEffectBaseTest, OperationsReceiveTheDispatchersArguments) {
    TestEffect effect;
    char text[32] = {};

    dispatch(effect, effCanBeAutomated, 7);
    ASSERT_TRUE(effect.reachedOnly("canBeAutomated"));
    EXPECT_EQ(effect.reached[0].a, 7);
    effect.automatable = false;
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 7), 0);

    effect.reached.clear();
    EXPECT_EQ(dispatch(effect, effGetProgramNameIndexed, 4, 2, text), 1);
    ASSERT_TRUE(effect.reachedOnly("getProgramNameIndexed"));
    EXPECT_EQ(effect.reached[0].a, 2); // category from value
    EXPECT_EQ(effect.reached[0].b, 4); // program from index
    EXPECT_EQ(effect.reached[0].ptr, text);

    effect.reached.clear();
    EXPECT_EQ(dispatch(effect, effConnectInput, 1, 0), 1);
    EXPECT_EQ(dispatch(effect, effConnectOutput, 0, 3), 1);
    ASSERT_EQ(effect.reached.size(), 2u);
    EXPECT_EQ(effect.reached[0].operation, "inputConnected");
    EXPECT_EQ(effect.reached[0].a, 1);
    EXPECT_EQ(effect.reached[0].b, 0);
    EXPECT_EQ(effect.reached[1].operation, "outputConnected");
    EXPECT_EQ(effect.reached[1].b, 1);

    effect.reached.clear();
    dispatch(effect, effSetBypass, 0, 2);
    ASSERT_TRUE(effect.reachedOnly("setBypass"));
    EXPECT_EQ(effect.reached[0].a, 1);

    effect.reached.clear();
    dispatch(effect, effVendorSpecific, 3, 9, text, 0.25f);
    ASSERT_TRUE(effect.reachedOnly("vendorSpecific"));
    EXPECT_EQ(effect.reached[0].a, 3);
    EXPECT_EQ(effect.reached[0].b, 9);
    EXPECT_EQ(effect.reached[0].ptr, text);
    EXPECT_EQ(effect.reached[0].f, 0.25f);

    effect.reached.clear();
    dispatch(effect, effSetPanLaw, 0, 1, nullptr, 0.707f);
    ASSERT_TRUE(effect.reachedOnly("setPanLaw"));
    EXPECT_EQ(effect.reached[0].a, 1);
    EXPECT_EQ(effect.reached[0].f, 0.707f);
}

TEST_F(ExtendedEffectBaseTest, CanDoKnowsNoCapability) {
    TestEffect effect;
    for (const char* word :
         {"2in2out", "bypass", "receiveVstEvents", "plugAsChannelInsert", "sendVstMidiEvent", ""}) {
        std::string copy = word;
        EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, &copy[0]), 0) << word;
    }
    EXPECT_EQ(effect.reached.size(), 6u);
}

TEST_F(ExtendedEffectBaseTest, KeysRequiredIsInverted) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effKeysRequired), 1);
    effect.wantsKeys = true;
    EXPECT_EQ(dispatch(effect, effKeysRequired), 0);
}

TEST_F(ExtendedEffectBaseTest, BlockSizeAndSampleRateOnlyStoreTheFields) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.0f), 1);
    EXPECT_EQ(effect.blockSizeField(), 64);
    EXPECT_EQ(effect.sampleRateField(), 96000.0f);
    // Neither setSampleRate nor setBlockSize was reached.
    EXPECT_TRUE(effect.reached.empty());
}

TEST_F(ExtendedEffectBaseTest, PlugCategoryFollowsTheSynthFlag) {
    PlainEffect effect;
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategUnknown);
    effect.setIsSynth(true);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategSynth);
    effect.setIsSynth(false);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategUnknown);
}

TEST_F(ExtendedEffectBaseTest, ExtendedFlagSetters) {
    PlainEffect effect;
    effect.setIsSynth(true);
    effect.setNoTail(true);
    effect.setWantsAsync(true);
    effect.setHasExternalBuffer(true);
    EXPECT_EQ(effect.getRecord()->flags, 256 | 512 | 1024 | 2048);
    effect.setNoTail(false);
    effect.setWantsAsync(false);
    EXPECT_EQ(effect.getRecord()->flags, 256 | 2048);
}

TEST_F(ExtendedEffectBaseTest, SpeakerArrangementGetterToleratesNullAddresses) {
    PlainEffect effect;
    VstSpeakerArrangement* input = opaque<VstSpeakerArrangement>(&effect);
    EXPECT_EQ(
        dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), nullptr),
        0);
    EXPECT_EQ(input, nullptr);
    EXPECT_FALSE(effect.getSpeakerArrangement(nullptr, nullptr));
}

// One host call: what to invoke, what the host must receive, and the answers.
struct HostCallRow {
    const char* name;
    std::function<intptr_t(PlainEffect&)> invoke;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    intptr_t withoutHost; // answer when there is no callback
    intptr_t hostAnswer;  // what the recording host answers
    intptr_t withAnswer;  // what the operation then answers
};

TEST_F(ExtendedEffectBaseTest, HostCallsSendTheirFieldsAndMapTheAnswer) {
    char buffer[64] = {};
    void* p = buffer;
    auto truth = [](bool b) -> intptr_t { return b ? 1 : 0; };
    auto address = [](const void* q) { return reinterpret_cast<intptr_t>(q); };
    const intptr_t hostPointer = address(buffer + 8);
    const HostCallRow rows[] = {
        {"wantEvents",
         [](PlainEffect& e) {
             e.wantEvents(5);
             return intptr_t(0);
         },
         6, 0, 5, nullptr, 0.0f, 0, 1, 0},
        {"getTimeInfo", [&](PlainEffect& e) { return address(e.getTimeInfo(3)); }, 7, 0, 3, nullptr,
         0.0f, 0, hostPointer, hostPointer},
        {"tempoAt", [](PlainEffect& e) { return intptr_t(e.tempoAt(7)); }, 10, 0, 7, nullptr, 0.0f,
         0, 1200000, 1200000},
        {"getNumAutomatableParameters",
         [](PlainEffect& e) { return intptr_t(e.getNumAutomatableParameters()); }, 11, 0, 0,
         nullptr, 0.0f, 0, 12, 12},
        {"getParameterQuantization",
         [](PlainEffect& e) { return intptr_t(e.getParameterQuantization()); }, 12, 0, 0, nullptr,
         0.0f, 0, 100, 100},
        {"ioChanged", [&](PlainEffect& e) { return truth(e.ioChanged()); }, 13, 0, 0, nullptr, 0.0f,
         0, 5, 1},
        {"needIdle", [&](PlainEffect& e) { return truth(e.needIdle()); }, 14, 0, 0, nullptr, 0.0f,
         0, -1, 1},
        {"sizeWindow", [&](PlainEffect& e) { return truth(e.sizeWindow(300, 245)); }, 15, 300, 245,
         nullptr, 0.0f, 0, 1, 1},
        {"getInputLatency", [](PlainEffect& e) { return intptr_t(e.getInputLatency()); }, 18, 0, 0,
         nullptr, 0.0f, 0, 64, 64},
        {"getOutputLatency", [](PlainEffect& e) { return intptr_t(e.getOutputLatency()); }, 19, 0,
         0, nullptr, 0.0f, 0, 32, 32},
        {"getPreviousPlug", [&](PlainEffect& e) { return address(e.getPreviousPlug(3)); }, 20, 0, 0,
         nullptr, 0.0f, 0, hostPointer, hostPointer},
        {"getNextPlug", [&](PlainEffect& e) { return address(e.getNextPlug(2)); }, 21, 0, 0,
         nullptr, 0.0f, 0, hostPointer, hostPointer},
        {"willProcessReplacing", [](PlainEffect& e) { return intptr_t(e.willProcessReplacing()); },
         22, 0, 0, nullptr, 0.0f, 0, 1, 1},
        {"getCurrentProcessLevel",
         [](PlainEffect& e) { return intptr_t(e.getCurrentProcessLevel()); }, 23, 0, 0, nullptr,
         0.0f, 0, 2, 2},
        {"getAutomationState", [](PlainEffect& e) { return intptr_t(e.getAutomationState()); }, 24,
         0, 0, nullptr, 0.0f, 0, 3, 3},
        {"offlineRead",
         [&](PlainEffect& e) { return truth(e.offlineRead(opaque<VstOfflineTask>(p), 4, true)); },
         26, 1, 4, p, 0.0f, 0, 1, 1},
        {"offlineWrite",
         [&](PlainEffect& e) { return truth(e.offlineWrite(opaque<VstOfflineTask>(p), 2)); }, 27, 0,
         2, p, 0.0f, 0, 1, 1},
        {"offlineStart",
         [&](PlainEffect& e) { return truth(e.offlineStart(opaque<VstAudioFile>(p), 3, 2)); }, 25,
         2, 3, p, 0.0f, 0, 1, 1},
        {"offlineGetCurrentPass", [&](PlainEffect& e) { return truth(e.offlineGetCurrentPass()); },
         28, 0, 0, nullptr, 0.0f, 0, 1, 1},
        {"offlineGetCurrentMetaPass",
         [&](PlainEffect& e) { return truth(e.offlineGetCurrentMetaPass()); }, 29, 0, 0, nullptr,
         0.0f, 0, 1, 1},
        {"setOutputSampleRate",
         [](PlainEffect& e) {
             e.setOutputSampleRate(96000.0f);
             return intptr_t(0);
         },
         30, 0, 0, nullptr, 96000.0f, 0, 1, 0},
        {"getInputSpeakerArrangement",
         [&](PlainEffect& e) { return address(e.getInputSpeakerArrangement()); }, 49, 0, 0, nullptr,
         0.0f, 0, hostPointer, hostPointer},
        {"getOutputSpeakerArrangement",
         [&](PlainEffect& e) { return address(e.getOutputSpeakerArrangement()); }, 31, 0, 0,
         nullptr, 0.0f, 0, hostPointer, hostPointer},
        {"getHostVendorString",
         [&](PlainEffect& e) { return truth(e.getHostVendorString(buffer)); }, 32, 0, 0, p, 0.0f, 0,
         1, 1},
        {"getHostProductString",
         [&](PlainEffect& e) { return truth(e.getHostProductString(buffer)); }, 33, 0, 0, p, 0.0f,
         0, 1, 1},
        {"getHostVendorVersion", [](PlainEffect& e) { return intptr_t(e.getHostVendorVersion()); },
         34, 0, 0, nullptr, 0.0f, 0, 7300, 7300},
        {"hostVendorSpecific", [&](PlainEffect& e) { return e.hostVendorSpecific(1, 2, p, 0.5f); },
         35, 1, 2, p, 0.5f, 0, 99, 99},
        {"canHostDo", [&](PlainEffect& e) { return truth(e.canHostDo(buffer)); }, 37, 0, 0, p, 0.0f,
         0, -1, 1},
        {"getHostLanguage", [](PlainEffect& e) { return intptr_t(e.getHostLanguage()); }, 38, 0, 0,
         nullptr, 0.0f, 0, 1, 1},
        {"openWindow", [&](PlainEffect& e) { return address(e.openWindow(opaque<VstWindow>(p))); },
         39, 0, 0, p, 0.0f, 0, hostPointer, hostPointer},
        {"closeWindow", [&](PlainEffect& e) { return truth(e.closeWindow(opaque<VstWindow>(p))); },
         40, 0, 0, p, 0.0f, 0, 1, 1},
        {"getDirectory", [&](PlainEffect& e) { return address(e.getDirectory()); }, 41, 0, 0,
         nullptr, 0.0f, 0, hostPointer, hostPointer},
        {"updateDisplay", [&](PlainEffect& e) { return truth(e.updateDisplay()); }, 42, 0, 0,
         nullptr, 0.0f, 0, 1, 1},
        {"beginEdit", [&](PlainEffect& e) { return truth(e.beginEdit(4)); }, 43, 4, 0, nullptr,
         0.0f, 0, 1, 1},
        {"endEdit", [&](PlainEffect& e) { return truth(e.endEdit(4)); }, 44, 4, 0, nullptr, 0.0f, 0,
         1, 1},
        {"openFileSelector",
         [&](PlainEffect& e) { return truth(e.openFileSelector(opaque<VstFileSelect>(p))); }, 45, 0,
         0, p, 0.0f, 0, 1, 1},
    };
    for (const HostCallRow& row : rows) {
        PlainEffect alone;
        EXPECT_EQ(row.invoke(alone), row.withoutHost) << row.name;

        host.reset();
        PlainEffect effect(RecordingHost::callback);
        EXPECT_EQ(row.invoke(effect), intptr_t(0)) << row.name << " (host answers 0)";
        host.reset();
        host.answer(row.opcode, row.hostAnswer);
        EXPECT_EQ(row.invoke(effect), row.withAnswer) << row.name;
        ASSERT_EQ(host.calls.size(), 1u) << row.name;
        const HostCall& call = host.calls[0];
        EXPECT_EQ(call.effect, effect.getRecord()) << row.name;
        EXPECT_EQ(call.opcode, row.opcode) << row.name;
        EXPECT_EQ(call.index, row.index) << row.name;
        EXPECT_EQ(call.value, row.value) << row.name;
        EXPECT_EQ(call.ptr, row.ptr) << row.name;
        EXPECT_EQ(call.opt, row.opt) << row.name;
    }
}

TEST_F(ExtendedEffectBaseTest, OpenFileSelectorWithoutSelectorDoesNotAskTheHost) {
    PlainEffect effect(RecordingHost::callback);
    host.answer(audioMasterOpenFileSelector, 1);
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ExtendedEffectBaseTest, UpdateSampleRateKeepsTheFieldUnlessTheHostKnows) {
    PlainEffect effect(RecordingHost::callback);
    host.answer(audioMasterGetSampleRate, 48000);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
    EXPECT_EQ(effect.sampleRateField(), 48000.0f);
    host.answer(audioMasterGetSampleRate, 0);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
    host.answer(audioMasterGetSampleRate, -44100);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
    EXPECT_EQ(host.count(audioMasterGetSampleRate), 3);

    PlainEffect alone;
    EXPECT_EQ(alone.updateSampleRate(), 44100.0f);
}

TEST_F(ExtendedEffectBaseTest, UpdateBlockSizeKeepsTheFieldUnlessTheHostKnows) {
    PlainEffect effect(RecordingHost::callback);
    host.answer(audioMasterGetBlockSize, 256);
    EXPECT_EQ(effect.updateBlockSize(), 256);
    host.answer(audioMasterGetBlockSize, 0);
    EXPECT_EQ(effect.updateBlockSize(), 256);
    host.answer(audioMasterGetBlockSize, -1);
    EXPECT_EQ(effect.updateBlockSize(), 256);
    EXPECT_EQ(effect.blockSizeField(), 256);

    PlainEffect alone;
    EXPECT_EQ(alone.updateBlockSize(), 1024);
}

// Speaker arrangements.

VstSpeakerProperties makeSpeaker(const char* name, float azimuth, int32_t type) {
    VstSpeakerProperties speaker{};
    std::strncpy(speaker.name, name, sizeof speaker.name - 1);
    speaker.azimuth = azimuth;
    speaker.elevation = 0.25f;
    speaker.radius = 2.0f;
    speaker.reserved = 0.5f;
    speaker.type = type;
    speaker.future[0] = 7;
    speaker.future[27] = 9;
    return speaker;
}

TEST_F(ExtendedEffectBaseTest, AllocateSpeakerArrangement) {
    PlainEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateSpeakerArrangement(&arrangement, 3));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->numChannels, 3);
    EXPECT_EQ(arrangement->type, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(speakerAt(arrangement, i)->name[0], 0);
        EXPECT_EQ(speakerAt(arrangement, i)->azimuth, 0.0f);
    }
    // Re-allocating frees the old one first (leak checkers see it).
    ASSERT_TRUE(effect.allocateSpeakerArrangement(&arrangement, 12));
    EXPECT_EQ(arrangement->numChannels, 12);
    speakerAt(arrangement, 11)->type = 4;
    EXPECT_TRUE(effect.freeSpeakerArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.freeSpeakerArrangement(&arrangement));
    EXPECT_TRUE(effect.freeSpeakerArrangement(nullptr));
}

TEST_F(ExtendedEffectBaseTest, AllocateSpeakerArrangementRefusesImpossibleRequests) {
    PlainEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateSpeakerArrangement(&arrangement, 2));
    // The old arrangement is gone and the address holds null.
    EXPECT_FALSE(effect.allocateSpeakerArrangement(&arrangement, -1));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_FALSE(effect.allocateSpeakerArrangement(&arrangement, INT32_MAX));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_FALSE(effect.allocateSpeakerArrangement(nullptr, 2));
}

TEST_F(ExtendedEffectBaseTest, ArrangementsAreNeverSmallerThanTheRecord) {
    EXPECT_EQ(speakerArrangementBytes(0), sizeof(VstSpeakerArrangement));
    EXPECT_EQ(speakerArrangementBytes(2), sizeof(VstSpeakerArrangement));
    EXPECT_EQ(speakerArrangementBytes(8), 8u + 112u * 8u);
    EXPECT_EQ(speakerArrangementBytes(10), 8u + 112u * 10u);
}

TEST_F(ExtendedEffectBaseTest, CopySpeakerProperties) {
    PlainEffect effect;
    VstSpeakerProperties from = makeSpeaker("Left Surround", -110.0f, 5);
    VstSpeakerProperties to{};
    std::memset(&to, 'q', sizeof to);
    ASSERT_TRUE(effect.copySpeakerProperties(&to, &from));
    EXPECT_STREQ(to.name, "Left Surround");
    EXPECT_EQ(to.azimuth, -110.0f);
    EXPECT_EQ(to.elevation, 0.25f);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 0.5f);
    EXPECT_EQ(to.type, 5);
    EXPECT_EQ(to.future[0], 7);
    EXPECT_EQ(to.future[27], 9);
    EXPECT_FALSE(effect.copySpeakerProperties(nullptr, &from));
    EXPECT_FALSE(effect.copySpeakerProperties(&to, nullptr));
}

TEST_F(ExtendedEffectBaseTest, CopySpeakerPropertiesCutsAnUnterminatedName) {
    PlainEffect effect;
    VstSpeakerProperties from = makeSpeaker("", 0.0f, 1);
    std::memset(from.name, 'n', sizeof from.name);
    VstSpeakerProperties to{};
    ASSERT_TRUE(effect.copySpeakerProperties(&to, &from));
    EXPECT_EQ(std::strlen(to.name), sizeof to.name - 1);
    EXPECT_EQ(to.type, 1);
}

TEST_F(ExtendedEffectBaseTest, CopySpeakerArrangement) {
    PlainEffect effect;
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateSpeakerArrangement(&from, 10));
    from->type = 14;
    for (int i = 0; i < 10; ++i) {
        *speakerAt(from, i) = makeSpeaker(i % 2 ? "R" : "L", 10.0f * i, i);
    }
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateSpeakerArrangement(&to, 1));
    ASSERT_TRUE(effect.copySpeakerArrangement(&to, from));
    ASSERT_NE(to, from);
    EXPECT_EQ(to->type, 14);
    EXPECT_EQ(to->numChannels, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_STREQ(speakerAt(to, i)->name, i % 2 ? "R" : "L");
        EXPECT_EQ(speakerAt(to, i)->azimuth, 10.0f * i);
        EXPECT_EQ(speakerAt(to, i)->type, i);
    }
    // Copying onto itself keeps it intact.
    VstSpeakerArrangement* same = from;
    EXPECT_TRUE(effect.copySpeakerArrangement(&same, from));
    EXPECT_EQ(same, from);
    EXPECT_EQ(speakerAt(from, 9)->type, 9);

    EXPECT_FALSE(effect.copySpeakerArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeakerArrangement(nullptr, from));
    effect.freeSpeakerArrangement(&to);
    effect.freeSpeakerArrangement(&from);
}

} // namespace
