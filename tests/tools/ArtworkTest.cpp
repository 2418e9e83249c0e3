// The editor's bitmaps: the committed resource files (sizes, depths, the
// transparent corners of the handle, troughs lined up under the sliders), the
// bitmap file reader and writer, and the generator itself.
#include "tools/make-artwork/Artwork.h"

#include "tools/make-artwork/Bmp.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace artwork;

namespace {

const std::string kResources = std::string(FUMARA_SOURCE_DIR) + "/resources/";

BmpInfo load(const std::string& name) {
    BmpInfo info;
    std::string error;
    EXPECT_TRUE(readBmp(kResources + name, info, &error)) << name << ": " << error;
    return info;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                                std::istreambuf_iterator<char>());
}

const uint32_t kWhite = rgb(255, 255, 255);

} // namespace

TEST(CommittedBitmaps, SizesAndDepths) {
    struct Expect {
        const char* name;
        int width, height, bits;
    } expected[] = {
        {"panel.bmp", 300, 245, 16}, {"handle.bmp", 22, 17, 16}, {"trough.bmp", 182, 27, 24}};
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.name);
        BmpInfo info = load(e.name);
        EXPECT_EQ(info.width, e.width);
        EXPECT_EQ(info.height, e.height);
        EXPECT_EQ(info.bitsPerPixel, e.bits);
        EXPECT_EQ(info.compression, 0u); // BI_RGB: 5-5-5 for 16 bits per pixel
        EXPECT_EQ(info.fileSize, bytesOf(kResources + e.name).size());
        // Every 16-bit word is 5-5-5 with the unused top bit clear.
        for (uint16_t w : info.raw16) {
            ASSERT_EQ(w & 0x8000, 0);
        }
    }
}

TEST(CommittedBitmaps, HandleCornersArePureWhiteAndOnlyOutsideTheOutline) {
    BmpInfo h = load("handle.bmp");
    ASSERT_EQ(h.raw16.size(), 22u * 17u);
    const int corners[4][2] = {{0, 0}, {21, 0}, {0, 16}, {21, 16}};
    for (const auto& c : corners) {
        EXPECT_EQ(h.raw16[size_t(c[1]) * 22 + c[0]], 0x7FFF) << c[0] << "," << c[1];
        EXPECT_EQ(h.image.at(c[0], c[1]), kWhite);
    }
    // Inside the rounded outline nothing may be the transparent colour: the
    // edges away from the corners and the whole middle are opaque.
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 22; ++x) {
            const bool nearCorner = (x < 2 || x > 19) && (y < 2 || y > 14);
            if (!nearCorner) {
                EXPECT_NE(h.image.at(x, y), kWhite) << x << "," << y;
            }
        }
    }
    // A dark red body.
    const uint32_t body = h.image.at(3, 10);
    EXPECT_GT(red(body), 2 * green(body));
    EXPECT_LT(red(body), 200);
}

TEST(CommittedBitmaps, PanelTroughsMatchTheTroughBitmapUnderEverySlider) {
    BmpInfo panel = load("panel.bmp");
    BmpInfo trough = load("trough.bmp");
    ASSERT_EQ(panel.width, 300);
    ASSERT_EQ(trough.width, 182);
    // Slider i covers (7, 31 + 26 i) to (189, 58 + 26 i); the next slider's top
    // row covers this one's bottom row.
    for (int i = 0; i < 7; ++i) {
        const int rows = i == 6 ? 27 : 26;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < 182; ++x) {
                ASSERT_EQ(panel.image.at(7 + x, 31 + 26 * i + y),
                          unpack555(pack555(trough.image.at(x, y))))
                    << "slider " << i << " at " << x << "," << y;
            }
        }
    }
    // The face around the sliders is not trough: the plate colour differs from
    // at least part of the first column left of the sliders.
    int different = 0;
    for (int y = 31; y < 214; ++y) {
        different += panel.image.at(3, y) != panel.image.at(7, y);
    }
    EXPECT_GT(different, 0);
}

TEST(CommittedBitmaps, ResourceScriptNamesTheThreeFilesById) {
    std::vector<uint8_t> rc = bytesOf(kResources + "fumara.rc");
    std::string text(rc.begin(), rc.end());
    EXPECT_NE(text.find("101 BITMAP \"panel.bmp\""), std::string::npos);
    EXPECT_NE(text.find("102 BITMAP \"handle.bmp\""), std::string::npos);
    EXPECT_NE(text.find("103 BITMAP \"trough.bmp\""), std::string::npos);
}

TEST(Bmp, FiveBitLevelsExpandToTheFullRange) {
    EXPECT_EQ(expand5(0), 0);
    EXPECT_EQ(expand5(31), 255);
    EXPECT_EQ(nearest5(255), 31);
    EXPECT_EQ(nearest5(0), 0);
    EXPECT_EQ(pack555(kWhite), 0x7FFF);
    EXPECT_EQ(unpack555(0x7FFF), kWhite);
    // Every level survives a round trip, and rounding picks the nearest level.
    for (int q = 0; q < 32; ++q) {
        EXPECT_EQ(nearest5(expand5(q)), q);
    }
    EXPECT_EQ(nearest5(5), 1); // 8 is nearer than 0
    EXPECT_EQ(nearest5(3), 0);
    EXPECT_EQ(pack555(rgb(255, 0, 8)), (31 << 10) | 1);
}

TEST(Bmp, WriteAndReadBackBothDepths) {
    Image img(5, 3); // odd width: rows need padding at both depths
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            img.at(x, y) = rgb(expand5(x * 7), expand5(y * 10), expand5(31 - x));
        }
    }
    img.at(4, 2) = rgb(200, 100, 50);
    const std::string dir = testing::TempDir();
    ASSERT_TRUE(writeBmp16(dir + "t16.bmp", img));
    ASSERT_TRUE(writeBmp24(dir + "t24.bmp", img));
    BmpInfo a, b;
    ASSERT_TRUE(readBmp(dir + "t16.bmp", a));
    ASSERT_TRUE(readBmp(dir + "t24.bmp", b));
    EXPECT_EQ(a.fileSize, 54u + 12u * 3u);
    EXPECT_EQ(b.fileSize, 54u + 16u * 3u);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(b.image.at(x, y), img.at(x, y));
            EXPECT_EQ(a.image.at(x, y), unpack555(pack555(img.at(x, y))));
        }
    }
    // The 24-bit file keeps what 5-5-5 cannot hold.
    EXPECT_EQ(b.image.at(4, 2), rgb(200, 100, 50));
    EXPECT_NE(a.image.at(4, 2), rgb(200, 100, 50));
}

TEST(Bmp, RejectsWhatTheResourcesNeverUse) {
    BmpInfo info;
    std::string error;
    std::vector<uint8_t> bytes = bytesOf(kResources + "handle.bmp");
    ASSERT_TRUE(readBmp(bytes, info, &error));
    std::vector<uint8_t> truncated(bytes.begin(), bytes.end() - 10);
    EXPECT_FALSE(readBmp(truncated, info, &error));
    std::vector<uint8_t> compressed = bytes;
    compressed[30] = 3; // BI_BITFIELDS
    EXPECT_FALSE(readBmp(compressed, info, &error));
    std::vector<uint8_t> eightBit = bytes;
    eightBit[28] = 8;
    EXPECT_FALSE(readBmp(eightBit, info, &error));
    EXPECT_FALSE(readBmp(std::vector<uint8_t>(10, 'B'), info, &error));
}

TEST(Bmp, ReadsTopDownFiles) {
    std::vector<uint8_t> bytes = bytesOf(kResources + "trough.bmp");
    BmpInfo bottomUp, topDown;
    ASSERT_TRUE(readBmp(bytes, bottomUp));
    // Negate the height and reverse the row order: the same picture.
    const int32_t h = 27;
    const size_t stride = 548;
    std::vector<uint8_t> flipped(bytes.begin(), bytes.begin() + 54);
    const int32_t negative = -h;
    for (int k = 0; k < 4; ++k) {
        flipped[22 + k] = uint8_t(uint32_t(negative) >> (8 * k));
    }
    for (int row = h - 1; row >= 0; --row) {
        flipped.insert(flipped.end(), bytes.begin() + 54 + stride * row,
                       bytes.begin() + 54 + stride * (row + 1));
    }
    ASSERT_TRUE(readBmp(flipped, topDown));
    EXPECT_TRUE(topDown.topDown);
    EXPECT_EQ(topDown.image.pixels, bottomUp.image.pixels);
}

TEST(Artwork, HandlePositionsFollowTheSliderGeometry) {
    EXPECT_EQ(handleLeft(0.0f), 6);
    EXPECT_EQ(handleLeft(0.02f), 6);
    EXPECT_EQ(handleLeft(0.25f), 39);
    EXPECT_EQ(handleLeft(0.5f), 77);
    EXPECT_EQ(handleLeft(1.0f), 154);
}

TEST(Artwork, GeneratorWritesTheResourceFiles) {
    const std::string dir = testing::TempDir() + "artwork-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    const std::string cmd =
        std::string("'") + FUMARA_MAKE_ARTWORK + "' '" + dir + "' --preview '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Same sizes and depths as the committed files; the handle and the trough
    // contain no text, so they come out byte for byte as committed.
    for (const char* name : {"panel.bmp", "handle.bmp", "trough.bmp"}) {
        BmpInfo made, committed;
        ASSERT_TRUE(readBmp(dir + "/" + name, made)) << name;
        committed = load(name);
        EXPECT_EQ(made.width, committed.width) << name;
        EXPECT_EQ(made.height, committed.height) << name;
        EXPECT_EQ(made.bitsPerPixel, committed.bitsPerPixel) << name;
    }
    EXPECT_EQ(bytesOf(dir + "/handle.bmp"), bytesOf(kResources + "handle.bmp"));
    EXPECT_EQ(bytesOf(dir + "/trough.bmp"), bytesOf(kResources + "trough.bmp"));
    for (const char* png : {"panel.png", "handle.png", "trough.png", "editor.png"}) {
        EXPECT_FALSE(bytesOf(dir + "/" + png).empty()) << png;
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    // A missing output directory is reported, not ignored.
    EXPECT_NE(std::system((std::string("'") + FUMARA_MAKE_ARTWORK +
                           "' /nonexistent/dir/for/artwork 2>/dev/null")
                              .c_str()),
              0);
}
