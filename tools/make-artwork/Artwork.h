// The editor's three bitmaps, drawn with cairo from one description at every
// zoom of the editor: the panel, the slider handle and the slider trough
// (300 x 245, 22 x 17 and 182 x 27 panel pixels).
#pragma once

#include "gui/Zoom.h"
#include "tools/make-artwork/Bmp.h"

namespace artwork {

// Sizes of the three pictures and the places on the panel that the editor's
// controls cover; the troughs of the panel must sit exactly under the sliders.
// All in panel pixels.
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

// Device sizes of the pictures at a zoom: exactly the blocks the editor copies
// (the panel's window, a slider's rectangle, and the largest block a handle
// is drawn into wherever it stands).
struct Sizes {
    int panelWidth, panelHeight;
    int troughWidth, troughHeight;
    int handleWidth, handleHeight;
};
Sizes sizesAt(Zoom zoom);

// The trough, 8 bits per channel (stored at 24 bits per pixel), drawn for the
// place of the sliders on the panel.
Image drawTrough(Zoom zoom = Zoom());
// The handle, already rounded to 5-5-5 levels; pixels outside its rounded
// outline (at least the four corners) are exactly white, the transparent
// colour. Its edge is blended into the trough it travels over, never into
// white, so that no light fringe shows around it. `trough` is drawTrough at
// the same zoom.
Image drawHandle(const Image& trough, Zoom zoom = Zoom());
// The panel, already reduced to 5-5-5 levels (dithered); each slider rectangle
// holds the trough rounded to 5-5-5, painted top to bottom.
Image drawPanel(const Image& trough, Zoom zoom = Zoom());
// The panel as the editor shows it: sliders at the given values and value
// boxes, all three pictures at the given zoom.
Image composePreview(const Image& panel, const Image& trough, const Image& handle,
                     const float values[kRows], Zoom zoom = Zoom());

// Left edge of a handle inside its slider for a value (what the slider draws),
// in panel pixels.
int handleLeft(float value);

} // namespace artwork
