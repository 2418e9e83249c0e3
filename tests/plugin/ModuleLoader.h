// Loads a plug-in module the way a host does and looks up its exports:
// dlopen/dlsym on Linux, LoadLibrary/GetProcAddress on Windows.
#pragma once

#include <string>

class ModuleLoader {
public:
    explicit ModuleLoader(const std::string& path);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    bool loaded() const { return handle != nullptr; }
    // Address of an exported function, or null.
    void* symbol(const char* name) const;
    // Why loading failed, for test messages.
    const std::string& error() const { return failure; }

private:
    void* handle = nullptr;
    std::string failure;
};
