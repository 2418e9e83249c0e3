// Making the offscreen image at the frame's zoom, filled with the background colour, and
// copying it to another context.
#include "gui/OffscreenContext.h"

#include "gui/Frame.h"

OffscreenContext::OffscreenContext(Frame* owner, int32_t w, int32_t h, Colour background,
                                   Point origin)
    : DrawContext(owner, nullptr, nullptr), height(h), width(w), ownsBitmap(true),
      backgroundColour(background) {
    clipRect = Rect(w < 0 ? w : 0, h < 0 ? h : 0, w < 0 ? 0 : w, h < 0 ? 0 : h);
    zoomOrigin = origin;

    platform::Platform& p = platform::current();
    platform::WindowHandle frameWindow =
        owner && owner->isWindowOpen() ? owner->getWindow() : nullptr;
    platform::DeviceContextHandle windowContext = p.windowDC(frameWindow);
    if (!windowContext && frameWindow) {
        // The window is gone: an image compatible with the screen serves as well.
        frameWindow = nullptr;
        windowContext = p.windowDC(nullptr);
    }
    deviceContext = p.createCompatibleDC(windowContext);
    platform::ObjectHandle bitmap = p.createCompatibleBitmap(
        windowContext, zoom.deviceLength(origin.x, width), zoom.deviceLength(origin.y, height));
    window = bitmap;
    previousBitmap = p.selectObject(deviceContext, bitmap);
    p.releaseWindowDC(frameWindow, windowContext);

    setFillColour(backgroundColour);
    setFrameColour(backgroundColour);
    fillRect(Rect(0, 0, width, height));
    strokeRect(Rect(0, 0, width, height));
}

OffscreenContext::~OffscreenContext() {
    platform::Platform& p = platform::current();
    if (deviceContext) {
        p.deleteDC(deviceContext);
    }
    if (ownsBitmap && window) {
        p.deleteObject(static_cast<platform::ObjectHandle>(window));
    }
    // Nothing to select back: the memory context is gone.
    deviceContext = nullptr;
}

void OffscreenContext::copyFrom(DrawContext* destination, Rect rect, Point sourceOffset) {
    if (!destination) {
        return;
    }
    const platform::PixelRect to = destination->deviceRect(rect);
    platform::current().blockCopy(
        destination->getDeviceContext(), to.left, to.top, to.right - to.left, to.bottom - to.top,
        deviceContext, deviceX(sourceOffset.x), deviceY(sourceOffset.y), platform::RopCopy);
}
