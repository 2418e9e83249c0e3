// The plug-in's own editor: a fixed 300 x 245 panel painted from bitmap 101 with
// seven rows of a horizontal slider and a value box, each row bound to the
// parameter the parameter table puts there (effect/Parameters.h: "Room Size"
// to "Dry Level"). It reads and sets the parameters through its owner
// (gui/EditorOwner.h), so the same editor serves every plug-in format.
//
// The panel is shown at a zoom (100, 150, 200 or 300%): the one the user chose
// in the panel's menu (a right click outside the controls), remembered in the
// settings file, or else the desktop's scale where the editor opens. The
// controls keep the panel's coordinates; only the window and the pixels grow.
// The same menu offers the factory presets (effect/FactoryPresets.h) above the
// zooms.
#pragma once

#include "effect/Parameters.h"
#include "gui/EditorBase.h"
#include "gui/Zoom.h"
#include "gui/controls/Control.h"
#include "gui/controls/PopupMenu.h"

#include <atomic>
#include <cstdint>
#include <thread>

class Bitmap;
class HorizontalSlider;
class ValueDisplay;

class ReverbEditor : public EditorBase, public ControlListener, public PopupMenuListener {
public:
    // Loads the panel bitmap; the editor's size is the panel's (300 x 245)
    // until the host asks for it.
    // The owner supplies and takes the parameter values (none: every control
    // shows 0 and changes go nowhere).
    explicit ReverbEditor(EditorOwner* owner);
    // Closes the editor first if the host left it open.
    ~ReverbEditor() override;

    // The size of the window the editor needs: while closed, that of the zoom
    // the next open will use (looked up once after each close), while open
    // that of the zoom shown.
    int32_t getRect(ERect** rect) override;
    // Builds the panel anew with the owner's current values; answers 1. When
    // the zoom the editor prefers here is not the one whose size the host was
    // last told, the owner is asked to resize first; a host that refuses gets
    // the panel at the size it knows.
    int32_t open(void* parentWindow) override;
    // Deletes the frame with its controls and child window.
    void close() override;
    // Called by the owner for every parameter change, from whatever thread
    // sets parameters, before it stores the value; the owner posts the update
    // (postUpdate) once it has. On the editor's own thread the slider and box
    // of a parameter the panel shows take the value at once; from any other
    // thread the value is only kept, and the update puts it into them. The
    // next idle draws them. Touches no control while the editor is closed.
    void setParameter(int32_t index, float value) override;
    // The posted update, on the editor's thread at its idle: puts the values
    // other threads kept since the last one into the controls.
    void update() override;

    // A slider was moved by the user: set the parameter as automation and
    // draw the slider at once when the gesture has a drawing context.
    void valueChanged(DrawContext* context, Control* control) override;

    // A right click outside the controls opens the menu of presets and zooms
    // there, the current ones marked.
    void backgroundMouseDown(DrawContext* context, Point& where) override;
    // A preset or a zoom chosen in the menu.
    void itemChosen(PopupMenu* menu, int32_t index) override;
    // Sets the seven slider parameters to factory preset `preset`'s values,
    // each as automation between a begin-edit and an end-edit, so that hosts
    // record and undo it; the controls follow.
    void choosePreset(int32_t preset);
    // Shows the panel at a zoom the user chose, and remembers the choice for
    // the editors opened after it. The owner is asked to resize the window; a
    // host that refuses keeps the panel as it is until the editor is opened
    // again. Answers whether the panel now shows that zoom.
    bool chooseZoom(Zoom zoom);
    // Makes the editor use one zoom whatever the desktop and the settings say
    // (0: follow them again), from the next open or size request on.
    void setFixedZoom(int32_t percent);
    // The zoom shown (open), or announced to the host (closed).
    Zoom getZoom() const { return zoom; }
    // The zoom the editor would open at in a parent window (null: where the
    // desktop's default is): fixed, else chosen, else the desktop's.
    Zoom preferredZoom(void* parentWindow) const;

    bool isOpen() const { return opened.load(std::memory_order_acquire); }
    // The controls of panel row i (null before the first open).
    HorizontalSlider* getSlider(int32_t i) const;
    ValueDisplay* getDisplay(int32_t i) const;
    Bitmap* getPanelBitmap() const { return panelBitmap; }

protected:
    // Sets the rectangle the host reads to the panel's size at a zoom.
    void setSize(Zoom size);

    HorizontalSlider* sliders[kPanelRowCount] = {};
    ValueDisplay* displays[kPanelRowCount] = {};
    Bitmap* panelBitmap = nullptr;
    std::atomic<bool> opened{false};
    // The zoom whose size `rect` holds: shown while open.
    Zoom zoom;
    int32_t fixedZoom = 0;
    // Whether `rect` was worked out for the next open since the last close.
    bool sizeKnown = false;

private:
    // The thread that runs the editor (the one that opened it).
    std::atomic<std::thread::id> editorThread;
    // The newest value of each row's parameter, and which of them other
    // threads set since the last update.
    std::atomic<float> storedValues[kPanelRowCount];
    std::atomic<uint32_t> storedPending{0};
};
