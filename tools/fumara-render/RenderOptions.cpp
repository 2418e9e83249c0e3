// Parsing the renderer's command line with its numbers checked, and its usage text.
#include "tools/fumara-render/RenderOptions.h"

#include "effect/FactoryPresets.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace render {

namespace {

// "--name=value" or "--name value": the value of a value-taking option.
bool takeValue(const std::vector<std::string>& args, size_t& i, const std::string& inlineValue,
               bool hasInline, const std::string& option, std::string& value, std::string& error) {
    if (hasInline) {
        value = inlineValue;
        return true;
    }
    if (i + 1 >= args.size()) {
        error = option + ": missing value";
        return false;
    }
    value = args[++i];
    return true;
}

// "Vocal Booth, Small Room, ..." for messages.
std::string presetNames() {
    std::string names;
    for (const FactoryPreset& preset : kFactoryPresets) {
        names += (names.empty() ? "" : ", ") + std::string(preset.name);
    }
    return names;
}

} // namespace

bool parseInteger(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9') {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    // Decimal numbers only: no hexadecimal, no "nan" or "inf", no blanks.
    for (char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!allowed) {
            return false;
        }
    }
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseOptions(const std::vector<std::string>& args, RenderOptions& options,
                  std::string& error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    bool zoomGiven = false;
    bool rateGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
            hasInline = true;
        }
        auto noValue = [&]() {
            if (hasInline) {
                error = name + ": takes no value";
                return false;
            }
            return true;
        };
        std::string value;
        if (name == "--help" || name == "-h") {
            if (!noValue()) {
                return false;
            }
            options.help = true;
        } else if (name == "--version") {
            if (!noValue()) {
                return false;
            }
            options.version = true;
        } else if (name == "--list") {
            if (!noValue()) {
                return false;
            }
            options.list = true;
        } else if (name == "--quiet" || name == "-q") {
            if (!noValue()) {
                return false;
            }
            options.quiet = true;
        } else if (name == "--plugin") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            if (value.empty()) {
                error = "--plugin: empty path";
                return false;
            }
            options.pluginPath = value;
        } else if (name == "--set") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            const size_t split = value.rfind('=');
            if (split == std::string::npos || split == 0) {
                error = "--set " + value + ": expected NAME=VALUE or INDEX=VALUE";
                return false;
            }
            ParameterSetting setting;
            setting.parameter = value.substr(0, split);
            const std::string number = value.substr(split + 1);
            double parsed = 0.0;
            if (!parseNumber(number, parsed) || std::fabs(parsed) > 3.4e38) {
                error = "--set " + value + ": \"" + number + "\" is not a number";
                return false;
            }
            if (!(parsed >= 0.0 && parsed <= 1.0)) {
                error = "--set " + value + ": parameter values range from 0 to 1";
                return false;
            }
            setting.value = static_cast<float>(parsed);
            options.settings.push_back(setting);
        } else if (name == "--program") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            int64_t program = 0;
            if (!parseInteger(value, 0, INT32_MAX, program)) {
                error = "--program " + value + ": not a program number (0 or more)";
                return false;
            }
            options.program = static_cast<int32_t>(program);
        } else if (name == "--preset") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            const int32_t preset = findFactoryPreset(value);
            if (value == "all") {
                for (int32_t p = 0; p < kFactoryPresetCount; ++p) {
                    options.presets.push_back(p);
                }
            } else if (preset < 0) {
                error = "--preset " + value + ": no such preset; the presets are " + presetNames() +
                        " (and all, with --analyze)";
                return false;
            } else {
                options.presets.push_back(preset);
            }
        } else if (name == "--analyze") {
            if (!noValue()) {
                return false;
            }
            options.analyze = true;
        } else if (name == "--analyze-plot") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            if (value.empty()) {
                error = "--analyze-plot: empty path";
                return false;
            }
            options.analyzePlot = value;
            options.analyze = true;
        } else if (name == "--rate") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            int64_t rate = 0;
            if (!parseInteger(value, kMinAnalysisRate, kMaxAnalysisRate, rate)) {
                error = "--rate " + value + ": not a sample rate (" +
                        std::to_string(kMinAnalysisRate) + " to " +
                        std::to_string(kMaxAnalysisRate) + " Hz)";
                return false;
            }
            options.analysisRate = static_cast<int32_t>(rate);
            rateGiven = true;
        } else if (name == "--snapshot") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            if (value.empty()) {
                error = "--snapshot: empty path";
                return false;
            }
            options.snapshot = value;
        } else if (name == "--zoom") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            double factor = 0.0;
            const bool known = parseNumber(value, factor) &&
                               (factor == 1.0 || factor == 1.5 || factor == 2.0 || factor == 3.0);
            if (!known) {
                error = "--zoom " + value + ": the editor's zooms are 1, 1.5, 2 and 3";
                return false;
            }
            options.zoomPercent = static_cast<int32_t>(factor * 100.0);
            zoomGiven = true;
        } else if (name == "--block-size" || name == "--block") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            int64_t size = 0;
            if (!parseInteger(value, 1, kMaxBlockSize, size)) {
                error = name + " " + value + ": not a block size (1 to " +
                        std::to_string(kMaxBlockSize) + " frames)";
                return false;
            }
            options.blockSize = static_cast<int32_t>(size);
        } else if (name == "--tail") {
            if (!takeValue(args, i, inlineValue, hasInline, name, value, error)) {
                return false;
            }
            double seconds = 0.0;
            if (!parseNumber(value, seconds) || seconds < 0.0 || seconds > kMaxTailSeconds) {
                error = "--tail " + value + ": not a number of seconds (0 to " +
                        std::to_string(static_cast<int>(kMaxTailSeconds)) + ")";
                return false;
            }
            options.tailSeconds = seconds;
        } else {
            error = arg + ": unknown option";
            return false;
        }
    }
    if (options.help || options.version) {
        return true;
    }
    if (zoomGiven && options.snapshot.empty()) {
        error = "--zoom: only the --snapshot picture has a zoom";
        return false;
    }
    if (rateGiven && !options.analyze) {
        error = "--rate: only --analyze chooses its rate (a render runs at INPUT's)";
        return false;
    }
    if (options.presets.size() > 1 && !options.analyze) {
        error = "--preset: several presets only with --analyze";
        return false;
    }
    if (options.analyze && !positional.empty()) {
        error = positional[0] + ": --analyze renders an impulse, not files";
        return false;
    }
    if (positional.size() > 2) {
        error = positional[2] + ": too many arguments (expected [INPUT] OUTPUT)";
        return false;
    }
    if (positional.size() == 2) {
        options.input = positional[0];
        options.output = positional[1];
    } else if (positional.size() == 1) {
        options.output = positional[0];
    }
    if (options.input.empty() && positional.size() == 2) {
        error = "INPUT: empty path";
        return false;
    }
    if (options.output.empty() && !options.list && !options.analyze &&
        (options.snapshot.empty() || !positional.empty())) {
        error = positional.empty() ? "missing OUTPUT" : "OUTPUT: empty path";
        return false;
    }
    return true;
}

std::string usageText() {
    return "Usage: fumara-render [options] [INPUT] OUTPUT\n"
           "   or: fumara-render --snapshot PICTURE.png [options] [[INPUT] OUTPUT]\n"
           "   or: fumara-render --analyze [--analyze-plot PICTURE.png] [options]\n"
           "\n"
           "Renders an audio file through the KDLV Fumara reverb plug-in, loaded through its\n"
           "entry point exactly as a host loads it. Without INPUT a built-in demo (a few\n"
           "seconds of synthesized drums and plucks) is rendered.\n"
           "\n"
           "INPUT is read with libsndfile (WAV, FLAC, AIFF, Ogg and more), mono or stereo;\n"
           "mono feeds both inputs of the plug-in. OUTPUT has two channels at INPUT's\n"
           "sample rate; its format follows its extension: .wav (32-bit float, also the\n"
           "default without an extension), .flac and .aiff (24-bit), .ogg (Vorbis).\n"
           "The output is written beside OUTPUT and renamed at the end, so an older file\n"
           "is only replaced by a complete one.\n"
           "\n"
           "Options:\n"
           "  --set NAME=VALUE     set a parameter, by the name the plug-in reports (as\n"
           "                       --list shows it; case, blanks, '-' and '_' do not\n"
           "                       matter) or by its index; may be given several times\n"
           "  --program N          select program N (0-127) before the --set values\n"
           "  --preset NAME        apply a factory preset (as --list shows them) after the\n"
           "                       program and before the --set values\n"
           "  --block-size N       frames per processing call, 1 to 65536 (default 512)\n"
           "  --tail SECONDS       after the input ends, keep rendering silence until the\n"
           "                       output is exactly zero for a whole block (the reverb's\n"
           "                       gate has closed), for at most SECONDS (default 10;\n"
           "                       0 stops with the input)\n"
           "  --plugin PATH        the plug-in to load: the VST 2.x module (default: the\n"
           "                       one built beside fumara-render, or installed with it\n"
           "                       in ../lib/vst), or the LV2 bundle folder fumara.lv2,\n"
           "                       loaded through lilv (no programs: --program is\n"
           "                       refused; no --snapshot)\n"
           "  --snapshot PATH      write a PNG picture of the plug-in's editor (300 x 245)\n"
           "                       showing the values after --program and --set, drawn\n"
           "                       off-screen; without INPUT and OUTPUT no audio is\n"
           "                       rendered\n"
           "  --zoom FACTOR        the snapshot's zoom: 1 (default), 1.5, 2 or 3 (600 x 490\n"
           "                       at 2)\n"
           "  --list               list the parameters (index, name, display text and\n"
           "                       label, after --program and --set), the programs and\n"
           "                       the factory presets, then exit without rendering\n"
           "  --analyze            render the impulse response of the settings instead of\n"
           "                       audio files, and print per output channel: RT60 (from\n"
           "                       T30) and EDT, the first reflection, the energy centre,\n"
           "                       the reverb's level against the dry sound, and the\n"
           "                       channels' correlation over the tail; --preset may be\n"
           "                       given several times, or as --preset all, each preset\n"
           "                       measured in a fresh instance\n"
           "  --analyze-plot PATH  --analyze, and draw the energy decay curves into a PNG\n"
           "                       picture (one curve per channel and preset)\n"
           "  --rate HZ            the sample rate of --analyze (default 44100)\n"
           "  --quiet, -q          no progress bar and no closing message\n"
           "  --help, -h           show this text\n"
           "  --version            show the version number\n"
           "\n"
           "Examples:\n"
           "  $ fumara-render demo.wav\n"
           "  $ fumara-render --set \"Room Size=0.9\" --set 7=0.8 voice.flac voice-hall.flac\n"
           "  $ fumara-render --snapshot panel.png --program 3\n"
           "  $ fumara-render --snapshot panel.png --zoom 2\n"
           "  $ fumara-render --preset \"Large Hall\" voice.flac voice-hall.flac\n"
           "  $ fumara-render --analyze --preset all --analyze-plot decay.png\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    the render failed\n"
           "  2    a bad option, file, name or value (nothing is written)\n"
           "  130  interrupted\n";
}

} // namespace render
