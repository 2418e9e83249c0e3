// Decoding bitmap files (24-bit, 16-bit with and without masks, paletted, bare resource data,
// malformed input), and the embedded resources decoding at every zoom.
#include "gui/platform/BmpDecoder.h"

#include "gui/Zoom.h"
#include "gui/platform/EmbeddedResources.h"
#include "resources/ResourceIds.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

using platform::decodeBmp;
using platform::DecodedImage;

namespace {

void put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = x & 0xFF;
    v[at + 1] = (x >> 8) & 0xFF;
}
void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) {
        v[at + i] = (x >> (8 * i)) & 0xFF;
    }
}

// A bitmap file with a 40-byte info header and the given pixel rows (already
// padded), bottom-up unless height is negative.
std::vector<uint8_t> makeBmp(int32_t width, int32_t height, int bits,
                             const std::vector<uint8_t>& rows, uint32_t compression = 0,
                             const std::vector<uint32_t>& extra = {}) {
    size_t extraBytes = extra.size() * 4;
    std::vector<uint8_t> file(14 + 40 + extraBytes + rows.size());
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 2, static_cast<uint32_t>(file.size()));
    put32(file, 10, static_cast<uint32_t>(14 + 40 + extraBytes));
    put32(file, 14, 40);
    put32(file, 18, static_cast<uint32_t>(width));
    put32(file, 22, static_cast<uint32_t>(height));
    put16(file, 26, 1);
    put16(file, 28, static_cast<uint32_t>(bits));
    put32(file, 30, compression);
    for (size_t i = 0; i < extra.size(); ++i) {
        put32(file, 54 + 4 * i, extra[i]);
    }
    std::copy(rows.begin(), rows.end(), file.begin() + 54 + extraBytes);
    return file;
}

} // namespace

TEST(BmpDecoder, Decodes24BitBottomUpWithRowPadding) {
    // 3 x 2: stride 9 bytes padded to 12. File rows: bottom row first, BGR order.
    std::vector<uint8_t> rows = {// bottom row: red, green, blue
                                 0, 0, 255, 0, 255, 0, 255, 0, 0, 0xAA, 0xAA, 0xAA,
                                 // top row: white, black, (10, 20, 30)
                                 255, 255, 255, 0, 0, 0, 30, 20, 10, 0xAA, 0xAA, 0xAA};
    DecodedImage image;
    ASSERT_TRUE(decodeBmp(makeBmp(3, 2, 24, rows).data(), makeBmp(3, 2, 24, rows).size(), image));
    ASSERT_EQ(3, image.width);
    ASSERT_EQ(2, image.height);
    // Top row first, each pixel red + 256 green + 65536 blue.
    EXPECT_EQ(0xFFFFFFu, image.pixels[0]);
    EXPECT_EQ(0x000000u, image.pixels[1]);
    EXPECT_EQ(0x1E140Au, image.pixels[2]);
    EXPECT_EQ(0x0000FFu, image.pixels[3]);
    EXPECT_EQ(0x00FF00u, image.pixels[4]);
    EXPECT_EQ(0xFF0000u, image.pixels[5]);
}

TEST(BmpDecoder, Decodes16Bit555ExpandingFiveBitsToEight) {
    // 2 x 1 (stride 4): white 0x7FFF and (1, 16, 31) in 5-bit channels.
    uint32_t second = (1u << 10) | (16u << 5) | 31u;
    std::vector<uint8_t> rows = {0xFF, 0x7F, static_cast<uint8_t>(second & 0xFF),
                                 static_cast<uint8_t>(second >> 8)};
    std::vector<uint8_t> file = makeBmp(2, 1, 16, rows);
    DecodedImage image;
    ASSERT_TRUE(decodeBmp(file.data(), file.size(), image));
    EXPECT_EQ(0xFFFFFFu, image.pixels[0]); // pure white stays pure white
    // 5-bit v becomes v << 3 | v >> 2: 1 -> 8, 16 -> 132, 31 -> 255.
    EXPECT_EQ(8u | (132u << 8) | (255u << 16), image.pixels[1]);
}

TEST(BmpDecoder, Decodes16BitWithColourMasksAndTopDownRows) {
    // 5-6-5 masks after the header, height -2 (top row stored first).
    std::vector<uint8_t> rows = {0x00, 0xF8, 0, 0,  // top: pure red
                                 0xE0, 0x07, 0, 0}; // bottom: pure green
    std::vector<uint8_t> file = makeBmp(1, -2, 16, rows, 3, {0xF800, 0x07E0, 0x001F});
    DecodedImage image;
    ASSERT_TRUE(decodeBmp(file.data(), file.size(), image));
    EXPECT_EQ(0x0000FFu, image.pixels[0]);
    EXPECT_EQ(0x00FF00u, image.pixels[1]);
}

TEST(BmpDecoder, DecodesPalettedAndBareResourceData) {
    // 8 bits per pixel, palette of 2; then the same without the file header.
    std::vector<uint8_t> rows = {1, 0, 1, 0};
    std::vector<uint8_t> file = makeBmp(3, 1, 8, rows, 0, {0x00000000, 0x00336699});
    put32(file, 14 + 32, 2); // colours used
    DecodedImage image;
    ASSERT_TRUE(decodeBmp(file.data(), file.size(), image));
    EXPECT_EQ(0x33u | (0x66u << 8) | (0x99u << 16), image.pixels[0]);
    EXPECT_EQ(0u, image.pixels[1]);

    std::vector<uint8_t> bare(file.begin() + 14, file.end());
    DecodedImage fromResource;
    ASSERT_TRUE(decodeBmp(bare.data(), bare.size(), fromResource));
    EXPECT_EQ(image.pixels, fromResource.pixels);
}

TEST(BmpDecoder, RefusesMalformedInput) {
    std::vector<uint8_t> rows(12, 0);
    std::vector<uint8_t> good = makeBmp(3, 2, 24, rows);
    DecodedImage image;
    EXPECT_FALSE(decodeBmp(nullptr, 100, image));
    EXPECT_FALSE(decodeBmp(good.data(), 20, image));              // truncated header
    EXPECT_FALSE(decodeBmp(good.data(), good.size() - 1, image)); // truncated pixels
    EXPECT_TRUE(image.pixels.empty());

    std::vector<uint8_t> bad = good;
    put32(bad, 18, 0); // zero width
    EXPECT_FALSE(decodeBmp(bad.data(), bad.size(), image));
    bad = good;
    put16(bad, 28, 12); // unsupported depth
    EXPECT_FALSE(decodeBmp(bad.data(), bad.size(), image));
    bad = good;
    put32(bad, 30, 1); // run-length compression
    EXPECT_FALSE(decodeBmp(bad.data(), bad.size(), image));
    bad = good;
    put32(bad, 18, 0x7FFFFFFF); // absurd width
    EXPECT_FALSE(decodeBmp(bad.data(), bad.size(), image));
    bad = good;
    put32(bad, 10, 0xFFFFFFF0); // pixel data beyond the file
    EXPECT_FALSE(decodeBmp(bad.data(), bad.size(), image));
}

TEST(EmbeddedResources, UnknownIdsAreAbsentAndPresentOnesDecode) {
    EXPECT_EQ(nullptr, platform::findEmbeddedBitmap(0));
    EXPECT_EQ(nullptr, platform::findEmbeddedBitmap(65535));
    // Whatever the resource script names must decode, at every zoom.
    for (int32_t percent : Zoom::kFactors) {
        for (int base : {kPanelBitmapId, kHandleBitmapId, kTroughBitmapId}) {
            const auto id = static_cast<uint16_t>(Zoom(percent).bitmapId(base));
            if (const platform::EmbeddedResource* r = platform::findEmbeddedBitmap(id)) {
                DecodedImage image;
                EXPECT_TRUE(decodeBmp(r->data, r->size, image)) << id;
                EXPECT_GT(image.width, 0);
            }
        }
    }
}
