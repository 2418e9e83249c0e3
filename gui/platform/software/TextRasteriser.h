// The software drawing's text, behind a small interface so that each build can
// use the font rasteriser it has (cairo with fontconfig on Linux, GDI in the
// Windows builds, a simple built-in one where neither is available).
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/Pixels.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform::software {

struct FontMetrics {
    int32_t ascent = 0;  // pixels above the baseline
    int32_t descent = 0; // pixels below the baseline
};

class TextRasteriser {
public:
    virtual ~TextRasteriser() = default;
    // A short name of the rasteriser ("cairo", "block").
    virtual const char* name() const = 0;
    // The family that really draws a font (after substitution).
    virtual std::string resolvedFamily(const FontDescription& font) = 0;
    virtual FontMetrics metrics(const FontDescription& font) = 0;
    // Sum of the glyph advances of 8-bit text, in whole pixels.
    virtual int32_t textWidth(const FontDescription& font, const char* text) = 0;
    // Draws 8-bit text (with its underline or strike-out) starting at x with its
    // baseline on row `baseline`, touching only pixels inside clip.
    virtual void drawText(Surface& surface, const PixelRect& clip, const FontDescription& font,
                          const char* text, int32_t x, int32_t baseline, ColourRef colour) = 0;
};

// The build's default rasteriser.
std::unique_ptr<TextRasteriser> createTextRasteriser();
// A rasteriser without any font system: every glyph is a solid box of fixed
// proportions. Deterministic on every platform.
std::unique_ptr<TextRasteriser> createBlockTextRasteriser();
#if !defined(_WIN32)
std::unique_ptr<TextRasteriser> createCairoTextRasteriser();
#endif

} // namespace platform::software
