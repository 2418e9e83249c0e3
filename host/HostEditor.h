// The editor interface that the host layer knows: the effect owns one object of
// this type and turns the host's editor opcodes into calls on it.
#pragma once

#include "host/VstTypes.h"

#include <atomic>
#include <cstdint>

class EffectBase;

class HostEditor {
public:
    // Registers the new editor with the effect (effect->setEditor(this)).
    explicit HostEditor(EffectBase* effect);
    virtual ~HostEditor() = default;

    HostEditor(const HostEditor&) = delete;
    HostEditor& operator=(const HostEditor&) = delete;

    virtual int32_t getRect(ERect** rect);
    virtual int32_t open(void* parentWindow);
    virtual void close() {}
    virtual void idle();
    virtual void update() {}
    // May be called from any thread (hosts set parameters off the editor's thread).
    virtual void postUpdate() { updateFlag.store(1, std::memory_order_relaxed); }
    virtual int32_t keyDown(VstKeyCode& key) { return -1; }
    virtual int32_t keyUp(VstKeyCode& key) { return -1; }
    virtual int32_t setKnobMode(int32_t mode) { return 0; }

    EffectBase* getEffect() const { return effect; }
    void* getSystemWindow() const { return systemWindow; }

protected:
    EffectBase* effect;
    void* systemWindow = nullptr;
    // Set by postUpdate from any thread, consumed by idle on the editor's thread.
    std::atomic<int32_t> updateFlag{0};

    // Clears the update request and answers whether there was one.
    bool takeUpdateRequest() { return updateFlag.exchange(0, std::memory_order_relaxed) != 0; }
};
