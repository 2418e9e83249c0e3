#include "gui/DropTarget.h"

#include "gui/Frame.h"

#include <cstdlib>
#include <cstring>
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

void DropTarget::drop(platform::DropData* data, uint32_t keyState, platform::PixelPoint screen) {
    if (frame && data) {
        const char* text = nullptr;
        size_t size = 0;
        if (data->lockText(text, size)) {
            if (text && size) {
                Point where;
                frame->getCurrentLocation(where);
                char* item = const_cast<char*>(text);
                int32_t count =
                    size > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(size);
                frame->drop(reinterpret_cast<void**>(&item), count, DropTypeText, where);
            }
            data->releaseText();
        } else if (data->offersFileList()) {
            int32_t files = data->fileCount();
            if (files > 0) {
                std::vector<char*> paths;
                paths.reserve(static_cast<size_t>(files));
                for (int32_t i = 0; i < files; ++i) {
                    char buffer[maxPath] = {};
                    if (data->filePath(i, buffer, sizeof(buffer))) {
                        buffer[maxPath - 1] = 0;
                        resolveShortcut(buffer);
                        if (char* copy = static_cast<char*>(std::malloc(std::strlen(buffer) + 1))) {
                            std::strcpy(copy, buffer);
                            paths.push_back(copy);
                        }
                    }
                }
                Point where;
                frame->getCurrentLocation(where);
                frame->drop(reinterpret_cast<void**>(paths.data()),
                            static_cast<int32_t>(paths.size()), DropTypeFiles, where);
                for (char* path : paths) {
                    std::free(path);
                }
            }
        }
    }
    dragLeave();
}
