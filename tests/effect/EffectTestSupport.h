// Shared pieces of the effect tests: an instance created through the entry point
// and driven only through its record, as a host drives it, and an editor
// stand-in that records what the effect tells it.
#pragma once

#include "effect/PluginEntry.h"
#include "effect/ReverbEffect.h"
#include "engine/SampleRate.h"
#include "gui/EditorBase.h"
#include "tests/host/RecordingHost.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace effecttest {

constexpr int32_t kHostVersion = 2400;

// One effect instance, closed through effClose when the test ends.
class Instance {
public:
    Instance() {
        RecordingHost::get().answer(audioMasterVersion, kHostVersion);
        record = createEffectInstance(RecordingHost::callback);
        if (record) {
            reverb = static_cast<ReverbEffect*>(record->object);
        }
    }
    ~Instance() { close(); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void close() {
        if (record) {
            dispatch(effClose);
            record = nullptr;
            reverb = nullptr;
        }
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    void set(int32_t index, float value) { record->setParameter(record, index, value); }
    float get(int32_t index) { return record->getParameter(record, index); }

    // The text an opcode writes into a host buffer that starts as "#" bytes.
    std::string text(int32_t opcode, int32_t index = 0) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        buffer[sizeof buffer - 1] = 0;
        dispatch(opcode, index, 0, buffer);
        return buffer;
    }
    std::string display(int32_t index) { return text(effGetParamDisplay, index); }
    std::string name(int32_t index) { return text(effGetParamName, index); }
    std::string label(int32_t index) { return text(effGetParamLabel, index); }
    std::string programName() { return text(effGetProgramName); }

    void selectProgram(intptr_t program) { dispatch(effSetProgram, 0, program); }
    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(intptr_t frames) { dispatch(effSetBlockSize, 0, frames); }

    // One block through processReplacing (or process).
    void run(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
             int32_t frames, bool replacing = true) {
        float* inputs[2] = {const_cast<float*>(inLeft), const_cast<float*>(inRight)};
        float* outputs[2] = {outLeft, outRight};
        (replacing ? record->processReplacing : record->process)(record, inputs, outputs, frames);
    }

    AEffect* record = nullptr;
    ReverbEffect* reverb = nullptr;
};

// Stereo audio in two channel arrays.
struct Stereo {
    explicit Stereo(size_t frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    size_t size() const { return left.size(); }
    std::vector<float> left;
    std::vector<float> right;
};

// A deterministic noise signal with some silence, for comparisons.
inline Stereo noise(size_t frames, uint32_t seed = 12345, float level = 0.5f) {
    Stereo s(frames);
    for (size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s.left[i] = level * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
        seed = seed * 1664525u + 1013904223u;
        s.right[i] = level * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
    }
    return s;
}

// Processes `input` through `instance` in blocks of `block` frames.
inline Stereo render(Instance& instance, const Stereo& input, int32_t block,
                     bool replacing = true) {
    Stereo out(input.size(), 1e30f);
    for (size_t at = 0; at < input.size(); at += static_cast<size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min(input.size() - at, size_t(block)));
        instance.run(&input.left[at], &input.right[at], &out.left[at], &out.right[at], n,
                     replacing);
    }
    return out;
}

// Bitwise equality of two renderings, NaN included; reports the first difference.
inline ::testing::AssertionResult sameAudio(const Stereo& a, const Stereo& b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "lengths " << a.size() << " and " << b.size();
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0) {
            return ::testing::AssertionFailure()
                   << "frame " << i << ": (" << a.left[i] << ", " << a.right[i] << ") vs ("
                   << b.left[i] << ", " << b.right[i] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// An editor that records what the effect tells it. In setParameter it also
// notes the value the effect held at that moment, and in postUpdate the value
// held then, so that tests see what happened before and after the store.
class RecordingEditor : public EditorBase {
public:
    struct Call {
        int32_t index;
        float value;
        float heldBefore;
    };

    // Registers itself with the effect in place of the effect's own editor.
    explicit RecordingEditor(ReverbEffect* owner) : EditorBase(owner), effect(owner) {
        owner->setEditor(this);
    }
    ~RecordingEditor() override {
        if (destroyed) {
            *destroyed = true;
        }
    }

    void setParameter(int32_t index, float value) override {
        calls.push_back({index, value, effect->getParameter(index)});
        lastIndex = index;
    }
    void postUpdate() override {
        ++updates;
        heldAtUpdate.push_back(effect->getParameter(lastIndex));
        EditorBase::postUpdate();
    }
    void close() override { ++closes; }

    ReverbEffect* effect;
    std::vector<Call> calls;
    std::vector<float> heldAtUpdate;
    int32_t lastIndex = -1;
    int updates = 0;
    int closes = 0;
    bool* destroyed = nullptr;
};

// Replaces the instance's own editor with a recording one (owned by the effect).
inline RecordingEditor* installRecordingEditor(ReverbEffect* reverb) {
    HostEditor* own = reverb->editorObject();
    reverb->setEditor(nullptr);
    delete own;
    return new RecordingEditor(reverb);
}

} // namespace effecttest
