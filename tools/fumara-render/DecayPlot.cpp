// The decay picture drawn with cairo: the frame and grid with their numbers, one polyline per
// curve sampled once per pixel column, the legend, and the PNG file.
#include "tools/fumara-render/DecayPlot.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>

namespace analysis {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 600;
constexpr double kLeft = 70.0, kRight = 20.0, kTop = 50.0, kBottom = 60.0;
constexpr const char* kFace = "Liberation Sans";

struct Rgb {
    double r, g, b;
};
// Ten colours that stay apart on white.
constexpr Rgb kPalette[] = {
    {0.12, 0.47, 0.71}, {1.00, 0.50, 0.05}, {0.17, 0.63, 0.17}, {0.84, 0.15, 0.16},
    {0.58, 0.40, 0.74}, {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.40, 0.40, 0.40},
    {0.74, 0.74, 0.13}, {0.09, 0.75, 0.81},
};
constexpr int kPaletteSize = int(sizeof kPalette / sizeof kPalette[0]);

// The last time at which a curve still lies above `floorDb`.
double timeToFloor(const DecayCurve& curve, double floorDb) {
    size_t i = curve.level.size();
    while (i > 0 && !(curve.level[i - 1] > floorDb)) {
        --i;
    }
    return double(i) / curve.rate;
}

// A round step for about `count` divisions of `span`: 1, 2 or 5 times a power of ten.
double niceStep(double span, int count) {
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) {
            return m * power;
        }
    }
    return 10.0 * power;
}

void text(cairo_t* cr, double x, double y, const std::string& s, double alignX, double alignY) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x - e.x_bearing - alignX * e.width, y - e.y_bearing - alignY * e.height);
    cairo_show_text(cr, s.c_str());
}

std::string number(double value, double step) {
    char s[32];
    std::snprintf(s, sizeof s, step < 0.1 ? "%.2f" : step < 1.0 ? "%.1f" : "%.0f", value);
    return s;
}

} // namespace

bool writeDecayPlot(const std::string& path, const std::vector<DecayCurve>& curves,
                    const std::string& title, std::string& error, double floorDb) {
    double seconds = 0.0;
    for (const DecayCurve& c : curves) {
        seconds = std::max(seconds, timeToFloor(c, floorDb));
    }
    const double timeStep = niceStep(std::max(seconds, 0.01), 8);
    seconds = timeStep * std::ceil(std::max(seconds, 0.01) / timeStep);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    auto xOf = [&](double t) { return kLeft + plotW * t / seconds; };
    auto yOf = [&](double db) { return kTop + plotH * std::min(db, 0.0) / floorDb; };

    // Grid, frame and numbers.
    cairo_set_font_size(cr, 13);
    cairo_set_line_width(cr, 1);
    for (double t = 0.0; t <= seconds + timeStep / 2; t += timeStep) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, std::round(xOf(t)) + 0.5, kTop);
        cairo_line_to(cr, std::round(xOf(t)) + 0.5, kTop + plotH);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, xOf(t), kTop + plotH + 8, number(t, timeStep), 0.5, 0.0);
    }
    for (double db = 0.0; db >= floorDb - 0.5; db -= 10.0) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, kLeft, std::round(yOf(db)) + 0.5);
        cairo_line_to(cr, kLeft + plotW, std::round(yOf(db)) + 0.5);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, kLeft - 8, yOf(db), number(db, 10.0), 1.0, 0.5);
    }
    cairo_rectangle(cr, kLeft + 0.5, kTop + 0.5, plotW - 1, plotH - 1);
    cairo_stroke(cr);
    cairo_set_font_size(cr, 15);
    text(cr, kLeft + plotW / 2, kHeight - 22, "time after the impulse (s)", 0.5, 0.0);
    cairo_save(cr);
    cairo_translate(cr, 20, kTop + plotH / 2);
    cairo_rotate(cr, -M_PI / 2);
    text(cr, 0, 0, "energy decay (dB)", 0.5, 0.5);
    cairo_restore(cr);
    cairo_set_font_size(cr, 17);
    text(cr, kWidth / 2.0, 16, title, 0.5, 0.0);

    // The curves, clipped to the plot, one point per pixel column.
    cairo_save(cr);
    cairo_rectangle(cr, kLeft, kTop, plotW, plotH);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1.8);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const DecayCurve& c : curves) {
        const Rgb& colour = kPalette[((c.colour % kPaletteSize) + kPaletteSize) % kPaletteSize];
        cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
        const double dash[] = {7.0, 4.0};
        cairo_set_dash(cr, dash, c.dashed ? 2 : 0, 0.0);
        bool started = false;
        for (int px = 0; px <= int(plotW); ++px) {
            const size_t i = size_t(double(px) / plotW * seconds * c.rate);
            if (i >= c.level.size() || !std::isfinite(c.level[i])) {
                break;
            }
            const double y = yOf(std::max(c.level[i], floorDb - 5.0));
            if (started) {
                cairo_line_to(cr, kLeft + px, y);
            } else {
                cairo_move_to(cr, kLeft + px, y);
                started = true;
            }
        }
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    // The legend, top right inside the plot: one line per label, the first curve of each.
    cairo_set_font_size(cr, 13);
    std::vector<const DecayCurve*> shown;
    for (const DecayCurve& c : curves) {
        if (std::none_of(shown.begin(), shown.end(),
                         [&](const DecayCurve* s) { return s->label == c.label; })) {
            shown.push_back(&c);
        }
    }
    double legendW = 0.0;
    for (const DecayCurve* c : shown) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, c->label.c_str(), &e);
        legendW = std::max(legendW, e.x_advance);
    }
    const double row = 19.0, boxW = legendW + 52, boxH = row * double(shown.size()) + 10;
    const double boxX = kLeft + plotW - boxW - 10, boxY = kTop + 10;
    if (!shown.empty()) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, boxX + 0.5, boxY + 0.5, boxW, boxH);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    for (size_t k = 0; k < shown.size(); ++k) {
        const DecayCurve& c = *shown[k];
        const double y = boxY + 5 + row * (double(k) + 0.5);
        const Rgb& colour = kPalette[((c.colour % kPaletteSize) + kPaletteSize) % kPaletteSize];
        cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
        cairo_set_line_width(cr, 2.5);
        cairo_set_dash(cr, nullptr, 0, 0.0);
        cairo_move_to(cr, boxX + 8, y);
        cairo_line_to(cr, boxX + 38, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, boxX + 44, y, c.label, 0.0, 0.5);
    }

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

} // namespace analysis
