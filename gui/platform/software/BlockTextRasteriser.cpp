// A text rasteriser without any font system (solid boxes for glyphs), and the
// build's default rasteriser in the Windows builds.
#include "gui/platform/software/TextRasteriser.h"

#if defined(FUMARA_NATIVE_WIN32)
#include "gui/platform/win32/GdiTextRasteriser.h"
#endif

#include <cmath>
#include <cstring>

namespace platform::software {

namespace {

// Character height in pixels of a font description (cell heights are taken
// with the usual sans-serif ratio of character to cell height, 2048 : 2288).
double emHeight(const FontDescription& font) {
    if (font.height < 0) {
        return -static_cast<double>(font.height);
    }
    if (font.height > 0) {
        return font.height * 2048.0 / 2288.0;
    }
    return 12.0;
}

class BlockTextRasteriser : public TextRasteriser {
public:
    const char* name() const override { return "block"; }

    std::string resolvedFamily(const FontDescription& font) override { return "block"; }

    FontMetrics metrics(const FontDescription& font) override {
        double em = emHeight(font);
        return {static_cast<int32_t>(std::lround(em * 1854.0 / 2048.0)),
                static_cast<int32_t>(std::lround(em * 434.0 / 2048.0))};
    }

    int32_t textWidth(const FontDescription& font, const char* text) override {
        return text ? static_cast<int32_t>(std::strlen(text)) * advance(font) : 0;
    }

    void drawText(Surface& surface, const PixelRect& clip, const FontDescription& font,
                  const char* text, int32_t x, int32_t baseline, ColourRef colour) override {
        if (!text) {
            return;
        }
        FontMetrics m = metrics(font);
        int32_t step = advance(font);
        int32_t glyphTop = baseline - (m.ascent * 3) / 4;
        for (const char* c = text; *c; ++c, x += step) {
            if (*c != ' ') {
                fillRect(surface, clip, {x, glyphTop, x + step - 1, baseline}, colour);
            }
        }
        if (font.underline) {
            fillRect(
                surface, clip,
                {x - step * static_cast<int32_t>(std::strlen(text)), baseline + 1, x, baseline + 2},
                colour);
        }
    }

private:
    static int32_t advance(const FontDescription& font) {
        int32_t a = static_cast<int32_t>(std::lround(emHeight(font) * 0.55));
        return a > 1 ? a : 1;
    }
};

} // namespace

std::unique_ptr<TextRasteriser> createBlockTextRasteriser() {
    return std::make_unique<BlockTextRasteriser>();
}

#if defined(_WIN32)
std::unique_ptr<TextRasteriser> createTextRasteriser() {
#if defined(FUMARA_NATIVE_WIN32)
    return win32::createGdiTextRasteriser();
#else
    return createBlockTextRasteriser();
#endif
}
#endif

} // namespace platform::software
