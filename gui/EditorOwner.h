// What an editor asks of the plug-in it belongs to: the parameter values it
// shows, the changes the user makes on the panel (each enclosed in the start
// and the end of an edit), and the host's idle time while a control tracks the
// mouse. Each plug-in format implements it: the VST 2.x effect, and the LV2 UI,
// which has no effect object and talks to the host's control ports instead.
//
// The other direction, a value changed by the host, is the owner's to deliver,
// from whatever thread it arrives on: EditorBase::setParameter before the owner
// stores the value, HostEditor::postUpdate after, once per change; the
// editor's next idle shows it. The toolkit and the editor know nothing else of
// the plug-in.
#pragma once

#include <cstdint>

class EditorOwner {
public:
    // The parameter's current value (0 to 1).
    virtual float getParameter(int32_t index) = 0;
    // The user moved a control: set the parameter and report the change to the
    // host as automation.
    virtual void setParameterAutomated(int32_t index, float value) = 0;
    // The user starts and stops changing a parameter (a slider drag). Answer
    // whether the host took the notice.
    virtual bool beginEdit(int32_t index) = 0;
    virtual bool endEdit(int32_t index) = 0;
    // The idle pump's call to the host while a control tracks the mouse, so
    // that the host's own display keeps running.
    virtual void hostIdle() = 0;
    // The editor wants its window to be width x height pixels (a new zoom).
    // Answer whether the host resized the window; a host that cannot (and
    // this default) answers false, and the editor keeps its size.
    virtual bool resizeEditor(int32_t width, int32_t height) { return false; }

protected:
    ~EditorOwner() = default;
};
