// The desktop's scale on X11: the Xft.dpi resource found in resource texts as
// Xlib finds it, and the scale the backend reads from the X server's current
// resource database and the environment.
#include "gui/Zoom.h"
#include "gui/platform/x11/X11Platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "gui/platform/x11/X11DesktopScale.h"
#include "tests/gui/platform/x11/X11TestHost.h"
#include <X11/Xatom.h>
// clang-format on

using platform::x11::xftDpiResource;

TEST(X11DesktopScale, TheXftDpiResourceAsXlibFindsIt) {
    const struct {
        const char* resources;
        const char* dpi;
    } cases[] = {
        {"Xft.dpi:\t192\n", "192"},
        {"Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", "144"},
        {"Xft.dpi: 120", "120"},
        {"*dpi:\t168\n", "168"}, // a loose binding reaches it
        {"Xft*dpi:\t96\n", "96"},
        {"! a comment\nXft.dpi:\t192.5\n", "192.5"},
        {"XTerm*faceSize:\t11\n", ""},
        {"Xterm.dpi:\t200\n", ""},                 // another program's
        {"Xft.dpi:\t144\nXft.dpi:\t192\n", "192"}, // the later line wins
        {"", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xftDpiResource(c.resources), c.dpi) << (c.resources ? c.resources : "null");
    }
}

// The X server's resource database (the root window's RESOURCE_MANAGER) set
// for one test and put back after it.
class ServerResources {
public:
    explicit ServerResources(Display* d) : display(d) {
        atom = XInternAtom(display, "RESOURCE_MANAGER", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), atom, 0, 1 << 20, False,
                               XA_STRING, &type, &format, &count, &remaining, &data) == Success &&
            data) {
            saved.assign(reinterpret_cast<const char*>(data), count);
            had = true;
        }
        if (data) {
            XFree(data);
        }
    }
    ~ServerResources() {
        if (had) {
            set(saved);
        } else {
            XDeleteProperty(display, DefaultRootWindow(display), atom);
            XSync(display, False);
        }
    }
    void set(const std::string& text) {
        XChangeProperty(display, DefaultRootWindow(display), atom, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        XSync(display, False);
    }

private:
    Display* display;
    Atom atom = 0;
    std::string saved;
    bool had = false;
};

TEST(X11DesktopScale, TheBackendReadsTheServersCurrentDatabase) {
    X11TestHost host;
    if (!host.available()) {
        GTEST_SKIP() << host.unavailableReason();
    }
    platform::Platform& x11 = platform::x11::nativePlatform();
    ServerResources resources(host.connection());
    const struct {
        const char* database;
        int32_t scale;
    } cases[] = {{"Xft.dpi:\t192\n", 200},
                 {"Xft.antialias:\t1\nXft.dpi:\t144\n", 150},
                 {"Xft.dpi:\t96\n", 100},
                 {"Xft.hinting:\t1\n", 0}};
    for (const auto& c : cases) {
        resources.set(c.database);
        EXPECT_EQ(x11.desktopScale(nullptr), c.scale) << c.database;
    }
    // The environment's factors count as well; the largest wins.
    resources.set("Xft.dpi:\t144\n");
    setenv("GDK_SCALE", "2", 1);
    EXPECT_EQ(x11.desktopScale(nullptr), 200);
    EXPECT_EQ(Zoom::atOrBelow(x11.desktopScale(nullptr)).percent(), 200);
    unsetenv("GDK_SCALE");
    setenv("QT_SCALE_FACTOR", "3", 1);
    EXPECT_EQ(x11.desktopScale(nullptr), 300);
    unsetenv("QT_SCALE_FACTOR");
}
