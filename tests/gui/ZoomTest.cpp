// The editor's zoom: which factors exist, which one a measured desktop scale
// gives, and how panel pixels fall on device pixels at each of them.
#include "gui/Zoom.h"

#include <gtest/gtest.h>

TEST(Zoom, FactorsAndTheChoiceAtOrBelowAMeasuredScale) {
    EXPECT_EQ(Zoom().percent(), 100);
    EXPECT_EQ(Zoom(200).percent(), 200);
    // Anything else is 100%, never an odd size.
    for (int32_t odd : {0, -200, 125, 175, 250, 400, 1000}) {
        EXPECT_EQ(Zoom(odd).percent(), 100) << odd;
    }
    const struct {
        int32_t measured, chosen;
    } cases[] = {
        {0, 100},   {-50, 100}, {50, 100},  {100, 100}, {125, 100},
        {149, 100}, {150, 150}, {175, 150}, {199, 150}, {200, 200},
        {250, 200}, {299, 200}, {300, 300}, {400, 300}, {2000000000, 300},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Zoom::atOrBelow(c.measured).percent(), c.chosen) << c.measured;
    }
}

TEST(Zoom, PanelPixelsBecomeBlocksOfDevicePixels) {
    // Device pixel of panel coordinate v: v x zoom rounded down.
    const struct {
        int32_t percent, panel, device;
    } cases[] = {
        {100, 0, 0},     {100, 245, 245},
        {100, -7, -7},   {150, 1, 1},
        {150, 2, 3},     {150, 7, 10},
        {150, 31, 46},   {150, 245, 367},
        {150, -1, -2},   {200, 7, 14},
        {200, 245, 490}, {300, 189, 567},
        {300, -3, -9},   {150, 1431655764, 2147483646},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Zoom(c.percent).toDevice(c.panel), c.device) << c.percent << " " << c.panel;
    }
    // The 300 x 245 panel's window at each zoom.
    EXPECT_EQ(Zoom(150).toDevice(300), 450);
    EXPECT_EQ(Zoom(300).toDevice(245), 735);
    // A run's device length depends on where it starts at 150%: the 27 rows of
    // a slider at an odd row take 41 device rows, at an even row 40.
    EXPECT_EQ(Zoom(150).deviceLength(31, 27), 41);
    EXPECT_EQ(Zoom(150).deviceLength(30, 27), 40);
}

TEST(Zoom, DevicePixelsGoBackToThePanelPixelWhoseBlockHoldsThem) {
    for (int32_t percent : Zoom::kFactors) {
        const Zoom zoom(percent);
        for (int32_t p = -40; p < 400; ++p) {
            for (int32_t d = zoom.toDevice(p); d < zoom.toDevice(p + 1); ++d) {
                ASSERT_EQ(zoom.toPanel(d), p) << percent << "% device " << d;
            }
        }
    }
    // The mouse at device x 37 or 38 at 200% is panel x 18, where a slider
    // reads value 0; at 150% device 27 is panel 18 (block 27-28).
    EXPECT_EQ(Zoom(200).toPanel(37), 18);
    EXPECT_EQ(Zoom(200).toPanel(36), 18);
    EXPECT_EQ(Zoom(150).toPanel(27), 18);
    EXPECT_EQ(Zoom(150).toPanel(26), 17);
}

TEST(Zoom, FontHeightsRoundToTheNearestPixel) {
    EXPECT_EQ(Zoom(100).fontHeight(11), 11);
    EXPECT_EQ(Zoom(150).fontHeight(11), 17); // 16.5
    EXPECT_EQ(Zoom(150).fontHeight(12), 18);
    EXPECT_EQ(Zoom(200).fontHeight(11), 22);
    EXPECT_EQ(Zoom(300).fontHeight(9), 27);
    EXPECT_EQ(Zoom(150).fontHeight(-11), -17);
}
