// The render loop: the input, then silence in until a whole output block is zero (or the
// tail's limit), stopping when asked; and the text of the progress line.
#include "tools/fumara-render/Renderer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace render {

volatile std::sig_atomic_t stopRequested = 0;

RenderResult renderAudio(PluginHost& plugin, AudioSource& source, OutputFile& output,
                         int32_t blockSize, int64_t maxTailFrames,
                         const ProgressFunction& progress) {
    RenderResult result;
    const size_t n = static_cast<size_t>(blockSize);
    std::vector<float> inLeft(n), inRight(n), outLeft(n), outRight(n);
    const int64_t total = source.frames();

    // The input.
    for (;;) {
        if (stopRequested) {
            result.interrupted = true;
            return result;
        }
        const int32_t got = source.read(inLeft.data(), inRight.data(), blockSize);
        if (got < 0) {
            result.error =
                "INPUT: read error after " + std::to_string(result.inputFrames) + " frames";
            return result;
        }
        if (got == 0) {
            break;
        }
        plugin.process(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), got);
        if (!output.write(outLeft.data(), outRight.data(), got, result.error)) {
            result.error = "OUTPUT: " + result.error;
            return result;
        }
        result.inputFrames += got;
        if (progress) {
            progress(result.inputFrames, total, 0);
        }
    }

    // The tail: silence in, until the output has been zero for a whole block.
    std::fill(inLeft.begin(), inLeft.end(), 0.0f);
    std::fill(inRight.begin(), inRight.end(), 0.0f);
    while (result.tailFrames < maxTailFrames) {
        if (stopRequested) {
            result.interrupted = true;
            return result;
        }
        const int32_t frames =
            static_cast<int32_t>(std::min<int64_t>(blockSize, maxTailFrames - result.tailFrames));
        plugin.process(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), frames);
        bool silent = frames == blockSize;
        for (int32_t i = 0; i < frames && silent; ++i) {
            silent = outLeft[size_t(i)] == 0.0f && outRight[size_t(i)] == 0.0f;
        }
        if (silent) {
            break;
        }
        if (!output.write(outLeft.data(), outRight.data(), frames, result.error)) {
            result.error = "OUTPUT: " + result.error;
            return result;
        }
        result.tailFrames += frames;
        if (progress) {
            progress(result.inputFrames, total, result.tailFrames);
        }
    }
    result.ok = true;
    return result;
}

std::string progressLine(int64_t done, int64_t total, int64_t tail, int32_t sampleRate, int width) {
    const double rate = sampleRate > 0 ? sampleRate : 1;
    char text[160];
    if (tail > 0 || total <= 0) {
        const std::string bar(static_cast<size_t>(width), '=');
        std::snprintf(text, sizeof text, "\r[%s] 100%%  tail %.1f s ", bar.c_str(), tail / rate);
        return text;
    }
    const double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const int filled = static_cast<int>(fraction * width);
    std::string bar(static_cast<size_t>(width), ' ');
    std::fill(bar.begin(), bar.begin() + filled, '=');
    if (filled < width) {
        bar[static_cast<size_t>(filled)] = '>';
    }
    std::snprintf(text, sizeof text, "\r[%s] %3d%%  %.1f of %.1f s ", bar.c_str(),
                  static_cast<int>(fraction * 100.0), done / rate, total / rate);
    return text;
}

} // namespace render
