// The library's exported entry point, under both names hosts look for:
// VSTPluginMain (searched first by current hosts) and main.
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

} // extern "C"
