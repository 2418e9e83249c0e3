// Drawing the trough, the handle and the panel at a zoom (brushed metal, screws, engraved
// text, the troughs under the sliders), and a preview of the panel with its controls.
#include "tools/make-artwork/Artwork.h"

#include "tools/make-artwork/Canvas.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace artwork {

const char* const kLabels[kRows] = {"ROOM SIZE", "PREDELAY",   "LOWCUT",   "HIGHCUT",
                                    "STEREO",    "REV. LEVEL", "DRY LEVEL"};

namespace {

constexpr double kPi = 3.14159265358979323846;

// Text cut into the metal: a light edge below, the dark letters above it.
void engraved(cairo_t* cr, const std::string& text, double x, double baseline, double tracking,
              double edge, int shade) {
    setRgb(cr, 255, 255, 255, 0.75);
    showSpaced(cr, text, x, baseline + edge, tracking);
    setRgb(cr, shade, shade, shade + 3);
    showSpaced(cr, text, x, baseline, tracking);
}

// A countersunk cross-head screw, in panel coordinates.
void screw(cairo_t* cr, double cx, double cy) {
    const double r = 4.5;
    // Countersink: dark above-left, light below-right.
    cairo_arc(cr, cx, cy, r + 1.0, 0, 2 * kPi);
    cairo_pattern_t* rim = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    cairo_pattern_add_color_stop_rgba(rim, 0, 0.30, 0.30, 0.32, 0.8);
    cairo_pattern_add_color_stop_rgba(rim, 1, 1, 1, 1, 0.9);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    // Domed head.
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - 1.5, cy - 1.5, 0.5, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(head, 0, 0.95, 0.95, 0.96);
    cairo_pattern_add_color_stop_rgb(head, 1, 0.60, 0.61, 0.63);
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    // Cross slot, light edge below the dark cut.
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, kPi / 7);
    cairo_set_line_width(cr, 1.2);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.7);
        } else {
            cairo_set_source_rgba(cr, 0.18, 0.18, 0.2, 0.95);
        }
        const double o = pass == 0 ? 0.7 : 0.0;
        cairo_move_to(cr, -3.0 + o, o);
        cairo_line_to(cr, 3.0 + o, o);
        cairo_move_to(cr, o, -3.0 + o);
        cairo_line_to(cr, o, 3.0 + o);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

// The brushed face, w x h device pixels at `scale` device pixels per panel
// pixel: a light-to-darker fall from top to bottom, a broad sheen and fine
// horizontal streaks (as fine as the device pixels).
Image brushedFace(int w, int h, double scale) {
    Noise noise(0x5EEDF00D);
    std::vector<double> rowShift(static_cast<size_t>(h));
    for (double& v : rowShift) {
        v = 1.4 * noise.next();
    }
    const int len = int(std::lround(24 * scale)); // long horizontal box blur: streaks along x
    std::vector<double> streak(size_t(w) * h);
    std::vector<double> raw(size_t(w) + size_t(len) + 40);
    for (int y = 0; y < h; ++y) {
        for (double& v : raw) {
            v = noise.next();
        }
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = 0; k < len; ++k) {
                s += raw[size_t(x + k)];
            }
            streak[size_t(y) * w + x] = s / std::sqrt(double(len));
        }
    }
    const double panelW = w / scale; // the panel's width in panel pixels
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double px = x / scale, py = y / scale; // where on the panel
            const double fall = 219.0 - 26.0 * y / (h - 1);
            const double d = (px * 0.55 + py - 70.0) / 95.0;
            const double sheen =
                7.0 * std::exp(-d * d) - 2.0 * std::exp(-std::pow((px - panelW) / 60.0, 2));
            const double v = fall + sheen + rowShift[size_t(y)] + 1.3 * streak[size_t(y) * w + x];
            auto clamp8 = [](double c) { return int(std::lround(std::clamp(c, 0.0, 255.0))); };
            out.at(x, y) = rgb(clamp8(v - 2.0), clamp8(v - 0.5), clamp8(v + 2.5));
        }
    }
    return out;
}

// The recess of the trough, in trough coordinates.
constexpr double kChannelX = 3, kChannelY = 4, kChannelW = 176, kChannelH = 21, kChannelR = 4;
// Where the handle's colours under its edge are taken from the trough.
constexpr int kHandleSampleLeft = 60;

} // namespace

Sizes sizesAt(Zoom zoom) {
    Sizes s{};
    s.panelWidth = zoom.toDevice(kPanelWidth);
    s.panelHeight = zoom.toDevice(kPanelHeight);
    s.troughWidth = zoom.deviceLength(kSliderLeft, kTroughWidth);
    s.troughHeight = zoom.deviceLength(kSliderTop, kTroughHeight);
    // Across the travel the handle's block is as wide as 22 panel pixels at
    // their widest; every row of sliders puts it at the same device phase.
    s.handleWidth = 0;
    for (int x = 0; x < Zoom::kFactors[Zoom::kFactorCount - 1]; ++x) {
        s.handleWidth = std::max(s.handleWidth, zoom.deviceLength(x, kHandleWidth));
    }
    s.handleHeight = zoom.deviceLength(kSliderTop + kHandleTop, kHandleHeight);
    return s;
}

int handleLeft(float value) {
    // 1 + truncation of 153 x value, never left of 6 and never right of 181 - 22.
    int left = 1 + int(153.0 * double(value));
    left = std::max(left, 6);
    left = std::min(left, 181 - kHandleWidth);
    return left;
}

Image drawTrough(Zoom zoom) {
    const Sizes sizes = sizesAt(zoom);
    const Place at(zoom, kSliderLeft, kSliderTop);
    Canvas c(sizes.troughWidth, sizes.troughHeight);
    cairo_t* cr = c.cr;
    // Plate the trough is cut into.
    setRgb(cr, 190, 192, 197);
    cairo_paint(cr);
    at.apply(cr);
    // Light lip below and right of the recess.
    roundedRect(cr, kChannelX - 0.5, kChannelY - 0.5, kChannelW + 2, kChannelH + 2, kChannelR + 1);
    setRgb(cr, 246, 247, 249);
    cairo_fill(cr);
    // Dark lip above and left.
    roundedRect(cr, kChannelX - 1, kChannelY - 1, kChannelW + 1.5, kChannelH + 1.5, kChannelR + 1);
    setRgb(cr, 120, 122, 128);
    cairo_fill(cr);
    // The recess itself.
    roundedRect(cr, kChannelX, kChannelY, kChannelW, kChannelH, kChannelR);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, kChannelY, 0, kChannelY + kChannelH);
    cairo_pattern_add_color_stop_rgb(fill, 0.0, 40 / 255.0, 41 / 255.0, 45 / 255.0);
    cairo_pattern_add_color_stop_rgb(fill, 0.25, 64 / 255.0, 66 / 255.0, 71 / 255.0);
    cairo_pattern_add_color_stop_rgb(fill, 1.0, 92 / 255.0, 95 / 255.0, 101 / 255.0);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    // Inner shadow along the upper edge.
    cairo_save(cr);
    cairo_clip(cr);
    roundedRect(cr, kChannelX + 0.5, kChannelY + 1.5, kChannelW - 1, kChannelH + 3, kChannelR);
    cairo_set_line_width(cr, 2.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    cairo_restore(cr);
    // Guide slot along the middle of the handle's path, with a light lower edge.
    const int slotL = 10, slotR = kTroughWidth - 10;
    setRgb(cr, 18, 18, 20);
    at.fillBlock(cr, slotL, 13, slotR - slotL, 2);
    setRgb(cr, 128, 131, 138);
    at.fillBlock(cr, slotL, 15, slotR - slotL, 1);
    return c.image();
}

Image drawHandle(const Image& trough, Zoom zoom) {
    const Sizes sizes = sizesAt(zoom);
    const int dw = sizes.handleWidth, dh = sizes.handleHeight;
    // The handle stands at the same vertical phase in every row; horizontally
    // its picture starts on a whole device pixel.
    const Place at(zoom, 0, kSliderTop + kHandleTop);
    const double w = kHandleWidth, h = kHandleHeight;

    // Shape coverage decides which pixels are transparent.
    Canvas shape(dw, dh, CAIRO_FORMAT_A8);
    at.apply(shape.cr);
    roundedRect(shape.cr, 0, 0, w, h, 3.5);
    cairo_set_source_rgba(shape.cr, 0, 0, 0, 1);
    cairo_fill(shape.cr);
    cairo_surface_flush(shape.surface);

    // The handle over the trough where it travels, so that its anti-aliased edge
    // blends into the colours it will be drawn over.
    const Place inTrough(zoom, kSliderLeft, kSliderTop);
    const int sampleX = inTrough.blockX(kHandleSampleLeft), sampleY = inTrough.blockY(kHandleTop);
    Image under(dw, dh);
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            under.at(x, y) = trough.at(sampleX + x, sampleY + y);
        }
    }
    Canvas c(dw, dh);
    c.load(under);
    cairo_t* cr = c.cr;
    at.apply(cr);
    roundedRect(cr, 0, 0, w, h, 3.5);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 196 / 255.0, 58 / 255.0, 52 / 255.0);
    cairo_pattern_add_color_stop_rgb(body, 0.45, 146 / 255.0, 26 / 255.0, 24 / 255.0);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 92 / 255.0, 10 / 255.0, 10 / 255.0);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    cairo_save(cr);
    cairo_clip(cr);
    // Dark rim, lighter top edge.
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3.0);
    setRgb(cr, 54, 4, 4, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    const int iw = kHandleWidth, ih = kHandleHeight;
    setRgb(cr, 244, 150, 138, 0.75);
    at.pixelLine(cr, 3, 1, iw - 4, 1);
    // Grip grooves either side of a light index line at the centre.
    for (int gx : {5, 15}) {
        setRgb(cr, 70, 6, 6, 0.85);
        at.pixelLine(cr, gx, 4, gx, ih - 5);
        setRgb(cr, 226, 110, 100, 0.55);
        at.pixelLine(cr, gx + 1, 4, gx + 1, ih - 5);
    }
    setRgb(cr, 60, 4, 4, 0.9);
    at.pixelLine(cr, 9, 3, 9, ih - 4);
    setRgb(cr, 246, 236, 228);
    at.fillBlock(cr, 10, 3, 2, ih - 6);
    setRgb(cr, 60, 4, 4, 0.9);
    at.pixelLine(cr, 12, 3, 12, ih - 4);
    cairo_restore(cr);

    Image out = round555(c.image());
    const unsigned char* cov = cairo_image_surface_get_data(shape.surface);
    const int covStride = cairo_image_surface_get_stride(shape.surface);
    const uint32_t white = rgb(255, 255, 255);
    const uint32_t nearWhite = rgb(expand5(31), expand5(31), expand5(30));
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            if (cov[size_t(y) * covStride + x] < 20) {
                out.at(x, y) = white;
            } else if (out.at(x, y) == white) {
                out.at(x, y) = nearWhite; // never transparent inside the outline
            }
        }
    }
    return out;
}

Image drawPanel(const Image& trough, Zoom zoom) {
    const Sizes sizes = sizesAt(zoom);
    const Place at(zoom, 0, 0);
    const double z = at.factor(), unit = at.unit();
    const int w = kPanelWidth, h = kPanelHeight;
    const double deviceW = at.x(w); // the panel's width in device pixels
    Canvas c(sizes.panelWidth, sizes.panelHeight);
    c.load(brushedFace(sizes.panelWidth, sizes.panelHeight, z));
    cairo_t* cr = c.cr;

    // Outer edge of the panel: a light bevel above and left, dark below and right.
    setRgb(cr, 255, 255, 255, 0.85);
    at.pixelLine(cr, 0, 0, w - 1, 0);
    at.pixelLine(cr, 0, 0, 0, h - 1);
    setRgb(cr, 255, 255, 255, 0.35);
    at.pixelLine(cr, 1, 1, w - 2, 1);
    at.pixelLine(cr, 1, 1, 1, h - 2);
    setRgb(cr, 70, 72, 78);
    at.pixelLine(cr, 0, h - 1, w - 1, h - 1);
    at.pixelLine(cr, w - 1, 0, w - 1, h - 1);
    setRgb(cr, 70, 72, 78, 0.4);
    at.pixelLine(cr, 1, h - 2, w - 2, h - 2);
    at.pixelLine(cr, w - 2, 1, w - 2, h - 2);

    // Screws and the title plate at the top centre: shapes in panel coordinates.
    const double plateW = 150, plateH = 22, plateX = (w - plateW) / 2, plateY = 4;
    cairo_save(cr);
    at.apply(cr);
    screw(cr, 10.5, 10.5);
    screw(cr, w - 10.5, 10.5);
    screw(cr, 10.5, h - 10.5);
    screw(cr, w - 10.5, h - 10.5);
    roundedRect(cr, plateX - 0.5, plateY + 0.5, plateW + 2, plateH + 1.5, 3.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_fill(cr);
    roundedRect(cr, plateX - 1, plateY - 1, plateW + 2, plateH + 2, 3.5);
    setRgb(cr, 255, 255, 255, 0.8);
    cairo_fill(cr);
    roundedRect(cr, plateX, plateY, plateW, plateH, 3);
    cairo_pattern_t* plate = cairo_pattern_create_linear(0, plateY, 0, plateY + plateH);
    cairo_pattern_add_color_stop_rgb(plate, 0.0, 150 / 255.0, 30 / 255.0, 28 / 255.0);
    cairo_pattern_add_color_stop_rgb(plate, 0.5, 112 / 255.0, 16 / 255.0, 16 / 255.0);
    cairo_pattern_add_color_stop_rgb(plate, 1.0, 80 / 255.0, 8 / 255.0, 9 / 255.0);
    cairo_set_source(cr, plate);
    cairo_fill(cr);
    cairo_pattern_destroy(plate);
    roundedRect(cr, plateX + 0.5, plateY + 0.5, plateW - 1, plateH - 1, 2.5);
    setRgb(cr, 40, 3, 4, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_restore(cr);
    setRgb(cr, 230, 120, 110, 0.6);
    at.pixelLine(cr, int(plateX) + 3, int(plateY) + 1, int(plateX + plateW) - 4, int(plateY) + 1);
    {
        const std::string maker = "KDLV", name = "Fumara";
        const double tracking = 1.0 * z;
        selectFont(cr, 14 * z, true);
        const double makerW = spacedWidth(cr, maker, tracking);
        const double cap = capHeight(cr);
        selectFont(cr, 14 * z, false);
        const double nameW = spacedWidth(cr, name, tracking);
        const double gap = 6 * z;
        double x = std::round((deviceW - (makerW + gap + nameW)) / 2);
        const double base = std::round(at.y(plateY) + z * plateH / 2 + cap / 2);
        selectFont(cr, 14 * z, true);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
        showSpaced(cr, maker, x, base + unit, tracking);
        setRgb(cr, 246, 238, 226);
        showSpaced(cr, maker, x, base, tracking);
        selectFont(cr, 14 * z, false);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
        showSpaced(cr, name, x + makerW + gap, base + unit, tracking);
        setRgb(cr, 232, 206, 196);
        showSpaced(cr, name, x + makerW + gap, base, tracking);
    }

    // Inset frame around the column of sliders.
    const int colL = kSliderLeft, colT = kSliderTop, colR = kSliderLeft + kTroughWidth;
    const int colB = kSliderTop + kRowStep * (kRows - 1) + kTroughHeight;
    setRgb(cr, 96, 98, 104);
    at.pixelLine(cr, colL - 1, colT - 1, colR, colT - 1);
    at.pixelLine(cr, colL - 1, colT - 1, colL - 1, colB);
    setRgb(cr, 255, 255, 255, 0.9);
    at.pixelLine(cr, colL - 1, colB, colR, colB);
    at.pixelLine(cr, colR, colT - 1, colR, colB);

    // Seats of the value boxes and the labels beside them.
    selectFont(cr, 9 * z, true);
    const double labelCap = capHeight(cr);
    for (int i = 0; i < kRows; ++i) {
        const int top = kBoxTop + kRowStep * i, bottom = kBoxBottom + kRowStep * i;
        setRgb(cr, 98, 100, 106);
        at.pixelLine(cr, kBoxLeft - 1, top - 1, kBoxRight + 1, top - 1);
        at.pixelLine(cr, kBoxLeft - 1, top - 1, kBoxLeft - 1, bottom + 1);
        setRgb(cr, 255, 255, 255, 0.9);
        at.pixelLine(cr, kBoxLeft - 1, bottom + 1, kBoxRight + 1, bottom + 1);
        at.pixelLine(cr, kBoxRight + 1, top - 1, kBoxRight + 1, bottom + 1);
        // The middle of the box's rows, top to bottom included.
        const double centre = (at.blockY(top) + at.blockY(bottom + 1)) / 2.0;
        engraved(cr, kLabels[i], std::round(at.x(kBoxRight + 6)), std::round(centre + labelCap / 2),
                 0.6 * z, unit, 44);
    }

    // Maker's name along the bottom edge, between two engraved rules.
    {
        selectFont(cr, 11 * z, true, true);
        const std::string maker = "Tarnwick";
        const double tracking = 1.5 * z;
        const double tw = spacedWidth(cr, maker, tracking);
        const double base = std::round(z * (h - 8));
        const double x = std::round((deviceW - tw) / 2);
        const double ruleY = base - capHeight(cr) / 2 - unit;
        for (auto [x0, x1] :
             {std::pair<double, double>{z * 24, x - z * 10}, {x + tw + z * 10, z * (w - 25.0)}}) {
            setRgb(cr, 120, 122, 128);
            deviceLine(cr, x0, ruleY, x1, ruleY, unit);
            setRgb(cr, 255, 255, 255, 0.85);
            deviceLine(cr, x0, ruleY + unit, x1, ruleY + unit, unit);
        }
        engraved(cr, maker, x, base, tracking, unit, 60);
    }

    Image out = dither555(c.image());
    // The troughs, exactly as the sliders will draw them, top to bottom.
    const Image troughQ = round555(trough);
    for (int i = 0; i < kRows; ++i) {
        const int left = at.blockX(kSliderLeft), top = at.blockY(kSliderTop + kRowStep * i);
        for (int y = 0; y < troughQ.height; ++y) {
            for (int x = 0; x < troughQ.width; ++x) {
                out.at(left + x, top + y) = troughQ.at(x, y);
            }
        }
    }
    return out;
}

Image composePreview(const Image& panel, const Image& trough, const Image& handle,
                     const float values[kRows], Zoom zoom) {
    const Place at(zoom, 0, 0);
    const double z = at.factor();
    Image out = panel;
    const uint32_t white = rgb(255, 255, 255);
    for (int i = 0; i < kRows; ++i) {
        const int sx = kSliderLeft, sy = kSliderTop + kRowStep * i;
        for (int y = 0; y < trough.height; ++y) {
            for (int x = 0; x < trough.width; ++x) {
                out.at(at.blockX(sx) + x, at.blockY(sy) + y) = trough.at(x, y);
            }
        }
        // The block the slider copies the handle into.
        const int hx = sx + handleLeft(values[i]), hy = sy + kHandleTop;
        const int bw = zoom.deviceLength(hx, kHandleWidth);
        const int bh = zoom.deviceLength(hy, kHandleHeight);
        for (int y = 0; y < std::min(bh, handle.height); ++y) {
            for (int x = 0; x < std::min(bw, handle.width); ++x) {
                if (handle.at(x, y) != white) {
                    out.at(at.blockX(hx) + x, at.blockY(hy) + y) = handle.at(x, y);
                }
            }
        }
    }
    Canvas c(out.width, out.height);
    c.load(out);
    cairo_t* cr = c.cr;
    selectFont(cr, 11 * z, false);
    for (int i = 0; i < kRows; ++i) {
        const int top = kBoxTop + kRowStep * i, bottom = kBoxBottom + kRowStep * i;
        const int width = kBoxRight - kBoxLeft, height = bottom - top;
        // A grey box inside a black one-pixel outline, right and bottom included.
        setRgb(cr, 0, 0, 0);
        at.fillBlock(cr, kBoxLeft, top, width + 1, height + 1);
        setRgb(cr, 230, 230, 230);
        at.fillBlock(cr, kBoxLeft + 1, top + 1, width - 1, height - 1);
        setRgb(cr, 0, 0, 0);
        char text[32];
        std::snprintf(text, sizeof text, "%2.2f", double(values[i]));
        cairo_text_extents_t e;
        cairo_text_extents(cr, text, &e);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        const double x =
            std::round((at.blockX(kBoxLeft) + at.blockX(kBoxRight + 1) - e.x_advance) / 2);
        const double base = std::round((at.blockY(top) + at.blockY(bottom + 1)) / 2.0 +
                                       (fe.ascent - fe.descent) / 2);
        cairo_move_to(cr, x, base);
        cairo_show_text(cr, text);
    }
    return c.image();
}

} // namespace artwork
