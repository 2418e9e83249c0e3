// The impulse rendered through the plug-in, its figures printed as a table per setting, and
// the decay curves of every setting drawn into one picture.
#include "tools/fumara-render/AnalyzeCommand.h"

#include "effect/FactoryPresets.h"
#include "tools/fumara-render/DecayPlot.h"
#include "tools/fumara-render/ImpulseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <utility>

namespace render {

namespace {

// "  0.512 s", or "      -" for a figure that could not be read.
std::string figure(double value, const char* format) {
    char text[32];
    if (std::isnan(value)) {
        std::snprintf(text, sizeof text, "%9s", "-");
    } else {
        std::snprintf(text, sizeof text, format, value);
    }
    return text;
}

void printFigures(const analysis::ResponseFigures& f) {
    const analysis::ChannelFigures& l = f.channels[0];
    const analysis::ChannelFigures& r = f.channels[1];
    const struct {
        const char* name;
        double left, right;
        const char* format;
    } rows[] = {
        {"RT60 (T30)", l.rt60, r.rt60, "%7.3f s"},
        {"EDT", l.edt, r.edt, "%7.3f s"},
        {"First reflection", l.firstArrivalMs, r.firstArrivalMs, "%6.1f ms"},
        {"Energy centre", l.centreTimeMs, r.centreTimeMs, "%6.1f ms"},
        {"Wet against dry", l.wetToDryDb, r.wetToDryDb, "%6.1f dB"},
    };
    std::printf("  %-20s %10s %10s\n", "", "left", "right");
    for (const auto& row : rows) {
        std::printf("  %-20s %10s %10s\n", row.name, figure(row.left, row.format).c_str(),
                    figure(row.right, row.format).c_str());
    }
    std::printf("  %-20s %10.3f (left against right, from -5 dB on)\n", "Tail correlation",
                f.tailCorrelation);
    if (std::isnan(l.rt60) || std::isnan(r.rt60)) {
        std::printf("  (- : the decay does not fall far enough to be measured)\n");
    }
}

} // namespace

ImpulseResponse renderImpulseResponse(PluginHost& plugin, int32_t blockSize, int64_t maxFrames) {
    ImpulseResponse response;
    const size_t n = static_cast<size_t>(blockSize);
    std::vector<float> inLeft(n, 0.0f), inRight(n, 0.0f), outLeft(n), outRight(n);
    inLeft[0] = inRight[0] = 1.0f;
    int64_t done = 0;
    while (done < maxFrames) {
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(blockSize, maxFrames - done));
        plugin.process(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), frames);
        inLeft[0] = inRight[0] = 0.0f;
        bool silent = frames == blockSize;
        for (int32_t i = 0; i < frames && silent; ++i) {
            silent = outLeft[size_t(i)] == 0.0f && outRight[size_t(i)] == 0.0f;
        }
        if (silent) {
            break;
        }
        response.left.insert(response.left.end(), outLeft.begin(), outLeft.begin() + frames);
        response.right.insert(response.right.end(), outRight.begin(), outRight.begin() + frames);
        done += frames;
    }
    return response;
}

int analyseImpulseResponses(const RenderOptions& options, int32_t rate, const PluginOpener& open) {
    std::vector<int32_t> settings = options.presets;
    if (settings.empty()) {
        settings.push_back(-1); // the settings of --program and --set alone
    }
    const bool several = settings.size() > 1;
    const int64_t maxFrames =
        std::max<int64_t>(1, static_cast<int64_t>(std::floor(options.tailSeconds * rate)));
    std::vector<analysis::DecayCurve> curves;
    std::string pluginName;
    for (size_t k = 0; k < settings.size(); ++k) {
        std::unique_ptr<PluginHost> host;
        const int status = open(settings[k], host);
        if (status != kExitOk) {
            return status;
        }
        std::string error;
        if (!host->start(error)) {
            std::cerr << "fumara-render: " << error << "\n";
            return kExitFailure;
        }
        const ImpulseResponse response = renderImpulseResponse(*host, options.blockSize, maxFrames);
        host->stop();
        pluginName = host->effectName();
        const std::string label =
            settings[k] >= 0 ? kFactoryPresets[settings[k]].name : "the settings";
        std::printf("%s%s, %s: impulse response at %d Hz, %.2f s\n", k > 0 ? "\n" : "",
                    pluginName.c_str(), label.c_str(), rate,
                    static_cast<double>(response.left.size()) / rate);
        analysis::ResponseFigures figures =
            analysis::analyseResponse(response.left, response.right, rate);
        printFigures(figures);
        for (int c = 0; c < 2; ++c) {
            analysis::DecayCurve curve;
            curve.label = several ? label : (c == 0 ? "left" : "right");
            curve.level = std::move(figures.decay[c]);
            curve.rate = rate;
            curve.colour = several ? int(k) : c;
            curve.dashed = c == 1;
            curves.push_back(std::move(curve));
        }
    }
    if (!options.analyzePlot.empty()) {
        std::string error;
        const std::string title = "Energy decay of " + pluginName + " at " + std::to_string(rate) +
                                  " Hz" + (several ? " (left solid, right dashed)" : "");
        if (!analysis::writeDecayPlot(options.analyzePlot, curves, title, error)) {
            std::cerr << "fumara-render: --analyze-plot " << options.analyzePlot << ": " << error
                      << "\n";
            return kExitFailure;
        }
        if (!options.quiet) {
            std::printf("\nWrote %s: the energy decay curves as a PNG picture\n",
                        options.analyzePlot.c_str());
        }
    }
    return kExitOk;
}

} // namespace render
