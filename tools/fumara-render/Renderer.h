// The render loop: input blocks through the plug-in into the output, then the
// reverb's tail, with an optional progress line.
#pragma once

#include "tools/fumara-render/AudioFile.h"
#include "tools/fumara-render/PluginHost.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

namespace render {

struct RenderResult {
    bool ok = false;
    bool interrupted = false;
    std::string error;
    int64_t inputFrames = 0;
    int64_t tailFrames = 0;
};

// Progress: frames of the input done (of total, -1 when unknown) and tail
// frames done; called about every block.
using ProgressFunction = std::function<void(int64_t done, int64_t total, int64_t tail)>;

// Set (from a signal handler) to stop the render at the next block.
extern volatile std::sig_atomic_t stopRequested;

// Processes the whole source in blocks of `blockSize` frames (the last one
// shorter), then silence until a whole block of output is exactly zero or
// `maxTailFrames` frames have been added. The all-zero block is not written.
RenderResult renderAudio(PluginHost& plugin, AudioSource& source, OutputFile& output,
                         int32_t blockSize, int64_t maxTailFrames,
                         const ProgressFunction& progress = {});

// A progress line for a terminal: "\r[=====>    ]  45%  2.5 s" and so on.
std::string progressLine(int64_t done, int64_t total, int64_t tail, int32_t sampleRate,
                         int width = 30);

} // namespace render
