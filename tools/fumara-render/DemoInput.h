// The built-in demo input: two bars of synthesized drums and plucked strings
// ending in one chord, so that the reverb and its tail are plain to hear.
#pragma once

#include <cstdint>
#include <vector>

namespace render {

struct DemoAudio {
    std::vector<float> left;
    std::vector<float> right;
    int32_t sampleRate = 0;
};

constexpr int32_t kDemoSampleRate = 44100;
constexpr double kDemoSeconds = 5.5;

// The same samples on every run and platform (a fixed noise generator).
DemoAudio makeDemoInput(int32_t sampleRate = kDemoSampleRate);

} // namespace render
