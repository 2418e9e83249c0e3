// The editor interface that the host layer knows: the effect owns one object of
// this type and turns the host's editor opcodes into calls on it. It knows
// nothing of the effect: whoever creates an editor registers it with the
// effect (EffectBase::setEditor), and an editor that needs the plug-in's
// parameters is given its own link to them (gui/EditorOwner.h).
#pragma once

#include "host/VstTypes.h"

#include <atomic>
#include <cstdint>

class HostEditor {
public:
    HostEditor() = default;
    virtual ~HostEditor() = default;

    HostEditor(const HostEditor&) = delete;
    HostEditor& operator=(const HostEditor&) = delete;

    // Sets the pointer to none; answers 0.
    virtual int32_t getRect(ERect** rect) {
        if (rect) {
            *rect = nullptr;
        }
        return 0;
    }
    // Stores the parent window; answers 0.
    virtual int32_t open(void* parentWindow) {
        systemWindow = parentWindow;
        return 0;
    }
    virtual void close() {}
    // Serves a pending update request.
    virtual void idle() {
        if (takeUpdateRequest()) {
            update();
        }
    }
    virtual void update() {}
    // Requests an update at the next idle. May be called from any thread (hosts
    // set parameters off the editor's thread): what the caller wrote before
    // posting is visible to the update that serves it.
    virtual void postUpdate() { updateFlag.store(1, std::memory_order_release); }
    virtual int32_t keyDown(VstKeyCode& key) { return -1; }
    virtual int32_t keyUp(VstKeyCode& key) { return -1; }
    virtual int32_t setKnobMode(int32_t mode) { return 0; }

    void* getSystemWindow() const { return systemWindow; }

protected:
    void* systemWindow = nullptr;
    // Set by postUpdate from any thread, consumed by idle on the editor's thread.
    std::atomic<int32_t> updateFlag{0};

    // Clears the update request and answers whether there was one.
    bool takeUpdateRequest() { return updateFlag.exchange(0, std::memory_order_acquire) != 0; }
};
