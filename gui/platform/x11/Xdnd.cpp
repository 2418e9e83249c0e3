// The drag-and-drop protocol's pieces: its atoms, the choice of the dragged type, file URIs
// decoded to local paths, the dropped data the toolkit reads, and the replies to the source.
#include "gui/platform/x11/Xdnd.h"

#include <X11/Xatom.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

namespace platform::x11 {

void XdndAtoms::intern(Display* display) {
    const char* names[] = {"XdndAware",
                           "XdndEnter",
                           "XdndPosition",
                           "XdndStatus",
                           "XdndLeave",
                           "XdndDrop",
                           "XdndFinished",
                           "XdndSelection",
                           "XdndTypeList",
                           "XdndActionCopy",
                           "XdndActionMove",
                           "text/uri-list",
                           "text/plain;charset=utf-8",
                           "UTF8_STRING",
                           "text/plain",
                           "STRING",
                           "INCR",
                           "FUMARA_DROP"};
    Atom* fields[] = {&aware,      &enter,       &position,      &status,     &leave,
                      &drop,       &finished,    &selection,     &typeList,   &actionCopy,
                      &actionMove, &uriList,     &textPlainUtf8, &utf8String, &textPlain,
                      &string,     &incremental, &dropProperty};
    constexpr int count = static_cast<int>(sizeof(names) / sizeof(names[0]));
    Atom atoms[count] = {};
    XInternAtoms(display, const_cast<char**>(names), count, False, atoms);
    for (int i = 0; i < count; ++i) {
        *fields[i] = atoms[i];
    }
}

DragKind chooseDragKind(const std::vector<Atom>& types, const XdndAtoms& atoms, Atom& conversion) {
    auto offered = [&](Atom type) {
        return type != 0 && std::find(types.begin(), types.end(), type) != types.end();
    };
    if (offered(atoms.uriList)) {
        conversion = atoms.uriList;
        return DragKind::Files;
    }
    for (Atom text : {atoms.textPlainUtf8, atoms.utf8String, atoms.textPlain, atoms.string}) {
        if (offered(text)) {
            conversion = text;
            return DragKind::Text;
        }
    }
    conversion = 0;
    return DragKind::Other;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes %XX escapes; false for a bad escape, an escaped zero byte or a raw
// byte that may not appear in a URI (controls, space, DEL).
bool percentDecode(const std::string& in, size_t from, std::string& out) {
    out.clear();
    for (size_t i = from; i < in.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c <= 0x20 || c == 0x7F) {
            return false;
        }
        if (c != '%') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 2 >= in.size()) {
            return false;
        }
        int high = hexValue(in[i + 1]);
        int low = hexValue(in[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return false;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

} // namespace

bool decodeFileUri(const std::string& uri, const std::string& localHost, std::string& path) {
    path.clear();
    if (uri.size() < 6 || strncasecmp(uri.c_str(), "file:", 5) != 0) {
        return false;
    }
    size_t at = 5;
    if (uri.compare(at, 2, "//") == 0) {
        // An authority: empty, "localhost" or this machine's name.
        size_t hostStart = at + 2;
        size_t slash = uri.find('/', hostStart);
        if (slash == std::string::npos) {
            return false;
        }
        std::string host = uri.substr(hostStart, slash - hostStart);
        if (!host.empty() && strcasecmp(host.c_str(), "localhost") != 0 &&
            (localHost.empty() || strcasecmp(host.c_str(), localHost.c_str()) != 0)) {
            return false;
        }
        at = slash;
    }
    if (at >= uri.size() || uri[at] != '/') {
        return false;
    }
    std::string decoded;
    if (!percentDecode(uri, at, decoded) || decoded.empty() || decoded[0] != '/') {
        return false;
    }
    path = std::move(decoded);
    return true;
}

std::vector<std::string> splitUriList(const char* data, size_t size) {
    std::vector<std::string> out;
    if (!data) {
        return out;
    }
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && data[end] != '\n' && data[end] != 0) {
            ++end;
        }
        size_t stop = end;
        if (stop > start && data[stop - 1] == '\r') {
            --stop;
        }
        if (stop > start && data[start] != '#') {
            out.emplace_back(data + start, stop - start);
        }
        if (end < size && data[end] == 0) {
            break; // the list ends at a terminator
        }
        start = end + 1;
    }
    return out;
}

bool resolveLink(std::string& path) {
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return false;
    }
    char* target = realpath(path.c_str(), nullptr);
    if (!target) {
        return false;
    }
    path = target;
    std::free(target);
    return true;
}

void XdndData::setContent(const unsigned char* bytes, size_t size, const std::string& localHost) {
    content = true;
    host = localHost;
    const char* chars = reinterpret_cast<const char*>(bytes);
    if (kind == DragKind::Text) {
        text.assign(chars, chars + (bytes ? size : 0));
        text.push_back(0);
    } else if (kind == DragKind::Files) {
        uris = splitUriList(chars, bytes ? size : 0);
    }
}

bool XdndData::lockText(const char*& out, size_t& size) {
    if (kind != DragKind::Text || !content || text.empty()) {
        return false;
    }
    out = text.data();
    size = text.size();
    return true;
}

int32_t XdndData::fileCount() {
    if (kind != DragKind::Files || !content) {
        return 0;
    }
    return static_cast<int32_t>(std::min<size_t>(uris.size(), INT32_MAX));
}

bool XdndData::filePath(int32_t index, char* buffer, size_t bufferSize) {
    if (index < 0 || index >= fileCount() || !buffer || bufferSize == 0) {
        return false;
    }
    std::string path;
    if (!decodeFileUri(uris[static_cast<size_t>(index)], host, path)) {
        return false;
    }
    resolveLink(path);
    size_t n = std::min(path.size(), bufferSize - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return true;
}

namespace {

XEvent clientMessage(Display* display, ::Window to, Atom type) {
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    return event;
}

} // namespace

void sendStatus(Display* display, const XdndAtoms& atoms, ::Window source, ::Window target,
                Atom action) {
    XEvent event = clientMessage(display, source, atoms.status);
    event.xclient.data.l[0] = static_cast<long>(target);
    // Bit 0: the drop would be taken. Bit 1: keep sending positions (no
    // rectangle is given, and the answer follows the Control key).
    event.xclient.data.l[1] = (action != 0 ? 1 : 0) | 2;
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 0;
    event.xclient.data.l[4] = static_cast<long>(action);
    XSendEvent(display, source, False, NoEventMask, &event);
}

void sendFinished(Display* display, const XdndAtoms& atoms, ::Window source, ::Window target,
                  bool accepted, Atom action) {
    XEvent event = clientMessage(display, source, atoms.finished);
    event.xclient.data.l[0] = static_cast<long>(target);
    event.xclient.data.l[1] = accepted ? 1 : 0;
    event.xclient.data.l[2] = accepted ? static_cast<long>(action) : 0;
    XSendEvent(display, source, False, NoEventMask, &event);
}

} // namespace platform::x11
