// The plug-in's own editor: a fixed 300 x 245 panel painted from bitmap 101 with
// seven horizontal sliders and seven value boxes bound to parameters 2 to 8
// ("Room Size" to "Dry Level"). It reads and sets the parameters through its
// owner (gui/EditorOwner.h), so the same editor serves every plug-in format.
#pragma once

#include "gui/EditorBase.h"
#include "gui/controls/Control.h"

#include <atomic>
#include <cstdint>
#include <thread>

class Bitmap;
class HorizontalSlider;
class ValueDisplay;

class ReverbEditor : public EditorBase, public ControlListener {
public:
    static constexpr int32_t kFirstParameter = 2; // "Room Size"
    static constexpr int32_t kControlCount = 7;   // parameters 2 to 8

    // Loads the panel bitmap; the editor's size is the panel's (300 x 245).
    // The owner supplies and takes the parameter values (none: every control
    // shows 0 and changes go nowhere).
    explicit ReverbEditor(EditorOwner* owner);
    // Closes the editor first if the host left it open.
    ~ReverbEditor() override;

    // Builds the panel anew with the owner's current values; answers 1.
    int32_t open(void* parentWindow) override;
    // Deletes the frame with its controls and child window.
    void close() override;
    // Called by the owner for every parameter change, from whatever thread
    // sets parameters. On the editor's own thread the slider and box of
    // parameters 2 to 8 take the value at once (drawn at the next idle); from
    // any other thread the value is only stored, and the editor's next idle
    // puts it into the controls. Does nothing while the editor is closed.
    void setParameter(int32_t index, float value) override;
    // Puts values stored by other threads into the controls, then idles as
    // the base does (which draws the dirty controls).
    void idle() override;

    // A slider was moved by the user: set the parameter as automation and
    // draw the slider at once when the gesture has a drawing context.
    void valueChanged(DrawContext* context, Control* control) override;

    bool isOpen() const { return opened.load(std::memory_order_acquire); }
    // The controls of parameter kFirstParameter + i (null before the first open).
    HorizontalSlider* getSlider(int32_t i) const;
    ValueDisplay* getDisplay(int32_t i) const;
    Bitmap* getPanelBitmap() const { return panelBitmap; }

protected:
    // Applies the values that other threads stored since the last idle.
    void applyStoredValues();

    HorizontalSlider* sliders[kControlCount] = {};
    ValueDisplay* displays[kControlCount] = {};
    Bitmap* panelBitmap = nullptr;
    std::atomic<bool> opened{false};

private:
    // The thread that runs the editor (the one that opened it).
    std::atomic<std::thread::id> editorThread;
    // Values set from other threads, and which of them wait for the next idle.
    std::atomic<float> storedValues[kControlCount];
    std::atomic<uint32_t> storedPending{0};
};
