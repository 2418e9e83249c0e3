// Ids of the bitmap resources inside the plug-in library (resources/fumara.rc).
#pragma once

enum : int {
    kPanelBitmapId = 101,  // panel.bmp: the 300 x 245 editor face, 16 bits per pixel
    kHandleBitmapId = 102, // handle.bmp: the 22 x 17 slider handle, 16 bits per pixel
    kTroughBitmapId = 103, // trough.bmp: the 182 x 27 slider trough, 24 bits per pixel
};
