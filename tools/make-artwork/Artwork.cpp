#include "tools/make-artwork/Artwork.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace artwork {

const char* const kLabels[kRows] = {"ROOM SIZE", "PREDELAY",   "LOWCUT",   "HIGHCUT",
                                    "STEREO",    "REV. LEVEL", "DRY LEVEL"};

namespace {

constexpr const char* kFace = "Liberation Sans";
constexpr double kPi = 3.14159265358979323846;

// A small deterministic generator, so that the artwork is the same on every run.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1) {}
    // Uniform in [-1, 1).
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

// An owned cairo image surface with its context.
struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas(int w, int h, cairo_format_t format = CAIRO_FORMAT_RGB24)
        : surface(cairo_image_surface_create(format, w, h)), cr(cairo_create(surface)) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
    ~Canvas() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void load(const Image& image) {
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(data + size_t(y) * stride, &image.pixels[size_t(y) * image.width],
                        size_t(image.width) * 4);
        }
        cairo_surface_mark_dirty(surface);
    }
    Image image() {
        cairo_surface_flush(surface);
        const int w = cairo_image_surface_get_width(surface);
        const int h = cairo_image_surface_get_height(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        Image out(w, h);
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
            for (int x = 0; x < w; ++x) {
                out.at(x, y) = row[x] & 0xFFFFFF;
            }
        }
        return out;
    }
};

void setRgb(cairo_t* cr, int r, int g, int b, double a = 1.0) {
    cairo_set_source_rgba(cr, r / 255.0, g / 255.0, b / 255.0, a);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// One-pixel line between pixel centres, for crisp horizontal and vertical lines.
void pixelLine(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
}

void selectFont(cairo_t* cr, double size, bool bold, bool italic = false) {
    cairo_select_font_face(cr, kFace, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// Width of a text drawn with extra spacing between its letters.
double spacedWidth(cairo_t* cr, const std::string& text, double tracking) {
    double w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char one[2] = {text[i], 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        w += e.x_advance + (i + 1 < text.size() ? tracking : 0);
    }
    return w;
}

void showSpaced(cairo_t* cr, const std::string& text, double x, double baseline, double tracking) {
    for (char c : text) {
        char one[2] = {c, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, one, &e);
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, one);
        x += e.x_advance + tracking;
    }
}

double capHeight(cairo_t* cr) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, "H", &e);
    return -e.y_bearing;
}

// Text cut into the metal: a light edge below, the dark letters above it.
void engraved(cairo_t* cr, const std::string& text, double x, double baseline, double tracking,
              int shade) {
    setRgb(cr, 255, 255, 255, 0.75);
    showSpaced(cr, text, x, baseline + 1, tracking);
    setRgb(cr, shade, shade, shade + 3);
    showSpaced(cr, text, x, baseline, tracking);
}

// A countersunk cross-head screw.
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

// The brushed face: a light-to-darker fall from top to bottom, a broad sheen
// and fine horizontal streaks.
Image brushedFace(int w, int h) {
    Noise noise(0x5EEDF00D);
    std::vector<double> rowShift(static_cast<size_t>(h));
    for (double& v : rowShift) {
        v = 1.4 * noise.next();
    }
    std::vector<double> streak(size_t(w) * h);
    std::vector<double> raw(size_t(w) + 64);
    for (int y = 0; y < h; ++y) {
        for (double& v : raw) {
            v = noise.next();
        }
        // Long horizontal box blur of white noise: streaks along x.
        const int len = 24;
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = 0; k < len; ++k) {
                s += raw[size_t(x + k)];
            }
            streak[size_t(y) * w + x] = s / std::sqrt(double(len));
        }
    }
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fall = 219.0 - 26.0 * y / (h - 1);
            const double d = (x * 0.55 + y - 70.0) / 95.0;
            const double sheen =
                7.0 * std::exp(-d * d) - 2.0 * std::exp(-std::pow((x - w) / 60.0, 2));
            const double v = fall + sheen + rowShift[size_t(y)] + 1.3 * streak[size_t(y) * w + x];
            auto clamp8 = [](double c) { return int(std::lround(std::clamp(c, 0.0, 255.0))); };
            out.at(x, y) = rgb(clamp8(v - 2.0), clamp8(v - 0.5), clamp8(v + 2.5));
        }
    }
    return out;
}

// Error-diffusion to 5-5-5 levels: smooth shades keep their tone instead of banding.
Image dither555(const Image& in) {
    Image out(in.width, in.height);
    std::vector<double> err(size_t(in.width + 2) * 3 * 2, 0.0);
    auto row = [&](int which) { return &err[size_t(which & 1) * (in.width + 2) * 3]; };
    for (int y = 0; y < in.height; ++y) {
        double* cur = row(y);
        double* nxt = row(y + 1);
        std::fill(nxt, nxt + (in.width + 2) * 3, 0.0);
        for (int x = 0; x < in.width; ++x) {
            const uint32_t c = in.at(x, y);
            const int ch[3] = {red(c), green(c), blue(c)};
            int q[3];
            for (int k = 0; k < 3; ++k) {
                const double want = std::clamp(ch[k] + cur[(x + 1) * 3 + k], 0.0, 255.0);
                q[k] = nearest5(int(std::lround(want)));
                const double e = want - expand5(q[k]);
                cur[(x + 2) * 3 + k] += e * 7 / 16;
                nxt[(x + 0) * 3 + k] += e * 3 / 16;
                nxt[(x + 1) * 3 + k] += e * 5 / 16;
                nxt[(x + 2) * 3 + k] += e * 1 / 16;
            }
            out.at(x, y) = rgb(expand5(q[0]), expand5(q[1]), expand5(q[2]));
        }
    }
    return out;
}

Image round555(const Image& in) {
    Image out(in.width, in.height);
    for (size_t i = 0; i < in.pixels.size(); ++i) {
        out.pixels[i] = unpack555(pack555(in.pixels[i]));
    }
    return out;
}

// The recess of the trough, in trough coordinates.
constexpr double kChannelX = 3, kChannelY = 4, kChannelW = 176, kChannelH = 21, kChannelR = 4;

} // namespace

int handleLeft(float value) {
    // 1 + truncation of 153 x value, never left of 6 and never right of 181 - 22.
    int left = 1 + int(153.0 * double(value));
    left = std::max(left, 6);
    left = std::min(left, 181 - kHandleWidth);
    return left;
}

Image drawTrough() {
    Canvas c(kTroughWidth, kTroughHeight);
    cairo_t* cr = c.cr;
    // Plate the trough is cut into.
    setRgb(cr, 190, 192, 197);
    cairo_paint(cr);
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
    const double slotL = 10, slotR = kTroughWidth - 10;
    setRgb(cr, 18, 18, 20);
    cairo_rectangle(cr, slotL, 13, slotR - slotL, 2);
    cairo_fill(cr);
    setRgb(cr, 128, 131, 138);
    cairo_rectangle(cr, slotL, 15, slotR - slotL, 1);
    cairo_fill(cr);
    return c.image();
}

Image drawHandle(const Image& trough) {
    // Shape coverage decides which pixels are transparent.
    Canvas shape(kHandleWidth, kHandleHeight, CAIRO_FORMAT_A8);
    roundedRect(shape.cr, 0, 0, kHandleWidth, kHandleHeight, 3.5);
    cairo_set_source_rgba(shape.cr, 0, 0, 0, 1);
    cairo_fill(shape.cr);
    cairo_surface_flush(shape.surface);

    // The handle over the trough where it travels, so that its anti-aliased edge
    // blends into the colours it will be drawn over.
    Image under(kHandleWidth, kHandleHeight);
    for (int y = 0; y < kHandleHeight; ++y) {
        for (int x = 0; x < kHandleWidth; ++x) {
            under.at(x, y) = trough.at(60 + x, kHandleTop + y);
        }
    }
    Canvas c(kHandleWidth, kHandleHeight);
    c.load(under);
    cairo_t* cr = c.cr;
    const double w = kHandleWidth, h = kHandleHeight;
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
    setRgb(cr, 244, 150, 138, 0.75);
    pixelLine(cr, 3, 1, w - 4, 1);
    // Grip grooves either side of a light index line at the centre.
    for (double gx : {5.0, 15.0}) {
        setRgb(cr, 70, 6, 6, 0.85);
        pixelLine(cr, gx, 4, gx, h - 5);
        setRgb(cr, 226, 110, 100, 0.55);
        pixelLine(cr, gx + 1, 4, gx + 1, h - 5);
    }
    setRgb(cr, 60, 4, 4, 0.9);
    pixelLine(cr, 9, 3, 9, h - 4);
    setRgb(cr, 246, 236, 228);
    cairo_rectangle(cr, 10, 3, 2, h - 6);
    cairo_fill(cr);
    setRgb(cr, 60, 4, 4, 0.9);
    pixelLine(cr, 12, 3, 12, h - 4);
    cairo_restore(cr);

    Image out = round555(c.image());
    const unsigned char* cov = cairo_image_surface_get_data(shape.surface);
    const int covStride = cairo_image_surface_get_stride(shape.surface);
    const uint32_t white = rgb(255, 255, 255);
    const uint32_t nearWhite = rgb(expand5(31), expand5(31), expand5(30));
    for (int y = 0; y < kHandleHeight; ++y) {
        for (int x = 0; x < kHandleWidth; ++x) {
            if (cov[size_t(y) * covStride + x] < 20) {
                out.at(x, y) = white;
            } else if (out.at(x, y) == white) {
                out.at(x, y) = nearWhite; // never transparent inside the outline
            }
        }
    }
    return out;
}

Image drawPanel(const Image& trough) {
    const int w = kPanelWidth, h = kPanelHeight;
    Canvas c(w, h);
    c.load(brushedFace(w, h));
    cairo_t* cr = c.cr;

    // Outer edge of the panel: a light bevel above and left, dark below and right.
    setRgb(cr, 255, 255, 255, 0.85);
    pixelLine(cr, 0, 0, w - 1, 0);
    pixelLine(cr, 0, 0, 0, h - 1);
    setRgb(cr, 255, 255, 255, 0.35);
    pixelLine(cr, 1, 1, w - 2, 1);
    pixelLine(cr, 1, 1, 1, h - 2);
    setRgb(cr, 70, 72, 78);
    pixelLine(cr, 0, h - 1, w - 1, h - 1);
    pixelLine(cr, w - 1, 0, w - 1, h - 1);
    setRgb(cr, 70, 72, 78, 0.4);
    pixelLine(cr, 1, h - 2, w - 2, h - 2);
    pixelLine(cr, w - 2, 1, w - 2, h - 2);

    screw(cr, 10.5, 10.5);
    screw(cr, w - 10.5, 10.5);
    screw(cr, 10.5, h - 10.5);
    screw(cr, w - 10.5, h - 10.5);

    // Title plate at the top centre.
    const double plateW = 150, plateH = 22, plateX = (w - plateW) / 2, plateY = 4;
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
    setRgb(cr, 230, 120, 110, 0.6);
    pixelLine(cr, plateX + 3, plateY + 1, plateX + plateW - 4, plateY + 1);
    {
        const std::string maker = "KDLV", name = "Fumara";
        selectFont(cr, 14, true);
        const double makerW = spacedWidth(cr, maker, 1.0);
        const double cap = capHeight(cr);
        selectFont(cr, 14, false);
        const double nameW = spacedWidth(cr, name, 1.0);
        const double gap = 6;
        double x = std::round((w - (makerW + gap + nameW)) / 2);
        const double base = std::round(plateY + plateH / 2 + cap / 2);
        selectFont(cr, 14, true);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
        showSpaced(cr, maker, x, base + 1, 1.0);
        setRgb(cr, 246, 238, 226);
        showSpaced(cr, maker, x, base, 1.0);
        selectFont(cr, 14, false);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
        showSpaced(cr, name, x + makerW + gap, base + 1, 1.0);
        setRgb(cr, 232, 206, 196);
        showSpaced(cr, name, x + makerW + gap, base, 1.0);
    }

    // Inset frame around the column of sliders.
    const int colL = kSliderLeft, colT = kSliderTop, colR = kSliderLeft + kTroughWidth;
    const int colB = kSliderTop + kRowStep * (kRows - 1) + kTroughHeight;
    setRgb(cr, 96, 98, 104);
    pixelLine(cr, colL - 1, colT - 1, colR, colT - 1);
    pixelLine(cr, colL - 1, colT - 1, colL - 1, colB);
    setRgb(cr, 255, 255, 255, 0.9);
    pixelLine(cr, colL - 1, colB, colR, colB);
    pixelLine(cr, colR, colT - 1, colR, colB);

    // Seats of the value boxes and the labels beside them.
    selectFont(cr, 9, true);
    const double labelCap = capHeight(cr);
    for (int i = 0; i < kRows; ++i) {
        const int top = kBoxTop + kRowStep * i, bottom = kBoxBottom + kRowStep * i;
        setRgb(cr, 98, 100, 106);
        pixelLine(cr, kBoxLeft - 1, top - 1, kBoxRight + 1, top - 1);
        pixelLine(cr, kBoxLeft - 1, top - 1, kBoxLeft - 1, bottom + 1);
        setRgb(cr, 255, 255, 255, 0.9);
        pixelLine(cr, kBoxLeft - 1, bottom + 1, kBoxRight + 1, bottom + 1);
        pixelLine(cr, kBoxRight + 1, top - 1, kBoxRight + 1, bottom + 1);
        const double centre = (top + bottom) / 2.0 + 0.5;
        engraved(cr, kLabels[i], kBoxRight + 6, std::round(centre + labelCap / 2), 0.6, 44);
    }

    // Maker's name along the bottom edge, between two engraved rules.
    {
        selectFont(cr, 11, true, true);
        const std::string maker = "Tarnwick";
        const double tw = spacedWidth(cr, maker, 1.5);
        const double base = h - 8;
        const double x = std::round((w - tw) / 2);
        const double ruleY = base - capHeight(cr) / 2 - 1;
        for (auto [x0, x1] : {std::pair<double, double>{24, x - 10}, {x + tw + 10, w - 25.0}}) {
            setRgb(cr, 120, 122, 128);
            pixelLine(cr, x0, ruleY, x1, ruleY);
            setRgb(cr, 255, 255, 255, 0.85);
            pixelLine(cr, x0, ruleY + 1, x1, ruleY + 1);
        }
        engraved(cr, maker, x, base, 1.5, 60);
    }

    Image out = dither555(c.image());
    // The troughs, exactly as the sliders will draw them, top to bottom.
    const Image troughQ = round555(trough);
    for (int i = 0; i < kRows; ++i) {
        for (int y = 0; y < kTroughHeight; ++y) {
            for (int x = 0; x < kTroughWidth; ++x) {
                out.at(kSliderLeft + x, kSliderTop + kRowStep * i + y) = troughQ.at(x, y);
            }
        }
    }
    return out;
}

Image composePreview(const Image& panel, const Image& trough, const Image& handle,
                     const float values[kRows]) {
    Image out = panel;
    const uint32_t white = rgb(255, 255, 255);
    for (int i = 0; i < kRows; ++i) {
        const int sx = kSliderLeft, sy = kSliderTop + kRowStep * i;
        for (int y = 0; y < kTroughHeight; ++y) {
            for (int x = 0; x < kTroughWidth; ++x) {
                out.at(sx + x, sy + y) = trough.at(x, y);
            }
        }
        const int hx = sx + handleLeft(values[i]), hy = sy + kHandleTop;
        for (int y = 0; y < kHandleHeight; ++y) {
            for (int x = 0; x < kHandleWidth; ++x) {
                if (handle.at(x, y) != white) {
                    out.at(hx + x, hy + y) = handle.at(x, y);
                }
            }
        }
    }
    Canvas c(out.width, out.height);
    c.load(out);
    cairo_t* cr = c.cr;
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    for (int i = 0; i < kRows; ++i) {
        const int top = kBoxTop + kRowStep * i, bottom = kBoxBottom + kRowStep * i;
        setRgb(cr, 230, 230, 230);
        cairo_rectangle(cr, kBoxLeft + 1, top + 1, kBoxRight - kBoxLeft - 1, bottom - top - 1);
        cairo_fill(cr);
        setRgb(cr, 0, 0, 0);
        cairo_rectangle(cr, kBoxLeft + 0.5, top + 0.5, kBoxRight - kBoxLeft, bottom - top);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        char text[32];
        std::snprintf(text, sizeof text, "%2.2f", double(values[i]));
        cairo_text_extents_t e;
        cairo_text_extents(cr, text, &e);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        const double x = std::round((kBoxLeft + kBoxRight + 1 - e.x_advance) / 2);
        const double base = std::round((top + bottom + 1) / 2.0 + (fe.ascent - fe.descent) / 2);
        cairo_move_to(cr, x, base);
        cairo_show_text(cr, text);
    }
    return c.image();
}

} // namespace artwork
