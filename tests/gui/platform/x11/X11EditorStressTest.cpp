// The built plug-in's editor under stress in a real X server, loaded through
// its entry point as a host loads it: hundreds of open and close cycles must
// leave the X server's resources for the process (windows, pixmaps, graphics
// contexts, as the X-Resource extension counts them per client), its file
// descriptors and its heap where they were after the first cycle; four
// editors open at once each draw and take a drag; a host that destroys its
// window before effEditClose; the editor closed and reopened while audio runs
// on another thread; a thousand instances created and closed leak nothing.
#include "tests/gui/platform/x11/X11TestHost.h"
#include "tests/support/ProcessMemory.h"
#include "tools/PluginLoader.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
// clang-format on

namespace {

constexpr int kPanelWidth = 300;
constexpr int kPanelHeight = 245;
constexpr int32_t kRoomSize = 2;
// The first slider's trough, where a drag starts and ends (panel coordinates).
constexpr int kSliderY = 31 + 14;
constexpr int kSliderLeft = 100;
constexpr int kSliderRight = 250;

// ---- What the process holds ------------------------------------------------

// The X server's resources held by every client but the test's own connection.
struct ServerResources {
    long windows = 0;
    long pixmaps = 0;
    long gcs = 0;
    bool operator==(const ServerResources& o) const {
        return windows == o.windows && pixmaps == o.pixmaps && gcs == o.gcs;
    }
};

std::ostream& operator<<(std::ostream& out, const ServerResources& r) {
    return out << r.windows << " windows, " << r.pixmaps << " pixmaps, " << r.gcs << " GCs";
}

ServerResources serverResources(Display* own, Window ownWindow) {
    ServerResources total;
    int clientCount = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(own, &clientCount, &clients)) {
        return total;
    }
    const Atom window = XInternAtom(own, "WINDOW", False);
    const Atom pixmap = XInternAtom(own, "PIXMAP", False);
    const Atom gc = XInternAtom(own, "GC", False);
    for (int c = 0; c < clientCount; ++c) {
        if ((ownWindow & ~clients[c].resource_mask) == clients[c].resource_base) {
            continue;
        }
        int typeCount = 0;
        XResType* types = nullptr;
        if (!XResQueryClientResources(own, clients[c].resource_base, &typeCount, &types)) {
            continue;
        }
        for (int t = 0; t < typeCount; ++t) {
            if (types[t].resource_type == window) {
                total.windows += types[t].count;
            } else if (types[t].resource_type == pixmap) {
                total.pixmaps += types[t].count;
            } else if (types[t].resource_type == gc) {
                total.gcs += types[t].count;
            }
        }
        XFree(types);
    }
    XFree(clients);
    return total;
}

int openFileDescriptors() {
    int count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(fds)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(fds);
    }
    return count - 1; // the directory's own descriptor
}

using processmemory::heapInUse;
using processmemory::residentBytes;

// ---- A host of several instances -------------------------------------------

struct Recorded {
    int32_t opcode;
    int32_t index;
    float opt;
};

std::mutex recordLock;
std::map<AEffect*, std::vector<Recorded>> recorded;

intptr_t VSTCALLBACK stressHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void*,
                                float opt) {
    if (opcode == audioMasterVersion) {
        return 2400;
    }
    if (opcode != audioMasterIdle) {
        std::lock_guard<std::mutex> lock(recordLock);
        recorded[effect].push_back({opcode, index, opt});
    }
    return 0;
}

int recordedCalls(AEffect* effect, int32_t opcode) {
    std::lock_guard<std::mutex> lock(recordLock);
    int n = 0;
    for (const Recorded& call : recorded[effect]) {
        n += call.opcode == opcode ? 1 : 0;
    }
    return n;
}

class X11EditorStress : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module = new PluginLoader(FUMARA_MODULE_PATH); }
    static void TearDownTestSuite() {
        delete module;
        module = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(module->loaded()) << module->error();
        if (!host.available()) {
            GTEST_SKIP() << host.unavailableReason();
        }
        int event = 0, error = 0;
        if (!XResQueryExtension(host.connection(), &event, &error)) {
            GTEST_SKIP() << "the X server has no X-Resource extension";
        }
        entry = module->entryPoint();
        ASSERT_NE(entry, nullptr);
        std::lock_guard<std::mutex> lock(recordLock);
        recorded.clear();
    }

    void TearDown() override {
        for (AEffect* effect : instances) {
            effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        }
    }

    AEffect* instantiate() {
        AEffect* effect = entry(stressHost);
        if (effect) {
            instances.push_back(effect);
            effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
            effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
            effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        }
        return effect;
    }

    void close(AEffect* effect) {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        for (auto it = instances.begin(); it != instances.end(); ++it) {
            if (*it == effect) {
                instances.erase(it);
                break;
            }
        }
    }

    static intptr_t dispatch(AEffect* effect, int32_t opcode, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    }

    // Idles every 10 ms for up to 5 s until the editor's window shows in the host's.
    bool idleUntilShown(AEffect* effect, Window parent) {
        for (int i = 0; i < 500; ++i) {
            dispatch(effect, effEditIdle);
            const std::vector<Window> kids = host.children(parent);
            if (kids.size() == 1 && host.viewable(kids[0])) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // One open-paint-close cycle in the host's window.
    void cycle(AEffect* effect, Window parent) {
        ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
        dispatch(effect, effEditIdle);
        dispatch(effect, effEditIdle);
        dispatch(effect, effEditClose);
    }

    ServerResources resources() {
        host.sync();
        return serverResources(host.connection(), ownWindow());
    }

    Window ownWindow() {
        if (!probe) {
            probe = host.createHostWindow(0, 0, 8, 8);
        }
        return probe;
    }

    static PluginLoader* module;
    X11TestHost host;
    PluginEntryPoint entry = nullptr;
    std::vector<AEffect*> instances;
    Window probe = 0;
};

PluginLoader* X11EditorStress::module = nullptr;

// Heap growth allowed over a whole run of cycles: a leak of 32 bytes per cycle
// would exceed it (the allocator's own bookkeeping moves by less).
constexpr long kHeapSlack = 16 * 1024;

TEST_F(X11EditorStress, FiveHundredOpenCloseCyclesLeaveResourcesWhereTheFirstLeftThem) {
    // A second instance keeps its editor open throughout, so the library's
    // connection to the server stays and whatever a cycle left behind would
    // pile up on it rather than go with the connection.
    AEffect* anchor = instantiate();
    AEffect* effect = instantiate();
    ASSERT_NE(anchor, nullptr);
    ASSERT_NE(effect, nullptr);
    const Window anchorParent = host.createHostWindow(400, 40, kPanelWidth, kPanelHeight);
    const Window parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
    const ServerResources before = resources();
    const int fdsBefore = openFileDescriptors();
    ASSERT_EQ(dispatch(anchor, effEditOpen, reinterpret_cast<void*>(anchorParent)), 1);
    ASSERT_TRUE(idleUntilShown(anchor, anchorParent));
    const ServerResources anchorOpen = resources();

    // The first cycle loads what stays for the library's life (fonts, caches).
    cycle(effect, parent);
    ASSERT_TRUE(host.children(parent).empty());
    const ServerResources afterFirst = resources();
    const int fdsAfterFirst = openFileDescriptors();
    const long heapAfterFirst = heapInUse();
    const long residentAfterFirst = residentBytes();

    ServerResources whileOpen;
    for (int i = 2; i <= 500; ++i) {
        if (i == 250) {
            ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
            ASSERT_TRUE(idleUntilShown(effect, parent));
            whileOpen = resources();
            dispatch(effect, effEditClose);
            continue;
        }
        cycle(effect, parent);
        dispatch(anchor, effEditIdle);
    }
    const ServerResources afterLast = resources();
    const int fdsAfterLast = openFileDescriptors();
    const long heapAfterLast = heapInUse();
    const long residentAfterLast = residentBytes();
    dispatch(anchor, effEditClose);
    const ServerResources afterAll = resources();

    std::printf("X resources (windows/pixmaps/GCs): before %ld/%ld/%ld, one editor open "
                "%ld/%ld/%ld, two open %ld/%ld/%ld, after cycle 1 %ld/%ld/%ld, after cycle 500 "
                "%ld/%ld/%ld, all closed %ld/%ld/%ld\n"
                "file descriptors: %d before, %d after cycle 1, %d after cycle 500\n"
                "heap in use: %ld after cycle 1, %ld after cycle 500; resident: %ld KiB, %ld "
                "KiB\n",
                before.windows, before.pixmaps, before.gcs, anchorOpen.windows, anchorOpen.pixmaps,
                anchorOpen.gcs, whileOpen.windows, whileOpen.pixmaps, whileOpen.gcs,
                afterFirst.windows, afterFirst.pixmaps, afterFirst.gcs, afterLast.windows,
                afterLast.pixmaps, afterLast.gcs, afterAll.windows, afterAll.pixmaps, afterAll.gcs,
                fdsBefore, fdsAfterFirst, fdsAfterLast, heapAfterFirst, heapAfterLast,
                residentAfterFirst / 1024, residentAfterLast / 1024);
    EXPECT_GT(whileOpen.windows, afterFirst.windows) << "the open editor's windows are counted";
    EXPECT_EQ(afterFirst, anchorOpen);
    EXPECT_EQ(afterLast, afterFirst);
    EXPECT_EQ(afterAll, before);
    EXPECT_EQ(fdsAfterLast, fdsAfterFirst);
    if (heapAfterFirst != 0) {
        EXPECT_LE(heapAfterLast - heapAfterFirst, kHeapSlack);
    }
}

#if defined(__SANITIZE_ADDRESS__)
TEST_F(X11EditorStress, AThousandEditorCyclesLoseNothingToLeakSanitizer) {
    // The library stays loaded; each cycle opens and closes the display
    // connection too, and the host moves a slider so that the panel redraws
    // parts of itself. What the first cycle loads for good (the font
    // configuration) is left to the suppressions.
    AEffect* effect = instantiate();
    const Window parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
        for (float value : {0.0f, 0.5f, 1.0f}) {
            effect->setParameter(effect, kRoomSize, value);
            dispatch(effect, effEditIdle);
        }
        dispatch(effect, effEditClose);
    }
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "the report is above";
}
#endif

TEST_F(X11EditorStress, FourEditorsOpenAtOnceEachDrawAndTakeADrag) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    AEffect* effects[4];
    Window parents[4];
    for (int i = 0; i < 4; ++i) {
        effects[i] = instantiate();
        ASSERT_NE(effects[i], nullptr);
        effects[i]->setParameter(effects[i], kRoomSize, 0.0f);
        parents[i] = host.createHostWindow(10 + (i % 2) * 340, 10 + (i / 2) * 290, kPanelWidth,
                                           kPanelHeight);
        ASSERT_EQ(dispatch(effects[i], effEditOpen, reinterpret_cast<void*>(parents[i])), 1);
    }
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(idleUntilShown(effects[i], parents[i])) << "editor " << i;
    }
    // Every panel is drawn: its pixels are not one colour.
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            dispatch(effects[j], effEditIdle);
        }
        const std::vector<Window> kids = host.children(parents[i]);
        ASSERT_EQ(kids.size(), 1u);
        const std::vector<uint32_t> pixels = host.capture(kids[0], kPanelWidth, kPanelHeight);
        ASSERT_FALSE(pixels.empty());
        int differing = 0;
        for (uint32_t p : pixels) {
            differing += p != pixels[0] ? 1 : 0;
        }
        EXPECT_GT(differing, kPanelWidth * kPanelHeight / 4) << "panel " << i << " is drawn";
    }

    // One drag per editor, the others idling in between: each instance's
    // slider moves its own parameter to the end and reports it to the host.
    for (int i = 0; i < 4; ++i) {
        int x = 0, y = 0;
        ASSERT_TRUE(host.screenOrigin(parents[i], x, y));
        host.movePointer(x + kSliderLeft, y + kSliderY);
        host.button(1, true);
        std::atomic<bool> released{false};
        std::thread hand([&] {
            X11TestHost user;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            user.movePointer(x + kSliderRight, y + kSliderY);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            user.button(1, false);
            released = true;
        });
        for (int n = 0; n < 500 && !(released && recordedCalls(effects[i], audioMasterEndEdit));
             ++n) {
            for (int j = 0; j < 4; ++j) {
                dispatch(effects[(i + j) % 4], effEditIdle);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        hand.join();
        EXPECT_EQ(recordedCalls(effects[i], audioMasterBeginEdit), 1) << "editor " << i;
        EXPECT_EQ(recordedCalls(effects[i], audioMasterEndEdit), 1) << "editor " << i;
        EXPECT_GE(recordedCalls(effects[i], audioMasterAutomate), 1) << "editor " << i;
        EXPECT_FLOAT_EQ(effects[i]->getParameter(effects[i], kRoomSize), 1.0f) << "editor " << i;
        for (int j = i + 1; j < 4; ++j) {
            EXPECT_FLOAT_EQ(effects[j]->getParameter(effects[j], kRoomSize), 0.0f)
                << "editor " << j << " was not dragged yet";
        }
    }
    for (int i = 0; i < 4; ++i) {
        dispatch(effects[i], effEditClose);
        EXPECT_TRUE(host.children(parents[i]).empty());
    }
}

TEST_F(X11EditorStress, AHostWindowDestroyedBeforeEditCloseCostsNothing) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    Window parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
    cycle(effect, parent); // the first cycle's lasting load
    const ServerResources baseline = resources();

    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
        ASSERT_TRUE(idleUntilShown(effect, parent));
        // The host tears its window down first (which takes the editor's child
        // window with it), idles on, and only then closes the editor.
        host.destroyWindow(parent);
        dispatch(effect, effEditIdle);
        dispatch(effect, effEditIdle);
        dispatch(effect, effEditClose);
        parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
        EXPECT_EQ(resources(), baseline) << "round " << round;
    }
    // The editor still opens and draws in a new window.
    ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
    EXPECT_TRUE(idleUntilShown(effect, parent));
    dispatch(effect, effEditClose);
    EXPECT_TRUE(host.children(parent).empty());
}

TEST_F(X11EditorStress, TheEditorClosesAndReopensWhileAudioRunsOnAnotherThread) {
    AEffect* effect = instantiate();
    ASSERT_NE(effect, nullptr);
    const Window parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::atomic<int> nonFinite{0};
    std::thread audio([&] {
        constexpr int32_t kFrames = 512;
        std::vector<float> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
        uint32_t s = 99;
        while (!stop) {
            for (int32_t i = 0; i < kFrames; ++i) {
                s = s * 1664525u + 1013904223u;
                inL[i] = static_cast<float>(s >> 8) / 16777216.0f - 0.5f;
                inR[i] = -inL[i];
            }
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            effect->processReplacing(effect, in, out, kFrames);
            for (int32_t i = 0; i < kFrames; ++i) {
                nonFinite += std::isfinite(outL[i]) && std::isfinite(outR[i]) ? 0 : 1;
            }
            ++blocks;
        }
    });
    for (int round = 0; round < 30; ++round) {
        ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
        for (int i = 0; i < 5; ++i) {
            // Host automation arrives on the control thread while the editor idles.
            effect->setParameter(effect, kRoomSize, static_cast<float>((round + i) % 10) / 9.0f);
            dispatch(effect, effEditIdle);
        }
        dispatch(effect, effEditClose);
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 30);
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_TRUE(host.children(parent).empty());
}

TEST_F(X11EditorStress, AThousandInstancesComeAndGoWithoutLeaking) {
    const Window parent = host.createHostWindow(40, 40, kPanelWidth, kPanelHeight);
    auto lifetime = [&](int n) {
        AEffect* effect = entry(stressHost);
        ASSERT_NE(effect, nullptr);
        dispatch(effect, effOpen);
        effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
        dispatch(effect, effMainsChanged);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        float left[256] = {0.5f}, right[256] = {-0.5f};
        float* io[2] = {left, right};
        effect->processReplacing(effect, io, io, 256);
        if (n % 10 == 0) {
            // A tenth of them open the editor; half of those leave it to effClose.
            ASSERT_EQ(dispatch(effect, effEditOpen, reinterpret_cast<void*>(parent)), 1);
            dispatch(effect, effEditIdle);
            if (n % 20 == 0) {
                dispatch(effect, effEditClose);
            }
        }
        dispatch(effect, effClose);
    };
    lifetime(0);
    const long heapAfterFirst = heapInUse();
    const int fdsAfterFirst = openFileDescriptors();
    const ServerResources afterFirst = resources();
    for (int n = 1; n < 1000; ++n) {
        lifetime(n);
    }
    std::printf("heap in use: %ld after the first instance, %ld after 1000; file descriptors %d, "
                "%d\n",
                heapAfterFirst, heapInUse(), fdsAfterFirst, openFileDescriptors());
    if (heapAfterFirst != 0) {
        EXPECT_LE(heapInUse() - heapAfterFirst, kHeapSlack);
    }
    EXPECT_EQ(openFileDescriptors(), fdsAfterFirst);
    EXPECT_EQ(resources(), afterFirst);
}

} // namespace
