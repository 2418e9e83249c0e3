// The three-pass transparent copy through a one-bit mask.
#include "gui/platform/MaskedTransparentCopy.h"

namespace platform {

bool maskedTransparentCopy(Platform& p, DeviceContextHandle destination, int32_t x, int32_t y,
                           int32_t width, int32_t height, DeviceContextHandle source,
                           int32_t sourceX, int32_t sourceY, ColourRef transparent) {
    // The mask's colours as a monochrome copy sees them: 1 white, 0 black.
    ColourRef oldBackground = p.setBackgroundColour(destination, makeColourRef(255, 255, 255));
    ColourRef oldText = p.setTextColour(destination, makeColourRef(0, 0, 0));
    DeviceContextHandle maskContext = p.createCompatibleDC(destination);
    ObjectHandle mask = p.createMonochromeBitmap(width, height);
    ObjectHandle previousMask = p.selectObject(maskContext, mask);
    bool drawn = maskContext && mask && previousMask;
    if (drawn) {
        // Pixels of the transparent colour become 1 in the mask, all others 0.
        p.setBackgroundColour(source, transparent);
        p.blockCopy(maskContext, 0, 0, width, height, source, sourceX, sourceY, RopCopy);
        p.blockCopy(destination, x, y, width, height, source, sourceX, sourceY, RopInvert);
        p.blockCopy(destination, x, y, width, height, maskContext, 0, 0, RopAnd);
        p.blockCopy(destination, x, y, width, height, source, sourceX, sourceY, RopInvert);
    }
    // The mask context goes first, so that the mask is no longer selected anywhere.
    if (maskContext) {
        p.deleteDC(maskContext);
    }
    if (mask) {
        p.deleteObject(mask);
    }
    p.setBackgroundColour(destination, oldBackground);
    p.setTextColour(destination, oldText);
    return drawn;
}

} // namespace platform
