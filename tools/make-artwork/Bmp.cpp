// Writing 16-bit (5-5-5) and 24-bit bitmap files and reading them back with their header
// checked.
#include "tools/make-artwork/Bmp.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace artwork {

int nearest5(int v8) {
    int best = 0;
    int bestError = 256;
    for (int q = 0; q < 32; ++q) {
        int e = std::abs(expand5(q) - v8);
        if (e < bestError) {
            bestError = e;
            best = q;
        }
    }
    return best;
}

uint16_t pack555(uint32_t c) {
    return uint16_t((nearest5(red(c)) << 10) | (nearest5(green(c)) << 5) | nearest5(blue(c)));
}

uint32_t unpack555(uint16_t w) {
    return rgb(expand5((w >> 10) & 31), expand5((w >> 5) & 31), expand5(w & 31));
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

uint32_t get16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (uint32_t(b[at + 1]) << 8);
}
uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return get16(b, at) | (get16(b, at + 2) << 16);
}

// File header (14 bytes) and BITMAPINFOHEADER (40 bytes) of a bottom-up BI_RGB file.
std::vector<uint8_t> header(const Image& image, int bits, size_t stride) {
    const uint32_t pixelBytes = uint32_t(stride * image.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + pixelBytes); // file size
    put32(out, 0);               // reserved
    put32(out, 54);              // offset of the pixels
    put32(out, 40);              // info header size
    put32(out, uint32_t(image.width));
    put32(out, uint32_t(image.height)); // positive: bottom-up
    put16(out, 1);                      // planes
    put16(out, uint32_t(bits));
    put32(out, 0); // BI_RGB
    put32(out, pixelBytes);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0); // colours used
    put32(out, 0); // important colours
    return out;
}

bool save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) {
        return false;
    }
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

bool fail(std::string* error, const char* message) {
    if (error) {
        *error = message;
    }
    return false;
}

} // namespace

bool writeBmp16(const std::string& path, const Image& image) {
    const size_t stride = (size_t(image.width) * 2 + 3) & ~size_t(3);
    std::vector<uint8_t> out = header(image, 16, stride);
    for (int y = image.height - 1; y >= 0; --y) {
        size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            put16(out, pack555(image.at(x, y)));
        }
        out.resize(rowStart + stride, 0);
    }
    return save(path, out);
}

bool writeBmp24(const std::string& path, const Image& image) {
    const size_t stride = (size_t(image.width) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> out = header(image, 24, stride);
    for (int y = image.height - 1; y >= 0; --y) {
        size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            uint32_t c = image.at(x, y);
            out.push_back(uint8_t(blue(c)));
            out.push_back(uint8_t(green(c)));
            out.push_back(uint8_t(red(c)));
        }
        out.resize(rowStart + stride, 0);
    }
    return save(path, out);
}

bool readBmp(const std::vector<uint8_t>& b, BmpInfo& out, std::string* error) {
    out = BmpInfo();
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        return fail(error, "not a bitmap file");
    }
    out.fileSize = get32(b, 2);
    out.pixelOffset = get32(b, 10);
    if (get32(b, 14) < 40) {
        return fail(error, "unsupported info header");
    }
    int32_t w = int32_t(get32(b, 18));
    int32_t h = int32_t(get32(b, 22));
    out.bitsPerPixel = int(get16(b, 28));
    out.compression = get32(b, 30);
    if (w <= 0 || h == 0 || w > 16384 || h > 16384 || h < -16384) {
        return fail(error, "bad size");
    }
    if (out.compression != 0) {
        return fail(error, "compressed bitmaps are not supported");
    }
    if (out.bitsPerPixel != 16 && out.bitsPerPixel != 24) {
        return fail(error, "only 16 and 24 bits per pixel are supported");
    }
    out.topDown = h < 0;
    out.width = w;
    out.height = h < 0 ? -h : h;
    const size_t bytesPerPixel = size_t(out.bitsPerPixel / 8);
    const size_t stride = (size_t(out.width) * bytesPerPixel + 3) & ~size_t(3);
    if (out.pixelOffset < 54 || out.pixelOffset + stride * out.height > b.size()) {
        return fail(error, "truncated pixel data");
    }
    out.image = Image(out.width, out.height);
    if (out.bitsPerPixel == 16) {
        out.raw16.assign(size_t(out.width) * out.height, 0);
    }
    for (int row = 0; row < out.height; ++row) {
        const int y = out.topDown ? row : out.height - 1 - row;
        const size_t at = out.pixelOffset + stride * row;
        for (int x = 0; x < out.width; ++x) {
            if (out.bitsPerPixel == 16) {
                uint16_t w16 = uint16_t(get16(b, at + 2 * size_t(x)));
                out.raw16[size_t(y) * out.width + x] = w16;
                out.image.at(x, y) = unpack555(w16);
            } else {
                const size_t p = at + 3 * size_t(x);
                out.image.at(x, y) = rgb(b[p + 2], b[p + 1], b[p]);
            }
        }
    }
    return true;
}

bool readBmp(const std::string& path, BmpInfo& out, std::string* error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        return fail(error, "cannot open file");
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                               std::istreambuf_iterator<char>());
    return readBmp(bytes, out, error);
}

} // namespace artwork
