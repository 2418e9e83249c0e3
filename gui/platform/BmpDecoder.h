// Decoding of device-independent bitmap files (.bmp) into 32-bit pixels, for
// platforms whose resource loader cannot read the library's bitmaps itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    // Top row first; each pixel red + 256 * green + 65536 * blue.
    std::vector<uint32_t> pixels;
};

// Decodes a bitmap file (with its 14-byte file header) or a bare bitmap (info
// header first, as resource data are stored). Accepts uncompressed 1, 4, 8, 16,
// 24 and 32 bits per pixel, bottom-up or top-down, and 16/32-bit colour masks;
// 16 bits without masks are 5-5-5. Answers false, leaving `image` empty, for
// anything malformed, truncated or unsupported.
bool decodeBmp(const uint8_t* data, size_t size, DecodedImage& image);

} // namespace platform
