// The library-wide sample rate and the range of rates an engine accepts.
#pragma once

#include <atomic>
#include <cstdint>

// Library-wide sample rate in whole samples per second, 44100 when the library is loaded.
// The effect writes it when the host announces a new rate; each engine reads it when it
// sizes its storage and from then on keeps the rate it sized for (Reverb::sampleRate()).
// Atomic because instances on different host threads may set and read it at once.
extern std::atomic<int32_t> currentSampleRate;

// Rates an engine accepts. Anything outside is ignored and the engine keeps its previous
// rate: below 1 the lengths would divide by zero, and far above any rate a host runs the
// storage would grow without bound.
constexpr int32_t kMinSampleRate = 1;
constexpr int32_t kMaxSampleRate = 768000;
constexpr int32_t kDefaultSampleRate = 44100;

inline bool isUsableSampleRate(int32_t rate) {
    return rate >= kMinSampleRate && rate <= kMaxSampleRate;
}

// currentSampleRate if an engine can use it, else `fallback`.
inline int32_t usableSampleRate(int32_t fallback) {
    int32_t rate = currentSampleRate.load(std::memory_order_relaxed);
    return isUsableSampleRate(rate) ? rate : fallback;
}
