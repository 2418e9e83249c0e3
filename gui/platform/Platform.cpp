// The backend in use: the build's native one (win32, X11 or headless) unless another was set.
#include "gui/platform/Platform.h"

#include "gui/platform/headless/HeadlessPlatform.h"

#include <atomic>

#if defined(FUMARA_NATIVE_WIN32)
#include "gui/platform/win32/Win32Platform.h"
#elif defined(FUMARA_NATIVE_X11)
#include "gui/platform/x11/X11Platform.h"
#endif

namespace platform {

namespace {
// Chosen once, before any toolkit object exists; read from the editor's thread.
std::atomic<Platform*> selected{nullptr};
} // namespace

Platform& native() {
#if defined(FUMARA_NATIVE_WIN32)
    return win32::nativePlatform();
#elif defined(FUMARA_NATIVE_X11)
    return x11::nativePlatform();
#else
    return headless::sharedPlatform();
#endif
}

Platform& current() {
    Platform* backend = selected.load(std::memory_order_acquire);
    return backend ? *backend : native();
}

void setCurrent(Platform* backend) {
    selected.store(backend, std::memory_order_release);
}

} // namespace platform
