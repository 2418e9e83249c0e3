// fumara-render --analyze: renders the plug-in's impulse response for each setting asked for,
// prints its figures (tools/fumara-render/ImpulseAnalysis.h) and draws the decay curves.
#pragma once

#include "tools/fumara-render/PluginHost.h"
#include "tools/fumara-render/RenderOptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace render {

// The response of the plug-in as set up now (started) to a unit impulse on both inputs at
// sample 0, until a whole block of output is exactly zero (the reverb's gate has closed) or
// `maxFrames` frames have been rendered.
struct ImpulseResponse {
    std::vector<float> left;
    std::vector<float> right;
};
ImpulseResponse renderImpulseResponse(PluginHost& plugin, int32_t blockSize, int64_t maxFrames);

// Loads the plug-in afresh and sets it up as a host starts an instance, with factory preset
// `preset` (-1: none) applied; answers kExitOk or the status of a failure it reported.
using PluginOpener = std::function<int(int32_t preset, std::unique_ptr<PluginHost>& host)>;

// Measures each preset of the options (or the settings alone) in an instance of its own,
// prints the figures to stdout and writes the plot the options name. Answers the exit status.
int analyseImpulseResponses(const RenderOptions& options, int32_t rate, const PluginOpener& open);

} // namespace render
