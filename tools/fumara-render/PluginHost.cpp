// Choosing the host for a plug-in path (an LV2 bundle or a VST 2.x module) and finding a
// parameter by index or by name.
#include "tools/fumara-render/PluginHost.h"

#include "tools/fumara-render/VstHost.h"
#if defined(FUMARA_RENDER_LV2)
#include "tools/fumara-render/Lv2Host.h"
#endif

#include <algorithm>
#include <cctype>
#include <map>
#include <sys/stat.h>
#include <vector>

namespace render {

namespace {

// Lower case without blanks, '-' and '_': "Room Size", "room-size" and
// "roomsize" are one name.
std::string folded(const std::string& name) {
    std::string result;
    for (char c : name) {
        if (c != ' ' && c != '-' && c != '_' && c != '\t') {
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return result;
}

bool namesBundle(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR) {
        return true;
    }
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".lv2") == 0;
}

} // namespace

std::unique_ptr<PluginHost> PluginHost::forPath(const std::string& path) {
#if defined(FUMARA_RENDER_LV2)
    if (namesBundle(path)) {
        return std::make_unique<Lv2Host>();
    }
#else
    (void)namesBundle;
#endif
    return std::make_unique<VstHost>();
}

int32_t PluginHost::findParameter(const std::string& written, std::string& error) {
    const int32_t count = numParams();
    const bool digits = !written.empty() && std::all_of(written.begin(), written.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (digits) {
        if (written.size() <= 9 && std::stol(written) < count) {
            return static_cast<int32_t>(std::stol(written));
        }
        error =
            "parameter index " + written + " out of range (0 to " + std::to_string(count - 1) + ")";
        return -1;
    }
    // Each name with the indices that carry it, in index order.
    std::vector<std::string> names;
    std::map<std::string, std::vector<int32_t>> byName;
    for (int32_t i = 0; i < count; ++i) {
        const std::string name = paramName(i);
        if (byName.find(name) == byName.end()) {
            names.push_back(name);
        }
        byName[name].push_back(i);
    }
    std::vector<int32_t> matches;
    auto exact = byName.find(written);
    if (exact != byName.end()) {
        matches = exact->second;
    } else {
        for (const std::string& name : names) {
            if (!folded(name).empty() && folded(name) == folded(written)) {
                matches.insert(matches.end(), byName[name].begin(), byName[name].end());
            }
        }
    }
    if (matches.size() == 1) {
        return matches[0];
    }
    if (matches.size() > 1) {
        error = "\"" + written + "\" names " + std::to_string(matches.size()) +
                " parameters; give its index instead (" + std::to_string(matches.front()) + " to " +
                std::to_string(matches.back()) + ")";
        return -1;
    }
    std::string valid;
    for (const std::string& name : names) {
        if (byName[name].size() == 1) {
            valid += (valid.empty() ? "" : ", ") + name;
        }
    }
    error = "unknown parameter \"" + written + "\"; valid names: " + valid + ", or an index 0 to " +
            std::to_string(count - 1);
    return -1;
}

} // namespace render
