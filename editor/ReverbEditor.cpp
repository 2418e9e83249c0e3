// The panel built and taken down, its rows bound to the parameters the parameter table puts
// there and kept in step with them, the menu on the background with its presets, and the zoom:
// the one the editor prefers, its choice in the menu, and the resize.
#include "editor/ReverbEditor.h"

#include "editor/SettingsFile.h"
#include "effect/FactoryPresets.h"
#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/Frame.h"
#include "gui/controls/Slider.h"
#include "gui/controls/ValueDisplay.h"
#include "gui/platform/Platform.h"
#include "resources/ResourceIds.h"

#include <string>
#include <vector>

namespace {

// Layout of the panel, in frame coordinates. The slider rows follow from the
// trough and handle bitmaps; these are the fixed anchors.
constexpr int32_t kSliderLeft = 7;
constexpr int32_t kSliderTop = 31;
constexpr int32_t kTravelStart = 12;
constexpr int32_t kHandleOffsetX = 1;
constexpr int32_t kHandleOffsetY = 6;
constexpr int32_t kSliderStyle = SliderLeft; // the class adds SliderHorizontal
// The value box one row step above the first row; moved down before each use.
constexpr Rect kDisplayAnchor(193, 10, 221, 24);
constexpr int32_t kDisplayStyle = 1; // no bevel, no shadow, text shown
constexpr int32_t kDisplayFont = 4;  // 11-pixel sans serif
constexpr Colour kTextColour(0, 0, 0);
constexpr Colour kBoxColour(230, 230, 230);
constexpr const char* kZoomMenuTitle = "ZOOM";
constexpr const char* kPresetMenuTitle = "PRESETS";
constexpr int32_t kMenuWidth = 80; // the longest preset name and a margin

} // namespace

ReverbEditor::ReverbEditor(EditorOwner* editorOwner)
    : EditorBase(editorOwner), editorThread(std::this_thread::get_id()) {
    for (std::atomic<float>& v : storedValues) {
        v.store(0.0f, std::memory_order_relaxed);
    }
    panelBitmap = new Bitmap(kPanelBitmapId);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(panelBitmap->height);
    rect.right = static_cast<int16_t>(panelBitmap->width);
}

ReverbEditor::~ReverbEditor() {
    // Hosts close the editor before the plug-in; one that does not must not
    // leave a window and controls behind.
    if (opened.load(std::memory_order_acquire) || frame) {
        close();
    }
    if (panelBitmap) {
        panelBitmap->release();
        panelBitmap = nullptr;
    }
    for (int32_t i = 0; i < kPanelRowCount; ++i) {
        sliders[i] = nullptr;
        displays[i] = nullptr;
    }
}

HorizontalSlider* ReverbEditor::getSlider(int32_t i) const {
    return i >= 0 && i < kPanelRowCount ? sliders[i] : nullptr;
}

ValueDisplay* ReverbEditor::getDisplay(int32_t i) const {
    return i >= 0 && i < kPanelRowCount ? displays[i] : nullptr;
}

void ReverbEditor::setSize(Zoom size) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(size.toDevice(panelBitmap->height));
    rect.right = static_cast<int16_t>(size.toDevice(panelBitmap->width));
}

Zoom ReverbEditor::preferredZoom(void* parentWindow) const {
    if (Zoom::isFactor(fixedZoom)) {
        return Zoom(fixedZoom);
    }
    if (const int32_t chosen = settings::ZoomChoice::load()) {
        return Zoom(chosen);
    }
    return Zoom::atOrBelow(
        platform::current().desktopScale(static_cast<platform::WindowHandle>(parentWindow)));
}

void ReverbEditor::setFixedZoom(int32_t percent) {
    fixedZoom = Zoom::isFactor(percent) ? percent : 0;
    sizeKnown = false;
}

int32_t ReverbEditor::getRect(ERect** out) {
    if (!frame && !sizeKnown) {
        zoom = preferredZoom(nullptr);
        setSize(zoom);
        sizeKnown = true;
    }
    return EditorBase::getRect(out);
}

int32_t ReverbEditor::open(void* parentWindow) {
    // A second open without a close replaces the panel instead of leaking it.
    if (frame) {
        close();
    }
    EditorBase::open(parentWindow);
    editorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);

    // The host made its window for the size it was last told; another zoom
    // needs its consent.
    const Zoom wanted = preferredZoom(parentWindow);
    if (wanted != zoom) {
        setSize(wanted);
        if (owner && owner->resizeEditor(rect.right, rect.bottom)) {
            zoom = wanted;
        } else {
            setSize(zoom);
        }
    }
    sizeKnown = true;

    Bitmap* trough = new Bitmap(kTroughBitmapId);
    Bitmap* handle = new Bitmap(kHandleBitmapId);

    frame =
        new Frame(Rect(0, 0, panelBitmap->width, panelBitmap->height), parentWindow, this, zoom);
    if (parentWindow && !frame->getWindow()) {
        // No window could be made in the host's window (on X11: no connection
        // to the display). Tell the host the editor did not open, and keep
        // nothing of the attempt.
        delete frame;
        frame = nullptr;
        trough->release();
        handle->release();
        return 0;
    }
    frame->setBackground(panelBitmap);

    const int32_t rowStep = trough->height - 1; // neighbouring rows share one line
    const int32_t maxPos = kSliderLeft + trough->width - handle->width - 2;
    Rect size(kSliderLeft, kSliderTop, kSliderLeft + trough->width, kSliderTop + trough->height);
    for (int32_t i = 0; i < kPanelRowCount; ++i) {
        const int32_t parameter = parameterAtPanelRow(i);
        auto* slider = new HorizontalSlider(size, this, parameter, kTravelStart, maxPos, handle,
                                            trough, Point(0, 0), kSliderStyle);
        slider->setHandleOffset(Point(kHandleOffsetX, kHandleOffsetY));
        slider->setValue(owner ? owner->getParameter(parameter) : 0.0f);
        if (!frame->addView(slider)) {
            slider->release();
            slider = nullptr;
        }
        sliders[i] = slider;
        size.offset(0, rowStep);
    }

    Rect box = kDisplayAnchor;
    box.offset(0, rowStep);
    for (int32_t i = 0; i < kPanelRowCount; ++i) {
        auto* display = new ValueDisplay(box, nullptr, kDisplayStyle);
        display->setFont(kDisplayFont);
        display->setFontColour(kTextColour);
        display->setBackColour(kBoxColour);
        display->setFrameColour(kTextColour);
        display->setValue(owner ? owner->getParameter(parameterAtPanelRow(i)) : 0.0f);
        if (!frame->addView(display)) {
            display->release();
            display = nullptr;
        }
        displays[i] = display;
        box.offset(0, rowStep);
    }

    // The sliders hold their own references from now on.
    trough->release();
    handle->release();

    opened.store(true, std::memory_order_release);
    return 1;
}

void ReverbEditor::close() {
    opened.store(false, std::memory_order_release);
    sizeKnown = false; // the next open may find another desktop or choice
    if (frame) {
        Frame* open = frame;
        frame = nullptr;
        open->close();
    }
}

void ReverbEditor::setParameter(int32_t index, float value) {
    const int32_t row = parameterInfo(index).panelRow;
    if (row == kNoPanelRow) {
        return;
    }
    const uint32_t bit = 1u << row;
    storedValues[row].store(value, std::memory_order_relaxed);
    if (std::this_thread::get_id() != editorThread.load(std::memory_order_relaxed)) {
        // Another thread: touch no control and draw nothing; the value waits
        // for the update its owner posts. Kept even while the editor is
        // (still) closed, so that a change racing with open is not lost; open
        // itself reads the owner's values, which agree with what is kept here.
        storedPending.fetch_or(bit, std::memory_order_release);
        return;
    }
    // This value is newer than anything another thread kept before.
    storedPending.fetch_and(~bit, std::memory_order_relaxed);
    if (!opened.load(std::memory_order_acquire)) {
        return;
    }
    if (sliders[row]) {
        sliders[row]->setValue(value);
    }
    if (displays[row]) {
        displays[row]->setValue(value);
    }
}

void ReverbEditor::update() {
    if (!opened.load(std::memory_order_acquire)) {
        return;
    }
    const uint32_t pending = storedPending.exchange(0, std::memory_order_acquire);
    for (int32_t row = 0; row < kPanelRowCount; ++row) {
        if (pending & (1u << row)) {
            const float value = storedValues[row].load(std::memory_order_relaxed);
            if (sliders[row]) {
                sliders[row]->setValue(value);
            }
            if (displays[row]) {
                displays[row]->setValue(value);
            }
        }
    }
}

void ReverbEditor::valueChanged(DrawContext* context, Control* control) {
    if (!control) {
        return;
    }
    if (owner) {
        owner->setParameterAutomated(control->getTag(), control->getValue());
    }
    if (context) {
        control->update(context);
    }
}

void ReverbEditor::backgroundMouseDown(DrawContext* context, Point& where) {
    if (!frame || !context || !(context->getPressButtons() & MouseRight)) {
        return;
    }
    PopupMenu::Section presets{kPresetMenuTitle, {}, -1};
    for (int32_t p = 0; p < kFactoryPresetCount; ++p) {
        presets.items.push_back(kFactoryPresets[p].name);
        bool current = owner != nullptr;
        for (int32_t row = 0; current && row < kPanelRowCount; ++row) {
            const int32_t i = parameterAtPanelRow(row);
            current = owner->getParameter(i) == kFactoryPresets[p].values[i];
        }
        if (current) {
            presets.marked = p;
        }
    }
    PopupMenu::Section zooms{kZoomMenuTitle, {}, -1};
    for (int32_t i = 0; i < Zoom::kFactorCount; ++i) {
        zooms.items.push_back(std::to_string(Zoom::kFactors[i]) + "%");
        if (Zoom::kFactors[i] == zoom.percent()) {
            zooms.marked = i;
        }
    }
    Rect bounds;
    frame->getSize(bounds);
    frame->openPopup(new PopupMenu(where, bounds, {presets, zooms}, this, 0, kMenuWidth), context);
}

void ReverbEditor::itemChosen(PopupMenu* menu, int32_t index) {
    if (index >= 0 && index < kFactoryPresetCount) {
        choosePreset(index);
    } else if (index >= kFactoryPresetCount && index < kFactoryPresetCount + Zoom::kFactorCount) {
        chooseZoom(Zoom(Zoom::kFactors[index - kFactoryPresetCount]));
    }
}

void ReverbEditor::choosePreset(int32_t preset) {
    if (!owner || preset < 0 || preset >= kFactoryPresetCount) {
        return;
    }
    // The panel's parameters, each as one edit; Mode and Length stay as they are.
    for (int32_t row = 0; row < kPanelRowCount; ++row) {
        const int32_t i = parameterAtPanelRow(row);
        owner->beginEdit(i);
        owner->setParameterAutomated(i, kFactoryPresets[preset].values[i]);
        owner->endEdit(i);
    }
}

bool ReverbEditor::chooseZoom(Zoom chosen) {
    // Remembered even when this host cannot show it now: the next editor can.
    settings::ZoomChoice::store(chosen.percent());
    fixedZoom = 0;
    if (!frame) {
        sizeKnown = false; // the next size request finds the choice
        return false;
    }
    if (chosen == zoom) {
        return true;
    }
    const Zoom shown = zoom;
    // Hosts read the new size back while they resize, and a host that embeds
    // the window may resize it itself, to the size the window declares.
    setSize(chosen);
    frame->declareZoom(chosen);
    if (!owner || !owner->resizeEditor(rect.right, rect.bottom)) {
        setSize(shown);
        if (frame) {
            frame->declareZoom(shown);
        }
        return false;
    }
    zoom = chosen;
    if (!frame) {
        return false; // the host closed the editor while it resized its window
    }
    if (!frame->setZoom(chosen)) {
        // A window that cannot be resized: the panel is built again at the
        // new zoom in the same host window; the old frame goes once the event
        // that chose the zoom is over.
        void* parent = systemWindow;
        close();
        open(parent);
    }
    return true;
}
