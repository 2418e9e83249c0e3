// A stand-in host for tests: records every call an effect makes through its
// host callback and answers each opcode with a value the test chooses (0 unless set).
#pragma once

#include "host/AEffect.h"

#include <cstdint>
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
        auto found = host.answers.find(opcode);
        return found == host.answers.end() ? 0 : found->second;
    }

    void reset() {
        calls.clear();
        answers.clear();
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
};
