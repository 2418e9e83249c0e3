// The built plug-in module on a Windows desktop of 192 DPI opens its editor
// at 200%: the size the host is told, the child window it makes and the
// panel it paints. The desktop's resolution is the prefix's LogPixels, which
// a process reads when it starts, so the test sets it, runs itself again as
// a child that opens the editor (with a settings folder of its own), and puts
// the old value back.
#include "host/AEffect.h"
#include "host/VstTypes.h"
#include "tools/PluginLoader.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

constexpr const char* kChildVariable = "FUMARA_DPI_CHILD";
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kResolution = "LogPixels";

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

// The current resolution setting, if there is one.
bool readResolution(DWORD& value) {
    DWORD size = sizeof(value), type = 0;
    return RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, kResolution, RRF_RT_REG_DWORD, &type,
                        &value, &size) == ERROR_SUCCESS;
}

void writeResolution(const DWORD* value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value) {
        RegSetValueExA(key, kResolution, 0, REG_DWORD, reinterpret_cast<const BYTE*>(value),
                       sizeof(*value));
    } else {
        RegDeleteValueA(key, kResolution);
    }
    RegCloseKey(key);
}

// The child's side: the module loaded as a host loads it, its editor opened
// in a window made for the size it announced.
void openTheEditorAt200Percent() {
    PluginLoader module(FUMARA_MODULE_PATH);
    ASSERT_TRUE(module.loaded()) << module.error();
    auto entry = reinterpret_cast<PluginEntryPoint>(module.symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* effect = entry(&quietHost);
    ASSERT_NE(effect, nullptr);
    auto dispatch = [effect](int32_t opcode, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    };
    ERect* size = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, &size), 1);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->right - size->left, 600);
    EXPECT_EQ(size->bottom - size->top, 490);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FumaraDpiTestHost";
    RegisterClassA(&windowClass);
    HWND host = CreateWindowExA(0, "FumaraDpiTestHost", "Editor host", WS_POPUP | WS_VISIBLE, 0, 0,
                                size->right, size->bottom, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!host) {
        dispatch(effClose);
        GTEST_SKIP() << "no display to open windows on";
    }
    ASSERT_EQ(dispatch(effEditOpen, host), 1);
    HWND child = GetWindow(host, GW_CHILD);
    ASSERT_NE(child, nullptr);
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 490);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline && GetUpdateRect(child, nullptr, FALSE)) {
        pumpMessages();
        dispatch(effEditIdle);
        Sleep(10);
    }
    // The title plate is the 200% picture's (resource 20101), at 200% places.
    HMODULE plugin = GetModuleHandleA("fumara.dll");
    HBITMAP panel = static_cast<HBITMAP>(
        LoadImageA(plugin, MAKEINTRESOURCEA(20101), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(panel, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, panel);
    HDC shown = GetDC(child);
    int matching = 0, checked = 0;
    for (int32_t y = 10; y < 50; y += 3) {
        for (int32_t x = 310; x < 590; x += 7) {
            const COLORREF want = GetPixel(memory, x, y), got = GetPixel(shown, x, y);
            auto close = [](int a, int b) { return std::abs(a - b) <= 8; };
            matching += close(GetRValue(want), GetRValue(got)) &&
                        close(GetGValue(want), GetGValue(got)) &&
                        close(GetBValue(want), GetBValue(got));
            ++checked;
        }
    }
    ReleaseDC(child, shown);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(panel);
    EXPECT_GE(matching, checked * 95 / 100) << matching << " of " << checked;
    dispatch(effEditClose);
    dispatch(effClose);
    DestroyWindow(host);
    pumpMessages();
}

} // namespace

TEST(Win32Dpi, ADesktopOf192DpiOpensTheEditorAt200Percent) {
    if (std::getenv(kChildVariable)) {
        openTheEditorAt200Percent();
        return;
    }
    if (std::getenv("FUMARA_I386_EMULATED")) {
        GTEST_SKIP() << "32-bit Wine runs under an emulator here: no second process";
    }
    DWORD old = 0;
    const bool hadOld = readResolution(old);
    const DWORD high = 192;
    writeResolution(&high);

    // The child: this program again, this test only, with a settings folder
    // that holds no choice.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string settings = std::string(folder) + "fumara-dpi-settings";
    CreateDirectoryA(settings.c_str(), nullptr);
    char saved[MAX_PATH] = {};
    const DWORD savedLength = GetEnvironmentVariableA("APPDATA", saved, MAX_PATH);
    const std::string savedSettings(saved, savedLength < MAX_PATH ? savedLength : 0);
    SetEnvironmentVariableA(kChildVariable, "1");
    SetEnvironmentVariableA("APPDATA", settings.c_str());
    std::string command = std::string("\"") + self + "\" --gtest_filter=Win32Dpi.*";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    SetEnvironmentVariableA("APPDATA", savedSettings.empty() ? nullptr : savedSettings.c_str());
    DWORD exitCode = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    writeResolution(hadOld ? &old : nullptr);
    RemoveDirectoryA(settings.c_str());
    ASSERT_TRUE(started) << "could not run " << self;
    EXPECT_EQ(exitCode, 0u) << "the child's checks failed (its output is above)";
}
