// Drawing the effect's editor once at a zoom on the headless backend, and writing the picture
// as a PNG file (through cairo; not in the Windows builds).
#include "effect/EditorSnapshot.h"

#include "editor/ReverbEditor.h"
#include "effect/ReverbEffect.h"
#include "gui/Frame.h"
#include "gui/Zoom.h"
#include "gui/platform/headless/HeadlessPlatform.h"

#include <cstdio>
#include <memory>

#if !defined(_WIN32)
#include <cairo.h>
#include <sys/stat.h>
#endif

namespace {

// Where the host window lies on the headless screen.
constexpr int32_t kHostLeft = 100;
constexpr int32_t kHostTop = 100;

// The backend in use when the snapshot started, selected again however it ends.
class BackendSwitch {
public:
    explicit BackendSwitch(platform::Platform& replacement) : previous(&platform::current()) {
        platform::setCurrent(&replacement);
    }
    ~BackendSwitch() { platform::setCurrent(previous); }
    BackendSwitch(const BackendSwitch&) = delete;
    BackendSwitch& operator=(const BackendSwitch&) = delete;

private:
    platform::Platform* previous;
};

// The effect's own editor, put back in its place however the snapshot ends.
class EditorSwap {
public:
    EditorSwap(EffectBase& owner, HostEditor* original) : effect(owner), saved(original) {}
    ~EditorSwap() {
        // The temporary editor goes before the backend its window and
        // bitmaps belong to.
        if (temporary) {
            temporary->close();
            delete temporary;
        }
        effect.setEditor(saved);
    }
    EditorSwap(const EditorSwap&) = delete;
    EditorSwap& operator=(const EditorSwap&) = delete;

    ReverbEditor* temporary = nullptr;

private:
    EffectBase& effect;
    HostEditor* saved;
};

ReverbEffect* liveEffect(AEffect* record) {
    if (!record || record->magic != kEffectMagic || !record->object) {
        return nullptr;
    }
    auto* base = static_cast<EffectBase*>(record->object);
    if (base->getRecord() != record) {
        return nullptr;
    }
    return dynamic_cast<ReverbEffect*>(base);
}

} // namespace

bool drawEditorSnapshot(AEffect* record, platform::software::Surface& pixels, int32_t zoomPercent) {
    ReverbEffect* effect = liveEffect(record);
    if (!effect || !Zoom::isFactor(zoomPercent)) {
        return false;
    }
    // Only an effect with an editor of its own kind, and never while a host
    // shows that editor: its window and controls stay untouched.
    HostEditor* original = effect->editorObject();
    auto* own = dynamic_cast<ReverbEditor*>(original);
    if (!own || own->isOpen()) {
        return false;
    }

    // The editor's bitmaps and window must belong to the backend that draws
    // them, so a second editor is made on a private headless backend; it
    // reads the same parameters as the effect's own editor.
    platform::headless::HeadlessPlatform world;
    BackendSwitch backend(world);
    EditorSwap swap(*effect, original);
    swap.temporary = new ReverbEditor(effect);
    swap.temporary->setFixedZoom(zoomPercent);
    effect->setEditor(swap.temporary);

    ERect* size = nullptr;
    if (effect->dispatcher(effEditGetRect, 0, 0, &size, 0.0f) != 1 || !size) {
        return false;
    }
    const int32_t width = size->right - size->left;
    const int32_t height = size->bottom - size->top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    platform::WindowHandle host =
        world.createHostWindow({kHostLeft, kHostTop, kHostLeft + width, kHostTop + height});
    if (!host || effect->dispatcher(effEditOpen, 0, 0, host, 0.0f) != 1) {
        return false;
    }
    Frame* frame = swap.temporary->getFrame();
    if (!frame) {
        return false;
    }
    // One paint (the host's message loop), then one idle as the host sends it.
    world.deliverPaints();
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    world.deliverPaints();
    const platform::software::Surface* drawn = world.windowSurface(frame->getWindow());
    if (!drawn || drawn->width != width || drawn->height != height) {
        effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        return false;
    }
    pixels = *drawn;
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    return true;
}

#if defined(_WIN32)

bool writeSnapshotPng(const platform::software::Surface&, const std::string&) {
    return false;
}

#else

bool writeSnapshotPng(const platform::software::Surface& pixels, const std::string& path) {
    if (pixels.width <= 0 || pixels.height <= 0 || pixels.monochrome || path.empty() ||
        pixels.pixels.size() != static_cast<size_t>(pixels.width) * pixels.height) {
        return false;
    }
    cairo_surface_t* image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels.width, pixels.height);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return false;
    }
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int32_t y = 0; y < pixels.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int32_t x = 0; x < pixels.width; ++x) {
            // 0x00BBGGRR to cairo's native 0x00RRGGBB.
            const uint32_t c = pixels.at(x, y);
            row[x] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        }
    }
    cairo_surface_mark_dirty(image);
    // Written beside the target and renamed, so that a failed write leaves
    // any older picture in place; but a device or a pipe (/dev/null) is
    // written in place, since a rename would replace it with a file.
    struct stat target {};
    if (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
        const bool written =
            cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(image);
        return written;
    }
    const std::string partial = path + ".partial";
    const bool written = cairo_surface_write_to_png(image, partial.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(image);
    if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return false;
    }
    return true;
}

#endif
