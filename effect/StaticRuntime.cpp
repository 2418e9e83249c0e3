// The module carries its own copy of the C++ runtime, and that copy sets aside
// an emergency pool for exceptions (about 70 KiB) when the module is loaded.
// Nothing ever frees it, so every load and unload of the module would leave
// one behind in the host: hosts that scan plug-ins load and unload them over
// and over. The pool goes back when the module is unloaded (or the process
// ends). Only for a runtime linked into the module: a shared runtime's pool
// belongs to the whole process.
#if defined(FUMARA_STATIC_CXX_RUNTIME)

namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct ReleaseRuntimePool {
    ~ReleaseRuntimePool() { __gnu_cxx::__freeres(); }
} releaseRuntimePool;

} // namespace

#endif
