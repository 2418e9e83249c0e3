// Counting, timing and watching the fuzzer's calls into the plug-in.
#include "fuzz/CallWatch.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace fuzz {

namespace {

constexpr int64_t kHangNanoseconds = 5'000'000'000;

uint64_t callCount = 0;
std::atomic<int64_t> callStarted{0}; // steady-clock nanoseconds; 0 when no call runs
std::atomic<int32_t> callOpcode{0};

// Time spent per kind of call: opcodes 0 to 98, 99 for opcodes out of the
// table, then the pseudo-opcodes as 100 + their negation.
constexpr int kProfileSlots = 110;
int64_t profileNanoseconds[kProfileSlots];
uint64_t profileCalls[kProfileSlots];

int64_t now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int profileSlot(int32_t what) {
    if (what >= calls::kCallSnapshot && what < 0) {
        return 100 - what;
    }
    return what >= 0 && what < 99 ? what : 99;
}

void watchdog() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int64_t started = callStarted.load(std::memory_order_acquire);
        if (started != 0 && now() - started > kHangNanoseconds) {
            finding("hang: call %d has run for more than 5 s",
                    callOpcode.load(std::memory_order_relaxed));
        }
    }
}

} // namespace

void finding(const char* format, ...) {
    std::fprintf(stderr, "\n== fumara-fuzz finding: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    std::abort();
}

Call::Call(int32_t what) : what(what) {
    ++callCount;
    callOpcode.store(what, std::memory_order_relaxed);
    started = now();
    callStarted.store(started, std::memory_order_release);
}

Call::~Call() {
    callStarted.store(0, std::memory_order_release);
    const int slot = profileSlot(what);
    if (slot < kProfileSlots) {
        profileNanoseconds[slot] += now() - started;
        ++profileCalls[slot];
    }
}

void startWatchdog() {
    std::thread(watchdog).detach();
}

uint64_t pluginCalls() {
    return callCount;
}

void printCallProfile() {
    for (int slot = 0; slot < kProfileSlots; ++slot) {
        if (profileCalls[slot] != 0) {
            std::fprintf(stderr, "  %s %3d: %8llu calls, %9.3f s, %8.3f ms each\n",
                         slot > 100 ? "call" : "opcode", slot > 100 ? 100 - slot : slot,
                         static_cast<unsigned long long>(profileCalls[slot]),
                         profileNanoseconds[slot] * 1e-9,
                         profileNanoseconds[slot] * 1e-6 / profileCalls[slot]);
        }
    }
}

} // namespace fuzz
