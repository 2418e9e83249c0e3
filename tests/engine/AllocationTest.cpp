// Counts heap allocations made while the engine processes and rebuilds: the audio path must
// not touch the heap. The test executable replaces the global allocation functions.
#include "engine/Reverb.h"
#include "tests/engine/EngineTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <vector>

// The replacements below pair malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

class EngineAllocations : public enginetest::RateFixture {};

TEST_F(EngineAllocations, CountingSeesTheEngineAllocate) {
    const long before = allocations.load();
    Reverb reverb;
    EXPECT_GT(allocations.load(), before);
}

TEST_F(EngineAllocations, ProcessingAndRebuildsDoNotAllocate) {
    for (int32_t rate : {44100, 192000}) {
        currentSampleRate = rate;
        Reverb reverb;
        reverb.setBlockSize(512);
        enginetest::Noise noise(31);
        std::vector<float> l = noise.block(2048, 0.5f), r = noise.block(2048, 0.5f), ol(2048),
                           orr(2048);

        const long before = allocations.load();
        for (int block = 0; block < 40; ++block) {
            const float v = (block % 11) / 10.0f; // 0 to 1
            // What the effect does at a block start after parameter changes, at the extremes
            // of every structural parameter.
            reverb.setPreDelay(v * 0.98f);
            reverb.setSeparation(v * 0.98f + 0.001f);
            reverb.setLowpassCutoff(v + 0.1f);
            reverb.setHighpassCutoff(v);
            reverb.setLength(v);
            reverb.setMode(static_cast<int32_t>(v * 16));
            reverb.setRoomSize(block % 2 ? 1.0f : v);
            const int32_t frames = 1 + (block * 389) % 2048; // also longer than the capacity
            reverb.process(frames, l.data(), r.data(), ol.data(), orr.data(), 1.0f, 0.5f);
        }
        reverb.setRoomSize(2.0f); // the largest room the engine accepts
        reverb.process(2048, l.data(), r.data(), ol.data(), orr.data(), 1.0f, 0.5f);
        EXPECT_EQ(allocations.load() - before, 0) << rate;
    }
}

} // namespace
