// Finding, reading and writing the settings file: the zoom line read from it, the file
// replaced in one step on writing, and the choice this process keeps for itself.
#include "editor/SettingsFile.h"

#include "gui/Zoom.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace settings {

namespace {

// A settings file this long is not ours: it is left alone and reads as damaged.
constexpr std::streamsize kLargestFile = 64 * 1024;
constexpr const char* kZoomKey = "zoom";
constexpr const char* kHeader = "# Fumara's settings, kept by its editor.";

std::string trim(const std::string& text) {
    const char* blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The lines of a readable settings file; false when it is absent, unreadable
// or too long to be ours.
bool readLines(const std::filesystem::path& file, std::vector<std::string>& lines) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string content;
    content.resize(static_cast<size_t>(kLargestFile) + 1);
    in.read(&content[0], kLargestFile + 1);
    if (in.bad() || in.gcount() > kLargestFile) {
        return false;
    }
    content.resize(static_cast<size_t>(in.gcount()));
    if (content.find('\0') != std::string::npos) {
        return false; // not text
    }
    std::istringstream stream(content);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return true;
}

// The key of a "key = value" line, or empty for comments and other lines.
std::string keyOf(const std::string& line, std::string* value = nullptr) {
    const std::string text = trim(line);
    const size_t equals = text.find('=');
    if (text.empty() || text[0] == '#' || equals == std::string::npos) {
        return std::string();
    }
    if (value) {
        *value = trim(text.substr(equals + 1));
    }
    return trim(text.substr(0, equals));
}

std::string zoomText(int32_t percent) {
    return Zoom::isFactor(percent) ? std::to_string(percent) : std::string("auto");
}

// A name for the new file beside the target that no other writer uses.
std::filesystem::path partialName(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
#if defined(_WIN32)
    const long process = static_cast<long>(_getpid());
#else
    const long process = static_cast<long>(getpid());
#endif
    std::filesystem::path partial = file;
    partial += ".partial-" + std::to_string(process) + "-" + std::to_string(++counter);
    return partial;
}

// This process's own choice: -1 none, else 0 (follow the desktop) or a factor.
std::atomic<int32_t> processChoice{-1};

} // namespace

std::optional<std::filesystem::path> processEnvironment(const char* name) {
#if defined(_WIN32)
    std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
#else
    const char* value = std::getenv(name);
#endif
    if (!value || !*value) {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> settingsPath(const Environment& environment) {
    if (!environment) {
        return std::nullopt;
    }
#if defined(_WIN32)
    if (auto appData = environment("APPDATA"); appData && appData->is_absolute()) {
        return *appData / "Fumara" / "settings";
    }
#else
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    if (auto config = environment("XDG_CONFIG_HOME"); config && config->is_absolute()) {
        return *config / "fumara" / "settings";
    }
    if (auto home = environment("HOME"); home && home->is_absolute()) {
        return *home / ".config" / "fumara" / "settings";
    }
#endif
    return std::nullopt;
}

int32_t readZoomChoice(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    if (!readLines(file, lines)) {
        return 0;
    }
    int32_t choice = 0;
    for (const std::string& line : lines) {
        std::string value;
        if (keyOf(line, &value) != kZoomKey) {
            continue;
        }
        choice = 0; // the last "zoom" line counts; anything but a factor is damage
        for (int32_t factor : Zoom::kFactors) {
            if (value == std::to_string(factor)) {
                choice = factor;
            }
        }
    }
    return choice;
}

bool writeZoomChoice(const std::filesystem::path& file, int32_t percent) {
    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) {
            return false;
        }
    }
    // Keep what else the file holds, when it is ours to keep.
    std::vector<std::string> lines;
    if (!readLines(file, lines) || lines.empty()) {
        lines.assign(1, kHeader);
    }
    const std::string entry = std::string(kZoomKey) + " = " + zoomText(percent);
    std::vector<std::string> kept;
    bool replaced = false;
    for (const std::string& line : lines) {
        if (keyOf(line) != kZoomKey) {
            kept.push_back(line);
        } else if (!replaced) {
            kept.push_back(entry);
            replaced = true;
        }
    }
    if (!replaced) {
        kept.push_back(entry);
    }

    const std::filesystem::path partial = partialName(file);
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        for (const std::string& line : kept) {
            out << line << '\n';
        }
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(partial, error);
            return false;
        }
    }
    std::filesystem::rename(partial, file, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}

int32_t ZoomChoice::load() {
    const int32_t own = processChoice.load(std::memory_order_relaxed);
    if (own >= 0) {
        return own;
    }
    const auto file = settingsPath(&processEnvironment);
    return file ? readZoomChoice(*file) : 0;
}

bool ZoomChoice::store(int32_t percent) {
    const int32_t choice = Zoom::isFactor(percent) ? percent : 0;
    processChoice.store(choice, std::memory_order_relaxed);
    const auto file = settingsPath(&processEnvironment);
    return file && writeZoomChoice(*file, choice);
}

void ZoomChoice::forgetProcessChoice() {
    processChoice.store(-1, std::memory_order_relaxed);
}

} // namespace settings
