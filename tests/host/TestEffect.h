// Effects and an editor for exercising the host layer: they record which
// operation the dispatcher reached and with which arguments.
#pragma once

#include "host/ExtendedEffectBase.h"
#include "host/HostEditor.h"

#include <cstdint>
#include <string>
#include <vector>

struct Reached {
    std::string operation;
    intptr_t a = 0;
    intptr_t b = 0;
    const void* ptr = nullptr;
    float f = 0.0f;
};

class TestEffect : public ExtendedEffectBase {
public:
    explicit TestEffect(audioMasterCallback host = nullptr, int32_t programs = 16,
                        int32_t params = 4, int* destroyed = nullptr)
        : ExtendedEffectBase(host, programs, params), destroyed(destroyed) {}
    ~TestEffect() override {
        if (destroyed) {
            ++*destroyed;
        }
    }

    void process(float**, float**, int32_t frames) override { note("process", frames); }
    void processReplacing(float**, float**, int32_t frames) override {
        note("processReplacing", frames);
    }
    void setParameter(int32_t index, float value) override {
        note("setParameter", index, 0, nullptr, value);
    }
    float getParameter(int32_t index) override { return 0.25f * static_cast<float>(index); }
    void open() override { note("open"); }
    void close() override { note("close"); }
    void setProgram(int32_t program) override {
        note("setProgram", program);
        ExtendedEffectBase::setProgram(program);
    }
    void setProgramName(const char* name) override { note("setProgramName", 0, 0, name); }
    void getProgramName(char* name) override { note("getProgramName", 0, 0, name); }
    void getParamLabel(int32_t index, char* text) override {
        note("getParamLabel", index, 0, text);
    }
    void getParamDisplay(int32_t index, char* text) override {
        note("getParamDisplay", index, 0, text);
    }
    void getParamName(int32_t index, char* text) override { note("getParamName", index, 0, text); }
    float getVu() override { return vu; }
    int32_t getChunk(void** data, bool isPreset) override {
        note("getChunk", isPreset, 0, data);
        return 0;
    }
    int32_t setChunk(void* data, int32_t size, bool isPreset) override {
        note("setChunk", isPreset, size, data);
        return 0;
    }
    void setSampleRate(float rate) override {
        note("setSampleRate", 0, 0, nullptr, rate);
        ExtendedEffectBase::setSampleRate(rate);
    }
    void setBlockSize(int32_t size) override {
        note("setBlockSize", size);
        ExtendedEffectBase::setBlockSize(size);
    }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"); }
    bool canBeAutomated(int32_t index) override {
        note("canBeAutomated", index);
        return automatable;
    }
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override {
        note("getProgramNameIndexed", category, index, text);
        return true;
    }
    void inputConnected(int32_t index, bool state) override {
        note("inputConnected", index, state);
    }
    void outputConnected(int32_t index, bool state) override {
        note("outputConnected", index, state);
    }
    bool setBypass(bool onOff) override {
        note("setBypass", onOff);
        return false;
    }
    int32_t canDo(const char* text) override {
        note("canDo", 0, 0, text);
        return ExtendedEffectBase::canDo(text);
    }
    bool keysRequired() override { return wantsKeys; }
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override {
        note("vendorSpecific", index, value, ptr, opt);
        return 0;
    }
    bool setPanLaw(int32_t type, float value) override {
        note("setPanLaw", type, 0, nullptr, value);
        return false;
    }

    // Gives tests access to the protected host call and fields.
    using EffectBase::callHost;
    float sampleRateField() const { return sampleRate; }
    int32_t blockSizeField() const { return blockSize; }

    void note(const char* operation, intptr_t a = 0, intptr_t b = 0, const void* ptr = nullptr,
              float f = 0.0f) {
        reached.push_back({operation, a, b, ptr, f});
    }
    bool reachedOnly(const std::string& operation) const {
        return reached.size() == 1 && reached[0].operation == operation;
    }

    std::vector<Reached> reached;
    float vu = 0.0f;
    bool automatable = true;
    bool wantsKeys = false;
    int* destroyed;
};

// An editor with a rectangle, recording what the layer asks of it.
class TestEditor : public HostEditor {
public:
    // Registers itself with the effect, as a plug-in's editor is registered.
    TestEditor(EffectBase* effect, int* destroyed = nullptr) : destroyed(destroyed) {
        if (effect) {
            effect->setEditor(this);
        }
    }
    ~TestEditor() override {
        if (destroyed) {
            ++*destroyed;
        }
    }
    int32_t getRect(ERect** out) override {
        *out = &rect;
        return 1;
    }
    int32_t open(void* parent) override {
        HostEditor::open(parent);
        ++opens;
        return 1;
    }
    void close() override { ++closes; }
    void idle() override { ++idles; }
    int32_t keyDown(VstKeyCode& key) override {
        lastKey = key;
        return 1;
    }
    int32_t keyUp(VstKeyCode& key) override {
        lastKey = key;
        return 7;
    }
    int32_t setKnobMode(int32_t mode) override {
        knobMode = mode;
        return 1;
    }

    ERect rect{0, 0, 245, 300};
    int opens = 0;
    int closes = 0;
    int idles = 0;
    int32_t knobMode = -1;
    VstKeyCode lastKey{};
    int* destroyed;
};

// An effect that keeps every default of the layer.
class PlainEffect : public ExtendedEffectBase {
public:
    explicit PlainEffect(audioMasterCallback host = nullptr, int32_t programs = 16,
                         int32_t params = 4)
        : ExtendedEffectBase(host, programs, params) {}
    void process(float**, float**, int32_t) override {}

    using EffectBase::callHost;
    float sampleRateField() const { return sampleRate; }
    int32_t blockSizeField() const { return blockSize; }
};
