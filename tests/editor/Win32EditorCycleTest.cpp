// The built module's editor opened and closed 200 times in one process under
// real user32 and GDI: the GDI and USER objects the process holds must stay
// where they were after the first cycle. GetGuiResources counts them on
// Windows; Wine answers it with 0, so the test also keeps its own books: it
// routes the module's imports of the functions that make and free GDI objects
// and window classes through counters (a patched import table, as profilers
// do) and counts the windows of the thread.
#include "host/AEffect.h"
#include "tools/PluginLoader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <windows.h>

namespace {

// ---- The module's GDI objects and window classes, counted at its imports ---

std::set<HGDIOBJ> liveObjects;
std::set<HDC> liveWindowDCs;
int liveClasses = 0;

template <typename T> T made(T object) {
    if (object) {
        liveObjects.insert(reinterpret_cast<HGDIOBJ>(object));
    }
    return object;
}

decltype(&CreateCompatibleDC) realCreateCompatibleDC;
decltype(&CreateCompatibleBitmap) realCreateCompatibleBitmap;
decltype(&CreateDIBSection) realCreateDIBSection;
decltype(&CreateBitmap) realCreateBitmap;
decltype(&CreatePen) realCreatePen;
decltype(&CreateSolidBrush) realCreateSolidBrush;
decltype(&CreatePenIndirect) realCreatePenIndirect;
decltype(&CreateBrushIndirect) realCreateBrushIndirect;
decltype(&CreateFontA) realCreateFontA;
decltype(&CreateFontIndirectA) realCreateFontIndirectA;
decltype(&CreateFontIndirectW) realCreateFontIndirectW;
decltype(&CreateRectRgn) realCreateRectRgn;
decltype(&LoadBitmapA) realLoadBitmapA;
decltype(&LoadImageA) realLoadImageA;
decltype(&DeleteObject) realDeleteObject;
decltype(&DeleteDC) realDeleteDC;
decltype(&GetDC) realGetDC;
decltype(&ReleaseDC) realReleaseDC;
decltype(&RegisterClassA) realRegisterClassA;
decltype(&RegisterClassExA) realRegisterClassExA;
decltype(&UnregisterClassA) realUnregisterClassA;

HDC WINAPI countCreateCompatibleDC(HDC dc) {
    return made(realCreateCompatibleDC(dc));
}
HBITMAP WINAPI countCreateCompatibleBitmap(HDC dc, int w, int h) {
    return made(realCreateCompatibleBitmap(dc, w, h));
}
HBITMAP WINAPI countCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                     HANDLE section, DWORD offset) {
    return made(realCreateDIBSection(dc, info, usage, bits, section, offset));
}
HBITMAP WINAPI countCreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
    return made(realCreateBitmap(w, h, planes, bits, data));
}
HPEN WINAPI countCreatePen(int style, int width, COLORREF colour) {
    return made(realCreatePen(style, width, colour));
}
HBRUSH WINAPI countCreateSolidBrush(COLORREF colour) {
    return made(realCreateSolidBrush(colour));
}
HPEN WINAPI countCreatePenIndirect(const LOGPEN* pen) {
    return made(realCreatePenIndirect(pen));
}
HBRUSH WINAPI countCreateBrushIndirect(const LOGBRUSH* brush) {
    return made(realCreateBrushIndirect(brush));
}
HFONT WINAPI countCreateFontA(int h, int w, int e, int o, int weight, DWORD i, DWORD u, DWORD s,
                              DWORD c, DWORD op, DWORD cp, DWORD q, DWORD pf, LPCSTR face) {
    return made(realCreateFontA(h, w, e, o, weight, i, u, s, c, op, cp, q, pf, face));
}
HFONT WINAPI countCreateFontIndirectA(const LOGFONTA* font) {
    return made(realCreateFontIndirectA(font));
}
HFONT WINAPI countCreateFontIndirectW(const LOGFONTW* font) {
    return made(realCreateFontIndirectW(font));
}
HRGN WINAPI countCreateRectRgn(int l, int t, int r, int b) {
    return made(realCreateRectRgn(l, t, r, b));
}
HBITMAP WINAPI countLoadBitmapA(HINSTANCE instance, LPCSTR name) {
    return made(realLoadBitmapA(instance, name));
}
HANDLE WINAPI countLoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int w, int h,
                              UINT flags) {
    HANDLE image = realLoadImageA(instance, name, type, w, h, flags);
    return type == IMAGE_BITMAP && !(flags & LR_SHARED) ? made(image) : image;
}
BOOL WINAPI countDeleteObject(HGDIOBJ object) {
    const BOOL deleted = realDeleteObject(object);
    if (deleted) {
        liveObjects.erase(object);
    }
    return deleted;
}
BOOL WINAPI countDeleteDC(HDC dc) {
    const BOOL deleted = realDeleteDC(dc);
    if (deleted) {
        liveObjects.erase(reinterpret_cast<HGDIOBJ>(dc));
    }
    return deleted;
}
HDC WINAPI countGetDC(HWND window) {
    HDC dc = realGetDC(window);
    if (dc) {
        liveWindowDCs.insert(dc);
    }
    return dc;
}
int WINAPI countReleaseDC(HWND window, HDC dc) {
    const int released = realReleaseDC(window, dc);
    if (released) {
        liveWindowDCs.erase(dc);
    }
    return released;
}
ATOM WINAPI countRegisterClassA(const WNDCLASSA* windowClass) {
    const ATOM atom = realRegisterClassA(windowClass);
    liveClasses += atom ? 1 : 0;
    return atom;
}
ATOM WINAPI countRegisterClassExA(const WNDCLASSEXA* windowClass) {
    const ATOM atom = realRegisterClassExA(windowClass);
    liveClasses += atom ? 1 : 0;
    return atom;
}
BOOL WINAPI countUnregisterClassA(LPCSTR name, HINSTANCE instance) {
    const BOOL done = realUnregisterClassA(name, instance);
    liveClasses -= done ? 1 : 0;
    return done;
}

struct Hook {
    const char* name;
    void* replacement;
    void** original;
};

// One import to count: its name, the counter, and where the real function goes.
template <typename Function> Hook hook(const char* name, Function counter, Function* real) {
    return {name, reinterpret_cast<void*>(counter), reinterpret_cast<void**>(real)};
}

// Points the module's import slots of the counted functions at the counters;
// answers how many slots it changed.
int hookImports(HMODULE module) {
    const Hook hooks[] = {
        hook("CreateCompatibleDC", &countCreateCompatibleDC, &realCreateCompatibleDC),
        hook("CreateCompatibleBitmap", &countCreateCompatibleBitmap, &realCreateCompatibleBitmap),
        hook("CreateDIBSection", &countCreateDIBSection, &realCreateDIBSection),
        hook("CreateBitmap", &countCreateBitmap, &realCreateBitmap),
        hook("CreatePen", &countCreatePen, &realCreatePen),
        hook("CreatePenIndirect", &countCreatePenIndirect, &realCreatePenIndirect),
        hook("CreateSolidBrush", &countCreateSolidBrush, &realCreateSolidBrush),
        hook("CreateBrushIndirect", &countCreateBrushIndirect, &realCreateBrushIndirect),
        hook("CreateFontA", &countCreateFontA, &realCreateFontA),
        hook("CreateFontIndirectA", &countCreateFontIndirectA, &realCreateFontIndirectA),
        hook("CreateFontIndirectW", &countCreateFontIndirectW, &realCreateFontIndirectW),
        hook("CreateRectRgn", &countCreateRectRgn, &realCreateRectRgn),
        hook("LoadBitmapA", &countLoadBitmapA, &realLoadBitmapA),
        hook("LoadImageA", &countLoadImageA, &realLoadImageA),
        hook("DeleteObject", &countDeleteObject, &realDeleteObject),
        hook("DeleteDC", &countDeleteDC, &realDeleteDC),
        hook("GetDC", &countGetDC, &realGetDC),
        hook("ReleaseDC", &countReleaseDC, &realReleaseDC),
        hook("RegisterClassA", &countRegisterClassA, &realRegisterClassA),
        hook("RegisterClassExA", &countRegisterClassExA, &realRegisterClassExA),
        hook("UnregisterClassA", &countUnregisterClassA, &realUnregisterClassA),
    };
    auto* base = reinterpret_cast<uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return 0;
    }
    int patched = 0;
    for (auto* library =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         library->Name != 0; ++library) {
        const DWORD namesAt =
            library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Hook& hook : hooks) {
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), hook.name) != 0) {
                    continue;
                }
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
                *hook.original = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function =
                    reinterpret_cast<decltype(slots->u1.Function)>(hook.replacement);
                VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
                ++patched;
            }
        }
    }
    return patched;
}

// ---- The thread's windows ----------------------------------------------------

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, countChild, count);
    return TRUE;
}

int threadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Counts {
    size_t gdiObjects;
    size_t windowDCs;
    int classes;
    int windows;
    DWORD guiGdi;
    DWORD guiUser;
};

Counts counts() {
    return {liveObjects.size(),
            liveWindowDCs.size(),
            liveClasses,
            threadWindows(),
            GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
            GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
}

TEST(Win32EditorCycles, TwoHundredOpenCloseCyclesLeaveGdiAndUserObjectsWhereTheFirstLeftThem) {
    PluginLoader module(FUMARA_MODULE_PATH);
    ASSERT_TRUE(module.loaded()) << module.error();
    auto entry = reinterpret_cast<PluginEntryPoint>(module.symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    HMODULE image = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(entry), &image));
    ASSERT_GE(hookImports(image), 6) << "the module imports its GDI functions";

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FumaraCycleTestHost";
    RegisterClassA(&windowClass);
    HWND host = CreateWindowExA(0, "FumaraCycleTestHost", "Cycle host", WS_POPUP | WS_VISIBLE, 40,
                                40, 300, 245, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!host) {
        GTEST_SKIP() << "no display to open windows on";
    }
    AEffect* effect = entry(quietHost);
    ASSERT_NE(effect, nullptr);
    auto cycle = [&] {
        ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, host, 0.0f), 1);
        pumpMessages();
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        effect->setParameter(effect, 2, 0.25f);
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        pumpMessages();
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        pumpMessages();
    };
    const Counts before = counts();
    cycle();
    const Counts first = counts();
    // 32-bit Wine under an emulator (machines that run no i386 code) takes
    // about a second a cycle: there the run is shorter.
    const int cycles = std::getenv("FUMARA_I386_EMULATED") && sizeof(void*) == 4 ? 30 : 200;
    for (int i = 2; i <= cycles; ++i) {
        cycle();
    }
    const Counts last = counts();
    std::printf(
        "%d cycles\nGDI objects the module made and holds: %u before, %u after cycle "
        "1, %u after the last\nwindow DCs %u/%u/%u, classes %d/%d/%d, thread windows %d/%d/%d\n"
        "GetGuiResources GDI %lu/%lu/%lu, USER %lu/%lu/%lu\n",
        cycles, unsigned(before.gdiObjects), unsigned(first.gdiObjects), unsigned(last.gdiObjects),
        unsigned(before.windowDCs), unsigned(first.windowDCs), unsigned(last.windowDCs),
        before.classes, first.classes, last.classes, before.windows, first.windows, last.windows,
        before.guiGdi, first.guiGdi, last.guiGdi, before.guiUser, first.guiUser, last.guiUser);
    EXPECT_EQ(last.gdiObjects, first.gdiObjects);
    EXPECT_EQ(last.windowDCs, first.windowDCs);
    EXPECT_EQ(last.classes, first.classes);
    EXPECT_EQ(last.windows, first.windows);
    EXPECT_EQ(last.windows, before.windows) << "the editor's windows are gone after each close";
    EXPECT_EQ(last.guiGdi, first.guiGdi);
    EXPECT_EQ(last.guiUser, first.guiUser);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(host);
    pumpMessages();
    EXPECT_EQ(liveObjects.size(), 0u) << "closing the effect frees every object it made";
}

} // namespace
