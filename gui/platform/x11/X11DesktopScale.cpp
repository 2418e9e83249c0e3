// Reading the desktop's scale from the X server's resource database and the environment.
#include "gui/platform/x11/X11DesktopScale.h"

#include "gui/platform/DesktopScale.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <cstdlib>
#include <mutex>

namespace platform::x11 {

std::string xftDpiResource(const char* resources) {
    if (!resources) {
        return std::string();
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { XrmInitialize(); });
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database) {
        return std::string();
    }
    char* type = nullptr;
    XrmValue value{};
    std::string result;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        result.assign(value.addr, value.size > 0 ? value.size - 1 : 0);
    }
    XrmDestroyDatabase(database);
    return result;
}

int32_t sessionScale(Display* display) {
    std::string dpi;
    if (display) {
        const Atom property = XInternAtom(display, "RESOURCE_MANAGER", True);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (property &&
            XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1 << 20, False,
                               XA_STRING, &type, &format, &count, &remaining, &data) == Success &&
            data && format == 8) {
            dpi = xftDpiResource(reinterpret_cast<const char*>(data));
        }
        if (data) {
            XFree(data);
        }
    }
    return x11DesktopScale(dpi.empty() ? nullptr : dpi.c_str(), std::getenv("GDK_SCALE"),
                           std::getenv("QT_SCALE_FACTOR"));
}

} // namespace platform::x11
