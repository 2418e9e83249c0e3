// The factory presets: a bank of rooms and halls, each a full set of the nine named
// parameters, with the target it was chosen for and what its impulse response measured. The
// one table that the editor's menu, the LV2 bundle's presets and fumara-render read.
// Header-only, like PluginDescription.h, so that the LV2 UI and the Turtle generator can use
// it without linking the reverb.
//
// How the values were chosen: the tone (the two filters) and the width (Stereo Separation) of
// each preset were set from its target in words; then, measuring the impulse response at
// 44100 Hz with fumara-render --analyze, the Room Size step whose RT60 lay nearest the middle
// of the target range was kept, then the PreDelay step whose first reflection lay nearest the
// target, then the Reverb Level step whose level against the dry sound did, and the three
// searches were run once more from there. Dry Level stays at the step nearest unity gain. The
// measured figures are those of the left output channel of the first instance of a process
// at 44100 Hz; the tests measure them again.
#pragma once

#include "effect/PluginDescription.h"

#include <cctype>
#include <cstdint>
#include <string>

// The panel's sliders move their handles over 153 pixels, one step of 1/153 each.
constexpr int32_t kSliderSteps = 153;

// The value of slider step `step`: the smallest float at or above step / 153, which is what a
// slider takes at that pixel and what draws its handle exactly there.
constexpr float sliderValue(int32_t step) {
    const double exact = double(step) / kSliderSteps;
    float value = static_cast<float>(exact);
    if (double(value) < exact) {
        double unit = 1.0; // the power of two at or below the value, whose 2^-23 is one ulp
        while (unit > double(value)) {
            unit /= 2.0;
        }
        value = static_cast<float>(double(value) + unit / 8388608.0);
    }
    return value;
}

// What a preset was chosen for.
struct PresetTarget {
    float rt60Min, rt60Max;  // s, the decay's range
    float firstReflectionMs; // when the reverb arrives after the direct sound: the pre-delay heard
    float wetToDryDb;        // the reverb's energy against the direct sound's
    const char* tone;        // in words, with the filters' corner frequencies at 44100 Hz
};

// What its impulse response measured (fumara-render --analyze, 44100 Hz, left channel).
struct PresetFigures {
    float rt60;           // s, from T30
    float edt;            // s
    float firstArrivalMs; // the first reflection
    float centreTimeMs;   // the energy centre
    float wetToDryDb;     // the reverb's energy against the direct sound's
};

struct FactoryPreset {
    const char* name;                   // as menus show it
    const char* character;              // a word on what it sounds like
    float values[kNamedParameterCount]; // by parameter index, Mode to Dry Level
    PresetTarget target;
    PresetFigures measured;
};

// Mode and Length are only stored: every preset keeps the defaults.
constexpr float kPresetMode = kNamedParameters[kMode].defaultValue;
constexpr float kPresetLength = kNamedParameters[kLength].defaultValue;

// clang-format off
constexpr FactoryPreset kFactoryPresets[] = {
    // name, character,
    //   {Mode, Length, Room Size, PreDelay, Lowpass, Highpass, Separation, Reverb, Dry},
    //   {RT60 min, max s, first reflection ms, wet/dry dB, tone},
    //   measured {RT60 s, EDT s, first reflection ms, energy centre ms, wet/dry dB}
    {"Vocal Booth", "tight and close",
     {kPresetMode, kPresetLength, sliderValue(3), sliderValue(0), sliderValue(54), sliderValue(2), sliderValue(30), sliderValue(84), sliderValue(137)},
     {0.12f, 0.22f, 1.5f, -18.0f, "warm: low-pass 8.0 kHz, high-pass 231 Hz"},
     {0.183f, 0.204f, 1.3f, 19.6f, -18.0f}},
    {"Small Room", "natural, intimate",
     {kPresetMode, kPresetLength, sliderValue(21), sliderValue(1), sliderValue(80), sliderValue(1), sliderValue(60), sliderValue(92), sliderValue(137)},
     {0.35f, 0.5f, 5.0f, -15.0f, "natural: low-pass 11.0 kHz, high-pass 115 Hz"},
     {0.416f, 0.43f, 4.5f, 43.5f, -14.9f}},
    {"Studio Room", "even, everyday",
     {kPresetMode, kPresetLength, sliderValue(41), sliderValue(3), sliderValue(97), sliderValue(1), sliderValue(77), sliderValue(93), sliderValue(137)},
     {0.55f, 0.75f, 9.0f, -14.0f, "even: low-pass 12.9 kHz, high-pass 115 Hz"},
     {0.636f, 0.638f, 9.9f, 70.0f, -13.9f}},
    {"Bright Room", "lively, airy",
     {kPresetMode, kPresetLength, sliderValue(57), sliderValue(2), sliderValue(153), sliderValue(3), sliderValue(90), sliderValue(88), sliderValue(137)},
     {0.7f, 0.9f, 9.0f, -14.0f, "bright: low-pass 19.4 kHz, high-pass 346 Hz"},
     {0.8f, 0.849f, 9.2f, 80.9f, -14.0f}},
    {"Ambience", "wide, barely there",
     {kPresetMode, kPresetLength, sliderValue(16), sliderValue(0), sliderValue(63), sliderValue(1), sliderValue(153), sliderValue(88), sliderValue(137)},
     {0.25f, 0.4f, 3.0f, -16.0f, "soft: low-pass 9.0 kHz, widest separation"},
     {0.356f, 0.385f, 2.3f, 36.3f, -16.1f}},
    {"Slapback", "one distinct early echo",
     {kPresetMode, kPresetLength, sliderValue(3), sliderValue(57), sliderValue(70), sliderValue(3), sliderValue(40), sliderValue(103), sliderValue(137)},
     {0.12f, 0.25f, 110.0f, -8.0f, "mid: low-pass 9.8 kHz, high-pass 346 Hz"},
     {0.183f, 0.193f, 110.1f, 127.9f, -7.9f}},
    {"Medium Hall", "smooth, balanced",
     {kPresetMode, kPresetLength, sliderValue(92), sliderValue(9), sliderValue(97), sliderValue(0), sliderValue(100), sliderValue(91), sliderValue(137)},
     {1.1f, 1.35f, 25.0f, -12.0f, "even: low-pass 12.9 kHz, high-pass 80 Hz"},
     {1.232f, 1.205f, 25.4f, 137.2f, -12.1f}},
    {"Dark Hall", "deep, soft top",
     {kPresetMode, kPresetLength, sliderValue(113), sliderValue(11), sliderValue(28), sliderValue(0), sliderValue(100), sliderValue(102), sliderValue(137)},
     {1.35f, 1.65f, 30.0f, -11.0f, "dark: low-pass 5.0 kHz, high-pass 80 Hz"},
     {1.482f, 1.712f, 30.9f, 175.5f, -11.1f}},
    {"Wide Hall", "broad, spacious",
     {kPresetMode, kPresetLength, sliderValue(123), sliderValue(13), sliderValue(97), sliderValue(0), sliderValue(153), sliderValue(94), sliderValue(137)},
     {1.5f, 1.8f, 35.0f, -11.0f, "wide: low-pass 12.9 kHz, widest separation"},
     {1.649f, 1.664f, 35.5f, 184.8f, -10.9f}},
    {"Large Hall", "long, open",
     {kPresetMode, kPresetLength, sliderValue(146), sliderValue(17), sliderValue(110), sliderValue(0), sliderValue(120), sliderValue(95), sliderValue(137)},
     {1.8f, 2.1f, 45.0f, -10.0f, "open: low-pass 14.4 kHz, high-pass 80 Hz"},
     {1.943f, 2.045f, 45.0f, 221.8f, -10.0f}},
};
// clang-format on
constexpr int32_t kFactoryPresetCount =
    static_cast<int32_t>(sizeof kFactoryPresets / sizeof kFactoryPresets[0]);

// A preset name folded for matching: lower case, without blanks, '-' and '_'.
inline std::string foldedPresetName(const std::string& name) {
    std::string folded;
    for (char c : name) {
        if (c != ' ' && c != '-' && c != '_' && c != '\t') {
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return folded;
}

// The index of the preset a user named ("Small Room", "small-room", "smallroom"), or -1.
inline int32_t findFactoryPreset(const std::string& written) {
    for (int32_t i = 0; i < kFactoryPresetCount; ++i) {
        if (!written.empty() &&
            foldedPresetName(kFactoryPresets[i].name) == foldedPresetName(written)) {
            return i;
        }
    }
    return -1;
}
