// Creating the effect through the entry point: hosts it refuses, the record it hands out, the
// library-wide sample rate its instances share, the names it writes and the module's handle.
#include "effect/ModuleInstance.h"
#include "effect/PluginEntry.h"
#include "effect/ReverbEffect.h"
#include "engine/SampleRate.h"
#include "tests/host/RecordingHost.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

class EffectEntry : public ::testing::Test {
protected:
    void SetUp() override {
        host.reset();
        host.answer(audioMasterVersion, 2400);
        currentSampleRate = kDefaultSampleRate;
    }
    void TearDown() override { currentSampleRate = kDefaultSampleRate; }

    RecordingHost& host = RecordingHost::get();
};

TEST_F(EffectEntry, RefusesHostsThatCannotAnswerTheVersion) {
    host.answer(audioMasterVersion, 0);
    EXPECT_EQ(createEffectInstance(RecordingHost::callback), nullptr);
    EXPECT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(createEffectInstance(nullptr), nullptr);
}

TEST_F(EffectEntry, HandsOutTheRecordOfAReverbEffect) {
    AEffect* effect = createEffectInstance(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    auto* reverb = static_cast<ReverbEffect*>(effect->object);
    EXPECT_EQ(reverb->getRecord(), effect);
    EXPECT_FALSE(reverb->allocationFailed());
    EXPECT_EQ(effect->flags, effFlagsHasEditor | effFlagsHasVu | effFlagsCanReplacing);
    EXPECT_EQ(effect->uniqueID, ReverbEffect::kUniqueId);
    EXPECT_EQ(reverb->getHostCallback(), &RecordingHost::callback);
    EXPECT_EQ(dispatch(effect, effClose), 1);
}

TEST_F(EffectEntry, SampleRateIsTruncatedIntoTheLibraryWideRate) {
    AEffect* effect = createEffectInstance(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.7f);
    EXPECT_EQ(currentSampleRate, 48000);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 22050.0f);
    EXPECT_EQ(currentSampleRate, 22050);
    dispatch(effect, effClose);
}

TEST_F(EffectEntry, EveryInstanceSharesTheLastRate) {
    AEffect* first = createEffectInstance(RecordingHost::callback);
    AEffect* second = createEffectInstance(RecordingHost::callback);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    dispatch(first, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(currentSampleRate, 96000);
    dispatch(second, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(currentSampleRate, 44100);
    dispatch(first, effClose);
    dispatch(second, effClose);
}

TEST_F(EffectEntry, RatesNoEngineCanRunAtAreIgnored) {
    AEffect* effect = createEffectInstance(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    for (float rate : {0.0f, 0.5f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), 1e12f}) {
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(currentSampleRate, 48000) << rate;
    }
    dispatch(effect, effClose);
}

TEST_F(EffectEntry, BlockSizeAndSampleRateTogetherLeaveTheLibraryRate) {
    AEffect* effect = createEffectInstance(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetBlockSizeAndSampleRate, 0, 128, nullptr, 96000.0f);
    EXPECT_EQ(currentSampleRate, kDefaultSampleRate);
    auto* reverb = static_cast<ReverbEffect*>(effect->object);
    EXPECT_EQ(reverb->getSampleRate(), 96000.0f);
    EXPECT_EQ(reverb->getBlockSize(), 128);
    dispatch(effect, effClose);
}

TEST_F(EffectEntry, NamesFitTheHostsBuffers) {
    ReverbEffect reverb(nullptr);
    char text[80];
    std::memset(text, '#', sizeof text);
    EXPECT_TRUE(reverb.getEffectName(text));
    EXPECT_STREQ(text, "KDLV Fumara");
    EXPECT_EQ(text[12], '#');
    EXPECT_TRUE(reverb.getProductString(text));
    EXPECT_STREQ(text, "KDLV Fumara");
    EXPECT_TRUE(reverb.getVendorString(text));
    EXPECT_STREQ(text, "Tarnwick");
    EXPECT_EQ(reverb.getVendorVersion(), 1000);
    EXPECT_EQ(reverb.getPlugCategory(), kPlugCategEffect);
    EXPECT_EQ(reverb.getVstVersion(), 2300);
}

TEST_F(EffectEntry, ModuleInstanceIsThisModule) {
    ASSERT_NE(moduleInstance, nullptr);
#if defined(_WIN32)
    // The tests are one static executable: its module is the library's module.
    EXPECT_EQ(moduleInstance, static_cast<void*>(GetModuleHandleA(nullptr)));
#else
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&createEffectInstance), &info), 0);
    EXPECT_EQ(moduleInstance, info.dli_fbase);
#endif
}

} // namespace
