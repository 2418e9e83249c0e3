// The editor's three bitmaps, drawn with cairo: the 300 x 245 panel, the
// 22 x 17 slider handle and the 182 x 27 slider trough.
#pragma once

#include "tools/make-artwork/Bmp.h"

namespace artwork {

// Sizes of the three pictures and the places on the panel that the editor's
// controls cover; the troughs of the panel must sit exactly under the sliders.
constexpr int kPanelWidth = 300;
constexpr int kPanelHeight = 245;
constexpr int kHandleWidth = 22;
constexpr int kHandleHeight = 17;
constexpr int kTroughWidth = 182;
constexpr int kTroughHeight = 27;
constexpr int kRows = 7;
constexpr int kSliderLeft = 7;
constexpr int kSliderTop = 31;
constexpr int kRowStep = kTroughHeight - 1;    // neighbouring slider rows share one line
constexpr int kHandleTop = 6;                  // handle offset inside a slider
constexpr int kBoxLeft = 193, kBoxRight = 221; // value boxes, outline included
constexpr int kBoxTop = 36, kBoxBottom = 50;   // first row; later rows add kRowStep

extern const char* const kLabels[kRows];

// The trough, 8 bits per channel (stored at 24 bits per pixel).
Image drawTrough();
// The handle, already rounded to 5-5-5 levels; pixels outside its rounded
// outline (at least the four corners) are exactly white, the transparent colour.
Image drawHandle(const Image& trough);
// The panel, already reduced to 5-5-5 levels (dithered); each slider rectangle
// holds the trough rounded to 5-5-5, painted top to bottom.
Image drawPanel(const Image& trough);
// The panel as the editor shows it: sliders at the given values and value boxes.
Image composePreview(const Image& panel, const Image& trough, const Image& handle,
                     const float values[kRows]);

// Left edge of a handle inside its slider for a value (what the slider draws).
int handleLeft(float value);

} // namespace artwork
