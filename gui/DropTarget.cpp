// Accepting a drag, and handing dropped text or file paths (shortcuts resolved) to the frame's
// views.
#include "gui/DropTarget.h"

#include "gui/Frame.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

uint32_t DropTarget::dragEnter(platform::DropData* data, uint32_t keyState,
                               platform::PixelPoint screen) {
    accepting = false;
    if (data && (data->offersText() || data->offersFileList())) {
        accepting = true;
        return dragOver(keyState, screen);
    }
    return platform::DropEffectNone;
}

uint32_t DropTarget::dragOver(uint32_t keyState, platform::PixelPoint screen) {
    if (!accepting) {
        return platform::DropEffectNone;
    }
    return (keyState & platform::DragKeyControl) ? platform::DropEffectCopy
                                                 : platform::DropEffectMove;
}

bool DropTarget::isShortcut(const char* path) {
    if (!path) {
        return false;
    }
    const char* dot = std::strrchr(path, '.');
    return dot && strcasecmp(dot, ".lnk") == 0;
}

bool DropTarget::resolveShortcut(char* path) {
    return isShortcut(path) && platform::current().resolveShortcut(path, maxPath);
}

bool DropTarget::drop(platform::DropData* data, uint32_t keyState, platform::PixelPoint screen) {
    bool taken = false;
    if (frame && data) {
        // A view may close the editor from its drop; the frame goes when the
        // drop has returned.
        Frame::EventScope scope(frame);
        try {
            const char* text = nullptr;
            size_t size = 0;
            if (data->lockText(text, size)) {
                taken = dropText(text, size);
                data->releaseText();
            } else if (data->offersFileList()) {
                taken = dropFiles(*data);
            }
        } catch (...) {
            // Out of memory while copying paths: the drop is not taken, and
            // nothing may unwind into the platform's drag loop.
            taken = false;
        }
    }
    dragLeave();
    return taken;
}

bool DropTarget::dropText(const char* text, size_t size) {
    // A view reads the text up to its terminator, so text that does not end
    // inside its memory block is refused.
    if (!text || size == 0 || !std::memchr(text, 0, size)) {
        return false;
    }
    Point where;
    frame->getCurrentLocation(where);
    char* item = const_cast<char*>(text);
    int32_t count = size > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(size);
    return frame->drop(reinterpret_cast<void**>(&item), count, DropTypeText, where);
}

bool DropTarget::dropFiles(platform::DropData& data) {
    int32_t files = data.fileCount();
    if (files <= 0) {
        return false;
    }
    // Copies of the paths in drop order; the views get an array of pointers.
    std::vector<std::string> copies;
    for (int32_t i = 0; i < files; ++i) {
        char buffer[maxPath];
        std::memset(buffer, 0, sizeof(buffer));
        if (data.filePath(i, buffer, sizeof(buffer))) {
            // Whatever the platform wrote, the path ends inside the buffer.
            buffer[maxPath - 1] = 0;
            resolveShortcut(buffer);
            copies.emplace_back(buffer);
        }
    }
    if (copies.empty()) {
        return false;
    }
    std::vector<char*> items;
    items.reserve(copies.size());
    for (std::string& copy : copies) {
        items.push_back(&copy[0]);
    }
    Point where;
    frame->getCurrentLocation(where);
    return frame->drop(reinterpret_cast<void**>(items.data()), static_cast<int32_t>(items.size()),
                       DropTypeFiles, where);
}
