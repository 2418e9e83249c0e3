// The scripted world's clock, input, paint requests, resources, failure
// injection, counters and inspection.
#include "tests/support/ScriptedPlatform.h"

#include "gui/platform/BmpDecoder.h"
#include "gui/platform/MaskedTransparentCopy.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <utility>

namespace platform::headless {

ScriptedPlatform::ScriptedPlatform() : module(HeadlessPlatform::moduleHandle()) {}

ScriptedPlatform::~ScriptedPlatform() = default;

// ----- System -----

int32_t ScriptedPlatform::oleInitialize() {
    ++ole;
    return 0;
}

void ScriptedPlatform::oleUninitialize() {
    --ole;
}

void ScriptedPlatform::addShortcut(const std::string& path, const std::string& target) {
    shortcuts[path] = target;
}

bool ScriptedPlatform::resolveShortcut(char* path, size_t bufferSize) {
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

// ----- Clock -----

void ScriptedPlatform::sleep(uint32_t milliseconds) {
    sleepLog.push_back(milliseconds);
    clock += milliseconds;
    runDueActions();
}

void ScriptedPlatform::setTickCount(uint32_t now) {
    clock = now;
    runDueActions();
}

void ScriptedPlatform::schedule(uint32_t tick, std::function<void()> action) {
    scheduled.push_back({tick, scheduleOrder++, std::move(action)});
    runDueActions();
}

void ScriptedPlatform::runDueActions() {
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

void ScriptedPlatform::setKeyHeld(int32_t key, bool held) {
    if (held) {
        heldKeys.insert(key);
    } else {
        heldKeys.erase(key);
    }
}

bool ScriptedPlatform::cursorPosition(PixelPoint& screenPoint) {
    screenPoint = cursor;
    return true;
}

intptr_t ScriptedPlatform::pressButton(WindowHandle handle, int32_t physicalButton,
                                       PixelPoint client) {
    if (!window(handle)) {
        return -1;
    }
    setKeyHeld(physicalButton, true);
    PixelPoint origin = screenOrigin(handleValue(handle));
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

void ScriptedPlatform::holdButton(WindowHandle handle, int32_t physicalButton, PixelPoint client,
                                  uint32_t holdFor, const std::vector<Move>& moves) {
    const uint32_t start = clock;
    const PixelPoint origin = screenOrigin(handleValue(handle));
    for (const Move& move : moves) {
        const PixelPoint screen{origin.x + move.client.x, origin.y + move.client.y};
        schedule(start + move.after, [this, screen] { cursor = screen; });
    }
    schedule(start + holdFor, [this, physicalButton] { setKeyHeld(physicalButton, false); });
    pressButton(handle, physicalButton, client);
    if (clock <= start + holdFor) {
        setTickCount(start + holdFor + 1);
    }
    setKeyHeld(physicalButton, false);
}

uintptr_t ScriptedPlatform::pressState() const {
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

// ----- Paints -----

void ScriptedPlatform::requestPaint(WindowHandle handle, const PixelRect& area, bool erase) {
    Window* w = window(handle);
    if (!w) {
        return;
    }
    PixelRect r = software::intersect(area, {0, 0, w->width, w->height});
    if (software::isEmpty(r)) {
        return;
    }
    w->update = w->updatePending ? software::unite(w->update, r) : r;
    w->updatePending = true;
    w->erasePending = w->erasePending || erase;
}

// ----- Drawing: failures and counters -----

ObjectHandle ScriptedPlatform::createPen(int32_t style, int32_t width, ColourRef colour) {
    return failCreations ? nullptr : HeadlessPlatform::createPen(style, width, colour);
}

ObjectHandle ScriptedPlatform::createSolidBrush(ColourRef colour) {
    return failCreations ? nullptr : HeadlessPlatform::createSolidBrush(colour);
}

ObjectHandle ScriptedPlatform::createFont(const FontDescription& font) {
    return failCreations ? nullptr : HeadlessPlatform::createFont(font);
}

bool ScriptedPlatform::blockCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                 int32_t width, int32_t height, DeviceContextHandle source,
                                 int32_t sourceX, int32_t sourceY, uint32_t rop) {
    ++blockCalls;
    return HeadlessPlatform::blockCopy(destination, x, y, width, height, source, sourceX, sourceY,
                                       rop);
}

bool ScriptedPlatform::transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                       int32_t width, int32_t height, DeviceContextHandle source,
                                       int32_t sourceX, int32_t sourceY, ColourRef transparent) {
    if (!platformCopy) {
        return maskedTransparentCopy(*this, destination, x, y, width, height, source, sourceX,
                                     sourceY, transparent);
    }
    ++transparentCalls;
    return HeadlessPlatform::transparentCopy(destination, x, y, width, height, source, sourceX,
                                             sourceY, transparent);
}

// ----- Resources -----

ObjectHandle ScriptedPlatform::loadBitmapResource(ModuleHandle fromModule, uint16_t id) {
    auto found = resources.find(id);
    if (fromModule != module || found == resources.end()) {
        return HeadlessPlatform::loadBitmapResource(fromModule, id);
    }
    return createBitmap(found->second);
}

void ScriptedPlatform::addBitmapResource(uint16_t id, int32_t width, int32_t height,
                                         const std::vector<uint32_t>& pixels) {
    Surface s(width, height, false, 0);
    for (size_t i = 0; i < s.pixels.size() && i < pixels.size(); ++i) {
        s.pixels[i] = pixels[i] & 0xFFFFFF;
    }
    resources[id] = std::move(s);
}

bool ScriptedPlatform::addBitmapResourceFromBmp(uint16_t id, const std::vector<uint8_t>& file) {
    DecodedImage image;
    if (!decodeBmp(file.data(), file.size(), image)) {
        return false;
    }
    addBitmapResource(id, image.width, image.height, image.pixels);
    return true;
}

// ----- Inspection -----

bool ScriptedPlatform::windowInfo(WindowHandle handle, WindowInfo& info) const {
    const Window* w = window(handle);
    if (!w) {
        return false;
    }
    info = {w->className, w->title, w->style, w->rect, handleFrom<WindowHandle>(w->parent),
            w->module};
    return true;
}

std::vector<WindowHandle> ScriptedPlatform::childWindows(WindowHandle parent) const {
    std::vector<WindowHandle> out;
    for (const auto& w : allWindows()) {
        if (w.second.parent == handleValue(parent) && parent) {
            out.push_back(handleFrom<WindowHandle>(w.first));
        }
    }
    return out;
}

bool ScriptedPlatform::windowClassExists(const std::string& name) const {
    for (const auto& entry : allClasses()) {
        if (strcasecmp(entry.first.c_str(), name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

DropSink* ScriptedPlatform::dropSinkOf(WindowHandle handle) const {
    const Window* w = window(handle);
    return w ? w->dropSink.get() : nullptr;
}

} // namespace platform::headless
