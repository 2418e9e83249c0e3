// The LV2 UI as the editor's owner: the panel in the host's window, its size told to the host,
// port events moving the controls, slider moves written to the ports, and the descriptor.
#include "lv2/Lv2Ui.h"

#include "editor/ReverbEditor.h"
#include "gui/EditorOwner.h"
#include "gui/Frame.h"
#include "lv2/Lv2Ports.h"

#include <cstring>
#include <new>

namespace {

// One UI: the editor, and the host's functions it talks through. It is the
// editor's owner; the values it answers are the control ports' values as the
// host last reported them (or as the user set them here).
class Lv2ReverbUi final : public EditorOwner {
public:
    Lv2ReverbUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Resize* resize,
                const LV2UI_Touch* touch)
        : write(write), controller(controller), resize(resize), touch(touch) {
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            values[i] = kNamedParameters[i].defaultValue;
        }
    }

    ~Lv2ReverbUi() {
        if (editor) {
            editor->close();
            delete editor;
        }
    }

    // Builds the panel inside the host's window, at the zoom the editor
    // prefers (the user's remembered choice, else the desktop's scale), as a
    // VST 2.x host that asks the size first gets it; false when no window can
    // be made there (no X server, a parent that is gone).
    bool open(void* parent) {
        editor = new ReverbEditor(this);
        ERect* rect = nullptr;
        editor->getRect(&rect);
        if (editor->open(parent) != 1 || !editor->getFrame()) {
            return false;
        }
        announceSize();
        return true;
    }

    LV2UI_Widget widget() const {
        return editor && editor->getFrame() ? editor->getFrame()->getWindow() : nullptr;
    }

    // The one place that tells the host the panel's size (ui:resize); answers
    // whether the host took it.
    bool requestSize(int32_t width, int32_t height) {
        return resize && resize->ui_resize && resize->ui_resize(resize->handle, width, height) == 0;
    }

    // The editor's rectangle, as the VST 2.x edition reports it through
    // effEditGetRect.
    void announceSize() {
        ERect* rect = nullptr;
        if (editor && editor->getRect(&rect) == 1 && rect) {
            requestSize(rect->right - rect->left, rect->bottom - rect->top);
        }
    }

    // The host reports a control port's value: the slider and its box follow.
    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
        const int32_t parameter = parameterOfPort(port);
        if (parameter < 0 || format != 0 || size != sizeof(float) || !buffer) {
            return;
        }
        float value = 0.0f;
        std::memcpy(&value, buffer, sizeof value);
        if (!normaliseParameterValue(value)) {
            return; // the plug-in ignores it too
        }
        show(parameter, value);
    }

    // Handles the window's events and redraws what changed. Answers non-zero
    // once the panel's window is gone (the host destroyed its window).
    int idle() {
        if (!editor || !editor->getFrame()) {
            return 1;
        }
        editor->idle();
        Frame* frame = editor->getFrame();
        return frame && frame->isWindowOpen() ? 0 : 1;
    }

    // EditorOwner.
    float getParameter(int32_t index) override {
        return index >= 0 && index < kNamedParameterCount ? values[index] : 0.0f;
    }

    void setParameterAutomated(int32_t index, float value) override {
        if (index < 0 || index >= kNamedParameterCount || !normaliseParameterValue(value)) {
            return;
        }
        // As the VST 2.x effect does: the editor shows the value first, then
        // it goes to the plug-in (here, through the host).
        show(index, value);
        if (write) {
            write(controller, portOfParameter(index), sizeof(float), 0, &value);
        }
    }

    bool beginEdit(int32_t index) override { return grab(index, true); }
    bool endEdit(int32_t index) override { return grab(index, false); }

    // The host's own loop runs when idle returns; nothing to call here.
    void hostIdle() override {}

    // A zoom chosen in the panel's menu: a host without ui:resize, or one
    // that refuses, keeps the panel's size until the UI is made again.
    bool resizeEditor(int32_t width, int32_t height) override { return requestSize(width, height); }

private:
    // A parameter's value as the plug-in holds it now: told to the editor,
    // kept, and the editor's update posted, as the VST 2.x effect does.
    void show(int32_t index, float value) {
        if (editor) {
            editor->setParameter(index, value);
        }
        values[index] = value;
        if (editor) {
            editor->postUpdate();
        }
    }

    bool grab(int32_t index, bool grabbed) {
        if (index < 0 || index >= kNamedParameterCount || !touch || !touch->touch) {
            return false;
        }
        touch->touch(touch->handle, portOfParameter(index), grabbed);
        return true;
    }

    ReverbEditor* editor = nullptr;
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Resize* resize;
    const LV2UI_Touch* touch;
    float values[kNamedParameterCount];
};

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) {
            return (*f)->data;
        }
    }
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!pluginUri || std::strcmp(pluginUri, kLv2PluginUri) != 0) {
        return nullptr;
    }
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (!parent) {
        return nullptr; // an X11 UI lives inside the host's window
    }
    Lv2ReverbUi* ui = nullptr;
    try {
        ui = new Lv2ReverbUi(write, controller,
                             static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)),
                             static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)));
        if (!ui->open(parent)) {
            delete ui;
            return nullptr;
        }
    } catch (...) {
        delete ui;
        return nullptr;
    }
    if (widget) {
        *widget = ui->widget();
    }
    return ui;
}

void cleanup(LV2UI_Handle handle) {
    delete static_cast<Lv2ReverbUi*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    static_cast<Lv2ReverbUi*>(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    return static_cast<Lv2ReverbUi*>(handle)->idle();
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &kIdleInterface;
    }
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kLv2UiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

const LV2UI_Descriptor* fumaraLv2UiDescriptor() {
    return &kDescriptor;
}
