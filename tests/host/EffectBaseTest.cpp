// The host layer's core: the record's fields and callbacks, flags, and each core opcode's
// answer, with the calls back to the host and the numeric helpers.
#include "tests/host/RecordingHost.h"
#include "tests/host/TestEffect.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace {

int32_t readInt32At(const AEffect& record, size_t offset) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
    return value;
}

intptr_t dispatch(EffectBase& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    AEffect* record = effect.getRecord();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

class EffectBaseTest : public ::testing::Test {
protected:
    void SetUp() override { RecordingHost::get().reset(); }
    RecordingHost& host = RecordingHost::get();
};

TEST_F(EffectBaseTest, RecordDefaults) {
    TestEffect effect(RecordingHost::callback, 128, 32);
    const AEffect& record = *effect.getRecord();
    EXPECT_EQ(record.magic, 0x56737450);
    EXPECT_EQ(record.numPrograms, 128);
    EXPECT_EQ(record.numParams, 32);
    EXPECT_EQ(record.numInputs, 1);
    EXPECT_EQ(record.numOutputs, 2);
    EXPECT_EQ(record.flags, 0);
    EXPECT_EQ(record.resvd1, 0);
    EXPECT_EQ(record.resvd2, 0);
    EXPECT_EQ(record.initialDelay, 0);
    EXPECT_EQ(record.realQualities, 0);
    EXPECT_EQ(record.offQualities, 0);
    EXPECT_EQ(record.ioRatio, 1.0f);
    EXPECT_EQ(record.object, static_cast<void*>(&effect));
    EXPECT_EQ(record.user, nullptr);
    EXPECT_EQ(record.uniqueID, 0x4E6F4566);
    EXPECT_EQ(record.version, 1);
    EXPECT_NE(record.dispatcher, nullptr);
    EXPECT_NE(record.process, nullptr);
    EXPECT_NE(record.processReplacing, nullptr);
    EXPECT_NE(record.setParameter, nullptr);
    EXPECT_NE(record.getParameter, nullptr);
    for (char byte : record.future) {
        EXPECT_EQ(byte, 0);
    }
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(EffectBaseTest, HostReadsFieldsAtPublishedOffsets) {
    TestEffect effect(nullptr, 128, 32);
    effect.setUniqueId(fourCharCode('K', 'D', 'F', 'u'));
    const bool wide = sizeof(void*) == 8;
    const AEffect& record = *effect.getRecord();
    EXPECT_EQ(readInt32At(record, 0), 0x56737450);
    EXPECT_EQ(readInt32At(record, wide ? 40 : 20), 128);
    EXPECT_EQ(readInt32At(record, wide ? 44 : 24), 32);
    EXPECT_EQ(readInt32At(record, wide ? 112 : 72), 0x4B444675);
    EXPECT_EQ(readInt32At(record, wide ? 116 : 76), 1);
    EXPECT_EQ(sizeof(AEffect), wide ? 192u : 144u);
}

TEST_F(EffectBaseTest, FourCharCodesAreBigEndian) {
    EXPECT_EQ(kEffectMagic, 0x56737450);
    EXPECT_EQ(fourCharCode('K', 'D', 'F', 'u'), 0x4B444675);
    EXPECT_EQ(fourCharCode('N', 'v', 'E', 'f'), 0x4E764566);
}

TEST_F(EffectBaseTest, FlagSettersSetAndClearTheirBits) {
    TestEffect effect;
    struct Setter {
        void (EffectBase::*set)(bool);
        int32_t bit;
    };
    const Setter setters[] = {
        {&EffectBase::setHasVu, 4},
        {&EffectBase::setHasClip, 2},
        {&EffectBase::setCanMono, 8},
        {&EffectBase::setCanReplacing, 16},
        {&EffectBase::setProgramsAreChunks, 32},
    };
    for (const Setter& s : setters) {
        (effect.*s.set)(true);
        EXPECT_EQ(effect.getRecord()->flags, s.bit);
        (effect.*s.set)(false);
        EXPECT_EQ(effect.getRecord()->flags, 0);
    }
    effect.setHasVu(true);
    effect.setCanReplacing(true);
    EXPECT_EQ(effect.getRecord()->flags, 20);
}

TEST_F(EffectBaseTest, RecordSettersWriteTheirFields) {
    TestEffect effect;
    effect.setNumInputs(2);
    effect.setNumOutputs(6);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(4);
    effect.setInitialDelay(128);
    const AEffect& record = *effect.getRecord();
    EXPECT_EQ(record.numInputs, 2);
    EXPECT_EQ(record.numOutputs, 6);
    EXPECT_EQ(record.realQualities, 3);
    EXPECT_EQ(record.offQualities, 4);
    EXPECT_EQ(record.initialDelay, 128);
}

TEST_F(EffectBaseTest, SetEditorManagesTheHasEditorFlag) {
    TestEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(effect.editorObject(), editor);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_EQ(effect.getRecord()->flags & effFlagsHasEditor, effFlagsHasEditor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getRecord()->flags & effFlagsHasEditor, 0);
    effect.setEditor(editor);
    EXPECT_TRUE(effect.hasFlag(effFlagsHasEditor));
}

TEST_F(EffectBaseTest, RecordCallbacksReachTheObject) {
    TestEffect effect;
    AEffect* record = effect.getRecord();
    float left[4] = {};
    float* channels[2] = {left, left};
    record->process(record, channels, channels, 4);
    record->processReplacing(record, channels, channels, 3);
    record->setParameter(record, 2, 0.75f);
    ASSERT_EQ(effect.reached.size(), 3u);
    EXPECT_EQ(effect.reached[0].operation, "process");
    EXPECT_EQ(effect.reached[0].a, 4);
    EXPECT_EQ(effect.reached[1].operation, "processReplacing");
    EXPECT_EQ(effect.reached[1].a, 3);
    EXPECT_EQ(effect.reached[2].operation, "setParameter");
    EXPECT_EQ(effect.reached[2].a, 2);
    EXPECT_EQ(effect.reached[2].f, 0.75f);
    EXPECT_EQ(record->getParameter(record, 3), 0.75f);
}

TEST_F(EffectBaseTest, CallbacksWithoutObjectDoNothing) {
    TestEffect effect;
    AEffect copy = *effect.getRecord();
    copy.object = nullptr;
    EXPECT_EQ(copy.dispatcher(&copy, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
    copy.setParameter(&copy, 0, 1.0f);
    copy.process(&copy, nullptr, nullptr, 16);
    copy.processReplacing(&copy, nullptr, nullptr, 16);
    EXPECT_EQ(copy.dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_TRUE(effect.reached.empty());
}

TEST_F(EffectBaseTest, CloseRunsCloseDeletesObjectAndEditorAnswersOne) {
    int effectsGone = 0;
    int editorsGone = 0;
    auto* effect = new TestEffect(nullptr, 16, 4, &effectsGone);
    new TestEditor(effect, &editorsGone);
    AEffect* record = effect->getRecord();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(effectsGone, 1);
    EXPECT_EQ(editorsGone, 1);
}

TEST_F(EffectBaseTest, OpenAndIdentify) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effOpen), 0);
    EXPECT_TRUE(effect.reachedOnly("open"));
    int dummy = 0;
    EXPECT_EQ(dispatch(effect, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effect, effIdentify, 9, -4, &dummy, 3.5f), 0x4E764566);
}

TEST_F(EffectBaseTest, SetProgramAcceptsOnlyProgramsTheBankHolds) {
    TestEffect effect(nullptr, 16);
    EXPECT_EQ(dispatch(effect, effSetProgram, 0, 15), 0);
    EXPECT_EQ(dispatch(effect, effGetProgram), 15);
    EXPECT_EQ(dispatch(effect, effSetProgram, 0, 0), 0);
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    effect.reached.clear();
    const intptr_t refused[] = {16, 128, -1, std::numeric_limits<intptr_t>::min(),
                                std::numeric_limits<intptr_t>::max()};
    for (intptr_t value : refused) {
        EXPECT_EQ(dispatch(effect, effSetProgram, 0, value), 0);
    }
    if (sizeof(intptr_t) == 8) {
        // Would wrap to program 3 if narrowed before the check.
        EXPECT_EQ(dispatch(effect, effSetProgram, 0, static_cast<intptr_t>(0x100000003LL)), 0);
    }
    EXPECT_TRUE(effect.reached.empty());
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
}

TEST_F(EffectBaseTest, TextOpcodesHandTheBufferAndIndexOn) {
    TestEffect effect;
    char text[64] = "x";
    const struct {
        int32_t opcode;
        const char* operation;
    } rows[] = {
        {effSetProgramName, "setProgramName"}, {effGetProgramName, "getProgramName"},
        {effGetParamLabel, "getParamLabel"},   {effGetParamDisplay, "getParamDisplay"},
        {effGetParamName, "getParamName"},
    };
    for (const auto& row : rows) {
        effect.reached.clear();
        EXPECT_EQ(dispatch(effect, row.opcode, 3, 0, text), 0);
        ASSERT_TRUE(effect.reachedOnly(row.operation)) << row.operation;
        EXPECT_EQ(effect.reached[0].ptr, text);
        if (row.opcode >= effGetParamLabel) {
            EXPECT_EQ(effect.reached[0].a, 3);
        }
    }
}

TEST_F(EffectBaseTest, NullTextIsNeverHandedToAnOperation) {
    TestEffect effect;
    const int32_t textOpcodes[] = {effSetProgramName,
                                   effGetProgramName,
                                   effGetParamLabel,
                                   effGetParamDisplay,
                                   effGetParamName,
                                   effGetChunk,
                                   effSetChunk,
                                   effString2Parameter,
                                   effGetProgramNameIndexed,
                                   effGetEffectName,
                                   effGetErrorText,
                                   effGetVendorString,
                                   effGetProductString,
                                   effCanDo,
                                   effShellGetNextPlugin,
                                   effGetInputProperties,
                                   effGetOutputProperties,
                                   effGetParameterProperties};
    for (int32_t opcode : textOpcodes) {
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, nullptr), 0) << opcode;
    }
    EXPECT_TRUE(effect.reached.empty());
}

TEST_F(EffectBaseTest, DefaultTextOperationsWriteEmptyStrings) {
    PlainEffect plain;
    char text[16];
    auto empty = [&](int32_t opcode) {
        std::memset(text, 'z', sizeof text);
        dispatch(plain, opcode, 0, 0, text);
        return text[0] == '\0' && text[1] == 'z';
    };
    EXPECT_TRUE(empty(effGetProgramName));
    EXPECT_TRUE(empty(effGetParamLabel));
    EXPECT_TRUE(empty(effGetParamDisplay));
    EXPECT_TRUE(empty(effGetParamName));
}

TEST_F(EffectBaseTest, SetProgramNameLeavesTheHostsTextAlone) {
    PlainEffect plain;
    // A host may hand the name in read-only memory; the default must not write.
    char name[] = "Hall";
    dispatch(plain, effSetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Hall");
}

TEST_F(EffectBaseTest, VuIsScaledAndTruncated) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effGetVu), 0);
    effect.vu = 0.5f;
    EXPECT_EQ(dispatch(effect, effGetVu), 16383);
    effect.vu = -0.5f;
    EXPECT_EQ(dispatch(effect, effGetVu), -16383);
    effect.vu = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(dispatch(effect, effGetVu), 0);
    effect.vu = std::numeric_limits<float>::infinity();
    EXPECT_EQ(dispatch(effect, effGetVu), INT32_MAX);
}

TEST_F(EffectBaseTest, SampleRateAndBlockSize) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    EXPECT_EQ(dispatch(effect, effSetBlockSize, 0, 512), 0);
    EXPECT_EQ(effect.getBlockSize(), 512);
    if (sizeof(intptr_t) == 8) {
        // A 64-bit size saturates instead of wrapping into a small or negative one.
        dispatch(effect, effSetBlockSize, 0, static_cast<intptr_t>(0x100000010LL));
        EXPECT_EQ(effect.getBlockSize(), INT32_MAX);
    }
}

TEST_F(EffectBaseTest, MainsChangedSuspendsOrResumes) {
    TestEffect effect;
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 1), 0);
    EXPECT_TRUE(effect.reachedOnly("resume"));
    effect.reached.clear();
    dispatch(effect, effMainsChanged, 0, 0);
    EXPECT_TRUE(effect.reachedOnly("suspend"));
    effect.reached.clear();
    dispatch(effect, effMainsChanged, 0, -7);
    EXPECT_TRUE(effect.reachedOnly("resume"));
}

TEST_F(EffectBaseTest, ChunksPassIsPresetAsTruthOfIndex) {
    TestEffect effect;
    void* data = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 5, 0, &data), 0);
    ASSERT_TRUE(effect.reachedOnly("getChunk"));
    EXPECT_EQ(effect.reached[0].a, 1);
    effect.reached.clear();
    char block[4] = {};
    EXPECT_EQ(dispatch(effect, effSetChunk, 0, 4, block), 0);
    ASSERT_TRUE(effect.reachedOnly("setChunk"));
    EXPECT_EQ(effect.reached[0].a, 0);
    EXPECT_EQ(effect.reached[0].b, 4);
    EXPECT_EQ(effect.reached[0].ptr, block);
}

TEST_F(EffectBaseTest, EditorOpcodesWithoutEditorAnswerZero) {
    TestEffect effect;
    ERect* rect = reinterpret_cast<ERect*>(&effect);
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(&effect));
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, &effect), 0);
    EXPECT_EQ(dispatch(effect, effEditClose), 0);
    EXPECT_EQ(dispatch(effect, effEditIdle), 0);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 65, 0x120, nullptr, 2.9f), 0);
    EXPECT_EQ(dispatch(effect, effEditKeyUp, 65, 0x120, nullptr, 2.9f), 0);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 0);
}

TEST_F(EffectBaseTest, EditorOpcodesReachTheEditor) {
    TestEffect effect;
    auto* editor = new TestEditor(&effect);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect);
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, nullptr), 1);
    int parent = 0;
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(editor->getSystemWindow(), &parent);
    dispatch(effect, effEditIdle);
    dispatch(effect, effEditClose);
    EXPECT_EQ(editor->opens, 1);
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(editor->closes, 1);
    // Draw, mouse, key, top and sleep are not passed on.
    for (int32_t opcode : {16, 17, 18, 20, 21}) {
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, &parent, 1.0f), 0);
    }
    EXPECT_EQ(editor->opens + editor->idles + editor->closes, 3);
}

TEST_F(EffectBaseTest, KeysAreBuiltFromIndexValueAndOpt) {
    TestEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 65, 0x120, nullptr, 2.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 65);
    EXPECT_EQ(editor->lastKey.virt, 0x20);
    EXPECT_EQ(editor->lastKey.modifier, 2);
    EXPECT_EQ(dispatch(effect, effEditKeyUp, 0, 13, nullptr, 8.0f), 7);
    EXPECT_EQ(editor->lastKey.character, 0);
    EXPECT_EQ(editor->lastKey.virt, 13);
    EXPECT_EQ(editor->lastKey.modifier, 8);
    // A modifier that is not a number gives no modifier rather than undefined bits.
    dispatch(effect, effEditKeyDown, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(editor->lastKey.modifier, 0);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
}

TEST_F(EffectBaseTest, UnknownOpcodesAnswerZero) {
    TestEffect effect;
    char text[32] = {};
    for (int32_t opcode : {77, 78, 100, 1000, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, text, 1.0f), 0) << opcode;
    }
    EXPECT_TRUE(effect.reached.empty());
    // The core table alone knows nothing above 24.
    EXPECT_EQ(effect.EffectBase::dispatcher(effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.EffectBase::dispatcher(effCanBeAutomated, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(EffectBaseTest, SetParameterAutomatedTellsTheHost) {
    TestEffect effect(RecordingHost::callback);
    effect.setParameterAutomated(5, 0.3f);
    ASSERT_TRUE(effect.reachedOnly("setParameter"));
    ASSERT_EQ(host.calls.size(), 1u);
    const HostCall& call = host.calls[0];
    EXPECT_EQ(call.effect, effect.getRecord());
    EXPECT_EQ(call.opcode, audioMasterAutomate);
    EXPECT_EQ(call.index, 5);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.ptr, nullptr);
    EXPECT_EQ(call.opt, 0.3f);

    TestEffect alone;
    alone.setParameterAutomated(5, 0.3f);
    EXPECT_TRUE(alone.reachedOnly("setParameter"));
}

TEST_F(EffectBaseTest, MasterVersion) {
    TestEffect alone;
    EXPECT_EQ(alone.getMasterVersion(), 1);
    TestEffect effect(RecordingHost::callback);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    host.answer(audioMasterVersion, 2400);
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    EXPECT_EQ(host.count(audioMasterVersion), 2);
}

TEST_F(EffectBaseTest, PinConnections) {
    TestEffect alone;
    EXPECT_TRUE(alone.isInputConnected(0));
    EXPECT_TRUE(alone.isOutputConnected(1));

    TestEffect effect(RecordingHost::callback);
    EXPECT_TRUE(effect.isInputConnected(1));
    host.answer(audioMasterPinConnected, 1);
    EXPECT_FALSE(effect.isInputConnected(1));
    EXPECT_FALSE(effect.isOutputConnected(0));
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[1].index, 1);
    EXPECT_EQ(host.calls[1].value, 0);
    EXPECT_EQ(host.calls[2].index, 0);
    EXPECT_EQ(host.calls[2].value, 1);
}

TEST_F(EffectBaseTest, UniqueIdAndIdle) {
    TestEffect alone;
    EXPECT_EQ(alone.getCurrentUniqueId(), 0);
    alone.masterIdle();
    TestEffect effect(RecordingHost::callback);
    host.answer(audioMasterCurrentId, 0x1234);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0x1234);
    effect.masterIdle();
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].opcode, audioMasterIdle);
}

TEST_F(EffectBaseTest, NumericHelpersSaturate) {
    EXPECT_EQ(truncateToInt32(2.9), 2);
    EXPECT_EQ(truncateToInt32(-2.9), -2);
    EXPECT_EQ(truncateToInt32(std::nan("")), 0);
    EXPECT_EQ(truncateToInt32(1e300), INT32_MAX);
    EXPECT_EQ(truncateToInt32(-1e300), INT32_MIN);
    EXPECT_EQ(clampToInt32(-5), -5);
    if (sizeof(intptr_t) == 8) {
        EXPECT_EQ(clampToInt32(static_cast<intptr_t>(1LL << 40)), INT32_MAX);
        EXPECT_EQ(clampToInt32(static_cast<intptr_t>(-(1LL << 40))), INT32_MIN);
    }
}

} // namespace
