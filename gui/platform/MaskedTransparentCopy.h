// The transparent copy of a platform that has none of its own, made of block
// copies through a one-bit mask. The win32 backend falls back on it where the
// optional library with the platform's transparent copy is missing.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>

namespace platform {

// Copies the width x height block at (sourceX, sourceY) of `source` to (x, y)
// of `destination`, leaving the destination as it was under source pixels of
// the transparent colour, in three passes: destination XOR source, AND a mask
// that is white where the source is transparent, XOR source again. The
// destination's background and text colours are given back afterwards; the
// source's background colour is left at the transparent colour. False when
// the mask could not be made (nothing was drawn then).
bool maskedTransparentCopy(Platform& platform, DeviceContextHandle destination, int32_t x,
                           int32_t y, int32_t width, int32_t height, DeviceContextHandle source,
                           int32_t sourceX, int32_t sourceY, ColourRef transparent);

} // namespace platform
