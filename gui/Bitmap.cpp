#include "gui/Bitmap.h"

#include "gui/DrawContext.h"

using platform::DeviceContextHandle;
using platform::ObjectHandle;

Bitmap::Bitmap(int32_t id) : resourceId(id) {
    platform::Platform& p = platform::current();
    platformBitmap = p.loadBitmapResource(
        p.moduleHandle(), static_cast<uint16_t>(static_cast<uint32_t>(id) & 0xFFFF));
    int32_t w = 0, h = 0;
    if (platformBitmap && p.bitmapSize(platformBitmap, w, h)) {
        width = w;
        height = h;
    }
    transparentColour = ColourTransparent;
}

Bitmap::~Bitmap() {
    if (platformBitmap) {
        platform::current().deleteObject(platformBitmap);
    }
}

void Bitmap::release() {
    if (referenceCount <= 0) {
        return;
    }
    if (--referenceCount == 0) {
        delete this;
    }
}

void Bitmap::draw(DrawContext* context, const Rect& rect, const Point& sourceOffset) {
    if (!platformBitmap || !context) {
        return;
    }
    platform::Platform& p = platform::current();
    DeviceContextHandle destination = context->getDeviceContext();
    DeviceContextHandle source = p.createCompatibleDC(destination);
    if (!source) {
        return;
    }
    ObjectHandle previous = p.selectObject(source, platformBitmap);
    if (previous) {
        Point offset = context->getOffset();
        p.blockCopy(destination, rect.left + offset.x, rect.top + offset.y, rect.width(),
                    rect.height(), source, sourceOffset.x, sourceOffset.y, platform::RopCopy);
        p.selectObject(source, previous);
    }
    p.deleteDC(source);
}

void Bitmap::drawTransparent(DrawContext* context, const Rect& rect, const Point& sourceOffset) {
    if (!platformBitmap || !context) {
        return;
    }
    platform::Platform& p = platform::current();
    DeviceContextHandle destination = context->getDeviceContext();
    DeviceContextHandle source = p.createCompatibleDC(destination);
    if (!source) {
        return;
    }
    ObjectHandle previous = p.selectObject(source, platformBitmap);
    if (!previous) {
        p.deleteDC(source);
        return;
    }
    Point offset = context->getOffset();
    int32_t x = rect.left + offset.x, y = rect.top + offset.y;
    int32_t w = rect.width(), h = rect.height();
    platform::ColourRef key = transparentColour.toPlatform();

    // The platform's transparent copy, or its stand-in where it has none.
    p.transparentCopy(destination, x, y, w, h, source, sourceOffset.x, sourceOffset.y, key);
    p.selectObject(source, previous);
    p.deleteDC(source);
}
