// Ids of the bitmap resources inside the plug-in library (resources/fumara.rc).
#pragma once

enum : int {
    kPanelBitmapId = 101,  // panel.bmp: the 300 x 245 editor face, 16 bits per pixel
    kHandleBitmapId = 102, // handle.bmp: the 22 x 17 slider handle, 16 bits per pixel
    kTroughBitmapId = 103, // trough.bmp: the 182 x 27 slider trough, 24 bits per pixel
};

// The same pictures drawn for the editor's other zooms (panel-150.bmp and so
// on, same depths): the zoom in percent times 100, plus the last digits of the
// 100% id, so that 20001 is the panel at 200%. At 100% the id itself.
constexpr int zoomedBitmapId(int id, int percent) {
    return percent == 100 ? id : percent * 100 + (id - 100);
}
