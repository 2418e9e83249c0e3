// Drawing a bitmap, plainly or with its transparent colour, at a context's zoom: the picture
// drawn for that zoom, loaded when first needed, or else the 100% one.
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
    for (platform::ObjectHandle picture : zoomed) {
        if (picture) {
            platform::current().deleteObject(picture);
        }
    }
}

platform::ObjectHandle Bitmap::pictureFor(Zoom zoom) {
    int32_t index = 0;
    while (index < Zoom::kFactorCount && Zoom::kFactors[index] != zoom.percent()) {
        ++index;
    }
    if (zoom.isIdentity() || index == Zoom::kFactorCount || !platformBitmap) {
        return platformBitmap;
    }
    if (!looked[index]) {
        looked[index] = true;
        const int32_t id =
            zoom.bitmapId(static_cast<int32_t>(static_cast<uint32_t>(resourceId) & 0xFFFF));
        if (id <= 0xFFFF) {
            platform::Platform& p = platform::current();
            zoomed[index] = p.loadBitmapResource(p.moduleHandle(), static_cast<uint16_t>(id));
        }
    }
    return zoomed[index] ? zoomed[index] : platformBitmap;
}

Bitmap::Block Bitmap::blockFor(DrawContext* context, const Rect& rect, const Point& sourceOffset) {
    const Zoom zoom = context->getZoom();
    const platform::PixelRect to = context->deviceRect(rect);
    Block block{pictureFor(zoom),   to.left,        to.top,        to.right - to.left,
                to.bottom - to.top, sourceOffset.x, sourceOffset.y};
    if (block.picture != platformBitmap) {
        block.sourceX = zoom.toDevice(sourceOffset.x);
        block.sourceY = zoom.toDevice(sourceOffset.y);
    }
    return block;
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
    const Block block = blockFor(context, rect, sourceOffset);
    ObjectHandle previous = p.selectObject(source, block.picture);
    if (previous) {
        p.blockCopy(destination, block.x, block.y, block.width, block.height, source, block.sourceX,
                    block.sourceY, platform::RopCopy);
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
    const Block block = blockFor(context, rect, sourceOffset);
    ObjectHandle previous = p.selectObject(source, block.picture);
    if (!previous) {
        p.deleteDC(source);
        return;
    }
    const int32_t x = block.x, y = block.y, w = block.width, h = block.height;
    const Point from(block.sourceX, block.sourceY);
    platform::ColourRef key = transparentColour.toPlatform();

    // The platform's transparent copy, or its stand-in where it has none.
    p.transparentCopy(destination, x, y, w, h, source, from.x, from.y, key);
    p.selectObject(source, previous);
    p.deleteDC(source);
}
