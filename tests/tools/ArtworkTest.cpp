// The editor's bitmaps at every zoom: the committed resource files (sizes,
// depths, the transparent corners of the handle, troughs lined up under the
// sliders), the bitmap file reader and writer, and the generator itself.
#include "tools/make-artwork/Artwork.h"

#include "resources/ResourceIds.h"
#include "tools/make-artwork/Bmp.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>

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

// The files of one zoom, and the device sizes the editor copies from them:
// the panel is the window, the trough a slider's rectangle (7, 31)-(189, 58),
// the handle its 22 x 17 pixels wherever the handle stands.
struct ZoomFiles {
    int percent;
    std::string panel, handle, trough;
    int panelW, panelH, handleW, handleH, troughW, troughH;
};
const ZoomFiles kZoomFiles[] = {
    {100, "panel.bmp", "handle.bmp", "trough.bmp", 300, 245, 22, 17, 182, 27},
    {150, "panel-150.bmp", "handle-150.bmp", "trough-150.bmp", 450, 367, 33, 26, 273, 41},
    {200, "panel-200.bmp", "handle-200.bmp", "trough-200.bmp", 600, 490, 44, 34, 364, 54},
    {300, "panel-300.bmp", "handle-300.bmp", "trough-300.bmp", 900, 735, 66, 51, 546, 81},
};

TEST(CommittedBitmaps, SizesAndDepthsAtEveryZoom) {
    for (const ZoomFiles& z : kZoomFiles) {
        struct Expect {
            const std::string& name;
            int width, height, bits;
        } expected[] = {{z.panel, z.panelW, z.panelH, 16},
                        {z.handle, z.handleW, z.handleH, 16},
                        {z.trough, z.troughW, z.troughH, 24}};
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
        // The sizes are the blocks the editor copies at that zoom.
        const Zoom zoom(z.percent);
        EXPECT_EQ(z.panelW, zoom.toDevice(300));
        EXPECT_EQ(z.panelH, zoom.toDevice(245));
        EXPECT_EQ(z.troughW, zoom.toDevice(189) - zoom.toDevice(7));
        EXPECT_EQ(z.troughH, zoom.toDevice(58) - zoom.toDevice(31));
        for (int left = 6; left <= 154; ++left) {
            ASSERT_LE(zoom.deviceLength(7 + left, 22), z.handleW);
        }
        EXPECT_EQ(z.handleH, zoom.deviceLength(37, 17));
    }
}

TEST(CommittedBitmaps, HandleIsTransparentOnlyOutsideItsOutlineWithoutALightFringe) {
    for (const ZoomFiles& z : kZoomFiles) {
        SCOPED_TRACE(z.handle);
        BmpInfo h = load(z.handle);
        const int w = h.width, ht = h.height;
        ASSERT_EQ(h.raw16.size(), size_t(w) * ht);
        const int corners[4][2] = {{0, 0}, {w - 1, 0}, {0, ht - 1}, {w - 1, ht - 1}};
        for (const auto& c : corners) {
            EXPECT_EQ(h.raw16[size_t(c[1]) * w + c[0]], 0x7FFF) << c[0] << "," << c[1];
            EXPECT_EQ(h.image.at(c[0], c[1]), kWhite);
        }
        // Inside the rounded outline nothing may be the transparent colour: the
        // edges away from the corners (two panel pixels) and the whole middle.
        const int c = (2 * z.percent + 99) / 100;
        int transparent = 0;
        for (int y = 0; y < ht; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool nearCorner = (x < c || x >= w - c) && (y < c || y >= ht - c);
                const bool clear = h.image.at(x, y) == kWhite;
                transparent += clear;
                if (!nearCorner) {
                    EXPECT_NE(h.image.at(x, y), kWhite) << x << "," << y;
                }
                // The edge is blended into the dark trough, never into white:
                // an opaque pixel beside a transparent one or at the border is dark.
                bool edge = false;
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = x + dx, ny = y + dy;
                    edge = edge || nx < 0 || ny < 0 || nx >= w || ny >= ht ||
                           h.image.at(nx, ny) == kWhite;
                }
                if (edge && !clear) {
                    const uint32_t p = h.image.at(x, y);
                    EXPECT_LT(std::max({red(p), green(p), blue(p)}), 128) << x << "," << y;
                }
            }
        }
        EXPECT_GE(transparent, 4);
        // A dark red body.
        const uint32_t body = h.image.at(w / 7, ht * 10 / 17);
        EXPECT_GT(red(body), 2 * green(body));
        EXPECT_LT(red(body), 200);
    }
}

TEST(CommittedBitmaps, PanelTroughsMatchTheTroughBitmapUnderEverySliderAtEveryZoom) {
    for (const ZoomFiles& z : kZoomFiles) {
        SCOPED_TRACE(z.panel);
        const Zoom zoom(z.percent);
        BmpInfo panel = load(z.panel);
        BmpInfo trough = load(z.trough);
        ASSERT_EQ(trough.width, z.troughW);
        // Slider i covers (7, 31 + 26 i) to (189, 58 + 26 i); the next slider's
        // rows cover this one's bottom row.
        for (int i = 0; i < 7; ++i) {
            const int left = zoom.toDevice(7), top = zoom.toDevice(31 + 26 * i);
            const int rows = i == 6 ? trough.height : zoom.toDevice(57 + 26 * i) - top;
            for (int y = 0; y < rows; ++y) {
                for (int x = 0; x < trough.width; ++x) {
                    ASSERT_EQ(panel.image.at(left + x, top + y),
                              unpack555(pack555(trough.image.at(x, y))))
                        << "slider " << i << " at " << x << "," << y;
                }
            }
        }
        // The face around the sliders is not trough: the plate colour differs
        // from at least part of the first column left of the sliders.
        int different = 0;
        for (int y = zoom.toDevice(31); y < zoom.toDevice(214); ++y) {
            different += panel.image.at(zoom.toDevice(3), y) != panel.image.at(zoom.toDevice(7), y);
        }
        EXPECT_GT(different, 0);
    }
}

TEST(CommittedBitmaps, OnePixelDetailsStayOnWholeDevicePixels) {
    // The trough's guide slot is two panel rows of (18, 18, 20) with a light
    // row below; at every zoom, 150% included, those rows are whole device
    // rows of exactly those colours, not blended with their neighbours.
    for (const ZoomFiles& z : kZoomFiles) {
        SCOPED_TRACE(z.trough);
        const Zoom zoom(z.percent);
        BmpInfo t = load(z.trough);
        auto row = [&](int panelRow) { return zoom.deviceLength(31, panelRow); };
        const int x = t.width / 2;
        for (int y = row(13); y < row(15); ++y) {
            EXPECT_EQ(t.image.at(x, y), rgb(18, 18, 20)) << y;
        }
        for (int y = row(15); y < row(16); ++y) {
            EXPECT_EQ(t.image.at(x, y), rgb(128, 131, 138)) << y;
        }
        EXPECT_NE(t.image.at(x, row(13) - 1), rgb(18, 18, 20));
        EXPECT_NE(t.image.at(x, row(16)), rgb(128, 131, 138));
    }
}

TEST(CommittedBitmaps, ResourceScriptNamesEveryFileById) {
    std::vector<uint8_t> rc = bytesOf(kResources + "fumara.rc");
    std::string text(rc.begin(), rc.end());
    for (const ZoomFiles& z : kZoomFiles) {
        for (auto [id, name] : {std::pair{kPanelBitmapId, z.panel},
                                {kHandleBitmapId, z.handle},
                                {kTroughBitmapId, z.trough}}) {
            const std::string line =
                std::to_string(Zoom(z.percent).bitmapId(id)) + " BITMAP \"" + name + "\"";
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }
    }
    EXPECT_EQ(Zoom(100).bitmapId(kPanelBitmapId), 101);
    EXPECT_EQ(Zoom(300).bitmapId(kTroughBitmapId), 30103);
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

TEST(Artwork, GeneratorWritesTheResourceFilesOfEveryZoom) {
    const std::string dir = testing::TempDir() + "artwork-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string cmd =
        std::string("'") + FUMARA_MAKE_ARTWORK + "' '" + dir + "' --preview '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Every bitmap comes out byte for byte as committed: the 100% ones as they
    // were before the editor had zooms, and the others from the same description.
    for (const ZoomFiles& z : kZoomFiles) {
        for (const std::string& name : {z.panel, z.handle, z.trough}) {
            EXPECT_EQ(bytesOf(dir + "/" + name), bytesOf(kResources + name)) << name;
        }
    }
    for (const char* png : {"panel.png", "handle.png", "trough.png", "editor.png", "editor-150.png",
                            "editor-200.png", "editor-300.png"}) {
        EXPECT_FALSE(bytesOf(dir + "/" + png).empty()) << png;
    }
    std::filesystem::remove_all(dir);
    // A missing output directory is reported, not ignored.
    EXPECT_NE(std::system((std::string("'") + FUMARA_MAKE_ARTWORK +
                           "' /nonexistent/dir/for/artwork 2>/dev/null")
                              .c_str()),
              0);
}
