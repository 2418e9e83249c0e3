// A test effect of the host layer that owns its editor as the plug-in's effect
// does: it is the editor's EditorOwner, with the host layer's own operations
// behind it (begin and end of an edit, the host idle and the window size reach
// the recording host as audioMasterBeginEdit, audioMasterEndEdit,
// audioMasterIdle and audioMasterSizeWindow).
#pragma once

#include "gui/EditorOwner.h"
#include "host/ExtendedEffectBase.h"
#include "host/HostEditor.h"

class OwningEffect : public ExtendedEffectBase, public EditorOwner {
public:
    using ExtendedEffectBase::ExtendedEffectBase;
    // As the plug-in's effect does, the editor closes while this owner is whole: a closing
    // frame may still end an edit through it.
    ~OwningEffect() override {
        if (editor) {
            editor->close();
        }
    }

    float getParameter(int32_t index) override { return ExtendedEffectBase::getParameter(index); }
    void setParameterAutomated(int32_t index, float value) override {
        ExtendedEffectBase::setParameterAutomated(index, value);
    }
    bool beginEdit(int32_t index) override { return ExtendedEffectBase::beginEdit(index); }
    bool endEdit(int32_t index) override { return ExtendedEffectBase::endEdit(index); }
    void hostIdle() override { masterIdle(); }
    bool resizeEditor(int32_t width, int32_t height) override { return sizeWindow(width, height); }
};
