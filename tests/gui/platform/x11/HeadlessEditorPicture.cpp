// The picture an effect's editor draws on the headless backend.
#include "tests/gui/platform/x11/HeadlessEditorPicture.h"

#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "gui/platform/headless/HeadlessPlatform.h"
#include "host/EffectBase.h"

std::vector<uint32_t> headlessEditorPicture(int32_t width, int32_t height,
                                            const std::function<EffectBase*()>& make,
                                            const std::function<void(AEffect*)>& afterFirstIdle) {
    platform::headless::HeadlessPlatform world;
    platform::setCurrent(&world);
    std::vector<uint32_t> out;
    {
        EffectBase* effect = make();
        AEffect* record = effect->getRecord();
        platform::WindowHandle host = world.createHostWindow({0, 0, width, height});
        record->dispatcher(record, effEditOpen, 0, 0, host, 0.0f);
        world.deliverPaints();
        record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        if (afterFirstIdle) {
            afterFirstIdle(record);
            record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f);
        }
        auto* editor = static_cast<EditorBase*>(effect->editorObject());
        const platform::software::Surface* s = world.windowSurface(editor->getFrame()->getWindow());
        for (uint32_t p : s->pixels) {
            out.push_back(p & 0xFFFFFF);
        }
        record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f);
        record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    }
    platform::setCurrent(nullptr);
    return out;
}
