// Reading and writing the uncompressed Windows bitmap files that the plug-in
// embeds as resources: 16 bits per pixel (5-5-5) and 24 bits per pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artwork {

// An 8-bit RGB image, row 0 at the top; each pixel is 0x00RRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint32_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

inline uint32_t rgb(int r, int g, int b) {
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}
inline int red(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline int green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline int blue(uint32_t c) {
    return c & 0xFF;
}

// 5-bit channel <-> 8-bit channel. Expansion replicates the top bits, so that
// 0 maps to 0 and 31 maps to exactly 255.
inline int expand5(int v) {
    return (v << 3) | (v >> 2);
}
int nearest5(int v8);

// Packs an 8-bit colour into a 5-5-5 word (bit 15 clear), rounding each channel
// to the nearest representable level, and back.
uint16_t pack555(uint32_t c);
uint32_t unpack555(uint16_t w);

// Writes the image as a bottom-up BI_RGB file. write16 rounds every pixel to
// 5-5-5; callers that dither do so before and pass representable colours.
bool writeBmp16(const std::string& path, const Image& image);
bool writeBmp24(const std::string& path, const Image& image);

// What a bitmap file holds, as far as the plug-in's resources need.
struct BmpInfo {
    int width = 0;
    int height = 0; // always positive; topDown says how rows are stored
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t fileSize = 0;
    uint32_t pixelOffset = 0;
    Image image;                 // pixels expanded to 8 bits per channel
    std::vector<uint16_t> raw16; // the stored words, 16-bit files only
};

// Reads a BI_RGB bitmap of 16 or 24 bits per pixel. Returns false with a
// message for anything else or for a truncated file.
bool readBmp(const std::string& path, BmpInfo& out, std::string* error = nullptr);
bool readBmp(const std::vector<uint8_t>& bytes, BmpInfo& out, std::string* error = nullptr);

} // namespace artwork
