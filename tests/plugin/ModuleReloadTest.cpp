// The module loaded and unloaded again and again in one process, as hosts that
// scan plug-ins do: nothing of it may stay behind. The C library's count of
// heap in use must come back to where the first load and unload left it
// (builds whose allocator keeps no such count, the sanitizer builds, leave
// the check to LeakSanitizer at exit). The system's drawing libraries stay
// loaded throughout, as they do in a host with a user interface: pixman, which
// cairo loads, keeps a table from its own start-up that it never frees.
#include "host/AEffect.h"
#include "tools/PluginLoader.h"

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <dlfcn.h>
#include <malloc.h>
#endif

namespace {

intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

long heapInUse() {
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
#else
    return 0;
#endif
}

void loadUseAndUnload() {
    PluginLoader module(FUMARA_MODULE_PATH);
    ASSERT_TRUE(module.loaded()) << module.error();
    PluginEntryPoint entry = module.entryPoint();
    ASSERT_NE(entry, nullptr);
    AEffect* effect = entry(host);
    ASSERT_NE(effect, nullptr);
    float left[64] = {0.5f}, right[64] = {-0.5f};
    float* io[2] = {left, right};
    effect->processReplacing(effect, io, io, 64);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(ModuleReload, LoadingAndUnloadingTwentyTimesLeavesNoMemoryBehind) {
#if defined(__GLIBC__)
    dlopen("libcairo.so.2", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
#endif
    loadUseAndUnload();
    const long afterFirst = heapInUse();
    for (int i = 0; i < 20; ++i) {
        loadUseAndUnload();
    }
    if (afterFirst == 0) {
        GTEST_SKIP() << "the allocator keeps no count here; LeakSanitizer checks at exit";
    }
    // One load's worth of the C++ runtime's exception pool is about 70 KiB.
    EXPECT_LE(heapInUse() - afterFirst, 16 * 1024);
}

} // namespace
