// Text for the software drawing in the Windows builds, drawn by GDI itself:
// the same fonts, metrics and glyphs as the win32 backend's text, rendered
// into a memory bitmap and copied onto the in-memory surface.
#pragma once

#include "gui/platform/software/TextRasteriser.h"

#include <memory>

namespace platform::win32 {

std::unique_ptr<software::TextRasteriser> createGdiTextRasteriser();

} // namespace platform::win32
