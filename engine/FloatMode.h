// Flush-to-zero and denormals-are-zero for the audio path, set for a scope and then restored.
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <xmmintrin.h>
#define FUMARA_HAS_MXCSR 1
#endif

// Sets flush-to-zero and denormals-are-zero for the lifetime of the object and restores the
// caller's floating-point mode on destruction. The audio path wraps each block in one, so
// denormal numbers never slow the recursions down. Where the caller runs with both set already
// (many hosts do), it only reads the mode: writing it costs more than any other step of a
// short block's set-up.
class ScopedFlushDenormals {
public:
    ScopedFlushDenormals() {
#ifdef FUMARA_HAS_MXCSR
        saved = _mm_getcsr();
        if ((saved & kFlushBits) != kFlushBits) {
            _mm_setcsr(saved | kFlushBits);
            changed = true;
        }
#endif
    }
    ~ScopedFlushDenormals() {
#ifdef FUMARA_HAS_MXCSR
        if (changed) {
            _mm_setcsr(saved);
        }
#endif
    }
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
    static constexpr uint32_t kFlushBits = 0x8040u; // FTZ (bit 15) and DAZ (bit 6)
    uint32_t saved = 0;
    bool changed = false;
};
