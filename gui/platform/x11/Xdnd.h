// Pieces of the X drag-and-drop protocol (version 5, target side) used by the
// X11 backend: the atoms, the choice of what a drag carries, the dropped data
// as the toolkit reads it, file URI decoding and the two replies a target
// sends to the source.
//
// A drag carrying a file list (text/uri-list) is offered as files, even when
// it also offers plain text (file managers offer the URIs as text too);
// otherwise one of the text types is offered as 8-bit text, passed on byte for
// byte. Every other drag is refused.
#pragma once

#include "gui/platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include <X11/Xlib.h>

namespace platform::x11 {

constexpr long xdndVersion = 5;

struct XdndAtoms {
    Atom aware = 0;
    Atom enter = 0;
    Atom position = 0;
    Atom status = 0;
    Atom leave = 0;
    Atom drop = 0;
    Atom finished = 0;
    Atom selection = 0;
    Atom typeList = 0;
    Atom actionCopy = 0;
    Atom actionMove = 0;
    Atom uriList = 0;
    Atom textPlainUtf8 = 0;
    Atom utf8String = 0;
    Atom textPlain = 0;
    Atom string = 0;
    Atom incremental = 0;
    // The property of the target window that receives the dropped data.
    Atom dropProperty = 0;

    void intern(Display* display);
};

enum class DragKind { Other, Text, Files };

// What a drag offering these types carries, and the type to ask the source for.
DragKind chooseDragKind(const std::vector<Atom>& types, const XdndAtoms& atoms, Atom& conversion);

// Decodes one file URI ("file:///path", "file://localhost/path",
// "file://<this host>/path" or "file:/path") with %XX escapes into a local
// path. False for any other scheme or host, a relative path, a bad escape, an
// escaped zero byte, or raw spaces and control characters.
bool decodeFileUri(const std::string& uri, const std::string& localHost, std::string& path);

// The URIs of a text/uri-list: one a line (CR LF or LF), comment lines
// (starting with '#') and empty lines left out.
std::vector<std::string> splitUriList(const char* data, size_t size);

// A path that is a symbolic link becomes the path of its final target (the
// shortcuts of this platform); true when it was replaced.
bool resolveLink(std::string& path);

// The data of a drag as the toolkit reads it. The content arrives with the
// drop; until then the object only tells what the drag offers.
class XdndData : public DropData {
public:
    explicit XdndData(DragKind kind) : kind(kind) {}

    // Takes the converted selection: the bytes of the text (a terminator is
    // added) or of the URI list.
    void setContent(const unsigned char* bytes, size_t size, const std::string& localHost);
    bool hasContent() const { return content; }

    bool offersText() override { return kind == DragKind::Text; }
    bool offersFileList() override { return kind == DragKind::Files; }
    bool lockText(const char*& text, size_t& size) override;
    void releaseText() override {}
    int32_t fileCount() override;
    // The decoded path, with a symbolic link resolved to its target, cut to
    // bufferSize - 1 bytes; false for a malformed URI.
    bool filePath(int32_t index, char* buffer, size_t bufferSize) override;

private:
    DragKind kind;
    bool content = false;
    std::vector<char> text;
    std::vector<std::string> uris;
    std::string host;
};

// The target's answer to XdndPosition: whether it takes the drop, and with
// which action (None when not).
void sendStatus(Display* display, const XdndAtoms& atoms, ::Window source, ::Window target,
                Atom action);
// The target's answer to XdndDrop, once it is done with the data.
void sendFinished(Display* display, const XdndAtoms& atoms, ::Window source, ::Window target,
                  bool accepted, Atom action);

} // namespace platform::x11
