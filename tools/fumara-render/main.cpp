// fumara-render: renders audio through the plug-in, loaded as a host loads it.
// See usageText() (fumara-render --help) for the command line.
#include "effect/FactoryPresets.h"
#include "tools/fumara-render/AnalyzeCommand.h"
#include "tools/fumara-render/AudioFile.h"
#include "tools/fumara-render/DemoInput.h"
#include "tools/fumara-render/PluginHost.h"
#include "tools/fumara-render/RenderOptions.h"
#include "tools/fumara-render/Renderer.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace render;

namespace {

// The plug-in's export that draws its editor into a PNG file.
constexpr const char* kSnapshotExport = "FumaraEditorSnapshot";
constexpr const char* kZoomedSnapshotExport = "FumaraEditorSnapshotAtZoom";

// "fumara-render: message" on one line of stderr.
int fail(int status, const std::string& message) {
    std::cerr << "fumara-render: " << message << "\n";
    return status;
}

std::string executableFolder(const char* argv0) {
#if defined(_WIN32)
    char path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self = length > 0 && length < sizeof path ? std::string(path, length) : argv0;
#else
    std::error_code ignored;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ignored).string();
    if (self.empty()) {
        self = argv0 ? argv0 : "";
    }
#endif
    return std::filesystem::path(self).parent_path().string();
}

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

// The plug-in built or installed beside the renderer: in the build tree's
// effect folder, in the renderer's own folder, or where installing puts it
// (../lib/vst from bin); the last one when none is there.
std::string defaultPluginPath(const char* argv0) {
    const std::filesystem::path folder = executableFolder(argv0);
    const std::filesystem::path installed =
        folder / FUMARA_PLUGIN_INSTALLED_DIR / FUMARA_PLUGIN_FILE;
    for (const std::filesystem::path& candidate :
         {folder / FUMARA_PLUGIN_RELATIVE_DIR / FUMARA_PLUGIN_FILE, folder / FUMARA_PLUGIN_FILE}) {
        if (exists(candidate.string())) {
            return candidate.lexically_normal().string();
        }
    }
    return installed.lexically_normal().string();
}

std::string displayPath(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path full = std::filesystem::weakly_canonical(path, ignored);
    return full.empty() ? path : full.string();
}

void requestStop(int) {
    stopRequested = 1;
}

void listPlugin(PluginHost& plugin) {
    std::printf("%s by %s\n\nParameters:\n", plugin.effectName().c_str(),
                plugin.vendorName().c_str());
    std::printf("  %5s  %-20s %s\n", "index", "name", "value");
    for (int32_t i = 0; i < plugin.numParams(); ++i) {
        std::printf("  %5d  %-20s %s %s\n", i, plugin.paramName(i).c_str(),
                    plugin.paramDisplay(i).c_str(), plugin.paramLabel(i).c_str());
    }
    std::printf("\nPrograms:\n");
    for (int32_t i = 0; i < plugin.numPrograms(); ++i) {
        std::printf("  %5d  %s\n", i, plugin.programName(i).c_str());
    }
    if (plugin.numPrograms() == 0) {
        std::printf("  (none)\n");
    }
    std::printf("\nFactory presets (--preset NAME), measured at 44100 Hz:\n");
    std::printf("  %-14s %7s %11s  %s\n", "name", "RT60", "pre-delay", "character");
    for (const FactoryPreset& preset : kFactoryPresets) {
        std::printf("  %-14s %5.2f s %8.1f ms  %s\n", preset.name,
                    static_cast<double>(preset.measured.rt60),
                    static_cast<double>(preset.measured.firstArrivalMs), preset.character);
    }
}

// The editor's picture, drawn by the plug-in itself (its one export besides
// the entry point) with the values it holds now.
int takeSnapshot(PluginHost& plugin, const std::string& pluginPath, const RenderOptions& options) {
    using SnapshotFunction = int32_t (*)(AEffect*, const char*);
    using ZoomedSnapshotFunction = int32_t (*)(AEffect*, const char*, int32_t);
    if (!plugin.effect()) {
        return fail(kExitBadInput, "--snapshot: the editor's picture comes from the VST 2.x "
                                   "module; " +
                                       pluginPath + " is an LV2 bundle");
    }
    auto snapshot = reinterpret_cast<SnapshotFunction>(plugin.symbol(kSnapshotExport));
    auto zoomed = reinterpret_cast<ZoomedSnapshotFunction>(plugin.symbol(kZoomedSnapshotExport));
    if (!snapshot && !zoomed) {
        return fail(kExitFailure, "--snapshot: " + pluginPath + " does not export " +
                                      kSnapshotExport + "; it cannot draw its editor off-screen");
    }
    if (!zoomed && options.zoomPercent != 100) {
        return fail(kExitFailure, "--zoom: " + pluginPath + " does not export " +
                                      kZoomedSnapshotExport + "; it draws its editor at 100% only");
    }
    if (isFolder(options.snapshot)) {
        return fail(kExitBadInput, options.snapshot + ": is a folder");
    }
    const int32_t drawn =
        zoomed ? zoomed(plugin.effect(), options.snapshot.c_str(), options.zoomPercent)
               : snapshot(plugin.effect(), options.snapshot.c_str());
    if (drawn != 1) {
        return fail(kExitFailure, "--snapshot " + options.snapshot +
                                      ": the plug-in could not draw its editor or write the file");
    }
    if (!options.quiet) {
        std::printf("Wrote %s: the editor as a PNG picture\n",
                    displayPath(options.snapshot).c_str());
    }
    return kExitOk;
}

// Loads the plug-in and sets it up as a host starts an instance: rate, block size, program,
// factory preset (-1: none), values. Answers kExitOk or the status of the failure reported.
int openPlugin(const RenderOptions& options, const std::string& pluginPath, int32_t rate,
               int32_t preset, std::unique_ptr<PluginHost>& host) {
    std::string error;
    host = PluginHost::forPath(pluginPath);
    PluginHost& plugin = *host;
    if (!plugin.load(pluginPath, error)) {
        return fail(kExitBadInput, "--plugin " + pluginPath + ": " + error);
    }
    if (options.program >= 0 && plugin.numPrograms() == 0) {
        return fail(kExitBadInput, "--program " + std::to_string(options.program) +
                                       ": the plug-in at " + pluginPath +
                                       " has no programs; set its parameters with --set");
    }
    if (plugin.numPrograms() > 0 && options.program >= plugin.numPrograms()) {
        return fail(kExitBadInput, "--program " + std::to_string(options.program) +
                                       ": the plug-in has programs 0 to " +
                                       std::to_string(plugin.numPrograms() - 1));
    }
    std::vector<std::pair<int32_t, float>> settings;
    if (preset >= 0) {
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            const int32_t index = plugin.findParameter(kNamedParameters[i].name, error);
            if (index < 0) {
                return fail(kExitBadInput,
                            std::string("--preset ") + kFactoryPresets[preset].name + ": " + error);
            }
            settings.emplace_back(index, kFactoryPresets[preset].values[i]);
        }
    }
    for (const ParameterSetting& setting : options.settings) {
        const int32_t index = plugin.findParameter(setting.parameter, error);
        if (index < 0) {
            return fail(kExitBadInput, "--set " + setting.parameter + ": " + error);
        }
        settings.emplace_back(index, setting.value);
    }

    // As a host starts an instance: rate, block size, program, values, resume.
    plugin.setSampleRate(static_cast<float>(rate));
    plugin.setBlockSize(options.blockSize);
    if (options.program >= 0) {
        plugin.selectProgram(options.program);
    }
    for (const auto& setting : settings) {
        plugin.setParameter(setting.first, setting.second);
    }
    return kExitOk;
}

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderOptions options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        return fail(kExitBadInput, error + " (see fumara-render --help)");
    }
    if (options.help) {
        std::cout << usageText();
        return kExitOk;
    }
    if (options.version) {
        std::cout << "fumara-render " FUMARA_VERSION "\n";
        return kExitOk;
    }

    // Everything the user named is checked before anything is written.
    std::unique_ptr<AudioSource> source;
    int format = 0;
    std::string formatName;
    const bool renderSound = !options.list && !options.output.empty();
    if (renderSound) {
        if (!options.input.empty()) {
            auto file = std::make_unique<FileSource>();
            if (!file->open(options.input, error)) {
                return fail(kExitBadInput, options.input + ": " + error);
            }
            if (sameFile(options.input, options.output) || options.input == options.output) {
                return fail(kExitBadInput,
                            options.output + ": OUTPUT is INPUT; the input would be lost");
            }
            source = std::move(file);
        } else {
            const DemoAudio demo = makeDemoInput();
            source = std::make_unique<BufferSource>(demo.left, demo.right, demo.sampleRate);
        }
        if (isFolder(options.output)) {
            return fail(kExitBadInput, options.output + ": is a folder");
        }
        if (!outputFormatFor(options.output, format, formatName, error)) {
            return fail(kExitBadInput, options.output + ": " + error);
        }
    }

    const std::string pluginPath =
        options.pluginPath.empty() ? defaultPluginPath(argv[0]) : options.pluginPath;
    const int32_t rate = options.analyze ? options.analysisRate
                         : source        ? source->sampleRate()
                                         : kDemoSampleRate;
    if (!options.analyzePlot.empty() && isFolder(options.analyzePlot)) {
        return fail(kExitBadInput, options.analyzePlot + ": is a folder");
    }
    std::unique_ptr<PluginHost> host;
    const int32_t preset = options.presets.empty() ? -1 : options.presets.front();
    const int opened = openPlugin(options, pluginPath, rate, preset, host);
    if (opened != kExitOk) {
        return opened;
    }
    PluginHost& plugin = *host;
    if (!options.snapshot.empty()) {
        const int status = takeSnapshot(plugin, pluginPath, options);
        if (status != kExitOk) {
            return status;
        }
    }
    if (options.list) {
        listPlugin(plugin);
        return kExitOk;
    }
    if (options.analyze) {
        host.reset(); // each measurement in a fresh instance of a freshly loaded plug-in
        return analyseImpulseResponses(
            options, rate, [&](int32_t setting, std::unique_ptr<PluginHost>& fresh) {
                return openPlugin(options, pluginPath, rate, setting, fresh);
            });
    }
    if (!renderSound) {
        return kExitOk;
    }

    OutputFile output;
    if (!output.open(options.output, format, rate, error)) {
        return fail(kExitBadInput, options.output + ": " + error);
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    const bool showProgress = !options.quiet && isatty(fileno(stderr));
    auto lastShown = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    ProgressFunction progress;
    if (showProgress) {
        progress = [&](int64_t done, int64_t total, int64_t tail) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown >= std::chrono::milliseconds(100)) {
                lastShown = now;
                std::cerr << progressLine(done, total, tail, rate) << std::flush;
            }
        };
    }
    if (!plugin.start(error)) {
        output.discard();
        return fail(kExitFailure, error);
    }
    const int64_t maxTail = static_cast<int64_t>(std::floor(options.tailSeconds * rate));
    const RenderResult result =
        renderAudio(plugin, *source, output, options.blockSize, maxTail, progress);
    plugin.stop();
    if (showProgress) {
        std::cerr << progressLine(result.inputFrames, source->frames(), result.tailFrames, rate)
                  << "\n";
    }
    if (result.interrupted) {
        output.discard();
        return fail(kExitInterrupted, "interrupted; " + options.output + " left as it was");
    }
    if (!result.ok) {
        output.discard();
        return fail(kExitFailure, result.error + "; " + options.output + " left as it was");
    }
    if (!output.commit(error)) {
        return fail(kExitFailure, options.output + ": " + error);
    }
    if (!options.quiet) {
        const double seconds = static_cast<double>(result.inputFrames + result.tailFrames) / rate;
        std::printf("Wrote %s: 2 channels, %d Hz, %s, %.2f s (%s %.2f s + tail %.2f s)\n",
                    displayPath(options.output).c_str(), rate, formatName.c_str(), seconds,
                    options.input.empty() ? "demo" : "input",
                    static_cast<double>(result.inputFrames) / rate,
                    static_cast<double>(result.tailFrames) / rate);
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return fail(kExitFailure, e.what());
    }
}
