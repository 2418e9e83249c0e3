// The library's exported entry point, under both names hosts look for:
// VSTPluginMain (searched first by current hosts) and main.
#include "effect/EditorSnapshot.h"
#include "effect/ModuleInstance.h"
#include "effect/PluginEntry.h"

#if defined(_WIN32)
#include <windows.h>
#endif

extern "C" {

#if defined(_WIN32)

// Exported through fumara.def, which also exports it as main.
AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
    return createEffectInstance(host);
}

// Load notification: keep the module handle, whatever the reason; never refuse.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    moduleInstance = instance;
    return TRUE;
}

#else

__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    return createEffectInstance(host);
}

// A C++ program may not define a function named main with this signature, so the
// symbol main is made an alias of VSTPluginMain at the assembler level.
__attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect*
mainEntryAlias(audioMasterCallback host) __asm__("main");

#endif

// A picture of the editor for tools that hold only the record: draws the
// editor with the effect's current values on a private headless backend and
// writes it as a PNG file. Answers 1 when the file was written; 0 for a null
// or foreign record, a null path, an editor open in a host right now, a
// failed write, and on builds without a PNG writer. The zoomed form takes the
// zoom in percent (100, 150, 200 or 300) and answers 0 for any other.
#if !defined(_WIN32)
__attribute__((visibility("default")))
#endif
int32_t
FumaraEditorSnapshotAtZoom(AEffect* effect, const char* pngPath, int32_t zoomPercent) {
    if (!effect || !pngPath || !*pngPath) {
        return 0;
    }
    try {
        platform::software::Surface pixels;
        if (!drawEditorSnapshot(effect, pixels, zoomPercent)) {
            return 0;
        }
        return writeSnapshotPng(pixels, pngPath) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

#if !defined(_WIN32)
__attribute__((visibility("default")))
#endif
int32_t
FumaraEditorSnapshot(AEffect* effect, const char* pngPath) {
    return FumaraEditorSnapshotAtZoom(effect, pngPath, 100);
}

} // extern "C"
