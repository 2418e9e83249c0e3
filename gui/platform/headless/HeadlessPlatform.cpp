#include "gui/platform/headless/HeadlessPlatform.h"

#include "gui/platform/BmpDecoder.h"
#include "gui/platform/EmbeddedResources.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <strings.h>
#include <utility>

namespace platform::headless {

namespace {

constexpr int32_t maxBitmapSide = 16384;
constexpr ColourRef invalidColour = 0xFFFFFFFF;
constexpr const char* blendLibraryName = "msimg32.dll";

template <typename Handle> uintptr_t raw(Handle h) {
    return reinterpret_cast<uintptr_t>(h);
}
template <typename Handle> Handle as(uintptr_t v) {
    return reinterpret_cast<Handle>(v);
}

bool sameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

PixelRect unite(const PixelRect& a, const PixelRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The entry under a handle, or null (const or not, as the table).
template <typename Table> auto* findEntry(Table& table, uintptr_t key) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}

} // namespace

HeadlessPlatform::HeadlessPlatform()
    : module(as<ModuleHandle>(0x6A2C0000u)), text(createTextRasteriser()) {
    Object pen;
    pen.stock = true;
    pen.kind = ObjectKind::Pen;
    pen.penStyle = PenNull;
    nullPen = raw(addObject(Object(pen)));
    pen.penStyle = PenSolid;
    pen.colour = 0;
    blackPen = raw(addObject(Object(pen)));
    Object brush;
    brush.stock = true;
    brush.kind = ObjectKind::Brush;
    brush.colour = 0xFFFFFF;
    whiteBrush = raw(addObject(std::move(brush)));
    Object font;
    font.stock = true;
    font.kind = ObjectKind::Font;
    font.font.height = 16;
    font.font.weight = 700;
    std::strcpy(font.font.faceName, "System");
    systemFont = raw(addObject(std::move(font)));
    Object bitmap;
    bitmap.stock = true;
    bitmap.kind = ObjectKind::Bitmap;
    bitmap.bitmap = Surface(1, 1, true, 0);
    defaultBitmap = raw(addObject(std::move(bitmap)));
    availableLibraries[blendLibraryName] = true;
}

HeadlessPlatform::~HeadlessPlatform() = default;

HeadlessPlatform& sharedPlatform() {
    static HeadlessPlatform instance;
    return instance;
}

// ----- Lookups -----

ObjectHandle HeadlessPlatform::addObject(Object&& o) {
    uintptr_t h = newHandle();
    objects.emplace(h, std::move(o));
    return as<ObjectHandle>(h);
}

HeadlessPlatform::Object* HeadlessPlatform::object(ObjectHandle handle) {
    return findEntry(objects, raw(handle));
}

const HeadlessPlatform::Object* HeadlessPlatform::object(ObjectHandle handle) const {
    return findEntry(objects, raw(handle));
}

HeadlessPlatform::Context* HeadlessPlatform::context(DeviceContextHandle handle) {
    return findEntry(contexts, raw(handle));
}

const HeadlessPlatform::Context* HeadlessPlatform::context(DeviceContextHandle handle) const {
    return findEntry(contexts, raw(handle));
}

HeadlessPlatform::Window* HeadlessPlatform::window(WindowHandle handle) {
    return findEntry(windows, raw(handle));
}

const HeadlessPlatform::Window* HeadlessPlatform::window(WindowHandle handle) const {
    return findEntry(windows, raw(handle));
}

Surface* HeadlessPlatform::target(Context& dc) {
    return const_cast<Surface*>(static_cast<const HeadlessPlatform*>(this)->target(dc));
}

const Surface* HeadlessPlatform::target(const Context& dc) const {
    switch (dc.kind) {
    case ContextKind::Screen:
        return screen.get();
    case ContextKind::Window:
    case ContextKind::Paint: {
        const Window* w = window(as<WindowHandle>(dc.window));
        return w ? &w->surface : nullptr;
    }
    case ContextKind::Memory: {
        const Object* b = object(as<ObjectHandle>(dc.bitmap));
        return b ? &b->bitmap : nullptr;
    }
    }
    return nullptr;
}

PixelRect HeadlessPlatform::clipOf(const Context& dc, const Surface& surface) const {
    return dc.clipped ? intersect(dc.clip, surface.bounds()) : surface.bounds();
}

CopyColours HeadlessPlatform::copyColours(const Context& destination, const Context& source) const {
    return {source.background, destination.text, destination.background};
}

ColourRef HeadlessPlatform::systemColour(int32_t index) const {
    return index == SystemColourButtonFace ? buttonFace : 0xFFFFFF;
}

DeviceContextHandle HeadlessPlatform::newContext(ContextKind kind, uintptr_t windowHandle) {
    Context dc;
    dc.kind = kind;
    dc.window = windowHandle;
    dc.pen = blackPen;
    dc.brush = whiteBrush;
    dc.font = systemFont;
    dc.bitmap = kind == ContextKind::Memory ? defaultBitmap : 0;
    uintptr_t h = newHandle();
    contexts.emplace(h, dc);
    return as<DeviceContextHandle>(h);
}

void HeadlessPlatform::unselectAll(Context& dc) {
    for (uintptr_t h : {dc.pen, dc.brush, dc.font, dc.bitmap}) {
        if (Object* o = object(as<ObjectHandle>(h))) {
            o->selections = std::max(0, o->selections - 1);
        }
    }
    dc.pen = dc.brush = dc.font = dc.bitmap = 0;
}

// ----- Module, libraries, system -----

LibraryHandle HeadlessPlatform::loadLibrary(const char* name) {
    if (!name) {
        return nullptr;
    }
    bool available = false;
    for (const auto& entry : availableLibraries) {
        if (sameName(entry.first, name)) {
            available = entry.second;
        }
    }
    if (!available) {
        return nullptr;
    }
    for (auto& entry : libraries) {
        if (sameName(entry.second.name, name)) {
            ++entry.second.references;
            return as<LibraryHandle>(entry.first);
        }
    }
    uintptr_t h = newHandle();
    libraries[h] = Library{name, 1};
    return as<LibraryHandle>(h);
}

ProcedureHandle HeadlessPlatform::findProcedure(LibraryHandle library, const char* name) {
    auto it = libraries.find(raw(library));
    if (it == libraries.end() || !name || !sameName(it->second.name, blendLibraryName) ||
        std::strcmp(name, "TransparentBlt") != 0) {
        return nullptr;
    }
    if (transparentLibrary != it->first) {
        transparentLibrary = it->first;
        transparentProcedure = newHandle();
    }
    return as<ProcedureHandle>(transparentProcedure);
}

void HeadlessPlatform::freeLibrary(LibraryHandle library) {
    auto it = libraries.find(raw(library));
    if (it != libraries.end() && --it->second.references <= 0) {
        libraries.erase(it);
    }
}

int32_t HeadlessPlatform::oleInitialize() {
    ++ole;
    return 0;
}

void HeadlessPlatform::oleUninitialize() {
    --ole;
}

int32_t HeadlessPlatform::loadedLibraryCount() const {
    return static_cast<int32_t>(libraries.size());
}

void HeadlessPlatform::setLibraryAvailable(const std::string& name, bool available) {
    availableLibraries[name] = available;
}

void HeadlessPlatform::addShortcut(const std::string& path, const std::string& target) {
    shortcuts[path] = target;
}

// ----- Clock -----

void HeadlessPlatform::sleep(uint32_t milliseconds) {
    sleepLog.push_back(milliseconds);
    clock += milliseconds;
    runDueActions();
}

void HeadlessPlatform::setTickCount(uint32_t now) {
    clock = now;
    runDueActions();
}

void HeadlessPlatform::schedule(uint32_t tick, std::function<void()> action) {
    scheduled.push_back({tick, scheduleOrder++, std::move(action)});
    runDueActions();
}

void HeadlessPlatform::runDueActions() {
    if (runningActions) {
        return;
    }
    runningActions = true;
    for (;;) {
        auto due = std::find_if(scheduled.begin(), scheduled.end(), [this](const auto& a) {
            return static_cast<int32_t>(clock - a.tick) >= 0;
        });
        if (due == scheduled.end()) {
            break;
        }
        std::function<void()> action = std::move(due->action);
        scheduled.erase(due);
        if (action) {
            action();
        }
    }
    runningActions = false;
}

// ----- Input -----

void HeadlessPlatform::setKeyHeld(int32_t key, bool held) {
    if (held) {
        heldKeys.insert(key);
    } else {
        heldKeys.erase(key);
    }
}

bool HeadlessPlatform::cursorPosition(PixelPoint& screenPoint) {
    screenPoint = cursor;
    return true;
}

intptr_t HeadlessPlatform::pressButton(WindowHandle handle, int32_t physicalButton,
                                       PixelPoint client) {
    if (!window(handle)) {
        return -1;
    }
    setKeyHeld(physicalButton, true);
    PixelPoint origin = screenOrigin(raw(handle));
    cursor = {origin.x + client.x, origin.y + client.y};
    uint32_t message = MessageMiddleButtonDown;
    if (physicalButton == KeyLeftButton) {
        message = swapped ? MessageRightButtonDown : MessageLeftButtonDown;
    } else if (physicalButton == KeyRightButton) {
        message = swapped ? MessageLeftButtonDown : MessageRightButtonDown;
    }
    intptr_t position = static_cast<intptr_t>((static_cast<uint32_t>(client.x) & 0xFFFFu) |
                                              ((static_cast<uint32_t>(client.y) & 0xFFFFu) << 16));
    return sendMessage(handle, message, pressState(), position);
}

uintptr_t HeadlessPlatform::pressState() const {
    bool left = isHeld(KeyLeftButton);
    bool right = isHeld(KeyRightButton);
    if (swapped) {
        std::swap(left, right);
    }
    const std::pair<bool, uintptr_t> bits[] = {{left, PressLeftButton},
                                               {right, PressRightButton},
                                               {isHeld(KeyMiddleButton), PressMiddleButton},
                                               {isHeld(KeyShift), PressShift},
                                               {isHeld(KeyControl), PressControl}};
    uintptr_t state = 0;
    for (const auto& bit : bits) {
        if (bit.first) {
            state |= bit.second;
        }
    }
    return state;
}

intptr_t HeadlessPlatform::sendMessage(WindowHandle handle, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
    Window* w = window(handle);
    if (!w) {
        return -1;
    }
    auto c = classes.find(w->className);
    if (w->className.empty() || c == classes.end() || !c->second.procedure) {
        return defaultWindowProcedure(handle, message, wParam, lParam);
    }
    return c->second.procedure(handle, message, wParam, lParam);
}

// ----- Drawing objects -----

ObjectHandle HeadlessPlatform::createPen(int32_t style, int32_t width, ColourRef colour) {
    if (failCreations) {
        return nullptr;
    }
    Object o;
    o.kind = ObjectKind::Pen;
    o.penStyle = style;
    o.penWidth = width;
    o.colour = colour & 0xFFFFFF;
    return addObject(std::move(o));
}

ObjectHandle HeadlessPlatform::createSolidBrush(ColourRef colour) {
    if (failCreations) {
        return nullptr;
    }
    Object o;
    o.kind = ObjectKind::Brush;
    o.colour = colour & 0xFFFFFF;
    return addObject(std::move(o));
}

ObjectHandle HeadlessPlatform::createFont(const FontDescription& font) {
    if (failCreations) {
        return nullptr;
    }
    Object o;
    o.kind = ObjectKind::Font;
    o.font = font;
    o.font.faceName[sizeof(o.font.faceName) - 1] = 0;
    return addObject(std::move(o));
}

ObjectHandle HeadlessPlatform::stockObject(StockObject which) {
    return which == StockObject::NullPen ? as<ObjectHandle>(nullPen) : nullptr;
}

bool HeadlessPlatform::deleteObject(ObjectHandle handle) {
    auto it = objects.find(raw(handle));
    if (it == objects.end() || it->second.stock || it->second.selections > 0) {
        return false;
    }
    objects.erase(it);
    return true;
}

ObjectHandle HeadlessPlatform::currentObject(DeviceContextHandle dc, ObjectKind kind) {
    Context* c = context(dc);
    if (!c) {
        return nullptr;
    }
    switch (kind) {
    case ObjectKind::Pen:
        return as<ObjectHandle>(c->pen);
    case ObjectKind::Brush:
        return as<ObjectHandle>(c->brush);
    case ObjectKind::Font:
        return as<ObjectHandle>(c->font);
    case ObjectKind::Bitmap:
        return as<ObjectHandle>(c->bitmap);
    }
    return nullptr;
}

ObjectHandle HeadlessPlatform::selectObject(DeviceContextHandle dc, ObjectHandle handle) {
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
        if (!o->stock && o->selections > 0 && c->bitmap != raw(handle)) {
            return nullptr;
        }
        slot = &c->bitmap;
        break;
    }
    uintptr_t previous = *slot;
    if (previous != raw(handle)) {
        if (Object* p = object(as<ObjectHandle>(previous))) {
            p->selections = std::max(0, p->selections - 1);
        }
        ++o->selections;
        *slot = raw(handle);
    }
    return as<ObjectHandle>(previous);
}

// ----- Context state -----

int32_t HeadlessPlatform::setBackgroundMode(DeviceContextHandle dc, int32_t mode) {
    Context* c = context(dc);
    if (!c || (mode != BackgroundOpaque && mode != BackgroundTransparent)) {
        return 0;
    }
    int32_t previous = c->backgroundMode;
    c->backgroundMode = mode;
    return previous;
}

ColourRef HeadlessPlatform::setBackgroundColour(DeviceContextHandle dc, ColourRef colour) {
    Context* c = context(dc);
    if (!c) {
        return invalidColour;
    }
    ColourRef previous = c->background;
    c->background = colour & 0xFFFFFF;
    return previous;
}

ColourRef HeadlessPlatform::setTextColour(DeviceContextHandle dc, ColourRef colour) {
    Context* c = context(dc);
    if (!c) {
        return invalidColour;
    }
    ColourRef previous = c->text;
    c->text = colour & 0xFFFFFF;
    return previous;
}

// ----- Drawing -----

bool HeadlessPlatform::moveTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    Context* c = context(dc);
    if (!c) {
        return false;
    }
    c->position = {x, y};
    return true;
}

bool HeadlessPlatform::lineTo(DeviceContextHandle dc, int32_t x, int32_t y) {
    Context* c = context(dc);
    if (!c) {
        return false;
    }
    PixelPoint from = c->position;
    c->position = {x, y};
    Surface* s = target(*c);
    const Object* pen = object(as<ObjectHandle>(c->pen));
    if (!s || !pen) {
        return false;
    }
    drawLine(*s, clipOf(*c, *s), from.x, from.y, x, y, pen->colour, pen->penStyle,
             c->backgroundMode == BackgroundOpaque, c->background);
    return true;
}

bool HeadlessPlatform::fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) {
    Context* c = context(dc);
    const Object* b = object(brush);
    if (!c || !b || b->kind != ObjectKind::Brush) {
        return false;
    }
    Surface* s = target(*c);
    if (!s) {
        return false;
    }
    headless::fillRect(*s, clipOf(*c, *s), rect, b->colour);
    return true;
}

bool HeadlessPlatform::drawText(DeviceContextHandle dc, const char* string, const PixelRect& rect,
                                int32_t alignment) {
    Context* c = context(dc);
    if (!c || !string) {
        return false;
    }
    Surface* s = target(*c);
    const Object* f = object(as<ObjectHandle>(c->font));
    if (!s || !f) {
        return false;
    }
    const FontDescription& font = f->font;
    FontMetrics m = text->metrics(font);
    int32_t cellHeight = m.ascent + m.descent;
    int32_t width = text->textWidth(font, string);
    int32_t top = rect.top + (rect.bottom - rect.top - cellHeight) / 2;
    int32_t left = rect.left;
    if (alignment == AlignCentre) {
        left = rect.left + (rect.right - rect.left - width) / 2;
    } else if (alignment == AlignRight) {
        left = rect.right - width;
    }
    PixelRect clip = clipOf(*c, *s);
    if (c->backgroundMode == BackgroundOpaque) {
        headless::fillRect(*s, clip, {left, top, left + width, top + cellHeight}, c->background);
    }
    text->drawText(*s, clip, font, string, left, top + m.ascent, c->text);
    return true;
}

// ----- Memory surfaces and copies -----

DeviceContextHandle HeadlessPlatform::createCompatibleDC(DeviceContextHandle dc) {
    if (dc && !context(dc)) {
        return nullptr;
    }
    return newContext(ContextKind::Memory, 0);
}

bool HeadlessPlatform::deleteDC(DeviceContextHandle dc) {
    auto it = contexts.find(raw(dc));
    if (it == contexts.end() || it->second.kind != ContextKind::Memory) {
        return false;
    }
    unselectAll(it->second);
    contexts.erase(it);
    return true;
}

ObjectHandle HeadlessPlatform::createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                                      int32_t height) {
    Context* c = context(dc);
    if (!c || width < 0 || height < 0 || width > maxBitmapSide || height > maxBitmapSide) {
        return nullptr;
    }
    bool mono = false;
    if (c->kind == ContextKind::Memory) {
        const Object* selected = object(as<ObjectHandle>(c->bitmap));
        mono = !selected || selected->bitmap.monochrome;
    }
    if (width == 0 || height == 0) {
        width = height = 1;
        mono = true;
    }
    Object o;
    o.kind = ObjectKind::Bitmap;
    o.bitmap = Surface(width, height, mono, 0);
    return addObject(std::move(o));
}

ObjectHandle HeadlessPlatform::createMonochromeBitmap(int32_t width, int32_t height) {
    if (width < 0 || height < 0 || width > maxBitmapSide || height > maxBitmapSide) {
        return nullptr;
    }
    Object o;
    o.kind = ObjectKind::Bitmap;
    o.bitmap = Surface(width ? width : 1, height ? height : 1, true, 0);
    return addObject(std::move(o));
}

bool HeadlessPlatform::bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) {
    const Object* o = object(bitmap);
    if (!o || o->kind != ObjectKind::Bitmap) {
        return false;
    }
    width = o->bitmap.width;
    height = o->bitmap.height;
    return true;
}

bool HeadlessPlatform::blockCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                 int32_t width, int32_t height, DeviceContextHandle source,
                                 int32_t sourceX, int32_t sourceY, uint32_t rop) {
    ++blockCalls;
    Context* d = context(destination);
    Context* s = context(source);
    if (!d || !s) {
        return false;
    }
    Surface* ds = target(*d);
    const Surface* ss = target(*s);
    if (!ds || !ss) {
        return false;
    }
    headless::blockCopy(*ds, clipOf(*d, *ds), x, y, width, height, *ss, sourceX, sourceY, rop,
                        copyColours(*d, *s));
    return true;
}

bool HeadlessPlatform::transparentCopy(ProcedureHandle procedure, DeviceContextHandle destination,
                                       int32_t x, int32_t y, int32_t width, int32_t height,
                                       DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                                       int32_t sourceWidth, int32_t sourceHeight,
                                       ColourRef transparent) {
    if (!procedure || raw(procedure) != transparentProcedure ||
        libraries.find(transparentLibrary) == libraries.end()) {
        // On the real platform this would jump into an unloaded library.
        ++staleCalls;
        return false;
    }
    ++transparentCalls;
    Context* d = context(destination);
    Context* s = context(source);
    if (!d || !s) {
        return false;
    }
    Surface* ds = target(*d);
    const Surface* ss = target(*s);
    if (!ds || !ss) {
        return false;
    }
    headless::transparentCopy(*ds, clipOf(*d, *ds), x, y, width, height, *ss, sourceX, sourceY,
                              sourceWidth, sourceHeight, transparent, copyColours(*d, *s));
    return true;
}

ObjectHandle HeadlessPlatform::loadBitmapResource(ModuleHandle fromModule, uint16_t id) {
    if (fromModule != module) {
        return nullptr;
    }
    Object o;
    o.kind = ObjectKind::Bitmap;
    auto found = resources.find(id);
    if (found != resources.end()) {
        o.bitmap = found->second;
    } else {
        const EmbeddedResource* embedded = findEmbeddedBitmap(id);
        DecodedImage image;
        if (!embedded || !decodeBmp(embedded->data, embedded->size, image)) {
            return nullptr;
        }
        o.bitmap.width = image.width;
        o.bitmap.height = image.height;
        o.bitmap.pixels = std::move(image.pixels);
    }
    return addObject(std::move(o));
}

void HeadlessPlatform::addBitmapResource(uint16_t id, int32_t width, int32_t height,
                                         const std::vector<uint32_t>& pixels) {
    Surface s(width, height, false, 0);
    for (size_t i = 0; i < s.pixels.size() && i < pixels.size(); ++i) {
        s.pixels[i] = pixels[i] & 0xFFFFFF;
    }
    resources[id] = std::move(s);
}

bool HeadlessPlatform::addBitmapResourceFromBmp(uint16_t id, const std::vector<uint8_t>& file) {
    DecodedImage image;
    if (!decodeBmp(file.data(), file.size(), image)) {
        return false;
    }
    addBitmapResource(id, image.width, image.height, image.pixels);
    return true;
}

void HeadlessPlatform::setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser) {
    if (rasteriser) {
        text = std::move(rasteriser);
    }
}

// ----- Windows -----

bool HeadlessPlatform::registerWindowClass(const WindowClassDescription& description) {
    if (!description.name || !*description.name || !description.procedure) {
        return false;
    }
    for (const auto& entry : classes) {
        if (sameName(entry.first, description.name)) {
            return false;
        }
    }
    classes[description.name] = WindowClass{description.style, description.procedure,
                                            description.module, description.backgroundSystemColour};
    return true;
}

bool HeadlessPlatform::unregisterWindowClass(const char* name, ModuleHandle fromModule) {
    if (!name) {
        return false;
    }
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (!sameName(it->first, name)) {
            continue;
        }
        if (it->second.module != fromModule) {
            return false;
        }
        for (const auto& w : windows) {
            if (sameName(w.second.className, it->first)) {
                return false;
            }
        }
        classes.erase(it);
        return true;
    }
    return false;
}

WindowHandle HeadlessPlatform::createWindow(const char* className, const char* title,
                                            uint32_t style, int32_t x, int32_t y, int32_t width,
                                            int32_t height, WindowHandle parent,
                                            ModuleHandle fromModule) {
    if (!className) {
        return nullptr;
    }
    std::string name;
    for (const auto& entry : classes) {
        if (sameName(entry.first, className)) {
            name = entry.first;
        }
    }
    if (name.empty() || (parent && !window(parent)) || ((style & WindowStyleChild) && !parent) ||
        width < 0 || height < 0 || width > maxBitmapSide || height > maxBitmapSide) {
        return nullptr;
    }
    Window w;
    w.className = name;
    w.title = title ? title : "";
    w.style = style;
    w.rect = {x, y, x + width, y + height};
    w.parent = raw(parent);
    w.module = fromModule;
    w.surface = Surface(width, height, false, 0);
    if (style & WindowStyleVisible) {
        w.updatePending = width > 0 && height > 0;
        w.erasePending = w.updatePending;
        w.update = {0, 0, width, height};
    }
    uintptr_t h = newHandle();
    windows.emplace(h, std::move(w));
    return as<WindowHandle>(h);
}

WindowHandle HeadlessPlatform::createHostWindow(const PixelRect& screenRect) {
    Window w;
    w.title = "Host";
    w.rect = screenRect;
    w.module = nullptr;
    w.surface =
        Surface(screenRect.right - screenRect.left, screenRect.bottom - screenRect.top, false, 0);
    uintptr_t h = newHandle();
    windows.emplace(h, std::move(w));
    return as<WindowHandle>(h);
}

void HeadlessPlatform::collectSubtree(uintptr_t root, std::vector<uintptr_t>& out) const {
    out.push_back(root);
    for (const auto& w : windows) {
        if (w.second.parent == root) {
            collectSubtree(w.first, out);
        }
    }
}

bool HeadlessPlatform::destroyWindow(WindowHandle handle) {
    Window* w = window(handle);
    if (!w || w->destroying) {
        return false;
    }
    std::vector<uintptr_t> doomed;
    collectSubtree(raw(handle), doomed);
    for (uintptr_t h : doomed) {
        if (Window* d = window(as<WindowHandle>(h))) {
            d->destroying = true;
        }
    }
    // The window is told first, then its children, while all handles still work.
    for (uintptr_t h : doomed) {
        if (window(as<WindowHandle>(h))) {
            sendMessage(as<WindowHandle>(h), MessageDestroy, 0, 0);
        }
    }
    for (uintptr_t h : doomed) {
        if (Window* d = window(as<WindowHandle>(h))) {
            retireSink(std::move(d->dropSink));
        }
        windows.erase(h);
    }
    return true;
}

void HeadlessPlatform::setWindowUserData(WindowHandle handle, void* data) {
    if (Window* w = window(handle)) {
        w->userData = data;
    }
}

void* HeadlessPlatform::windowUserData(WindowHandle handle) {
    Window* w = window(handle);
    return w ? w->userData : nullptr;
}

intptr_t HeadlessPlatform::defaultWindowProcedure(WindowHandle handle, uint32_t message,
                                                  uintptr_t wParam, intptr_t lParam) {
    if (message == MessagePaint && window(handle)) {
        // Painting nothing still erases and validates, as the default handling does.
        PaintSession paint;
        beginPaint(handle, paint);
        endPaint(handle, paint);
    }
    return 0;
}

PixelPoint HeadlessPlatform::screenOrigin(uintptr_t handle) const {
    PixelPoint origin{0, 0};
    for (const Window* w = window(as<WindowHandle>(handle)); w;
         w = window(as<WindowHandle>(w->parent))) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

bool HeadlessPlatform::windowScreenRect(WindowHandle handle, PixelRect& screenRect) {
    const Window* w = window(handle);
    if (!w) {
        return false;
    }
    PixelPoint origin = screenOrigin(raw(handle));
    screenRect = {origin.x, origin.y, origin.x + w->surface.width, origin.y + w->surface.height};
    return true;
}

bool HeadlessPlatform::updateRect(WindowHandle handle, PixelRect* rect) {
    const Window* w = window(handle);
    if (!w || !w->updatePending) {
        if (rect) {
            *rect = {0, 0, 0, 0};
        }
        return false;
    }
    if (rect) {
        *rect = w->update;
    }
    return true;
}

void HeadlessPlatform::requestPaint(WindowHandle handle, const PixelRect& area, bool erase) {
    Window* w = window(handle);
    if (!w) {
        return;
    }
    PixelRect r = intersect(area, w->surface.bounds());
    if (isEmpty(r)) {
        return;
    }
    w->update = w->updatePending ? unite(w->update, r) : r;
    w->updatePending = true;
    w->erasePending = w->erasePending || erase;
}

DeviceContextHandle HeadlessPlatform::beginPaint(WindowHandle handle, PaintSession& paint) {
    paint.deviceContext = nullptr;
    paint.area = {0, 0, 0, 0};
    std::memset(paint.platformData, 0, sizeof(paint.platformData));
    Window* w = window(handle);
    if (!w) {
        return nullptr;
    }
    PixelRect area = w->updatePending ? w->update : PixelRect{0, 0, 0, 0};
    DeviceContextHandle dc = newContext(ContextKind::Paint, raw(handle));
    Context* c = context(dc);
    c->clipped = true;
    c->clip = area;
    if (w->erasePending) {
        auto cls = classes.find(w->className);
        ColourRef background = cls != classes.end() ? systemColour(cls->second.background) : 0;
        headless::fillRect(w->surface, area, area, background);
    }
    w->updatePending = false;
    w->erasePending = false;
    paint.deviceContext = dc;
    paint.area = area;
    return dc;
}

void HeadlessPlatform::endPaint(WindowHandle, PaintSession& paint) {
    auto it = contexts.find(raw(paint.deviceContext));
    if (it != contexts.end() && it->second.kind == ContextKind::Paint) {
        unselectAll(it->second);
        contexts.erase(it);
    }
    paint.deviceContext = nullptr;
}

DeviceContextHandle HeadlessPlatform::windowDC(WindowHandle handle) {
    if (!handle) {
        if (!screen) {
            screen = std::make_unique<Surface>(1024, 768, false, 0);
        }
        return newContext(ContextKind::Screen, 0);
    }
    if (!window(handle)) {
        return nullptr;
    }
    return newContext(ContextKind::Window, raw(handle));
}

void HeadlessPlatform::releaseWindowDC(WindowHandle, DeviceContextHandle dc) {
    auto it = contexts.find(raw(dc));
    if (it != contexts.end() &&
        (it->second.kind == ContextKind::Window || it->second.kind == ContextKind::Screen)) {
        unselectAll(it->second);
        contexts.erase(it);
    }
}

bool HeadlessPlatform::dispatchOnePaintMessage() {
    for (auto& entry : windows) {
        if (entry.second.updatePending && !entry.second.destroying) {
            sendMessage(as<WindowHandle>(entry.first), MessagePaint, 0, 0);
            return true;
        }
    }
    return false;
}

int32_t HeadlessPlatform::deliverPaints() {
    int32_t count = 0;
    // A window procedure that never validates would ask forever; stop after many.
    while (count < 1000 && dispatchOnePaintMessage()) {
        ++count;
    }
    return count;
}

// ----- Drag and drop -----

bool HeadlessPlatform::registerDropTarget(WindowHandle handle, DropSink* sink) {
    std::unique_ptr<DropSink> owned(sink);
    Window* w = window(handle);
    if (!w || !sink || w->dropSink || w->destroying) {
        return false;
    }
    w->dropSink = std::move(owned);
    return true;
}

bool HeadlessPlatform::revokeDropTarget(WindowHandle handle) {
    Window* w = window(handle);
    if (!w || !w->dropSink) {
        return false;
    }
    retireSink(std::move(w->dropSink));
    return true;
}

void HeadlessPlatform::retireSink(std::unique_ptr<DropSink> sink) {
    if (sink && sinkCalls > 0) {
        retiredSinks.push_back(std::move(sink));
    }
}

template <typename Call> bool HeadlessPlatform::callSink(uintptr_t handle, Call&& call) {
    Window* w = window(as<WindowHandle>(handle));
    if (!w || !w->dropSink) {
        return false;
    }
    DropSink* sink = w->dropSink.get();
    ++sinkCalls;
    call(*sink);
    if (--sinkCalls == 0) {
        retiredSinks.clear();
    }
    return true;
}

bool HeadlessPlatform::windowShown(uintptr_t handle) const {
    for (const Window* w = window(as<WindowHandle>(handle)); w;
         w = window(as<WindowHandle>(w->parent))) {
        bool hostWindow = w->parent == 0 && w->className.empty();
        if (w->destroying || (!hostWindow && !(w->style & WindowStyleVisible))) {
            return false;
        }
    }
    return true;
}

WindowHandle HeadlessPlatform::dropTargetAt(PixelPoint point) const {
    // The deepest shown window under the point; among equals the later one,
    // which lies on top.
    uintptr_t under = 0;
    int32_t underDepth = -1;
    for (const auto& entry : windows) {
        if (!windowShown(entry.first)) {
            continue;
        }
        PixelPoint origin = screenOrigin(entry.first);
        const Surface& s = entry.second.surface;
        if (point.x < origin.x || point.y < origin.y || point.x >= origin.x + s.width ||
            point.y >= origin.y + s.height) {
            continue;
        }
        int32_t depth = 0;
        for (const Window* p = window(as<WindowHandle>(entry.second.parent)); p;
             p = window(as<WindowHandle>(p->parent))) {
            ++depth;
        }
        if (depth >= underDepth) {
            under = entry.first;
            underDepth = depth;
        }
    }
    for (const Window* w = window(as<WindowHandle>(under)); w;
         under = w->parent, w = window(as<WindowHandle>(under))) {
        if (w->dropSink) {
            return as<WindowHandle>(under);
        }
    }
    return nullptr;
}

WindowHandle HeadlessPlatform::dragTarget() const {
    const Window* w = window(as<WindowHandle>(dragWindow));
    return dragging && w && w->dropSink ? as<WindowHandle>(dragWindow) : nullptr;
}

uint32_t HeadlessPlatform::dragTo(uint32_t keyState, PixelPoint screenPoint) {
    cursor = screenPoint;
    uintptr_t target = raw(dropTargetAt(screenPoint));
    uint32_t effect = DropEffectNone;
    if (target != dragWindow) {
        uintptr_t previous = dragWindow;
        dragWindow = target;
        callSink(previous, [](DropSink& sink) { sink.dragLeave(); });
        callSink(target,
                 [&](DropSink& sink) { effect = sink.dragEnter(dragData, keyState, screenPoint); });
    } else {
        callSink(target, [&](DropSink& sink) { effect = sink.dragOver(keyState, screenPoint); });
    }
    return effect;
}

uint32_t HeadlessPlatform::dragEnter(DropData* data, uint32_t keyState, PixelPoint screenPoint) {
    if (dragging) {
        dragLeave();
    }
    dragging = true;
    dragData = data;
    dragWindow = 0;
    return dragTo(keyState, screenPoint);
}

uint32_t HeadlessPlatform::dragOver(uint32_t keyState, PixelPoint screenPoint) {
    if (!dragging) {
        return DropEffectNone;
    }
    return dragTo(keyState, screenPoint);
}

void HeadlessPlatform::dragLeave() {
    if (!dragging) {
        return;
    }
    uintptr_t previous = dragWindow;
    dragging = false;
    dragData = nullptr;
    dragWindow = 0;
    callSink(previous, [](DropSink& sink) { sink.dragLeave(); });
}

DropOutcome HeadlessPlatform::drop(uint32_t keyState, PixelPoint screenPoint) {
    if (!dragging) {
        return DropOutcome::NoTarget;
    }
    // The last move reaches the target first, as in the platform's drag loop.
    dragTo(keyState, screenPoint);
    uintptr_t target = dragWindow;
    DropData* data = dragData;
    dragging = false;
    dragData = nullptr;
    dragWindow = 0;
    bool taken = false;
    if (!callSink(target,
                  [&](DropSink& sink) { taken = sink.drop(data, keyState, screenPoint); })) {
        return DropOutcome::NoTarget;
    }
    return taken ? DropOutcome::Taken : DropOutcome::Refused;
}

// ----- Scripted drag data -----

ScriptedDropData ScriptedDropData::text(const std::string& text) {
    ScriptedDropData data;
    data.hasText = true;
    data.block.assign(text.begin(), text.end());
    data.block.push_back(0);
    return data;
}

ScriptedDropData ScriptedDropData::textBlock(const std::string& bytes) {
    ScriptedDropData data;
    data.hasText = true;
    data.block.assign(bytes.begin(), bytes.end());
    return data;
}

ScriptedDropData ScriptedDropData::files(const std::vector<std::string>& paths) {
    ScriptedDropData data;
    data.hasFiles = true;
    data.paths = paths;
    return data;
}

ScriptedDropData ScriptedDropData::other() {
    return ScriptedDropData();
}

bool ScriptedDropData::lockText(const char*& text, size_t& size) {
    if (!hasText || block.empty()) {
        return false;
    }
    ++locks;
    text = block.data();
    size = block.size();
    return true;
}

void ScriptedDropData::releaseText() {
    ++releases;
}

int32_t ScriptedDropData::fileCount() {
    return hasFiles ? static_cast<int32_t>(paths.size()) : 0;
}

bool ScriptedDropData::filePath(int32_t index, char* buffer, size_t bufferSize) {
    ++fetches;
    if (!hasFiles || index < 0 || static_cast<size_t>(index) >= paths.size() ||
        failing.count(index) || !buffer || bufferSize == 0 || paths[index].empty()) {
        return false;
    }
    const std::string& path = paths[static_cast<size_t>(index)];
    size_t n = std::min(path.size(), bufferSize - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return true;
}

bool HeadlessPlatform::resolveShortcut(char* path, size_t bufferSize) {
    if (!path || bufferSize == 0) {
        return false;
    }
    auto it = shortcuts.find(path);
    if (it == shortcuts.end()) {
        return false;
    }
    size_t n = std::min(it->second.size(), bufferSize - 1);
    std::memcpy(path, it->second.data(), n);
    path[n] = 0;
    return true;
}

// ----- Inspection -----

const Surface* HeadlessPlatform::windowSurface(WindowHandle handle) const {
    const Window* w = window(handle);
    return w ? &w->surface : nullptr;
}

const Surface* HeadlessPlatform::bitmapSurface(ObjectHandle bitmap) const {
    const Object* o = object(bitmap);
    return o && o->kind == ObjectKind::Bitmap ? &o->bitmap : nullptr;
}

const Surface* HeadlessPlatform::contextSurface(DeviceContextHandle dc) const {
    const Context* c = context(dc);
    return c ? target(*c) : nullptr;
}

bool HeadlessPlatform::contextState(DeviceContextHandle dc, ContextState& state) const {
    const Context* c = context(dc);
    if (!c) {
        return false;
    }
    state = {as<ObjectHandle>(c->pen),
             as<ObjectHandle>(c->brush),
             as<ObjectHandle>(c->font),
             as<ObjectHandle>(c->bitmap),
             c->background,
             c->text,
             c->backgroundMode,
             c->position};
    return true;
}

bool HeadlessPlatform::penOf(ObjectHandle pen, int32_t& style, int32_t& width,
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

bool HeadlessPlatform::brushOf(ObjectHandle brush, ColourRef& colour) const {
    const Object* o = object(brush);
    if (!o || o->kind != ObjectKind::Brush) {
        return false;
    }
    colour = o->colour;
    return true;
}

const FontDescription* HeadlessPlatform::fontOf(ObjectHandle font) const {
    const Object* o = object(font);
    return o && o->kind == ObjectKind::Font ? &o->font : nullptr;
}

bool HeadlessPlatform::windowInfo(WindowHandle handle, WindowInfo& info) const {
    const Window* w = window(handle);
    if (!w) {
        return false;
    }
    info = {w->className, w->title, w->style, w->rect, as<WindowHandle>(w->parent), w->module};
    return true;
}

bool HeadlessPlatform::windowExists(WindowHandle handle) const {
    return window(handle) != nullptr;
}

std::vector<WindowHandle> HeadlessPlatform::childWindows(WindowHandle parent) const {
    std::vector<WindowHandle> out;
    for (const auto& w : windows) {
        if (w.second.parent == raw(parent) && parent) {
            out.push_back(as<WindowHandle>(w.first));
        }
    }
    return out;
}

bool HeadlessPlatform::windowClassExists(const std::string& name) const {
    for (const auto& entry : classes) {
        if (sameName(entry.first, name)) {
            return true;
        }
    }
    return false;
}

DropSink* HeadlessPlatform::dropSinkOf(WindowHandle handle) const {
    const Window* w = window(handle);
    return w ? w->dropSink.get() : nullptr;
}

int32_t HeadlessPlatform::liveObjectCount() const {
    int32_t count = 0;
    for (const auto& o : objects) {
        count += o.second.stock ? 0 : 1;
    }
    return count;
}

} // namespace platform::headless
