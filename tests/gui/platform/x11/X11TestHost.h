// A stand-in for a Linux host's windowing side: its own X connection, the
// top-level window it gives an editor, synthetic mouse and keyboard input
// through the XTest extension, and a reader of a window's pixels.
#pragma once

#include <X11/Xlib.h>
#include <cstdint>
#include <string>
#include <vector>

class X11TestHost {
public:
    X11TestHost();
    ~X11TestHost();
    X11TestHost(const X11TestHost&) = delete;
    X11TestHost& operator=(const X11TestHost&) = delete;

    // Whether an X server could be reached; why not, when it could not.
    bool available() const { return display != nullptr; }
    const std::string& unavailableReason() const { return reason; }
    bool hasXTest() const { return xtest; }
    Display* connection() const { return display; }

    // A mapped top-level window at a screen position, as a host makes one for
    // a plug-in editor; answers once the server shows it.
    Window createHostWindow(int x, int y, int width, int height);
    // Destroys a window and waits until the server has done it.
    void destroyWindow(Window window);

    // The children of a window.
    std::vector<Window> children(Window window);
    bool geometry(Window window, int& x, int& y, int& width, int& height);
    bool viewable(Window window);
    // The window's top-left corner on the screen.
    bool screenOrigin(Window window, int& x, int& y);
    // The 32-bit items of a window property (empty when it has none).
    std::vector<unsigned long> property(Window window, const char* name);
    std::string title(Window window);

    // The window's pixels as red + 256 green + 65536 blue, top row first.
    std::vector<uint32_t> capture(Window window, int width, int height);

    // Synthetic input (XTest), each answered once the server has it.
    void movePointer(int screenX, int screenY);
    void button(unsigned int button, bool press);
    void key(unsigned long keysym, bool press);
    // The pointer's button mapping: physical button i + 1 gives logical map[i].
    bool setButtonMap(const std::vector<unsigned char>& map);
    // Asks the server to send an Expose for an area of a window.
    void expose(Window window, int x, int y, int width, int height);
    void sync();

private:
    Display* display = nullptr;
    bool xtest = false;
    std::string reason;
    std::vector<Window> created;
};

// Pixels of one rendering against another: how many differ.
int32_t countDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);
