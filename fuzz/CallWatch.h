// Every call the fuzzer makes into the plug-in passes through a Call: it is
// counted, timed per kind for the profile, and watched by a thread that
// reports a call running longer than 5 s as a finding.
#pragma once

#include <cstdint>

namespace fuzz {

// Pseudo-opcodes that name the calls other than the dispatcher's.
namespace calls {
enum : int32_t {
    kCallEntry = -1,
    kCallProcess = -2,
    kCallProcessReplacing = -3,
    kCallSetParameter = -4,
    kCallGetParameter = -5,
    kCallSnapshot = -6,
};
} // namespace calls

// Reports a finding and aborts, which makes libFuzzer keep the input.
[[noreturn]] void finding(const char* format, ...);

// Marks one call into the plug-in (a dispatcher opcode or a pseudo-opcode)
// for its lifetime. One call is in progress at a time.
class Call {
public:
    explicit Call(int32_t what);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    int32_t what;
    int64_t started;
};

// Starts the thread that watches for hangs.
void startWatchdog();
// Calls into the plug-in so far: entry points, callbacks, exports.
uint64_t pluginCalls();
// Calls and time per kind, on stderr.
void printCallProfile();

} // namespace fuzz
