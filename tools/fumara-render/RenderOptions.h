// The renderer's command line: fumara-render [options] [INPUT] OUTPUT.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the render itself failed (writing, the plug-in)
constexpr int kExitBadInput = 2; // something the user gave: option, file, name, value
constexpr int kExitInterrupted = 130;

constexpr int32_t kDefaultBlockSize = 512;
constexpr int32_t kMaxBlockSize = 65536;
constexpr double kDefaultTailSeconds = 10.0;
constexpr double kMaxTailSeconds = 3600.0;
constexpr int32_t kMinAnalysisRate = 8000;
constexpr int32_t kMaxAnalysisRate = 384000;
constexpr int32_t kDefaultAnalysisRate = 44100;

// One --set: the parameter as written (a name or an index) and its value.
struct ParameterSetting {
    std::string parameter;
    float value = 0.0f;
};

struct RenderOptions {
    std::string pluginPath; // empty: the plug-in built or installed beside the renderer
    std::vector<ParameterSetting> settings;
    int32_t program = -1; // -1: the plug-in's own first program
    // --preset: factory presets by index (effect/FactoryPresets.h), applied after the
    // program and before the --set values; several only with --analyze.
    std::vector<int32_t> presets;
    bool analyze = false;                        // --analyze: the impulse response's figures
    std::string analyzePlot;                     // --analyze-plot: its decay curves as a PNG
    int32_t analysisRate = kDefaultAnalysisRate; // --rate: the analysis's sample rate
    int32_t blockSize = kDefaultBlockSize;
    double tailSeconds = kDefaultTailSeconds;
    bool list = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string snapshot;      // --snapshot: a PNG picture of the editor
    int32_t zoomPercent = 100; // --zoom: the snapshot's zoom
    std::string input;         // empty: the built-in demo input
    std::string output;        // empty only with --list or --snapshot: no audio
};

// Parses the arguments after the program name. On failure answers false with
// a one-line message naming the option or argument and the reason.
bool parseOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

// The --help text.
std::string usageText();

// A whole decimal number in [low, high]; false when the text is anything else.
bool parseInteger(const std::string& text, int64_t low, int64_t high, int64_t& value);
// A finite decimal number (the whole text); false otherwise.
bool parseNumber(const std::string& text, double& value);

} // namespace render
