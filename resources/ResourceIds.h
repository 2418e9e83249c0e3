// Ids of the bitmap resources inside the plug-in library (resources/fumara.rc).
#pragma once

enum : int {
    kPanelBitmapId = 101,  // panel.bmp: the 300 x 245 editor face, 16 bits per pixel
    kHandleBitmapId = 102, // handle.bmp: the 22 x 17 slider handle, 16 bits per pixel
    kTroughBitmapId = 103, // trough.bmp: the 182 x 27 slider trough, 24 bits per pixel
};

// The same pictures drawn for the editor's other zooms (panel-150.bmp and so
// on, same depths) have the zoom in percent times 100 added to their id: 20101
// is the panel at 200% (Zoom::bitmapId, through which the toolkit finds them).
