// Drags from another application in the scripted world: finding the drop
// target under the cursor, the drag loop's calls of the targets' sinks, and
// the data a scripted drag carries.
#include "tests/support/ScriptedPlatform.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::headless {

void ScriptedPlatform::retireSink(std::unique_ptr<DropSink> sink) {
    // A sink that is being called lives until its call has returned.
    if (sink && sinkCalls > 0) {
        retiredSinks.push_back(std::move(sink));
    }
}

template <typename Call> bool ScriptedPlatform::callSink(uintptr_t handle, Call&& call) {
    Window* w = window(handleFrom<WindowHandle>(handle));
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

bool ScriptedPlatform::windowShown(uintptr_t handle) const {
    for (const Window* w = window(handleFrom<WindowHandle>(handle)); w;
         w = window(handleFrom<WindowHandle>(w->parent))) {
        bool hostWindow = w->parent == 0 && w->className.empty();
        if (w->destroying || (!hostWindow && !(w->style & WindowStyleVisible))) {
            return false;
        }
    }
    return true;
}

WindowHandle ScriptedPlatform::dropTargetAt(PixelPoint point) const {
    // The deepest shown window under the point; among equals the later one,
    // which lies on top.
    uintptr_t under = 0;
    int32_t underDepth = -1;
    for (const auto& entry : allWindows()) {
        if (!windowShown(entry.first)) {
            continue;
        }
        PixelPoint origin = screenOrigin(entry.first);
        const Window& w = entry.second;
        if (point.x < origin.x || point.y < origin.y || point.x >= origin.x + w.width ||
            point.y >= origin.y + w.height) {
            continue;
        }
        int32_t depth = 0;
        for (const Window* p = window(handleFrom<WindowHandle>(w.parent)); p;
             p = window(handleFrom<WindowHandle>(p->parent))) {
            ++depth;
        }
        if (depth >= underDepth) {
            under = entry.first;
            underDepth = depth;
        }
    }
    for (const Window* w = window(handleFrom<WindowHandle>(under)); w;
         under = w->parent, w = window(handleFrom<WindowHandle>(under))) {
        if (w->dropSink) {
            return handleFrom<WindowHandle>(under);
        }
    }
    return nullptr;
}

WindowHandle ScriptedPlatform::dragTarget() const {
    const Window* w = window(handleFrom<WindowHandle>(dragWindow));
    return dragging && w && w->dropSink ? handleFrom<WindowHandle>(dragWindow) : nullptr;
}

uint32_t ScriptedPlatform::dragTo(uint32_t keyState, PixelPoint screenPoint) {
    cursor = screenPoint;
    uintptr_t target = handleValue(dropTargetAt(screenPoint));
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

uint32_t ScriptedPlatform::dragEnter(DropData* data, uint32_t keyState, PixelPoint screenPoint) {
    if (dragging) {
        dragLeave();
    }
    dragging = true;
    dragData = data;
    dragWindow = 0;
    return dragTo(keyState, screenPoint);
}

uint32_t ScriptedPlatform::dragOver(uint32_t keyState, PixelPoint screenPoint) {
    if (!dragging) {
        return DropEffectNone;
    }
    return dragTo(keyState, screenPoint);
}

void ScriptedPlatform::dragLeave() {
    if (!dragging) {
        return;
    }
    uintptr_t previous = dragWindow;
    dragging = false;
    dragData = nullptr;
    dragWindow = 0;
    callSink(previous, [](DropSink& sink) { sink.dragLeave(); });
}

DropOutcome ScriptedPlatform::drop(uint32_t keyState, PixelPoint screenPoint) {
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

} // namespace platform::headless
