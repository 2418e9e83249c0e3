// The drawing kit's pieces: the cairo image and its conversions, placing on whole device
// pixels, rounded rectangles, spaced text, and the reductions to 5-5-5 colours.
#include "tools/make-artwork/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace artwork {

namespace {

constexpr const char* kFace = "Liberation Sans";

} // namespace

Canvas::Canvas(int w, int h, cairo_format_t format)
    : surface(cairo_image_surface_create(format, w, h)), cr(cairo_create(surface)) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

Canvas::~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void Canvas::load(const Image& image) {
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(data + size_t(y) * stride, &image.pixels[size_t(y) * image.width],
                    size_t(image.width) * 4);
    }
    cairo_surface_mark_dirty(surface);
}

Image Canvas::image() {
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

Place::Place(Zoom z, int panelX, int panelY)
    : zoom(z), originX(panelX), originY(panelY), scale(z.percent() / 100.0),
      phaseX(scale * panelX - z.toDevice(panelX)), phaseY(scale * panelY - z.toDevice(panelY)) {}

double Place::unit() const {
    return std::round(scale);
}

void Place::apply(cairo_t* cr) const {
    cairo_translate(cr, phaseX, phaseY);
    cairo_scale(cr, scale, scale);
}

void Place::pixelLine(cairo_t* cr, int x0, int y0, int x1, int y1) const {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    auto centreX = [&](int v) { return (blockX(v) + blockX(v + 1)) / 2.0; };
    auto centreY = [&](int v) { return (blockY(v) + blockY(v + 1)) / 2.0; };
    const double width =
        x0 == x1 && y0 != y1 ? blockX(x0 + 1) - blockX(x0) : blockY(y0 + 1) - blockY(y0);
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, centreX(x0), centreY(y0));
    cairo_line_to(cr, centreX(x1), centreY(y1));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void Place::fillBlock(cairo_t* cr, int x, int y, int w, int h) const {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, blockX(x), blockY(y), blockX(x + w) - blockX(x), blockY(y + h) - blockY(y));
    cairo_fill(cr);
    cairo_restore(cr);
}

void deviceLine(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0 + width / 2, y0 + width / 2);
    cairo_line_to(cr, x1 + width / 2, y1 + width / 2);
    cairo_stroke(cr);
}

void setRgb(cairo_t* cr, int r, int g, int b, double a) {
    cairo_set_source_rgba(cr, r / 255.0, g / 255.0, b / 255.0, a);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    constexpr double kPi = 3.14159265358979323846;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void selectFont(cairo_t* cr, double size, bool bold, bool italic) {
    cairo_select_font_face(cr, kFace, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

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

} // namespace artwork
