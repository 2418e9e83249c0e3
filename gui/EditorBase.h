// The editor base that binds the host's editor calls to the toolkit: it owns the
// frame that the plug-in's own editor builds, forwards keys to it, redraws
// through it when the editor idles, and runs the idle pump that keeps the
// interface alive while a control tracks the mouse. Everything it and its
// controls ask of the plug-in goes through the owner (gui/EditorOwner.h).
#pragma once

#include "gui/EditorOwner.h"
#include "gui/GuiTypes.h"
#include "host/HostEditor.h"
#include "host/VstTypes.h"

#include <cstdint>

class DrawContext;
class Frame;

class EditorBase : public HostEditor {
public:
    // Starts the idle clock now. The owner (none: an editor that reads and
    // reports nothing) must outlive the editor; whoever creates the editor
    // registers it with the host layer.
    explicit EditorBase(EditorOwner* owner);
    ~EditorBase() override;

    // Points rect at the editor's rectangle; answers 1.
    int32_t getRect(ERect** rect) override;
    // Requests an update and stores the parent window; answers 0.
    int32_t open(void* parentWindow) override;
    void close() override {}
    // Returns at once while the host's idle call made from doIdleWork runs.
    void idle() override;
    int32_t keyDown(VstKeyCode& key) override;
    int32_t keyUp(VstKeyCode& key) override;
    int32_t setKnobMode(int32_t mode) override { return 1; }

    // A parameter changed: request an update.
    virtual void setParameter(int32_t index, float value);
    // A press on the frame that no view took (any button); nothing here.
    virtual void backgroundMouseDown(DrawContext* context, Point& where) {}
    // The idle pump: at most one full pass (idle, one paint, the host's idle)
    // about every 46 to 50 ms, and a 4 ms sleep on every call in between.
    virtual void doIdleWork();

    EditorOwner* getOwner() const { return owner; }
    Frame* getFrame() const { return frame; }
    const ERect& getEditorRect() const { return rect; }
    uint32_t getNextIdleTime() const { return nextIdleTime; }
    bool isInIdle() const { return inIdle; }

protected:
    EditorOwner* owner = nullptr;
    ERect rect{0, 0, 0, 0}; // filled in by the derived editor
    Frame* frame = nullptr;
    uint32_t nextIdleTime = 0;
    bool inIdle = false;
};
