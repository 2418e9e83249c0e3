// The renderer's parts that need no plug-in: the command line, output formats,
// the temporary output file, the progress line and the demo input.
#include "tests/support/PipeReader.h"
#include "tools/fumara-render/AudioFile.h"
#include "tools/fumara-render/DemoInput.h"
#include "tools/fumara-render/RenderOptions.h"
#include "tools/fumara-render/Renderer.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

using namespace render;
namespace fs = std::filesystem;

namespace {

RenderOptions parsed(const std::vector<std::string>& args) {
    RenderOptions options;
    std::string error;
    EXPECT_TRUE(parseOptions(args, options, error)) << error;
    return options;
}

std::string refusal(const std::vector<std::string>& args) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(parseOptions(args, options, error));
    return error;
}

TEST(RenderOptions, Defaults) {
    const RenderOptions o = parsed({"out.wav"});
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.input, "");
    EXPECT_EQ(o.blockSize, 512);
    EXPECT_EQ(o.tailSeconds, 10.0);
    EXPECT_EQ(o.program, -1);
    EXPECT_FALSE(o.quiet);
    EXPECT_FALSE(o.list);
    EXPECT_TRUE(o.settings.empty());
    EXPECT_EQ(o.pluginPath, "");
}

TEST(RenderOptions, EveryOptionInBothSpellings) {
    const RenderOptions o =
        parsed({"--set", "Room Size=0.75", "--set=7=1e-1", "--program", "3", "--block-size=64",
                "--tail", "2.5", "--plugin", "/x/fumara.so", "-q", "in.flac", "out.ogg"});
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[0].parameter, "Room Size");
    EXPECT_EQ(o.settings[0].value, 0.75f);
    EXPECT_EQ(o.settings[1].parameter, "7");
    EXPECT_EQ(o.settings[1].value, 0.1f);
    EXPECT_EQ(o.program, 3);
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.tailSeconds, 2.5);
    EXPECT_EQ(o.pluginPath, "/x/fumara.so");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.input, "in.flac");
    EXPECT_EQ(o.output, "out.ogg");
    // After "--" everything is a file name.
    const RenderOptions files = parsed({"--", "-in.wav", "-out.wav"});
    EXPECT_EQ(files.input, "-in.wav");
    EXPECT_EQ(files.output, "-out.wav");
    EXPECT_TRUE(parsed({"--list"}).list);
    EXPECT_TRUE(parsed({"-h"}).help);
    EXPECT_TRUE(parsed({"--version"}).version);
    // The snapshot's zoom, as a factor.
    EXPECT_EQ(parsed({"--snapshot", "p.png"}).zoomPercent, 100);
    const struct {
        const char* factor;
        int32_t percent;
    } zooms[] = {{"1", 100}, {"1.5", 150}, {"2", 200}, {"3", 300}, {"2.0", 200}};
    for (const auto& z : zooms) {
        EXPECT_EQ(parsed({"--snapshot", "p.png", "--zoom", z.factor}).zoomPercent, z.percent);
    }
    EXPECT_EQ(parsed({"--zoom=3", "--snapshot=p.png"}).zoomPercent, 300);
}

TEST(RenderOptions, RefusalsNameTheOption) {
    EXPECT_EQ(refusal({}), "missing OUTPUT");
    EXPECT_EQ(refusal({"--set", "Mode", "o.wav"}),
              "--set Mode: expected NAME=VALUE or INDEX=VALUE");
    EXPECT_EQ(refusal({"--set", "Mode=0x10", "o.wav"}),
              "--set Mode=0x10: \"0x10\" is not a number");
    EXPECT_EQ(refusal({"--set", "Mode=inf", "o.wav"}), "--set Mode=inf: \"inf\" is not a number");
    EXPECT_EQ(refusal({"--set", "Mode=1e39", "o.wav"}),
              "--set Mode=1e39: \"1e39\" is not a number");
    EXPECT_EQ(refusal({"--set", "Mode=", "o.wav"}), "--set Mode=: \"\" is not a number");
    EXPECT_EQ(refusal({"--set", "Room Size=2", "o.wav"}),
              "--set Room Size=2: parameter values range from 0 to 1");
    EXPECT_EQ(refusal({"--set", "8=-0.5", "o.wav"}),
              "--set 8=-0.5: parameter values range from 0 to 1");
    EXPECT_EQ(refusal({"--program", "-1", "o.wav"}),
              "--program -1: not a program number (0 or more)");
    EXPECT_EQ(refusal({"--block-size", "65537", "o.wav"}),
              "--block-size 65537: not a block size (1 to 65536 frames)");
    EXPECT_EQ(refusal({"--block-size", "12x", "o.wav"}),
              "--block-size 12x: not a block size (1 to 65536 frames)");
    EXPECT_EQ(refusal({"--tail", "4000", "o.wav"}),
              "--tail 4000: not a number of seconds (0 to 3600)");
    EXPECT_EQ(refusal({"--tail"}), "--tail: missing value");
    EXPECT_EQ(refusal({"--quiet=yes", "o.wav"}), "--quiet: takes no value");
    EXPECT_EQ(refusal({"-x", "o.wav"}), "-x: unknown option");
    for (const char* zoom : {"1.25", "4", "200", "0", "-2", "two", ""}) {
        EXPECT_EQ(refusal({"--snapshot", "p.png", "--zoom", zoom}),
                  std::string("--zoom ") + zoom + ": the editor's zooms are 1, 1.5, 2 and 3");
    }
    EXPECT_EQ(refusal({"--zoom", "2", "o.wav"}), "--zoom: only the --snapshot picture has a zoom");
    EXPECT_EQ(refusal({"a", "b", "c"}), "c: too many arguments (expected [INPUT] OUTPUT)");
}

TEST(RenderOptions, NumbersAreWholeDecimalTexts) {
    double v = 0.0;
    EXPECT_TRUE(parseNumber("0.5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(parseNumber("-2e-3", v));
    EXPECT_EQ(v, -0.002);
    for (const char* bad : {"", " 1", "1 ", "1,5", "nan", "infinity", "0x1p3", "1e400", "--1"}) {
        EXPECT_FALSE(parseNumber(bad, v)) << bad;
    }
    int64_t n = 0;
    EXPECT_TRUE(parseInteger("65536", 1, 65536, n));
    EXPECT_EQ(n, 65536);
    for (const char* bad : {"", "+", "1.0", "99999999999999999999999", "0"}) {
        EXPECT_FALSE(parseInteger(bad, 1, 65536, n)) << bad;
    }
}

TEST(RenderOutput, FormatsByExtension) {
    int format = 0;
    std::string description, error;
    ASSERT_TRUE(outputFormatFor("a/b.c/out", format, description, error));
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_FLOAT); // the dot is the folder's
    ASSERT_TRUE(outputFormatFor(".hidden", format, description, error));
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_TRUE(outputFormatFor("x.Flac", format, description, error));
    EXPECT_EQ(format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_TRUE(outputFormatFor("x.aif", format, description, error));
    EXPECT_EQ(format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    ASSERT_TRUE(outputFormatFor("x.oga", format, description, error));
    EXPECT_EQ(format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_FALSE(outputFormatFor("x.mp3", format, description, error));
    EXPECT_EQ(error, "unsupported output format \".mp3\" (use .wav, .flac, .aiff or .ogg)");
}

TEST(RenderOutput, TheTargetChangesOnlyWhenTheFileIsComplete) {
    const fs::path folder =
        fs::temp_directory_path() / ("fumara-output-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string target = (folder / "out.wav").string();
    {
        std::ofstream old(target);
        old << "old";
    }
    const float left[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    const float right[4] = {-0.1f, -0.2f, -0.3f, -0.4f};
    std::string error;
    {
        OutputFile out;
        ASSERT_TRUE(out.open(target, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, error)) << error;
        EXPECT_NE(out.temporaryPath(), target);
        EXPECT_TRUE(fs::exists(out.temporaryPath()));
        ASSERT_TRUE(out.write(left, right, 4, error));
        // Abandoned (an interrupted render): the temporary file goes.
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_EQ(fs::file_size(target), 3u);
    {
        OutputFile out;
        ASSERT_TRUE(out.open(target, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, error)) << error;
        ASSERT_TRUE(out.write(left, right, 4, error));
        ASSERT_TRUE(out.commit(error)) << error;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(target.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    float back[8] = {};
    EXPECT_EQ(sf_readf_float(file, back, 4), 4);
    sf_close(file);
    EXPECT_EQ(back[0], 0.1f);
    EXPECT_EQ(back[7], -0.4f);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::remove_all(folder);
}

TEST(RenderOutput, ADeviceOrPipeIsWrittenIntoNotReplaced) {
    PipeReader pipe("out.au");
    const float left[2] = {0.5f, 0.25f};
    std::string error;
    OutputFile out;
    ASSERT_TRUE(out.open(pipe.path, SF_FORMAT_AU | SF_FORMAT_FLOAT, 44100, error)) << error;
    EXPECT_TRUE(out.temporaryPath().empty());
    ASSERT_TRUE(out.write(left, left, 2, error));
    ASSERT_TRUE(out.commit(error)) << error;
    EXPECT_EQ(pipe.finish().substr(0, 4), ".snd");
    EXPECT_TRUE(pipe.stillAPipe());
}

TEST(RenderProgress, LineShowsShareAndTime) {
    EXPECT_EQ(progressLine(22050, 88200, 0, 44100, 10), "\r[==>       ]  25%  0.5 of 2.0 s ");
    EXPECT_EQ(progressLine(88200, 88200, 0, 44100, 10), "\r[==========] 100%  2.0 of 2.0 s ");
    EXPECT_EQ(progressLine(88200, 88200, 66150, 44100, 10), "\r[==========] 100%  tail 1.5 s ");
}

TEST(DemoInput, AFewSecondsOfPercussiveStereo) {
    const DemoAudio demo = makeDemoInput();
    EXPECT_EQ(demo.sampleRate, 44100);
    ASSERT_EQ(demo.left.size(), size_t(5.5 * 44100));
    ASSERT_EQ(demo.right.size(), demo.left.size());
    float peak = 0.0f;
    double energy = 0.0;
    double difference = 0.0;
    for (size_t i = 0; i < demo.left.size(); ++i) {
        peak = std::max({peak, std::fabs(demo.left[i]), std::fabs(demo.right[i])});
        energy += double(demo.left[i]) * demo.left[i];
        difference += std::fabs(double(demo.left[i]) - demo.right[i]);
    }
    EXPECT_FLOAT_EQ(peak, 0.8f);
    // Percussive: the peak stands far above the average level.
    const double rms = std::sqrt(energy / double(demo.left.size()));
    EXPECT_GT(peak / rms, 4.0);
    EXPECT_GT(difference, 1.0); // really stereo
    // The last quarter second fades towards silence, so the tail is heard.
    float end = 0.0f;
    for (size_t i = demo.left.size() - 2205; i < demo.left.size(); ++i) {
        end = std::max(end, std::fabs(demo.left[i]));
    }
    EXPECT_LT(end, 0.05f);
    // The same on every run.
    const DemoAudio again = makeDemoInput();
    EXPECT_EQ(again.left, demo.left);
    EXPECT_EQ(again.right, demo.right);
}

} // namespace
