// Loading and unloading a module and finding its exports and its entry point, with Unix paths
// given to Wine as drive Z:.
#include "tools/PluginLoader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
// The build passes a Unix path when the tests run under Wine; Wine shows the
// Unix root as drive Z:.
std::string windowsPath(const std::string& path) {
    std::string result = path;
    if (!result.empty() && result[0] == '/') {
        result = "Z:" + result;
    }
    for (char& c : result) {
        if (c == '/') {
            c = '\\';
        }
    }
    return result;
}
#endif

} // namespace

PluginLoader::PluginLoader(const std::string& path) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(windowsPath(path).c_str());
    if (!module) {
        failure = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }
    handle = reinterpret_cast<void*>(module);
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        failure = message ? message : "dlopen failed";
    }
#endif
}

PluginLoader::~PluginLoader() {
    if (!handle) {
        return;
    }
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

void* PluginLoader::symbol(const char* name) const {
    if (!handle) {
        return nullptr;
    }
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

PluginEntryPoint PluginLoader::entryPoint() const {
    if (void* entry = symbol("VSTPluginMain")) {
        return reinterpret_cast<PluginEntryPoint>(entry);
    }
    return reinterpret_cast<PluginEntryPoint>(symbol("main"));
}
