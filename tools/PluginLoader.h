// Loads a plug-in module the way a host does and looks up its exports:
// dlopen/dlsym on Linux, LoadLibrary/GetProcAddress on Windows. Shared by the
// renderer and the tests that drive the built plug-in.
#pragma once

#include "host/AEffect.h"

#include <string>

// The exported entry point of a plug-in module.
typedef AEffect*(VSTCALLBACK* PluginEntryPoint)(audioMasterCallback host);

class PluginLoader {
public:
    // Loads the module at path (a Unix path is given to Wine as drive Z:).
    explicit PluginLoader(const std::string& path);
    // Unloads the module; every instance must have been closed before.
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    bool loaded() const { return handle != nullptr; }
    // Address of an exported function, or null.
    void* symbol(const char* name) const;
    // The entry point as hosts look for it: VSTPluginMain, else main; null
    // when the module exports neither.
    PluginEntryPoint entryPoint() const;
    // Why loading failed, for messages.
    const std::string& error() const { return failure; }

private:
    void* handle = nullptr;
    std::string failure;
};
