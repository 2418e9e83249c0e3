// The drawing operations of the in-memory backends, forwarded to their canvas
// under the backend's guard, and the embedded bitmaps decoded into it.
#include "gui/platform/software/CanvasPlatform.h"

#include "gui/platform/BmpDecoder.h"
#include "gui/platform/EmbeddedResources.h"

#include <utility>

namespace platform::software {

ObjectHandle CanvasPlatform::createPen(int32_t style, int32_t width, ColourRef colour) {
    auto lock = lockCanvas();
    return drawing.createPen(style, width, colour);
}

ObjectHandle CanvasPlatform::createSolidBrush(ColourRef colour) {
    auto lock = lockCanvas();
    return drawing.createSolidBrush(colour);
}

ObjectHandle CanvasPlatform::createFont(const FontDescription& font) {
    auto lock = lockCanvas();
    return drawing.createFont(font);
}

ObjectHandle CanvasPlatform::stockObject(StockObject which) {
    auto lock = lockCanvas();
    return drawing.stockObject(which);
}

bool CanvasPlatform::deleteObject(ObjectHandle object) {
    auto lock = lockCanvas();
    return drawing.deleteObject(object);
}

ObjectHandle CanvasPlatform::currentObject(DeviceContextHandle dc, ObjectKind kind) {
    auto lock = lockCanvas();
    return drawing.currentObject(dc, kind);
}

ObjectHandle CanvasPlatform::selectObject(DeviceContextHandle dc, ObjectHandle object) {
    auto lock = lockCanvas();
    return drawing.selectObject(dc, object);
}

int32_t CanvasPlatform::setBackgroundMode(DeviceContextHandle dc, int32_t mode) {
    auto lock = lockCanvas();
    return drawing.setBackgroundMode(dc, mode);
}

ColourRef CanvasPlatform::setBackgroundColour(DeviceContextHandle dc, ColourRef colour) {
    auto lock = lockCanvas();
    return drawing.setBackgroundColour(dc, colour);
}

ColourRef CanvasPlatform::setTextColour(DeviceContextHandle dc, ColourRef colour) {
    auto lock = lockCanvas();
    return drawing.setTextColour(dc, colour);
}

bool CanvasPlatform::moveTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    auto lock = lockCanvas();
    return drawing.moveTo(dc, x, y);
}

bool CanvasPlatform::lineTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    auto lock = lockCanvas();
    return drawing.lineTo(dc, x, y);
}

bool CanvasPlatform::fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) {
    auto lock = lockCanvas();
    return drawing.fillRect(dc, rect, brush);
}

bool CanvasPlatform::drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                              int32_t alignment) {
    auto lock = lockCanvas();
    return drawing.drawText(dc, text, rect, alignment);
}

DeviceContextHandle CanvasPlatform::createCompatibleDC(DeviceContextHandle dc) {
    auto lock = lockCanvas();
    return drawing.createCompatibleDC(dc);
}

bool CanvasPlatform::deleteDC(DeviceContextHandle dc) {
    auto lock = lockCanvas();
    return drawing.deleteDC(dc);
}

ObjectHandle CanvasPlatform::createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                                    int32_t height) {
    auto lock = lockCanvas();
    return drawing.createCompatibleBitmap(dc, width, height);
}

ObjectHandle CanvasPlatform::createMonochromeBitmap(int32_t width, int32_t height) {
    auto lock = lockCanvas();
    return drawing.createMonochromeBitmap(width, height);
}

bool CanvasPlatform::bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) {
    auto lock = lockCanvas();
    return drawing.bitmapSize(bitmap, width, height);
}

bool CanvasPlatform::blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                               int32_t height, DeviceContextHandle source, int32_t sourceX,
                               int32_t sourceY, uint32_t rop) {
    auto lock = lockCanvas();
    return drawing.blockCopy(destination, x, y, width, height, source, sourceX, sourceY, rop);
}

bool CanvasPlatform::transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                     int32_t width, int32_t height, DeviceContextHandle source,
                                     int32_t sourceX, int32_t sourceY, ColourRef transparent) {
    auto lock = lockCanvas();
    return drawing.transparentCopy(destination, x, y, width, height, source, sourceX, sourceY,
                                   transparent);
}

ObjectHandle CanvasPlatform::loadBitmapResource(ModuleHandle fromModule, uint16_t id) {
    if (fromModule != moduleHandle()) {
        return nullptr;
    }
    const EmbeddedResource* embedded = findEmbeddedBitmap(id);
    DecodedImage image;
    if (!embedded || !decodeBmp(embedded->data, embedded->size, image)) {
        return nullptr;
    }
    Surface pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.pixels = std::move(image.pixels);
    auto lock = lockCanvas();
    return drawing.createBitmap(std::move(pixels));
}

const Surface* CanvasPlatform::contextSurface(DeviceContextHandle dc) {
    auto lock = lockCanvas();
    return drawing.contextSurface(dc);
}

const Surface* CanvasPlatform::bitmapSurface(ObjectHandle bitmap) {
    auto lock = lockCanvas();
    return drawing.bitmapSurface(bitmap);
}

void CanvasPlatform::setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser) {
    auto lock = lockCanvas();
    drawing.setTextRasteriser(std::move(rasteriser));
}

TextRasteriser& CanvasPlatform::textRasteriser() {
    auto lock = lockCanvas();
    return drawing.textRasteriser();
}

} // namespace platform::software
