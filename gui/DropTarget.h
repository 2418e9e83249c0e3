// Receives drags onto the frame's window from the platform and offers dropped
// 8-bit text or file lists to the frame's views.
#pragma once

#include "gui/platform/Platform.h"

#include <cstddef>
#include <cstdint>

class Frame;

// Kinds of dropped items passed to View::drop.
enum : int32_t {
    DropTypeFiles = 0, // items: array of zero-terminated paths; count: number of paths
    DropTypeText = 1,  // items: one pointer to the text; count: size of its block in bytes
};

class DropTarget : public platform::DropSink {
public:
    // The longest path handed to a view, terminator included.
    static constexpr size_t maxPath = 1024;

    explicit DropTarget(Frame* frame) : frame(frame) {}

    uint32_t dragEnter(platform::DropData* data, uint32_t keyState,
                       platform::PixelPoint screen) override;
    uint32_t dragOver(uint32_t keyState, platform::PixelPoint screen) override;
    void dragLeave() override {}
    // Offers dropped text, or else the dropped files, to the frame's views;
    // answers whether a view took them.
    bool drop(platform::DropData* data, uint32_t keyState, platform::PixelPoint screen) override;

    bool isAccepting() const { return accepting; }
    // Whether the path names a shortcut: the last dot of the whole path starts
    // ".lnk", in any case.
    static bool isShortcut(const char* path);
    // Replaces a shortcut path in place (buffer of maxPath bytes) by its target;
    // true when it was replaced.
    static bool resolveShortcut(char* path);

private:
    bool dropText(const char* text, size_t size);
    bool dropFiles(platform::DropData& data);

    bool accepting = false;
    Frame* frame;
};
