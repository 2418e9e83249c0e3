// The editor at its zooms, driven as a host drives it: the size the host is
// told, the panel painted at 200% (the 100% layout with every position
// scaled, the zoomed artwork, text at twice the height), drags that give the
// same values as at 100%, the menu on a right click (its presets reach the
// host as automation), a host that resizes and one that refuses, and the
// settings file that remembers the choice.
#include "editor/ReverbEditor.h"
#include "editor/SettingsFile.h"
#include "effect/FactoryPresets.h"
#include "gui/controls/PopupMenu.h"
#include "gui/controls/Slider.h"
#include "gui/platform/BmpDecoder.h"
#include "tests/gui/controls/ControlWorld.h"
#include "tests/support/Artwork.h"
#include "tests/support/Environment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

using namespace controltest;
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr const char* kSettingsVariable = "APPDATA";
constexpr const char* kSettingsFolder = "Fumara";
#else
constexpr const char* kSettingsVariable = "XDG_CONFIG_HOME";
constexpr const char* kSettingsFolder = "fumara";
#endif

uint32_t at(const platform::DecodedImage& image, int32_t x, int32_t y) {
    return image.pixels[size_t(y) * image.width + x];
}

class ZoomWorld : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setCurrent(&p);
        RecordingHost::get().reset();
        p.setTickCount(50000);
        // A settings folder of this test's own, and no choice from earlier tests.
        savedSettings = settings::processEnvironment(kSettingsVariable);
        settingsRoot =
            fs::path(testing::TempDir()) /
            ("fumara-zoom-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(settingsRoot);
        fs::create_directories(settingsRoot);
        setVariable(kSettingsVariable, settingsRoot.string());
        settings::ZoomChoice::forgetProcessChoice();

        host = p.createHostWindow({100, 50, 1100, 850});
        effect = new StoringEffect();
        for (int32_t i = 2; i <= 8; ++i) {
            effect->params[i] = 0.5f;
        }
        editor = new ReverbEditor(effect);
        effect->setEditor(editor);
    }
    void TearDown() override {
        delete effect; // and with it the editor
        platform::setCurrent(nullptr);
        settings::ZoomChoice::forgetProcessChoice();
        setVariable(kSettingsVariable, savedSettings ? savedSettings->string() : std::string());
        std::error_code ignored;
        fs::remove_all(settingsRoot, ignored);
    }

    ERect rect() {
        ERect* r = nullptr;
        EXPECT_EQ(effect->dispatcher(effEditGetRect, 0, 0, &r, 0.0f), 1);
        return r ? *r : ERect{-1, -1, -1, -1};
    }
    // Asks for the size as hosts do, opens, paints, and forgets the calls so far.
    void openEditor(bool askSizeFirst = true) {
        if (askSizeFirst) {
            rect();
        }
        ASSERT_EQ(effect->dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
        frame = editor->getFrame();
        ASSERT_NE(frame, nullptr);
        p.deliverPaints();
        RecordingHost::get().reset();
    }
    void closeEditor() {
        effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        frame = nullptr;
    }
    platform::WindowHandle window() const { return frame->getWindow(); }
    uint32_t pixel(int32_t x, int32_t y) const { return p.windowSurface(window())->at(x, y); }
    void windowSize(int32_t& w, int32_t& h) const {
        platform::headless::ScriptedPlatform::WindowInfo info{};
        ASSERT_TRUE(p.windowInfo(window(), info));
        w = info.rect.right - info.rect.left;
        h = info.rect.bottom - info.rect.top;
    }
    // Presses a button at a device position of the frame's window, holding it
    // for `holdFor` ms with the cursor moved at the given times (device).
    void press(int32_t x, int32_t y, std::vector<std::pair<uint32_t, Point>> moves = {},
               uint32_t holdFor = 60, int32_t button = platform::KeyLeftButton) {
        std::vector<platform::headless::ScriptedPlatform::Move> script;
        for (const auto& move : moves) {
            script.push_back({move.first, {move.second.x, move.second.y}});
        }
        p.holdButton(window(), button, {x, y}, holdFor, script);
        frame = editor->getFrame(); // a zoom change builds a new one
    }
    std::vector<HostCall> calls(int32_t opcode) const {
        std::vector<HostCall> out;
        for (const HostCall& c : RecordingHost::get().calls) {
            if (c.opcode == opcode) {
                out.push_back(c);
            }
        }
        return out;
    }
    // Opens the zoom menu with a right click at a panel position and chooses
    // the item of `percent`, all at the zoom shown.
    void chooseInMenu(int32_t percent, Point at = Point(260, 10)) {
        const Zoom zoom = editor->getZoom();
        press(zoom.toDevice(at.x), zoom.toDevice(at.y), {}, 20, platform::KeyRightButton);
        auto* menu = dynamic_cast<PopupMenu*>(frame->getPopup());
        ASSERT_NE(menu, nullptr);
        const Rect item = menu->itemRect(menu->findItem(std::to_string(percent) + "%"));
        press(zoom.toDevice(item.left + 4), zoom.toDevice(item.top + 3));
    }
    static int32_t z150(int32_t v) { return Zoom(150).toDevice(v); }
    fs::path settingsFile() const { return settingsRoot / kSettingsFolder / "settings"; }
    void writeSettings(const std::string& content) {
        fs::create_directories(settingsFile().parent_path());
        std::ofstream(settingsFile(), std::ios::binary | std::ios::trunc) << content;
    }

    platform::headless::ScriptedPlatform p;
    platform::WindowHandle host = nullptr;
    StoringEffect* effect = nullptr;
    ReverbEditor* editor = nullptr;
    Frame* frame = nullptr;
    fs::path settingsRoot;
    std::optional<fs::path> savedSettings;
};

} // namespace

TEST_F(ZoomWorld, TheDesktopsScaleGivesTheZoomAtOrBelowIt) {
    const struct {
        int32_t desktop, width, height;
    } cases[] = {{0, 300, 245},   {100, 300, 245}, {125, 300, 245},
                 {150, 450, 367}, {175, 450, 367}, {200, 600, 490},
                 {250, 600, 490}, {300, 900, 735}, {400, 900, 735}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        p.setDesktopScale(c.desktop);
        closeEditor(); // the size is looked up again after each close
        const ERect r = rect();
        EXPECT_EQ(r.right, c.width);
        EXPECT_EQ(r.bottom, c.height);
        openEditor(false);
        int32_t w = 0, h = 0;
        windowSize(w, h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(frame->getSizeRect(), Rect(0, 0, 300, 245)); // the panel's own coordinates
    }
    EXPECT_TRUE(calls(audioMasterSizeWindow).empty());
}

TEST_F(ZoomWorld, At100PercentTheHostHearsNothingNew) {
    p.setDesktopScale(100);
    rect();
    openEditor();
    effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    closeEditor();
    rect();
    openEditor();
    EXPECT_TRUE(calls(audioMasterSizeWindow).empty());
    EXPECT_FALSE(fs::exists(settingsFile())); // nothing is written unless chosen
}

TEST_F(ZoomWorld, ThePanelAt200PercentIsTheLayoutScaledWithTheZoomedArtwork) {
    effect->params[2] = 0.0f;
    effect->params[4] = 1.0f;
    effect->params[5] = 0.25f;
    p.setDesktopScale(200);
    openEditor();
    const Zoom z(200);
    const platform::DecodedImage panel = loadArtwork("panel-200.bmp");
    const platform::DecodedImage trough = loadArtwork("trough-200.bmp");
    const platform::DecodedImage handle = loadArtwork("handle-200.bmp");
    ASSERT_EQ(panel.width, 600);
    // Sliders: the trough at the scaled rectangle, the handle at the scaled
    // position of its 100% left edge (6, 6, 154 and 39 for 0, 0.5, 1, 0.25).
    const int32_t lefts[4] = {6, 77, 154, 39};
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const int32_t top = z.toDevice(31 + 26 * i), left = z.toDevice(7);
        const int32_t hx = z.toDevice(7 + lefts[i]) - left, hy = z.toDevice(6);
        for (int32_t y = 0; y < trough.height - 2; ++y) { // the last row is the next slider's
            for (int32_t x = 0; x < trough.width; ++x) {
                uint32_t want = at(trough, x, y);
                const int32_t u = x - hx, v = y - hy;
                if (u >= 0 && u < handle.width && v >= 0 && v < handle.height &&
                    at(handle, u, v) != 0xFFFFFF) {
                    want = at(handle, u, v);
                }
                ASSERT_EQ(pixel(left + x, top + y), want) << x << "," << y;
            }
        }
    }
    // The panel everywhere else: title, labels, maker, edges.
    for (auto [x, y] : {std::pair{300, 30}, {500, 86}, {300, 470}, {6, 6}, {592, 240}}) {
        EXPECT_EQ(pixel(x, y), at(panel, x, y)) << x << "," << y;
    }
    // Value boxes: the outline on device columns 386-387 and 442-443 and rows
    // 72-73 and 100-101, grey inside, and dark text about 16 pixels high.
    for (auto [x, y] : {std::pair{386, 80},
                        {387, 80},
                        {442, 80},
                        {443, 80},
                        {400, 72},
                        {400, 73},
                        {400, 100},
                        {400, 101}}) {
        EXPECT_EQ(pixel(x, y), 0x000000u) << x << "," << y;
    }
    EXPECT_EQ(pixel(388, 74), 0xE6E6E6u);
    EXPECT_EQ(pixel(444, 80), at(panel, 444, 80));
    int32_t top = 1000, bottom = -1;
    for (int32_t y = 74; y < 100; ++y) {
        for (int32_t x = 388; x < 442; ++x) {
            if ((pixel(x, y) & 0xFF) < 0x60) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_GE(bottom - top + 1, 14);
    EXPECT_LE(bottom - top + 1, 20);
}

TEST_F(ZoomWorld, ADragAtEachZoomGivesTheValuesOfTheSamePanelPositions) {
    // Panel x positions along the first slider's row, clamped ends included.
    const int32_t xs[] = {18, 40, 94, 200, 8, 171};
    std::vector<float> reference;
    for (int32_t percent : Zoom::kFactors) {
        SCOPED_TRACE(percent);
        p.setDesktopScale(percent);
        closeEditor();
        effect->params[2] = 0.5f;
        openEditor();
        const Zoom z(percent);
        std::vector<std::pair<uint32_t, Point>> moves;
        for (size_t k = 1; k < std::size(xs); ++k) {
            // The last device pixel of each panel position's block.
            moves.push_back({uint32_t(60 * k), Point(z.toDevice(xs[k] + 1) - 1, z.toDevice(40))});
        }
        press(z.toDevice(xs[0]), z.toDevice(40), moves, uint32_t(60 * std::size(xs)));
        std::vector<float> values;
        for (const HostCall& c : calls(audioMasterAutomate)) {
            values.push_back(c.opt);
        }
        EXPECT_EQ(values.size(), std::size(xs));
        if (reference.empty()) {
            reference = values;
            EXPECT_EQ(values.front(), 0.0f);
            EXPECT_FLOAT_EQ(values[2], 75.0f / 153.0f); // the centre under panel x 94
            EXPECT_EQ(values[3], 1.0f);                 // clamped
            EXPECT_EQ(values[4], 0.0f);
        } else {
            EXPECT_EQ(values, reference);
        }
        RecordingHost::get().reset();
    }
}

TEST_F(ZoomWorld, ARightClickOutsideTheControlsOpensTheMenuWithTheZoomMarked) {
    p.setDesktopScale(150);
    openEditor();
    // Left clicks and clicks on controls open nothing.
    press(z150(260), z150(10));
    EXPECT_EQ(frame->getPopup(), nullptr);
    press(z150(100), z150(40), {}, 20, platform::KeyRightButton); // a slider
    EXPECT_EQ(frame->getPopup(), nullptr);
    press(z150(200), z150(40), {}, 20, platform::KeyRightButton); // a value box
    EXPECT_EQ(frame->getPopup(), nullptr);
    press(z150(260), z150(10), {}, 20, platform::KeyRightButton);
    auto* menu = dynamic_cast<PopupMenu*>(frame->getPopup());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->getItemCount(), kFactoryPresetCount + 4);
    EXPECT_EQ(menu->getMarked(), menu->findItem("150%")); // no preset has these values
    // It lies inside the panel, drawn at the zoom over the controls.
    Rect r;
    menu->getSize(r);
    EXPECT_LE(r.right, 299);
    EXPECT_EQ(pixel(z150(r.left), z150(r.top + 5)), 0x4E4846u);
    // A press beside it closes it and changes nothing.
    press(z150(20), z150(220));
    EXPECT_EQ(frame->getPopup(), nullptr);
    EXPECT_TRUE(calls(audioMasterSizeWindow).empty());
    EXPECT_TRUE(calls(audioMasterAutomate).empty());
}

TEST_F(ZoomWorld, APresetChosenInTheMenuReachesTheHostAsOneEditPerSlider) {
    openEditor();
    const FactoryPreset& hall = kFactoryPresets[kFactoryPresetCount - 1];
    press(260, 10, {}, 20, platform::KeyRightButton);
    auto* menu = dynamic_cast<PopupMenu*>(frame->getPopup());
    ASSERT_NE(menu, nullptr);
    const Rect item = menu->itemRect(menu->findItem(hall.name));
    press(item.left + 4, item.top + 3);
    // Begin, automate with the preset's value, end, for each slider's parameter in turn.
    std::vector<std::tuple<int32_t, int32_t, float>> expected, reported;
    for (int32_t i = kRoomSize; i <= kDryLevel; ++i) {
        expected.emplace_back(audioMasterBeginEdit, i, 0.0f);
        expected.emplace_back(audioMasterAutomate, i, hall.values[i]);
        expected.emplace_back(audioMasterEndEdit, i, 0.0f);
    }
    for (const HostCall& c : RecordingHost::get().calls) {
        if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
            c.opcode == audioMasterEndEdit) {
            reported.emplace_back(c.opcode, c.index, c.opt);
        }
    }
    EXPECT_EQ(reported, expected);
    // The panel follows, and the menu marks the preset whose values the sliders hold.
    for (int32_t i = 0; i < kPanelRowCount; ++i) {
        EXPECT_EQ(editor->getSlider(i)->getValue(), hall.values[kRoomSize + i]);
    }
    press(260, 10, {}, 20, platform::KeyRightButton);
    menu = dynamic_cast<PopupMenu*>(frame->getPopup());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isMarked(menu->findItem(hall.name)));
    EXPECT_TRUE(menu->isMarked(menu->findItem("100%")));
}

TEST_F(ZoomWorld, ChoosingAZoomResizesThroughTheHostAndRemembersIt) {
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    openEditor();
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    // The host reads the size back while it resizes, as hosts do.
    ERect during{};
    RecordingHost::get().onCall = [&](const HostCall& c) {
        if (c.opcode == audioMasterSizeWindow) {
            during = rect();
        }
    };
    platform::WindowHandle before = window();
    chooseInMenu(200);
    auto sizes = calls(audioMasterSizeWindow);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].index, 600);
    EXPECT_EQ(sizes[0].value, 490);
    EXPECT_EQ(during.right, 600);
    EXPECT_EQ(during.bottom, 490);
    EXPECT_EQ(editor->getZoom().percent(), 200);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(window(), before); // the same window, grown (an LV2 host holds on to it)
    int32_t w = 0, h = 0;
    windowSize(w, h);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 490);
    EXPECT_EQ(rect().right, 600);
    EXPECT_EQ(settings::readZoomChoice(settingsFile()), 200);
    p.deliverPaints();
    EXPECT_EQ(pixel(300, 30), at(loadArtwork("panel-200.bmp"), 300, 30));
    // A new editor follows the choice, not the desktop.
    RecordingHost::get().onCall = nullptr;
    closeEditor();
    settings::ZoomChoice::forgetProcessChoice(); // as a new process would
    p.setDesktopScale(300);
    EXPECT_EQ(rect().right, 600);
}

TEST_F(ZoomWorld, AHostThatRefusesKeepsThePanelUntilTheEditorIsOpenedAgain) {
    openEditor();
    const uint32_t titleBefore = pixel(150, 15);
    RecordingHost::get().answer(audioMasterSizeWindow, 0);
    platform::WindowHandle before = window();
    chooseInMenu(300);
    ASSERT_EQ(calls(audioMasterSizeWindow).size(), 1u);
    EXPECT_EQ(calls(audioMasterSizeWindow)[0].index, 900);
    EXPECT_EQ(editor->getZoom().percent(), 100);
    EXPECT_EQ(window(), before);
    EXPECT_EQ(rect().right, 300);
    int32_t w = 0, h = 0;
    windowSize(w, h);
    EXPECT_EQ(w, 300);
    // The menu left no trace and nothing else was drawn.
    EXPECT_EQ(frame->getPopup(), nullptr);
    EXPECT_EQ(pixel(150, 15), titleBefore);
    EXPECT_EQ(pixel(262, 20), at(loadArtwork("panel.bmp"), 262, 20));
    // Reopened, the host is told the new size first and no resize is needed.
    closeEditor();
    RecordingHost::get().reset();
    EXPECT_EQ(rect().right, 900);
    openEditor(false);
    EXPECT_TRUE(calls(audioMasterSizeWindow).empty());
    windowSize(w, h);
    EXPECT_EQ(w, 900);
    EXPECT_EQ(h, 735);
}

TEST_F(ZoomWorld, AHostThatClosesTheEditorWhileItResizesIsServed) {
    openEditor();
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    RecordingHost::get().onCall = [&](const HostCall& c) {
        if (c.opcode == audioMasterSizeWindow) {
            effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        }
    };
    chooseInMenu(200);
    RecordingHost::get().onCall = nullptr;
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    // Opened again, the editor shows the choice.
    EXPECT_EQ(rect().right, 600);
    openEditor(false);
    EXPECT_EQ(editor->getZoom().percent(), 200);
}

TEST_F(ZoomWorld, OpeningWithoutAskingTheSizeAsksTheHostToResize) {
    p.setDesktopScale(200);
    RecordingHost::get().answer(audioMasterSizeWindow, 0);
    ASSERT_EQ(effect->dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
    frame = editor->getFrame();
    ASSERT_EQ(calls(audioMasterSizeWindow).size(), 1u);
    int32_t w = 0, h = 0;
    windowSize(w, h);
    EXPECT_EQ(w, 300); // refused: the size the host knows
    closeEditor();
    RecordingHost::get().reset();
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    ASSERT_EQ(effect->dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
    frame = editor->getFrame();
    windowSize(w, h);
    EXPECT_EQ(w, 600);
}

TEST_F(ZoomWorld, TheSettingsFileDecidesUnlessItIsMissingOrDamaged) {
    p.setDesktopScale(150);
    const struct {
        const char* content; // null: no file
        int32_t width;
    } cases[] = {
        {nullptr, 450},        {"zoom = 300\n", 900},    {"zoom = auto\n", 450},
        {"zoom = 250\n", 450}, {"\x01\x02garbage", 450}, {"zoom = 100\n", 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "no file");
        std::error_code ignored;
        fs::remove_all(settingsFile(), ignored);
        if (c.content) {
            writeSettings(c.content);
        }
        closeEditor();
        EXPECT_EQ(rect().right, c.width);
        openEditor(false);
        EXPECT_TRUE(editor->isOpen());
    }
    // A settings file that is a folder: the desktop decides, the editor opens.
    fs::remove_all(settingsFile());
    fs::create_directories(settingsFile());
    closeEditor();
    EXPECT_EQ(rect().right, 450);
    openEditor(false);
    EXPECT_TRUE(editor->isOpen());
}

TEST_F(ZoomWorld, AChoiceThatCannotBeWrittenStillHoldsInThisProcess) {
    // The settings folder's place is taken by a file.
    std::ofstream(settingsRoot / kSettingsFolder) << "in the way";
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    openEditor();
    RecordingHost::get().answer(audioMasterSizeWindow, 1);
    chooseInMenu(150);
    EXPECT_EQ(editor->getZoom().percent(), 150);
    closeEditor();
    EXPECT_EQ(rect().right, 450);
    openEditor(false);
    EXPECT_TRUE(editor->isOpen());
}

TEST_F(ZoomWorld, AFixedZoomOverridesDesktopAndChoice) {
    writeSettings("zoom = 300\n");
    p.setDesktopScale(200);
    editor->setFixedZoom(150);
    EXPECT_EQ(rect().right, 450);
    editor->setFixedZoom(0);
    EXPECT_EQ(rect().right, 900);
}
