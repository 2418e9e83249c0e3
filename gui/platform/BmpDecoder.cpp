// Decoding bitmap files with or without their file header: the header checks, the colour
// masks and table, and the rows read into 32-bit pixels.
#include "gui/platform/BmpDecoder.h"

namespace platform {

namespace {

constexpr int32_t maxDimension = 16384;

uint32_t read16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (p[1] << 8);
}
uint32_t read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One colour channel described by a bit mask, widened to 8 bits by repeating its
// bits (5 bits v become v << 3 | v >> 2, so 31 gives 255).
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!mask) {
            return;
        }
        while (!((mask >> shift) & 1u)) {
            ++shift;
        }
        while (shift + bits < 32 && ((mask >> (shift + bits)) & 1u)) {
            ++bits;
        }
    }

    uint32_t expand(uint32_t pixel) const {
        if (!bits) {
            return 0;
        }
        uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) {
            return v >> (bits - 8);
        }
        uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            int take = bits < 8 - filled ? bits : 8 - filled;
            out = (out << take) | (v >> (bits - take));
            filled += take;
        }
        return out;
    }
};

} // namespace

bool decodeBmp(const uint8_t* data, size_t size, DecodedImage& image) {
    image = DecodedImage();
    if (!data || size < 16) {
        return false;
    }
    size_t headerStart = 0;
    size_t pixelOffset = 0;
    bool hasFileHeader = data[0] == 'B' && data[1] == 'M';
    if (hasFileHeader) {
        if (size < 14 + 40) {
            return false;
        }
        headerStart = 14;
        pixelOffset = read32(data + 10);
    }
    const uint8_t* info = data + headerStart;
    uint32_t infoSize = read32(info);
    if (infoSize < 40 || infoSize > size - headerStart) {
        return false;
    }
    int32_t width = static_cast<int32_t>(read32(info + 4));
    int32_t rawHeight = static_cast<int32_t>(read32(info + 8));
    uint32_t planes = read16(info + 12);
    uint32_t bitCount = read16(info + 14);
    uint32_t compression = read32(info + 16);
    uint32_t coloursUsed = read32(info + 32);
    if (planes != 1 || width <= 0 || width > maxDimension || rawHeight == 0 ||
        rawHeight == INT32_MIN || rawHeight > maxDimension || rawHeight < -maxDimension) {
        return false;
    }
    bool topDown = rawHeight < 0;
    int32_t height = topDown ? -rawHeight : rawHeight;

    // Colour masks: in the header from version 4 on, after it with BI_BITFIELDS.
    const uint32_t biRgb = 0, biBitfields = 3;
    uint32_t masks[3] = {0, 0, 0};
    size_t tableStart = headerStart + infoSize;
    if (compression == biBitfields) {
        if (bitCount != 16 && bitCount != 32) {
            return false;
        }
        if (infoSize >= 52) {
            for (int i = 0; i < 3; ++i) {
                masks[i] = read32(info + 40 + 4 * i);
            }
        } else {
            if (tableStart + 12 > size) {
                return false;
            }
            for (int i = 0; i < 3; ++i) {
                masks[i] = read32(data + tableStart + 4 * i);
            }
            tableStart += 12;
        }
    } else if (compression != biRgb) {
        return false;
    } else if (bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bitCount == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }

    std::vector<uint32_t> palette;
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        uint32_t entries = coloursUsed ? coloursUsed : (1u << bitCount);
        if (entries > (1u << bitCount) || tableStart + 4ull * entries > size) {
            return false;
        }
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = data + tableStart + 4 * i;
            palette.push_back(static_cast<uint32_t>(e[2]) | (e[1] << 8) | (e[0] << 16));
        }
        tableStart += 4ull * entries;
    } else if (bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return false;
    }
    if (!hasFileHeader) {
        pixelOffset = tableStart;
    }

    uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (pixelOffset > size || stride * height > size - pixelOffset) {
        return false;
    }

    Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* line = data + pixelOffset + stride * row;
        int32_t y = topDown ? row : height - 1 - row;
        uint32_t* out = image.pixels.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t colour = 0;
            switch (bitCount) {
            case 1:
            case 4:
            case 8: {
                uint32_t bitPos = static_cast<uint32_t>(x) * bitCount;
                uint32_t byte = line[bitPos / 8];
                uint32_t index = (byte >> (8 - bitCount - bitPos % 8)) & ((1u << bitCount) - 1);
                colour = index < palette.size() ? palette[index] : 0;
                break;
            }
            case 16: {
                uint32_t p = read16(line + 2 * x);
                colour = red.expand(p) | (green.expand(p) << 8) | (blue.expand(p) << 16);
                break;
            }
            case 24: {
                const uint8_t* p = line + 3 * x;
                colour = static_cast<uint32_t>(p[2]) | (p[1] << 8) | (p[0] << 16);
                break;
            }
            case 32: {
                uint32_t p = read32(line + 4 * x);
                colour = red.expand(p) | (green.expand(p) << 8) | (blue.expand(p) << 16);
                break;
            }
            }
            out[x] = colour;
        }
    }
    return true;
}

} // namespace platform
