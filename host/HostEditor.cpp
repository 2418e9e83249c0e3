#include "host/HostEditor.h"

#include "host/EffectBase.h"

HostEditor::HostEditor(EffectBase* owner) : effect(owner) {
    if (effect) {
        effect->setEditor(this);
    }
}

int32_t HostEditor::getRect(ERect** rect) {
    if (rect) {
        *rect = nullptr;
    }
    return 0;
}

int32_t HostEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    return 0;
}

void HostEditor::idle() {
    if (takeUpdateRequest()) {
        update();
    }
}
