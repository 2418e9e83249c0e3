// The bundle of the build tree as LV2 tools see it: Debian's validator accepts
// its Turtle files, lilv's lv2info lists the plug-in and its ports with the
// names, symbols, ranges and defaults of the plug-in's own table, lilv loads
// the factory presets with their values, and each of its two libraries exports
// only its entry point and links only its side (the DSP no GUI, the UI no DSP).
#include "effect/FactoryPresets.h"
#include "lv2/Lv2Ports.h"
#include "tools/LilvHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <map>
#include <sndfile.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kBundle = FUMARA_LV2_BUNDLE;

// Runs a shell command; answers its output (stdout and stderr) and status.
std::string run(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

// The folder that holds only bundles, for LV2_PATH.
std::string bundleFolder() {
    return std::filesystem::path(kBundle).parent_path().string();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\n");
    const size_t last = s.find_last_not_of(" \t\n");
    return first == std::string::npos ? "" : s.substr(first, last - first + 1);
}

// lv2info's "Port N:" sections: field name to value (the first line of each).
std::map<int, std::map<std::string, std::string>> ports(const std::string& info) {
    std::map<int, std::map<std::string, std::string>> out;
    int current = -1;
    for (const std::string& raw : lines(info)) {
        const std::string line = trimmed(raw);
        int index = 0;
        if (std::sscanf(line.c_str(), "Port %d:", &index) == 1) {
            current = index;
            continue;
        }
        const size_t colon = line.find(':');
        if (current >= 0 && colon != std::string::npos) {
            const std::string key = line.substr(0, colon);
            if (!out[current].count(key)) {
                out[current][key] = trimmed(line.substr(colon + 1));
            }
        }
    }
    return out;
}

std::string sixDecimals(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

} // namespace

TEST(Lv2Bundle, HoldsTheTurtleFilesAndTheTwoLibraries) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kBundle)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {"fumara.ttl", "fumara_dsp.so", "fumara_ui.so",
                                               "manifest.ttl", "presets.ttl"};
    EXPECT_EQ(names, expected);
    // Only bundles beside it, so that the folder can go into LV2_PATH.
    for (const auto& entry : std::filesystem::directory_iterator(bundleFolder())) {
        EXPECT_TRUE(entry.is_directory()) << entry.path();
    }
}

TEST(Lv2Bundle, TheValidatorAcceptsTheTurtleFiles) {
    int status = 0;
    const std::string out = run("lv2_validate " + kBundle + "/manifest.ttl " + kBundle +
                                    "/fumara.ttl " + kBundle + "/presets.ttl",
                                status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
}

TEST(Lv2Bundle, Lv2infoListsThePluginAndItsPorts) {
    int status = 0;
    const std::string info =
        run("LV2_PATH=" + bundleFolder() + ":/usr/lib/lv2 lv2info " + kLv2PluginUri, status);
    ASSERT_EQ(status, 0) << info;
    EXPECT_NE(info.find("Name:              KDLV Fumara"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:            Tarnwick"), std::string::npos);
    EXPECT_NE(info.find("Class:             Reverb Plugin"), std::string::npos);
    EXPECT_NE(info.find("Has latency:       no"), std::string::npos);
    EXPECT_NE(info.find(kLv2UiUri), std::string::npos);
    EXPECT_NE(info.find("ui#X11UI"), std::string::npos);
    EXPECT_NE(info.find("lv2core#hardRTCapable"), std::string::npos);

    // Its presets by label, as hosts list them.
    const size_t presets = info.find("Presets:");
    ASSERT_NE(presets, std::string::npos) << info;
    for (const FactoryPreset& preset : kFactoryPresets) {
        EXPECT_NE(info.find(std::string(preset.name) + "\n", presets), std::string::npos);
    }

    const auto listed = ports(info);
    ASSERT_EQ(listed.size(), kPortCount);
    for (uint32_t port = 0; port < kFirstControlPort; ++port) {
        auto fields = listed.at(static_cast<int>(port));
        EXPECT_EQ(fields["Symbol"], kLv2AudioPorts[port].symbol);
        EXPECT_EQ(fields["Name"], kLv2AudioPorts[port].name);
    }
    // The nine named parameters in the VST 2.x index order.
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        auto fields = listed.at(static_cast<int>(portOfParameter(i)));
        EXPECT_EQ(fields["Name"], kNamedParameters[i].name);
        EXPECT_EQ(fields["Symbol"], parameterSymbol(kNamedParameters[i].name));
        EXPECT_EQ(fields["Minimum"], "0.000000");
        EXPECT_EQ(fields["Maximum"], "1.000000");
        EXPECT_EQ(fields["Default"], sixDecimals(kNamedParameters[i].defaultValue))
            << kNamedParameters[i].name;
    }
}

TEST(Lv2Bundle, LilvLoadsEachPresetWithItsLabelAndPortValues) {
    lilvhost::Bundle bundle(kBundle);
    ASSERT_NE(bundle.plugin(), nullptr) << bundle.error();
    LilvWorld* world = bundle.world();
    lilvhost::HostFeatures host(0);
    // Each preset's port values by symbol (NaN: not a float), by label.
    using Values = std::map<std::string, float>;
    std::map<std::string, Values> loaded;
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(bundle.plugin(), presetClass);
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(world, preset);
        LilvState* state = lilv_state_new_from_world(world, host.uridMap(), preset);
        ASSERT_NE(state, nullptr) << lilv_node_as_uri(preset);
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t) {
                (*static_cast<Values*>(user))[symbol] =
                    size == sizeof(float) ? *static_cast<const float*>(value) : std::nanf("");
            },
            &loaded[lilv_state_get_label(state)]);
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    ASSERT_EQ(loaded.size(), size_t(kFactoryPresetCount));
    for (const FactoryPreset& preset : kFactoryPresets) {
        Values& values = loaded[preset.name];
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            const std::string symbol = kNamedParameters[i].symbol;
            ASSERT_EQ(values.count(symbol), 1u) << preset.name << " " << symbol;
            EXPECT_EQ(values[symbol], preset.values[i]) << preset.name << " " << symbol;
        }
    }
    // Mode and Length, only stored, are left to generic control windows to leave out.
    LilvNode* notOnGui = lilv_new_uri(world, LV2_PORT_PROPS__notOnGUI);
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(bundle.plugin(), portOfParameter(i));
        EXPECT_EQ(lilv_port_has_property(bundle.plugin(), port, notOnGui),
                  i == kMode || i == kLength)
            << kNamedParameters[i].name;
    }
    lilv_node_free(notOnGui);
}

TEST(Lv2Bundle, EachLibraryExportsItsEntryPointAndLinksOnlyItsSide) {
    int status = 0;
    EXPECT_EQ(
        trimmed(run("nm -D --defined-only " + kBundle + "/fumara_dsp.so | cut -c 20-", status)),
        "lv2_descriptor");
    EXPECT_EQ(
        trimmed(run("nm -D --defined-only " + kBundle + "/fumara_ui.so | cut -c 20-", status)),
        "lv2ui_descriptor");
    // The DSP library needs no display, drawing or GUI code...
    const std::string dspNeeds = run("ldd " + kBundle + "/fumara_dsp.so", status);
    for (const char* library : {"libX11", "libcairo", "libfontconfig"}) {
        EXPECT_EQ(dspNeeds.find(library), std::string::npos) << library;
    }
    const std::string dspCode = run("nm -C " + kBundle + "/fumara_dsp.so", status);
    EXPECT_EQ(dspCode.find("Frame::"), std::string::npos);
    EXPECT_EQ(dspCode.find("ReverbEditor"), std::string::npos);
    // ...and the UI library holds none of the reverb: it reaches the plug-in
    // only through the host.
    const std::string uiCode = run("nm -C " + kBundle + "/fumara_ui.so", status);
    EXPECT_NE(uiCode.find("ReverbEditor::"), std::string::npos);
    EXPECT_EQ(uiCode.find("ReverbCore"), std::string::npos);
    EXPECT_EQ(uiCode.find("Reverb::"), std::string::npos);
    EXPECT_EQ(uiCode.find("Delay::"), std::string::npos);
}

TEST(Lv2Bundle, CmakeInstallPutsTheBundleUnderLibLv2) {
    const std::string prefix = (std::filesystem::temp_directory_path() /
                                ("fumara-lv2-install-" + std::to_string(getpid())))
                                   .string();
    std::filesystem::remove_all(prefix);
    int status = 0;
    const std::string out = run(std::string("\"") + FUMARA_CMAKE + "\" --install \"" +
                                    FUMARA_BUILD_DIR + "\" --prefix " + prefix + " --component lv2",
                                status);
    ASSERT_EQ(status, 0) << out;
    std::vector<std::string> installed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(prefix)) {
        if (entry.is_regular_file()) {
            installed.push_back(std::filesystem::relative(entry.path(), prefix).string());
        }
    }
    std::sort(installed.begin(), installed.end());
    const std::vector<std::string> expected = {
        "lib/lv2/fumara.lv2/fumara.ttl", "lib/lv2/fumara.lv2/fumara_dsp.so",
        "lib/lv2/fumara.lv2/fumara_ui.so", "lib/lv2/fumara.lv2/manifest.ttl",
        "lib/lv2/fumara.lv2/presets.ttl"};
    EXPECT_EQ(installed, expected);
    // A host that looks there finds the plug-in.
    const std::string listed = run("LV2_PATH=" + prefix + "/lib/lv2 lv2ls", status);
    EXPECT_EQ(trimmed(listed), kLv2PluginUri);
    std::filesystem::remove_all(prefix);
}

#if defined(FUMARA_RENDER)

// Debian's lv2apply (one frame per run, the input file's format) against the
// VST 2.x module rendering one-frame blocks through fumara-render.
TEST(Lv2Bundle, Lv2applyRendersAsTheVstModule) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "lv2apply cannot load a bundle built with AddressSanitizer";
#endif
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("fumara-lv2apply-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(folder);
    const int rate = 48000;
    std::vector<float> samples(static_cast<size_t>(rate / 4) * 2);
    uint32_t seed = 99;
    for (size_t i = 0; i < samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples[i] =
            i < samples.size() / 3 ? float(int32_t(seed >> 8) - (1 << 23)) / (1 << 24) : 0.0f;
    }
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open((folder + "/in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, samples.data(), sf_count_t(samples.size() / 2));
    sf_close(file);

    int status = 0;
    std::string out =
        run("LV2_PATH=" + bundleFolder() + ":/usr/lib/lv2 lv2apply -i " + folder + "/in.wav -o " +
                folder + "/lv2.wav -c room_size 0.8 -c dry_level 0.5 " + kLv2PluginUri,
            status);
    ASSERT_EQ(status, 0) << out;
    out = run(std::string(FUMARA_RENDER) + " -q --block-size 1 --tail 0 --set 'Room Size=0.8' " +
                  "--set 'Dry Level=0.5' " + folder + "/in.wav " + folder + "/vst.wav",
              status);
    ASSERT_EQ(status, 0) << out;
    std::vector<float> rendered[2];
    const char* names[2] = {"/lv2.wav", "/vst.wav"};
    for (int k = 0; k < 2; ++k) {
        SF_INFO read{};
        SNDFILE* f = sf_open((folder + names[k]).c_str(), SFM_READ, &read);
        ASSERT_NE(f, nullptr) << names[k];
        rendered[k].resize(size_t(read.frames) * size_t(read.channels));
        sf_readf_float(f, rendered[k].data(), read.frames);
        sf_close(f);
    }
    ASSERT_EQ(rendered[0].size(), samples.size());
    EXPECT_TRUE(rendered[0] == rendered[1]) << "lv2apply and the VST 2.x module differ";
    std::filesystem::remove_all(folder);
}

#endif
