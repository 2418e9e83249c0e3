// make-lv2-turtle: writes the bundle's manifest.ttl, fumara.ttl and presets.ttl
// from the plug-in's own tables (the parameter table of effect/Parameters.h, the
// ports of lv2/Lv2Ports.h, effect/FactoryPresets.h), so that names, symbols,
// ranges, defaults and presets in the bundle are those of the code.
//   make-lv2-turtle FOLDER DSP_BINARY UI_BINARY
#include "effect/FactoryPresets.h"
#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char* const kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// The shortest decimal that reads back as the same float, always with a point.
std::string decimal(float value) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) {
            break;
        }
    }
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos) {
        result += ".0";
    }
    return result;
}

// A Turtle string literal.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// A factory preset's URI: the plug-in's, with the preset's name as a symbol.
// Hosts keep it in their sessions, so a preset keeps its name.
std::string presetUri(const FactoryPreset& preset) {
    return std::string(kLv2PluginUri) + "#preset_" + parameterSymbol(preset.name);
}

std::string manifest(const std::string& dsp, const std::string& ui) {
    std::ostringstream t;
    t << kPrefixes;
    t << "<" << kLv2PluginUri << ">\n"
      << "    a lv2:Plugin ;\n"
      << "    lv2:binary <" << dsp << "> ;\n"
      << "    rdfs:seeAlso <fumara.ttl> .\n\n";
    t << "<" << kLv2UiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    ui:binary <" << ui << "> ;\n"
      << "    rdfs:seeAlso <fumara.ttl> .\n";
    for (const FactoryPreset& preset : kFactoryPresets) {
        t << "\n<" << presetUri(preset) << ">\n"
          << "    a pset:Preset ;\n"
          << "    lv2:appliesTo <" << kLv2PluginUri << "> ;\n"
          << "    rdfs:seeAlso <presets.ttl> .\n";
    }
    return t.str();
}

// Each factory preset with its label and the value of every control port.
std::string presets() {
    std::ostringstream t;
    t << kPrefixes;
    for (const FactoryPreset& preset : kFactoryPresets) {
        t << "<" << presetUri(preset) << ">\n"
          << "    a pset:Preset ;\n"
          << "    lv2:appliesTo <" << kLv2PluginUri << "> ;\n"
          << "    rdfs:label " << quoted(preset.name) << " ;\n"
          << "    rdfs:comment " << quoted(preset.character) << " ;\n"
          << "    lv2:port ";
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            t << (i == 0 ? "[\n" : " , [\n") << "        lv2:symbol "
              << quoted(kNamedParameters[i].symbol) << " ;\n"
              << "        pset:value " << decimal(preset.values[i]) << "\n    ]";
        }
        t << " .\n\n";
    }
    return t.str();
}

std::string description() {
    std::ostringstream t;
    t << kPrefixes;
    t << "<" << kLv2PluginUri << ">\n"
      << "    a lv2:Plugin , lv2:ReverbPlugin , doap:Project ;\n"
      << "    doap:name " << quoted(kPluginName) << " ;\n"
      << "    doap:maintainer [ foaf:name " << quoted(kVendorName)
      << " ] ;\n"
      // The project's version in even numbers (lv2/CMakeLists.txt).
      << "    lv2:minorVersion " << FUMARA_LV2_MINOR_VERSION << " ;\n"
      << "    lv2:microVersion " << FUMARA_LV2_MICRO_VERSION << " ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable , opts:options , urid:map ;\n"
      << "    opts:supportedOption bufsz:maxBlockLength ;\n"
      << "    ui:ui <" << kLv2UiUri << "> ;\n"
      << "    lv2:port ";
    for (uint32_t port = 0; port < kPortCount; ++port) {
        t << (port == 0 ? "[\n" : " , [\n");
        const int32_t parameter = parameterOfPort(port);
        if (parameter < 0) {
            const Lv2AudioPort& audio = kLv2AudioPorts[port];
            t << "        a lv2:AudioPort , " << (audio.input ? "lv2:InputPort" : "lv2:OutputPort")
              << " ;\n"
              << "        lv2:index " << port << " ;\n"
              << "        lv2:symbol " << quoted(audio.symbol) << " ;\n"
              << "        lv2:name " << quoted(audio.name) << "\n    ]";
            continue;
        }
        const ParameterInfo& info = kNamedParameters[parameter];
        t << "        a lv2:ControlPort , lv2:InputPort ;\n"
          << "        lv2:index " << port << " ;\n";
        if (info.panelRow == kNoPanelRow) {
            // Only stored, and not on the panel: hosts' generic control
            // windows may leave them out.
            t << "        lv2:portProperty pprops:notOnGUI ;\n";
        }
        t << "        lv2:symbol " << quoted(info.symbol) << " ;\n"
          << "        lv2:name " << quoted(info.name) << " ;\n"
          << "        lv2:default " << decimal(info.defaultValue) << " ;\n"
          << "        lv2:minimum 0.0 ;\n"
          << "        lv2:maximum 1.0\n    ]";
    }
    t << " .\n\n";
    t << "<" << kLv2UiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
      << "    lv2:optionalFeature ui:resize , ui:touch , ui:noUserResize ;\n"
      << "    lv2:extensionData ui:idleInterface .\n";
    return t.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "make-lv2-turtle: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make-lv2-turtle FOLDER DSP_BINARY UI_BINARY\n";
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writeFile(folder + "/manifest.ttl", manifest(argv[2], argv[3])) &&
                    writeFile(folder + "/fumara.ttl", description()) &&
                    writeFile(folder + "/presets.ttl", presets());
    return ok ? 0 : 1;
}
