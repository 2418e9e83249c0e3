// The effect's own editor (the whole 300 x 245 panel) on the X11 backend, as a
// Linux host drives it: the editor thread opens, idles and closes it inside
// the host's X window while parameter changes come from another thread.
#include "editor/ReverbEditor.h"
#include "editor/SettingsFile.h"
#include "gui/Frame.h"
#include "gui/platform/headless/HeadlessPlatform.h"
#include "gui/platform/x11/X11Platform.h"
#include "host/ExtendedEffectBase.h"
#include "tests/gui/OwningEffect.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "tests/gui/platform/x11/HeadlessEditorPicture.h"
#include "tests/gui/platform/x11/X11TestHost.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// clang-format on

namespace {

constexpr int32_t panelWidth = 300;
constexpr int32_t panelHeight = 245;
constexpr int32_t parameterCount = 32;

// An effect that keeps its parameters as the real one does: each change is
// first handed to the editor, then stored, then the editor's update posted.
class StoringEffect : public OwningEffect {
public:
    explicit StoringEffect(const float* initial) : OwningEffect(&recordingHost, 1, 32) {
        for (int32_t i = 0; i < parameterCount; ++i) {
            values[i] = initial[i];
        }
        setEditor(new ReverbEditor(this));
    }
    void process(float**, float**, int32_t) override {}
    void setParameter(int32_t index, float value) override {
        if (index < 0 || index >= parameterCount) {
            return;
        }
        if (auto* editor = static_cast<ReverbEditor*>(editorObject())) {
            editor->setParameter(index, value);
        }
        values[index].store(value);
        if (HostEditor* editor = editorObject()) {
            editor->postUpdate();
        }
    }
    float getParameter(int32_t index) override {
        return index >= 0 && index < parameterCount ? values[index].load() : 0.0f;
    }
    ReverbEditor* panel() { return static_cast<ReverbEditor*>(editorObject()); }
    bool resizeEditor(int32_t, int32_t) override { return onResize && onResize(); }

    std::atomic<float> values[parameterCount];
    std::function<bool()> onResize;
};

// Distinct values on the seven rows, so that each box and handle differs.
std::vector<float> startValues() {
    std::vector<float> v(parameterCount, 0.0f);
    const float rows[7] = {0.0f, 0.1f, 0.25f, 0.5f, 0.75f, 0.9f, 1.0f};
    for (int32_t i = 0; i < 7; ++i) {
        v[2 + i] = rows[i];
    }
    return v;
}

using Changes = std::vector<std::pair<int32_t, float>>;

// The panel as the headless backend draws it: opened with these values, then
// (after the first paint) the changes set by the host and one idle. Rows of
// neighbouring sliders share a line, which the slider drawn last owns, so a
// picture depends on the order of redraws and not on the values alone. Made
// while no X11 editor is open: the toolkit's state belongs to one backend at
// a time.
std::vector<uint32_t> headlessPanel(const std::vector<float>& values, const Changes& changes = {}) {
    return headlessEditorPicture(
        panelWidth, panelHeight, [&] { return new StoringEffect(values.data()); },
        [&](AEffect* record) {
            for (const auto& change : changes) {
                record->setParameter(record, change.first, change.second);
            }
        });
}

class X11EditorTest : public X11HostedEditorTest {
protected:
    void SetUp() override {
        X11HostedEditorTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        values = startValues();
        reference = headlessPanel(values);
        hostWindow = host.createHostWindow(60, 50, panelWidth, panelHeight);
        effect = new StoringEffect(values.data());
        record = effect->getRecord();
    }

    Window panelWindow() const {
        Frame* frame = effect->panel()->getFrame();
        return frame ? static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getWindow())) : 0;
    }

    // effEditOpen with the host window's id, then idles until the panel on
    // screen is the expected picture.
    bool openAndShow(const std::vector<uint32_t>& expected) {
        if (dispatch(effEditOpen, reinterpret_cast<void*>(hostWindow)) != 1 || !panelWindow()) {
            return false;
        }
        return idleUntil([&] { return countDifferences(shown(), expected) == 0; });
    }

    std::vector<uint32_t> shown() { return host.capture(panelWindow(), panelWidth, panelHeight); }

    // The edits and automation the host received, in order: "begin 2,
    // automate 2 0.5, end 2".
    static std::string sequence() {
        std::string out;
        for (const HostCall& c : hostCalls) {
            const char* name = c.opcode == audioMasterBeginEdit  ? "begin"
                               : c.opcode == audioMasterEndEdit  ? "end"
                               : c.opcode == audioMasterAutomate ? "automate"
                                                                 : nullptr;
            if (name) {
                out +=
                    (out.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(c.index);
                if (c.opcode == audioMasterAutomate) {
                    out += " " + text(c.opt);
                }
            }
        }
        return out;
    }
    static std::string text(float value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", double(value));
        return buffer;
    }
    // Idles as a host does for a further 200 ms: whatever the press still
    // had to do is done by then.
    void idleOn() {
        for (int i = 0; i < 20; ++i) {
            dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::vector<float> values;
    std::vector<uint32_t> reference;
    StoringEffect* effect = nullptr;
};

TEST_F(X11EditorTest, PanelOnScreenIsTheHeadlessPanel) {
    ASSERT_TRUE(openAndShow(reference))
        << countDifferences(shown(), reference) << " pixels differ from the headless panel";
    std::vector<Window> kids = host.children(hostWindow);
    ASSERT_EQ(kids.size(), 1u);
    int x = -1, y = -1, w = 0, h = 0;
    ASSERT_TRUE(host.geometry(kids[0], x, y, w, h));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, panelWidth);
    EXPECT_EQ(h, panelHeight);
}

TEST_F(X11EditorTest, DraggingASliderToTheLeftEndAutomatesItsParameter) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    std::vector<uint32_t> expected = headlessPanel(values, {{5, 0.0f}});
    ASSERT_TRUE(openAndShow(reference));
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    // The fourth row (parameter 5, at 0.5): its handle's centre.
    const int32_t rowTop = 31 + 3 * 26;
    host.movePointer(hx + 7 + 1 + 76 + 11, hy + rowTop + 6 + 8);
    host.button(1, true);
    std::atomic<bool> released{false};
    std::thread user([&] {
        X11TestHost hand;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        for (int step = 1; step <= 8; ++step) {
            hand.movePointer(hx + 95 - step * 15, hy + rowTop + 14);
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        hand.button(1, false);
        released = true;
    });
    bool ended = idleUntil([&] { return released && calls(audioMasterEndEdit, 5) > 0; });
    user.join();
    ASSERT_TRUE(ended);

    ASSERT_GE(hostCalls.size(), 3u);
    EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(hostCalls.front().index, 5);
    EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(calls(audioMasterBeginEdit, 5), 1);
    EXPECT_EQ(calls(audioMasterEndEdit, 5), 1);
    const HostCall& last = hostCalls[hostCalls.size() - 2];
    EXPECT_EQ(last.opcode, audioMasterAutomate);
    EXPECT_EQ(last.index, 5);
    EXPECT_FLOAT_EQ(last.opt, 0.0f);
    for (const HostCall& c : hostCalls) {
        EXPECT_EQ(c.index, 5) << "only the dragged parameter is reported";
    }
    EXPECT_FLOAT_EQ(effect->getParameter(5), 0.0f);
    EXPECT_TRUE(idleUntil([&] { return countDifferences(shown(), expected) == 0; }));
}

TEST_F(X11EditorTest, ClicksReleasedBeforeTheEditorsIdleActOnce) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    ASSERT_TRUE(openAndShow(reference));
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    // Press and release reach the server before the host's next idle, as a
    // quick click or a touchpad tap does. The second row (parameter 3, at
    // 0.1) is clicked on its track, away from the handle: its centre moves
    // there.
    host.movePointer(hx + 150, hy + 57 + 14);
    host.button(1, true);
    host.button(1, false);
    EXPECT_TRUE(idleUntil([&] { return calls(audioMasterEndEdit) > 0; })) << sequence();
    idleOn();
    EXPECT_EQ(sequence(), "begin 3, automate 3 " + text(131.0f / 153.0f) + ", end 3");
    EXPECT_FLOAT_EQ(effect->getParameter(3), 131.0f / 153.0f);

    // A quick Ctrl+click on the fifth row (parameter 6, at 0.75) resets it.
    hostCalls.clear();
    host.movePointer(hx + 40, hy + 135 + 14);
    host.key(XK_Control_L, true);
    host.button(1, true);
    host.button(1, false);
    host.key(XK_Control_L, false);
    EXPECT_TRUE(idleUntil([&] { return calls(audioMasterAutomate) > 0; })) << sequence();
    idleOn();
    EXPECT_EQ(sequence(), "automate 6 0.5");
    EXPECT_EQ(effect->getParameter(6), 0.5f);
}

TEST_F(X11EditorTest, AHandlePressedFor300MsWithoutMovingKeepsItsValue) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    ASSERT_TRUE(openAndShow(reference));
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    // The first row (parameter 2) at 0: its handle stands at the start of the
    // travel, frame x 13 to 34; the fourth (parameter 5) at 0.5: x 84 to 105.
    // Each pressed on its centre.
    const struct {
        int32_t parameter, x, y;
        float value;
    } handles[] = {{2, 13 + 11, 31 + 14, 0.0f}, {5, 84 + 11, 31 + 3 * 26 + 14, 0.5f}};
    for (const auto& h : handles) {
        SCOPED_TRACE(h.parameter);
        hostCalls.clear();
        host.movePointer(hx + h.x, hy + h.y);
        host.button(1, true);
        std::atomic<bool> released{false};
        std::thread user([&] {
            X11TestHost hand;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            hand.button(1, false);
            released = true;
        });
        bool ended = idleUntil([&] { return released && calls(audioMasterEndEdit) > 0; });
        user.join();
        ASSERT_TRUE(ended) << sequence();
        idleOn();
        const std::string index = std::to_string(h.parameter);
        EXPECT_EQ(sequence(), "begin " + index + ", end " + index);
        EXPECT_EQ(effect->getParameter(h.parameter), h.value);
    }
    EXPECT_TRUE(idleUntil([&] { return countDifferences(shown(), reference) == 0; }))
        << "the handles are drawn where they were";
}

TEST_F(X11EditorTest, ChangesFromTheHostThreadAppearAfterTheEditorsIdle) {
    std::vector<uint32_t> expected = headlessPanel(values, {{3, 0.25f}, {8, 0.5f}, {0, 0.75f}});
    ASSERT_TRUE(openAndShow(reference));
    // The host's main thread sets parameters while the editor thread idles.
    std::thread mainThread([&] {
        record->setParameter(record, 3, 0.25f);
        record->setParameter(record, 8, 0.5f);
        record->setParameter(record, 0, 0.75f); // no control on the panel
    });
    mainThread.join();
    EXPECT_TRUE(idleUntil([&] { return countDifferences(shown(), expected) == 0; }));
    EXPECT_TRUE(hostCalls.empty()) << "host changes are not reported back";
}

TEST_F(X11EditorTest, ClosingAndReopeningShowsTheCurrentValues) {
    ASSERT_TRUE(openAndShow(reference));
    dispatch(effEditClose);
    EXPECT_TRUE(host.children(hostWindow).empty());
    EXPECT_FALSE(platform::x11::diagnostics().connected);
    record->setParameter(record, 2, 1.0f);
    std::vector<float> after = values;
    after[2] = 1.0f;
    // The reference needs the X11 editor closed; it is.
    std::vector<uint32_t> expected = headlessPanel(after);
    EXPECT_TRUE(openAndShow(expected));
}

TEST_F(X11EditorTest, HostWindowDestroyedBeforeTheEditorCloses) {
    ASSERT_TRUE(openAndShow(reference));
    host.destroyWindow(hostWindow);
    dispatch(effEditIdle);
    record->setParameter(record, 4, 0.3f);
    dispatch(effEditIdle);
    dispatch(effEditClose);
    EXPECT_EQ(effect->panel()->getFrame(), nullptr);
    EXPECT_EQ(platform::x11::diagnostics().windows, 0);
}

TEST_F(X11EditorTest, OnADesktopOf192DpiThePanelIsTheHeadlessPanelAt200Percent) {
    // The same panel drawn headless at 200% (the host asks the size first).
    const std::vector<uint32_t> zoomed = headlessEditorPicture(600, 490, [&] {
        auto* made = new StoringEffect(values.data());
        made->panel()->setFixedZoom(200);
        ERect* size = nullptr;
        made->panel()->getRect(&size);
        return made;
    });
    ASSERT_EQ(zoomed.size(), size_t(600 * 490));
    // The X server's resource database says 192 DPI, as a desktop scaled by 2 does.
    Display* d = host.connection();
    const Atom resources = XInternAtom(d, "RESOURCE_MANAGER", False);
    const std::string database = "Xft.antialias:\t1\nXft.dpi:\t192\n";
    XChangeProperty(d, DefaultRootWindow(d), resources, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(database.data()),
                    static_cast<int>(database.size()));
    XSync(d, False);
    ERect* size = nullptr;
    const bool told = dispatch(effEditGetRect, &size) == 1 && size;
    const int32_t width = told ? size->right - size->left : 0;
    const int32_t height = told ? size->bottom - size->top : 0;
    Window big = host.createHostWindow(60, 50, 600, 490);
    const intptr_t opened = dispatch(effEditOpen, reinterpret_cast<void*>(big));
    XDeleteProperty(d, DefaultRootWindow(d), resources); // for the tests after this one
    XSync(d, False);
    ASSERT_TRUE(told);
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 490);
    ASSERT_EQ(opened, 1);
    std::vector<Window> kids = host.children(big);
    ASSERT_EQ(kids.size(), 1u);
    int x = -1, y = -1, w = 0, h = 0;
    ASSERT_TRUE(host.geometry(kids[0], x, y, w, h));
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 490);
    EXPECT_TRUE(idleUntil([&] {
        return countDifferences(host.capture(kids[0], 600, 490), zoomed) == 0;
    })) << countDifferences(host.capture(kids[0], 600, 490), zoomed)
        << " pixels differ from the headless panel at 200%";
    // Told the size first, the editor needed no resize from the host.
    for (const HostCall& c : hostCalls) {
        EXPECT_NE(c.opcode, audioMasterSizeWindow);
    }
}

TEST_F(X11EditorTest, AZoomChangeGrowsTheSameWindowAndDrawsThePanelAnew) {
    const std::vector<uint32_t> zoomed = headlessEditorPicture(600, 490, [&] {
        auto* made = new StoringEffect(values.data());
        made->panel()->setFixedZoom(200);
        ERect* size = nullptr;
        made->panel()->getRect(&size);
        return made;
    });
    ASSERT_TRUE(openAndShow(reference));
    const Window before = panelWindow();
    // What a zoom chosen in the menu does once the host has grown its window.
    XResizeWindow(host.connection(), hostWindow, 600, 490);
    host.sync();
    Frame* frame = effect->panel()->getFrame();
    ASSERT_TRUE(frame->setZoom(Zoom(200)));
    EXPECT_EQ(panelWindow(), before);
    int x = -1, y = -1, w = 0, h = 0;
    ASSERT_TRUE(host.geometry(before, x, y, w, h));
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 490);
    EXPECT_TRUE(idleUntil([&] {
        return countDifferences(host.capture(before, 600, 490), zoomed) == 0;
    })) << countDifferences(host.capture(before, 600, 490), zoomed)
        << " pixels differ from the headless panel at 200%";
}

TEST_F(X11EditorTest, TheWindowDeclaresItsSizeAndWheelNotchesStepTheSliderUnderThePointer) {
    ASSERT_TRUE(host.hasXTest() && openAndShow(reference));
    // Flags, minimum, maximum and base size of the window's WM_NORMAL_HINTS.
    auto declared = [&] {
        const std::vector<unsigned long> h = host.property(panelWindow(), "WM_NORMAL_HINTS");
        return h.size() < 17 ? h : std::vector<unsigned long>{h[0], h[5],  h[6], h[7],
                                                              h[8], h[15], h[16]};
    };
    const unsigned long sizes = PMinSize | PMaxSize | PBaseSize;
    EXPECT_EQ(declared(), std::vector<unsigned long>({sizes, 300, 245, 300, 245, 300, 245}));
    // Notches up and down (Shift: button + 10) on the first row at 0, up on
    // the last row at 1, on the second row's value box and the background.
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    const int notches[][3] = {{100, 45, 4}, {100, 45, 4},  {100, 45, 4}, {100, 45, 14},
                              {100, 45, 5}, {100, 201, 4}, {205, 71, 4}, {150, 10, 4}};
    for (const auto& [x, y, button] : notches) {
        host.movePointer(hx + x, hy + y);
        host.key(XK_Shift_L, button > 10);
        host.button(button % 10, true);
        host.button(button % 10, false);
        host.key(XK_Shift_L, false);
    }
    EXPECT_TRUE(idleUntil([&] { return calls(audioMasterEndEdit) > 0; }));
    // 0.1 a notch, 0.01 with Shift, as 32-bit values.
    EXPECT_EQ(sequence(), "begin 2, automate 2 0.100000001, automate 2 0.200000003, automate 2 "
                          "0.300000012, automate 2 0.310000002, automate 2 0.210000008, end 2");
    // A zoom declares the new size before the host is asked for the room.
    std::vector<unsigned long> whenAsked;
    effect->onResize = [&] { return whenAsked = declared(), true; };
    EXPECT_TRUE(effect->panel()->chooseZoom(Zoom(200)));
    settings::ZoomChoice::store(0); // the tests after this one follow the desktop
    EXPECT_EQ(whenAsked, std::vector<unsigned long>({sizes, 600, 490, 600, 490, 600, 490}));
}

#if defined(FUMARA_MODULE_PATH)

// The built plug-in module loaded as a host loads it: its own copy of the
// backend opens the editor in the host's window.
class X11ModuleTest : public X11HostedEditorTest {
protected:
    void SetUp() override {
        X11HostedEditorTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        module = dlopen(FUMARA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        using Entry = AEffect* (*)(audioMasterCallback);
        auto entry = reinterpret_cast<Entry>(dlsym(module, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        record = entry(&recordingHost);
        ASSERT_NE(record, nullptr);
        dispatch(effOpen);
        hostWindow = host.createHostWindow(60, 50, panelWidth, panelHeight);
    }

    void TearDown() override {
        if (record) {
            dispatch(effEditClose);
            dispatch(effClose);
        }
        if (module) {
            dlclose(module);
        }
    }

    void* module = nullptr;
};

TEST_F(X11ModuleTest, EditorOpensPaintsAndClosesInsideTheHostWindow) {
    if (!(record->flags & effFlagsHasEditor)) {
        GTEST_SKIP() << "the plug-in module reports no editor";
    }
    std::vector<float> values(parameterCount);
    for (int32_t i = 0; i < parameterCount; ++i) {
        values[i] = record->getParameter(record, i);
    }
    std::vector<uint32_t> reference = headlessPanel(values);

    ERect* rect = nullptr;
    dispatch(effEditGetRect, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, panelWidth);
    EXPECT_EQ(rect->bottom - rect->top, panelHeight);
    dispatch(effEditOpen, reinterpret_cast<void*>(hostWindow));
    std::vector<Window> kids;
    bool same = false;
    for (int i = 0; i < 500 && !same; ++i) {
        dispatch(effEditIdle);
        kids = host.children(hostWindow);
        same = kids.size() == 1 &&
               countDifferences(host.capture(kids[0], panelWidth, panelHeight), reference) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_TRUE(same) << "the module's panel is the headless panel of its values";

    // A drag on the first slider reaches the host as automation of parameter 2.
    if (host.hasXTest()) {
        int hx = 0, hy = 0;
        ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
        host.movePointer(hx + 100, hy + 31 + 14);
        host.button(1, true);
        std::atomic<bool> released{false};
        std::thread user([&] {
            X11TestHost hand;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            hand.movePointer(hx + 250, hy + 31 + 14);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            hand.button(1, false);
            released = true;
        });
        int ends = 0;
        for (int i = 0; i < 500 && !(released && ends > 0); ++i) {
            dispatch(effEditIdle);
            ends = 0;
            for (const HostCall& c : hostCalls) {
                ends += c.opcode == audioMasterEndEdit ? 1 : 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        user.join();
        ASSERT_EQ(ends, 1);
        ASSERT_GE(hostCalls.size(), 3u);
        EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
        EXPECT_EQ(hostCalls.front().index, 2);
        EXPECT_EQ(hostCalls[hostCalls.size() - 2].opcode, audioMasterAutomate);
        EXPECT_FLOAT_EQ(hostCalls[hostCalls.size() - 2].opt, 1.0f);
        EXPECT_FLOAT_EQ(record->getParameter(record, 2), 1.0f);
    }

    dispatch(effEditClose);
    EXPECT_TRUE(host.children(hostWindow).empty());
}

#endif

} // namespace
