// Reading the desktop's scale from what X11 and Windows desktops say: the
// resolution and the two scale variables, as the text they arrive as.
#include "gui/platform/DesktopScale.h"

#include "gui/Zoom.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(DesktopScale, DecimalNumbersAsDesktopsWriteThem) {
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"192", true, 192.0},   {" 96\n", true, 96.0}, {"1.5", true, 1.5},
        {"2.", true, 2.0},      {".5", true, 0.5},     {"0", true, 0.0},
        {"1000000", true, 1e6}, {"", false, 0},        {"   ", false, 0},
        {".", false, 0},        {"-2", false, 0},      {"+2", false, 0},
        {"1,5", false, 0},      {"1.5.2", false, 0},   {"2x", false, 0},
        {"1 5", false, 0},      {"1e3", false, 0},     {"nan", false, 0},
        {"inf", false, 0},      {"1000001", false, 0}, {"99999999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        double value = -1.0;
        EXPECT_EQ(parseDecimal(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
    double value = 0.0;
    EXPECT_FALSE(parseDecimal(nullptr, value));
}

TEST(DesktopScale, ResolutionsAndFactorsInPercent) {
    EXPECT_EQ(scaleFromDpi(96), 100);
    EXPECT_EQ(scaleFromDpi(120), 125);
    EXPECT_EQ(scaleFromDpi(144), 150);
    EXPECT_EQ(scaleFromDpi(191), 198); // just below 200%: rounded down
    EXPECT_EQ(scaleFromDpi(192), 200);
    EXPECT_EQ(scaleFromDpi(288), 300);
    EXPECT_EQ(scaleFromDpi(0), 0);
    EXPECT_EQ(scaleFromDpi(-96), 0);
    EXPECT_EQ(scaleFromFactorText("2"), 200);
    EXPECT_EQ(scaleFromFactorText("1.1"), 110);
    EXPECT_EQ(scaleFromFactorText("1.5"), 150);
    EXPECT_EQ(scaleFromFactorText("0"), 0);
    EXPECT_EQ(scaleFromFactorText("two"), 0);
    EXPECT_EQ(scaleFromFactorText(nullptr), 0);
}

TEST(DesktopScale, X11DesktopsAndTheZoomTheyGive) {
    // Xft.dpi, GDK_SCALE, QT_SCALE_FACTOR (null: not set) -> measured scale
    // and the zoom at or below it.
    const struct {
        const char *dpi, *gdk, *qt;
        int32_t scale, zoom;
    } cases[] = {
        {nullptr, nullptr, nullptr, 0, 100}, // nothing said: 100%
        {"96", nullptr, nullptr, 100, 100},  {"120", nullptr, nullptr, 125, 100},
        {"144", nullptr, nullptr, 150, 150}, {"168", nullptr, nullptr, 175, 150},
        {"192", nullptr, nullptr, 200, 200}, {"192.0", nullptr, nullptr, 200, 200},
        {"288", nullptr, nullptr, 300, 300}, {"384", nullptr, nullptr, 400, 300},
        {"96", "2", nullptr, 200, 200},      // a GTK desktop scaled by its variable
        {nullptr, nullptr, "1.5", 150, 150}, // a Qt desktop scaled by its variable
        {"192", "2", nullptr, 200, 200},     // both say 2: not 4
        {"192", "1", "1", 200, 200},         {"96", "", "", 100, 100}, // empty variables are unset
        {"garbage", "2", "x", 200, 200}, // unusable values are left out
        {"-192", "0", "-1", 0, 100},         {"96", "3", "1.5", 300, 300},
    };
    for (const auto& c : cases) {
        const int32_t scale = x11DesktopScale(c.dpi, c.gdk, c.qt);
        EXPECT_EQ(scale, c.scale) << (c.dpi ? c.dpi : "-") << " " << (c.gdk ? c.gdk : "-") << " "
                                  << (c.qt ? c.qt : "-");
        EXPECT_EQ(Zoom::atOrBelow(scale).percent(), c.zoom);
    }
}
