// The drawing half of a backend that draws in memory: every drawing object,
// context, drawing and copy operation of the Platform interface answered by a
// software Canvas, and the library's bitmap resources decoded into it. The
// headless and X11 backends derive from it and add windows, input, the clock
// and drag and drop.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/Canvas.h"

#include <memory>
#include <mutex>

namespace platform::software {

class CanvasPlatform : public Platform {
public:
    CanvasPlatform() = default;
    CanvasPlatform(const CanvasPlatform&) = delete;
    CanvasPlatform& operator=(const CanvasPlatform&) = delete;

    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override;
    ObjectHandle createSolidBrush(ColourRef colour) override;
    ObjectHandle createFont(const FontDescription& font) override;
    ObjectHandle stockObject(StockObject which) override;
    bool deleteObject(ObjectHandle object) override;
    ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) override;
    ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) override;

    int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) override;
    ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) override;
    ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) override;

    bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) override;
    bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                  int32_t alignment) override;

    DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) override;
    bool deleteDC(DeviceContextHandle dc) override;
    ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                        int32_t height) override;
    ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) override;
    bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) override;
    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override;
    // Built into the software drawing.
    bool transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                         int32_t height, DeviceContextHandle source, int32_t sourceX,
                         int32_t sourceY, ColourRef transparent) override;
    // The bitmaps embedded in the library, of this backend's module only.
    ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) override;

    // The pixels a context draws on (window surface, screen or selected
    // bitmap), or null. Valid until the next operation of the backend.
    const Surface* contextSurface(DeviceContextHandle dc);
    const Surface* bitmapSurface(ObjectHandle bitmap);
    void setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser);
    TextRasteriser& textRasteriser();

protected:
    // Held around every use of the canvas by the operations above. A backend
    // whose drawing may come from several threads answers its lock; the
    // default guards nothing.
    virtual std::unique_lock<std::mutex> lockCanvas() { return {}; }

    // The canvas itself, for the derived backend (under its own guard).
    Canvas& canvas() { return drawing; }
    const Canvas& canvas() const { return drawing; }

private:
    Canvas drawing;
};

} // namespace platform::software
