// The state of the software drawing: objects and their selection into
// contexts, the contexts' colours and modes, bitmaps and the embedded bitmap
// resources, window surfaces, and inspection.
#include "gui/platform/BmpDecoder.h"
#include "gui/platform/EmbeddedResources.h"
#include "gui/platform/software/CanvasPlatform.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace platform::software {

namespace {

constexpr int32_t maxBitmapSide = 16384;
constexpr ColourRef invalidColour = 0xFFFFFFFF;

// The entry under a handle, or null (const or not, as the table).
template <typename Table> auto* findEntry(Table& table, uintptr_t key) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}

} // namespace

ColourRef systemColour(int32_t index) {
    return index == SystemColourButtonFace ? 0xF0F0F0 : 0xFFFFFF;
}

CanvasPlatform::CanvasPlatform() : text(createTextRasteriser()) {
    Object pen;
    pen.stock = true;
    pen.kind = ObjectKind::Pen;
    pen.penStyle = PenNull;
    nullPen = handleValue(addObject(Object(pen)));
    pen.penStyle = PenSolid;
    pen.colour = 0;
    blackPen = handleValue(addObject(Object(pen)));
    Object brush;
    brush.stock = true;
    brush.kind = ObjectKind::Brush;
    brush.colour = 0xFFFFFF;
    whiteBrush = handleValue(addObject(std::move(brush)));
    Object font;
    font.stock = true;
    font.kind = ObjectKind::Font;
    font.font.height = 16;
    font.font.weight = 700;
    std::strcpy(font.font.faceName, "System");
    systemFont = handleValue(addObject(std::move(font)));
    Object bitmap;
    bitmap.stock = true;
    bitmap.kind = ObjectKind::Bitmap;
    bitmap.bitmap = Surface(1, 1, true, 0);
    defaultBitmap = handleValue(addObject(std::move(bitmap)));
}

CanvasPlatform::~CanvasPlatform() = default;

// ----- Lookups -----

ObjectHandle CanvasPlatform::addObject(Object&& o) {
    uintptr_t h = newHandle();
    objects.emplace(h, std::move(o));
    return handleFrom<ObjectHandle>(h);
}

CanvasPlatform::Object* CanvasPlatform::object(ObjectHandle handle) {
    return findEntry(objects, handleValue(handle));
}

const CanvasPlatform::Object* CanvasPlatform::object(ObjectHandle handle) const {
    return findEntry(objects, handleValue(handle));
}

CanvasPlatform::Context* CanvasPlatform::context(DeviceContextHandle handle) {
    return findEntry(contexts, handleValue(handle));
}

const CanvasPlatform::Context* CanvasPlatform::context(DeviceContextHandle handle) const {
    return findEntry(contexts, handleValue(handle));
}

Surface* CanvasPlatform::target(Context& dc) {
    return const_cast<Surface*>(static_cast<const CanvasPlatform*>(this)->target(dc));
}

const Surface* CanvasPlatform::target(const Context& dc) const {
    switch (dc.kind) {
    case ContextKind::Screen:
        return screen.get();
    case ContextKind::Window:
    case ContextKind::Paint: {
        const WindowSurface* s = findEntry(surfaces, dc.surface);
        return s ? &s->pixels : nullptr;
    }
    case ContextKind::Memory: {
        const Object* b = object(handleFrom<ObjectHandle>(dc.bitmap));
        return b ? &b->bitmap : nullptr;
    }
    }
    return nullptr;
}

PixelRect CanvasPlatform::clipOf(const Context& dc, const Surface& surface) const {
    return dc.clipped ? intersect(dc.clip, surface.bounds()) : surface.bounds();
}

DeviceContextHandle CanvasPlatform::newContext(ContextKind kind, SurfaceId surface) {
    Context dc;
    dc.kind = kind;
    dc.surface = surface;
    dc.pen = blackPen;
    dc.brush = whiteBrush;
    dc.font = systemFont;
    dc.bitmap = kind == ContextKind::Memory ? defaultBitmap : 0;
    uintptr_t h = newHandle();
    contexts.emplace(h, dc);
    return handleFrom<DeviceContextHandle>(h);
}

void CanvasPlatform::unselectAll(Context& dc) {
    for (uintptr_t h : {dc.pen, dc.brush, dc.font, dc.bitmap}) {
        if (Object* o = object(handleFrom<ObjectHandle>(h))) {
            o->selections = std::max(0, o->selections - 1);
        }
    }
    dc.pen = dc.brush = dc.font = dc.bitmap = 0;
}

// ----- Objects -----

ObjectHandle CanvasPlatform::createPen(int32_t style, int32_t width, ColourRef colour) {
    auto lock = lockCanvas();
    Object o;
    o.kind = ObjectKind::Pen;
    o.penStyle = style;
    o.penWidth = width;
    o.colour = colour & 0xFFFFFF;
    return addObject(std::move(o));
}

ObjectHandle CanvasPlatform::createSolidBrush(ColourRef colour) {
    auto lock = lockCanvas();
    Object o;
    o.kind = ObjectKind::Brush;
    o.colour = colour & 0xFFFFFF;
    return addObject(std::move(o));
}

ObjectHandle CanvasPlatform::createFont(const FontDescription& font) {
    auto lock = lockCanvas();
    Object o;
    o.kind = ObjectKind::Font;
    o.font = font;
    o.font.faceName[sizeof(o.font.faceName) - 1] = 0;
    return addObject(std::move(o));
}

ObjectHandle CanvasPlatform::stockObject(StockObject which) {
    auto lock = lockCanvas();
    return which == StockObject::NullPen ? handleFrom<ObjectHandle>(nullPen) : nullptr;
}

bool CanvasPlatform::deleteObject(ObjectHandle handle) {
    auto lock = lockCanvas();
    auto it = objects.find(handleValue(handle));
    if (it == objects.end() || it->second.stock || it->second.selections > 0) {
        return false;
    }
    objects.erase(it);
    return true;
}

ObjectHandle CanvasPlatform::currentObject(DeviceContextHandle dc, ObjectKind kind) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c) {
        return nullptr;
    }
    switch (kind) {
    case ObjectKind::Pen:
        return handleFrom<ObjectHandle>(c->pen);
    case ObjectKind::Brush:
        return handleFrom<ObjectHandle>(c->brush);
    case ObjectKind::Font:
        return handleFrom<ObjectHandle>(c->font);
    case ObjectKind::Bitmap:
        return handleFrom<ObjectHandle>(c->bitmap);
    }
    return nullptr;
}

ObjectHandle CanvasPlatform::selectObject(DeviceContextHandle dc, ObjectHandle handle) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    Object* o = object(handle);
    if (!c || !o) {
        return nullptr;
    }
    uintptr_t* slot = nullptr;
    switch (o->kind) {
    case ObjectKind::Pen:
        slot = &c->pen;
        break;
    case ObjectKind::Brush:
        slot = &c->brush;
        break;
    case ObjectKind::Font:
        slot = &c->font;
        break;
    case ObjectKind::Bitmap:
        // Only memory contexts hold bitmaps, and a bitmap sits in one at a time.
        if (c->kind != ContextKind::Memory) {
            return nullptr;
        }
        if (!o->stock && o->selections > 0 && c->bitmap != handleValue(handle)) {
            return nullptr;
        }
        slot = &c->bitmap;
        break;
    }
    uintptr_t previous = *slot;
    if (previous != handleValue(handle)) {
        if (Object* p = object(handleFrom<ObjectHandle>(previous))) {
            p->selections = std::max(0, p->selections - 1);
        }
        ++o->selections;
        *slot = handleValue(handle);
    }
    return handleFrom<ObjectHandle>(previous);
}

ObjectHandle CanvasPlatform::createBitmap(Surface pixels) {
    Object o;
    o.kind = ObjectKind::Bitmap;
    o.bitmap = std::move(pixels);
    return addObject(std::move(o));
}

ObjectHandle CanvasPlatform::createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                                    int32_t height) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c || width < 0 || height < 0 || width > maxBitmapSide || height > maxBitmapSide) {
        return nullptr;
    }
    bool mono = false;
    if (c->kind == ContextKind::Memory) {
        const Object* selected = object(handleFrom<ObjectHandle>(c->bitmap));
        mono = !selected || selected->bitmap.monochrome;
    }
    if (width == 0 || height == 0) {
        width = height = 1;
        mono = true;
    }
    return createBitmap(Surface(width, height, mono, 0));
}

ObjectHandle CanvasPlatform::createMonochromeBitmap(int32_t width, int32_t height) {
    auto lock = lockCanvas();
    if (width < 0 || height < 0 || width > maxBitmapSide || height > maxBitmapSide) {
        return nullptr;
    }
    return createBitmap(Surface(width ? width : 1, height ? height : 1, true, 0));
}

bool CanvasPlatform::bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) {
    auto lock = lockCanvas();
    const Object* o = object(bitmap);
    if (!o || o->kind != ObjectKind::Bitmap) {
        return false;
    }
    width = o->bitmap.width;
    height = o->bitmap.height;
    return true;
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
    return createBitmap(std::move(pixels));
}

// ----- Contexts -----

DeviceContextHandle CanvasPlatform::createCompatibleDC(DeviceContextHandle dc) {
    auto lock = lockCanvas();
    if (dc && !context(dc)) {
        return nullptr;
    }
    return newContext(ContextKind::Memory, 0);
}

bool CanvasPlatform::deleteDC(DeviceContextHandle dc) {
    auto lock = lockCanvas();
    return releaseContext(dc, ContextKind::Memory, ContextKind::Memory);
}

DeviceContextHandle CanvasPlatform::screenDC() {
    if (!screen) {
        screen = std::make_unique<Surface>(1024, 768, false, 0);
    }
    return newContext(ContextKind::Screen, 0);
}

bool CanvasPlatform::releaseContext(DeviceContextHandle dc, ContextKind a, ContextKind b) {
    auto it = contexts.find(handleValue(dc));
    if (it == contexts.end() || (it->second.kind != a && it->second.kind != b)) {
        return false;
    }
    unselectAll(it->second);
    contexts.erase(it);
    return true;
}

int32_t CanvasPlatform::setBackgroundMode(DeviceContextHandle dc, int32_t mode) {
    auto lock = lockCanvas();
    Context* c = context(dc);
    if (!c || (mode != BackgroundOpaque && mode != BackgroundTransparent)) {
        return 0;
    }
    int32_t previous = c->backgroundMode;
    c->backgroundMode = mode;
    return previous;
}

ColourRef CanvasPlatform::setBackgroundColour(DeviceContextHandle dc, ColourRef colour) {
    auto lock = lockCanvas();
    return replaceColour(dc, &Context::background, colour);
}

ColourRef CanvasPlatform::setTextColour(DeviceContextHandle dc, ColourRef colour) {
    auto lock = lockCanvas();
    return replaceColour(dc, &Context::text, colour);
}

ColourRef CanvasPlatform::replaceColour(DeviceContextHandle dc, ColourRef Context::*field,
                                        ColourRef colour) {
    Context* c = context(dc);
    if (!c) {
        return invalidColour;
    }
    ColourRef previous = c->*field;
    c->*field = colour & 0xFFFFFF;
    return previous;
}

// ----- Window surfaces -----

SurfaceId CanvasPlatform::createWindowSurface(int32_t width, int32_t height) {
    SurfaceId id = newHandle();
    surfaces[id].pixels = Surface(width, height, false, 0);
    return id;
}

void CanvasPlatform::destroyWindowSurface(SurfaceId surface) {
    surfaces.erase(surface);
}

bool CanvasPlatform::resizeWindowSurface(SurfaceId surface, int32_t width, int32_t height) {
    WindowSurface* s = findEntry(surfaces, surface);
    if (!s || width < 0 || height < 0) {
        return false;
    }
    Surface resized(width, height, false, 0);
    const int32_t w = std::min(width, s->pixels.width), h = std::min(height, s->pixels.height);
    for (int32_t y = 0; y < h; ++y) {
        std::copy_n(&s->pixels.pixels[static_cast<size_t>(y) * s->pixels.width], w,
                    &resized.pixels[static_cast<size_t>(y) * width]);
    }
    s->pixels = std::move(resized);
    s->damage = intersect(s->damage, s->pixels.bounds());
    return true;
}

const Surface* CanvasPlatform::surfacePixels(SurfaceId surface) const {
    const WindowSurface* s = findEntry(surfaces, surface);
    return s ? &s->pixels : nullptr;
}

DeviceContextHandle CanvasPlatform::surfaceDC(SurfaceId surface) {
    return findEntry(surfaces, surface) ? newContext(ContextKind::Window, surface) : nullptr;
}

bool CanvasPlatform::releaseSurfaceDC(DeviceContextHandle dc) {
    return releaseContext(dc, ContextKind::Window, ContextKind::Screen);
}

DeviceContextHandle CanvasPlatform::beginSurfacePaint(SurfaceId surface, const PixelRect& area,
                                                      bool eraseFirst, ColourRef background,
                                                      PaintSession& paint) {
    paint.deviceContext = nullptr;
    paint.area = {0, 0, 0, 0};
    std::memset(paint.platformData, 0, sizeof(paint.platformData));
    if (!findEntry(surfaces, surface)) {
        return nullptr;
    }
    DeviceContextHandle dc = newContext(ContextKind::Paint, surface);
    Context* c = context(dc);
    c->clipped = true;
    c->clip = area;
    if (eraseFirst) {
        erase(surface, area, background);
    }
    paint.deviceContext = dc;
    paint.area = area;
    return dc;
}

void CanvasPlatform::endSurfacePaint(PaintSession& paint) {
    releaseContext(paint.deviceContext, ContextKind::Paint, ContextKind::Paint);
    paint.deviceContext = nullptr;
}

PixelRect CanvasPlatform::takeDamage(SurfaceId surface) {
    WindowSurface* s = findEntry(surfaces, surface);
    if (!s) {
        return {0, 0, 0, 0};
    }
    PixelRect damage = s->damage;
    s->damage = {0, 0, 0, 0};
    return damage;
}

void CanvasPlatform::setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser) {
    auto lock = lockCanvas();
    if (rasteriser) {
        text = std::move(rasteriser);
    }
}

TextRasteriser& CanvasPlatform::textRasteriser() {
    auto lock = lockCanvas();
    return *text;
}

// ----- Inspection -----

const Surface* CanvasPlatform::contextSurface(DeviceContextHandle dc) const {
    auto lock = lockCanvas();
    const Context* c = context(dc);
    return c ? target(*c) : nullptr;
}

const Surface* CanvasPlatform::bitmapSurface(ObjectHandle bitmap) const {
    auto lock = lockCanvas();
    const Object* o = object(bitmap);
    return o && o->kind == ObjectKind::Bitmap ? &o->bitmap : nullptr;
}

bool CanvasPlatform::contextState(DeviceContextHandle dc, ContextState& state) const {
    const Context* c = context(dc);
    if (!c) {
        return false;
    }
    state = {handleFrom<ObjectHandle>(c->pen),
             handleFrom<ObjectHandle>(c->brush),
             handleFrom<ObjectHandle>(c->font),
             handleFrom<ObjectHandle>(c->bitmap),
             c->background,
             c->text,
             c->backgroundMode,
             c->position};
    return true;
}

bool CanvasPlatform::penOf(ObjectHandle pen, int32_t& style, int32_t& width,
                           ColourRef& colour) const {
    const Object* o = object(pen);
    if (!o || o->kind != ObjectKind::Pen) {
        return false;
    }
    style = o->penStyle;
    width = o->penWidth;
    colour = o->colour;
    return true;
}

bool CanvasPlatform::brushOf(ObjectHandle brush, ColourRef& colour) const {
    const Object* o = object(brush);
    if (!o || o->kind != ObjectKind::Brush) {
        return false;
    }
    colour = o->colour;
    return true;
}

const FontDescription* CanvasPlatform::fontOf(ObjectHandle font) const {
    const Object* o = object(font);
    return o && o->kind == ObjectKind::Font ? &o->font : nullptr;
}

int32_t CanvasPlatform::liveObjectCount() const {
    int32_t count = 0;
    for (const auto& o : objects) {
        count += o.second.stock ? 0 : 1;
    }
    return count;
}

} // namespace platform::software
