// fumara-render end to end: the built executable run on files made here, its
// output compared with what the plug-in itself produces when this test drives
// it through its entry point; and its refusals.
#include "effect/FactoryPresets.h"
#include "tools/PluginLoader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Audio {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
    size_t frames() const { return channels ? samples.size() / size_t(channels) : 0; }
    float at(size_t frame, int channel) const {
        return samples[frame * size_t(channels) + size_t(channel)];
    }
};

void writeAudio(const std::string& path, const Audio& audio, int format) {
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.rate;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, audio.samples.data(), sf_count_t(audio.frames()));
    sf_close(file);
}

Audio readAudio(const std::string& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (!file) {
        return audio;
    }
    audio.channels = info.channels;
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.samples.resize(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    return audio;
}

// Noise with gaps, `channels` wide.
Audio testSignal(int channels, int rate, double seconds, uint32_t seed) {
    Audio audio;
    audio.channels = channels;
    audio.rate = rate;
    const size_t frames = size_t(seconds * rate);
    audio.samples.resize(frames * size_t(channels));
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const bool gap = (i / size_t(channels) / 2000) % 3 == 2;
        audio.samples[i] = gap ? 0.0f : 0.4f * (float(seed >> 8) / 16777216.0f - 0.5f);
    }
    return audio;
}

intptr_t VSTCALLBACK silentHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// What the plug-in makes of `input` when this test hosts it: a fresh load of
// the module (so its library-wide state is that of a new process, like the
// renderer's), one instance, the given settings, blocks of `block` frames.
Audio pluginOutput(const Audio& input, int block, int program = -1,
                   const std::vector<std::pair<int32_t, float>>& settings = {},
                   size_t extraFrames = 0) {
    Audio out;
    out.channels = 2;
    out.rate = input.rate;
    PluginLoader module(FUMARA_MODULE_PATH);
    EXPECT_TRUE(module.loaded()) << module.error();
    if (!module.loaded()) {
        return out;
    }
    AEffect* effect = module.entryPoint()(silentHost);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(input.rate));
    effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
    if (program >= 0) {
        effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
    }
    for (const auto& s : settings) {
        effect->setParameter(effect, s.first, s.second);
    }
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // The input in blocks (the last one shorter), then the silence in blocks.
    const size_t blockFrames = static_cast<size_t>(block);
    std::vector<float> inL(blockFrames), inR(blockFrames), outL(blockFrames), outR(blockFrames);
    for (size_t part = 0; part < 2; ++part) {
        const size_t frames = part == 0 ? input.frames() : extraFrames;
        for (size_t at = 0; at < frames; at += blockFrames) {
            const size_t n = std::min(blockFrames, frames - at);
            for (size_t i = 0; i < n; ++i) {
                inL[i] = part == 0 ? input.at(at + i, 0) : 0.0f;
                inR[i] = part == 0 ? input.at(at + i, input.channels - 1) : 0.0f;
            }
            float* inputs[2] = {inL.data(), inR.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            effect->processReplacing(effect, inputs, outputs, int32_t(n));
            for (size_t i = 0; i < n; ++i) {
                out.samples.push_back(outL[i]);
                out.samples.push_back(outR[i]);
            }
        }
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return out;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("fumara-render-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    static std::string quoted(const std::string& text) {
        std::string result = "'";
        for (char c : text) {
            result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return result + "'";
    }

    static std::string slurp(const std::string& file) {
        std::ifstream in(file);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }

    Outcome render(const std::vector<std::string>& args) {
        std::string command = quoted(FUMARA_RENDER);
        for (const std::string& a : args) {
            command += " " + quoted(a);
        }
        const std::string outFile = path("stdout.txt");
        const std::string errFile = path("stderr.txt");
        command += " >" + quoted(outFile) + " 2>" + quoted(errFile) + " </dev/null";
        Outcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = slurp(outFile);
        run.err = slurp(errFile);
        fs::remove(outFile);
        fs::remove(errFile);
        return run;
    }

    // Files in the folder other than the ones named.
    std::vector<std::string> otherFiles(const std::vector<std::string>& known) const {
        std::vector<std::string> others;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                others.push_back(name);
            }
        }
        return others;
    }

    fs::path folder;
};

::testing::AssertionResult sameSamples(const Audio& a, const Audio& b) {
    if (a.samples.size() != b.samples.size()) {
        return ::testing::AssertionFailure()
               << "sizes " << a.samples.size() << " and " << b.samples.size();
    }
    for (size_t i = 0; i < a.samples.size(); ++i) {
        if (a.samples[i] != b.samples[i]) {
            return ::testing::AssertionFailure()
                   << "sample " << i << ": " << a.samples[i] << " vs " << b.samples[i];
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(RenderTool, RendersAStereoFileAsThePluginProcessesIt) {
    const Audio input = testSignal(2, 22050, 0.6, 1);
    writeAudio(path("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Outcome run =
        render({"--quiet", "--block-size", "256", "--tail", "0", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const Audio out = readAudio(path("out.wav"));
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.frames(), input.frames());
    EXPECT_TRUE(sameSamples(out, pluginOutput(input, 256)));
    EXPECT_TRUE(otherFiles({"in.wav", "out.wav"}).empty());
}

TEST_F(RenderTool, MonoInputFeedsBothInputs) {
    const Audio input = testSignal(1, 48000, 0.4, 2);
    writeAudio(path("mono.flac"), input, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const Outcome run = render({"-q", "--tail=0", path("mono.flac"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio out = readAudio(path("out.wav"));
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 48000);
    // What the plug-in makes of the file as libsndfile reads it.
    EXPECT_TRUE(sameSamples(out, pluginOutput(readAudio(path("mono.flac")), 512)));
}

TEST_F(RenderTool, ProgramAndParametersByNameAndIndex) {
    const Audio input = testSignal(2, 44100, 0.5, 3);
    writeAudio(path("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Outcome run = render({"-q", "--tail", "0", "--program", "5", "--set", "Room Size=0.9",
                                "--set", "reverb-level=0.8", "--set", "8=0.5", "--block", "100",
                                path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio expected = pluginOutput(input, 100, 5, {{2, 0.9f}, {7, 0.8f}, {8, 0.5f}});
    EXPECT_TRUE(sameSamples(readAudio(path("out.wav")), expected));
    // And the settings do change the sound.
    EXPECT_FALSE(sameSamples(expected, pluginOutput(input, 100)));
}

TEST_F(RenderTool, TheTailRunsUntilTheGateCloses) {
    Audio input = testSignal(2, 8000, 0.25, 4);
    writeAudio(path("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    // Limited: exactly the input and 0.5 s more.
    Outcome run = render({"-q", "--tail", "0.5", path("in.wav"), path("limited.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio limited = readAudio(path("limited.wav"));
    EXPECT_EQ(limited.frames(), input.frames() + 4000);
    EXPECT_TRUE(sameSamples(limited, pluginOutput(input, 512, -1, {}, 4000)));
    // Unlimited enough: until a whole block of output is zero. The gate of the
    // default room size closes 5 s after the last sound.
    run = render({"-q", path("in.wav"), path("tail.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Audio tail = readAudio(path("tail.wav"));
    EXPECT_GT(tail.frames(), input.frames() + 4 * 8000);
    EXPECT_LT(tail.frames(), input.frames() + 6 * 8000);
    EXPECT_EQ(tail.frames() % 512, input.frames() % 512);
    const Audio expected = pluginOutput(input, 512, -1, {}, tail.frames() - input.frames() + 512);
    Audio written = expected;
    written.samples.resize(tail.samples.size());
    EXPECT_TRUE(sameSamples(tail, written));
    for (size_t i = tail.samples.size(); i < expected.samples.size(); ++i) {
        ASSERT_EQ(expected.samples[i], 0.0f) << "the block after the end is silent";
    }
    // ... and it is the first silent block: the last one written is not.
    bool lastBlockSounds = false;
    for (size_t i = tail.samples.size() - 2 * 512; i < tail.samples.size(); ++i) {
        lastBlockSounds |= tail.samples[i] != 0.0f;
    }
    EXPECT_TRUE(lastBlockSounds);
}

TEST_F(RenderTool, OutputFormatFollowsTheExtension) {
    const Audio input = testSignal(2, 44100, 0.2, 5);
    writeAudio(path("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const struct {
        const char* name;
        int format;
    } cases[] = {{"out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                 {"out.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                 {"out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"OUT.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {"noextension", SF_FORMAT_WAV | SF_FORMAT_FLOAT}};
    for (const auto& c : cases) {
        const Outcome run = render({"--tail", "0", path("in.wav"), path(c.name)});
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_NE(run.out.find("Wrote " + path(c.name)), std::string::npos) << run.out;
        const Audio out = readAudio(path(c.name));
        EXPECT_EQ(out.format, c.format) << c.name;
        EXPECT_EQ(out.channels, 2) << c.name;
        EXPECT_EQ(out.rate, 44100) << c.name;
    }
}

TEST_F(RenderTool, TheDemoNeedsNoInput) {
    const Outcome run = render({path("demo.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Wrote " + path("demo.wav")), std::string::npos) << run.out;
    EXPECT_EQ(run.err, ""); // no progress bar when stderr is no terminal
    const Audio out = readAudio(path("demo.wav"));
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 44100);
    EXPECT_GT(out.frames(), size_t(5 * 44100));
    float peak = 0.0f;
    for (float s : out.samples) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_GT(peak, 0.3f);
}

TEST_F(RenderTool, ListShowsParametersAndPrograms) {
    const Outcome run = render({"--list", "--set", "Room Size=0.25"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("KDLV Fumara by Tarnwick"), std::string::npos);
    EXPECT_NE(run.out.find("    2  Room Size            0.250000 units"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("   31  Unused               0.500000 units"), std::string::npos);
    EXPECT_NE(run.out.find("  127  Init"), std::string::npos);
    const Outcome help = render({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: fumara-render [options] [INPUT] OUTPUT", 0), 0u);
}

// A preset applies its nine values after the program; --set values come after it.
TEST_F(RenderTool, APresetIsAppliedBeforeTheSetValues) {
    const Audio input = testSignal(2, 44100, 0.3, 9);
    writeAudio(path("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Outcome run = render({"--quiet", "--tail", "0", "--preset", "large-hall", "--set",
                                "Dry Level=0.5", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const FactoryPreset& hall = kFactoryPresets[findFactoryPreset("Large Hall")];
    std::vector<std::pair<int32_t, float>> settings;
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        settings.emplace_back(i, hall.values[i]);
    }
    settings.emplace_back(kDryLevel, 0.5f);
    EXPECT_TRUE(sameSamples(readAudio(path("out.wav")), pluginOutput(input, 512, -1, settings)));
    const Outcome list = render({"--list"});
    for (const FactoryPreset& preset : kFactoryPresets) {
        EXPECT_NE(list.out.find(std::string("  ") + preset.name + " "), std::string::npos);
    }
}

// --analyze measures each preset in a fresh instance, as the table of presets states, and
// draws the decay curves into a picture.
TEST_F(RenderTool, AnalyzePrintsThePresetsFiguresAndDrawsTheirDecay) {
    const Outcome run = render({"--analyze", "--preset", "Small Room", "--preset", "Large Hall",
                                "--analyze-plot", path("decay.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    size_t at = 0;
    for (const char* name : {"Small Room", "Large Hall"}) {
        at = run.out.find(std::string("KDLV Fumara, ") + name, at);
        ASSERT_NE(at, std::string::npos) << run.out;
        double left = 0.0, right = 0.0;
        ASSERT_EQ(std::sscanf(run.out.c_str() + run.out.find("RT60 (T30)", at),
                              "RT60 (T30) %lf s %lf s", &left, &right),
                  2);
        EXPECT_NEAR(left, kFactoryPresets[findFactoryPreset(name)].measured.rt60, 0.0015);
    }
    const std::string png = slurp(path("decay.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x03\xc0\0\0\x02\x58", 8)); // 960 x 600
}

// Each refusal: status 2, one line naming the culprit, nothing written, an
// existing OUTPUT left as it was.
TEST_F(RenderTool, BadInputIsRefusedAndNothingIsWritten) {
    writeAudio(path("in.wav"), testSignal(2, 44100, 0.1, 6), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    writeAudio(path("three.wav"), testSignal(3, 44100, 0.1, 7), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    {
        std::ofstream junk(path("junk.wav"));
        junk << "this is not audio";
        std::ofstream old(path("old.wav"));
        old << "older output";
    }
    const std::string input = path("in.wav");
    const std::string old = path("old.wav");
    const struct {
        std::vector<std::string> args;
        std::string mention;
    } cases[] = {
        {{path("three.wav"), old}, "three.wav: has 3 channels"},
        {{path("missing.wav"), old}, "missing.wav: No such file"},
        {{path("junk.wav"), old}, "junk.wav: unsupported or damaged audio file"},
        {{"--set", "Rom Size=0.5", input, old}, "valid names: Mode, Length, Room Size,"},
        {{"--set", "Room Size=loud", input, old}, "\"loud\" is not a number"},
        {{"--set", "Room Size=nan", input, old}, "\"nan\" is not a number"},
        {{"--set", "Room Size=2", input, old}, "range from 0 to 1"},
        {{"--set", "32=0.5", input, old}, "index 32 out of range"},
        {{"--set", "Unused=0.5", input, old}, "give its index"},
        {{"--program", "128", input, old}, "--program 128"},
        {{"--block-size", "0", input, old}, "--block-size 0"},
        {{"--tail", "-1", input, old}, "--tail -1"},
        {{"--frobnicate", input, old}, "--frobnicate: unknown option"},
        {{input, path("out.mp3")}, "unsupported output format \".mp3\""},
        {{input, input}, "OUTPUT is INPUT"},
        {{input, (folder / "." / "in.wav").string()}, "OUTPUT is INPUT"},
        {{input, path("")}, "is a folder"},
        {{"--plugin", path("in.wav"), input, old}, "--plugin"},
        {{input, old, "extra"}, "too many arguments"},
        {{"--preset", "Lobby", input, old}, "no such preset; the presets are Vocal Booth, Small"},
        {{"--preset", "all", input, old}, "several presets only with --analyze"},
        {{"--analyze", input}, "--analyze renders an impulse, not files"},
        {{"--rate", "48000", input, old}, "--rate: only --analyze"},
    };
    for (const auto& c : cases) {
        const Outcome run = render(c.args);
        EXPECT_EQ(run.status, 2) << c.mention;
        EXPECT_NE(run.err.find(c.mention), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(slurp(old), "older output");
    EXPECT_TRUE((otherFiles({"in.wav", "three.wav", "junk.wav", "old.wav"}).empty()));
    // The input survived the attempt to overwrite it.
    EXPECT_EQ(readAudio(input).frames(), size_t(4410));
}

#if defined(FUMARA_LV2_BUNDLE)

// The LV2 bundle through lilv renders what the VST 2.x module renders.
TEST_F(RenderTool, TheLv2BundleRendersAsTheModule) {
    const struct {
        int rate;
        std::vector<std::string> options;
    } cases[] = {
        {44100, {"--tail", "0.5"}},
        {48000, {"--set", "Room Size=0.9", "--set", "reverb_level=0.8", "--block-size", "100"}},
        {96000, {"--set", "Mode=0.2", "--set", "8=0.3", "--block-size", "1", "--tail", "0"}},
    };
    for (const auto& c : cases) {
        writeAudio(path("in.wav"), testSignal(2, c.rate, 0.3, 11), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        std::vector<std::string> vst = c.options, lv2 = c.options;
        vst.insert(vst.end(), {"-q", path("in.wav"), path("vst.wav")});
        lv2.insert(lv2.end(),
                   {"-q", "--plugin", FUMARA_LV2_BUNDLE, path("in.wav"), path("lv2.wav")});
        const Outcome a = render(vst);
        const Outcome b = render(lv2);
        ASSERT_EQ(a.status, 0) << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
        const Audio fromVst = readAudio(path("vst.wav"));
        EXPECT_GT(fromVst.frames(), size_t(0.3 * c.rate) - 1) << c.rate;
        EXPECT_TRUE(sameSamples(fromVst, readAudio(path("lv2.wav")))) << c.rate;
    }
    const Outcome list =
        render({"--list", "--plugin", FUMARA_LV2_BUNDLE, "--set", "Dry Level=0.25"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("KDLV Fumara by Tarnwick"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("    8  Dry Level            0.250000"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("  (none)"), std::string::npos) << list.out;
}

TEST_F(RenderTool, ABadBundleIsRefused) {
    writeAudio(path("in.wav"), testSignal(2, 44100, 0.1, 12), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    fs::create_directories(folder / "empty.lv2");
    fs::create_directories(folder / "other.lv2");
    {
        std::ofstream manifest(path("other.lv2/manifest.ttl"));
        manifest << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                    "<urn:example:other> a lv2:Plugin ; lv2:binary <other.so> .\n";
        std::ofstream file(path("file.lv2"));
        file << "not a folder";
    }
    const std::string input = path("in.wav");
    const struct {
        std::vector<std::string> args;
        std::string mention;
    } cases[] = {
        {{"--plugin", path("missing.lv2"), input, path("out.wav")}, "no such LV2 bundle"},
        {{"--plugin", path("missing.lv2/"), input, path("out.wav")}, "no such LV2 bundle"},
        {{"--plugin", path("file.lv2"), input, path("out.wav")}, "a bundle is a folder"},
        {{"--plugin", path("empty.lv2"), input, path("out.wav")}, "it has no manifest.ttl"},
        {{"--plugin", path("other.lv2"), input, path("out.wav")}, "not a Fumara bundle"},
        {{"--plugin", FUMARA_LV2_BUNDLE, "--program", "3", input, path("out.wav")},
         "has no programs"},
        {{"--plugin", FUMARA_LV2_BUNDLE, "--snapshot", path("panel.png")}, "LV2 bundle"},
    };
    for (const auto& c : cases) {
        const Outcome run = render(c.args);
        EXPECT_EQ(run.status, 2) << c.mention;
        EXPECT_NE(run.err.find(c.mention), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    EXPECT_FALSE(fs::exists(path("out.wav")));
    EXPECT_FALSE(fs::exists(path("panel.png")));
}

#endif

TEST_F(RenderTool, AFinishedRenderReplacesAnOlderOutput) {
    writeAudio(path("in.wav"), testSignal(2, 44100, 0.1, 8), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    {
        std::ofstream old(path("out.wav"));
        old << "older output";
    }
    const Outcome run = render({"-q", "--tail", "0", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readAudio(path("out.wav")).frames(), size_t(4410));
    EXPECT_TRUE(otherFiles({"in.wav", "out.wav"}).empty());
}

} // namespace
