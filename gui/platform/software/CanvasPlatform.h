// The software drawing: the drawing half of the Platform interface done in
// memory. Device contexts, pens, brushes, fonts and bitmaps with their
// selection rules, and the lines, fills, block and transparent copies and text
// they draw onto in-memory surfaces, following the drawing rules of
// gui/platform/Platform.h; the library's bitmap resources decoded into
// bitmaps. The headless and X11 backends derive from it and add windows,
// input, the clock and drag and drop, so both give the same pixels.
//
// Surfaces: bitmaps (objects), a screen, and window surfaces that a backend
// makes for its windows and shows as it likes. Each window surface remembers
// the area drawn on it through window contexts since its backend last asked
// (takeDamage), so that a backend can show exactly what changed; a paint is
// shown as a whole when it ends.
//
// Coordinates: CanvasObjects.cpp keeps the state of objects and contexts and
// never touches a pixel; CanvasDrawing.cpp is where a context's coordinates
// become pixels of its surface (lines, fills, copies, text placement), today
// one to one. A scale between the toolkit's coordinates and a surface's pixels
// (a zoomed panel) belongs there, with each surface carrying its own.
//
// Threads: every operation of the Platform interface below runs under
// lockCanvas(), which a backend drawing from several threads answers with its
// lock. The protected operations for the derived backend take no lock: the
// backend calls them under its own.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/Pixels.h"
#include "gui/platform/software/TextRasteriser.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace platform::software {

// A window surface; 0 is none.
using SurfaceId = uintptr_t;

// What a context holds and where it stands (for inspection).
struct ContextState {
    ObjectHandle pen, brush, font, bitmap;
    ColourRef background, text;
    int32_t backgroundMode;
    PixelPoint position;
};

// The colour the software drawing gives a system colour index (a window
// class's background): the button face is light grey, every other index white.
ColourRef systemColour(int32_t index);

class CanvasPlatform : public Platform {
public:
    CanvasPlatform(); // with the build's default text rasteriser
    ~CanvasPlatform() override;
    CanvasPlatform(const CanvasPlatform&) = delete;
    CanvasPlatform& operator=(const CanvasPlatform&) = delete;

    // ----- Objects (CanvasObjects.cpp) -----
    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override;
    ObjectHandle createSolidBrush(ColourRef colour) override;
    ObjectHandle createFont(const FontDescription& font) override;
    ObjectHandle stockObject(StockObject which) override;
    bool deleteObject(ObjectHandle object) override;
    ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) override;
    ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) override;
    ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                        int32_t height) override;
    ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) override;
    bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) override;
    // The bitmaps embedded in the library, of this backend's module only.
    ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) override;

    // ----- Contexts and their state (CanvasObjects.cpp) -----
    DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) override;
    bool deleteDC(DeviceContextHandle dc) override; // memory contexts only
    int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) override;
    ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) override;
    ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) override;

    // ----- Drawing (CanvasDrawing.cpp) -----
    bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) override;
    bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                  int32_t alignment) override;
    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override;
    // Built into the software drawing.
    bool transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                         int32_t height, DeviceContextHandle source, int32_t sourceX,
                         int32_t sourceY, ColourRef transparent) override;

    // ----- Pixels and text -----
    // The pixels a context draws on (window surface, screen or selected
    // bitmap), or null. Valid until the next operation of the backend.
    const Surface* contextSurface(DeviceContextHandle dc) const;
    const Surface* bitmapSurface(ObjectHandle bitmap) const;
    void setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser);
    TextRasteriser& textRasteriser();

protected:
    // Held around every operation of the Platform interface above. The
    // default guards nothing.
    virtual std::unique_lock<std::mutex> lockCanvas() const { return {}; }

    // A fresh handle value, never used before. Backends take their own
    // handles (windows) from here too, so that no two kinds of handle share one.
    uintptr_t newHandle() { return nextHandle += 8; }
    // A colour bitmap holding `pixels` (a decoded image).
    ObjectHandle createBitmap(Surface pixels);
    // A context of the screen, a colour surface of 1024 x 768.
    DeviceContextHandle screenDC();

    // ----- Window surfaces (CanvasObjects.cpp) -----
    // A colour surface of width x height, black, with nothing drawn yet.
    SurfaceId createWindowSurface(int32_t width, int32_t height);
    // Contexts still open on it draw nothing from then on.
    void destroyWindowSurface(SurfaceId surface);
    // Gives a window surface a new size: what it showed stays at its place as
    // far as it fits, anything new is black. Contexts open on it draw on the
    // new size. False for an unknown surface.
    bool resizeWindowSurface(SurfaceId surface, int32_t width, int32_t height);
    const Surface* surfacePixels(SurfaceId surface) const;
    // A context drawing on the whole surface; null for an unknown surface.
    DeviceContextHandle surfaceDC(SurfaceId surface);
    // Ends a context of surfaceDC or screenDC; false for any other.
    bool releaseSurfaceDC(DeviceContextHandle dc);
    // Starts a paint of `area` of a window surface: a context clipped to the
    // area, which is first filled with `background` when `erase` is set. Fills
    // in the session (no context for an unknown surface).
    DeviceContextHandle beginSurfacePaint(SurfaceId surface, const PixelRect& area, bool erase,
                                          ColourRef background, PaintSession& paint);
    void endSurfacePaint(PaintSession& paint);
    // The area drawn through surfaceDC contexts on the surface since the last
    // call (empty when none).
    PixelRect takeDamage(SurfaceId surface);

    // ----- Inspection (CanvasObjects.cpp) -----
    bool contextState(DeviceContextHandle dc, ContextState& state) const;
    bool penOf(ObjectHandle pen, int32_t& style, int32_t& width, ColourRef& colour) const;
    bool brushOf(ObjectHandle brush, ColourRef& colour) const;
    const FontDescription* fontOf(ObjectHandle font) const;
    // Objects and contexts created and not yet deleted (stock ones not counted).
    int32_t liveObjectCount() const;
    int32_t liveContextCount() const { return static_cast<int32_t>(contexts.size()); }

private:
    struct Object {
        ObjectKind kind = ObjectKind::Pen;
        bool stock = false;
        int32_t penStyle = PenSolid;
        int32_t penWidth = 1;
        ColourRef colour = 0;
        FontDescription font{};
        Surface bitmap;
        int32_t selections = 0;
    };
    enum class ContextKind { Screen, Window, Paint, Memory };
    struct Context {
        ContextKind kind = ContextKind::Memory;
        SurfaceId surface = 0; // window and paint contexts
        uintptr_t pen = 0, brush = 0, font = 0, bitmap = 0;
        ColourRef background = 0xFFFFFF;
        ColourRef text = 0;
        int32_t backgroundMode = BackgroundOpaque;
        PixelPoint position{0, 0};
        bool clipped = false;
        PixelRect clip{0, 0, 0, 0};
    };
    struct WindowSurface {
        Surface pixels;
        PixelRect damage{0, 0, 0, 0};
    };

    Object* object(ObjectHandle handle);
    const Object* object(ObjectHandle handle) const;
    Context* context(DeviceContextHandle handle);
    const Context* context(DeviceContextHandle handle) const;
    Surface* target(Context& dc);
    const Surface* target(const Context& dc) const;
    PixelRect clipOf(const Context& dc, const Surface& surface) const;
    DeviceContextHandle newContext(ContextKind kind, SurfaceId surface);
    bool releaseContext(DeviceContextHandle dc, ContextKind a, ContextKind b);
    void unselectAll(Context& dc);
    ObjectHandle addObject(Object&& o);
    // What a copy between two contexts works with.
    struct CopyEnds {
        Context* destination;
        Surface* target;
        PixelRect clip;
        const Surface* pixels; // the source's
        CopyColours colours;
    };
    // False when either context, or the surface it draws on, is missing.
    bool copyEnds(DeviceContextHandle destination, DeviceContextHandle source, CopyEnds& ends);
    ColourRef replaceColour(DeviceContextHandle dc, ColourRef Context::*field, ColourRef colour);
    // Adds an area drawn through a window context to its surface's damage.
    void noteDrawn(const Context& dc, const PixelRect& area);
    // Fills an area of a window surface with a colour (CanvasDrawing.cpp).
    void erase(SurfaceId surface, const PixelRect& area, ColourRef colour);

    uintptr_t nextHandle = 0x10000;
    std::map<uintptr_t, Object> objects;
    std::map<uintptr_t, Context> contexts;
    std::map<SurfaceId, WindowSurface> surfaces;
    std::unique_ptr<TextRasteriser> text;
    std::unique_ptr<Surface> screen;
    uintptr_t nullPen = 0, blackPen = 0, whiteBrush = 0, systemFont = 0, defaultBitmap = 0;
};

} // namespace platform::software
