// Finding the loaded library's handle before any other static initialiser runs.
#include "effect/ModuleInstance.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

void* moduleInstance = nullptr;

namespace {

// Runs before the ordinary static initialisers, so any of them may read the
// handle. On Windows the library's load notification stores the same value again.
__attribute__((constructor(101))) void findModuleInstance() {
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&moduleInstance), &module)) {
        moduleInstance = module;
    }
#else
    Dl_info info{};
    if (dladdr(&moduleInstance, &info) != 0 && info.dli_fbase) {
        moduleInstance = info.dli_fbase;
    }
#endif
}

} // namespace
