// A stand-in host for tests: records every call an effect makes through its
// host callback and answers each opcode with a value the test chooses (0 unless set).
#pragma once

#include "host/AEffect.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    static RecordingHost& get() {
        static RecordingHost host;
        return host;
    }

    static intptr_t VSTCALLBACK callback(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt) {
        RecordingHost& host = get();
        host.calls.push_back({effect, opcode, index, value, ptr, opt});
        if (host.onCall) {
            // From a copy: the action may replace or clear itself.
            std::function<void(const HostCall&)> action = host.onCall;
            action(host.calls.back());
        }
        auto found = host.answers.find(opcode);
        return found == host.answers.end() ? 0 : found->second;
    }

    void reset() {
        calls.clear();
        answers.clear();
        onCall = nullptr;
    }

    void answer(int32_t opcode, intptr_t value) { answers[opcode] = value; }

    int count(int32_t opcode) const {
        int n = 0;
        for (const HostCall& call : calls) {
            n += call.opcode == opcode ? 1 : 0;
        }
        return n;
    }

    std::vector<HostCall> calls;
    std::map<int32_t, intptr_t> answers;
    // Runs after each call is recorded, when set (a host reacting to a call).
    std::function<void(const HostCall&)> onCall;
};
