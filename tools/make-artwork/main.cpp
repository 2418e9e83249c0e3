// make-artwork: draws the editor's bitmaps at every zoom of the editor and
// writes them as the resource files of the plug-in.
//
//   make-artwork OUTPUT_DIR [--preview PREVIEW_DIR]
//
// OUTPUT_DIR receives panel.bmp (16 bits per pixel), handle.bmp (16 bits per
// pixel) and trough.bmp (24 bits per pixel) for 100%, and the same three
// pictures for every other zoom as panel-150.bmp, handle-150.bmp and so on.
// With --preview, PNG pictures of the bitmaps (as stored) and of the panel
// with its controls are written too (panel.png, editor.png, editor-200.png...).
#include "tools/make-artwork/Artwork.h"

#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool writePng(const std::string& path, const artwork::Image& image) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(data + size_t(y) * stride, &image.pixels[size_t(y) * image.width],
                    size_t(image.width) * 4);
    }
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

int usage() {
    std::fprintf(stderr, "usage: make-artwork OUTPUT_DIR [--preview PREVIEW_DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string outDir, previewDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0) {
            if (i + 1 >= argc) {
                return usage();
            }
            previewDir = argv[++i];
        } else if (outDir.empty() && argv[i][0] != '-') {
            outDir = argv[i];
        } else {
            return usage();
        }
    }
    if (outDir.empty()) {
        return usage();
    }

    for (int32_t percent : Zoom::kFactors) {
        const Zoom zoom(percent);
        const std::string suffix = zoom.isIdentity() ? "" : "-" + std::to_string(percent);
        const artwork::Image trough = artwork::drawTrough(zoom);
        const artwork::Image handle = artwork::drawHandle(trough, zoom);
        const artwork::Image panel = artwork::drawPanel(trough, zoom);

        const std::string panelFile = outDir + "/panel" + suffix + ".bmp";
        const std::string handleFile = outDir + "/handle" + suffix + ".bmp";
        const std::string troughFile = outDir + "/trough" + suffix + ".bmp";
        bool ok = artwork::writeBmp16(panelFile, panel);
        ok = artwork::writeBmp16(handleFile, handle) && ok;
        ok = artwork::writeBmp24(troughFile, trough) && ok;
        if (!ok) {
            std::fprintf(stderr, "make-artwork: cannot write the bitmaps into %s\n",
                         outDir.c_str());
            return 1;
        }
        if (previewDir.empty()) {
            continue;
        }
        // Read the files back so that the previews show exactly what was stored.
        artwork::BmpInfo p, h, t;
        if (!artwork::readBmp(panelFile, p) || !artwork::readBmp(handleFile, h) ||
            !artwork::readBmp(troughFile, t)) {
            std::fprintf(stderr, "make-artwork: cannot read the bitmaps back\n");
            return 1;
        }
        const float values[artwork::kRows] = {0.5f, 0.0f, 1.0f, 0.25f, 0.75f, 0.6f, 0.9f};
        const std::string base = previewDir + "/";
        ok = writePng(base + "panel" + suffix + ".png", p.image);
        ok = writePng(base + "handle" + suffix + ".png", h.image) && ok;
        ok = writePng(base + "trough" + suffix + ".png", t.image) && ok;
        ok = writePng(base + "editor" + suffix + ".png",
                      artwork::composePreview(p.image, t.image, h.image, values, zoom)) &&
             ok;
        if (!ok) {
            std::fprintf(stderr, "make-artwork: cannot write the previews into %s\n",
                         previewDir.c_str());
            return 1;
        }
    }
    return 0;
}
