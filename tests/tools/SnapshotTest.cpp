// The editor snapshot: drawn in-process through the effect's record, and
// written as PNG by fumara-render through the built plug-in's export.
#include "effect/EditorSnapshot.h"
#include "effect/PluginEntry.h"
#include "gui/platform/BmpDecoder.h"
#include "host/EffectBase.h"
#include "tests/support/Artwork.h"
#include "tests/support/PipeReader.h"
#include "tests/support/ScriptedPlatform.h"

#include <cairo.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using platform::software::Surface;

namespace {

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// An effect made through the entry point, closed and freed at the end.
struct Instance {
    AEffect* record = createEffectInstance(&quietHost);
    ~Instance() {
        if (record) {
            record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
        }
    }
    intptr_t dispatch(int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
        return record->dispatcher(record, opcode, 0, value, ptr, 0.0f);
    }
};

// A PNG file read back as 0x00BBGGRR pixels (empty on failure).
Surface readPng(const std::string& path) {
    Surface out;
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(image);
        out = Surface(cairo_image_surface_get_width(image), cairo_image_surface_get_height(image),
                      false);
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int32_t y = 0; y < out.height; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
            for (int32_t x = 0; x < out.width; ++x) {
                const uint32_t c = row[x];
                out.pixels[size_t(y) * out.width + x] =
                    ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
            }
        }
    }
    cairo_surface_destroy(image);
    return out;
}

// Whether the first slider (at 7, 31 on the panel) shows exactly the trough
// with the handle's opaque pixels at handleLeft inside the slider.
::testing::AssertionResult firstSliderShows(const Surface& panel, int32_t handleLeft) {
    static const platform::DecodedImage trough = loadArtwork("trough.bmp");
    static const platform::DecodedImage handle = loadArtwork("handle.bmp");
    for (int32_t y = 0; y < trough.height - 1; ++y) {
        for (int32_t x = 0; x < trough.width; ++x) {
            uint32_t want = trough.pixels[size_t(y) * trough.width + x];
            const int32_t hx = x - handleLeft, hy = y - 6;
            if (hx >= 0 && hx < handle.width && hy >= 0 && hy < handle.height) {
                const uint32_t h = handle.pixels[size_t(hy) * handle.width + hx];
                if (h != 0xFFFFFF) {
                    want = h;
                }
            }
            if (panel.at(7 + x, 31 + y) != want) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << panel.at(7 + x, 31 + y)
                       << " not " << want;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Whether two pictures agree inside a rectangle.
bool sameRegion(const Surface& a, const Surface& b, int32_t l, int32_t t, int32_t r, int32_t bt) {
    for (int32_t y = t; y < bt; ++y) {
        for (int32_t x = l; x < r; ++x) {
            if (a.at(x, y) != b.at(x, y)) {
                return false;
            }
        }
    }
    return true;
}

// The first value box, and the panel's title plate and an untouched corner.
constexpr int32_t kBox[4] = {193, 36, 221, 50};
constexpr int32_t kTitle[4] = {0, 0, 300, 30};

Surface drawnInProcess(float roomSize) {
    Instance effect;
    EXPECT_NE(effect.record, nullptr);
    effect.record->setParameter(effect.record, 2, roomSize);
    Surface pixels;
    EXPECT_TRUE(drawEditorSnapshot(effect.record, pixels));
    return pixels;
}

class SnapshotTool : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("fumara-snapshot-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    int render(const std::vector<std::string>& args) {
        std::string command = "'" FUMARA_RENDER "' --plugin '" FUMARA_MODULE_PATH "'";
        for (const std::string& a : args) {
            command += " '" + a + "'";
        }
        command += " >'" + path("out.txt") + "' 2>'" + path("err.txt") + "' </dev/null";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string errors() const {
        std::ifstream f(path("err.txt"));
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    }

    fs::path folder;
};

} // namespace

TEST(EditorSnapshot, DrawsThePanelWithTheEffectsValuesAndLeavesTheEffectAsItWas) {
    platform::headless::ScriptedPlatform own;
    platform::setCurrent(&own);
    {
        Instance effect;
        ASSERT_NE(effect.record, nullptr);
        auto* base = static_cast<EffectBase*>(effect.record->object);
        HostEditor* editor = base->editorObject();
        const int32_t flags = effect.record->flags;

        Surface half, full;
        ASSERT_TRUE(drawEditorSnapshot(effect.record, half));
        EXPECT_EQ(half.width, 300);
        EXPECT_EQ(half.height, 245);
        EXPECT_TRUE(firstSliderShows(half, 77));
        effect.record->setParameter(effect.record, 2, 1.0f);
        ASSERT_TRUE(drawEditorSnapshot(effect.record, full));
        EXPECT_TRUE(firstSliderShows(full, 154));
        EXPECT_FALSE(sameRegion(half, full, kBox[0], kBox[1], kBox[2], kBox[3]));
        EXPECT_TRUE(sameRegion(half, full, kTitle[0], kTitle[1], kTitle[2], kTitle[3]));

        // The effect keeps its own editor, flags and backend.
        EXPECT_EQ(base->editorObject(), editor);
        EXPECT_EQ(effect.record->flags, flags);
        EXPECT_EQ(&platform::current(), &own);
        EXPECT_EQ(own.liveContextCount(), 0);

        // Refused while the host shows the editor; allowed again once closed.
        platform::WindowHandle host = own.createHostWindow({10, 10, 310, 255});
        ASSERT_EQ(effect.dispatch(effEditOpen, 0, host), 1);
        Surface refused;
        EXPECT_FALSE(drawEditorSnapshot(effect.record, refused));
        EXPECT_EQ(refused.width, 0);
        EXPECT_EQ(&platform::current(), &own);
        EXPECT_EQ(base->editorObject(), editor);
        effect.dispatch(effEditClose);
        EXPECT_TRUE(drawEditorSnapshot(effect.record, refused));
    }
    platform::setCurrent(nullptr);
}

TEST(EditorSnapshot, DrawsEveryZoomWhateverTheDesktopAndTheSettingsSay) {
    platform::headless::HeadlessPlatform own;
    platform::setCurrent(&own);
    {
        Instance effect;
        ASSERT_NE(effect.record, nullptr);
        const struct {
            int32_t percent, width, height;
        } zooms[] = {{100, 300, 245}, {150, 450, 367}, {200, 600, 490}, {300, 900, 735}};
        for (const auto& z : zooms) {
            Surface pixels;
            ASSERT_TRUE(drawEditorSnapshot(effect.record, pixels, z.percent)) << z.percent;
            EXPECT_EQ(pixels.width, z.width);
            EXPECT_EQ(pixels.height, z.height);
        }
        // At 200% the title plate is the 200% artwork's.
        Surface large;
        ASSERT_TRUE(drawEditorSnapshot(effect.record, large, 200));
        const platform::DecodedImage panel = loadArtwork("panel-200.bmp");
        for (auto [x, y] : {std::pair{300, 30}, {200, 20}, {500, 470}}) {
            EXPECT_EQ(large.at(x, y), panel.pixels[size_t(y) * panel.width + x]) << x << "," << y;
        }
        Surface none;
        for (int32_t bad : {0, 125, 400, -200}) {
            EXPECT_FALSE(drawEditorSnapshot(effect.record, none, bad)) << bad;
        }
        EXPECT_EQ(none.width, 0);
    }
    platform::setCurrent(nullptr);
}

TEST(EditorSnapshot, RefusesRecordsThatAreNotALiveEffect) {
    Surface pixels;
    EXPECT_FALSE(drawEditorSnapshot(nullptr, pixels));
    AEffect stranger{};
    stranger.magic = kEffectMagic;
    EXPECT_FALSE(drawEditorSnapshot(&stranger, pixels));
    EXPECT_FALSE(writeSnapshotPng(Surface(), "never-written.png"));
    EXPECT_FALSE(fs::exists("never-written.png"));
}

TEST(EditorSnapshot, WritesIntoAPipeOrDeviceInsteadOfReplacingIt) {
    PipeReader pipe("panel.png");
    EXPECT_TRUE(writeSnapshotPng(drawnInProcess(0.5f), pipe.path));
    EXPECT_EQ(pipe.finish().substr(1, 3), "PNG");
    EXPECT_TRUE(pipe.stillAPipe());
}

TEST_F(SnapshotTool, WritesTheDefaultPanelAsPngWithoutRenderingAudio) {
    ASSERT_EQ(render({"--quiet", "--snapshot", path("panel.png")}), 0) << errors();
    const Surface png = readPng(path("panel.png"));
    ASSERT_EQ(png.width, 300);
    ASSERT_EQ(png.height, 245);
    EXPECT_TRUE(firstSliderShows(png, 77));
    // The plug-in draws in its own process what this one draws in-process.
    const Surface here = drawnInProcess(0.5f);
    EXPECT_TRUE(sameRegion(png, here, 0, 0, 300, 245));
    // Only the picture was written.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

TEST_F(SnapshotTool, ShowsTheValuesSetThroughTheRecord) {
    ASSERT_EQ(render({"--quiet", "--snapshot", path("half.png")}), 0) << errors();
    ASSERT_EQ(render({"--quiet", "--snapshot", path("full.png"), "--set", "Room Size=1"}), 0)
        << errors();
    const Surface half = readPng(path("half.png"));
    const Surface full = readPng(path("full.png"));
    ASSERT_EQ(full.width, 300);
    EXPECT_TRUE(firstSliderShows(full, 154));
    EXPECT_FALSE(sameRegion(half, full, kBox[0], kBox[1], kBox[2], kBox[3]));
    EXPECT_TRUE(sameRegion(full, drawnInProcess(1.0f), 0, 0, 300, 245));
}

TEST_F(SnapshotTool, RendersAudioToo_AndReportsBadPaths) {
    ASSERT_EQ(render({"--quiet", "--tail", "0", "--snapshot", path("p.png"), path("out.wav")}), 0)
        << errors();
    EXPECT_TRUE(fs::exists(path("p.png")));
    EXPECT_TRUE(fs::exists(path("out.wav")));
    EXPECT_EQ(render({"--snapshot", folder.string()}), 2);
    EXPECT_NE(errors().find("is a folder"), std::string::npos) << errors();
    EXPECT_EQ(render({"--snapshot", path("missing/p.png")}), 1);
    EXPECT_NE(errors().find("--snapshot"), std::string::npos) << errors();
    EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(SnapshotTool, DrawsTheZoomItIsAskedFor) {
    ASSERT_EQ(render({"--quiet", "--snapshot", path("panel-200.png"), "--zoom", "2"}), 0)
        << errors();
    const Surface png = readPng(path("panel-200.png"));
    ASSERT_EQ(png.width, 600);
    ASSERT_EQ(png.height, 490);
    // The plug-in's own process draws what this one draws at 200%.
    Instance effect;
    platform::headless::HeadlessPlatform own;
    platform::setCurrent(&own);
    Surface here;
    ASSERT_TRUE(drawEditorSnapshot(effect.record, here, 200));
    platform::setCurrent(nullptr);
    EXPECT_TRUE(sameRegion(png, here, 0, 0, 600, 490));
    EXPECT_EQ(render({"--snapshot", path("p.png"), "--zoom", "2.5"}), 2);
    EXPECT_NE(errors().find("--zoom 2.5"), std::string::npos) << errors();
    EXPECT_FALSE(fs::exists(path("p.png")));
}
