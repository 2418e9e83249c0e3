// The GDI text rasteriser: fonts made once per description, their metrics and widths, and text
// drawn by GDI into a memory bitmap and put back through the surface's own pixel rule.
#include "gui/platform/win32/GdiTextRasteriser.h"

#include "gui/platform/win32/Win32Platform.h"

#include <cstring>
#include <map>
#include <tuple>
#include <vector>
#include <windows.h>

namespace platform::win32 {

namespace {

using software::FontMetrics;
using software::Surface;

// Surfaces hold red in the low byte; 32-bit DIB pixels hold blue there.
uint32_t swapRedBlue(uint32_t pixel) {
    return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

class GdiTextRasteriser final : public software::TextRasteriser {
public:
    GdiTextRasteriser() : dc(CreateCompatibleDC(nullptr)) {
        if (dc) {
            originalFont = GetCurrentObject(dc, OBJ_FONT);
        }
    }

    ~GdiTextRasteriser() override {
        if (dc) {
            SelectObject(dc, originalFont);
            DeleteDC(dc);
        }
        for (auto& entry : fonts) {
            DeleteObject(entry.second);
        }
    }

    GdiTextRasteriser(const GdiTextRasteriser&) = delete;
    GdiTextRasteriser& operator=(const GdiTextRasteriser&) = delete;

    const char* name() const override { return "gdi"; }

    std::string resolvedFamily(const FontDescription& font) override {
        char face[LF_FACESIZE] = {};
        if (!select(font) || GetTextFaceA(dc, sizeof(face), face) <= 0) {
            return std::string();
        }
        return face;
    }

    FontMetrics metrics(const FontDescription& font) override {
        TEXTMETRICA text;
        if (!select(font) || !GetTextMetricsA(dc, &text)) {
            return FontMetrics{};
        }
        FontMetrics m;
        m.ascent = text.tmAscent;
        m.descent = text.tmDescent;
        return m;
    }

    int32_t textWidth(const FontDescription& font, const char* text) override {
        if (!text || !*text || !select(font)) {
            return 0;
        }
        SIZE extent;
        int length = static_cast<int>(strnlen(text, 0x7FFFFFFF));
        if (!GetTextExtentPoint32A(dc, text, length, &extent)) {
            return 0;
        }
        return extent.cx;
    }

    void drawText(Surface& surface, const PixelRect& clip, const FontDescription& font,
                  const char* text, int32_t x, int32_t baseline, ColourRef colour) override {
        PixelRect area = software::intersect(clip, surface.bounds());
        if (!text || !*text || software::isEmpty(area) || !select(font)) {
            return;
        }
        int32_t w = area.right - area.left;
        int32_t h = area.bottom - area.top;
        // Draw into a colour copy of the clipped area, then put the pixels
        // back through the surface's own rule (monochrome surfaces included).
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!section || !bits) {
            if (section) {
                DeleteObject(section);
            }
            return;
        }
        auto* pixels = static_cast<uint32_t*>(bits);
        for (int32_t j = 0; j < h; ++j) {
            for (int32_t i = 0; i < w; ++i) {
                pixels[static_cast<size_t>(j) * w + i] =
                    swapRedBlue(surface.at(area.left + i, area.top + j));
            }
        }
        HGDIOBJ previousBitmap = SelectObject(dc, section);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colour);
        UINT previousAlign = SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
        int length = static_cast<int>(strnlen(text, 0x7FFFFFFF));
        TextOutA(dc, x - area.left, baseline - area.top, text, length);
        GdiFlush();
        SetTextAlign(dc, previousAlign);
        SelectObject(dc, previousBitmap);
        for (int32_t j = 0; j < h; ++j) {
            for (int32_t i = 0; i < w; ++i) {
                software::putPixel(
                    surface, area, area.left + i, area.top + j,
                    swapRedBlue(pixels[static_cast<size_t>(j) * w + i] & 0x00FFFFFFu));
            }
        }
        DeleteObject(section);
    }

private:
    using Key = std::tuple<std::string, int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t,
                           uint8_t, uint8_t>;

    // Selects the font of the description into the rasteriser's context,
    // creating it on first use.
    bool select(const FontDescription& font) {
        if (!dc) {
            return false;
        }
        size_t length = strnlen(font.faceName, sizeof(font.faceName));
        std::string face(font.faceName, length < LF_FACESIZE ? length : LF_FACESIZE - 1);
        Key key(face, font.height, font.width, font.weight, font.italic, font.underline,
                font.strikeOut, font.charSet, font.pitchAndFamily);
        auto found = fonts.find(key);
        HFONT handle = nullptr;
        if (found != fonts.end()) {
            handle = found->second;
        } else {
            handle = reinterpret_cast<HFONT>(createGdiFont(font));
            if (!handle) {
                return false;
            }
            fonts.emplace(key, handle);
        }
        return SelectObject(dc, handle) != nullptr;
    }

    HDC dc;
    HGDIOBJ originalFont = nullptr;
    std::map<Key, HFONT> fonts;
};

} // namespace

std::unique_ptr<software::TextRasteriser> createGdiTextRasteriser() {
    return std::make_unique<GdiTextRasteriser>();
}

} // namespace platform::win32
