// Text through cairo, with fonts chosen by fontconfig. The Windows faces the
// toolkit asks for are mapped to the Liberation families, which have the same
// metrics ("Arial" to "Liberation Sans" and so on).
#include <algorithm>
#include <cairo-ft.h>
#include <cairo.h>
#include <cmath>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <map>
#include <strings.h>
#include <tuple>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "gui/platform/software/TextRasteriser.h"

namespace platform::software {

namespace {

const char* liberationFamily(const char* face) {
    struct Mapping {
        const char* face;
        const char* family;
    };
    static const Mapping mappings[] = {
        {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"System", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Times", "Liberation Serif"},
        // No Liberation face matches the symbol font's metrics; a serif face
        // keeps the decorative font distinct and deterministic.
        {"Symbol", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Courier", "Liberation Mono"},
    };
    for (const Mapping& m : mappings) {
        if (strcasecmp(face, m.face) == 0) {
            return m.family;
        }
    }
    if (strncasecmp(face, "Liberation", 10) == 0) {
        return face;
    }
    return "Liberation Sans";
}

// 8-bit text (the Windows Latin-1 code page, taken as ISO 8859-1) to UTF-8.
std::string toUtf8(const char* text) {
    std::string out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < 0x80) {
            out.push_back(static_cast<char>(*c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (*c >> 6)));
            out.push_back(static_cast<char>(0x80 | (*c & 0x3F)));
        }
    }
    return out;
}

// Surfaces hold red in the low byte; cairo's 24-bit pixels hold blue there.
uint32_t swapRedBlue(uint32_t pixel) {
    return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

struct LoadedFont {
    cairo_scaled_font_t* scaled = nullptr;
    std::string family;
    FontMetrics metrics;
    int32_t underlinePosition = 0; // pixels below the baseline
    int32_t underlineThickness = 1;
    int32_t strikePosition = 0; // pixels above the baseline
    int32_t strikeThickness = 1;
};

class CairoTextRasteriser : public TextRasteriser {
public:
    CairoTextRasteriser() {
        options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    }

    ~CairoTextRasteriser() override {
        for (auto& entry : fonts) {
            cairo_scaled_font_destroy(entry.second.scaled);
        }
        cairo_font_options_destroy(options);
    }

    const char* name() const override { return "cairo"; }

    std::string resolvedFamily(const FontDescription& font) override {
        const LoadedFont* f = load(font);
        return f ? f->family : std::string();
    }

    FontMetrics metrics(const FontDescription& font) override {
        const LoadedFont* f = load(font);
        return f ? f->metrics : FontMetrics{};
    }

    int32_t textWidth(const FontDescription& font, const char* text) override {
        const LoadedFont* f = load(font);
        if (!f || !text || !*text) {
            return 0;
        }
        std::string utf8 = toUtf8(text);
        cairo_text_extents_t extents;
        cairo_scaled_font_text_extents(f->scaled, utf8.c_str(), &extents);
        return static_cast<int32_t>(std::lround(extents.x_advance));
    }

    void drawText(Surface& surface, const PixelRect& clip, const FontDescription& font,
                  const char* text, int32_t x, int32_t baseline, ColourRef colour) override {
        const LoadedFont* f = load(font);
        PixelRect area = intersect(clip, surface.bounds());
        if (!f || !text || !*text || isEmpty(area)) {
            return;
        }
        int32_t width = textWidth(font, text);
        // Draw into a colour copy of the clipped area, so that monochrome
        // surfaces and the unused top byte of each pixel are handled in one place.
        int32_t w = area.right - area.left, h = area.bottom - area.top;
        std::vector<uint32_t> buffer(static_cast<size_t>(w) * h);
        for (int32_t j = 0; j < h; ++j) {
            for (int32_t i = 0; i < w; ++i) {
                buffer[static_cast<size_t>(j) * w + i] =
                    swapRedBlue(surface.at(area.left + i, area.top + j));
            }
        }
        cairo_surface_t* target = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(buffer.data()), CAIRO_FORMAT_RGB24, w, h, w * 4);
        cairo_t* cr = cairo_create(target);
        cairo_translate(cr, -area.left, -area.top);
        cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                             ((colour >> 16) & 0xFF) / 255.0);
        cairo_set_scaled_font(cr, f->scaled);
        std::string utf8 = toUtf8(text);
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, utf8.c_str());
        if (font.underline) {
            cairo_rectangle(cr, x, baseline + f->underlinePosition, width, f->underlineThickness);
            cairo_fill(cr);
        }
        if (font.strikeOut) {
            cairo_rectangle(cr, x, baseline - f->strikePosition, width, f->strikeThickness);
            cairo_fill(cr);
        }
        cairo_destroy(cr);
        cairo_surface_flush(target);
        cairo_surface_destroy(target);
        for (int32_t j = 0; j < h; ++j) {
            for (int32_t i = 0; i < w; ++i) {
                putPixel(surface, area, area.left + i, area.top + j,
                         swapRedBlue(buffer[static_cast<size_t>(j) * w + i]));
            }
        }
    }

private:
    using Key = std::tuple<std::string, int32_t, bool, bool>;

    const LoadedFont* load(const FontDescription& description) {
        char face[sizeof(description.faceName) + 1] = {};
        std::memcpy(face, description.faceName, sizeof(description.faceName));
        const char* family = liberationFamily(face);
        bool bold = description.weight >= 600;
        bool italic = description.italic != 0;
        Key key(family, description.height, bold, italic);
        auto found = fonts.find(key);
        if (found != fonts.end()) {
            return found->second.scaled ? &found->second : nullptr;
        }
        LoadedFont& font = fonts[key];

        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) {
            return nullptr;
        }
        FcChar8* matchedFamily = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch) {
            font.family = reinterpret_cast<const char*>(matchedFamily);
        }
        cairo_font_face_t* fontFace = cairo_ft_font_face_create_for_pattern(match);
        FcPatternDestroy(match);

        // Design metrics at one unit, to turn the requested height into pixels.
        double em = 12.0;
        font.scaled = create(fontFace, 64.0);
        DesignMetrics design = designMetrics(font.scaled);
        cairo_scaled_font_destroy(font.scaled);
        if (description.height < 0) {
            em = -static_cast<double>(description.height);
        } else if (description.height > 0 && design.ascent + design.descent > 0) {
            em = description.height * design.unitsPerEm / (design.ascent + design.descent);
        }
        font.scaled = create(fontFace, em);
        cairo_font_face_destroy(fontFace);
        if (cairo_scaled_font_status(font.scaled) != CAIRO_STATUS_SUCCESS) {
            cairo_scaled_font_destroy(font.scaled);
            font.scaled = nullptr;
            return nullptr;
        }
        double scale = em / design.unitsPerEm;
        font.metrics.ascent = static_cast<int32_t>(std::lround(design.ascent * scale));
        font.metrics.descent = static_cast<int32_t>(std::lround(design.descent * scale));
        font.underlinePosition = std::max<int32_t>(
            1, static_cast<int32_t>(std::lround(-design.underlinePosition * scale)));
        font.underlineThickness = std::max<int32_t>(
            1, static_cast<int32_t>(std::lround(design.underlineThickness * scale)));
        font.strikePosition = static_cast<int32_t>(std::lround(design.strikePosition * scale));
        font.strikeThickness =
            std::max<int32_t>(1, static_cast<int32_t>(std::lround(design.strikeThickness * scale)));
        return &font;
    }

    cairo_scaled_font_t* create(cairo_font_face_t* face, double em) {
        cairo_matrix_t size, identity;
        cairo_matrix_init_scale(&size, em, em);
        cairo_matrix_init_identity(&identity);
        return cairo_scaled_font_create(face, &size, &identity, options);
    }

    struct DesignMetrics {
        double unitsPerEm = 2048;
        double ascent = 1854;
        double descent = 434;
        double underlinePosition = -217;
        double underlineThickness = 150;
        double strikePosition = 530;
        double strikeThickness = 102;
    };

    // The font's own units: the Windows ascent and descent of its OS/2 table
    // when it has one (what the platform's text cell is built from).
    static DesignMetrics designMetrics(cairo_scaled_font_t* scaled) {
        DesignMetrics d;
        FT_Face face = cairo_ft_scaled_font_lock_face(scaled);
        if (!face) {
            return d;
        }
        if (face->units_per_EM) {
            d.unitsPerEm = face->units_per_EM;
            d.ascent = face->ascender;
            d.descent = -face->descender;
            d.underlinePosition = face->underline_position;
            d.underlineThickness = face->underline_thickness;
        }
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            d.ascent = os2->usWinAscent;
            d.descent = os2->usWinDescent;
            d.strikePosition = os2->yStrikeoutPosition;
            d.strikeThickness = os2->yStrikeoutSize;
        }
        cairo_ft_scaled_font_unlock_face(scaled);
        return d;
    }

    cairo_font_options_t* options = nullptr;
    std::map<Key, LoadedFont> fonts;
};

} // namespace

std::unique_ptr<TextRasteriser> createCairoTextRasteriser() {
    return std::make_unique<CairoTextRasteriser>();
}

std::unique_ptr<TextRasteriser> createTextRasteriser() {
    return createCairoTextRasteriser();
}

} // namespace platform::software
