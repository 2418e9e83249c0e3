// The drawing kit behind the editor's artwork: a cairo image that converts to
// and from Image, the placement of a picture on the panel at a zoom (so that
// one-pixel details land on whole device pixels), text with letter spacing,
// and the reduction to the 5-5-5 colours of the 16-bit bitmaps.
#pragma once

#include "gui/Zoom.h"
#include "tools/make-artwork/Bmp.h"

#include <cairo.h>
#include <cstdint>
#include <string>

namespace artwork {

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

// An owned cairo image surface with its context, in device pixels.
class Canvas {
public:
    Canvas(int width, int height, cairo_format_t format = CAIRO_FORMAT_RGB24);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void load(const Image& image);
    Image image();

    cairo_surface_t* const surface;
    cairo_t* const cr;
};

// Where a picture lies on the panel, at a zoom: the picture's own panel
// coordinates (origin at its top-left corner) and its device pixels. A
// picture at an odd panel position starts half a device pixel into its first
// device pixel at 150%; the placement carries that phase, so that the
// picture lines up with the panel wherever the editor shows it.
class Place {
public:
    Place(Zoom zoom, int panelX, int panelY);

    // Continuous device coordinates of picture coordinates.
    double x(double v) const { return scale * v + phaseX; }
    double y(double v) const { return scale * v + phaseY; }
    // The first device pixel of the picture's panel pixel v.
    int blockX(int v) const { return zoom.deviceLength(originX, v); }
    int blockY(int v) const { return zoom.deviceLength(originY, v); }
    // One panel pixel in whole device pixels (1, 2, 2, 3): shadows and
    // offsets that must stay crisp.
    double unit() const;
    double factor() const { return scale; }

    // Makes the context draw in picture coordinates (shapes and gradients);
    // text and the crisp details below are drawn in device pixels.
    void apply(cairo_t* cr) const;
    // A line one panel pixel wide between the centres of the panel pixels
    // (x0, y0) and (x1, y1), horizontal or vertical, on whole device pixels.
    void pixelLine(cairo_t* cr, int x0, int y0, int x1, int y1) const;
    // Fills whole panel pixels: columns x to x + w - 1, rows y to y + h - 1.
    void fillBlock(cairo_t* cr, int x, int y, int w, int h) const;

private:
    Zoom zoom;
    int originX, originY;
    double scale, phaseX, phaseY;
};

// A line `width` device pixels wide whose top-left pixel corner is (x0, y0)
// and that ends at the pixel with corner (x1, y1); device coordinates.
void deviceLine(cairo_t* cr, double x0, double y0, double x1, double y1, double width);

void setRgb(cairo_t* cr, int r, int g, int b, double a = 1.0);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

// Text in the artwork's face; sizes, spacing and positions in device pixels.
void selectFont(cairo_t* cr, double size, bool bold, bool italic = false);
// Width of a text drawn with extra spacing between its letters.
double spacedWidth(cairo_t* cr, const std::string& text, double tracking);
void showSpaced(cairo_t* cr, const std::string& text, double x, double baseline, double tracking);
double capHeight(cairo_t* cr);

// Error-diffusion to 5-5-5 levels: smooth shades keep their tone instead of banding.
Image dither555(const Image& in);
Image round555(const Image& in);

} // namespace artwork
